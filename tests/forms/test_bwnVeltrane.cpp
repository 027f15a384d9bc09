#include "forms/bwnVeltrane.h"
#include "records/untRecordSql.h"
#include "grid/untNextGridManager.h"
#include "plugin/untObjectFactory.h"
#include "tests/forms/WindowFixture.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include "tree/untDynamicTree.h"
#include <QAction>
#include <QSet>
#include <QComboBox>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using windowtest::ctl;
using windowtest::HostFixture;
using windowtest::Spin;
using windowtest::Window;

namespace {


QString Count(HostFixture& h, const QString& where)
{
    return h.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where ") + where);
}

}  // namespace

TEST(ConfirmationWindow, LayoutAndStartState)
{
    HostFixture host(300);
    Window win(host);
    TbfrmVeltrane* w = win.w;
    EXPECT_EQ(w->Caption(), QStringLiteral("支付范围划分确认"));
    EXPECT_EQ(w->Width(), 650);
    EXPECT_EQ(w->Height(), 700);
    EXPECT_EQ(w->Top(), 34);     // centred on the 1024 x 768 screen
    EXPECT_EQ(w->Left(), 187);
    EXPECT_TRUE(w->CreatedAsMDIChild());
    EXPECT_EQ(w->FModalShow, 0);

    QWidget* form = w->Handle();
    for (const char* name : {"ctblChild", "tblChildMain", "tbtnConfirm", "tbtnCancel", "ToolButton3", "tbtnColse",
                             "pnlLeft", "Panel1", "sbtnHindUT", "Panel2", "cobBType", "rbtnSum", "rbtnDetail",
                             "rgpShowEid", "rgpShowEid_0", "rgpShowEid_1", "trvList", "rbtnNO", "rbtnOK",
                             "ngdBudgetAdj", "pnlTopMessage", "Splitter1"})
        EXPECT_NE(form->findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    // The grid takes the right pane; the lower pane of the base is gone.
    EXPECT_TRUE(ctl<TNextGrid>(w, "ngdBudgetAdj")->isVisible());
    EXPECT_GT(ctl<TNextGrid>(w, "ngdBudgetAdj")->height(), 400);
    EXPECT_FALSE(ctl<QFrame>(w, "pnlBBotton")->isVisible());
    for (const char* name : {"tbtnMod", "tbtnDel", "pnprocess"})
        EXPECT_FALSE(form->findChild<QWidget*>(QLatin1String(name))->isVisible()) << name;
    auto* cobSecret = ctl<QComboBox>(w, "cobSecret");
    auto* Panel2 = ctl<QFrame>(w, "Panel2");
    EXPECT_FALSE(cobSecret->isVisibleTo(Panel2) && cobSecret->y() < Panel2->height());
    EXPECT_EQ(ctl<QToolButton>(w, "tbtnConfirm")->text(), QStringLiteral(" 确认 "));
    EXPECT_EQ(ctl<QToolButton>(w, "tbtnColse")->toolTip(), QStringLiteral("退出"));
    EXPECT_EQ(ctl<QAction>(w, "mnuConfirm")->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
    EXPECT_EQ(ctl<QAction>(w, "mnuCancel")->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
    EXPECT_TRUE(ctl<QAction>(w, "mnuShowUT")->isChecked());
    EXPECT_FALSE(ctl<QToolButton>(w, "tbtnConfirm")->icon().pixmap(16, 16).isNull());

    // Its two menus sit in the host's menu bar while it is active.
    QStringList bar;
    for (QAction* a : host.window.menuBar()->actions())
        bar.append(a->text());
    EXPECT_TRUE(bar.contains(QStringLiteral("辅助功能(&S)")));
    EXPECT_TRUE(bar.contains(QStringLiteral("数据操作(&P)")));

    // Start: summary, unconfirmed, delegated units; the first leaf is the scope.
    EXPECT_TRUE(ctl<QRadioButton>(w, "rbtnSum")->isChecked());
    EXPECT_TRUE(ctl<QRadioButton>(w, "rbtnNO")->isChecked());
    EXPECT_EQ(ctl<TRadioGroup>(w, "rgpShowEid")->ItemIndex(), 0);
    EXPECT_EQ(w->UnitCode(), QStringLiteral("101001"));
    EXPECT_EQ(w->BType(), QStringLiteral("1"));
    EXPECT_EQ(ctl<QComboBox>(w, "cobBType")->currentText(), QStringLiteral("预算数"));
    EXPECT_EQ(ctl<QComboBox>(w, "cobSecret")->count(), 3);
    ASSERT_GT(win.rows(), 1);
    EXPECT_TRUE(ctl<QToolButton>(w, "tbtnConfirm")->isEnabled());
    EXPECT_FALSE(ctl<QToolButton>(w, "tbtnCancel")->isEnabled());
    EXPECT_TRUE(host.messages.empty());

    // The tree: top node, the top-level units, delegated units only.
    TTreeNode* top = ctl<TTreeView>(w, "trvList")->GetFirstNode();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->Text(), QStringLiteral("预算单位"));
    EXPECT_EQ(top->Count(), 4);
    EXPECT_EQ(top->Item(0)->Text(), QStringLiteral("101 市教育局"));
    EXPECT_EQ(top->Item(0)->Item(0)->Text(), QStringLiteral("101001 市教育局本级"));
    const int delegated = ctl<TTreeView>(w, "trvList")->NodeCount();
    ctl<TRadioGroup>(w, "rgpShowEid")->Item(1)->click();
    EXPECT_EQ(ctl<TRadioGroup>(w, "rgpShowEid")->ItemIndex(), 1);
    EXPECT_GT(ctl<TTreeView>(w, "trvList")->NodeCount(), delegated);   // the units entered on others' behalf too
}

TEST(ConfirmationWindow, SingleUnitRule)
{
    HostFixture host(50);
    host.unit.SetField(0, QString::fromLatin1(DemoSingleUnit));   // 104 and 104001: 2 rows
    {
        Window win(host);
        EXPECT_TRUE(win.tree()->isHidden());
        EXPECT_TRUE(ctl<TRadioGroup>(win, "rgpShowEid")->isHidden());
        EXPECT_EQ(ctl<QFrame>(win, "Panel1")->height(), 150);
        EXPECT_LT(ctl<QFrame>(win, "Panel1")->y(), 10);   // the filters at the top of the pane, not in its middle
        EXPECT_EQ(win->UnitCode(), QStringLiteral("104001"));
    }
    host.params.FinanceOfficeFlag = "1";   // 104001 is a finance office: always the tree
    {
        Window win(host);
        EXPECT_FALSE(win.tree()->isHidden());
    }
    host.params.FinanceOfficeFlag = "0";
    host.Exec(QStringLiteral("insert into pubdept(eid,peid,ename) values('104002','104','市档案馆分馆')"));
    {
        Window win(host);   // 3 rows
        EXPECT_FALSE(win.tree()->isHidden());
        EXPECT_FALSE(ctl<TRadioGroup>(win, "rgpShowEid")->isHidden());
    }
}

TEST(ConfirmationWindow, TopNodeCoversExactlyTheUnitsTheTreeShowsUnderIt)
{
    HostFixture host(400);
    auto sumOf = [&](const QString& units) {
        return host.Scalar(QStringLiteral("select sum(BudgMoney) from BusiBudgetAdj where datayear=2024 and (%1) "
                                          "and BType='1' and deptclass='2' and status='0'").arg(units)).toDouble();
    };
    {
        // A first-level unit's operator: the tree lists the first-level units.
        Window win(host);
        TTreeNode* top = win.tree()->GetFirstNode();
        ASSERT_NE(top, nullptr);
        ASSERT_GE(top->Count(), 2);
        QStringList units, prefixes;
        for (int i = 0; i < top->Count(); ++i) {
            units << static_cast<TItemInfo*>(top->Item(i)->Data())->Id;
            prefixes << QStringLiteral("eid like '%1%'").arg(units.last());
        }
        win.tree()->SetSelected(top);
        win.idle();
        ASSERT_GT(win.rows(), 1);
        QSet<QString> seen;
        for (int r = 0; r + 1 < win.rows(); ++r)
            seen << win.cell("eid", r);
        EXPECT_EQ(seen, QSet<QString>(units.begin(), units.end()));
        EXPECT_NEAR(win.grid()->CellAsFloat(win.col("budgmoney"), win.rows() - 1),
                    sumOf(prefixes.join(QStringLiteral(" or "))), 0.005);
        EXPECT_TRUE(win->OutputDetails().startsWith(QStringLiteral("单位：") + units.join(QStringLiteral("、"))))
            << qPrintable(win->OutputDetails());
        EXPECT_TRUE(win->StatusText().endsWith(QStringLiteral("　｜　单位：") + units.join(QStringLiteral("、"))))
            << qPrintable(win->StatusText());
    }
    host.unit.SetField(0, QStringLiteral("101004001"));
    Window win(host);
    EXPECT_EQ(win->UnitCode(), QStringLiteral("101004001"));   // the first leaf
    TTreeNode* top = win.tree()->GetFirstNode();
    ASSERT_NE(top, nullptr);
    ASSERT_EQ(top->Count(), 1);
    EXPECT_EQ(top->Item(0)->Text(), QStringLiteral("101004 市职业教育中心"));
    // A deeper unit's operator: its branch, not the whole first-level range.
    win.tree()->SetSelected(top);
    win.idle();
    EXPECT_EQ(win->UnitCode(), QStringLiteral("101"));
    ASSERT_GT(win.rows(), 1);
    for (int r = 0; r + 1 < win.rows(); ++r)
        EXPECT_EQ(win.cell("eid", r), QStringLiteral("101004"));
    EXPECT_NEAR(win.grid()->CellAsFloat(win.col("budgmoney"), win.rows() - 1), sumOf(QStringLiteral("eid like '101004%'")),
                0.005);
    // Confirming every summary row there changes that branch's records alone.
    const QString others = QStringLiteral("select count(*) from BusiBudgetAdj where status='1' and eid not like '101004%'");
    const QString othersBefore = host.Scalar(others);
    host.answer = IDYES;
    ctl<QAction>(win, "pmuAll")->trigger();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where datayear=2024 and BType='1' and "
                                         "deptclass='2' and status='0' and eid like '101004%'")),
              QStringLiteral("0"));
    EXPECT_EQ(host.Scalar(others), othersBefore);

    // A change with no node selected leaves everything as it was.
    const int before = win.reloads();
    win->trvListChange(nullptr);
    EXPECT_EQ(win.reloads(), before);
    EXPECT_EQ(win->UnitCode(), QStringLiteral("101"));
}

