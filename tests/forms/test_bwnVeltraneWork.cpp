// The window's long work on its worker: what a run sends and what it says when
// the database fails it, 取消 and the progress panel, loads made stale by a newer
// choice, the status line, and the faults around them that users met.
#include "forms/bwnVeltrane.h"
#include "forms/bwnJournal.h"
#include "records/untRecordSql.h"
#include "grid/untNextGridManager.h"
#include "tests/forms/WindowFixture.h"
#include "tests/DialogDriver.h"
#include "grid/untGridOutput.h"
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUuid>
#include <optional>

using windowtest::ctl;
using windowtest::HostFixture;
using windowtest::Spin;
using windowtest::Window;

namespace {

// A writer of another connection, as another process would hold the database.
class Writer {
public:
    explicit Writer(const QString& path) : FName(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FName);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~Writer()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(FName, false);
            QSqlQuery(db).exec(QStringLiteral("rollback"));
            db.close();
        }
        QSqlDatabase::removeDatabase(FName);
    }
    bool Exec(const QString& sql) { return QSqlQuery(QSqlDatabase::database(FName, false)).exec(sql); }

private:
    QString FName;
};

void Tick(Window& win, std::initializer_list<int> rows)
{
    for (int r : rows)
        ASSERT_TRUE(win.grid()->UserToggleCheck(0, r)) << r;
}

QString Confirmed(HostFixture& host, const QString& budgid)
{
    return host.Scalar(QStringLiteral("select status from BusiBudgetAdj where datayear=2024 and BudgId=") + budgid);
}

}  // namespace

TEST(WindowWork, ARunThatMeetsAHeldLockStopsThereAndSaysWhatWasDone)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    ASSERT_GT(win.rows(), 6);
    Tick(win, {0, 1, 2, 3, 4});
    const QString first = win.cell("budgid", 0);

    Writer other(host.path);
    ASSERT_TRUE(other.Exec(QStringLiteral("begin immediate")));
    host.ClearSent();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    // The busy database fails every row alike: one statement waits its timeout
    // (the run's start in the journal), and nothing more is sent.
    EXPECT_EQ(host.Sent(QStringLiteral("update")).size() + host.Sent(QStringLiteral("insert into BusiBudgetAdjLog")).size(), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    const QString text = host.messages[0].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("确认预算指标时出错。\n成功 0 行，失败 1 行，未处理 4 行（保持原状态）。")))
        << qPrintable(text);
    // The module's sentence, then the driver's words under 详细信息.
    EXPECT_TRUE(text.contains(QStringLiteral("错误：其他用户正在修改这些预算指标，数据库暂时无法写入，请稍后再试。\n\n详细信息："
                                             "database is locked"))) << qPrintable(text);
    EXPECT_EQ(host.messages[0].caption, QStringLiteral("Korrindel 7.1-提示信息"));
    EXPECT_TRUE(win->StatusText().contains(QStringLiteral("已确认 0 条，金额 0.00 元；1 条失败；4 条未处理")))
        << qPrintable(win->StatusText());
    // The whole line for a narrow window, and what is ticked in capitals.
    const QString tip = ctl<QLabel>(win, "lblStatus")->toolTip();
    EXPECT_TRUE(tip.startsWith(win->StatusText() + QStringLiteral("\n已选金额（大写）：人民币"))) << qPrintable(tip);
    // The grid was loaded again: every record is still there, and the five the
    // run did not write are still ticked, ready for another try.
    EXPECT_EQ(win.cell("budgid", 0), first);
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(win.cell("chk", r), QStringLiteral("True")) << r;
    EXPECT_NE(win.cell("chk", 5), QStringLiteral("True"));
    EXPECT_EQ(Confirmed(host, first), QStringLiteral("0"));

    // Once the lock is gone the same run goes through.
    ASSERT_TRUE(other.Exec(QStringLiteral("rollback")));
    host.messages.clear();
    ctl<QAction>(win, "pmuClear")->trigger();
    Tick(win, {0});
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Confirmed(host, first), QStringLiteral("1"));
}

