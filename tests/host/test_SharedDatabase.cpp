// Many desks on one database: the real host writes exactly the records its user
// saw, and says what the database changed, while the test, as a second user,
// changes records between what the host shows and what it writes. One body for
// the embedded database and the PostgreSQL test server.
#include "tests/host/HostProcess.h"
#include "data/untDemoData.h"
#include "tests/data/PgServer.h"
#include "toolkit/ConnectionString.h"
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace hostproc;

namespace {

enum class Kind { SQLite, Postgres };

const QString Columns = QStringLiteral(
    "datayear,BudgId,eid,deptclass,BType,btypechild,mid,bid,iid,bkid,ipid,pid,ekid,BudgMoney,status,IniBudgId,"
    "InputDate,filename,secret,issecret,burid");

// A grid as the host's "cells" command prints it: a line of column names, then rows.
struct Cells {
    explicit Cells(const QString& out)
    {
        QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        while (!lines.isEmpty() && !lines.first().startsWith(QLatin1String("chk\t")))
            lines.removeFirst();
        if (lines.isEmpty())
            return;
        names = lines.takeFirst().split(QLatin1Char('\t'));
        for (const QString& l : std::as_const(lines))
            if (l.contains(QLatin1Char('\t')))
                rows << l.split(QLatin1Char('\t'));
    }
    QString At(int row, const char* name) const
    {
        const qsizetype c = names.indexOf(QLatin1String(name));
        return row < rows.size() && c >= 0 ? rows[row].value(c) : QString();
    }
    QStringList names;
    QList<QStringList> rows;
};

class SharedDatabase : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        QString error;
        if (GetParam() == Kind::Postgres) {
            pg = std::make_unique<pgtest::Database>();
            if (!pg->Skip.empty())
                GTEST_SKIP() << pg->Skip;
            ASSERT_TRUE(CreateDemoDatabaseAt(pg->ConnectionString, 1500, &error)) << qPrintable(error);
            connection = pg->ConnectionString;
            const ConnectionSettings cs = ParseConnectionString(connection);
            db = std::make_unique<Db>(QStringLiteral("QPSQL"), [&](QSqlDatabase& d) {
                d.setHostName(cs.Value(QStringLiteral("Server")));
                d.setPort(cs.Value(QStringLiteral("Port")).toInt());
                d.setDatabaseName(cs.Value(QStringLiteral("Database")));
                d.setUserName(cs.Value(QStringLiteral("UID")));
            });
        } else {
            const QString file = dir.filePath(QStringLiteral("shared.sqlite"));
            ASSERT_TRUE(CreateDemo(file, 1500));
            connection = Sqlite(file);
            db = std::make_unique<Db>(file);
        }
        ASSERT_TRUE(db->Handle().isOpen());
    }

    std::unique_ptr<Session> Host(QStringList extra = {})
    {
        return std::make_unique<Session>(QStringList{QStringLiteral("--connection"), connection,
                                                     QStringLiteral("--screen"), QStringLiteral("1024x768"),
                                                     QStringLiteral("--script"), QStringLiteral("-")}
                                         + extra);
    }
    QString Value(const QString& sql) { return db->Value(sql).toString(); }
    void Exec(const QString& sql) { ASSERT_TRUE(db->Exec(sql)) << qPrintable(sql); }
    // The records of a summary row's key in the view's year, type and class.
    QString OfKey(const Cells& c, int row)
    {
        return QStringLiteral(" from BusiBudgetAdj where datayear=2024 and BType='1' and deptclass='2' and eid like "
                              "'%1%' and mid='%2' and bkid='%3' and pid='%4' and ipid='%5' and bid='%6' and iid='%7'")
            .arg(c.At(row, "eid"), c.At(row, "mid"), c.At(row, "bkid"), c.At(row, "pid"), c.At(row, "ipid"),
                 c.At(row, "bid"), c.At(row, "iid"));
    }
    // A second user adds a copy of a record under a new number, with that status.
    void AddCopy(const QString& budgid, const char* status)
    {
        const QString copied = QString(Columns).replace(QLatin1String("BudgId"), QLatin1String("BudgId+900000"))
                                   .replace(QLatin1String("status"), QStringLiteral("'%1'").arg(QLatin1String(status)));
        Exec(QStringLiteral("insert into BusiBudgetAdj (%1) select %2 from BusiBudgetAdj where datayear=2024 and "
                            "BudgId=%3").arg(Columns, copied, budgid));
    }

    QTemporaryDir dir;
    std::unique_ptr<pgtest::Database> pg;
    std::unique_ptr<Db> db;
    QString connection;
};

