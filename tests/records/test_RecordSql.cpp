#include "records/untRecordSql.h"
#include "tests/forms/WindowFixture.h"

namespace {

struct Conn {
    explicit Conn(const char* provider)
    {
        c.SetConnectionString(QStringLiteral("Provider=%1;Data Source=nowhere;Initial Catalog=budget")
                                  .arg(QLatin1String(provider)));
    }
    TAdoConn c;
};

TRecordFilter WorkedExample()
{
    TRecordFilter f;
    f.DataYear = 2024;
    f.UnitCode = QStringLiteral("101");
    f.BType = QStringLiteral("1");
    f.DeptClass = QStringLiteral("2");
    f.OfficeColumns = true;
    f.OfficeFilter = 1;
    f.OfficeCode = QStringLiteral("03");
    f.Status = TStatusView::Unconfirmed;
    return f;
}

const QString SqlServerChild = QStringLiteral(
    " CASE   WHEN btypechild='0' THEN '控制数'  WHEN btypechild='1' and btype='1' and bkid='21'  THEN '年初预算'  "
    "WHEN btypechild='1' and btype='1' and bkid='22'  THEN '结余预算'  WHEN btypechild='2' and btype='1'  THEN "
    "'调整追加预算'  WHEN btypechild='2' and btype='2' THEN '临时数'  END  ");

}  // namespace

TEST(RecordQuery, WorkedExamplesOnSqlServerAreExact)
{
    Conn ss("SQLOLEDB.1");
    TRecordFilter f = WorkedExample();
    f.Detail = true;
    EXPECT_EQ(RecordQuerySQL(&ss.c, f),
              QStringLiteral(" select 0 as chk,'' as NumId,BudgId,Eid,ecode,ename,Mid,mname,Bid,bname, Iid,iname,"
                             "BKid,bkname,IPid,ipname,Pid,pname,EKid,ekname, BudgMoney,BudgMoney/10000 as "
                             "BudgMoney_wy ,status,IniBudgId,InputDate,filename,secret,issecret,")
                  + SqlServerChild
                  + QStringLiteral(" as child ,burid,burname from vwbudgetadj  where datayear=2024 and eid like "
                                   "'101%' and burid='03' and status='0'  and  BType='1'  and deptclass='2'order by "
                                   "eid,bkid,mid,bid,ipid,pid"));

    f = WorkedExample();
    f.OfficeColumns = false;   // OfficeFilter 1 is then not looked at
    EXPECT_EQ(RecordQuerySQL(&ss.c, f),
              QStringLiteral(" select 0 as chk,'' as NumId,SUBSTRING(eid,1,3) as Eid, '' as ename,Mid,mname,Bid,"
                             "bname,Iid,iname,BKid,bkname,IPid,ipname,Pid,pname, sum(BudgMoney) as BudgMoney,"
                             "sum(BudgMoney)/10000 as BudgMoney_wy ,count(*) as RecCount  from vwbudgetadj  where "
                             "datayear=2024   and "
                             "eid like '101%' and status='0'    and  BType='1'    and deptclass='2' group by "
                             "SUBSTRING(eid,1,3),          Mid,mname,Bid,bname,Iid,iname,bkid,bkname,IPid,ipname,"
                             "Pid,pname  order by eid,bkid,mid,bid,ipid,pid"));
}