TEST(ConfirmationWindow, SummaryAndDetailColumnSets)
{
    HostFixture host(300);
    Window win(host);
    EXPECT_EQ(win.grid()->Columns().Count(), 18);
    const int last = win.rows() - 1;
    EXPECT_EQ(win.cell("eid", last), QStringLiteral("合计"));
    EXPECT_EQ(win.cell("NumId", 0), QStringLiteral("1"));

    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    EXPECT_EQ(win.grid()->Columns().Count(), 31);
    const int dlast = win.rows() - 1;
    EXPECT_EQ(win.cell("budgid", dlast), QStringLiteral("合计"));
    EXPECT_TRUE(win.cell("eid", dlast).isEmpty());
    EXPECT_EQ(win.cell("NumId", dlast - 1), QString::number(dlast));
    EXPECT_EQ(Count(host, QStringLiteral("datayear=2024 and eid like '101001%' and BType='1' and status='0'")),
              QString::number(dlast));

    // Office columns: hidden and blank unless OfficeColumns is "0".
    const int burname = win.col("burname");
    EXPECT_FALSE(win.grid()->Columns()[burname]->Visible());
    EXPECT_TRUE(win.cell("burname", 0).isEmpty());
    host.SetOfficeColumns("0");
    win.tree()->SetSelected(win.tree()->GetFirstNode());   // the whole range 101: every office
    ctl<QRadioButton>(win, "rbtnSum")->click();
    win.idle();
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    EXPECT_TRUE(win.grid()->Columns()[win.col("burname")]->Visible());
    EXPECT_FALSE(win.cell("burname", 0).isEmpty());
    bool otherOffice = false;
    for (int r = 0; r + 1 < win.rows(); ++r)
        otherOffice |= win.cell("burid", r) != QLatin1String("03");
    EXPECT_TRUE(otherOffice);
    host.params.OfficeFilter = 1;
    ctl<QRadioButton>(win, "rbtnOK")->click();
    win.idle();
    ctl<QRadioButton>(win, "rbtnNO")->click();
    win.idle();
    ASSERT_GT(win.rows(), 1);
    for (int r = 0; r + 1 < win.rows(); ++r)
        EXPECT_EQ(win.cell("burid", r), QStringLiteral("03"));
    EXPECT_TRUE(win->LastRecordSQL().contains(QStringLiteral(" and burid='03' and status='0' ")));
}

