// The data layer and the window's statements on a real PostgreSQL server
// (see PgServer.h); without one these cases skip with a notice.
#include "budget/gunBudgetAdj.h"
#include "data/untDbManager.h"
#include "data/untDefData.h"
#include "data/untDemoData.h"
#include "data/untHostRecords.h"
#include "data/untSqlDialect.h"
#include "records/untRecordSql.h"
#include "plugin/untGlobals.h"
#include "tests/DefConnectionScope.h"
#include "tests/data/PgServer.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <atomic>
#include <random>
#include <thread>

namespace {

using pgtest::Exec;
using pgtest::Scalar;
using pgtest::ServerConnectionString;
using pgtest::WithDatabase;

// Numbers to the cent ("1234.5" and "1234.50" agree), other text as it is.
QString Normalised(const QString& v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? QString::number(d, 'f', 2) : v;
}

// Every test gets a database of its own on the server, dropped afterwards.
class Postgres : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.Skip.empty())
            GTEST_SKIP() << server.Skip;
        database = server.Name;
        connectionString = server.ConnectionString;
        conn.SetConnectionString(connectionString);
    }

    // A demo database on the server and the same data in a SQLite file.
    void MakeDemo(int records)
    {
        QString error;
        ASSERT_TRUE(CreateDemoDatabaseAt(connectionString, records, &error)) << error.toStdString();
        ASSERT_TRUE(CreateDemoDatabase(sqlitePath, records, &error)) << error.toStdString();
        sqlite.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + sqlitePath);
    }

    TRecordFilter Filter(bool detail, TStatusView status) const
    {
        TRecordFilter f;
        f.Detail = detail;
        f.Status = status;
        f.UnitCode = QLatin1String(DemoDefaultUnit);
        f.BType = QStringLiteral("1");
        f.DeptClass = QLatin1String(DemoDefaultDeptClass);
        f.DataYear = DemoDefaultYear;
        return f;
    }

    pgtest::Database server;
    QString database;
    QString connectionString;
    TAdoConn conn;
    QTemporaryDir dir;
    QString sqlitePath = dir.filePath(QStringLiteral("demo.db"));
    TAdoConn sqlite;
};

// The host's shared variables with "Def" on the given connection string.
struct Host {
    TDbManager manager;
    THostRecord unit, user;
    TSysParams params{};
    QByteArray financeFlag = "0";
    TPubVariables vars{};

    explicit Host(const QString& cs, const QString& unitCode = QLatin1String(DemoDefaultUnit)) : def(manager)
    {
        manager.ConnectionString = cs;
        params.FinanceOfficeFlag = financeFlag.constData();
        vars.DataYear = DemoDefaultYear;
        vars.DbManager = &manager;
        vars.SysParams = &params;
        vars.UnitRecord = &unit;
        vars.UserRecord = &user;
        unit.SetField(0, unitCode);
        unit.SetField(4, QLatin1String(DemoDefaultDeptClass));
    }
    bool SingleUnit() const
    {
        const TModuleContext c = ReadModuleContext(&vars);
        return IsSingleUnit(c.Conn, c.UnitCode, c.FinanceOfficeFlag);
    }
    testsupport::DefConnectionScope def;
};

}  // namespace