TEST(WindowWork, TheProgressPanelShowsOnLongWorkAndCancelStopsTheStatementInFlight)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    Tick(win, {0, 1, 2});
    const QString a = win.cell("budgid", 0), b = win.cell("budgid", 1), c = win.cell("budgid", 2);

    // The first statement waits for the lock, so the run is long enough to watch.
    Writer other(host.path);
    ASSERT_TRUE(other.Exec(QStringLiteral("begin immediate")));
    host.ClearSent();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    // The panel comes after a short delay; the run waits for the lock meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ctl<QFrame>(win, "pnprocess")->isVisible(); }, 60000));
    ASSERT_TRUE(win->Running());
    EXPECT_EQ(ctl<QLabel>(win, "Label4")->text(), QStringLiteral("正在确认…"));
    EXPECT_EQ(ctl<QLabel>(win, "Label5")->text(), QStringLiteral("进度：0 / 3 行"));
    // Nothing else of the window takes input meanwhile.
    EXPECT_FALSE(ctl<QFrame>(win, "pnlBottom")->isEnabled());
    EXPECT_FALSE(ctl<QToolBar>(win, "tblChildMain")->isEnabled());
    EXPECT_TRUE(ctl<QPushButton>(win, "btnProcessCancel")->isEnabled());
    // Closing waits for the run: nothing of it is cut short unseen.
    win->Close();
    Spin();
    ASSERT_TRUE(win.w);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.messages[0].text.startsWith(QStringLiteral("正在处理选中的预算指标")));
    host.messages.clear();
    // 取消 stops the statement in flight at once, while the other session still
    // holds its lock: that row stays as it was, and the two after it are never sent.
    // (Had the statement waited out the lock, the run would report a failure.)
    QTest::mouseClick(ctl<QPushButton>(win, "btnProcessCancel"), Qt::LeftButton);
    win.idle();
    ASSERT_TRUE(other.Exec(QStringLiteral("rollback")));
    EXPECT_EQ(host.Sent(QStringLiteral("update")).size() + host.Sent(QStringLiteral("insert into BusiBudgetAdjLog")).size(), 1);
    EXPECT_EQ(Confirmed(host, a), QStringLiteral("0"));
    EXPECT_EQ(Confirmed(host, b), QStringLiteral("0"));
    EXPECT_EQ(Confirmed(host, c), QStringLiteral("0"));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(win->StatusText().contains(QStringLiteral("已取消：已确认 0 条，"))) << qPrintable(win->StatusText());
    EXPECT_TRUE(win->StatusText().endsWith(QStringLiteral("；3 条未处理"))) << qPrintable(win->StatusText());
    EXPECT_FALSE(ctl<QFrame>(win, "pnprocess")->isVisible());
    EXPECT_TRUE(ctl<QFrame>(win, "pnlBottom")->isEnabled());
    // Nothing was written: the three stay ticked over the reload.
    for (int r = 0; r + 1 < win.rows(); ++r) {
        const QString id = win.cell("budgid", r);
        EXPECT_EQ(win.cell("chk", r) == QStringLiteral("True"), id == a || id == b || id == c) << qPrintable(id);
    }
    ctl<QAction>(win, "pmuClear")->trigger();

    // The statement limit of scripts stops a run the same way.
    Tick(win, {0, 1, 2, 3});
    host.ClearSent();
    win->SetCancelAfter(2);
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    EXPECT_EQ(host.Sent(QStringLiteral("update")).size(), 2);
    EXPECT_TRUE(win->StatusText().contains(QStringLiteral("已取消：已确认 2 条，"))) << qPrintable(win->StatusText());
    // Only the next run: the one after it goes to its end.
    ctl<QAction>(win, "pmuClear")->trigger();
    Tick(win, {0, 1, 2});
    host.ClearSent();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    EXPECT_EQ(host.Sent(QStringLiteral("update")).size(), 3);
}

