// The plans the embedded database makes of the window's statements: each walks
// an index over the rows it returns or touches, never the table, so a schema
// change that loses an index fails here.
#include "budget/gunBudgetAdj.h"
#include "data/untDbManager.h"
#include "data/untDemoData.h"
#include "records/untRecordSql.h"
#include "tree/untDynamicTree.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct PlanDb {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("plans.db"));
    TAdoConn conn;
    PlanDb()
    {
        QString error;
        EXPECT_TRUE(CreateDemoDatabase(path, 3000, &error)) << error.toStdString();
        conn.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    }
    // The plan's lines, one per step.
    QString Plan(const QString& sql)
    {
        TADOQuery q;
        q.SetConnection(&conn);
        q.SetSQLText(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        q.Open();
        QStringList lines;
        for (q.First(); !q.Eof(); q.Next())
            lines << q.FieldText(QStringLiteral("detail"));
        return lines.join(QLatin1Char('\n'));
    }
    int Count(const QString& sql)
    {
        TADOQuery q;
        q.SetConnection(&conn);
        q.SetSQLText(sql);
        q.Open();
        return q.FieldValue(0).toInt();
    }
};

TRecordFilter Filter(bool detail, TStatusView status, const char* unit)
{
    TRecordFilter f;
    f.Detail = detail;
    f.Status = status;
    f.UnitCode = QLatin1String(unit);
    f.BType = QStringLiteral("1");
    f.DeptClass = QLatin1String(DemoDefaultDeptClass);
    f.DataYear = DemoDefaultYear;
    return f;
}

const TSummaryKey Key{QStringLiteral("101"), QStringLiteral("1"),   QStringLiteral("21"), QStringLiteral("1"),
                      QStringLiteral("2"),   QStringLiteral("205"), QStringLiteral("003")};

}  // namespace

TEST(QueryPlans, RecordQueriesWalkTheFilterIndexOverTheUnitRangeOnly)
{
    PlanDb db;
    const QString range = QStringLiteral(
        "USING INDEX ix_budgetadj_filter (datayear=? AND BType=? AND deptclass=? AND status=? AND eid>? AND eid<?)");
    for (TStatusView status : {TStatusView::Unconfirmed, TStatusView::Confirmed}) {
        const QString detail = db.Plan(RecordQuerySQL(&db.conn, Filter(true, status, "101001")));
        EXPECT_TRUE(detail.contains(range)) << qPrintable(detail);
        // The index gives the detail view's order: no sort of the rows.
        EXPECT_FALSE(detail.contains(QLatin1String("TEMP B-TREE"))) << qPrintable(detail);
        EXPECT_FALSE(detail.contains(QLatin1String("SCAN a"))) << qPrintable(detail);
        const QString summary = db.Plan(RecordQuerySQL(&db.conn, Filter(false, status, "101")));
        EXPECT_TRUE(summary.contains(range)) << qPrintable(summary);
        EXPECT_FALSE(summary.contains(QLatin1String("SCAN a"))) << qPrintable(summary);
    }
}

TEST(QueryPlans, StatusUpdatesAndDeletesTouchTheirKeyOnly)
{
    PlanDb db;
    const QString summary = db.Plan(SummaryStatusSQL(&db.conn, QStringLiteral("1"), DemoDefaultYear,
                                                     QStringLiteral("1"), QLatin1String(DemoDefaultDeptClass), Key));
    const QString keyRange = QStringLiteral(
        "USING INDEX ix_budgetadj_key (datayear=? AND BType=? AND deptclass=? AND mid=? AND bkid=? AND pid=? AND "
        "ipid=? AND bid=? AND iid=? AND eid>? AND eid<?)");
    EXPECT_TRUE(summary.contains(keyRange)) << qPrintable(summary);

    TBudgetAdj record(nullptr);
    record.DataYear = DemoDefaultYear;
    const QString summaryDelete = db.Plan(BudgetAdjDeleteSQL(
        record, SummaryDeleteCondition(&db.conn, QStringLiteral("1"), QLatin1String(DemoDefaultDeptClass), Key),
        &db.conn));
    EXPECT_TRUE(summaryDelete.contains(keyRange)) << qPrintable(summaryDelete);

    const QString key = QStringLiteral("(datayear=? AND BudgId=?)");
    const QString detail = db.Plan(DetailStatusSQL(&db.conn, QStringLiteral("1"), QStringLiteral("2075"), DemoDefaultYear));
    EXPECT_TRUE(detail.startsWith(QLatin1String("SEARCH")) && detail.contains(key)) << qPrintable(detail);
    record.BudgId = QStringLiteral("2075");
    const QString detailDelete = db.Plan(BudgetAdjDeleteSQL(record, QString(), &db.conn));
    EXPECT_TRUE(detailDelete.startsWith(QLatin1String("SEARCH")) && detailDelete.contains(key))
        << qPrintable(detailDelete);
}

TEST(QueryPlans, TreeChildrenComeFromTheParentIndexInCodeOrder)
{
    PlanDb db;
    TDynamicTree tree(nullptr);
    tree.SetSqlTable({DeptTreeSQL(&db.conn, QStringLiteral("101"), true)});
    tree.SetFieldId(QStringLiteral("eid"));
    tree.SetFieldPid(QStringLiteral("peid"));
    TItemInfo info;
    info.Id = QStringLiteral("101");
    const QString plan = db.Plan(tree.ChildrenQueryText(&info));
    EXPECT_TRUE(plan.contains(QLatin1String("USING INDEX ix_pubdept_parent (peid=? AND eid>? AND eid<?)"))) << qPrintable(plan);
    EXPECT_FALSE(plan.contains(QLatin1String("TEMP B-TREE"))) << qPrintable(plan);
}

TEST(QueryPlans, UnitRangesCompareCodesAsWritten)
{
    // A unit code prefix matches its own units only: not the same letters in
    // another case, which the index could not serve either.
    PlanDb db;
    TADOCommand cmd;
    cmd.SetConnection(&db.conn);
    cmd.SetCommandText(QStringLiteral("insert into pubdept(eid,peid,ename) values('a01','','小写单位'),('A01','','大写单位')"));
    cmd.Execute();
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from pubdept where eid like 'A01%'")), 1);
    EXPECT_EQ(db.Count(QStringLiteral("select count(*) from pubdept where eid like '101%'")), 12);
    const QString plan = db.Plan(QStringLiteral("select * from pubdept where eid like '101%'"));
    EXPECT_TRUE(plan.contains(QLatin1String("(eid>? AND eid<?)"))) << qPrintable(plan);
}