TEST(PostgresKind, ProvidersKindAndDialect)
{
    TAdoConn c;
    for (const char* p : {"PostgreSQL", "postgres", "Npgsql", "PGSQL.1", "MyPgSqlProvider"}) {
        c.SetConnectionString(QStringLiteral("Provider=%1;Server=h").arg(QLatin1String(p)));
        EXPECT_TRUE(c.IsPostgres()) << p;
        EXPECT_EQ(DatabaseKind(&c), TDbKind::Postgres) << p;
        EXPECT_FALSE(c.IsSqlServer()) << p;
    }
    // The four described kinds win as before, in their order.
    c.SetConnectionString(QStringLiteral("Provider=OraOLEDB.Oracle over Postgres"));
    EXPECT_EQ(DatabaseKind(&c), TDbKind::Oracle);
    c.SetConnectionString(QStringLiteral("Provider=SQLOLEDB for PostgreSQL"));
    EXPECT_EQ(DatabaseKind(&c), TDbKind::SqlServer);
    c.SetConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0 pgsql"));
    EXPECT_EQ(DatabaseKind(&c), TDbKind::Access);
    c.SetConnectionString(QStringLiteral("Provider=Npgsql;Data Source=SQLOLEDB"));   // only the provider counts
    EXPECT_EQ(DatabaseKind(&c), TDbKind::Postgres);
    c.SetConnectionString(QStringLiteral("Provider=SQLite"));
    EXPECT_FALSE(c.IsPostgres());
    EXPECT_EQ(DatabaseKind(&c), TDbKind::SQLite);

    TAdoConn pg, mssql;
    pg.SetConnectionString(QStringLiteral("Provider=PostgreSQL"));
    mssql.SetConnectionString(QStringLiteral("Provider=SQLOLEDB.1"));
    const QStringList entries{QStringLiteral("'0'"), QStringLiteral("'a'"), QStringLiteral("'1'"),
                              QStringLiteral("'b'"), QStringLiteral("'c'")};
    QString onPg, onMssql;
    DecodeExpr(&pg, QStringLiteral("x"), entries, onPg);
    DecodeExpr(&mssql, QStringLiteral("x"), entries, onMssql);
    EXPECT_EQ(onPg, onMssql);
    EXPECT_EQ(onPg, QStringLiteral(" CASE   WHEN x='0' THEN 'a'  WHEN x='1' THEN 'b'  ELSE 'c'  END  "));
    QString name;
    SubstrFunctionName(&pg, name);
    EXPECT_EQ(name, QStringLiteral("SUBSTRING"));
    EXPECT_EQ(ConcatOperator(&pg), QStringLiteral("||"));
}

TEST(PostgresKind, BadSettingsFailWithAMessage)
{
    TADOConnection c;
    c.SetConnectionString(QStringLiteral("Provider=PostgreSQL;Server=127.0.0.1;Port=abc;Database=x"));
    try {
        c.Open();
        FAIL() << "opened with a bad port";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("abc"))) << e.Message().toStdString();
    }
    EXPECT_FALSE(c.Connected());
}

TEST_F(Postgres, SettingsArePassedThrough)
{
    TADOConnection wrong;
    wrong.SetConnectionString(WithDatabase(ServerConnectionString(), QStringLiteral("no_such_database")));
    EXPECT_THROW(wrong.Open(), EDatabaseError);
    EXPECT_FALSE(wrong.Connected());
    EXPECT_EQ(Scalar(conn, QStringLiteral("select current_database()")), database);
    EXPECT_EQ(Scalar(conn, QStringLiteral("select current_user")), conn.ConnectionValue(QStringLiteral("UID")));
    // The other spellings of the host and user keys.
    QString spelled = connectionString;
    spelled.replace(QLatin1String("Server="), QLatin1String("Host=")).replace(QLatin1String("UID="), QLatin1String("User ID="));
    ASSERT_NE(spelled, connectionString);
    TADOConnection other;
    other.SetConnectionString(spelled);
    EXPECT_EQ(Scalar(other, QStringLiteral("select current_user")), conn.ConnectionValue(QStringLiteral("UID")));
}