TEST(WindowWork, QuittingDuringARunStopsItAndTheWindowClosesItselfWhenTheRunHasEnded)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    Tick(win, {0, 1, 2});
    // The first statement waits for the lock: the run is still on when the host quits.
    Writer other(host.path);
    ASSERT_TRUE(other.Exec(QStringLiteral("begin immediate")));
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    // The statement is waiting for the lock once the panel shows.
    QFrame* panel = ctl<QFrame>(win, "pnprocess");
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->isVisible(); }, 60000));
    IVeltraneWindow* w = qobject_cast<IVeltraneWindow*>(win.w.data());
    ASSERT_NE(w, nullptr);
    host.answer = IDYES;
    EXPECT_EQ(w->QueryQuit(), IVeltraneWindow::TQuitAnswer::Later);
    // Answered at once: the run's end is still to come.
    EXPECT_TRUE(win->Running());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.messages[0].text.startsWith(QStringLiteral("正在处理选中的预算指标。是否取消"))) << qPrintable(host.messages[0].text);
    // Asked again meanwhile, it does not ask the user twice.
    EXPECT_EQ(w->QueryQuit(), IVeltraneWindow::TQuitAnswer::Later);
    EXPECT_EQ(host.messages.size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !win.w; }, 60000));
    ASSERT_EQ(host.messages.size(), 2u) << qPrintable(host.messages.back().text);
    EXPECT_TRUE(host.messages[1].text.startsWith(QStringLiteral("已停止处理：已取消：已确认 0 条，"))) << qPrintable(host.messages[1].text);
}

TEST(WindowWork, ALoadMadeStaleByANewerChoiceIsDroppedAndOneLoadIsEnough)
{
    HostFixture host(3000);
    Window win(host);
    // Opening loads the records once, though the tree's first leaf and the show
    // step each ask for them.
    EXPECT_EQ(win.reloads(), 1);
    host.ClearSent();
    // Two clicks before the first load is back: the grid shows the second unit.
    for (const char* eid : {"101002", "101003"})
        for (QTreeWidgetItemIterator it(win.tree()); *it; ++it) {
            auto* node = static_cast<TTreeNode*>(*it);
            const auto* info = static_cast<TItemInfo*>(node->Data());
            if (info && info->Kind == 1 && info->Id == QLatin1String(eid))
                win.tree()->SetSelected(node);
        }
    win.idle();
    EXPECT_EQ(win->UnitCode(), QStringLiteral("101003"));
    EXPECT_TRUE(win->LastRecordSQL().contains(QStringLiteral("eid like '101003%'")));
    ASSERT_GT(win.rows(), 1);
    for (int r = 0; r + 1 < win.rows(); ++r)
        EXPECT_EQ(win.cell("eid", r), QStringLiteral("101003")) << r;
    EXPECT_EQ(win.cell("NumId", win.rows() - 2), QString::number(win.rows() - 1));
}

TEST(WindowWork, TheStatusLineFollowsTheTicksAndSaysWhatARunDid)
{
    HostFixture host(300);
    Window win(host);
    // 汇总: rows and the records they stand for.
    ASSERT_FALSE(ctl<QRadioButton>(win, "rbtnDetail")->isChecked());
    Tick(win, {0});
    Spin();
    const QRegularExpressionMatch sums =
        QRegularExpression(QStringLiteral("^共 (\\d+) 行（(\\d+) 条）　已选 1 行（(\\d+) 条）")).match(win->StatusText());
    ASSERT_TRUE(sums.hasMatch()) << qPrintable(win->StatusText());
    EXPECT_EQ(sums.captured(1).toInt(), win.rows() - 1);
    EXPECT_EQ(sums.captured(2), host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where datayear=2024 and "
                                                           "eid like '101001%' and BType='1' and deptclass='2' and status='0'")));
    EXPECT_GE(sums.captured(3).toInt(), 1);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    const int records = win.rows() - 1;
    EXPECT_EQ(win->StatusText(), QStringLiteral("共 %1 条　已选 0 条　金额 0.00 元").arg(records));
    Tick(win, {0, 2});
    Spin();
    const double amount = win.grid()->CellAsFloat(win.col("budgmoney"), 0) + win.grid()->CellAsFloat(win.col("budgmoney"), 2);
    const QString money = FormatNumberMask(QStringLiteral("#,##0.00"), GeneralFloatText(amount));
    EXPECT_EQ(win->StatusText(), QStringLiteral("共 %1 条　已选 2 条　金额 %2 元").arg(records).arg(money));
    // 全选 ticks the totals row too; it counts for nothing.
    ctl<QAction>(win, "pmuAll")->trigger();
    Spin();
    EXPECT_TRUE(win->StatusText().startsWith(QStringLiteral("共 %1 条　已选 %1 条").arg(records))) << qPrintable(win->StatusText());
    ctl<QAction>(win, "pmuClear")->trigger();
    Tick(win, {0, 2});
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    EXPECT_EQ(win->StatusText(), QStringLiteral("共 %1 条　已选 0 条　金额 0.00 元　｜　已确认 2 条，金额 %2 元")
                                     .arg(records - 2)
                                     .arg(money));
}

