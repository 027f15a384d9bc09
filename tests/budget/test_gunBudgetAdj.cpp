#include "budget/gunBudgetAdj.h"
#include "tests/forms/WindowFixture.h"

TEST(BudgetAdj, DefaultsByPosition)
{
    TBudgetAdj r(nullptr);
    EXPECT_EQ(r.DataYear, 0);
    EXPECT_TRUE(r.BudgId.isEmpty());
    for (int p = TBudgetAdj::FirstPosition; p <= TBudgetAdj::LastPosition; ++p) {
        if (TBudgetAdj::IsNumberPosition(p)) {
            EXPECT_EQ(r.Number(p), 0.0) << p;
            continue;
        }
        const bool one = p == 34 || p == 35 || p == 36 || p == 37 || p == 40 || p == 41 || p == 49 || p == 50;
        const bool zero = p == 47 || p == 48;
        EXPECT_EQ(r.Text(p), one ? QStringLiteral("1") : zero ? QStringLiteral("0") : QString()) << p;
    }
    // Positions outside the attributes hold nothing and take nothing.
    r.SetText(13, QStringLiteral("x"));
    r.SetText(51, QStringLiteral("x"));
    EXPECT_TRUE(r.Text(13).isEmpty());
    EXPECT_TRUE(r.Text(51).isEmpty());
    r.SetNumber(14, 2.5);
    EXPECT_EQ(r.Number(14), 2.5);
}

TEST(BudgetAdj, DeleteStatementText)
{
    TBudgetAdj r(nullptr);
    r.DataYear = 2024;
    r.BudgId = QStringLiteral("77");
    EXPECT_EQ(BudgetAdjDeleteSQL(r, QString()),
              QStringLiteral(" delete from busibudgetAdj  where datayear=2024 and BudgId='77'"));
    EXPECT_EQ(BudgetAdjDeleteSQL(r, QStringLiteral("   and BType='1' ")),
              QStringLiteral(" delete from busibudgetAdj  where datayear=2024   and BType='1' "));
    r.BudgId = QStringLiteral("7'7");
    EXPECT_EQ(BudgetAdjDeleteSQL(r, QString()),
              QStringLiteral(" delete from busibudgetAdj  where datayear=2024 and BudgId='7''7'"));
}

TEST(BudgetAdj, DeleteRecordOnARealDatabase)
{
    windowtest::HostFixture host(120);
    TBudgetAdjManage manage(nullptr);
    TBudgetAdj r(nullptr);
    const QString count = QStringLiteral("select count(*) from BusiBudgetAdj");
    const int all = host.Scalar(count).toInt();

    // By key: only that year's row goes.
    r.DataYear = DemoDefaultYear;
    r.BudgId = QStringLiteral("5");
    EXPECT_TRUE(manage.DeleteRecord(&r, QString()));
    EXPECT_EQ(host.Scalar(count).toInt(), all - 1);
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where BudgId=5")), QStringLiteral("0"));

    // By condition: the key is ignored.
    const int typed = host.Scalar(count + QStringLiteral(" where datayear=2024 and BType='2'")).toInt();
    ASSERT_GT(typed, 0);
    r.BudgId = host.Scalar(QStringLiteral("select min(BudgId) from BusiBudgetAdj where BType<>'2'"));
    EXPECT_TRUE(manage.DeleteRecord(&r, QStringLiteral("   and BType='2' ")));
    EXPECT_EQ(host.Scalar(count).toInt(), all - 1 - typed);
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where BudgId=") + r.BudgId),
              QStringLiteral("1"));

    // A failing statement is a false result, and no message of its own.
    host.Exec(QStringLiteral("drop view vwbudgetadj"));
    host.Exec(QStringLiteral("drop table BusiBudgetAdj"));
    EXPECT_FALSE(manage.DeleteRecord(&r, QString()));
    EXPECT_FALSE(manage.DeleteRecord(nullptr, QString()));
    EXPECT_TRUE(host.messages.empty());
}