TEST(ConfirmationWindow, LoadsRunTheStatementsTheBuildersMake)
{
    HostFixture host(100);
    Window win(host);
    TRecordFilter f;
    f.DataYear = 2024;
    f.UnitCode = QStringLiteral("101001");
    f.BType = QStringLiteral("1");
    f.DeptClass = QStringLiteral("2");
    EXPECT_EQ(win->LastRecordSQL(), RecordQuerySQL(DefConnection(), f));
    EXPECT_TRUE(host.Sent(QString()).contains(win->LastRecordSQL()));

    // The secret box is not part of the statement: the grid already holds its
    // rows, and a second load would bring the same ones.
    const int before = win.reloads();
    const QString sql = win->LastRecordSQL();
    ctl<QComboBox>(win, "cobSecret")->setCurrentIndex(2);
    win.idle();
    EXPECT_EQ(win.reloads(), before);
    EXPECT_EQ(win->LastRecordSQL(), sql);

    ctl<QComboBox>(win, "cobBType")->setCurrentIndex(2);
    win.idle();
    EXPECT_EQ(win->BType(), QStringLiteral("2"));
    EXPECT_TRUE(win->LastRecordSQL().contains(QStringLiteral("BType='2'")));
}

TEST(ConfirmationWindow, ButtonsFollowTheLoadWhileShortcutsStillAct)
{
    HostFixture host(200);
    Window win(host);
    host.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    win.grid()->setFocus();

    ctl<QRadioButton>(win, "rbtnOK")->click();
    win.idle();
    ASSERT_GT(win.rows(), 0);
    EXPECT_FALSE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnCancel")->isEnabled());

    host.pub.DataYear = 1999;   // nothing of that year
    ctl<QRadioButton>(win, "rbtnNO")->click();
    win.idle();
    EXPECT_EQ(win.rows(), 0);
    EXPECT_FALSE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());
    EXPECT_FALSE(ctl<QToolButton>(win, "tbtnCancel")->isEnabled());
    QTest::keyClick(win.grid(), Qt::Key_E, Qt::ControlModifier);
    win.idle();
    QTest::keyClick(win.grid(), Qt::Key_D, Qt::ControlModifier);
    win.idle();
    ASSERT_EQ(host.messages.size(), 2u);
    for (const auto& m : host.messages) {
        EXPECT_EQ(m.text, QStringLiteral("请选择需要确认的预算指标信息!"));
        EXPECT_EQ(m.caption, QStringLiteral("Korrindel 7.1-操作确认"));
        EXPECT_EQ(m.flags, MB_OK | MB_ICONEXCLAMATION);
    }
}

