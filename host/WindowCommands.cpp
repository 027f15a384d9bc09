// Script commands that act on the module's window as its user would: through the
// real widgets, found by their names.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "plugin/untIVeltraneWindow.h"
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include "toolkit/Forms.h"
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QRadioButton>
#include <QTreeWidget>
#include <QTest>
#include <utility>

namespace {


TForm* Window(HostSession& s, QString& error)
{
    TForm* f = s.ActiveModuleWindow();
    if (!f)
        error = QStringLiteral("没有打开的模块窗口");
    return f;
}

template <class T>
T* Need(HostSession& s, const QString& name, QString& error)
{
    TForm* f = Window(s, error);
    if (!f)
        return nullptr;
    T* w = f->FindControl<T>(name);
    if (!w)
        error = QStringLiteral("窗口中没有名为 %1 的控件").arg(name);
    return w;
}

void PrintTree(QTreeWidgetItem* item, int depth, QTreeWidgetItem* selected)
{
    QString line(depth * 2, QLatin1Char(' '));
    line += item->text(0);
    if (item == selected)
        line += QStringLiteral(" *");
    ScriptRunner::Print(line);
    for (int i = 0; i < item->childCount(); ++i)
        PrintTree(item->child(i), depth + 1, selected);
}

QTreeWidgetItem* FindNode(QTreeWidgetItem* item, const QString& id)
{
    if (item->data(0, Qt::UserRole).toString() == id)
        return item;
    for (int i = 0; i < item->childCount(); ++i)
        if (QTreeWidgetItem* found = FindNode(item->child(i), id))
            return found;
    return nullptr;
}

// Clicks a radio button the way the user does; a disabled one is reported.
bool ClickRadio(HostSession& s, const QString& name, QString& error)
{
    auto* b = Need<QAbstractButton>(s, name, error);
    if (!b)
        return false;
    if (!b->isEnabled()) {
        ScriptRunner::Print(QStringLiteral("disabled %1").arg(name));
        return true;
    }
    b->click();
    return true;
}

bool Choose(HostSession& s, const QString& name, const QStringList& args, QString& error)
{
    bool ok = false;
    const int index = args.size() == 1 ? args[0].toInt(&ok) : -1;
    auto* box = Need<QComboBox>(s, name, error);
    if (!box)
        return false;
    if (!ok || index < 0 || index >= box->count()) {
        error = QStringLiteral("%1 没有第 %2 项").arg(name, args.value(0));
        return false;
    }
    if (!box->isEnabled()) {
        ScriptRunner::Print(QStringLiteral("disabled %1").arg(name));
        return true;
    }
    // A user's choice: the index changes, then the box reports the activation.
    box->setCurrentIndex(index);
    emit box->activated(index);
    emit box->textActivated(box->itemText(index));
    return true;
}

// A word out of two, mapped to the control a user would click for it.
bool Pick(HostSession& s, const QStringList& args, const QString& a, const QString& nameA, const QString& b,
          const QString& nameB, QString& error)
{
    if (args.size() == 1 && args[0] == a)
        return ClickRadio(s, nameA, error);
    if (args.size() == 1 && args[0] == b)
        return ClickRadio(s, nameB, error);
    error = QStringLiteral("用法：%1|%2").arg(a, b);
    return false;
}

// The lines a reading of the window gives, each after Prefix, when it has ended;
// its failure is the line's.
IVeltraneWindow::TDone<QStringList> PrintLines(ScriptRunner& runner, const QString& Prefix)
{
    return [end = runner.LineEnd(), Prefix](const TResult<QStringList>& lines) {
        if (lines)
            for (const QString& l : lines.Value())
                ScriptRunner::Print(Prefix + l);
        end(lines.Error().Message);
    };
}

}  // namespace

void RegisterGridCommands(ScriptRunner& runner);
void RegisterTreeCommands(ScriptRunner& runner);
void RegisterOutputCommands(ScriptRunner& runner);

