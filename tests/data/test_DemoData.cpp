#include "data/untDemoData.h"
#include "toolkit/ADODB.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct DemoDb {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("demo.db"));
    TADOConnection conn;
    explicit DemoDb(int records)
    {
        QString error;
        ok = CreateDemoDatabase(path, records, &error);
        EXPECT_TRUE(ok) << error.toStdString();
        conn.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    }
    // Every row of a query, cells joined by '|'.
    QStringList Rows(const QString& sql)
    {
        TADOQuery q;
        q.SetConnection(&conn);
        q.SetSQLText(sql);
        q.Open();
        QStringList out;
        for (q.First(); !q.Eof(); q.Next()) {
            QStringList cells;
            for (int c = 0; c < q.FieldCount(); ++c)
                cells << q.CellText(q.RecNo(), c).toString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
    int Count(const QString& sql) { return Rows(sql).value(0).toInt(); }
    bool ok = false;
};

}  // namespace

TEST(DemoData, UnitTreeHasThreeLevelsConsistentFlagsAndASingleUnit)
{
    DemoDb db(0);
    ASSERT_TRUE(db.ok);
    EXPECT_EQ(db.Count(QStringLiteral("select max(length(eid)) from pubdept")), 9);
    // Every code begins with its parent's code; top-level units have an empty parent.
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from pubdept where length(eid)>3 and "
                                      "(peid<>substr(eid,1,length(eid)-3) or peid not in (select eid from pubdept))")),
              0);
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from pubdept where length(eid)=3 and peid<>''")), 0);
    // leafflag '0' exactly when nothing hangs below.
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from pubdept p where leafflag <> case when exists"
                                      "(select 1 from pubdept c where c.peid=p.eid) then '1' else '0' end")),
              0);
    EXPECT_GT(db.Count(QStringLiteral("select count(*) from pubdept where replaceflag='1'")), 0);
    EXPECT_GT(db.Count(QStringLiteral("select count(*) from pubdept where useflag='1'")), 0);
    EXPECT_GT(db.Count(QStringLiteral("select count(*) from pubdept where useflag='0' and replaceflag='0'")), 20);
    // The demo's single unit: its parent's range holds the parent and itself only.
    const QString single = QString::fromLatin1(DemoSingleUnit);
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from pubdept where eid like '%1%'").arg(single.left(3))), 2);
    EXPECT_EQ(db.Rows(QStringLiteral("select deptclass from pubdept where eid='%1'").arg(QLatin1String(DemoDefaultUnit))),
              QStringList{QLatin1String(DemoDefaultDeptClass)});
    // Unit names are Chinese text, not mojibake.
    EXPECT_EQ(db.Rows(QStringLiteral("select ename from pubdept where eid='101'")), QStringList{QStringLiteral("市教育局")});
    // The host reads the unit record by position: 0 eid, 4 deptclass, 17 secret default.
    TADOQuery q;
    q.SetConnection(&db.conn);
    q.SetSQLText(QStringLiteral("select * from pubdept where eid='101'"));
    q.Open();
    EXPECT_EQ(q.FieldName(0), QStringLiteral("eid"));
    EXPECT_EQ(q.FieldName(4), QStringLiteral("deptclass"));
    EXPECT_EQ(q.FieldName(17), QStringLiteral("secretflag"));
}