TEST(WindowWork, ALayoutWithoutKeyColumnsChangesOnlyWhatIsShown)
{
    HostFixture host(300);
    host.app.SetExeName(host.dir.filePath(QStringLiteral("veltrane-host")));
    // A layout of the record grid without the key columns, beside the host.
    QFile layout(host.dir.filePath(QStringLiteral("ngdBudgetAdj.for")));
    ASSERT_TRUE(layout.open(QIODevice::WriteOnly));
    layout.write("[DTFormatInfo]\nhigh=4\n[strFieldName]\n0=chk\n1=eid\n2=bname\n3=budgmoney\n4=NumId\n"
                 "[xcFieldType]\n0=1\n1=1\n2=1\n3=1\n4=1\n[xcFieldDataType]\n0=2\n1=1\n2=1\n3=0\n4=1\n"
                 "[intFieldLen]\n0=20\n1=90\n2=130\n3=120\n4=60\n");
    layout.close();
    Window win(host);
    ASSERT_EQ(win.grid()->Columns().Count(), 5);
    ASSERT_GT(win.rows(), 1);
    // The ticked summary row confirms exactly the records of its key: its rows
    // carry their key from the query, whatever the layout shows.
    const TSummaryKey key = win->Records()->Key(win.grid()->LoadedRow(0));
    const QString where = QStringLiteral("datayear=2024 and BType='1' and status='0' and eid like '%1%' and mid='%2' "
                                         "and bkid='%3' and pid='%4' and ipid='%5' and bid='%6' and iid='%7'")
                              .arg(key.Eid, key.Mid, key.Bkid, key.Pid, key.Ipid, key.Bid, key.Iid);
    const int ofRow = host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where ") + where).toInt();
    ASSERT_GT(ofRow, 0);
    const int confirmed = host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")).toInt();
    Tick(win, {0});
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where ") + where).toInt(), 0);
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")).toInt(),
              confirmed + ofRow);

    // The detail view without a record number column: the ticked record goes, no other.
    host.params.AskBeforeDelete = "0";
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    const QString id = win->Records()->BudgId(win.grid()->LoadedRow(0));
    const int all = host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj")).toInt();
    Tick(win, {0});
    win->tbtnDelClick();
    win.idle();
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where budgid='%1'").arg(id)), QStringLiteral("0"));
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj")).toInt(), all - 1);
}

TEST(WindowWork, FailedLoadsOfRecordsAndOfTheTreeAreSaid)
{
    HostFixture host(300);
    {
        Window win(host);
        ASSERT_GT(win.rows(), 1);
        host.Exec(QStringLiteral("drop view vwbudgetadj"));
        ctl<QRadioButton>(win, "rbtnDetail")->click();
        win.idle();
        EXPECT_EQ(win.rows(), 0);
        EXPECT_FALSE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, QStringLiteral("提取预算指标失败：数据库中缺少需要的表、视图或字段，请联系系统管理员检查数据库结构。（no such table: vwbudgetadj）"));
    }
    host.messages.clear();
    host.Exec(QStringLiteral("alter table pubdept rename column replaceflag to rflag"));
    Window win(host);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_TRUE(host.messages[0].text.startsWith(QStringLiteral("无法加载单位树：")));
    EXPECT_TRUE(host.messages[0].text.contains(QStringLiteral("replaceflag"))) << qPrintable(host.messages[0].text);
}

