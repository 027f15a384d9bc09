// Script commands on the record grid: what it shows, its raw cells, and ticking.
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include <QMainWindow>
#include <QMdiSubWindow>
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
        for (int r = 0; r < g->RowCount(); ++r) {
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
}
