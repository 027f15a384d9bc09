// Script commands on the record grid: what it shows, its raw cells, ticking,
// its row filter and copying.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include "toolkit/Forms.h"
#include "toolkit/NextGrid.h"
#include "toolkit/NextGridModel.h"
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

namespace {

TNextGrid* Grid(HostSession& s, QString& error)
{
    TForm* f = s.ActiveModuleWindow();
    if (!f) {
        error = QStringLiteral("没有打开的模块窗口");
        return nullptr;
    }
    auto* g = f->Handle() ? f->Handle()->findChild<TNextGrid*>(QStringLiteral("ngdBudgetAdj")) : nullptr;
    if (!g)
        error = QStringLiteral("窗口中没有表格 ngdBudgetAdj");
    return g;
}

int CheckColumn(const TNextGrid* g)
{
    for (int c = 0; c < g->Columns().Count(); ++c)
        if (g->Columns()[c]->Kind() == TNxColumnKind::CheckBox)
            return c;
    return -1;
}

// tick and untick: only boxes not already in the wanted state are clicked.
bool Tick(HostSession& s, const QStringList& args, bool wanted, QString& error)
{
    TNextGrid* g = Grid(s, error);
    if (!g)
        return false;
    if (args.isEmpty()) {
        error = QStringLiteral("用法：%1 ROW...").arg(wanted ? QStringLiteral("tick") : QStringLiteral("untick"));
        return false;
    }
    const int col = CheckColumn(g);
    if (col < 0) {
        error = QStringLiteral("表格没有复选框列");
        return false;
    }
    for (const QString& a : args) {
        bool ok = false;
        const int row = a.toInt(&ok);
        if (!ok || row < 0 || row >= g->RowCount()) {
            error = QStringLiteral("表格没有第 %1 行").arg(a);
            return false;
        }
        if (TNxCheckBoxColumn::IsTicked(g->Cells(col, row)) == wanted)
            continue;
        if (!g->UserToggleCheck(col, row))
            ScriptRunner::Print(QStringLiteral("refused %1").arg(row));
    }
    return true;
}

}  // namespace

