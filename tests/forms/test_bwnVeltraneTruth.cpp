// What the window says is what is there: hidden rows are told, a run's words go
// with its view, the progress panel goes with its work, copied cells stay text,
// what it remembers cannot hurt it.
#include "forms/bwnVeltrane.h"
#include "tests/forms/WindowFixture.h"
#include "toolkit/NextGrid.h"
#include "toolkit/NextGridFilter.h"
#include "records/untRecordController.h"
#include <QAction>
#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>

using windowtest::ctl;
using windowtest::HostFixture;
using windowtest::Window;

TEST(WindowTruth, HiddenRowsAreToldAndOneActionShowsThemAgain)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    const int all = win.rows() - 1;
    ASSERT_GT(all, 3);
    QLineEdit* unit = ctl<TNextGridFilterRow>(win, "ngfBudgetAdj")->Editor(win.col("eid"));
    ASSERT_TRUE(unit);
    QTest::keyClicks(unit, QStringLiteral("no such unit"));
    QTest::keyClick(unit, Qt::Key_Return);
    win.idle();
    EXPECT_TRUE(win->StatusText().startsWith(QStringLiteral("已筛选：显示 0 / 共 %1 条").arg(all))) << qPrintable(win->StatusText());
    EXPECT_TRUE(unit->property("nxActive").toBool());
    EXPECT_TRUE(ctl<QToolButton>(win, "btnClearFilter")->isVisibleTo(ctl<QFrame>(win, "pnlStatus")));
    // Another unit: the filter stays, and the line still says rows are hidden.
    win.select(QStringLiteral("101002"));
    EXPECT_TRUE(win->StatusText().startsWith(QStringLiteral("已筛选：显示 0 / 共 "))) << qPrintable(win->StatusText());
    ctl<QToolButton>(win, "btnClearFilter")->click();
    win.idle();
    EXPECT_TRUE(win->StatusText().startsWith(QStringLiteral("共 "))) << qPrintable(win->StatusText());
    EXPECT_FALSE(ctl<QToolButton>(win, "btnClearFilter")->isVisibleTo(ctl<QFrame>(win, "pnlStatus")));
    // The load made the edits anew over the new columns.
    EXPECT_TRUE(ctl<TNextGridFilterRow>(win, "ngfBudgetAdj")->Editor(win.col("eid"))->text().isEmpty());
}

TEST(WindowTruth, ARunsWordsStayOverItsReloadOnlyAndLoadingIsSaid)
{
    HostFixture host(3000);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    ASSERT_TRUE(win.grid()->UserToggleCheck(0, 0));
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    EXPECT_TRUE(win->StatusText().contains(QStringLiteral("｜　已确认 1 条，"))) << qPrintable(win->StatusText());
    // The next load is of another view: the run's words go, and while it runs the line says so.
    win.tree()->SetSelected(win.tree()->GetFirstNode());
    EXPECT_EQ(win->StatusText(), QStringLiteral("正在加载…"));
    win.idle();
    EXPECT_FALSE(win->StatusText().contains(QStringLiteral("已确认"))) << qPrintable(win->StatusText());

    // A load superseded mid-way: the panel goes with the load that is wanted, and
    // 取消 then has no load to report.
    ctl<QRadioButton>(win, "rbtnSum")->click();
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    QTest::qWait(350);   // past the panel's delay while loads run
    win.idle();
    EXPECT_FALSE(ctl<QFrame>(win, "pnprocess")->isVisible());
    win->CancelWork();
    EXPECT_FALSE(win->StatusText().contains(QStringLiteral("已取消提取数据")));
}

TEST(WindowTruth, CopiedCellsNeverBecomeFormulasAndAmountsCarryNoNoise)
{
    HostFixture host(300);
    host.Exec(QStringLiteral("update BusiBudgetAdj set filename='=HYPERLINK(\"http://x\")', BudgMoney=1262737.88 "
                             "where datayear=2024 and eid like '101001%' and BType='1'"));
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    ASSERT_GT(win.rows(), 1);
    // 1262737.88 / 10000 in floating point is 126.27378799999998.
    EXPECT_EQ(win.cell("budgmoney_wy", 0), QStringLiteral("126.273788"));
    win.grid()->SelectRow(0);
    const QString copied = win.grid()->SelectionText();
    EXPECT_TRUE(copied.contains(QStringLiteral("\t'=HYPERLINK("))) << qPrintable(copied);
    EXPECT_FALSE(copied.contains(QStringLiteral("126.27378799"))) << qPrintable(copied);
}

