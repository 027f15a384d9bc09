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
}