void RegisterGridCommands(ScriptRunner& runner)
{
    HostSession& s = runner.Session();
    runner.AddCommand(QStringLiteral("grid"), QStringLiteral("grid"), [&s](const QStringList&, const QString&, QString& error) {
        TNextGrid* g = Grid(s, error);
        if (!g)
            return false;
        QList<int> shown;
        QStringList header;
        for (int c = 0; c < g->Columns().Count(); ++c)
            if (g->Columns()[c]->Visible()) {
                shown << c;
                header << g->Columns()[c]->Header().Caption;
            }
        ScriptRunner::Print(header.join(QLatin1Char('\t')));
        for (int i = 0; i < g->ShownRowCount(); ++i) {
            const int r = g->ShownRow(i);
            QStringList cells;
            for (int c : shown)
                cells << g->DisplayText(c, r);
            ScriptRunner::Print(cells.join(QLatin1Char('\t')));
        }
        return true;
    });
    runner.AddCommand(QStringLiteral("cells"), QStringLiteral("cells"), [&s](const QStringList&, const QString&, QString& error) {
        TNextGrid* g = Grid(s, error);
        if (!g)
            return false;
        QStringList header;
        for (int c = 0; c < g->Columns().Count(); ++c)
            header << g->Columns()[c]->Name();
        ScriptRunner::Print(header.join(QLatin1Char('\t')));
        for (int r = 0; r < g->RowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < g->Columns().Count(); ++c)
                cells << g->Cells(c, r);
            ScriptRunner::Print(cells.join(QLatin1Char('\t')));
        }
        return true;
    });
    runner.AddCommand(QStringLiteral("tick"), QStringLiteral("tick ROW..."), [&s](const QStringList& args, const QString&, QString& error) {
        return Tick(s, args, true, error);
    });
    runner.AddCommand(QStringLiteral("untick"), QStringLiteral("untick ROW..."), [&s](const QStringList& args, const QString&, QString& error) {
        return Tick(s, args, false, error);
    });
    // The condition as the user types it into the filter row; applied at once.
    runner.AddCommand(QStringLiteral("filter"), QStringLiteral("filter COLUMN TEXT"), [&s](const QStringList&, const QString& rest, QString& error) {
        const QString line = rest.trimmed();
        const qsizetype gap = line.indexOf(QLatin1Char(' '));
        const QString name = gap < 0 ? line : line.left(gap);
        const QString text = gap < 0 ? QString() : line.mid(gap + 1).trimmed();
        if (name.isEmpty()) {
            error = QStringLiteral("用法：filter COLUMN TEXT");
            return false;
        }
        TNextGrid* g = Grid(s, error);
        if (!g)
            return false;
        const int col = g->Columns().FindByName(name);
        if (col < 0) {
            error = QStringLiteral("表格没有列 %1").arg(name);
            return false;
        }
        if (g->Columns()[col]->Kind() == TNxColumnKind::CheckBox) {
            error = QStringLiteral("复选框列 %1 不能筛选").arg(name);
            return false;
        }
        if (!g->SetColumnFilter(col, text))
            ScriptRunner::Print(QStringLiteral("invalid %1 %2").arg(name, text));
        ScriptRunner::Print(QStringLiteral("shown %1/%2").arg(g->ShownRowCount()).arg(g->RowCount()));
        return true;
    });
    runner.AddCommand(QStringLiteral("copy"), QStringLiteral("copy"), [&s](const QStringList&, const QString&, QString& error) {
        TNextGrid* g = Grid(s, error);
        if (!g)
            return false;
        // What Ctrl+C does; what is printed is read back from the clipboard.
        if (g->CopySelection().isEmpty())
            return true;
        const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (i + 1 < lines.size() || !lines[i].isEmpty())
                ScriptRunner::Print(lines[i]);
        return true;
    });
    // The module's window as its title-bar buttons leave it.
    runner.AddCommand(QStringLiteral("window"), QStringLiteral("window maximized|normal"), [&s](const QStringList& args, const QString&, QString& error) {
        TForm* f = s.ActiveModuleWindow();
        QWidget* frame = f ? f->Frame() : nullptr;
        if (!frame) {
            error = QStringLiteral("没有打开的模块窗口");
            return false;
        }
        if (args.size() == 1 && args[0] == QLatin1String("maximized"))
            frame->showMaximized();
        else if (args.size() == 1 && args[0] == QLatin1String("normal"))
            frame->showNormal();
        else {
            error = QStringLiteral("用法：window maximized|normal");
            return false;
        }
        return true;
    });
    // A press and release of the left button at the centre of a cell as the user
    // sees it: the event goes to the window, which hands it to whatever is there.
    runner.AddCommand(QStringLiteral("click"), QStringLiteral("click ROW FIELD"), [&s](const QStringList& args, const QString&, QString& error) {
        TNextGrid* g = Grid(s, error);
        if (!g)
            return false;
        bool ok = false;
        const int row = args.size() == 2 ? args[0].toInt(&ok) : -1;
        const int col = ok ? g->Columns().FindByName(args[1]) : -1;
        const int shown = row >= 0 && row < g->RowCount() ? g->Model()->ViewRow(row) : -1;
        if (!ok || col < 0 || shown < 0) {
            error = ok && col < 0 ? QStringLiteral("表格没有列 %1").arg(args[1])
                    : ok          ? QStringLiteral("表格没有显示第 %1 行").arg(args[0])
                                  : QStringLiteral("用法：click ROW FIELD");
            return false;
        }
        const QModelIndex index = g->model()->index(shown, col);
        g->scrollTo(index);
        QApplication::processEvents();
        const QPoint global = g->viewport()->mapToGlobal(g->visualRect(index).center());
        QWidget* top = g->window();
        QWindow* handle = top ? top->windowHandle() : nullptr;
        if (!handle || !top->rect().contains(top->mapFromGlobal(global))) {
            error = QStringLiteral("第 %1 行的 %2 不在屏幕上").arg(args[0], args[1]);
            return false;
        }
        const QPoint at = handle->mapFromGlobal(global);
        QTest::mouseClick(handle, Qt::LeftButton, Qt::NoModifier, at);
        return true;
    });
    // Notches of the mouse wheel over the middle of the grid (negative: down).
    runner.AddCommand(QStringLiteral("wheel"), QStringLiteral("wheel N"), [&s](const QStringList& args, const QString&, QString& error) {
        TNextGrid* g = Grid(s, error);
        if (!g)
            return false;
        bool ok = false;
        const int notches = args.size() == 1 ? args[0].toInt(&ok) : 0;
        if (!ok) {
            error = QStringLiteral("用法：wheel N");
            return false;
        }
        // Whatever is on screen at the middle of the grid gets the notches, as
        // from the pointer resting there.
        const QPoint global = g->viewport()->mapToGlobal(g->viewport()->rect().center());
        QWidget* under = QApplication::widgetAt(global);
        if (!under || !g->isAncestorOf(under)) {
            error = QStringLiteral("表格不在屏幕上");
            return false;
        }
        for (int i = 0; i < qAbs(notches); ++i) {
            const QPoint delta(0, notches > 0 ? QWheelEvent::DefaultDeltasPerStep : -QWheelEvent::DefaultDeltasPerStep);
            QWheelEvent wheel(under->mapFromGlobal(QPointF(global)), QPointF(global), QPoint(), delta, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(under, &wheel);
            QApplication::processEvents();
        }
        return true;
    });
    // The first row in view, in the numbering of tick and cells.
    runner.AddCommand(QStringLiteral("toprow"), QStringLiteral("toprow"), [&s](const QStringList&, const QString&, QString& error) {
        TNextGrid* g = Grid(s, error);
        if (!g)
            return false;
        const int shown = g->rowAt(0);
        ScriptRunner::Print(QStringLiteral("toprow %1").arg(shown < 0 ? -1 : g->ShownRow(shown)));
        return true;
    });
}