TEST(DemoData, RecordsCoverEveryFilterCombinationOfTheDefaultView)
{
    DemoDb db(3000);
    ASSERT_TRUE(db.ok);
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from BusiBudgetAdj")), 3000);
    const QString scope = QStringLiteral(" from vwbudgetadj where datayear=%1 and eid like '%2%' and deptclass='%3'")
                              .arg(DemoDefaultYear)
                              .arg(QLatin1String(DemoDefaultUnit), QLatin1String(DemoDefaultDeptClass));
    // Budget type x status, with and without the operator's office filter.
    for (const char* btype : {"0", "1", "2"})
        for (const char* status : {"0", "1"}) {
            const QString f = scope + QStringLiteral(" and BType='%1' and status='%2'").arg(QLatin1String(btype), QLatin1String(status));
            EXPECT_GT(db.Count(QStringLiteral("select count(*)") + f), 1) << btype << status;
            EXPECT_GT(db.Count(QStringLiteral("select count(*)") + f + QStringLiteral(" and burid='%1'").arg(QLatin1String(DemoDefaultOffice))), 0)
                << btype << status;
            EXPECT_GT(db.Count(QStringLiteral("select count(*)") + f + QStringLiteral(" and issecret='1'")), 0);
        }
    // Every sub-type label of the detail view occurs.
    EXPECT_EQ(db.Rows(QStringLiteral("select distinct case when btypechild='0' then 'a' when btypechild='1' and btype='1' "
                                     "and bkid='21' then 'b' when btypechild='1' and btype='1' and bkid='22' then 'c' "
                                     "when btypechild='2' and btype='1' then 'd' when btypechild='2' and btype='2' "
                                     "then 'e' else 'x' end as k") + scope + QStringLiteral(" order by k")),
              (QStringList{"a", "b", "c", "d", "e"}));
    // Several offices, other years and other units exist beside the default view.
    EXPECT_GE(db.Count(QStringLiteral("select count(distinct burid) from vwbudgetadj")), 5);
    EXPECT_GT(db.Count(QStringLiteral("select count(*) from BusiBudgetAdj where datayear<>%1").arg(DemoDefaultYear)), 0);
    EXPECT_GT(db.Count(QStringLiteral("select count(*) from BusiBudgetAdj where eid not like '101%'")), 0);
    // The view names every lookup: no record without its names.
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from vwbudgetadj where ename is null or mname is null or bname is null "
                                      "or iname is null or bkname is null or ipname is null or pname is null or ekname is null "
                                      "or burname is null")),
              0);
    // Summary rows add up several units of one key combination.
    EXPECT_GT(db.Count(QStringLiteral("select max(n) from (select count(distinct eid) as n") + scope
                       + QStringLiteral(" group by Mid,Bid,Iid,BKid,IPid,Pid)")),
              1);
    // Money keeps its cents through the division by 10 000.
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from BusiBudgetAdj where abs(BudgMoney*100-round(BudgMoney*100))>1e-6")), 0);
}

TEST(DemoData, NeverOverwritesAnExistingDatabaseAndLeavesNothingOnFailure)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.db"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    QString error;
    EXPECT_FALSE(CreateDemoDatabase(path, 10, &error));
    EXPECT_EQ(error, QStringLiteral("数据库文件已存在：") + path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("precious"));

    error.clear();
    EXPECT_FALSE(CreateDemoDatabase(dir.filePath(QStringLiteral("bad.db")), -1, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("bad.db"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("bad.db.part"))));

    // Creating into a folder that does not exist yet makes the folder.
    EXPECT_TRUE(CreateDemoDatabase(dir.filePath(QStringLiteral("sub/deeper/new.db")), 5, &error)) << error.toStdString();
}

TEST(DemoData, SchemaIsKeptWhenCreatedAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.db"));
    QString error;
    ASSERT_TRUE(CreateSchema(path, &error)) << error.toStdString();
    TADOConnection c;
    c.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    TADOCommand cmd;
    cmd.SetConnection(&c);
    cmd.SetCommandText(QStringLiteral("insert into pubdept(eid,peid,ename) values('123','','单位')"));
    cmd.Execute();
    c.Close();
    ASSERT_TRUE(CreateSchema(path, &error)) << error.toStdString();
    TADOQuery q;
    q.SetConnection(&c);
    q.SetSQLText(QStringLiteral("select ename, leafflag, useflag from pubdept"));
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldText(QStringLiteral("ename")), QStringLiteral("单位"));
    EXPECT_EQ(q.FieldText(QStringLiteral("useflag")), QStringLiteral("0"));

    EXPECT_FALSE(CreateSchema(dir.filePath(QStringLiteral("no/such/dir/x.db")), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DemoData, AHundredThousandRecordsAreMadeInOneGo)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(CreateDemoDatabase(dir.filePath(QStringLiteral("big.db")), 100000, &error)) << error.toStdString();
}
