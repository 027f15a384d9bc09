// The record layer on a real database, the embedded one and the PostgreSQL test
// server alike: one body per behaviour, run on each.
#include "data/untDbManager.h"
#include "data/untDemoData.h"
#include "records/untRecordController.h"
#include "tests/data/PgServer.h"
#include "toolkit/Decimal.h"
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

enum class Kind { SQLite, Postgres };

class RecordLayer : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        QString error;
        if (GetParam() == Kind::Postgres) {
            pg = std::make_unique<pgtest::Database>();
            if (!pg->Skip.empty())
                GTEST_SKIP() << pg->Skip;
            ASSERT_TRUE(CreateDemoDatabaseAt(pg->ConnectionString, 400, &error)) << error.toStdString();
            conn.SetConnectionString(pg->ConnectionString);
        } else {
            const QString path = dir.filePath(QStringLiteral("r.db"));
            ASSERT_TRUE(CreateDemoDatabase(path, 400, &error)) << error.toStdString();
            conn.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
        }
        TModuleContext c;
        c.Conn = &conn;
        c.DataYear = DemoDefaultYear;
        c.UnitCode = QString::fromLatin1(DemoDefaultUnit);
        c.UnitDeptClass = QString::fromLatin1(DemoDefaultDeptClass);
        c.OfficeCode = QString::fromLatin1(DemoDefaultOffice);
        controller = std::make_unique<TRecordController>(c);
        QObject::connect(controller.get(), &TRecordController::loadFinished,
                         [this](std::shared_ptr<TGridRows> rows) { cells = std::move(*rows); });
        QObject::connect(controller.get(), &TRecordController::runFinished,
                         [this](const TRunReport& r) { report = r; });
    }

    void Idle()
    {
        while (controller->Busy())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }

    // Loads a view of the whole demo unit with the grid plan of the given columns.
    TRecordController::TLoadStart Load(bool detail, std::vector<QString> fields)
    {
        TRecordController::TView view;
        view.Detail = detail;
        view.UnitCode = QString::fromLatin1(DemoDefaultUnit);
        view.BType = QStringLiteral("1");
        TGridLoadPlan plan;
        for (const QString& f : fields)
            plan.Fields.push_back({f, quint8(f == QLatin1String("budgmoney") ? 0 : 1), 1});
        plan.Columns = int(plan.Fields.size());
        plan.ShowTotal = true;
        TError error;
        const auto started = controller->Load(view, [&] { return plan; }, &error);
        Idle();
        return started;
    }

    QString Scalar(const QString& sql) { return pgtest::Scalar(conn, sql); }

    QTemporaryDir dir;
    std::unique_ptr<pgtest::Database> pg;
    TAdoConn conn;
    std::unique_ptr<TRecordController> controller;
    TGridRows cells;
    TRunReport report;
};

const QString UnconfirmedOfView = QStringLiteral(
    " from BusiBudgetAdj where datayear=2024 and BType='1' and deptclass='2' and status='0' and eid like '101%'");

}  // namespace

TEST_P(RecordLayer, RowsCarryTheirIdentityAndExactTotalsWhateverTheGridShows)
{
    // A layout with none of the key columns: the record set has them all the same.
    ASSERT_EQ(Load(false, {QStringLiteral("bname"), QStringLiteral("budgmoney")}),
              TRecordController::TLoadStart::Started);
    TRecordSetRef set = controller->Records();
    ASSERT_TRUE(set);
    ASSERT_GT(set->Count(), 1);
    EXPECT_EQ(cells.Cells.RowCount(), set->Count() + 1);   // the totals row
    long long cents = 0;
    for (int r = 0; r < set->Count(); ++r) {
        const TSummaryKey k = set->Key(r);
        EXPECT_EQ(k.Eid, QStringLiteral("101"));
        EXPECT_FALSE(k.Mid.isEmpty() || k.Bkid.isEmpty() || k.Pid.isEmpty() || k.Ipid.isEmpty() || k.Bid.isEmpty());
        EXPECT_FALSE(set->KeyHasNull(r));
        cents += set->AmountCents(r);
    }
    const long long exact = Scalar(QStringLiteral("select sum(round(BudgMoney*100))") + UnconfirmedOfView).toLongLong();
    EXPECT_EQ(cents, exact);
    TDecimalSum total;
    total.Add(cells.Cells.Text(1, cells.FooterRow));
    EXPECT_EQ(total.Cents(), exact);

    // The same statement again is not sent; another view is.
    EXPECT_EQ(Load(false, {QStringLiteral("bname"), QStringLiteral("budgmoney")}),
              TRecordController::TLoadStart::Skipped);
    ASSERT_EQ(Load(true, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    set = controller->Records();
    ASSERT_TRUE(set && set->Detail());
    EXPECT_EQ(QString::number(set->Count()), Scalar(QStringLiteral("select count(*)") + UnconfirmedOfView));
    for (int r = 0; r < set->Count(); r += 37) {
        EXPECT_EQ(set->Status(r), QStringLiteral("0"));
        EXPECT_EQ(Scalar(QStringLiteral("select round(BudgMoney*100) from BusiBudgetAdj where datayear=2024 and "
                                        "budgid='%1'").arg(set->BudgId(r))).toLongLong(),
                  set->AmountCents(r));
    }
}

TEST_P(RecordLayer, ARunWritesTheChosenRowsByTheirIdentityAndReportsWhatItDid)
{
    ASSERT_EQ(Load(true, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    const TRecordSetRef set = controller->Records();
    ASSERT_GE(set->Count(), 4);
    const std::vector<int> rows{0, 2, 3};
    ASSERT_TRUE(controller->StartRun(TRunKind::Confirm, rows, 2));   // stops as if cancelled after two
    Idle();
    EXPECT_TRUE(report.Cancelled);
    EXPECT_EQ(report.Succeeded, 2);
    EXPECT_EQ(report.NotAttempted(), 1);
    EXPECT_EQ(report.SucceededCents, set->AmountCents(0) + set->AmountCents(2));
    for (int r : {0, 2, 3, 1})
        EXPECT_EQ(Scalar(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and budgid='%1'")
                             .arg(set->BudgId(r))),
                  QLatin1String(r == 0 || r == 2 ? "1" : "0"))
            << r;
    // The write makes the next load of the same view go ahead.
    EXPECT_EQ(Load(true, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    EXPECT_EQ(controller->Records()->Count(), set->Count() - 2);
}

INSTANTIATE_TEST_SUITE_P(Databases, RecordLayer, ::testing::Values(Kind::SQLite, Kind::Postgres),
                         [](const ::testing::TestParamInfo<Kind>& i) {
                             return i.param == Kind::SQLite ? std::string("SQLite") : std::string("Postgres");
                         });