TEST_F(Postgres, DemoDatabaseHoldsTheSameDataAsSQLite)
{
    MakeDemo(800);
    for (const char* sql : {"select count(*) from BusiBudgetAdj", "select count(*) from pubdept",
                            "select count(*) from vwbudgetadj where burname is not null",
                            "select count(distinct status||BType||burid||issecret) from BusiBudgetAdj",
                            "select sum(BudgMoney) from BusiBudgetAdj where status='1'",
                            "select ename||filename from vwbudgetadj where BudgId=77"})
        EXPECT_EQ(Normalised(Scalar(conn, QLatin1String(sql))), Normalised(Scalar(sqlite, QLatin1String(sql)))) << sql;
    EXPECT_EQ(Scalar(conn, QStringLiteral("select data_type from information_schema.columns"
                                          " where table_name='busibudgetadj' and column_name='budgmoney'")),
              QStringLiteral("numeric"));

    // A database that already holds records is left alone.
    QString error;
    EXPECT_FALSE(CreateDemoDatabaseAt(connectionString, 10, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(*) from BusiBudgetAdj")), QStringLiteral("800"));
}

TEST_F(Postgres, FailedDemoRunLeavesNothingBehind)
{
    // A table of the same name with a wrong shape makes the copy fail midway.
    Exec(conn, QStringLiteral("create table puboffice(burid integer primary key)"));
    QString error;
    EXPECT_FALSE(CreateDemoDatabaseAt(connectionString, 50, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(*) from information_schema.tables"
                                          " where table_name in ('pubdept','busibudgetadj')")),
              QStringLiteral("0"));
    EXPECT_FALSE(CreateSchemaAt(connectionString, &error));
}

TEST_F(Postgres, RecordQueriesOfBothViewsMatchSQLite)
{
    MakeDemo(1500);
    for (bool detail : {true, false})
        for (TStatusView status : {TStatusView::Unconfirmed, TStatusView::Confirmed, TStatusView::Any})
            for (int office : {0, 1}) {
                TRecordFilter f = Filter(detail, status);
                f.OfficeColumns = office == 1;
                f.OfficeFilter = office;
                f.OfficeCode = QLatin1String(DemoDefaultOffice);
                TADOQuery a, b;
                a.SetConnection(&conn);
                a.SetSQLText(RecordQuerySQL(&conn, f));
                b.SetConnection(&sqlite);
                b.SetSQLText(RecordQuerySQL(&sqlite, f));
                ASSERT_NO_THROW(a.Open()) << a.SQLText().toStdString();
                b.Open();
                ASSERT_GT(a.RecordCount(), 0) << a.SQLText().toStdString();
                ASSERT_EQ(a.RecordCount(), b.RecordCount()) << a.SQLText().toStdString();
                // The same rows (the order by leaves ties, so compared as sets):
                // keys and names by column name, money to the cent, the label.
                auto rows = [detail](TADOQuery& q, bool money) {
                    QStringList out;
                    for (int r = 0; r < q.RecordCount(); ++r) {
                        QString row;
                        for (const char* col : {"eid", "mid", "bkid", "pid", "ipid", "bid", "iid", "burid", "mname",
                                                "bname", "budgid", "numid"})
                            if (q.FieldIndex(QLatin1String(col)) >= 0)
                                row += q.CellText(r, q.FieldIndex(QLatin1String(col))).toString() + QLatin1Char('|');
                        double m = 0, w = 0;
                        if (money) {
                            EXPECT_TRUE(q.CellNumber(r, q.FieldIndex(QStringLiteral("BudgMoney")), &m));
                            EXPECT_TRUE(q.CellNumber(r, q.FieldIndex(QStringLiteral("BudgMoney_wy")), &w));
                        } else {
                            q.CellNumber(r, q.FieldIndex(QStringLiteral("BudgMoney")), &m);
                            q.CellNumber(r, q.FieldIndex(QStringLiteral("BudgMoney_wy")), &w);
                        }
                        row += QString::number(m, 'f', 2) + QLatin1Char('|') + QString::number(w, 'f', 6);
                        out << row;
                    }
                    out.sort();
                    return out;
                };
                const QStringList ra = rows(a, true), rb = rows(b, false);
                for (qsizetype i = 0; i < ra.size(); ++i)
                    ASSERT_EQ(ra[i].toStdString(), rb[i].toStdString()) << a.SQLText().toStdString();
                // The sub-type label: both speak the searched CASE, so each
                // budget-type record gets its own label.
                if (detail) {
                    QSet<QString> labels;
                    for (int r = 0; r < a.RecordCount(); ++r)
                        labels.insert(a.CellText(r, a.FieldIndex(QStringLiteral("child"))).toString());
                    EXPECT_EQ(labels, (QSet<QString>{QStringLiteral("年初预算"), QStringLiteral("结余预算"),
                                                     QStringLiteral("调整追加预算")}));
                }
                // Ordered the same way by the unit code.
                for (int r = 0; r < a.RecordCount(); r += 13)
                    ASSERT_EQ(a.CellText(r, a.FieldIndex(QStringLiteral("eid"))).toString(),
                              b.CellText(r, b.FieldIndex(QStringLiteral("eid"))).toString());
            }
}

TEST_F(Postgres, TreeQueriesAndSingleUnit)
{
    MakeDemo(20);
    // The tree's base query wrapped as the tree reads a node's children.
    const QString base = DeptTreeSQL(&conn, QString(), false);
    TADOQuery q;
    q.SetConnection(&conn);
    q.SetSQLText(QStringLiteral("select a.* from (") + base + QStringLiteral(") a where a.peid='")
                 + QuotedValue(QStringLiteral("101")) + QStringLiteral("' Order by a.eid"));
    q.Open();
    ASSERT_EQ(q.RecordCount(), 5);   // 101006 is not in use
    EXPECT_EQ(q.FieldText(QStringLiteral("tname")), QStringLiteral("101001 市教育局本级"));
    q.SetSQLText(QStringLiteral("select a.* from (") + DeptTreeSQL(&conn, QStringLiteral("101"), true)
                 + QStringLiteral(") a where a.peid='101004' Order by a.eid"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2);   // the delegated unit left out

    {
        Host host(connectionString, QLatin1String(DemoSingleUnit));
        EXPECT_TRUE(host.SingleUnit());
    }
    {
        Host host(connectionString, QStringLiteral("101002"));
        EXPECT_FALSE(host.SingleUnit());
    }
}

TEST_F(Postgres, ConfirmCancelAndDeleteStatements)
{
    MakeDemo(300);
    Host host(connectionString);
    const int year = DemoDefaultYear;
    const QString unconfirmed = Scalar(conn, QStringLiteral("select min(BudgId) from BusiBudgetAdj where status='0'"
                                                            " and datayear=%1").arg(year));
    ASSERT_TRUE(ExecDefSQL(DetailStatusSQL(DefConnection(), QStringLiteral("1"), unconfirmed, year)));
    EXPECT_EQ(Scalar(conn, QStringLiteral("select status from BusiBudgetAdj where BudgId=") + unconfirmed),
              QStringLiteral("1"));
    ASSERT_TRUE(ExecDefSQL(DetailStatusSQL(DefConnection(), QStringLiteral("0"), unconfirmed, year)));
    EXPECT_EQ(Scalar(conn, QStringLiteral("select status from BusiBudgetAdj where BudgId=") + unconfirmed),
              QStringLiteral("0"));

    // A quoted record number stays inside its literal: the server rejects it
    // as a number, and nothing changes.
    const QString before = Scalar(conn, QStringLiteral("select count(*) from BusiBudgetAdj where status='1'"));
    EXPECT_FALSE(ExecDefSQL(DetailStatusSQL(DefConnection(), QStringLiteral("1"), QStringLiteral("1' or '1'='1"), year)));
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")), before);

    // A summary row's key confirms every record under it, and deletes them.
    TADOQuery sum;
    sum.SetConnection(&conn);
    sum.SetSQLText(RecordQuerySQL(&conn, Filter(false, TStatusView::Unconfirmed)));
    sum.Open();
    ASSERT_GT(sum.RecordCount(), 0);
    auto cell = [&](const char* name) { return sum.FieldText(QLatin1String(name)); };
    const TSummaryKey key{cell("eid"), cell("mid"), cell("bkid"), cell("pid"), cell("ipid"), cell("bid"), cell("iid")};
    const QString where = QStringLiteral(" from BusiBudgetAdj where datayear=%1").arg(year)
                          + SummaryDeleteCondition(DefConnection(), QStringLiteral("1"), QLatin1String(DemoDefaultDeptClass), key);
    const int members = Scalar(conn, QStringLiteral("select count(*)") + where).toInt();
    ASSERT_GT(members, 0);
    ASSERT_TRUE(ExecDefSQL(SummaryStatusSQL(DefConnection(), QStringLiteral("1"), year, QStringLiteral("1"),
                                            QLatin1String(DemoDefaultDeptClass), key)));
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(*)") + where + QStringLiteral(" and status='1'")).toInt(),
              members);

    TBudgetAdjManage manage;
    TBudgetAdj record;
    record.DataYear = year;
    const int total = Scalar(conn, QStringLiteral("select count(*) from BusiBudgetAdj")).toInt();
    ASSERT_TRUE(manage.DeleteRecord(
        &record, SummaryDeleteCondition(DefConnection(), QStringLiteral("1"), QLatin1String(DemoDefaultDeptClass), key)));
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(*)") + where), QStringLiteral("0"));
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(*) from BusiBudgetAdj")).toInt(), total - members);
    record.BudgId = unconfirmed;
    ASSERT_TRUE(manage.DeleteRecord(&record, QString()));
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(*) from BusiBudgetAdj")).toInt(), total - members - 1);
}

TEST_F(Postgres, TwoUsersConfirmingOverlappingKeys)
{
    MakeDemo(600);
    // Every change of status is logged by the server in the order the row
    // locks were taken; txid tells one statement from another.
    Exec(conn, QStringLiteral("create sequence audit_seq; create table audit(budgid integer, status text,"
                              " seq bigint default nextval('audit_seq'), tx bigint default txid_current())"));
    Exec(conn, QStringLiteral("create function log_status() returns trigger language plpgsql as $$ begin"
                              " insert into audit(budgid,status) values (new.budgid,new.status); return new; end $$"));
    Exec(conn, QStringLiteral("create trigger t_status after update on BusiBudgetAdj for each row"
                              " execute function log_status()"));

    TADOQuery sum;
    sum.SetConnection(&conn);
    sum.SetSQLText(RecordQuerySQL(&conn, Filter(false, TStatusView::Any)));
    sum.Open();
    std::vector<TSummaryKey> keys;
    for (int r = 0; r < sum.RecordCount() && keys.size() < 12; ++r) {
        auto cell = [&](const char* name) { return sum.CellText(r, sum.FieldIndex(QLatin1String(name))).toString(); };
        keys.push_back({cell("eid"), cell("mid"), cell("bkid"), cell("pid"), cell("ipid"), cell("bid"), cell("iid")});
    }
    ASSERT_GE(keys.size(), 6u);

    std::atomic<int> sent{0}, failed{0};
    auto user = [&](unsigned seed) {
        TAdoConn mine;
        mine.SetConnectionString(connectionString);
        std::mt19937 rnd(seed);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 400 && t.elapsed() < 3000; ++i) {
            // Both users work on the first half of the keys; each also has some of its own.
            const size_t k = rnd() % 2 ? rnd() % (keys.size() / 2) : rnd() % keys.size();
            const QString status = rnd() % 2 ? QStringLiteral("1") : QStringLiteral("0");
            try {
                ExecSQL(&mine, SummaryStatusSQL(&mine, status, DemoDefaultYear, QStringLiteral("1"),
                                                QLatin1String(DemoDefaultDeptClass), keys[k]));
                ++sent;
            } catch (const Exception&) {
                ++failed;
            }
        }
    };
    std::thread a(user, 1u), b(user, 2u);
    a.join();
    b.join();
    EXPECT_EQ(failed.load(), 0);
    ASSERT_GT(sent.load(), 50);
    // No statement lost: each one shows in the log as its own transaction.
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(distinct tx) from audit")).toInt(), sent.load());
    // Every record touched has the status of the last statement applied to it.
    EXPECT_EQ(Scalar(conn, QStringLiteral(
                               "select count(*) from BusiBudgetAdj r join (select distinct on (budgid) budgid, status"
                               " from audit order by budgid, seq desc) l on l.budgid=r.BudgId"
                               " where r.status<>l.status")),
              QStringLiteral("0"));
    EXPECT_GT(Scalar(conn, QStringLiteral("select count(distinct budgid) from audit")).toInt(), 0);
}

