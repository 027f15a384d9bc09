// Confirmation window timings on the demo database:
//   1. opening through the plug-in entry until the first records are in the grid;
//   2. confirming 10 000 ticked detail rows, against the same statements and the
//      same reload sent through Qt SQL directly in the same run;
//   3. switching between 汇总 and 明细 over 100 000 records, against the bare fetch
//      of the same query.
// Usage: bench_window [records-for-switching, default 100000]
#include "data/untDbManager.h"
#include "data/untDefData.h"
#include "data/untDemoData.h"
#include "data/untHostRecords.h"
#include "forms/bwnVeltrane.h"
#include "forms/bwnVeltraneSql.h"
#include "plugin/untGlobals.h"
#include "plugin/untPlugIn.h"
#include "toolkit/Forms.h"
#include "toolkit/NextGrid.h"
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMdiArea>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <cstdio>

namespace {

struct Host {
    explicit Host(const QString& path)
    {
        window.setCentralWidget(area);
        window.resize(1024, 768);
        app.SetMainWindow(&window);
        app.OnMessageBox = [](const QString&, const QString&, int) { return IDOK; };
        screen.SetSize(1024, 768);
        db.ConnectionString = QStringLiteral("Provider=SQLite;Data Source=") + path;
        unit.SetField(0, QString::fromLatin1(DemoDefaultUnit));
        unit.SetField(4, QString::fromLatin1(DemoDefaultDeptClass));
        user.SetField(7, QString::fromLatin1(DemoDefaultOffice));
        params.OfficeColumns = "0";
        params.DefaultBType = 1;
        pub.DataYear = DemoDefaultYear;
        pub.DbManager = &db;
        pub.UserRecord = &user;
        pub.SysParams = &params;
        pub.UnitRecord = &unit;
        info.InfoText1 = info.InfoText2 = info.InfoText3 = "";
        context.PubVariables = &pub;
        context.PlugInInfo = &info;
        context.Application = &app;
        context.Screen = &screen;
        window.show();
    }
    TDbManager db;
    QMainWindow window;
    QMdiArea* area = new QMdiArea;
    TApplication app;
    TScreen screen;
    THostRecord unit{18};
    THostRecord user{8};
    TSysParams params{};
    TPubVariables pub{};
    TPlugInInfo info{};
    TPlugInContext context{};
};

bool MakeDatabase(const QString& path, int records, bool oneScope)
{
    QString error;
    if (!CreateDemoDatabase(path, records, &error)) {
        std::fprintf(stderr, "demo database: %s\n", qPrintable(error));
        return false;
    }
    if (!oneScope)
        return true;
    // Every record in the window's first scope and view: unit 101001, 预算数, unconfirmed.
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prepare"));
    db.setDatabaseName(path);
    bool ok = db.open();
    if (ok) {
        QSqlQuery q(db);
        ok = q.exec(QStringLiteral("update BusiBudgetAdj set eid='101001', BType='1', status='0', datayear=%1")
                        .arg(DemoDefaultYear));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("prepare"));
    return ok;
}

TbfrmVeltrane* OpenWindow(Host& host, double* ms)
{
    QElapsedTimer t;
    t.start();
    ShowPlugInWindowBody("TbfrmVeltrane", &host.context);
    if (ms)
        *ms = double(t.nsecsElapsed()) / 1e6;
    return qobject_cast<TbfrmVeltrane*>(OpenPlugInWindow(QStringLiteral("TbfrmVeltrane")));
}

void CloseWindow(TbfrmVeltrane* w)
{
    if (w)
        w->Free();
    QApplication::processEvents();
}

// Reads every row of a query: what the grid load has to fetch at least.
int FetchAll(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        return -1;
    int rows = 0;
    const int cols = q.record().count();
    while (q.next()) {
        for (int c = 0; c < cols; ++c)
            (void)q.value(c).toString();
        ++rows;
    }
    return rows;
}

QSqlDatabase Baseline(const QString& path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("baseline"));
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    db.open();
    QSqlQuery q(db);
    // The same journal and durability as the module's own connections.
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    return db;
}

