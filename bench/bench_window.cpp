// Confirmation window timings on the demo database:
//   1. opening through the plug-in entry until the first records are in the grid;
//   2. confirming 10 000 ticked detail rows, against the same statements sent one
//      by one with autocommit on one bare SQLite connection (and with the reload,
//      against those statements and the bare fetch of the reload; medians of five
//      rounds taken in turn);
//   3. switching between 汇总 and 明细 over 100 000 records, against the bare fetch
//      of the same query.
// Usage: bench_window [records-for-switching, default 100000]
#include "bench/BenchHost.h"
#include "data/untDbManager.h"
#include "data/untDefData.h"
#include "data/untDemoData.h"
#include "data/untHostRecords.h"
#include "forms/bwnVeltrane.h"
#include "records/untRecordSql.h"
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
#include <QFile>
#include <cstdio>
#include <sqlite3.h>

namespace {

using benchhost::CloseWindow;
using benchhost::ctl;
using benchhost::WaitIdle;
using benchhost::Host;
using benchhost::Median;
using benchhost::OpenWindow;

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
                w ? ctl<TNextGrid>(w, "ngdBudgetAdj")->RowCount() : -1);
    CloseWindow(w);
    double again = 0;
    w = OpenWindow(host, &again);
    std::printf("open again (warm cache): %.1f ms\n", again);
    CloseWindow(w);
}

// Runs each statement by itself on a bare SQLite connection (autocommit), with
// the module's journal and durability.
double BareStatements(const QString& path, const QStringList& statements)
{
    sqlite3* h = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(h, 5000);
    sqlite3_exec(h, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
    QElapsedTimer t;
    t.start();
    for (const QString& sql : statements)
        sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    sqlite3_close(h);
    return ms;
}

constexpr int ConfirmRounds = 5;

// With the journal, each row's change and its entry are one transaction; without
// it (a database not upgraded), each row is one guarded statement.
void BenchConfirm(const QString& dir, bool journal)
{
    const int rows = 10000;
    const QString path = dir + (journal ? QStringLiteral("/confirm.db") : QStringLiteral("/confirm-nojournal.db"));
    if (!MakeDatabase(path, rows, true))
        return;
    if (!journal) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("nojournal"));
        db.setDatabaseName(path);
        if (db.open())
            QSqlQuery(db).exec(QStringLiteral("drop table BusiBudgetAdjLog"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("nojournal"));
    }
    Host host(path);
    TbfrmVeltrane* w = OpenWindow(host, nullptr);
    if (!w)
        return;
    ctl<QRadioButton>(w, "rbtnDetail")->click();
    WaitIdle(w);
    const QString reload = w->LastRecordSQL();
    QStringList statements;
    TNextGrid* grid = ctl<TNextGrid>(w, "ngdBudgetAdj");
    const int budgid = grid->Columns().FindByName(QStringLiteral("budgid"));
    for (int r = 0; r < grid->RowCount(); ++r)
        if (r != grid->FooterRow())
            statements.append(DetailStatusSQL(nullptr, QStringLiteral("1"), grid->Cells(budgid, r), DemoDefaultYear));

    // The window and the bare statements take turns, each on the same records
    // unconfirmed again, so that the disk's moods fall on both alike.
    QSqlDatabase base = Baseline(path);
    std::vector<double> bare, fetch, run, all;
    int left = -1;
    QElapsedTimer t;
    for (int round = 0; round < ConfirmRounds; ++round) {
        bare.push_back(BareStatements(path, statements));
        t.restart();
        left = FetchAll(base, reload);
        fetch.push_back(double(t.nsecsElapsed()) / 1e6);
        QSqlQuery(base).exec(QStringLiteral("update BusiBudgetAdj set status='0'"));
        if (journal)
            QSqlQuery(base).exec(QStringLiteral("delete from BusiBudgetAdjLog"));
        // Each side starts on an empty write-ahead log: the resets' pages are not
        // checkpointed by whichever commit comes next.
        QSqlQuery(base).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        // A fresh load of the unconfirmed rows, as the user would see them.
        ctl<QRadioButton>(w, "rbtnSum")->click();
        WaitIdle(w);
        ctl<QRadioButton>(w, "rbtnDetail")->click();
        WaitIdle(w);

        ctl<QAction>(w, "pmuAll")->trigger();
        t.restart();
        w->SetCheckedStatus(QStringLiteral("1"));
        double runMs = 0;
        while (w->Busy()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            if (runMs == 0 && !w->Running())
                runMs = double(t.nsecsElapsed()) / 1e6;   // the statements are done; the reload runs
        }
        run.push_back(runMs);
        all.push_back(double(t.nsecsElapsed()) / 1e6);
        QSqlQuery(base).exec(QStringLiteral("update BusiBudgetAdj set status='0'"));
        QSqlQuery(base).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    const double runMs = Median(run), bareMs = Median(bare), allMs = Median(all), fetchMs = Median(fetch);
    std::printf("confirm %d ticked detail rows %s: %.1f ms; the description's statements one by one with autocommit "
                "on a bare connection: %.1f ms; ratio %.2f (medians of %d rounds taken in turn)\n",
                int(statements.size()), journal ? "with the journal" : "without journal", runMs, bareMs,
                runMs / bareMs, ConfirmRounds);
    std::printf("  with the reload: %.1f ms; statements + bare fetch of the reload: %.1f ms (%d rows left); ratio %.2f\n",
                allMs, bareMs + fetchMs, left, allMs / (bareMs + fetchMs));
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
    // The window may open in 明细 (it keeps the user's last view): each round starts from 汇总.
    ctl<QRadioButton>(w, "rbtnSum")->click();
    WaitIdle(w);
    QElapsedTimer t;
    for (int round = 0; round < 2; ++round) {
        t.restart();
        ctl<QRadioButton>(w, "rbtnDetail")->click();
        WaitIdle(w);
        const double detail = double(t.nsecsElapsed()) / 1e6;
        const int detailRows = ctl<TNextGrid>(w, "ngdBudgetAdj")->RowCount();
        const QString detailSql = w->LastRecordSQL();
        t.restart();
        ctl<QRadioButton>(w, "rbtnSum")->click();
        WaitIdle(w);
        const double summary = double(t.nsecsElapsed()) / 1e6;
        const int summaryRows = ctl<TNextGrid>(w, "ngdBudgetAdj")->RowCount();
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
    // bench_window [RECORDS] | bench_window confirm (the confirm runs alone)
    const bool confirmOnly = argc > 1 && QByteArray(argv[1]) == "confirm";
    const int records = argc > 1 && !confirmOnly ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    ModuleLoad();
    if (!confirmOnly)
        BenchOpen(dir.path());
    BenchConfirm(dir.path(), false);
    BenchConfirm(dir.path(), true);
    if (!confirmOnly)
        BenchSwitch(dir.path(), records);
    ModuleUnload();
    return 0;
}