TEST_F(Postgres, ConnectionLostBetweenLoadsIsReopened)
{
    MakeDemo(200);
    Host host(connectionString);
    const QString sql = RecordQuerySQL(DefConnection(), Filter(true, TStatusView::Any));
    TResult<IARQueryRef> q = OpenDefSQL(sql);
    ASSERT_TRUE(q) << q.Error().Message.toStdString();
    const int rows = q.Value()->GetQuery()->RecordCount();
    ASSERT_GT(rows, 0);
    q = IARQueryRef();
    auto session = [] {
        const TResult<IARQueryRef> pid = OpenDefSQL(QStringLiteral("select pg_backend_pid()"));
        return pid ? pid.Value()->GetQuery()->CellText(0, 0).toString() : QString();
    };
    const QString before = session();
    ASSERT_FALSE(before.isEmpty());

    ASSERT_TRUE(server.DropConnections());
    // The load that meets the dead connection is asked again on a new one.
    q = OpenDefSQL(sql);
    ASSERT_TRUE(q) << q.Error().Message.toStdString();
    EXPECT_EQ(q.Value()->GetQuery()->RecordCount(), rows);
    q = IARQueryRef();
    const QString after = session();
    EXPECT_NE(after, before);
    // A statement that changes data is not sent twice: after a drop it fails,
    // and the next runs on a new connection.
    ASSERT_TRUE(server.DropConnections());
    EXPECT_FALSE(ExecDefSQL(QStringLiteral("update BusiBudgetAdj set status=status where 1=0")));
    EXPECT_TRUE(ExecDefSQL(QStringLiteral("update BusiBudgetAdj set status=status where 1=0")));
    const QString third = session();
    EXPECT_NE(third, after);
    // A plain statement error leaves a live connection alone.
    EXPECT_FALSE(ExecDefSQL(QStringLiteral("update no_such_table set a=1")));
    EXPECT_EQ(session(), third);
}

