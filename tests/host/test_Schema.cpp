// The database the module meets: one the host did not make (no indexes, no
// journal) is brought up to the module's schema when opened, once; servers on
// request; a database without the journal works as before and says so once;
// undo of the last run and a record's history through the real host.
#include "data/untDemoData.h"
#include "tests/data/PgServer.h"
#include "tests/host/HostProcess.h"
#include "toolkit/ConnectionString.h"
#include <QRegularExpression>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace hostproc;

namespace {

// A demo database as another program would have made it: the tables and the
// view with their keys, nothing of ours beyond.
void MakeForeign(const Db& db)
{
    for (const char* sql : {"drop index ix_pubdept_parent", "drop index ix_budgetadj_filter", "drop index ix_budgetadj_key",
                            "drop table BusiBudgetAdjLog", "pragma user_version=0"})
        ASSERT_TRUE(db.Exec(QLatin1String(sql))) << sql;
}

int Indexes(const Db& db)
{
    return db.Value(QStringLiteral("select count(*) from sqlite_master where type='index' and name in "
                                   "('ix_pubdept_parent','ix_budgetadj_filter','ix_budgetadj_key')")).toInt();
}

QStringList Lines(const QString& out, const QString& start)
{
    return out.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^") + start));
}

}  // namespace

TEST(Schema, AnEmbeddedDatabaseIsUpgradedOnItsFirstOpenOnly)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("foreign.sqlite"));
    ASSERT_TRUE(CreateDemo(file, 300));
    {
        Db db(file);
        MakeForeign(db);
    }
    // --no-upgrade: left as it is; the window works and says once what is missing.
    Result r = Script(file, QStringLiteral("open\nclose\nopen\nmode detail\ntick 0\npress tbtnConfirm\nstatus\n"),
                      {QStringLiteral("--no-upgrade")});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(Lines(r.out, QStringLiteral("upgrade ")).isEmpty());
    EXPECT_EQ(Lines(r.out, QStringLiteral("message .*没有操作日志表")).size(), 1) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("已确认 1 条，"))) << qPrintable(r.out);
    {
        Db db(file);
        EXPECT_EQ(Indexes(db), 0);
    }

    // The first open builds what is missing and says so; the second does nothing.
    r = Script(file, QStringLiteral("open\nwindows\n"));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QStringList steps = Lines(r.out, QStringLiteral("upgrade "));
    EXPECT_EQ(steps.size(), 5) << qPrintable(r.out);   // three of records and units, two of the journal
    EXPECT_TRUE(steps.value(1).startsWith(QStringLiteral("upgrade 正在建立索引 ix_budgetadj_filter（BusiBudgetAdj，")))
        << qPrintable(steps.value(1));
    EXPECT_TRUE(Lines(r.out, QStringLiteral("message ")).isEmpty()) << qPrintable(r.out);
    {
        Db db(file);
        EXPECT_EQ(Indexes(db), 3);
        EXPECT_EQ(db.Value(QStringLiteral("pragma user_version")).toInt(), ModuleSchemaVersion);
        EXPECT_TRUE(db.Value(QStringLiteral("select count(*) from BusiBudgetAdjLog")).isValid());
    }
    r = Script(file, QStringLiteral("open\n"));
    EXPECT_TRUE(Lines(r.out, QStringLiteral("upgrade ")).isEmpty()) << qPrintable(r.out);
}

TEST(Schema, UndoTakesBackTheLastRunExceptWhatOthersChangedAndHistoryShowsIt)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("undo.sqlite"));
    ASSERT_TRUE(CreateDemo(file, 300));
    Db db(file);
    Session a({QStringLiteral("--connection"), Sqlite(file), QStringLiteral("--screen"), QStringLiteral("1024x768"),
               QStringLiteral("--operator"), QStringLiteral("王出纳"), QStringLiteral("--script"), QStringLiteral("-")});
    const QString cells = a.Send(QStringLiteral("open\nselect 101001\nmode detail\nundo\ncells\n"));
    EXPECT_TRUE(cells.contains(QStringLiteral("disabled mnuUndoRun"))) << "nothing to take back yet";
    QStringList ids;
    for (const QString& line : cells.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("0\t")))
            ids << line.split(QLatin1Char('\t')).value(1);
    ASSERT_GE(ids.size(), 3);
    a.Send(QStringLiteral("tick 0 1 2\npress tbtnConfirm\n"));
    // Another user changes one of the three since.
    ASSERT_TRUE(db.Exec(QStringLiteral("update BusiBudgetAdj set BudgMoney=BudgMoney+1 where datayear=2024 and BudgId=") + ids[1]));
    const QString out = a.Send(QStringLiteral("answer yes\nundo\nstatus\nundo\nview confirmed\nhistory 0\n"));
    EXPECT_TRUE(out.contains(QRegularExpression(
        QStringLiteral("撤销上次操作：把上次确认的 3 条预算指标（金额 [\\d,.]+ 元）恢复到操作前的状态？"))))
        << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("已恢复 2 条，金额 "))) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("；1 条已被他人改动，未修改"))) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("disabled mnuUndoRun"))) << "one undo of one run";
    auto status = [&](const QString& id) {
        return db.Value(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and BudgId=") + id).toString();
    };
    EXPECT_EQ(status(ids[0]), QStringLiteral("0"));
    EXPECT_EQ(status(ids[1]), QStringLiteral("1"));
    EXPECT_EQ(status(ids[2]), QStringLiteral("0"));
    // The one left confirmed: its history names who confirmed it.
    const QStringList history = Lines(out, QStringLiteral("history "));
    ASSERT_EQ(history.size(), 1) << qPrintable(out);
    EXPECT_TRUE(history[0].contains(QStringLiteral("\t王出纳\t"))) << qPrintable(history[0]);
    EXPECT_TRUE(history[0].contains(QStringLiteral("\t确认\t未确认→已确认\t"))) << qPrintable(history[0]);
    EXPECT_EQ(a.Finish().code, 0);
}