TEST(WindowWork, TotalsOutOfRangeAndUnitCodesOfFourByteCharacters)
{
    HostFixture host(300);
    host.Exec(QStringLiteral("update BusiBudgetAdj set BudgMoney=1e308 where eid='101001' and BType='1'"));
    {
        Window win(host);
        ASSERT_GT(win.rows(), 1);
        const int total = win.rows() - 1;
        EXPECT_EQ(win.cell("budgmoney", total), QStringLiteral("超出范围"));
        EXPECT_EQ(win.grid()->DisplayText(win.col("budgmoney"), total), QStringLiteral("超出范围"));
    }

    // A unit code whose characters each take two UTF-16 units.
    const QString top = QStringLiteral("𠀀𠀁𠀂");
    for (const QString& eid : {top, top + QStringLiteral("001"), top + QStringLiteral("002")})
        host.Exec(QStringLiteral("insert into pubdept(eid,peid,ename,leafflag) values('%1','%2','单位%1','%3')")
                      .arg(eid, eid == top ? QString() : top, eid == top ? QStringLiteral("1") : QStringLiteral("0")));
    host.Exec(QStringLiteral("insert into BusiBudgetAdj(datayear,BudgId,eid,deptclass,BType,btypechild,mid,bid,iid,bkid,"
                             "ipid,pid,BudgMoney) values(2024,99001,'%1','2','1','1','1','205','001','21','1','1',12.5)")
                  .arg(top + QStringLiteral("001")));
    host.unit.SetField(0, top + QStringLiteral("001"));
    Window win(host);
    EXPECT_FALSE(win.tree()->isHidden());
    EXPECT_EQ(win->UnitCode(), top + QStringLiteral("001"));   // the first leaf
    ASSERT_EQ(win.rows(), 2);
    EXPECT_EQ(win.cell("eid", 0), top + QStringLiteral("001"));
    win.tree()->SetSelected(win.tree()->GetFirstNode());
    win.idle();
    // The top node scopes to the first three characters, whole.
    EXPECT_EQ(win->UnitCode(), top);
    ASSERT_EQ(win.rows(), 2);
    EXPECT_EQ(win.cell("eid", 0), top);
}

TEST(WindowWork, TheWindowRemembersItsLayoutAndHidingTheTreeKeepsTheFilters)
{
    HostFixture host(300);
    {
        Window win(host);
        // The « button hides the tree; the filters stay, with a button to bring it back.
        QTest::mouseClick(ctl<QToolButton>(win, "sbtnHindUT"), Qt::LeftButton);
        EXPECT_TRUE(ctl<QFrame>(win, "pnlLeft")->isHidden());
        EXPECT_FALSE(ctl<QAction>(win, "mnuShowUT")->isChecked());
        EXPECT_TRUE(ctl<QFrame>(win, "pnlFilterStrip")->isVisible());
        EXPECT_TRUE(ctl<QComboBox>(win, "cobBType")->isVisible());
        EXPECT_TRUE(ctl<QRadioButton>(win, "rbtnDetail")->isVisible());
        EXPECT_TRUE(ctl<QToolButton>(win, "sbtnShowUT")->isVisible());
        QTest::mouseClick(ctl<QToolButton>(win, "sbtnShowUT"), Qt::LeftButton);
        EXPECT_FALSE(ctl<QFrame>(win, "pnlLeft")->isHidden());
        EXPECT_TRUE(ctl<QAction>(win, "mnuShowUT")->isChecked());
        EXPECT_FALSE(ctl<QFrame>(win, "pnlFilterStrip")->isVisible());
        EXPECT_TRUE(ctl<QComboBox>(win, "cobBType")->isVisible());

        win->sbtnHindUTClick();
        win->SetBounds(20, 30, 800, 600);
        const int col = win.col("bname");
        win.grid()->horizontalHeader()->resizeSection(col, 177);   // as a drag of the header does
        win->Close();
        Spin();
    }
    Window again(host);
    EXPECT_TRUE(ctl<QFrame>(again, "pnlLeft")->isHidden());
    EXPECT_TRUE(ctl<QFrame>(again, "pnlFilterStrip")->isVisible());
    EXPECT_EQ(again->Frame()->geometry(), QRect(20, 30, 800, 600));
    EXPECT_EQ(again.grid()->columnWidth(again.col("bname")), 177);
}

TEST(WindowWork, TheInterfaceThreadStaysResponsiveWhileThousandsOfRowsAreConfirmed)
{
    HostFixture host(6000);
    Window win(host);
    win.tree()->SetSelected(win.tree()->GetFirstNode());
    win.idle();
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    const int rows = win.rows() - 1;
    ASSERT_GT(rows, 1000);
    ctl<QAction>(win, "pmuAll")->trigger();
    host.answer = IDYES;   // more than a thousand records: the window asks first

    // Turns of the event loop that came while the run was on: none if the run
    // held the interface thread. (How long it is held is bench/'s figure.)
    int turnsDuringRun = 0;
    QTimer beat;
    beat.setInterval(0);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        if (win->Running())
            ++turnsDuringRun;
    });
    beat.start();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    beat.stop();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.messages[0].text.startsWith(QStringLiteral("确认 %1 条预算指标、金额 ").arg(rows)));
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where datayear=2024 and BType='1' and "
                                         "eid like '101%' and status='0'")),
              QStringLiteral("0"));
    EXPECT_GE(turnsDuringRun, 3);
}