TEST(RecordQuery, OfficeStatusAndDialectPieces)
{
    Conn ss("SQLOLEDB.1"), oracle("OraOLEDB.Oracle.1"), jet("Microsoft.Jet.OLEDB.4.0"), lite("SQLite");
    TRecordFilter f = WorkedExample();
    f.Detail = true;
    f.OfficeColumns = false;
    f.Status = TStatusView::Confirmed;
    const QString detail = RecordQuerySQL(&ss.c, f);
    EXPECT_TRUE(detail.contains(QStringLiteral(" as child ,'' as burid,'' as burname from vwbudgetadj ")));
    EXPECT_FALSE(detail.contains(QStringLiteral("burid='")));
    EXPECT_TRUE(detail.contains(QStringLiteral("'101%' and status='1'  and  BType='1'")));

    // Office filter off while the columns are shown: columns, no condition.
    f = WorkedExample();
    f.OfficeFilter = 0;
    f.Detail = true;
    EXPECT_TRUE(RecordQuerySQL(&ss.c, f).contains(QStringLiteral("'101%' and status='0'  and  BType")));

    // Oracle gets a searched CASE (its DECODE cannot carry the conditions) and SUBSTR.
    f = WorkedExample();
    f.Detail = true;
    const QString ora = RecordQuerySQL(&oracle.c, f);
    EXPECT_TRUE(ora.contains(SqlServerChild + QStringLiteral(" as child ")));
    EXPECT_FALSE(ora.contains(QStringLiteral("DECODE")));
    f.Detail = false;
    EXPECT_TRUE(RecordQuerySQL(&oracle.c, f).contains(QStringLiteral("SUBSTR(eid,1,3) as Eid")));
    f.UnitCode = QStringLiteral("101004");
    EXPECT_TRUE(RecordQuerySQL(&jet.c, f).contains(QStringLiteral("group by MID(eid,1,6),")));

    f.Detail = true;
    EXPECT_TRUE(RecordQuerySQL(&jet.c, f).contains(QStringLiteral(
        "issecret, IIF(btypechild='0','控制数',( IIF(btypechild='1' and btype='1' and bkid='21' ,'年初预算',( "
        "IIF(btypechild='1' and btype='1' and bkid='22' ,'结余预算',( IIF(btypechild='2' and btype='1' "
        ",'调整追加预算','临时数'))))))) as child ")));
    // The embedded default gets the searched CASE with all five labels.
    EXPECT_TRUE(RecordQuerySQL(&lite.c, f).contains(QStringLiteral(
        "issecret, CASE   WHEN btypechild='0' THEN '控制数'  WHEN btypechild='1' and btype='1' and bkid='21'  THEN "
        "'年初预算' ")));
}

TEST(RecordQuery, QuotesInValuesAreDoubled)
{
    Conn ss("SQLOLEDB.1");
    TRecordFilter f = WorkedExample();
    f.UnitCode = QStringLiteral("1'0");
    f.OfficeCode = QStringLiteral("0'3");
    f.Detail = true;
    const QString sql = RecordQuerySQL(&ss.c, f);
    EXPECT_TRUE(sql.contains(QStringLiteral("eid like '1''0%'")));
    EXPECT_TRUE(sql.contains(QStringLiteral("burid='0''3'")));
    f.Detail = false;
    // The prefix length counts the value, not its quoted form.
    EXPECT_TRUE(RecordQuerySQL(&ss.c, f).contains(QStringLiteral("SUBSTRING(eid,1,3) as Eid")));
    EXPECT_EQ(DetailStatusSQL(nullptr, QStringLiteral("1"), QStringLiteral("12'34"), 2024),
              QStringLiteral("update BusiBudgetAdj  set status='1'  where budgid='12''34'  and datayear=2024"));
}

TEST(StatusUpdate, WorkedExamplesAreExact)
{
    const TSummaryKey key{QStringLiteral("101"), QStringLiteral("1"),   QStringLiteral("21"), QStringLiteral("1"),
                          QStringLiteral("2"),   QStringLiteral("201"), QStringLiteral("001")};
    EXPECT_EQ(SummaryStatusSQL(nullptr, QStringLiteral("1"), 2024, QStringLiteral("1"), QStringLiteral("2"), key),
              QStringLiteral("update BusiBudgetAdj  set status='1'  where datayear=2024   and  BType='1'    and "
                             "deptclass='2'   and eid like'101%'    and mid ='1'    and bkid ='21'    and pid ='1' "
                             "   and ipid ='2'    and bid ='201'    and iid ='001' "));
    EXPECT_EQ(DetailStatusSQL(nullptr, QStringLiteral("1"), QStringLiteral("1234"), 2024),
              QStringLiteral("update BusiBudgetAdj  set status='1'  where budgid='1234'  and datayear=2024"));
    EXPECT_EQ(SummaryDeleteCondition(nullptr, QStringLiteral("1"), QStringLiteral("02"), key),
              QStringLiteral("   and BType='1'    and deptclass='02'   and eid like'101%'    and mid ='1'    and "
                             "bkid ='21'    and pid ='1'    and ipid ='2'    and bid ='201'    and iid ='001' "));
}

