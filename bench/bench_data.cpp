// Dataset load against the bare SQLite loop: the record query of the window
// (31 columns) over a 100 000-record demo database. Prints the ratio of the
// best of several runs of each; the grid wants it within 2.
#include "data/untDemoData.h"
#include "toolkit/ADODB.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <cstdio>

namespace {

const char* const DetailSql =
    " select 0 as chk,'' as NumId,BudgId,Eid,ecode,ename,Mid,mname,Bid,bname, Iid,iname,BKid,bkname,IPid,ipname,"
    "Pid,pname,EKid,ekname, BudgMoney,BudgMoney/10000 as BudgMoney_wy ,status,IniBudgId,InputDate,filename,secret,"
    "issecret,IIF(btypechild='0','控制数','临时数') as child ,burid,burname from vwbudgetadj  where datayear=2024 "
    "and eid like '1%' and  BType in ('0','1','2') order by eid,bkid,mid,bid,ipid,pid";

// The baseline: step the statement and touch every cell's text once.
qint64 BareLoop(const QString& path, size_t* chars)
{
    sqlite3* h = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, DetailSql, -1, &st, nullptr);
    const int n = sqlite3_column_count(st);
    size_t total = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < n; ++c) {
            sqlite3_column_text(st, c);
            total += size_t(sqlite3_column_bytes(st, c));
        }
    sqlite3_finalize(st);
    const qint64 ns = t.nsecsElapsed();
    sqlite3_close(h);
    *chars = total;
    return ns;
}

qint64 Dataset(const QString& path, size_t* chars, int* rows)
{
    TADOConnection conn;
    conn.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    conn.Open();
    QElapsedTimer t;
    t.start();
    TADOQuery q;
    q.SetConnection(&conn);
    q.SetSQLText(QString::fromUtf8(DetailSql));
    q.Open();
    size_t total = 0;
    const int n = q.FieldCount();
    for (int r = 0; r < q.RecordCount(); ++r)
        for (int c = 0; c < n; ++c)
            total += size_t(q.CellText(r, c).size());
    const qint64 ns = t.nsecsElapsed();
    *chars = total;
    *rows = q.RecordCount();
    return ns;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    QElapsedTimer gen;
    gen.start();
    QString error;
    if (!CreateDemoDatabase(path, records, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("demo database, %d records: %lld ms\n", records, gen.elapsed());
    qint64 bare = -1, ds = -1;
    size_t a = 0, b = 0;
    int rows = 0;
    for (int i = 0; i < 5; ++i) {
        qint64 x = BareLoop(path, &a);
        qint64 y = Dataset(path, &b, &rows);
        bare = bare < 0 ? x : qMin(bare, x);
        ds = ds < 0 ? y : qMin(ds, y);
    }
    std::printf("rows %d x 31: bare loop %.1f ms, dataset open+read %.1f ms, ratio %.2f (text %zu bytes / %zu chars)\n",
                rows, bare / 1e6, ds / 1e6, double(ds) / double(bare), a, b);
    return 0;
}