TEST(WindowWork, TheUnitListChoiceKeepsTheSelectedUnitWhereBothListsHoldIt)
{
    HostFixture host(300);
    Window win(host);
    win.select(QStringLiteral("101003"));
    const int loads = win.reloads();
    ctl<TRadioGroup>(win, "rgpShowEid")->Item(1)->click();   // 显示全部单位
    win.idle();
    EXPECT_EQ(win->UnitCode(), QStringLiteral("101003"));
    EXPECT_EQ(static_cast<TItemInfo*>(win.tree()->Selected()->Data())->Id, QStringLiteral("101003"));
    // The same unit's records are in the grid already: nothing to load again.
    EXPECT_EQ(win.reloads(), loads);

    // A unit entered on another's behalf is listed only among all units; back in
    // the delegated list the tree's first unit is taken, and its records loaded once.
    win.select(QStringLiteral("101004003"));
    ctl<TRadioGroup>(win, "rgpShowEid")->Item(0)->click();
    win.idle();
    EXPECT_EQ(win->UnitCode(), QStringLiteral("101001"));
    EXPECT_TRUE(win->LastRecordSQL().contains(QStringLiteral("eid like '101001%'")));
}

TEST(WindowWork, AfterACancelledLoadAClickOnTheSameUnitOrRefreshLoadsItAgain)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.select(QStringLiteral("101002"));
    ASSERT_GT(win.rows(), 1);
    // 取消 before the worker's rows are back: the grid is empty and says why.
    TTreeNode* node = nullptr;
    for (QTreeWidgetItemIterator it(win.tree()); *it && !node; ++it) {
        auto* n = static_cast<TTreeNode*>(*it);
        const auto* info = static_cast<TItemInfo*>(n->Data());
        if (info && info->Kind == 1 && info->Id == QLatin1String("101003"))
            node = n;
    }
    ASSERT_TRUE(node);
    win.tree()->SetSelected(node);
    win->CancelWork();
    win.idle();
    ASSERT_EQ(win.rows(), 0);
    EXPECT_TRUE(win->StatusText().contains(QStringLiteral("已取消提取数据"))) << qPrintable(win->StatusText());

    // The unit is still the selected one: a click on it loads it.
    const QRect at = win.tree()->visualItemRect(node);
    QTest::mouseClick(win.tree()->viewport(), Qt::LeftButton, {}, at.center());
    win.idle();
    ASSERT_GT(win.rows(), 1);
    EXPECT_TRUE(win->LastRecordSQL().contains(QStringLiteral("eid like '101003%'")));
    // A click on it now that its rows are there loads nothing.
    const int loads = win.reloads();
    QTest::mouseClick(win.tree()->viewport(), Qt::LeftButton, {}, at.center());
    win.idle();
    EXPECT_EQ(win.reloads(), loads);

    // 刷新 (F5) loads the same view again and shows what others wrote since.
    const QString id = win.cell("budgid", 0);
    host.Exec(QStringLiteral("update BusiBudgetAdj set BudgMoney=4321.5 where datayear=2024 and BudgId=") + id);
    win.grid()->setFocus();
    QTest::keyClick(win.grid(), Qt::Key_F5);
    win.idle();
    EXPECT_EQ(win.reloads(), loads + 1);
    bool seen = false;
    for (int r = 0; r + 1 < win.rows(); ++r)
        if (win.cell("budgid", r) == id)
            seen = win.cell("budgmoney", r) == QStringLiteral("4321.5");
    EXPECT_TRUE(seen);
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnRefresh")->isEnabled());
    EXPECT_EQ(ctl<QAction>(win, "mnuRefresh")->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_TRUE(ctl<QMenu>(win, "mitemDataVind")->actions().contains(ctl<QAction>(win, "mnuRefresh")));
}

