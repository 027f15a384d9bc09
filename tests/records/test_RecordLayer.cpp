// The record layer on a real database, the embedded one and the PostgreSQL test
// server alike: one body per behaviour, run on each.
#include "data/untDbManager.h"
#include "data/untDemoData.h"
#include "records/untJournalSearch.h"
#include "records/untRecordController.h"
#include "tests/data/PgServer.h"
#include "toolkit/Decimal.h"
#include <QCoreApplication>
#include <QFile>
#include <QDateTime>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The controller's journal probe, its answer waited for.
TRecordController::TJournalState CheckedJournal(TRecordController& Controller)
{
    Controller.CheckJournal();
    while (Controller.Asking())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return Controller.Journal();
}

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
        c.Operator = QStringLiteral("张会计");
        c.Workstation = QStringLiteral("desk-7");
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
    void Exec(const QString& sql) { pgtest::Exec(conn, sql); }
    // A trigger that makes changes of one record fail: its update, or its journal entry.
    void Refuse(const char* table, const QString& budgid)
    {
        const QString name = QStringLiteral("refuse_%1_%2").arg(QLatin1String(table)).arg(budgid);
        const QString when = QLatin1String(table) == QLatin1String("BusiBudgetAdj") ? QStringLiteral("before update")
                                                                                     : QStringLiteral("before insert");
        const QString row = QLatin1String(table) == QLatin1String("BusiBudgetAdj") ? QStringLiteral("old") : QStringLiteral("new");
        if (GetParam() == Kind::Postgres) {
            Exec(QStringLiteral("create or replace function refuse() returns trigger language plpgsql as "
                                "$$ begin raise exception 'refused'; end $$"));
            Exec(QStringLiteral("create trigger %1 %2 on %3 for each row when (%4.BudgId=%5) execute function refuse()")
                     .arg(name, when, QLatin1String(table), row, budgid));
        } else {
            Exec(QStringLiteral("create trigger %1 %2 on %3 when %4.BudgId=%5 begin select raise(abort, 'refused'); end")
                     .arg(name, when, QLatin1String(table), row, budgid));
        }
    }
    QString Status(const QString& budgid)
    {
        return Scalar(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and BudgId=") + budgid);
    }
    int Entries(const QString& where)
    {
        return Scalar(QStringLiteral("select count(*) from BusiBudgetAdjLog where ") + where).toInt();
    }

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

TEST_P(RecordLayer, ARunCancelledBeforeItsFirstStatementIsACancelNotAFailure)
{
    ASSERT_EQ(CheckedJournal(*controller), TRecordController::TJournalState::Present);
    ASSERT_EQ(Load(true, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    TRunRequest request;
    request.Records = controller->Records();
    request.Rows = {0, 1};
    request.DeptClass = request.Records->View().DeptClass;
    request.Journal = true;
    request.RunId = QStringLiteral("cancelled-at-once");
    request.Operator = QStringLiteral("张会计");
    const QString first = request.Records->BudgId(0);
    bool ended = false;
    TStatusRun run(controller->Context().Conn, request, {});
    run.OnTerminate = [&](TThread*) { ended = true; };
    run.Cancel();
    run.Resume();
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_TRUE(run.Report().Cancelled);
    EXPECT_EQ(run.Report().Failed, 0);
    EXPECT_EQ(run.Report().Succeeded, 0);
    EXPECT_EQ(Scalar(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and budgid='%1'").arg(first)),
              QStringLiteral("0"));
}

TEST_P(RecordLayer, EveryChangeHasItsJournalEntryAndUndoTakesBackWhatIsStillAsItWasLeft)
{
    ASSERT_EQ(CheckedJournal(*controller), TRecordController::TJournalState::Present);
    ASSERT_EQ(Load(true, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    TRecordSetRef set = controller->Records();
    ASSERT_GE(set->Count(), 8);
    const QString a = set->BudgId(0), b = set->BudgId(1), c = set->BudgId(2);
    ASSERT_TRUE(controller->StartRun(TRunKind::Confirm, {0, 1, 2}, -1));
    Idle();
    EXPECT_EQ(report.Records, 3);
    const QString run = controller->LastRun().RunId;
    EXPECT_EQ(Entries(QStringLiteral("RunId='%1' and Action='confirm' and OldStatus='0' and NewStatus='1' and "
                                     "Operator='张会计' and Workstation='desk-7' and LoggedAt like '20%Z'").arg(run)),
              3);
    EXPECT_TRUE(controller->CanUndo());

    // Someone raises one of them; undo takes back the other two only.
    Exec(QStringLiteral("update BusiBudgetAdj set BudgMoney=BudgMoney+1 where datayear=2024 and BudgId=") + b);
    ASSERT_TRUE(controller->StartUndo(-1));
    Idle();
    EXPECT_EQ(report.Kind, TRunKind::Undo);
    EXPECT_EQ(report.Records, 2);
    EXPECT_EQ(report.Skipped, 1);
    EXPECT_EQ(Status(a), QStringLiteral("0"));
    EXPECT_EQ(Status(b), QStringLiteral("1"));
    EXPECT_EQ(Status(c), QStringLiteral("0"));
    EXPECT_EQ(Entries(QStringLiteral("Action='undo' and OldStatus='1' and NewStatus='0'")), 2);
    EXPECT_FALSE(controller->CanUndo());

    // A delete keeps the whole record in its entry.
    ASSERT_EQ(Load(true, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    set = controller->Records();
    const QString gone = set->BudgId(0);
    const QString unit = Scalar(QStringLiteral("select eid from BusiBudgetAdj where datayear=2024 and BudgId=") + gone);
    ASSERT_TRUE(controller->StartRun(TRunKind::Delete, {0}, -1));
    Idle();
    EXPECT_EQ(report.Records, 1);
    EXPECT_EQ(Entries(QStringLiteral("Action='delete' and BudgId=%1 and NewStatus is null and eid='%2' and mid is not null")
                          .arg(gone, unit)),
              1);

    // Failures in the middle: a record whose change fails, one whose entry fails.
    // Neither changes; the rows around them go through with their entries.
    ASSERT_EQ(Load(true, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    set = controller->Records();
    const QString r0 = set->BudgId(0), r1 = set->BudgId(1), r2 = set->BudgId(2), r3 = set->BudgId(3);
    Refuse("BusiBudgetAdj", r1);
    Refuse("BusiBudgetAdjLog", r2);
    ASSERT_TRUE(controller->StartRun(TRunKind::Confirm, {0, 1, 2, 3}, -1));
    Idle();
    EXPECT_EQ(report.Records, 2);
    EXPECT_EQ(report.Failed, 2);
    const QString ofRun = QStringLiteral("RunId='%1' and BudgId=").arg(controller->LastRun().RunId);
    for (const QString& id : {r0, r3}) {
        EXPECT_EQ(Status(id), QStringLiteral("1")) << qPrintable(id);
        EXPECT_EQ(Entries(ofRun + id), 1) << qPrintable(id);
    }
    for (const QString& id : {r1, r2}) {
        EXPECT_EQ(Status(id), QStringLiteral("0")) << qPrintable(id);
        EXPECT_EQ(Entries(ofRun + id), 0) << qPrintable(id);
    }
}

TEST_P(RecordLayer, ASummaryOfSixHundredThousandAmountsIsExactToTheCentAndItsGuardAgrees)
{
    // 600 000 amounts near ten million yuan on one summary key: added as floating
    // point they come to cents off the amounts' own sum.
    const QString base = Scalar(QStringLiteral("select min(BudgId)") + UnconfirmedOfView);
    const QString key = QStringLiteral("(mid,bkid,pid,ipid,bid,iid) in (select mid,bkid,pid,ipid,bid,iid from "
                                       "BusiBudgetAdj where datayear=2024 and BudgId=%1)").arg(base);
    constexpr long long N = 600000;
    long long exact = Scalar(QStringLiteral("select sum(round(BudgMoney*100))") + UnconfirmedOfView
                             + QStringLiteral(" and ") + key).toLongLong();
    for (long long i = 1; i <= N; ++i)
        exact += 999000001 + (i * 37) % 101;
    const QString copies = QStringLiteral(
        "insert into BusiBudgetAdj (datayear,BudgId,eid,deptclass,BType,btypechild,mid,bid,iid,bkid,ipid,pid,ekid,"
        "BudgMoney,status,issecret) select datayear,20000000+i,eid,deptclass,BType,btypechild,mid,bid,iid,bkid,ipid,"
        "pid,ekid,9990000.01+((i*37)%101)/100.0,status,issecret from BusiBudgetAdj, %1 where datayear=2024 and "
        "BudgId=") + base;
    if (GetParam() == Kind::Postgres)
        Exec(copies.arg(QStringLiteral("generate_series(1::bigint,%1) as s(i)").arg(N)));
    else
        Exec(QStringLiteral("with recursive s(i) as (select 1 union all select i+1 from s where i<%1) ").arg(N)
             + copies.arg(QStringLiteral("s")));

    ASSERT_EQ(Load(false, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    const TRecordSetRef set = controller->Records();
    ASSERT_TRUE(set);
    int row = -1;
    for (int r = 0; r < set->Count() && row < 0; ++r)
        if (set->AmountCents(r) > N * 999000001)
            row = r;
    ASSERT_GE(row, 0);
    EXPECT_EQ(set->AmountCents(row), exact);
    TDecimalSum shown;
    ASSERT_TRUE(shown.Add(set->Amount(row)));
    EXPECT_EQ(shown.Cents(), exact) << qPrintable(shown.Text());

    // The write's guard compares the database's sum with the one shown: they agree.
    const int records = Scalar(QStringLiteral("select count(*)") + UnconfirmedOfView + QStringLiteral(" and ") + key).toInt();
    ASSERT_TRUE(controller->StartRun(TRunKind::Confirm, {row}, -1));
    Idle();
    EXPECT_EQ(report.Succeeded, 1);
    EXPECT_EQ(report.Skipped, 0);
    EXPECT_EQ(report.Records, records);
}

TEST_P(RecordLayer, TheJournalIsSearchedByEveryFilterNewestFirstAPageAtATime)
{
    // A confirm of this window (entries name their unit), then older entries of
    // others written as before (a status change's entry without its unit).
    ASSERT_EQ(Load(true, {QStringLiteral("budgmoney")}), TRecordController::TLoadStart::Started);
    const TRecordSetRef set = controller->Records();
    ASSERT_TRUE(set && set->Count() > 3);
    ASSERT_TRUE(controller->StartRun(TRunKind::Confirm, {0, 1, 2}, -1));
    Idle();
    ASSERT_EQ(report.Succeeded, 3);
    const QString other = Scalar(QStringLiteral("select min(BudgId) from BusiBudgetAdj where datayear=2024 and eid like '102%'"));
    ASSERT_FALSE(other.isEmpty());
    const QString old = QStringLiteral("insert into BusiBudgetAdjLog (RunId,Action,DataYear,BudgId,OldStatus,NewStatus,"
                                       "BudgMoney,Operator,Workstation,LoggedAt) values ");
    Exec(old + QStringLiteral("('r1','cancel',2024,%1,'1','0',5.5,'李出纳','desk-2','2026-03-01T02:00:00.000Z')").arg(other));
    Exec(old + QStringLiteral("('r2','delete',2024,%1,'0',null,7.25,'李出纳','desk-2','2026-03-02T02:00:00.000Z')").arg(set->BudgId(3)));

    auto ids = [&](const TJournalFilter& f) {
        QStringList out;
        const TResult<std::vector<TJournalRow>> rows = FetchJournal(&conn, f);
        EXPECT_TRUE(rows) << qPrintable(rows.Error().Message);
        if (rows)
            for (const TJournalRow& r : rows.Value())
                out << r.Action + QLatin1Char(':') + r.BudgId;
        return out;
    };
    const QString c0 = QStringLiteral("confirm:") + set->BudgId(0), c1 = QStringLiteral("confirm:") + set->BudgId(1),
                  c2 = QStringLiteral("confirm:") + set->BudgId(2), cancel = QStringLiteral("cancel:") + other,
                  del = QStringLiteral("delete:") + set->BudgId(3);
    // Newest first, the run's start and end markers left out.
    const QStringList all = ids({});
    ASSERT_EQ(all.size(), 5) << qPrintable(all.join(' '));
    EXPECT_EQ(all.mid(0, 2), (QStringList{del, cancel}));
    EXPECT_EQ(QSet<QString>(all.begin() + 2, all.end()), (QSet<QString>{c0, c1, c2}));
    TJournalFilter f;
    f.Operator = QStringLiteral("李出纳");
    EXPECT_EQ(ids(f), (QStringList{del, cancel}));
    f.Action = QStringLiteral("cancel");
    EXPECT_EQ(ids(f), QStringList{cancel});
    f = {};
    f.Operator = QStringLiteral("张会计");
    f.Action = QStringLiteral("confirm");
    EXPECT_EQ(ids(f).size(), 3);
    f = {};
    f.From = QDate(2026, 3, 2);
    f.To = QDate(2026, 3, 2);
    // A day is the user's: the entry written at 02:00 UTC is of the day its local time falls on.
    const QStringList day = ids(f);
    EXPECT_EQ(day.contains(del), QDateTime(QDate(2026, 3, 2), QTime(2, 0), Qt::UTC).toLocalTime().date() == QDate(2026, 3, 2));
    EXPECT_FALSE(day.contains(c0));
    f = {};
    f.To = QDate(2026, 6, 30);
    EXPECT_EQ(ids(f), (QStringList{del, cancel}));
    // Units: this window's entries by their own unit, the old one by its record's.
    f = {};
    f.Unit = QStringLiteral("102");
    EXPECT_EQ(ids(f), QStringList{cancel});
    f.Unit = QStringLiteral("101");
    EXPECT_EQ(ids(f).size(), 4);
    f = {};
    f.BudgId = set->BudgId(1);
    EXPECT_EQ(ids(f), QStringList{c1});
    f.Operator = QStringLiteral("李出纳");
    EXPECT_TRUE(ids(f).isEmpty());

    // Pages by key; the model fetches the first at once and more when asked.
    const TResult<std::vector<TJournalRow>> firstPage = FetchJournalPage(&conn, {}, 0, 2);
    ASSERT_TRUE(firstPage);
    const std::vector<TJournalRow>& first = firstPage.Value();
    ASSERT_EQ(first.size(), 2u);
    const TResult<std::vector<TJournalRow>> nextPage = FetchJournalPage(&conn, {}, first.back().LogId, 2);
    ASSERT_TRUE(nextPage);
    const std::vector<TJournalRow>& next = nextPage.Value();
    ASSERT_EQ(next.size(), 2u);
    EXPECT_LT(next.front().LogId, first.back().LogId);
    TJournalModel model(&conn);
    model.Search({});
    while (model.Fetching())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(model.Count(), 5);
    EXPECT_TRUE(model.AtEnd());
    EXPECT_FALSE(model.canFetchMore({}));
    EXPECT_EQ(model.data(model.index(0, 3)).toString(), QStringLiteral("删除"));
    EXPECT_EQ(model.data(model.index(0, 9)).toString(), QStringLiteral("7.25"));
    EXPECT_GE(model.FirstPageMs(), 0);
    // A search given up on delivers nothing: only the newer one's entries show.
    model.Search({});
    TJournalFilter mine;
    mine.Operator = QStringLiteral("李出纳");
    model.Search(mine);
    while (model.Fetching())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(model.Count(), 2);
}

TEST(RecordJournal, ADatabaseThatCannotBeAskedIsNoDatabaseWithoutJournal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("j.db"));
    QString error;
    ASSERT_TRUE(CreateDemoDatabase(path, 50, &error)) << error.toStdString();
    TAdoConn conn;
    conn.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    TModuleContext c;
    c.Conn = &conn;
    TRecordController controller(c);
    EXPECT_EQ(CheckedJournal(controller), TRecordController::TJournalState::Present);
    // The file gone: the database is lost, which says nothing of its journal.
    conn.Close();
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(CheckedJournal(controller), TRecordController::TJournalState::Failed);
    EXPECT_EQ(controller.JournalError().Kind, EDatabaseError::Lost);
    // A database without the table: no journal.
    ASSERT_TRUE(CreateDemoDatabase(path, 50, &error)) << error.toStdString();
    pgtest::Exec(conn, QStringLiteral("drop table BusiBudgetAdjLog"));
    EXPECT_EQ(CheckedJournal(controller), TRecordController::TJournalState::Missing);
}

// What the controller asks and says reaches the user through its prompter: an
// action with nothing to act on says what is missing; a view no statement can be
// made of is said once while the window is being shown, and at each load after.
TEST(RecordController, ItSaysWhatIsMissingAndARefusedViewOnceWhileTheWindowIsShown)
{
    TModuleContext c;   // no database is asked: the department class is refused first
    c.UnitDeptClass = QStringLiteral("x");
    TRecordController controller(c);
    QStringList said;
    controller.SetPrompter([&](const TRecordController::TPrompt& p) {
        said << QString::number(p.Kind) + QLatin1Char(' ') + p.Text;
        return true;
    });
    EXPECT_FALSE(controller.MayRun(TRunKind::Confirm));
    EXPECT_EQ(said, QStringList{QStringLiteral("2 请选择需要确认的预算指标信息!")});
    said.clear();
    const TRecordController::TView view{.Detail = true, .Status = TStatusView::Unconfirmed,
                                        .UnitCode = QStringLiteral("101"), .UnitScope = {}, .BType = QStringLiteral("1")};
    controller.BeginShowing();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(controller.Load(view, {}, nullptr), TRecordController::TLoadStart::Refused);
    controller.EndShowing();
    EXPECT_EQ(said, QStringList{QStringLiteral("1 单位部门类别无效，无法提取预算指标！")});
    controller.Load(view, {}, nullptr);
    EXPECT_EQ(said.size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Databases, RecordLayer, ::testing::Values(Kind::SQLite, Kind::Postgres),
                         [](const ::testing::TestParamInfo<Kind>& i) {
                             return i.param == Kind::SQLite ? std::string("SQLite") : std::string("Postgres");
                         });