TEST(ConfirmationWindow, ConfirmTwoDetailRowsThenCancelBySummary)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    ASSERT_GT(win.rows(), 3);
    const QString a = win.cell("budgid", 0), b = win.cell("budgid", 2);
    ASSERT_TRUE(win.grid()->UserToggleCheck(0, 0));
    ASSERT_TRUE(win.grid()->UserToggleCheck(0, 2));
    EXPECT_FALSE(win.grid()->UserToggleCheck(0, win.rows() - 1));   // the totals row refuses
    const int rowsBefore = win.rows();
    host.ClearSent();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    const QStringList updates = host.Sent(QStringLiteral("update"));
    ASSERT_EQ(updates.size(), 2);
    // The statements of the description, held to the records as shown.
    EXPECT_TRUE(updates[0].startsWith(DetailStatusSQL(nullptr, QStringLiteral("1"), a, 2024) + QStringLiteral(" and status='0'")));
    EXPECT_TRUE(updates[1].startsWith(DetailStatusSQL(nullptr, QStringLiteral("1"), b, 2024) + QStringLiteral(" and status='0'")));
    EXPECT_EQ(win.reloads(), 1);
    EXPECT_EQ(win.rows(), rowsBefore - 2);   // confirmed records leave the unconfirmed view
    EXPECT_EQ(Count(host, QStringLiteral("datayear=2024 and status='1' and BudgId in (") + a + QLatin1Char(',') + b
                              + QLatin1Char(')')),
              QStringLiteral("2"));

    // Ctrl+D in the unconfirmed summary view: the button is off and so are its
    // menu item and key, which would take back confirmations nobody sees here.
    ctl<QRadioButton>(win, "rbtnSum")->click();
    win.idle();
    EXPECT_FALSE(ctl<QToolButton>(win, "tbtnCancel")->isEnabled());
    EXPECT_FALSE(ctl<QAction>(win, "mnuCancel")->isEnabled());
    ASSERT_TRUE(win.grid()->UserToggleCheck(0, 0));
    const QString confirmed = Count(host, QStringLiteral("status='1'"));
    host.ClearSent();
    host.messages.clear();
    win->tbtnCancelClick();
    win.grid()->setFocus();
    QTest::keyClick(win.grid(), Qt::Key_D, Qt::ControlModifier);
    win.idle();
    EXPECT_TRUE(host.Sent(QStringLiteral("update")).isEmpty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Count(host, QStringLiteral("status='1'")), confirmed);
}