TEST(WindowWork, TheViewTheUnitListAndEachViewsSortAreKeptOverReloadsAndReopening)
{
    HostFixture host(300);
    const auto sortedBy = [](Window& win, const char* name, bool ascending) {
        const int col = win.col(name);
        for (int r = 0; r + 2 < win.rows(); ++r) {
            const double a = win.grid()->CellAsFloat(col, r), b = win.grid()->CellAsFloat(col, r + 1);
            if (ascending ? a > b : a < b)
                return false;
        }
        return true;
    };
    {
        Window win(host);
        ctl<QRadioButton>(win, "rbtnDetail")->click();
        win.idle();
        const int col = win.col("budgmoney");
        QTest::mouseClick(win.grid()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(win.grid()->columnViewportPosition(col) + 5, 5));   // ascending
        QTest::mouseClick(win.grid()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(win.grid()->columnViewportPosition(col) + 5, 5));   // descending
        ASSERT_TRUE(sortedBy(win, "budgmoney", false));
        // Qt's arrow for AscendingOrder points down: a descending sort shows it.
        EXPECT_EQ(win.grid()->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        // A reload keeps the sort; the other view has its own (none yet).
        ctl<QAction>(win, "mnuRefresh")->trigger();
        win.idle();
        EXPECT_TRUE(sortedBy(win, "budgmoney", false));
        ctl<QRadioButton>(win, "rbtnSum")->click();
        win.idle();
        EXPECT_EQ(win.grid()->SortColumn(), -1);
        ctl<QRadioButton>(win, "rbtnDetail")->click();
        win.idle();
        EXPECT_TRUE(sortedBy(win, "budgmoney", false));
        ctl<TRadioGroup>(win, "rgpShowEid")->Item(1)->click();   // 显示全部单位
        win.idle();
        win->Close();
        Spin();
    }
    host.ClearSent();
    Window again(host);
    EXPECT_TRUE(ctl<QRadioButton>(again, "rbtnDetail")->isChecked());
    EXPECT_EQ(ctl<TRadioGroup>(again, "rgpShowEid")->ItemIndex(), 1);
    EXPECT_EQ(again.reloads(), 1);   // opened on the remembered view: one load
    EXPECT_TRUE(sortedBy(again, "budgmoney", false));
}

TEST(WindowWork, TheJournalWindowListsTheWindowsWritesAndSearchesByRecord)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    Tick(win, {0, 1});
    const QString first = win.cell("budgid", 0), second = win.cell("budgid", 1);
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();

    ctl<QAction>(win, "mnuJournal")->trigger();
    auto* journal = win->Handle()->findChild<TbfrmJournal*>();
    ASSERT_TRUE(journal);
    auto* status = journal->findChild<QLabel*>(QStringLiteral("lblJournalStatus"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !journal->Model()->Fetching(); }, 60000));
    EXPECT_EQ(journal->Model()->Count(), 2);
    EXPECT_EQ(status->text(), QStringLiteral("共 2 条"));
    auto* table = journal->findChild<QTableView*>(QStringLiteral("tblJournal"));
    EXPECT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(table->model()->index(0, 3).data().toString(), QStringLiteral("确认"));

    journal->findChild<QLineEdit*>(QStringLiteral("edtRecord"))->setText(second);
    journal->findChild<QPushButton*>(QStringLiteral("btnSearch"))->click();
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("正在加载…")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !journal->Model()->Fetching(); }, 60000));
    ASSERT_EQ(journal->Model()->Count(), 1);
    EXPECT_EQ(journal->Model()->Row(0).BudgId, second);
    // 导出… writes the search's entries on the output's worker and says where.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("journal.csv"));
    QString proposed;
    bool seen = false;
    dialogtest::SaveAs(QStringLiteral("dlgJournalExport"), file, &proposed, &seen, TGridOutput::CsvFilter());
    journal->findChild<QPushButton*>(QStringLiteral("btnExport"))->click();
    ASSERT_TRUE(seen);
    ASSERT_TRUE(QTest::qWaitFor([&] { return status->text().startsWith(QStringLiteral("操作日志已导出到：")); }, 60000))
        << qPrintable(status->text());
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(csv.readAll());
    const QStringList cells = written.split(QRegularExpression(QStringLiteral("[,\r\n]")));
    EXPECT_TRUE(cells.contains(second)) << qPrintable(written);
    EXPECT_FALSE(cells.contains(first)) << "only the search's entries";
    EXPECT_TRUE(journal->findChild<QPushButton*>(QStringLiteral("btnPrint"))->isEnabled());
    // Once per window: the menu brings the same one back.
    ctl<QAction>(win, "mnuJournal")->trigger();
    EXPECT_EQ(win->Handle()->findChildren<TbfrmJournal*>().size(), 1);
}