void RegisterWindowCommands(ScriptRunner& runner)
{
    HostSession& s = runner.Session();
    runner.AddCommand(QStringLiteral("tree"), QStringLiteral("tree"), [&s](const QStringList&, const QString&, QString& error) {
        auto* tree = Need<QTreeWidget>(s, QStringLiteral("trvList"), error);
        if (!tree)
            return false;
        QTreeWidgetItem* selected = tree->currentItem();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            PrintTree(tree->topLevelItem(i), 0, selected);
        return true;
    });
    runner.AddCommand(QStringLiteral("select"), QStringLiteral("select EID|top"), [&s](const QStringList& args, const QString&, QString& error) {
        if (args.size() != 1) {
            error = QStringLiteral("用法：select EID|top");
            return false;
        }
        auto* tree = Need<QTreeWidget>(s, QStringLiteral("trvList"), error);
        if (!tree)
            return false;
        QTreeWidgetItem* node = nullptr;
        if (args[0] == QLatin1String("top"))
            node = tree->topLevelItem(0);
        else
            for (int i = 0; i < tree->topLevelItemCount() && !node; ++i)
                node = FindNode(tree->topLevelItem(i), args[0]);
        if (!node) {
            error = QStringLiteral("树中没有节点 %1").arg(args[0]);
            return false;
        }
        // What a click does: the node becomes current and selected, shown in view.
        tree->scrollToItem(node);
        tree->setCurrentItem(node);
        return true;
    });
    runner.AddCommand(QStringLiteral("btype"), QStringLiteral("btype N"), [&s](const QStringList& args, const QString&, QString& error) {
        return Choose(s, QStringLiteral("cobBType"), args, error);
    });
    runner.AddCommand(QStringLiteral("secret"), QStringLiteral("secret N"), [&s](const QStringList& args, const QString&, QString& error) {
        return Choose(s, QStringLiteral("cobSecret"), args, error);
    });
    runner.AddCommand(QStringLiteral("mode"), QStringLiteral("mode summary|detail"), [&s](const QStringList& args, const QString&, QString& error) {
        return Pick(s, args, QStringLiteral("summary"), QStringLiteral("rbtnSum"), QStringLiteral("detail"),
                    QStringLiteral("rbtnDetail"), error);
    });
    runner.AddCommand(QStringLiteral("view"), QStringLiteral("view unconfirmed|confirmed"), [&s](const QStringList& args, const QString&, QString& error) {
        return Pick(s, args, QStringLiteral("unconfirmed"), QStringLiteral("rbtnNO"), QStringLiteral("confirmed"),
                    QStringLiteral("rbtnOK"), error);
    });
    runner.AddCommand(QStringLiteral("units"), QStringLiteral("units delegated|all"), [&s](const QStringList& args, const QString&, QString& error) {
        return Pick(s, args, QStringLiteral("delegated"), QStringLiteral("rgpShowEid_0"), QStringLiteral("all"),
                    QStringLiteral("rgpShowEid_1"), error);
    });
    runner.AddCommand(QStringLiteral("press"), QStringLiteral("press NAME"), [&s](const QStringList& args, const QString&, QString& error) {
        if (args.size() != 1) {
            error = QStringLiteral("用法：press NAME");
            return false;
        }
        TForm* f = Window(s, error);
        if (!f)
            return false;
        const QString& name = args[0];
        if (auto* b = f->FindControl<QAbstractButton>(name)) {
            if (!b->isEnabled())
                ScriptRunner::Print(QStringLiteral("disabled %1").arg(name));
            else
                b->click();
            return true;
        }
        if (auto* a = f->FindControl<QAction>(name)) {
            if (!a->isEnabled())
                ScriptRunner::Print(QStringLiteral("disabled %1").arg(name));
            else
                a->trigger();
            return true;
        }
        error = QStringLiteral("窗口中没有名为 %1 的按钮或菜单项").arg(name);
        return false;
    });
    // Menu items of 数据操作 under a word of their own: 撤销上次操作 and 刷新 (F5).
    for (const auto& [word, item] : {std::pair{QStringLiteral("undo"), QStringLiteral("mnuUndoRun")},
                                     std::pair{QStringLiteral("refresh"), QStringLiteral("mnuRefresh")}})
        runner.AddCommand(word, word, [&s, item](const QStringList&, const QString&, QString& error) {
            auto* a = Need<QAction>(s, item, error);
            if (!a)
                return false;
            if (!a->isEnabled())
                ScriptRunner::Print(QStringLiteral("disabled %1").arg(item));
            else
                a->trigger();
            return true;
        });
    runner.AddCommand(QStringLiteral("history"), QStringLiteral("history ROW"), [&s, &runner](const QStringList& args, const QString&, QString& error) {
        bool ok = false;
        const int row = args.size() == 1 ? args[0].toInt(&ok) : -1;
        if (!ok || row < 0) {
            error = QStringLiteral("用法：history ROW");
            return false;
        }
        IVeltraneWindow* w = s.ActiveVeltraneWindow(QStringLiteral("history"), error);
        if (!w)
            return false;
        w->HistoryLines(row, PrintLines(runner, QStringLiteral("history ")));
        return true;
    });
    runner.AddCommand(QStringLiteral("journal"),
                      QStringLiteral("journal [operator NAME] [action confirm|cancel|delete|undo] [from YYYY-MM-DD] "
                                     "[to YYYY-MM-DD] [unit EID] [record BUDGID] | journal export FILE [...]"),
                      [&s, &runner](const QStringList& args, const QString&, QString& error) {
        IVeltraneWindow* w = s.ActiveVeltraneWindow(QStringLiteral("journal"), error);
        if (!w)
            return false;
        if (args.value(0) == QLatin1String("export")) {
            if (args.size() < 2) {
                error = QStringLiteral("用法：journal export FILE [条件…]");
                return false;
            }
            w->ExportJournal(args[1], args.mid(2), [end = runner.LineEnd()](const TResult<> written) {
                end(written.Error().Message);
            });
            return true;
        }
        w->JournalLines(args, PrintLines(runner, QStringLiteral("journal ")));
        return true;
    });
    runner.AddCommand(QStringLiteral("key"), QStringLiteral("key SHORTCUT"), [&s](const QStringList&, const QString& rest, QString& error) {
        const QKeySequence seq = QKeySequence::fromString(rest, QKeySequence::PortableText);
        if (rest.isEmpty() || seq.isEmpty()) {
            error = QStringLiteral("无法识别的按键：%1").arg(rest);
            return false;
        }
        TForm* f = Window(s, error);
        if (!f)
            return false;
        // Keys go where the user's keys go: the focused control of the active
        // window. On a desktop the window manager gives the focus a moment later
        // (and another program may hold it): wait until it has, as a user does
        // before typing, or a short-cut meant for this window finds none active.
        QWidget* top = f->Frame()->window();
        if (!top->isActiveWindow()) {
            top->raise();
            top->activateWindow();
            if (!QTest::qWaitForWindowActive(top, 10000))
                ScriptRunner::Print(QStringLiteral("inactive window"));
        }
        f->Frame()->activateWindow();
        QWidget* target = QApplication::focusWidget();
        if (!target || !f->Frame()->isAncestorOf(target))
            target = f->Handle();
        QTest::keySequence(target, seq);
        return true;
    });
    runner.AddCommand(QStringLiteral("buttons"), QStringLiteral("buttons"), [&s](const QStringList&, const QString&, QString& error) {
        for (const QString& name : {QStringLiteral("tbtnConfirm"), QStringLiteral("tbtnCancel")}) {
            auto* b = Need<QAbstractButton>(s, name, error);
            if (!b)
                return false;
            ScriptRunner::Print(QStringLiteral("%1 %2").arg(name, b->isEnabled() ? QStringLiteral("enabled")
                                                                                   : QStringLiteral("disabled")));
        }
        return true;
    });
    runner.AddCommand(QStringLiteral("state"), QStringLiteral("state"), [&s](const QStringList&, const QString&, QString& error) {
        IVeltraneWindow* w = s.ActiveVeltraneWindow(QStringLiteral("state"), error);
        if (!w)
            return false;
        ScriptRunner::Print(QStringLiteral("unit %1").arg(w->UnitCode()));
        ScriptRunner::Print(QStringLiteral("btype %1").arg(w->BType()));
        return true;
    });
    runner.AddCommand(QStringLiteral("status"), QStringLiteral("status"), [&s](const QStringList&, const QString&, QString& error) {
        IVeltraneWindow* w = s.ActiveVeltraneWindow(QStringLiteral("status"), error);
        if (!w)
            return false;
        ScriptRunner::Print(QStringLiteral("status %1").arg(w->StatusText()));
        return true;
    });
    runner.AddCommand(QStringLiteral("timings"), QStringLiteral("timings"), [&s](const QStringList&, const QString&, QString& error) {
        IVeltraneWindow* w = s.ActiveVeltraneWindow(QStringLiteral("timings"), error);
        if (!w)
            return false;
        const IVeltraneWindow::TTimings t = w->Timings();
        if (t.AllMs < 0) {
            error = QStringLiteral("尚无完成的数据提取");
            return false;
        }
        ScriptRunner::Print(QStringLiteral("timings first %1 all %2 rows %3").arg(t.FirstMs).arg(t.AllMs).arg(t.Rows));
        return true;
    });
    runner.AddCommand(QStringLiteral("cancelafter"), QStringLiteral("cancelafter N"), [&s](const QStringList& args, const QString&, QString& error) {
        bool ok = false;
        const int n = args.size() == 1 ? args[0].toInt(&ok) : -1;
        if (!ok || n < 0) {
            error = QStringLiteral("用法：cancelafter N");
            return false;
        }
        IVeltraneWindow* w = s.ActiveVeltraneWindow(QStringLiteral("cancelafter"), error);
        if (!w)
            return false;
        w->SetCancelAfter(n);
        return true;
    });
    RegisterGridCommands(runner);
    RegisterTreeCommands(runner);
    RegisterOutputCommands(runner);
}