QString StatusLine(const QString& out)
{
    for (const QString& l : out.split(QLatin1Char('\n')))
        if (l.startsWith(QLatin1String("status ")))
            return l;
    return {};
}

}  // namespace

TEST_P(SharedDatabase, AWriteChangesOnlyTheRecordsItsUserSawAndSaysWhatChanged)
{
    auto a = Host({QStringLiteral("--param"), QStringLiteral("LargeRunRecords=100000")});
    // A summary row; another user adds an unconfirmed record of its key.
    Cells sum(a->Send(QStringLiteral("open\nselect 101\nmode summary\nview unconfirmed\ncells\n")));
    ASSERT_GT(sum.rows.size(), 1);
    const QString ofRow = OfKey(sum, 0);
    const QString confirmedOfRow = QStringLiteral("select count(*)") + ofRow + QStringLiteral(" and status='1'");
    const QString wereConfirmed = Value(confirmedOfRow);
    AddCopy(Value(QStringLiteral("select min(BudgId)") + ofRow + QStringLiteral(" and status='0'")), "0");
    QString out = a->Send(QStringLiteral("tick 0\npress tbtnConfirm\nstatus\n"));
    EXPECT_TRUE(StatusLine(out).endsWith(QStringLiteral("已确认 0 条，金额 0.00 元；1 条已被他人改动，未修改")))
        << qPrintable(out);
    EXPECT_EQ(Value(confirmedOfRow), wereConfirmed) << "nothing of the row was confirmed";

    // A confirmed row; another user confirms one more of its key: 撤销 takes back nothing.
    Cells confirmed(a->Send(QStringLiteral("view confirmed\ncells\n")));
    ASSERT_GT(confirmed.rows.size(), 1);
    const QString ofConfirmed = OfKey(confirmed, 0);
    const QString before = Value(QStringLiteral("select count(*)") + ofConfirmed + QStringLiteral(" and status='1'"));
    AddCopy(Value(QStringLiteral("select min(BudgId)") + ofConfirmed + QStringLiteral(" and status='1'")), "1");
    out = a->Send(QStringLiteral("tick 0\npress tbtnCancel\nstatus\n"));
    EXPECT_TRUE(StatusLine(out).endsWith(QStringLiteral("已撤销 0 条，金额 0.00 元；1 条已被他人改动，未修改")))
        << qPrintable(out);
    EXPECT_EQ(Value(QStringLiteral("select count(*)") + ofConfirmed + QStringLiteral(" and status='1'")).toInt(),
              before.toInt() + 1);

    // Three detail rows: one raised, one deleted, one moved to another unit and type.
    Cells detail(a->Send(QStringLiteral("mode detail\nview unconfirmed\ncells\n")));
    ASSERT_GT(detail.rows.size(), 4);
    const QString r0 = detail.At(0, "budgid"), r1 = detail.At(1, "budgid"), r2 = detail.At(2, "budgid");
    Exec(QStringLiteral("update BusiBudgetAdj set BudgMoney=99999999.99 where datayear=2024 and BudgId=") + r0);
    Exec(QStringLiteral("delete from BusiBudgetAdj where datayear=2024 and BudgId=") + r1);
    Exec(QStringLiteral("update BusiBudgetAdj set eid='102001', BType='2' where datayear=2024 and BudgId=") + r2);
    out = a->Send(QStringLiteral("tick 0 1 2 3\npress tbtnConfirm\nstatus\n"));
    const QString oneRecord = Value(QStringLiteral("select BudgMoney from BusiBudgetAdj where datayear=2024 and BudgId=")
                                    + detail.At(3, "budgid"));
    EXPECT_TRUE(StatusLine(out).contains(QStringLiteral("已确认 1 条，金额 ")) && StatusLine(out).endsWith(QStringLiteral("；3 条已被他人改动，未修改")))
        << qPrintable(out) << qPrintable(oneRecord);
    for (const QString& id : {r0, r2})
        EXPECT_EQ(Value(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and BudgId=") + id),
                  QStringLiteral("0"));
    EXPECT_EQ(Value(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and BudgId=") + detail.At(3, "budgid")),
              QStringLiteral("1"));

    // The hidden delete of the unconfirmed summary view leaves the confirmed records of its key.
    Cells again(a->Send(QStringLiteral("mode summary\nview confirmed\nview unconfirmed\ncells\n")));
    const QString ofDeleted = OfKey(again, 0);
    const QString confirmedOfKey = Value(QStringLiteral("select count(*)") + ofDeleted + QStringLiteral(" and status='1'"));
    out = a->Send(QStringLiteral("answer yes\ntick 0\npress tbtnDel\n"));
    EXPECT_EQ(Value(QStringLiteral("select count(*)") + ofDeleted + QStringLiteral(" and status='0'")), QStringLiteral("0"))
        << qPrintable(out);
    EXPECT_EQ(Value(QStringLiteral("select count(*)") + ofDeleted + QStringLiteral(" and status='1'")), confirmedOfKey);
    EXPECT_EQ(a->Finish().code, 0);
}

TEST_P(SharedDatabase, TheViewsOfficeAndDepartmentClassBoundEveryWrite)
{
    // The operator's office only: confirming every row leaves other offices' records.
    const QString others = QStringLiteral(
        "select count(*) from BusiBudgetAdj where datayear=2024 and BType='1' and eid like '101%' and status='0' "
        "and burid<>'03'");
    const QString before = Value(others);
    ASSERT_NE(before, QStringLiteral("0"));
    auto a = Host({QStringLiteral("--param"), QStringLiteral("OfficeColumns=0"), QStringLiteral("--param"),
                   QStringLiteral("OfficeFilter=1"), QStringLiteral("--param"), QStringLiteral("LargeRunRecords=0"),
                   QStringLiteral("--office"), QStringLiteral("03")});
    QString out = a->Send(QStringLiteral("open\nselect 101\nmode summary\nanswer yes\npress pmuAll\npress tbtnConfirm\nstatus\n"));
    // More than none asks first (the limit is 0), with the records and money from the rows.
    EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("message Korrindel 7.1-操作确认 \\| 确认 \\d+ 条预算指标、金额 [\\d,.]+ 元（人民币\\S+[元角分整]）？"))))
        << qPrintable(out);
    EXPECT_EQ(Value(others), before);
    EXPECT_EQ(Value(QStringLiteral("select count(*) from BusiBudgetAdj where datayear=2024 and BType='1' and eid like "
                                   "'101%' and status='0' and burid='03'")),
              QStringLiteral("0"));
    EXPECT_EQ(a->Finish().code, 0);

    // The department class held as "02": the write compares it as the record query does.
    auto b = Host({QStringLiteral("--unit-field"), QStringLiteral("4=02"), QStringLiteral("--param"),
                   QStringLiteral("LargeRunRecords=100000")});
    Cells sum(b->Send(QStringLiteral("open\nselect 101\nmode detail\ncells\n")));
    ASSERT_GT(sum.rows.size(), 1);
    out = b->Send(QStringLiteral("tick 0\npress tbtnConfirm\nstatus\n"));
    EXPECT_TRUE(StatusLine(out).contains(QStringLiteral("已确认 1 条，"))) << qPrintable(out);
    EXPECT_EQ(Value(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and BudgId=") + sum.At(0, "budgid")),
              QStringLiteral("1"));
    EXPECT_EQ(b->Finish().code, 0);
}

