// The confirmation window's record grid with its filter row, totals of what it
// shows, copying and keyboard: through the real window on a demo database.
#include "forms/bwnVeltrane.h"
#include "tests/forms/WindowFixture.h"
#include "toolkit/NextGrid.h"
#include "toolkit/NextGridFilter.h"
#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using windowtest::ctl;
using windowtest::HostFixture;
using windowtest::Spin;
using windowtest::Window;

namespace {

const QString kFunds = QStringLiteral("经费");

// What the database says of the loaded records that a filter on the project name keeps.
QString OfShown(HostFixture& host, TbfrmVeltrane* w, const QString& what)
{
    return host.Scalar(QStringLiteral("select %1 from (%2) where iname like '%%3%'")
                           .arg(what, w->LastRecordSQL(), kFunds));
}

void Type(QLineEdit* edit, const QString& text)
{
    // Chinese arrives from the input method, committed as a whole.
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(edit, &event);
    QTest::keyClick(edit, Qt::Key_Return);
}

QStringList TickedBudgetIds(const Window& win)
{
    QStringList ids;
    for (int r = 0; r < win.rows(); ++r)
        if (win.cell("chk", r) == QLatin1String("True"))
            ids << win.cell("budgid", r);
    return ids;
}

}  // namespace

TEST(ConfirmationWindowGrid, FilterRowAboveTheGridNarrowsTheRowsAndTheTotals)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    Spin();
    TNextGrid* grid = win.grid();
    TNextGridFilterRow* strip = ctl<TNextGridFilterRow>(win, "ngfBudgetAdj");
    ASSERT_NE(strip, nullptr);
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->parentWidget(), ctl<QFrame>(win, "pnlRightTop"));
    EXPECT_LE(strip->geometry().bottom(), grid->geometry().top());
    EXPECT_EQ(strip->Editor(win.col("chk")), nullptr);
    EXPECT_EQ(strip->Editor(win.col("ecode")), nullptr);   // hidden column
    QLineEdit* project = strip->Editor(win.col("iname"));
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(strip->Editor(win.col("budgmoney"))->placeholderText(), QStringLiteral("金额范围"));

    const int rows = win.rows();
    const int footer = grid->FooterRow();
    ASSERT_EQ(footer, rows - 1);
    const QString loadedTotal = win.cell("budgmoney", footer);
    Type(project, kFunds);
    const int kept = OfShown(host, win.w, QStringLiteral("count(*)")).toInt();
    ASSERT_GT(kept, 0);
    ASSERT_LT(kept, rows - 1);
    EXPECT_EQ(grid->ShownRowCount(), kept + 1);
    EXPECT_EQ(grid->ShownRow(kept), footer);
    EXPECT_EQ(win.cell("budgid", footer), QStringLiteral("合计"));
    EXPECT_NEAR(win.cell("budgmoney", footer).toDouble(), OfShown(host, win.w, QStringLiteral("total(budgmoney)")).toDouble(),
                0.005);
    EXPECT_NEAR(win.cell("budgmoney_wy", footer).toDouble(),
                OfShown(host, win.w, QStringLiteral("total(budgmoney_wy)")).toDouble(), 1e-7);
    EXPECT_NE(win.cell("budgmoney", footer), loadedTotal);

    // A reload (another view and back) keeps the condition and its totals.
    ctl<QRadioButton>(win, "rbtnOK")->click();
    win.idle();
    ctl<QRadioButton>(win, "rbtnNO")->click();
    win.idle();
    Spin();
    EXPECT_EQ(strip->Editor(win.col("iname"))->text(), kFunds);
    EXPECT_EQ(grid->ShownRowCount(), kept + 1);
    EXPECT_NEAR(win.cell("budgmoney", grid->FooterRow()).toDouble(),
                OfShown(host, win.w, QStringLiteral("total(budgmoney)")).toDouble(), 0.005);

    // Esc takes the condition away and the loaded totals come back as loaded.
    QLineEdit* again = strip->Editor(win.col("iname"));
    QTest::keyClick(again, Qt::Key_Escape);
    EXPECT_EQ(grid->ShownRowCount(), rows);
    EXPECT_EQ(win.cell("budgmoney", grid->FooterRow()), loadedTotal);
    // The menu item hides the row and with it every condition.
    grid->SetColumnFilter(win.col("budgmoney"), QStringLiteral(">=0"));
    ctl<QAction>(win, "pmuFilterRow")->trigger();
    win.idle();
    EXPECT_FALSE(strip->isVisible());
    EXPECT_FALSE(ctl<QAction>(win, "pmuFilterRow")->isChecked());
    EXPECT_FALSE(grid->Filtered());
    ctl<QAction>(win, "pmuFilterRow")->trigger();
    win.idle();
    EXPECT_TRUE(strip->isVisible());
    EXPECT_TRUE(ctl<QAction>(win, "pmuFilterRow")->isChecked());
}