void BenchOpen(const QString& dir)
{
    const QString path = dir + QStringLiteral("/open.db");
    if (!MakeDatabase(path, DemoDefaultRecords, false))
        return;
    Host host(path);
    double ms = 0;
    TbfrmVeltrane* w = OpenWindow(host, &ms);
    std::printf("open to first records (demo database, %d records): %.1f ms, %d grid rows\n", DemoDefaultRecords, ms,
                w ? w->ngdBudgetAdj->RowCount() : -1);
    CloseWindow(w);
    double again = 0;
    w = OpenWindow(host, &again);
    std::printf("open again (warm cache): %.1f ms\n", again);
    CloseWindow(w);
}

void BenchConfirm(const QString& dir)
{
    const int rows = 10000;
    const QString path = dir + QStringLiteral("/confirm.db");
    if (!MakeDatabase(path, rows, true))
        return;
    Host host(path);
    TbfrmVeltrane* w = OpenWindow(host, nullptr);
    if (!w)
        return;
    w->rbtnDetail->click();
    const QString reload = w->LastRecordSQL();
    QStringList ids;
    for (int r = 0; r < w->ngdBudgetAdj->RowCount(); ++r)
        ids.append(w->ngdBudgetAdj->Cells(w->ngdBudgetAdj->Columns().FindByName(QStringLiteral("budgid")), r));

    // Baseline first: the same statements (the totals row's included) and the reload query.
    QSqlDatabase base = Baseline(path);
    QElapsedTimer t;
    t.start();
    {
        QSqlQuery q(base);
        for (const QString& id : std::as_const(ids))
            q.exec(DetailStatusSQL(nullptr, QStringLiteral("1"), id, DemoDefaultYear));
    }
    const int left = FetchAll(base, reload);
    const double baseMs = double(t.nsecsElapsed()) / 1e6;
    QSqlQuery(base).exec(QStringLiteral("update BusiBudgetAdj set status='0'"));

    w->pmuAll->trigger();
    t.restart();
    w->SetCheckedStatus(QStringLiteral("1"));
    const double winMs = double(t.nsecsElapsed()) / 1e6;
    std::printf("confirm %d ticked detail rows (+ totals row) with reload: %.1f ms; baseline Qt SQL autocommit "
                "+ reload query: %.1f ms (%d rows left); ratio %.2f\n",
                int(ids.size()) - 1, winMs, baseMs, left, winMs / baseMs);
    CloseWindow(w);
    base.close();
    base = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("baseline"));
}

void BenchSwitch(const QString& dir, int records)
{
    const QString path = dir + QStringLiteral("/switch.db");
    QElapsedTimer gen;
    gen.start();
    if (!MakeDatabase(path, records, true))
        return;
    std::printf("demo database of %d records: %.1f s\n", records, double(gen.nsecsElapsed()) / 1e9);
    Host host(path);
    TbfrmVeltrane* w = OpenWindow(host, nullptr);
    if (!w)
        return;
    QSqlDatabase base = Baseline(path);
    QElapsedTimer t;
    for (int round = 0; round < 2; ++round) {
        t.restart();
        w->rbtnDetail->click();
        const double detail = double(t.nsecsElapsed()) / 1e6;
        const int detailRows = w->ngdBudgetAdj->RowCount();
        const QString detailSql = w->LastRecordSQL();
        t.restart();
        w->rbtnSum->click();
        const double summary = double(t.nsecsElapsed()) / 1e6;
        const int summaryRows = w->ngdBudgetAdj->RowCount();
        const QString summarySql = w->LastRecordSQL();
        t.restart();
        FetchAll(base, detailSql);
        const double bareDetail = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        FetchAll(base, summarySql);
        const double bareSummary = double(t.nsecsElapsed()) / 1e6;
        std::printf("switch to 明细: %.1f ms (%d rows; bare fetch %.1f ms, ratio %.2f); to 汇总: %.1f ms (%d rows; "
                    "bare fetch %.1f ms, ratio %.2f)\n",
                    detail, detailRows, bareDetail, detail / bareDetail, summary, summaryRows, bareSummary,
                    summary / bareSummary);
    }
    CloseWindow(w);
    base.close();
    base = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("baseline"));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const int records = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    ModuleLoad();
    BenchOpen(dir.path());
    BenchConfirm(dir.path());
    BenchSwitch(dir.path(), records);
    ModuleUnload();
    return 0;
}