TEST(WindowTruth, WhatTheWindowRemembersCannotHurtIt)
{
    HostFixture host(100);
    {
        QSettings s(QStringLiteral("Veltrane"), QStringLiteral("bVeltrane"));
        s.setValue(QStringLiteral("TbfrmVeltrane/geometry"), QRect(5000, 4000, 9000, 9000));
        s.setValue(QStringLiteral("TbfrmVeltrane/junk"), QByteArray(200 * 1024, 'x'));
        s.setValue(QStringLiteral("TbfrmVeltrane/columns/detail"), QVariantMap{{QStringLiteral("x"), QByteArray(100 * 1024, 'y')}});
    }
    {
        Window win(host);
        // Clamped to the screen (the host's screen object: 1024 x 768).
        QWidget* frame = win->Frame();
        EXPECT_LE(frame->width(), 1024);
        EXPECT_LE(frame->height(), 768);
        EXPECT_GE(frame->x(), 0);
        EXPECT_LE(frame->x() + frame->width(), 1024);
    }
    QSettings s(QStringLiteral("Veltrane"), QStringLiteral("bVeltrane"));
    EXPECT_FALSE(s.contains(QStringLiteral("TbfrmVeltrane/junk")));
    EXPECT_LT(s.value(QStringLiteral("TbfrmVeltrane/columns/detail")).toMap().value(QStringLiteral("x")).toByteArray().size(), 1024);
    EXPECT_TRUE(s.contains(QStringLiteral("TbfrmVeltrane/geometry")));
}

TEST(WindowTruth, FindIsOnTheToolBarAndInTheMenuAndButtonsSayTheirKeys)
{
    HostFixture host(100);
    Window win(host);
    EXPECT_TRUE(ctl<QMenu>(win, "mitemOption")->actions().contains(ctl<QAction>(win, "mnuFind")));
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnFind")->toolTip().contains(QStringLiteral("Ctrl+F")));
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnConfirm")->toolTip().contains(QStringLiteral("Ctrl+E")));
    EXPECT_TRUE(ctl<QToolButton>(win, "tbtnCancel")->toolTip().contains(QStringLiteral("Ctrl+D")));
    ctl<QToolButton>(win, "tbtnFind")->click();
    EXPECT_TRUE(ctl<QFrame>(win, "pnlFind")->isVisible());
}

TEST(WindowTruth, TheTickNumberAndUnitStayInViewWhenScrollingSideways)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    TNextGrid* g = win.grid();
    ASSERT_EQ(g->FrozenColumns(), 3);   // chk, 编号, 预算编码
    QTableView* frozen = g->FrozenView();
    ASSERT_TRUE(frozen && frozen->isVisible());
    const QPoint at = frozen->pos();
    g->horizontalScrollBar()->setValue(g->horizontalScrollBar()->maximum());
    ASSERT_GT(g->horizontalScrollBar()->maximum(), 0);
    QApplication::processEvents();
    EXPECT_EQ(frozen->pos(), at);
    for (const char* name : {"chk", "budgid", "eid"})
        EXPECT_FALSE(frozen->isColumnHidden(win.col(name))) << name;
    EXPECT_TRUE(frozen->isColumnHidden(win.col("bname")));
    // A tick there is a tick of the grid.
    const QRect box = frozen->visualRect(g->Model()->index(1, win.col("chk")));
    QTest::mouseClick(frozen->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_EQ(win.cell("chk", g->ShownRow(1)), QStringLiteral("True"));
}

TEST(WindowTruth, ATickIsItsRecordsThroughASortAndEveryViewReadsIt)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    TNextGrid* g = win.grid();
    const QString id = win.cell("budgid", 2);
    ASSERT_TRUE(g->UserToggleCheck(win.col("chk"), 2));
    g->SortByColumn(win.col("budgmoney"), false);
    int row = -1;
    for (int r = 0; r + 1 < win.rows(); ++r)
        if (win.cell("budgid", r) == id)
            row = r;
    ASSERT_GE(row, 0);
    const QModelIndex box = g->Model()->index(g->Model()->ViewRow(row), win.col("chk"));
    EXPECT_EQ(g->FrozenView()->model()->data(box, Qt::CheckStateRole).toInt(), int(Qt::Checked));
    EXPECT_EQ(win->findChild<TRecordController*>()->Ticked(g->LoadedRow(row)), 1);
    int ticked = 0;
    for (int r = 0; r < win.rows(); ++r)
        ticked += win.cell("chk", r) == QLatin1String("True") ? 1 : 0;
    EXPECT_EQ(ticked, 1);
    host.ClearSent();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    const QStringList updates = host.Sent(QStringLiteral("update"));
    ASSERT_EQ(updates.size(), 1);
    EXPECT_TRUE(updates[0].contains(QStringLiteral("budgid='%1'").arg(id))) << qPrintable(updates[0]);
}