TEST(ConfirmationWindowGrid, SelectAllWithAFilterTicksAndConfirmsOnlyTheShownRows)
{
    HostFixture host(300);
    Window win(host);
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    Spin();
    TNextGrid* grid = win.grid();
    // A tick that the filter will hide, then 全清: it must go too.
    int hidden = -1;
    for (int r = 0; r < win.rows() - 1 && hidden < 0; ++r)
        if (!win.cell("iname", r).contains(kFunds))
            hidden = r;
    ASSERT_GE(hidden, 0);
    ASSERT_TRUE(grid->UserToggleCheck(win.col("chk"), hidden));
    Type(ctl<TNextGridFilterRow>(win, "ngfBudgetAdj")->Editor(win.col("iname")), kFunds);
    ASSERT_FALSE(grid->IsRowShown(hidden));
    ctl<QAction>(win, "pmuClear")->trigger();
    win.idle();
    EXPECT_EQ(TickedBudgetIds(win), QStringList());

    ctl<QAction>(win, "pmuAll")->trigger();
    win.idle();
    QStringList ticked = TickedBudgetIds(win);
    EXPECT_EQ(ticked.size(), grid->ShownRowCount());   // the totals row is ticked as well
    EXPECT_EQ(ticked.takeLast(), QStringLiteral("合计"));
    QStringList expected;
    {
        const TResult<IARQueryRef> q =
            OpenDefSQL(QStringLiteral("select budgid from (%1) where iname like '%%2%'").arg(win->LastRecordSQL(), kFunds));
        ASSERT_TRUE(q);
        auto* rows = q.Value()->GetQuery();
        for (rows->First(); !rows->Eof(); rows->Next())
            expected << rows->FieldText(QStringLiteral("budgid"));
    }
    ticked.sort();
    expected.sort();
    ASSERT_EQ(ticked, expected);

    const int confirmedBefore = host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")).toInt();
    ctl<QToolButton>(win, "tbtnConfirm")->click();
    win.idle();
    Spin();
    const QString ids = QStringLiteral("'") + expected.join(QStringLiteral("','")) + QStringLiteral("'");
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where status='1' and datayear=%1 and budgid in (%2)")
                              .arg(host.pub.DataYear)
                              .arg(ids))
                  .toInt(),
              expected.size());
    EXPECT_EQ(host.Scalar(QStringLiteral("select count(*) from BusiBudgetAdj where status='1'")).toInt(),
              confirmedBefore + expected.size());
    // The reload keeps the filter: the confirmed records left the unconfirmed view.
    EXPECT_EQ(grid->ShownRowCount(), OfShown(host, win.w, QStringLiteral("count(*)")).toInt() + (win.rows() ? 1 : 0));
}

TEST(ConfirmationWindowGrid, KeyboardMenuCopyAndColumnsThatFitTheirText)
{
    HostFixture host(300);
    Window win(host);
    TNextGrid* grid = win.grid();
    // The grid has the focus once the window is shown, so the keys reach it.
    EXPECT_EQ(QApplication::focusWidget(), grid);
    QStringList menu;
    for (QAction* a : ctl<QMenu>(win, "pmenu")->actions())
        menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(menu.mid(0, 5), (QStringList{"全选", "全清", "-", "复制", "显示/隐藏筛选行"}));
    EXPECT_EQ(ctl<QAction>(win, "pmuCopy")->shortcut(), QKeySequence(QKeySequence::Copy));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->SelectedRows().size(), win.rows());
    QGuiApplication::clipboard()->clear();
    ctl<QAction>(win, "pmuCopy")->trigger();
    win.idle();
    const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), win.rows() + 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("预算编码\t科目编码\t科目名称"))) << lines[0].toStdString();
    EXPECT_TRUE(lines.last().contains(QStringLiteral("合计")));
    // Amounts as stored, for a spreadsheet: no thousands separators.
    EXPECT_FALSE(lines.last().contains(QLatin1Char(',')));

    // After a load every text fits, the bold selected row's too.
    ctl<QRadioButton>(win, "rbtnDetail")->click();
    win.idle();
    Spin();
    QFont bold = grid->font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (const char* name : {"budgid", "eid", "bname", "budgmoney"}) {
        int widest = 0;
        for (int r = 0; r < win.rows(); ++r)
            widest = std::max(widest, fm.horizontalAdvance(grid->DisplayText(win.col(name), r)));
        EXPECT_GT(grid->columnWidth(win.col(name)) - margins, widest) << name;
    }
    // A width the user gives a column outlasts the reloads.
    grid->horizontalHeader()->resizeSection(win.col("bname"), 260);
    ctl<QRadioButton>(win, "rbtnOK")->click();
    win.idle();
    ctl<QRadioButton>(win, "rbtnNO")->click();
    win.idle();
    Spin();
    EXPECT_EQ(grid->columnWidth(win.col("bname")), 260);
}