INSTANTIATE_TEST_SUITE_P(Databases, SharedDatabase, ::testing::Values(Kind::SQLite, Kind::Postgres),
                         [](const ::testing::TestParamInfo<Kind>& i) {
                             return i.param == Kind::SQLite ? std::string("SQLite") : std::string("Postgres");
                         });

TEST(SharedDatabaseFaults, AnOlderTableWithoutKeyTwinsNullsAndOtherStatuses)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("old.sqlite"));
    ASSERT_TRUE(CreateDemo(file, 400));
    Db db(file);
    // The records table of an older schema: no primary key, no NOT NULL.
    for (const QString& sql : {
             QStringLiteral("create table old as select * from BusiBudgetAdj"), QStringLiteral("drop table BusiBudgetAdj"),
             QStringLiteral("create table BusiBudgetAdj as select * from old"), QStringLiteral("drop table old")})
        ASSERT_TRUE(db.Exec(sql)) << qPrintable(sql);
    // Twins of every number of one unit, a key code held as NULL, and a status that is neither.
    ASSERT_TRUE(db.Exec(QStringLiteral("insert into BusiBudgetAdj select * from BusiBudgetAdj where datayear=2024 and eid='101001'")));
    const QString confirmedTwins = QStringLiteral("select count(*) from BusiBudgetAdj where eid='101001' and status='1'");
    const QString before = db.Value(confirmedTwins).toString();
    ASSERT_TRUE(db.Exec(QStringLiteral("update BusiBudgetAdj set mid=null, status='0' where rowid in (select rowid from "
                                       "BusiBudgetAdj where datayear=2024 and eid like '101002%' and BType='1' limit 2)")));
    ASSERT_TRUE(db.Exec(QStringLiteral("update BusiBudgetAdj set status='2' where rowid in (select rowid from "
                                       "BusiBudgetAdj where datayear=2024 and eid like '101002%' and BType='1' and "
                                       "mid is not null limit 1)")));
    const QString twos = QStringLiteral("select count(*) from BusiBudgetAdj where status='2'");
    const QString emptyMid = db.Value(QStringLiteral("select count(*) from BusiBudgetAdj where mid=''")).toString();

    const Result r = Script(file, QStringLiteral(
        "open\nselect 101001\nmode detail\ncells\ntick 0\npress tbtnConfirm\nstatus\n"
        "select 101002\nmode summary\npress pmuAll\npress tbtnConfirm\nstatus\n"));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    // The ticked twin is refused, neither of the two confirmed.
    EXPECT_TRUE(r.out.contains(QStringLiteral("在 2024 年度有多条预算指标，无法确定选中的是哪一条"))) << qPrintable(r.out);
    EXPECT_EQ(db.Value(confirmedTwins).toString(), before);
    // The NULL codes' row is written as NULL codes; '' and status 2 are left alone.
    EXPECT_EQ(db.Value(QStringLiteral("select count(*) from BusiBudgetAdj where mid is null and status='0'")).toString(),
              QStringLiteral("0"));
    EXPECT_EQ(db.Value(QStringLiteral("select count(*) from BusiBudgetAdj where mid=''")).toString(), emptyMid);
    EXPECT_EQ(db.Value(twos).toString(), QStringLiteral("1"));
}

