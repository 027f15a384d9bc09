// The journal window's first entries of a journal of many entries (B), against
// the bare SQLite loop of the same page (B0) and against fetching every entry of
// the search (the most a window that shows nothing until it has all would wait).
//
//   bench_journal [entries]        default: 1000000
//
// B: from TJournalModel::Search to the first page in the model (a worker's
// statement on a session of the module, handed to the interface thread).
// B0: the page's statement stepped on a bare sqlite3 connection. Searches: all
// entries, one operator's (index), one record's (index), a unit range and a
// time range (the key walked). Medians of 5 runs.
#include "bench/BenchStats.h"
#include "data/untDbManager.h"
#include "data/untDemoData.h"
#include "records/untJournalSearch.h"
#include "toolkit/Threads.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace {

using benchstats::Median;

double Time(const std::function<void()>& run)
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        runs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return Median(runs);
}

bool Exec(sqlite3* db, const QString& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", err ? err : "error");
        sqlite3_free(err);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(1000, atoi(argv[1])) : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.sqlite"));
    QString error;
    if (!CreateDemoDatabase(path, 2000, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    sqlite3* raw = nullptr;
    sqlite3_open(path.toUtf8().constData(), &raw);
    // Ten operators, four actions, a run marker every thousand entries, a year of
    // times in order, units and records of the demo's.
    const QString fill = QStringLiteral(
        "with recursive s(i) as (select 1 union all select i+1 from s where i<%1) "
        "insert into BusiBudgetAdjLog (RunId,Action,DataYear,BudgId,OldStatus,NewStatus,BudgMoney,Operator,"
        "Workstation,LoggedAt,eid) select 'run-'||(i/1000), case when i%1000=0 then 'confirm:end' else "
        "case i%4 when 0 then 'confirm' when 1 then 'cancel' when 2 then 'confirm' else 'undo' end end, 2024, "
        "1+i%2000, '0','1', (i%100000)/100.0, '操作员'||(i%10), 'desk-'||(i%7), "
        "strftime('%Y-%m-%dT%H:%M:%S.000Z', 1735689600 + i*31, 'unixepoch'), "
        "case i%3 when 0 then '101001' when 1 then '102001' else '103' end from s")
                             .arg(entries);
    if (!Exec(raw, QStringLiteral("begin")) || !Exec(raw, fill) || !Exec(raw, QStringLiteral("commit")))
        return 1;

    TAdoConn conn;
    conn.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);

    struct Search {
        const char* name;
        TJournalFilter filter;
    };
    std::vector<Search> searches(5);
    searches[0].name = "all entries";
    searches[1].name = "one operator";
    searches[1].filter.Operator = QStringLiteral("操作员3");
    searches[2].name = "one record";
    searches[2].filter.BudgId = QStringLiteral("77");
    searches[3].name = "unit range 102";
    searches[3].filter.Unit = QStringLiteral("102");
    searches[4].name = "a week in spring";
    searches[4].filter.From = QDate(2025, 4, 1);
    searches[4].filter.To = QDate(2025, 4, 7);

    std::printf("journal of %d entries, first page of %d entries\n\n", entries, TJournalModel::FirstPage);
    std::printf("| search | B0 bare page (ms) | B first page shown (ms) | B / B0 | every entry (ms) | entries |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (const Search& s : searches) {
        const QByteArray page = JournalSearchSQL(&conn, s.filter, 0, TJournalModel::FirstPage).toUtf8();
        const double bare = Time([&] {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(raw, page.constData(), int(page.size()), &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW)
                for (int c = 0; c < sqlite3_column_count(st); ++c)
                    sqlite3_column_text(st, c);
            sqlite3_finalize(st);
        });
        TJournalModel model(&conn);
        const double first = Time([&] {
            model.Search(s.filter);
            while (model.Fetching())
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        });
        size_t all = 0;
        const double whole = Time([&] {
            const TResult<std::vector<TJournalRow>> rows = FetchJournal(&conn, s.filter);
            all = rows ? rows.Value().size() : 0;
        });
        std::printf("| %s | %.1f | %.1f | %.1f | %.0f | %zu |\n", s.name, bare, first, bare > 0 ? first / bare : 0.0,
                    whole, all);
    }
    sqlite3_close(raw);
    TThread::StopWorkers();
    return 0;
}