TEST(Schema, AServerIsUpgradedOnRequestByALoginThatMay)
{
    pgtest::Database server;
    if (!server.Skip.empty())
        GTEST_SKIP() << server.Skip;
    QString error;
    ASSERT_TRUE(CreateDemoDatabaseAt(server.ConnectionString, 300, &error)) << qPrintable(error);
    TADOConnection c;
    c.SetConnectionString(server.ConnectionString);
    for (const char* sql : {"drop index ix_budgetadj_filter", "drop table BusiBudgetAdjLog", "drop table veltrane_schema"})
        pgtest::Exec(c, QLatin1String(sql));
    // A login that may read and write records but not change the schema.
    pgtest::Exec(c, QStringLiteral("drop role if exists veltrane_clerk"));
    pgtest::Exec(c, QStringLiteral("create role veltrane_clerk login"));
    pgtest::Exec(c, QStringLiteral("grant select, update on all tables in schema public to veltrane_clerk"));
    QString clerk = server.ConnectionString;
    clerk.replace(QRegularExpression(QStringLiteral("UID=[^;]*")), QStringLiteral("UID=veltrane_clerk"));
    Result r = Exec({QStringLiteral("--upgrade"), QStringLiteral("--connection"), clerk});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("没有修改数据库结构的权限")) && r.err.contains(QStringLiteral("upgrade_pg.sql")))
        << qPrintable(r.err);

    r = Exec({QStringLiteral("--upgrade"), QStringLiteral("--connection"), server.ConnectionString});
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("upgrade 正在建立索引 ix_budgetadj_filter"))) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("数据库已升级到结构版本 %1").arg(ModuleSchemaVersion))) << qPrintable(r.out);
    EXPECT_EQ(pgtest::Scalar(c, QStringLiteral("select version from veltrane_schema")), QString::number(ModuleSchemaVersion));
    r = Exec({QStringLiteral("--upgrade"), QStringLiteral("--connection"), server.ConnectionString});
    EXPECT_TRUE(r.out.contains(QStringLiteral("数据库已是最新的结构版本 %1").arg(ModuleSchemaVersion))) << qPrintable(r.out);
    pgtest::Exec(c, QStringLiteral("drop owned by veltrane_clerk"));
    pgtest::Exec(c, QStringLiteral("drop role veltrane_clerk"));
}

TEST(Schema, TheOperatorsLastRunOutlivesTheWindowAndOneCutShortIsToldAtTheNextOpening)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("crash.sqlite"));
    ASSERT_TRUE(CreateDemo(file, 20000));
    Db db(file);
    const QStringList as{QStringLiteral("--operator"), QStringLiteral("李会计")};
    auto confirmed = [&] { return db.Value(QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")).toInt(); };

    // A run that ended, then the program closed and opened again: still taken back.
    const int before = confirmed();
    Result r = Script(file, QStringLiteral("open\nselect 101001\nmode detail\ntick 0 1\npress tbtnConfirm\nquit\n"), as);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    ASSERT_EQ(confirmed(), before + 2);
    r = Script(file, QStringLiteral("open\nselect 101001\nundo\nstatus\n"), as);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_FALSE(r.out.contains(QStringLiteral("未完成"))) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("已恢复 2 条，金额 "))) << qPrintable(r.out);
    EXPECT_EQ(confirmed(), before);
    // Another operator's window has nothing of this one's to take back.
    r = Script(file, QStringLiteral("open\nundo\n"), {QStringLiteral("--operator"), QStringLiteral("赵出纳")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("disabled mnuUndoRun"))) << qPrintable(r.out);

    // A long run, and the program killed while it writes.
    const QString run = QStringLiteral("select RunId from BusiBudgetAdjLog where Action='confirm:start' order by LogId desc");
    const QString written = QStringLiteral("select count(*) from BusiBudgetAdjLog where Action='confirm' and RunId=(%1)").arg(run);
    {
        Session a(QStringList{QStringLiteral("--connection"), Sqlite(file), QStringLiteral("--screen"), QStringLiteral("1024x768"),
                              QStringLiteral("--script"), QStringLiteral("-")} + as);
        a.Send(QStringLiteral("open\nselect top\nmode detail\nkey Ctrl+A\nkey Space\n"));
        a.Write(QStringLiteral("nowait press tbtnConfirm\n"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return db.Value(written).toInt() >= 3; }, 120000)) << "the run never wrote";
    }   // killed
    const int done = db.Value(written).toInt();
    ASSERT_GE(done, 3);
    EXPECT_EQ(db.Value(QStringLiteral("select count(*) from BusiBudgetAdjLog where Action='confirm:end' and RunId=(%1)").arg(run)).toInt(), 0)
        << "the run ended before it was killed";
    const int left = confirmed();
    r = Script(file, QStringLiteral("open\nundo\nstatus\n"), as);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(r.out.contains(QStringLiteral("上次的确认未完成：已确认 %1 条，金额 ").arg(done))) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("可用“撤销上次操作”恢复"))) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("已恢复 %1 条，金额 ").arg(done))) << qPrintable(r.out);
    EXPECT_EQ(confirmed(), left - done);
    // Taken back, it is not told again.
    r = Script(file, QStringLiteral("open\n"), as);
    EXPECT_FALSE(r.out.contains(QStringLiteral("未完成"))) << qPrintable(r.out);
}