TEST(ConfirmationWindow, SelectAllTicksTheTotalsRowWhichSendsNoStatement)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    const int rows = win.rows();
    ASSERT_GT(rows, 1);
    ctl<QAction>(win, "pmuAll")->trigger();
    win.idle();
    for (int r = 0; r < rows; ++r)
        EXPECT_EQ(win.cell("chk", r), QStringLiteral("True"));
    host.ClearSent();
    ctl<QAction>(win, "mnuConfirm")->trigger();
    win.idle();
    // One statement per record; the totals row stands for none.
    const QStringList updates = host.Sent(QStringLiteral("update"));
    ASSERT_EQ(updates.size(), rows - 1);
    EXPECT_FALSE(updates.join('\n').contains(QStringLiteral("合计")));
    EXPECT_EQ(win.rows(), 0);
    EXPECT_EQ(Count(host, QStringLiteral("datayear=2024 and eid like '101001%' and BType='1' and status='0'")),
              QStringLiteral("0"));

    ctl<QRadioButton>(win, "rbtnOK")->click();
    win.idle();
    ASSERT_GT(win.rows(), 1);
    ctl<QAction>(win, "pmuAll")->trigger();
    win.idle();
    ctl<QAction>(win, "pmuClear")->trigger();
    win.idle();
    EXPECT_EQ(win.cell("chk", win.rows() - 1), QStringLiteral("false"));
    host.messages.clear();
    ctl<QToolButton>(win, "tbtnCancel")->click();
    win.idle();
    ASSERT_EQ(host.messages.size(), 1u);
}

TEST(ConfirmationWindow, DeleteAsksAndReports)
{
    HostFixture host(300);
    host.params.AskBeforeDelete = "1";
    host.params.ReportDelete = "1";
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    const QString id = win.cell("budgid", 0);
    const QString exists = QStringLiteral("datayear=2024 and BudgId=") + id;

    ctl<QToolButton>(win, "tbtnDel")->click();   // nothing ticked: silent
    EXPECT_TRUE(host.messages.empty());

    win.grid()->UserToggleCheck(0, 0);
    host.answer = IDNO;
    ASSERT_TRUE(ctl<QToolButton>(win, "tbtnDel")->isEnabled());
    ctl<QToolButton>(win, "tbtnDel")->click();
    win.idle();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, QStringLiteral("是否删除选中数据？"));
    EXPECT_EQ(host.messages[0].caption, QStringLiteral("Korrindel 7.1-提示信息"));
    EXPECT_EQ(host.messages[0].flags, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(Count(host, exists), QStringLiteral("1"));

    host.answer = IDYES;
    host.messages.clear();
    win->tbtnDelClick();
    win.idle();
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].text, QStringLiteral("数据删除成功。"));
    EXPECT_EQ(Count(host, exists), QStringLiteral("0"));
    EXPECT_NE(win.cell("budgid", 0), id);   // reloaded

    // A failed delete is reported, and never as a success.
    host.params.AskBeforeDelete = "0";
    win.grid()->UserToggleCheck(0, 0);
    host.Exec(QStringLiteral("create trigger nodelete before delete on BusiBudgetAdj begin "
                             "select raise(abort, 'locked'); end"));
    host.messages.clear();
    win->tbtnDelClick();
    win.idle();
    // One message for the run: what went, what did not, and why.
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.messages[0].text.startsWith(QStringLiteral("删除数据失败！。\n成功 0 行，失败 1 行。")))
        << qPrintable(host.messages[0].text);
    EXPECT_TRUE(host.messages[0].text.contains(QStringLiteral("locked"))) << qPrintable(host.messages[0].text);
    EXPECT_EQ(host.messages[0].caption, QStringLiteral("Korrindel 7.1-提示信息"));
}