TEST_F(Postgres, LoadAndConfirmFigures)
{
    const int records = 20000;
    MakeDemo(records);
    auto measure = [&](TAdoConn& c, const char* kind) {
        TRecordFilter f = Filter(true, TStatusView::Any);
        TADOQuery q;
        q.SetConnection(&c);
        q.SetSQLText(RecordQuerySQL(&c, f));
        q.Open();   // warm
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 3; ++i)
            q.Open();
        const double load = double(t.nsecsElapsed()) / 3e6;
        const int rows = q.RecordCount();
        std::vector<QString> ids;
        TADOQuery first;
        first.SetConnection(&c);
        first.SetSQLText(QStringLiteral("select BudgId from BusiBudgetAdj where datayear=%1 and status='0'"
                                        " order by BudgId limit 500").arg(DemoDefaultYear));
        first.Open();
        for (int r = 0; r < first.RecordCount(); ++r)
            ids.push_back(first.CellText(r, 0).toString());
        t.restart();
        for (const QString& id : ids)
            ExecSQL(&c, DetailStatusSQL(&c, QStringLiteral("1"), id, DemoDefaultYear));
        const double confirm = double(t.nsecsElapsed()) / 1e6;
        std::printf("[figures] %-10s detail load of %d rows: %.1f ms; confirm %zu rows one by one: %.1f ms (%.3f ms/row)\n",
                    kind, rows, load, ids.size(), confirm, confirm / double(ids.size()));
        return rows;
    };
    const int onPg = measure(conn, "PostgreSQL");
    const int onSqlite = measure(sqlite, "SQLite");
    EXPECT_EQ(onPg, onSqlite);
    EXPECT_EQ(Scalar(conn, QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")),
              Scalar(sqlite, QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")));
}

TEST_F(Postgres, QuotingFollowsTheSessionsOwnSettingOfStandardStrings)
{
    MakeDemo(100);
    // Every session starts with standard strings, whatever the database says.
    pgtest::Exec(server.admin, QStringLiteral("alter database %1 set standard_conforming_strings = off").arg(database));
    TAdoConn c;
    c.SetConnectionString(connectionString);
    EXPECT_EQ(pgtest::Scalar(c, QStringLiteral("show standard_conforming_strings")), QStringLiteral("on"));
    EXPECT_FALSE(c.BackslashEscapes());
    const QString evil = QStringLiteral("\\' or 1=1 --");
    EXPECT_EQ(QuotedValue(&c, evil), QStringLiteral("\\'' or 1=1 --"));

    // A session switched off later is quoted for what it is now.
    ExecSQL(&c, QStringLiteral("set standard_conforming_strings = off"));
    EXPECT_TRUE(c.BackslashEscapes());
    EXPECT_EQ(QuotedValue(&c, evil), QStringLiteral("\\\\'' or 1=1 --"));
    pgtest::Exec(c, QStringLiteral("update busibudgetadj set mid=E'\\\\\\' or 1=1 --' where budgid=1"));
    const QString confirmed = pgtest::Scalar(c, QStringLiteral("select count(*) from busibudgetadj where status='1'"));
    const TSummaryKey key{QStringLiteral("1"), evil, QStringLiteral("%"), QStringLiteral("%"), QStringLiteral("%"),
                          QStringLiteral("%"), QStringLiteral("%")};
    ExecSQL(&c, SummaryStatusSQL(&c, QStringLiteral("1"), DemoDefaultYear, QStringLiteral("1"),
                                 QLatin1String(DemoDefaultDeptClass), key));
    // The value stayed one value: it matched its own text, never every record.
    EXPECT_EQ(pgtest::Scalar(c, QStringLiteral("select count(*) from busibudgetadj where status='1'")), confirmed);
}

TEST_F(Postgres, StatementsWalkTheirIndexesOverTheUnitRange)
{
    MakeDemo(300);
    TAdoConn c;
    c.SetConnectionString(connectionString);
    // A small table is read whole when that is cheaper; the plan asked for here is
    // the one the server takes on a large one.
    ExecSQL(&c, QStringLiteral("set enable_seqscan = off"));
    auto plan = [&c](const QString& sql) {
        TADOQuery q;
        q.SetConnection(&c);
        q.SetSQLText(QStringLiteral("explain ") + sql);
        q.Open();
        QStringList lines;
        for (q.First(); !q.Eof(); q.Next())
            lines << q.CellText(q.RecNo(), 0).toString();
        return lines.join(QLatin1Char('\n'));
    };
    TRecordFilter f = Filter(true, TStatusView::Unconfirmed);
    f.UnitCode = QStringLiteral("101001");
    const QString detail = plan(RecordQuerySQL(&c, f));
    EXPECT_TRUE(detail.contains(QLatin1String("ix_budgetadj_filter"))) << qPrintable(detail);
    EXPECT_TRUE(detail.contains(QLatin1String("(eid >= '101001'::text) AND (eid < '101002'::text)"))) << qPrintable(detail);
    const TSummaryKey key{QStringLiteral("101"), QStringLiteral("1"),   QStringLiteral("21"), QStringLiteral("1"),
                          QStringLiteral("2"),   QStringLiteral("205"), QStringLiteral("003")};
    const QString update = plan(SummaryStatusSQL(&c, QStringLiteral("1"), DemoDefaultYear, QStringLiteral("1"),
                                                 QLatin1String(DemoDefaultDeptClass), key));
    EXPECT_TRUE(update.contains(QLatin1String("ix_budgetadj_key"))) << qPrintable(update);
    EXPECT_TRUE(update.contains(QLatin1String("(eid >= '101'::text)"))) << qPrintable(update);
    const QString children = plan(QStringLiteral("select a.* from (") + DeptTreeSQL(&c, QStringLiteral("101"), true)
                                  + QStringLiteral(") a where a.peid='101' Order by a.eid"));
    EXPECT_TRUE(children.contains(QLatin1String("ix_pubdept_parent"))) << qPrintable(children);
    EXPECT_FALSE(children.contains(QLatin1String("Sort"))) << qPrintable(children);
}