TEST(WindowWork, TheInterfaceThreadSendsTheDatabaseOnlyTheTreesStatements)
{
    HostFixture host(300);
    // Opening (the unit rule, the journal, the operator's last run), a search
    // down to a unit not loaded yet, a run and its reload, the journal's lines.
    Window win(host);
    IVeltraneWindow* window = qobject_cast<IVeltraneWindow*>(win.w);
    ASSERT_NE(window, nullptr);
    std::optional<TResult<QString>> found;
    window->FindUnit(QStringLiteral("职业"), false, [&found](TResult<QString> r) { found = std::move(r); });
    win.idle();
    ASSERT_TRUE(found && *found);
    EXPECT_EQ(found->Value(), QStringLiteral("101004"));
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    Tick(win, {0});
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    std::optional<TResult<QStringList>> lines;
    window->JournalLines({}, [&lines](TResult<QStringList> r) { lines = std::move(r); });
    win.idle();
    ASSERT_TRUE(lines && *lines) << qPrintable(lines ? lines->Error().Message : QStringLiteral("no answer"));
    EXPECT_FALSE(lines->Value().isEmpty());

    QMutexLocker l(&host.sentLock);
    EXPECT_FALSE(host.sentHere.isEmpty());   // the tree's own loads stay here
    for (const QString& sql : std::as_const(host.sentHere))
        EXPECT_TRUE(sql.contains(QStringLiteral("from pubdept  where useflag='0'"))) << qPrintable(sql);
}

TEST(WindowWork, ADetailViewShowsItsFirstRowsWhileTheRestArrive)
{
    HostFixture host(3000);
    Window win(host);
    win.tree()->SetSelected(win.tree()->GetFirstNode());   // every unit: a few hundred rows
    win.idle();
    auto* controller = win->findChild<TRecordController*>();
    ASSERT_NE(controller, nullptr);
    struct Seen {
        int parts = 0, rows = -1;
        QString footer, status;
        bool confirmable = true;
    } seen;
    // After the window has taken the part: what the user sees of it.
    QObject::connect(controller, &TRecordController::rowsArrived, win.w, [&] {
        if (seen.parts++ > 0)
            return;
        seen.rows = win.rows();
        for (int c = 0; c < win.grid()->Columns().Count(); ++c)
            seen.footer += win.grid()->Cells(c, win.rows() - 1);
        win->UpdateButtons();
        seen.confirmable = ctl<QToolButton>(win, "tbtnConfirm")->isEnabled();
        seen.status = win->StatusText();
        // 全选 while rows still come takes them too.
        ctl<QAction>(win, "pmuAll")->trigger();
    });
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    const int records = win.rows() - 1;
    ASSERT_GE(seen.parts, 1) << records;
    ASSERT_GT(records, TRecordLoad::FirstPartRows);
    // The first part: its rows and a totals row that says more are coming, no
    // sum as if final, and no confirmation of a view still arriving.
    EXPECT_EQ(seen.rows, TRecordLoad::FirstPartRows + 1);
    EXPECT_TRUE(seen.footer.contains(LoadingText(TRecordLoad::FirstPartRows))) << qPrintable(seen.footer);
    EXPECT_FALSE(seen.confirmable);
    EXPECT_TRUE(seen.status.startsWith(QStringLiteral("正在加载… 已有 "))) << qPrintable(seen.status);
    // At the end: every row, each numbered once, all ticked, the exact total.
    for (int r = 0; r < records; r += 97)
        EXPECT_EQ(win.cell("NumId", r), QString::number(r + 1)) << r;
    EXPECT_TRUE(win->StatusText().startsWith(QStringLiteral("共 %1 条　已选 %1 条").arg(records))) << qPrintable(win->StatusText());
    TDecimalSum sum;
    for (int r = 0; r < records; ++r)
        sum.Add(win.cell("budgmoney", r));
    EXPECT_EQ(win.cell("budgmoney", records), sum.Text());
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());
}