TEST(DeptTree, BaseQueryPerDialect)
{
    Conn ss("SQLOLEDB.1"), oracle("MSDAORA.1"), lite("SQLite");
    EXPECT_EQ(DeptTreeSQL(&ss.c, QStringLiteral("101"), true),
              QStringLiteral("select eid,peid,leafflag,ename,eid+' '+ename as tname  from pubdept  where "
                             "useflag='0'     and eid like '101%' and replaceflag='0' "));
    EXPECT_EQ(DeptTreeSQL(&ss.c, QString(), false),
              QStringLiteral("select eid,peid,leafflag,ename,eid+' '+ename as tname  from pubdept  where "
                             "useflag='0'     and eid like '%'"));
    EXPECT_TRUE(DeptTreeSQL(&oracle.c, QStringLiteral("101"), false).startsWith(
        QStringLiteral("select eid,peid,leafflag,ename,eid||' '||ename as tname ")));
    EXPECT_TRUE(DeptTreeSQL(&lite.c, QStringLiteral("1'1"), false).endsWith(QStringLiteral("like '1''1%'")));
}

TEST(DeptClass, OnlyWholeNumbersPass)
{
    QString n;
    EXPECT_TRUE(DeptClassNumber(QStringLiteral("02"), &n));
    EXPECT_EQ(n, QStringLiteral("2"));
    EXPECT_TRUE(DeptClassNumber(QStringLiteral("-7"), &n));
    EXPECT_EQ(n, QStringLiteral("-7"));
    for (const char* bad : {"", "  ", "2a", "1.5", "x", "99999999999"})
        EXPECT_FALSE(DeptClassNumber(QString::fromLatin1(bad), &n)) << bad;
}

// The statements built for the embedded database run there and select what they say.
TEST(RecordQuery, RunsOnSqlite)
{
    windowtest::HostFixture host(400);
    TRecordFilter f;
    f.DataYear = DemoDefaultYear;
    f.UnitCode = QStringLiteral("101004");
    f.BType = QStringLiteral("1");
    f.DeptClass = QStringLiteral("2");
    f.OfficeColumns = true;
    f.Status = TStatusView::Unconfirmed;
    const QString where = QStringLiteral(" from BusiBudgetAdj where datayear=2024 and eid like '101004%' and "
                                         "BType='1' and deptclass='2' and status='0'");
    const int expected = host.Scalar(QStringLiteral("select count(*)") + where).toInt();
    ASSERT_GT(expected, 0);

    f.Detail = true;
    TResult<IARQueryRef> q = OpenDefSQL(RecordQuerySQL(DefConnection(), f));
    ASSERT_TRUE(q);
    TADOQuery* d = q.Value()->GetQuery();
    EXPECT_EQ(d->RecordCount(), expected);
    EXPECT_EQ(d->FieldCount(), 31);
    for (d->First(); !d->Eof(); d->Next()) {
        EXPECT_TRUE(d->FieldText(QStringLiteral("eid")).startsWith(QStringLiteral("101004")));
        EXPECT_FALSE(d->FieldText(QStringLiteral("child")).isEmpty());
        EXPECT_FALSE(d->FieldText(QStringLiteral("burname")).isEmpty());
    }

    f.Detail = false;
    q = OpenDefSQL(RecordQuerySQL(DefConnection(), f));
    ASSERT_TRUE(q);
    d = q.Value()->GetQuery();
    EXPECT_EQ(d->FieldCount(), 19);   // the 18 of the description and the row's record count
    double total = 0;
    int records = 0;
    for (d->First(); !d->Eof(); d->Next()) {
        EXPECT_EQ(d->FieldText(QStringLiteral("Eid")), QStringLiteral("101004"));
        EXPECT_TRUE(d->FieldText(QStringLiteral("ename")).isEmpty());
        total += d->FieldByName(QStringLiteral("BudgMoney")).toDouble();
        records += d->FieldByName(QStringLiteral("RecCount")).toInt();
        EXPECT_NEAR(d->FieldByName(QStringLiteral("BudgMoney_wy")).toDouble() * 10000,
                    d->FieldByName(QStringLiteral("BudgMoney")).toDouble(), 1e-6);
    }
    EXPECT_NEAR(total, host.Scalar(QStringLiteral("select sum(BudgMoney)") + where).toDouble(), 1e-6);
    EXPECT_EQ(records, expected);
}