TEST(ConfirmationWindow, SummaryDeleteTakesTheWholeKey)
{
    HostFixture host(300);
    Window win(host);
    ASSERT_TRUE(win.grid()->UserToggleCheck(0, 0));
    const QString eid = win.cell("eid", 0), mid = win.cell("mid", 0), bid = win.cell("bid", 0);
    const QString where = QStringLiteral("datayear=2024 and BType='1' and eid like '") + eid
                          + QStringLiteral("%' and mid='") + mid + QStringLiteral("' and bid='") + bid
                          + QStringLiteral("' and iid='") + win.cell("iid", 0) + QStringLiteral("' and bkid='")
                          + win.cell("bkid", 0) + QStringLiteral("' and pid='") + win.cell("pid", 0)
                          + QStringLiteral("' and ipid='") + win.cell("ipid", 0) + QLatin1Char('\'');
    ASSERT_NE(Count(host, where), QStringLiteral("0"));
    host.ClearSent();
    win->tbtnDelClick();
    win.idle();
    EXPECT_EQ(Count(host, where), QStringLiteral("0"));
    EXPECT_TRUE(host.messages.empty());   // neither asked nor reported by these settings
}

TEST(ConfirmationWindow, BadDepartmentClassSendsNothing)
{
    HostFixture host(100);
    host.unit.SetField(4, QStringLiteral("二类"));
    Window win(host);
    EXPECT_EQ(win.rows(), 0);
    EXPECT_TRUE(host.Sent(QStringLiteral("select 0 as chk")).isEmpty());
    EXPECT_FALSE(ctl<QToolButton>(win, "tbtnConfirm")->isEnabled());
    ASSERT_EQ(host.messages.size(), 1u);   // once for the opening, though it loads twice
    EXPECT_EQ(host.messages[0].text, QStringLiteral("单位部门类别无效，无法提取预算指标！"));
    EXPECT_EQ(host.messages[0].caption, QStringLiteral("Korrindel 7.1-提示信息"));

    host.unit.SetField(4, QStringLiteral("02"));
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    EXPECT_GT(win.rows(), 0);
    EXPECT_TRUE(win->LastRecordSQL().contains(QStringLiteral("deptclass='2'")));
    EXPECT_TRUE(bool(win.grid()->OnBeforeEdit));

    // Each later load reports it again; the freed manager's handlers leave the grid.
    host.unit.SetField(4, QVariant());
    ctl<QRadioButton>(win, "rbtnSum")->click();
    win.idle();
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(win.rows(), 0);
    EXPECT_FALSE(bool(win.grid()->OnBeforeEdit));
    EXPECT_FALSE(bool(win.grid()->OnKeyPress));
}

TEST(ConfirmationWindow, TreePaneToggles)
{
    HostFixture host(50);
    Window win(host);
    ctl<QToolButton>(win, "sbtnHindUT")->click();
    win.idle();
    EXPECT_TRUE(ctl<QFrame>(win, "pnlLeft")->isHidden());
    EXPECT_FALSE(ctl<QAction>(win, "mnuShowUT")->isChecked());
    ctl<QAction>(win, "mnuShowUT")->trigger();
    win.idle();
    EXPECT_FALSE(ctl<QFrame>(win, "pnlLeft")->isHidden());
    EXPECT_TRUE(ctl<QAction>(win, "mnuShowUT")->isChecked());
    ctl<QAction>(win, "mnuShowUT")->trigger();
    win.idle();
    EXPECT_TRUE(ctl<QFrame>(win, "pnlLeft")->isHidden());
    EXPECT_FALSE(ctl<QAction>(win, "mnuShowUT")->isChecked());
    ctl<QAction>(win, "mnuShowUT")->trigger();
    win.idle();

    ctl<QSplitter>(win, "Splitter1")->setSizes({300, 347});
    win->Splitter1Moved(300);
    EXPECT_EQ(ctl<QToolButton>(win, "sbtnHindUT")->x(), 273);
}

TEST(ConfirmationWindow, CloseFreesTheWindow)
{
    HostFixture host(50);
    QPointer<TbfrmVeltrane> w;
    {
        Window win(host);
        w = win.w;
        ctl<QToolButton>(win, "tbtnColse")->click();
        win.idle();
        Spin();
        EXPECT_TRUE(w.isNull());
    }
    QStringList bar;
    for (QAction* a : host.window.menuBar()->actions())
        bar.append(a->text());
    EXPECT_FALSE(bar.contains(QStringLiteral("数据操作(&P)")));
    Window again(host);
    EXPECT_NE(again.w.data(), nullptr);
}