TEST(SharedDatabaseFaults, APostgresRowLockHoldsThatRowAloneAndCancelStopsTheStatementAtOnce)
{
    pgtest::Database server;
    if (!server.Skip.empty())
        GTEST_SKIP() << server.Skip;
    QString error;
    ASSERT_TRUE(CreateDemoDatabaseAt(server.ConnectionString, 400, &error)) << qPrintable(error);
    const ConnectionSettings cs = ParseConnectionString(server.ConnectionString);
    Db other(QStringLiteral("QPSQL"), [&](QSqlDatabase& d) {
        d.setHostName(cs.Value(QStringLiteral("Server")));
        d.setPort(cs.Value(QStringLiteral("Port")).toInt());
        d.setDatabaseName(cs.Value(QStringLiteral("Database")));
        d.setUserName(cs.Value(QStringLiteral("UID")));
    });
    Session a({QStringLiteral("--connection"), server.ConnectionString, QStringLiteral("--screen"),
               QStringLiteral("1024x768"), QStringLiteral("--script"), QStringLiteral("-")});
    Cells rows(a.Send(QStringLiteral("open\nselect 101001\nmode detail\ncells\n")));
    ASSERT_GT(rows.rows.size(), 1);
    // Another session holds the row's lock and idles in its transaction.
    ASSERT_TRUE(other.Exec(QStringLiteral("begin")));
    ASSERT_TRUE(other.Exec(QStringLiteral("update BusiBudgetAdj set filename=filename where datayear=2024 and BudgId=")
                           + rows.At(0, "budgid")));
    // Had 取消 waited out the lock, the run would say it failed, not that it was cancelled.
    QString out = a.Send(QStringLiteral("tick 0\nnowait press tbtnConfirm\nnowait wait 300\npress btnProcessCancel\nstatus\n"));
    EXPECT_TRUE(StatusLine(out).contains(QStringLiteral("已取消：已确认 0 条"))) << qPrintable(out);
    // Without 取消 the wait for that row ends after the lock timeout: the row is
    // another user's now, like one changed since it was loaded, and the run goes on.
    out = a.Send(QStringLiteral("press pmuClear\ntick 0 1\npress tbtnConfirm\nstatus\n"));
    EXPECT_FALSE(out.contains(QStringLiteral("确认预算指标时出错。"))) << qPrintable(out);
    EXPECT_TRUE(StatusLine(out).contains(QStringLiteral("已确认 1 条，"))) << qPrintable(out);
    EXPECT_TRUE(StatusLine(out).contains(QStringLiteral("；1 条已被他人改动，未修改"))) << qPrintable(out);
    ASSERT_TRUE(other.Exec(QStringLiteral("rollback")));
    EXPECT_EQ(other.Value(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and BudgId=") + rows.At(0, "budgid")).toString(),
              QStringLiteral("0"));
    EXPECT_EQ(other.Value(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and BudgId=") + rows.At(1, "budgid")).toString(),
              QStringLiteral("1"));
    EXPECT_EQ(a.Finish().code, 0);
}

TEST(SharedDatabaseFaults, QuittingTheHostDuringARunAsksCancelsAndSaysWhatWasDone)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quit.sqlite"));
    ASSERT_TRUE(CreateDemo(file, 6000));
    Db db(file);
    const QString ofView = QStringLiteral(" from BusiBudgetAdj where datayear=2024 and BType='1' and deptclass='2' and eid like '101%'");
    const int all = db.Value(QStringLiteral("select count(*)") + ofView).toInt();
    const Result r = Script(file, QStringLiteral(
        "open\nselect top\nmode detail\npress pmuAll\nanswer no\nnowait press tbtnConfirm\nquit\n"
        "echo still here\nview confirmed\npress pmuAll\nanswer yes\nnowait press tbtnCancel\nquit\necho not reached\n"),
        {QStringLiteral("--param"), QStringLiteral("LargeRunRecords=100000")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    // No: the host stays and the run goes on to its end.
    EXPECT_TRUE(r.out.contains(QStringLiteral("是否取消尚未处理的部分并退出？"))) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("quit refused")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("still here")));
    // Yes: the run stops, the user is told what was done, and the host goes.
    const QRegularExpression told(QStringLiteral("已停止处理：已取消：已撤销 (\\d+) 条"));
    const QRegularExpressionMatch m = told.match(r.out);
    ASSERT_TRUE(m.hasMatch()) << qPrintable(r.out);
    EXPECT_FALSE(r.out.contains(QStringLiteral("not reached")));
    const int cancelled = m.captured(1).toInt();
    EXPECT_LT(cancelled, all);
    EXPECT_EQ(db.Value(QStringLiteral("select count(*)") + ofView + QStringLiteral(" and status='1'")).toInt(),
              all - cancelled);
}
