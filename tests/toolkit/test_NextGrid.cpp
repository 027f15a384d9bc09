#include "toolkit/NextGrid.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <QHelpEvent>
#include <QToolTip>
#include <thread>

namespace {

// A grid of a check-box, a text and a number column, shown offscreen.
struct Grid {
    TNextGrid grid;
    TNxCheckBoxColumn* chk = new TNxCheckBoxColumn;
    TNxTextColumn* name = new TNxTextColumn;
    TNxNumberColumn* money = new TNxNumberColumn;

    explicit Grid(int rows = 0)
    {
        chk->SetName(QStringLiteral("chk"));
        chk->SetOptions(TColumnOptions(coCanClick) | coCanInput | coEditing);
        chk->SetWidth(30);
        name->SetName(QStringLiteral("Name"));
        name->SetWidth(120);
        money->SetName(QStringLiteral("money"));
        money->SetFormatMask(QStringLiteral("#,##0.00"));
        money->SetWidth(100);
        grid.Columns().Add(chk);
        grid.Columns().Add(name);
        grid.Columns().Add(money);
        grid.resize(400, 300);
        grid.AddRows(rows);
    }
    QPoint CellCentre(int col, int row)
    {
        return grid.visualRect(grid.Model()->index(row, col)).center();
    }
};

}  // namespace

TEST(NextGrid, ModelPassesTheItemModelTesterThroughEveryKindOfChange)
{
    Grid g;
    QAbstractItemModelTester tester(g.grid.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    g.grid.AddRows(5);
    for (int r = 0; r < 5; ++r) {
        g.grid.SetCells(1, r, QStringLiteral("n%1").arg(r));
        g.grid.SetCells(2, r, QString::number(5 - r));
    }
    g.grid.SetCellColor(2, 4, QColor(1, 2, 3));
    g.grid.SelectRow(2);
    g.grid.SortByColumn(2, true);
    g.grid.SortByColumn(1, false);
    g.grid.BeginUpdate();
    g.grid.ClearRows();
    g.grid.AddRows(3);
    g.grid.SetCells(0, 1, QStringLiteral("True"));
    g.grid.EndUpdate();
    g.grid.Columns().Add(new TNxTextColumn);
    EXPECT_EQ(g.grid.Model()->columnCount(), 4);
    g.grid.Columns().Clear();
    EXPECT_EQ(g.grid.RowCount(), 0);
    EXPECT_EQ(g.grid.Model()->columnCount(), 0);
}

TEST(NextGrid, AModelOfItsOwnerIsShownOnlyWhenGivenBeforeColumnsAndOutlivesTheGridEmpty)
{
    TNextGridModel owned;
    {
        TNextGrid grid;
        grid.SetModel(&owned);
        ASSERT_EQ(grid.Model(), &owned);
        auto* name = new TNxTextColumn;
        name->SetName(QStringLiteral("Name"));
        grid.Columns().Add(name);
        grid.AddRows(3);
        grid.SetCells(0, 2, QStringLiteral("c"));
        EXPECT_EQ(owned.rowCount(), 3);
        EXPECT_EQ(owned.data(owned.index(2, 0)).toString(), QStringLiteral("c"));
        // Once the grid has columns the rows are the model's: another is refused.
        TNextGridModel late;
        grid.SetModel(&late);
        EXPECT_EQ(grid.Model(), &owned);
    }
    QAbstractItemModelTester tester(&owned, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(owned.rowCount(), 0);
    EXPECT_EQ(owned.columnCount(), 0);
    EXPECT_EQ(owned.FooterRow(), -1);
}

TEST(NextGrid, NumberColumnShowsTheMaskButKeepsTheText)
{
    Grid g(4);
    g.grid.SetCells(2, 0, QStringLiteral("1234567.5"));
    g.grid.SetCells(2, 1, QStringLiteral("-0.001"));
    g.grid.SetCells(2, 2, QStringLiteral("abc"));
    g.grid.SetCells(2, 3, QStringLiteral("-9876.555"));
    EXPECT_EQ(g.grid.DisplayText(2, 0), QStringLiteral("1,234,567.50"));
    EXPECT_EQ(g.grid.Cells(2, 0), QStringLiteral("1234567.5"));
    EXPECT_EQ(g.grid.DisplayText(2, 1), QStringLiteral("0.00"));
    EXPECT_EQ(g.grid.DisplayText(2, 2), QStringLiteral("abc"));
    EXPECT_EQ(g.grid.Model()->data(g.grid.Model()->index(3, 2)).toString(), QStringLiteral("-9,876.56"));
    EXPECT_EQ(g.grid.Model()->data(g.grid.Model()->index(0, 2), Qt::EditRole).toString(),
              QStringLiteral("1234567.5"));
    EXPECT_DOUBLE_EQ(g.grid.Cell(2, 0).AsFloat(), 1234567.5);
    EXPECT_DOUBLE_EQ(g.grid.Cell(2, 2).AsFloat(), 0.0);

    EXPECT_EQ(FormatNumberMask(QStringLiteral("#,##0.00"), QStringLiteral("0")), QStringLiteral("0.00"));
    EXPECT_EQ(FormatNumberMask(QStringLiteral("#,##0.00"), QStringLiteral("999.999")), QStringLiteral("1,000.00"));
    EXPECT_EQ(FormatNumberMask(QStringLiteral("0.##"), QStringLiteral("2.5")), QStringLiteral("2.5"));
    EXPECT_EQ(FormatNumberMask(QStringLiteral("#,##0.00"), QString()), QString());
    EXPECT_EQ(FormatNumberMask(QStringLiteral("#,##0.00"), QStringLiteral("nan")), QStringLiteral("nan"));
}

TEST(NextGrid, CheckBoxReadsTrueAsTickedAndUserTicksPassTheEditGate)
{
    Grid g(3);
    g.grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g.grid));
    g.grid.SetCells(0, 0, QStringLiteral("True"));
    g.grid.SetCells(0, 1, QStringLiteral("true"));
    EXPECT_EQ(g.grid.DisplayText(0, 0), QStringLiteral("[x]"));
    EXPECT_EQ(g.grid.DisplayText(0, 1), QStringLiteral("[ ]"));
    EXPECT_EQ(g.grid.Model()->data(g.grid.Model()->index(0, 0), Qt::CheckStateRole).toInt(), Qt::Checked);

    std::vector<std::pair<int, int>> asked;
    g.grid.OnBeforeEdit = [&](TNextGrid* sender, int col, int row, bool& accept) {
        EXPECT_EQ(sender, &g.grid);
        asked.emplace_back(col, row);
        if (row == 2)
            accept = false;
    };
    // A mouse click anywhere in the cell ticks it.
    QTest::mouseClick(g.grid.viewport(), Qt::LeftButton, {}, g.CellCentre(0, 1));
    EXPECT_EQ(g.grid.Cells(0, 1), QStringLiteral("True"));
    QTest::mouseClick(g.grid.viewport(), Qt::LeftButton, {}, g.CellCentre(0, 1));
    EXPECT_EQ(g.grid.Cells(0, 1), QStringLiteral("False"));
    // Refused: nothing changes.
    QTest::mouseClick(g.grid.viewport(), Qt::LeftButton, {}, g.CellCentre(0, 2));
    EXPECT_EQ(g.grid.Cells(0, 2), QString());
    EXPECT_FALSE(g.grid.UserToggleCheck(0, 2));
    // The space bar on the current check-box cell.
    g.grid.setCurrentIndex(g.grid.Model()->index(0, 0));
    QTest::keyClick(&g.grid, Qt::Key_Space);
    EXPECT_EQ(g.grid.Cells(0, 0), QStringLiteral("False"));
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{0, 1}, {0, 1}, {0, 2}, {0, 2}, {0, 0}}));
    // Program writes are never refused.
    g.grid.SetCells(0, 2, QStringLiteral("True"));
    EXPECT_EQ(g.grid.Cells(0, 2), QStringLiteral("True"));
    // Clicking a text cell ticks nothing; a column without coEditing refuses the user.
    EXPECT_FALSE(g.grid.UserToggleCheck(1, 0));
    g.chk->SetOptions(TColumnOptions(coCanClick));
    EXPECT_FALSE(g.grid.UserToggleCheck(0, 0));
    EXPECT_EQ(g.grid.Cells(0, 0), QStringLiteral("False"));
}

TEST(NextGrid, NestedUpdatesAnnounceOnceAtTheOutermostEnd)
{
    Grid g;
    QSignalSpy resets(g.grid.Model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(g.grid.Model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(g.grid.Model(), &QAbstractItemModel::dataChanged);
    g.grid.BeginUpdate();
    g.grid.BeginUpdate();
    g.grid.AddRows(1000);
    for (int r = 0; r < 1000; ++r)
        g.grid.SetCells(1, r, QString::number(r));
    g.grid.EndUpdate();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_TRUE(g.grid.Updating());
    g.grid.EndUpdate();
    EXPECT_FALSE(g.grid.Updating());
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    g.grid.EndUpdate();   // unbalanced: ignored
    EXPECT_EQ(resets.count(), 1);
    // Widths and hidden columns survive the reset.
    EXPECT_EQ(g.grid.columnWidth(1), 120);
    g.name->SetVisible(false);
    g.grid.BeginUpdate();
    g.grid.EndUpdate();
    EXPECT_TRUE(g.grid.isColumnHidden(1));
    EXPECT_EQ(g.grid.columnWidth(2), 100);
    // Outside a batch each change is announced.
    g.grid.SetCells(1, 5, QStringLiteral("x"));
    EXPECT_EQ(changed.count(), 1);
    g.grid.AddRows(2);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(g.grid.RowCount(), 1002);
}

TEST(NextGrid, SortingIsByValueAndKeepsTheFooterRowLast)
{
    Grid g(5);
    const QStringList money = {QStringLiteral("10"), QStringLiteral("9.5"), QStringLiteral("100"),
                               QStringLiteral("-2"), QStringLiteral("111.5")};
    for (int r = 0; r < 5; ++r) {
        g.grid.SetCells(1, r, QStringLiteral("r%1").arg(r));
        g.grid.SetCells(2, r, money[r]);
    }
    g.grid.SetCells(1, 4, QStringLiteral("合计"));
    g.grid.SetCellColor(1, 4, QColor(200, 200, 255));
    g.grid.SetCellColor(1, 0, Qt::red);
    g.grid.SetFooterRow(4);
    g.grid.SortByColumn(2, true);
    QStringList order;
    for (int r = 0; r < 5; ++r)
        order << g.grid.Cells(1, r);
    EXPECT_EQ(order, (QStringList{"r3", "r1", "r0", "r2", "合计"}));
    EXPECT_EQ(g.grid.FooterRow(), 4);
    EXPECT_EQ(g.grid.CellColor(1, 4), QColor(200, 200, 255));
    EXPECT_EQ(g.grid.CellColor(1, 2), QColor(Qt::red));
    EXPECT_FALSE(g.grid.CellColor(1, 0).isValid());

    // The header toggles the order of the column sorted last; numbers before texts.
    g.grid.SetCells(2, 0, QStringLiteral("x"));
    g.grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g.grid));
    QHeaderView* h = g.grid.horizontalHeader();
    const QPoint at(h->sectionViewportPosition(2) + 5, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(g.grid.Cells(2, 0), QStringLiteral("x"));
    EXPECT_EQ(g.grid.Cells(2, 1), QStringLiteral("100"));
    EXPECT_EQ(g.grid.Cells(1, 4), QStringLiteral("合计"));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(g.grid.Cells(2, 0), QStringLiteral("9.5"));
    EXPECT_EQ(g.grid.Cells(2, 3), QStringLiteral("x"));
    EXPECT_EQ(g.grid.Cells(1, 4), QStringLiteral("合计"));
    // A column without coCanSort ignores header clicks.
    g.money->SetOptions(TColumnOptions(coCanClick));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(g.grid.Cells(2, 0), QStringLiteral("9.5"));
}

TEST(NextGrid, CellStoreKeepsAnyTextAndStaysCompact)
{
    Grid g(2000);
    const QString chinese = QStringLiteral("预算单位合计");
    const QString emoji = QString::fromUtf8("a\xF0\x9F\x98\x80z");
    g.grid.SetCells(1, 0, chinese);
    g.grid.SetCells(1, 1, emoji);
    g.grid.SetCells(1, 2, QString(QChar(0xD800)));
    g.grid.SetCells(1, 3, QString(200, QLatin1Char('w')));   // length needs two bytes
    EXPECT_EQ(g.grid.Cells(1, 0), chinese);
    EXPECT_EQ(g.grid.Cells(1, 1), emoji);
    EXPECT_EQ(g.grid.Cells(1, 2), QString(QChar(0xFFFD)));
    EXPECT_EQ(g.grid.Cells(1, 3), QString(200, QLatin1Char('w')));
    EXPECT_EQ(g.grid.TextBytes(), 18 + 6 + 3 + 200);
    g.grid.SetCells(1, 0, QString());
    EXPECT_EQ(g.grid.TextBytes(), 6 + 3 + 200);
    // Out-of-range cells read empty and ignore writes.
    g.grid.SetCells(7, 0, QStringLiteral("x"));
    g.grid.SetCells(1, 2000, QStringLiteral("x"));
    EXPECT_EQ(g.grid.Cells(1, -1), QString());
    EXPECT_EQ(g.grid.Cells(9, 9), QString());

    // Rewriting every cell many times leaves the latest texts and bounded garbage.
    for (int round = 0; round < 30; ++round)
        for (int r = 0; r < 2000; ++r)
            g.grid.SetCells(2, r, QStringLiteral("%1.%2").arg(r).arg(round));
    for (int r = 0; r < 2000; r += 397)
        EXPECT_EQ(g.grid.Cells(2, r), QStringLiteral("%1.29").arg(r));
    EXPECT_LT(g.grid.StoreBytes(), 3 * (1 << 20));
}

TEST(NextGrid, ColumnsAreFoundByNameAndShowTheirSettings)
{
    Grid g(2);
    EXPECT_EQ(g.grid.Columns().Count(), 3);
    EXPECT_EQ(g.grid.Columns().FindByName(QStringLiteral("NAME")), 1);
    EXPECT_EQ(g.grid.Columns().FindByName(QStringLiteral("none")), -1);
    EXPECT_EQ(g.grid.Columns().Item(2), g.money);
    EXPECT_EQ(g.grid.Columns().Item(3), nullptr);
    EXPECT_EQ(g.money->Index(), 2);
    g.name->SetHeaderCaption(QStringLiteral("单位名称"));
    g.name->SetHeaderAlignment(Qt::AlignCenter);
    EXPECT_EQ(g.grid.Model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("单位名称"));
    EXPECT_EQ(g.grid.Model()->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    g.money->SetVisible(false);
    EXPECT_TRUE(g.grid.isColumnHidden(2));
    g.name->SetWidth(77);
    EXPECT_EQ(g.grid.columnWidth(1), 77);
    // A column added to a grid with rows gets empty cells in them.
    g.grid.Columns().Add(new TNxTextColumn);
    EXPECT_EQ(g.grid.Cells(3, 1), QString());
    g.grid.SetCells(3, 1, QStringLiteral("v"));
    EXPECT_EQ(g.grid.Cells(3, 1), QStringLiteral("v"));
}

TEST(NextGrid, SelectionKeysWheelAndDoubleClick)
{
    Grid g(50);
    g.grid.SetOptions(TGridOptions(goHeader) | goSelectFullRow);
    g.grid.SetRowSize(20);
    EXPECT_EQ(g.grid.verticalHeader()->defaultSectionSize(), 20);
    g.grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g.grid));
    EXPECT_EQ(g.grid.SelectedRow(), -1);
    g.grid.SelectRow(40);
    EXPECT_EQ(g.grid.SelectedRow(), 40);
    EXPECT_TRUE(g.grid.selectionModel()->isRowSelected(40, QModelIndex()));
    EXPECT_GT(g.grid.verticalScrollBar()->value(), 0);

    QString typed;
    g.grid.OnKeyPress = [&](TNextGrid*, QChar& key) {
        typed += key;
        if (key == QLatin1Char(' '))
            key = QChar();   // swallowed: no tick
    };
    g.grid.setCurrentIndex(g.grid.Model()->index(3, 0));
    QTest::keyClicks(&g.grid, QStringLiteral("a "));
    EXPECT_EQ(typed, QStringLiteral("a "));
    EXPECT_EQ(g.grid.Cells(0, 3), QString());

    // The wheel scrolls whether or not it moves the selected row.
    for (const bool moves : {false, true}) {
        g.grid.SetMouseWheelEnabled(moves);
        const int before = g.grid.verticalScrollBar()->value();
        const QModelIndex current = g.grid.currentIndex();
        QWheelEvent wheel(QPointF(50, 50), g.grid.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.grid.viewport(), &wheel);
        if (!moves) {
            EXPECT_GT(g.grid.verticalScrollBar()->value(), before);
        }
        EXPECT_EQ(g.grid.currentIndex().row(), moves ? current.row() + 2 : current.row()) << moves;
    }

    int dbl = 0;
    g.grid.OnDblClick = [&](TNextGrid*) { ++dbl; };
    QTest::mouseDClick(g.grid.viewport(), Qt::LeftButton, {}, g.CellCentre(1, 41));
    EXPECT_EQ(dbl, 1);
}

TEST(NextGrid, CellsFilledOnAnotherThreadReplaceTheRowsInOneReset)
{
    Grid g(2);
    g.grid.SetCells(1, 0, QStringLiteral("old"));
    g.grid.SelectRow(1);
    QAbstractItemModelTester tester(g.grid.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(g.grid.Model(), &QAbstractItemModel::modelReset);

    TNxCellStore cells(3);
    const TNxAdvances advances = g.grid.TextAdvances();
    std::thread worker([&cells, &advances] {
        cells.AddRows(1000);
        for (int r = 0; r < 1000; ++r) {
            cells.SetText(1, r, QStringLiteral("单位%1").arg(r));
            cells.SetText(2, r, QString::number(r * 1.5));
        }
        cells.AddRows(1);
        cells.SetText(1, 1000, QStringLiteral("合计"));
        cells.SetColor(1, 1000, QColor(200, 200, 255));
        // Writes outside the store say so and change nothing.
        EXPECT_FALSE(cells.SetText(3, 0, QStringLiteral("x")));
        EXPECT_FALSE(cells.SetText(0, 1001, QStringLiteral("x")));
        // The rows to lay out when the columns are fitted are found here.
        cells.SetText(1, 500, QStringLiteral("WWWWWWWWWWWW"));
        cells.RankWidest(1, advances, false, 1000, 12);
    });
    worker.join();
    g.grid.AdoptCells(std::move(cells), 1000);
    const QFontMetrics fm(g.grid.font());
    g.grid.FitColumnsToContent();
    EXPECT_GT(g.grid.columnWidth(1), fm.horizontalAdvance(QStringLiteral("WWWWWWWWWWWW")));
    // A text written since is not passed over for the ranking made before it.
    g.grid.SetCells(1, 7, QString(24, QLatin1Char('W')));
    g.grid.FitColumnsToContent();
    EXPECT_GT(g.grid.columnWidth(1), fm.horizontalAdvance(QString(24, QLatin1Char('W'))));

    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(g.grid.RowCount(), 1001);
    EXPECT_EQ(g.grid.FooterRow(), 1000);
    EXPECT_EQ(g.grid.Cells(1, 999), QStringLiteral("单位999"));
    EXPECT_EQ(g.grid.DisplayText(2, 999), QStringLiteral("1,498.50"));
    EXPECT_EQ(g.grid.CellColor(1, 1000), QColor(200, 200, 255));
    EXPECT_EQ(g.grid.Model()->data(g.grid.Model()->index(1000, 1), Qt::BackgroundRole).value<QBrush>().color(),
              QColor(200, 200, 255));
    // The totals row stays last through a sort.
    g.grid.SortByColumn(2, false);
    EXPECT_EQ(g.grid.Cells(1, 0), QStringLiteral("单位999"));
    EXPECT_EQ(g.grid.Cells(1, 1000), QStringLiteral("合计"));

    // Cells made for other columns are refused whole, the grid untouched.
    TNxCellStore wrong(2);
    wrong.AddRows(1);
    EXPECT_THROW(g.grid.AdoptCells(std::move(wrong)), std::invalid_argument);
    EXPECT_EQ(g.grid.RowCount(), 1001);
}

namespace {

// A full-row grid as the record grid is set up: five records and a totals row
// whose edit the gate refuses, shown offscreen.
struct Records : Grid {
    std::vector<int> asked;
    Records() : Grid(6)
    {
        grid.SetOptions(TGridOptions(goHeader) | goSelectFullRow);
        name->SetHeaderCaption(QStringLiteral("单位名称"));
        money->SetHeaderCaption(QStringLiteral("金额(元)"));
        const char* names[] = {"一中", "二中", "医院", "财政\t局", "税务局"};
        const char* amounts[] = {"1234567.5", "20", "-3.25", "0", "1e3"};
        for (int r = 0; r < 5; ++r) {
            grid.SetCells(1, r, QString::fromUtf8(names[r]));
            grid.SetCells(2, r, QString::fromLatin1(amounts[r]));
        }
        grid.SetCells(1, 5, QStringLiteral("合计"));
        grid.SetCells(2, 5, QStringLiteral("1235587.25"));
        grid.SetFooterRow(5);
        grid.OnBeforeEdit = [this](TNextGrid* g, int, int row, bool& accept) {
            asked.push_back(row);
            if (row == g->RowCount() - 1)
                accept = false;
        };
        grid.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&grid));
        grid.setFocus();
    }
    QStringList Ticks() const
    {
        QStringList out;
        for (int r = 0; r < grid.RowCount(); ++r)
            out << grid.Cells(0, r);
        return out;
    }
    void Click(int col, int viewRow, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, mods, CellCentre(col, viewRow));
    }
};

}  // namespace

TEST(NextGrid, RowsAreSelectedByClicksAndArrowsWithShiftAndCtrl)
{
    Records g;
    g.Click(1, 1);
    EXPECT_EQ(g.grid.SelectedRows(), QList<int>{1});
    g.Click(1, 3, Qt::ShiftModifier);
    EXPECT_EQ(g.grid.SelectedRows(), (QList<int>{1, 2, 3}));
    g.Click(1, 2, Qt::ControlModifier);
    EXPECT_EQ(g.grid.SelectedRows(), (QList<int>{1, 3}));
    g.Click(1, 0);
    QTest::keyClick(&g.grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&g.grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(g.grid.SelectedRows(), (QList<int>{0, 1, 2}));
    EXPECT_TRUE(g.grid.selectionModel()->isRowSelected(2, QModelIndex()));

    // A right click on a selected row keeps the selection and opens the menu.
    QMenu menu;
    menu.addAction(QStringLiteral("全选"));
    g.grid.SetPopupMenu(&menu);
    // The platform follows a right click with a context-menu event.
    auto rightClick = [&](int viewRow) {
        const QPoint at = g.CellCentre(1, viewRow);
        QTest::mouseClick(g.grid.viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, g.grid.viewport()->mapToGlobal(at));
        QApplication::sendEvent(g.grid.viewport(), &event);
    };
    rightClick(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
    menu.hide();
    EXPECT_EQ(g.grid.SelectedRows(), (QList<int>{0, 1, 2}));
    // On a row outside the selection the click selects that row, as usual.
    rightClick(4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
    menu.hide();
    EXPECT_EQ(g.grid.SelectedRows(), QList<int>{4});

    // Ctrl+A selects the shown rows only.
    g.grid.SetColumnFilter(1, QStringLiteral("中"));
    QTest::keyClick(&g.grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(g.grid.SelectedRows(), (QList<int>{0, 1, 5}));
}

TEST(NextGrid, CtrlCCopiesTheSelectionAsTabSeparatedStoredValues)
{
    Records g;
    auto* hidden = new TNxTextColumn;
    hidden->SetName(QStringLiteral("eid"));
    hidden->SetVisible(false);
    g.grid.Columns().Add(hidden);
    g.grid.SetCells(3, 0, QStringLiteral("secret"));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    // Nothing selected: nothing to copy, the clipboard keeps its text.
    g.grid.selectionModel()->clearSelection();
    QTest::keyClick(&g.grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    QTest::keyClick(&g.grid, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&g.grid, Qt::Key_C, Qt::ControlModifier);
    const QString all = QStringLiteral("单位名称\t金额(元)\n"
                                       "一中\t1234567.5\n"
                                       "二中\t20\n"
                                       "医院\t-3.25\n"
                                       "财政 局\t0\n"
                                       "税务局\t1e3\n"
                                       "合计\t1235587.25\n");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), all);
    EXPECT_EQ(g.grid.SelectionText(), all);

    // Rows in the order shown, whatever order they were picked in.
    g.grid.SortByColumn(2, false);
    g.Click(1, 3);
    g.Click(1, 0, Qt::ControlModifier);
    EXPECT_EQ(g.grid.CopySelection(), QStringLiteral("单位名称\t金额(元)\n一中\t1234567.5\n财政 局\t0\n"));
    g.grid.SetColumnFilter(2, QStringLiteral(">1"));
    EXPECT_EQ(g.grid.SelectionText(), QStringLiteral("单位名称\t金额(元)\n一中\t1234567.5\n"));

    // A grid of cells: the block of the selected cells.
    Grid cells(3);
    cells.grid.SetOptions(TGridOptions(goHeader) | goMultiSelect);
    cells.name->SetHeaderCaption(QStringLiteral("名称"));
    cells.money->SetHeaderCaption(QStringLiteral("金额"));
    for (int r = 0; r < 3; ++r) {
        cells.grid.SetCells(1, r, QStringLiteral("n%1").arg(r));
        cells.grid.SetCells(2, r, QString::number(r * 1000));
    }
    cells.grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cells.grid));
    QTest::mouseClick(cells.grid.viewport(), Qt::LeftButton, {}, cells.CellCentre(2, 1));
    QTest::mouseClick(cells.grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, cells.CellCentre(2, 2));
    EXPECT_EQ(cells.grid.SelectionText(), QStringLiteral("金额\n1000\n2000\n"));
    QTest::mouseClick(cells.grid.viewport(), Qt::LeftButton, Qt::ControlModifier, cells.CellCentre(1, 0));
    EXPECT_EQ(cells.grid.SelectionText(), QStringLiteral("名称\t金额\nn0\t\n\t1000\n\t2000\n"));
}

TEST(NextGrid, SpaceTicksTheSelectedRowsOrClearsThemWhenAllAreTicked)
{
    Records g;
    QSignalSpy ticks(&g.grid, &TNextGrid::ticksChanged);
    g.Click(1, 1);
    g.Click(1, 3, Qt::ShiftModifier);
    g.grid.SetCells(0, 2, QStringLiteral("True"));
    QTest::keyClick(&g.grid, Qt::Key_Space);
    EXPECT_EQ(g.Ticks(), (QStringList{"", "True", "True", "True", "", ""}));
    EXPECT_EQ(ticks.count(), 1);
    EXPECT_EQ(g.asked, (std::vector<int>{1, 3}));   // the gate sees every box it changes
    QTest::keyClick(&g.grid, Qt::Key_Space);
    EXPECT_EQ(g.Ticks(), (QStringList{"", "False", "False", "False", "", ""}));
    EXPECT_EQ(ticks.count(), 2);

    // Ctrl+A and Space: every shown row but the totals row, in one operation.
    g.asked.clear();
    g.grid.SetColumnFilter(2, QStringLiteral("<=20"));
    QTest::keyClick(&g.grid, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&g.grid, Qt::Key_Space);
    EXPECT_EQ(g.Ticks(), (QStringList{"", "True", "True", "True", "", ""}));
    EXPECT_EQ(ticks.count(), 3);
    EXPECT_EQ(std::count(g.asked.begin(), g.asked.end(), 5), 0);
    // The totals row alone: nothing to tick, nothing announced.
    g.grid.SelectRow(5);
    QTest::keyClick(&g.grid, Qt::Key_Space);
    EXPECT_EQ(g.grid.Cells(0, 5), QString());
    EXPECT_EQ(ticks.count(), 3);
    // A refused row stays as it was; the others change.
    g.grid.ClearFilters();
    g.grid.OnBeforeEdit = [](TNextGrid*, int, int row, bool& accept) { accept = row != 0; };
    QTest::keyClick(&g.grid, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&g.grid, Qt::Key_Space);
    EXPECT_EQ(g.Ticks(), (QStringList{"", "True", "True", "True", "True", ""}));
}

TEST(NextGrid, ShiftClickOnABoxTicksTheShownRowsFromTheLastTick)
{
    Records g;
    g.grid.AddRows(0);
    QSignalSpy ticks(&g.grid, &TNextGrid::ticksChanged);
    // Without an earlier tick it is a plain tick.
    g.Click(0, 1, Qt::ShiftModifier);
    EXPECT_EQ(g.Ticks(), (QStringList{"", "True", "", "", "", ""}));
    EXPECT_EQ(g.grid.LastUserTickedRow(), 1);
    g.Click(0, 4, Qt::ShiftModifier);
    EXPECT_EQ(g.Ticks(), (QStringList{"", "True", "True", "True", "True", ""}));
    EXPECT_EQ(ticks.count(), 2);
    // After an untick the range is cleared; rows the filter hides are left alone.
    g.Click(0, 4);
    g.grid.SetColumnFilter(1, QStringLiteral("中"));   // rows 0, 1 and the totals row
    g.grid.SetColumnFilter(1, QString());
    g.grid.SetColumnFilter(2, QStringLiteral(">=0"));   // hides row 2 (-3.25)
    ASSERT_EQ(g.grid.ShownRowCount(), 5);
    g.Click(0, 0, Qt::ShiftModifier);   // view row 0 = store row 0, anchor store row 4 = view row 3
    EXPECT_EQ(g.Ticks(), (QStringList{"", "False", "True", "False", "False", ""}));
    EXPECT_EQ(ticks.count(), 4);
    // Towards the totals row: it is never ticked, by the range or by the gate.
    g.Click(0, 3);   // ticks store row 4
    g.Click(0, 4, Qt::ShiftModifier);   // the totals row
    EXPECT_EQ(g.grid.Cells(0, 5), QString());
    EXPECT_EQ(g.grid.Cells(0, 4), QStringLiteral("True"));
    EXPECT_FALSE(g.grid.UserToggleCheck(0, 5));
    EXPECT_EQ(g.grid.Cells(0, 5), QString());
}

TEST(NextGrid, ColumnsFitTheBoldSelectedTextAndTakeTheWidthTheUserDrags)
{
    Records g;
    g.grid.SetAppearanceOptions(aoBoldTextSelection);
    g.grid.SetCells(1, 2, QStringLiteral("市第一人民医院附属第二分院"));
    g.name->SetWidth(30);
    g.money->SetWidth(30);
    g.chk->SetWidth(22);
    g.grid.FitColumnsToContent();
    QFont bold = g.grid.font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    const int textRoom = g.grid.columnWidth(1) - 2 * (g.grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    EXPECT_GT(textRoom, fm.horizontalAdvance(QStringLiteral("市第一人民医院附属第二分院")));
    EXPECT_GT(g.grid.columnWidth(2), fm.horizontalAdvance(QStringLiteral("1,235,587.25")));
    EXPECT_EQ(g.money->Width(), g.grid.columnWidth(2));
    EXPECT_EQ(g.chk->Width(), 22);   // check boxes keep their width
    // Among many rows the widest text is found, not the one of most characters.
    g.grid.SetCells(1, 2, QString());
    g.grid.AddRows(400);
    for (int r = 6; r < 406; ++r)
        g.grid.SetCells(1, r, QStringLiteral("iiiiiiiiii"));
    g.grid.SetCells(1, 250, QStringLiteral("WWWWWWW"));
    g.grid.FitColumnsToContent();
    EXPECT_GT(g.grid.columnWidth(1) - 2 * (g.grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1),
              fm.horizontalAdvance(QStringLiteral("WWWWWWW")));
    // The caption counts as well; a very long text is held to the upper bound.
    g.money->SetHeaderCaption(QStringLiteral("指标金额（元）调整后的合计数"));
    g.grid.SetCells(1, 0, QString(400, QChar(0x4E2D)));
    g.grid.FitColumnsToContent();
    EXPECT_GT(g.grid.columnWidth(2), QFontMetrics(g.grid.horizontalHeader()->font())
                                         .horizontalAdvance(QStringLiteral("指标金额（元）调整后的合计数")));
    EXPECT_EQ(g.grid.columnWidth(1), TNextGrid::MaxFitWidth);
    // A cell too narrow for its text shows all of it when pointed at.
    const QRect cut = g.grid.visualRect(g.grid.Model()->index(0, 1));
    QHelpEvent help(QEvent::ToolTip, cut.center(), g.grid.viewport()->mapToGlobal(cut.center()));
    QApplication::sendEvent(g.grid.viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QString(400, QChar(0x4E2D)));

    // A drag of the header's section edge: the column keeps the new width, also
    // through a reload.
    QSignalSpy resized(&g.grid, &TNextGrid::columnResized);
    g.name->SetWidth(100);
    EXPECT_EQ(resized.count(), 0);   // set by the program: not the user's
    QHeaderView* h = g.grid.horizontalHeader();
    const int edge = h->sectionViewportPosition(1) + h->sectionSize(1) - 1;
    const int y = h->height() / 2;
    QTest::mousePress(h->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
    QTest::mouseMove(h->viewport(), QPoint(edge + 40, y));
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, QPoint(edge + 40, y));
    EXPECT_EQ(g.grid.columnWidth(1), 140);
    EXPECT_EQ(g.name->Width(), 140);
    ASSERT_EQ(resized.count(), 1);
    EXPECT_EQ(resized[0][0].toInt(), 1);
    g.grid.BeginUpdate();
    g.grid.EndUpdate();
    g.grid.SetColumnFilter(1, QStringLiteral("中"));
    EXPECT_EQ(g.grid.columnWidth(1), 140);
    EXPECT_EQ(g.name->Width(), 140);
    // A hidden column keeps its width for when it is shown again.
    g.name->SetVisible(false);
    EXPECT_EQ(g.name->Width(), 140);
    g.name->SetVisible(true);
    EXPECT_EQ(g.grid.columnWidth(1), 140);
    EXPECT_EQ(resized.count(), 1);
}

TEST(NextGrid, FrozenColumnsStayBesideTheirRowsThroughEveryChangeOfGeometry)
{
    QWidget top;
    auto* g = new Grid(200);
    g->grid.setParent(&top);
    g->grid.SetFrozenColumns(2);
    top.resize(420, 320);
    g->grid.setGeometry(0, 0, 420, 320);
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    QTableView* frozen = g->grid.FrozenView();
    // Row r's top on screen in both parts, and the captions' bottom.
    auto aligned = [&](const char* step) {
        QApplication::processEvents();
        ASSERT_TRUE(frozen->isVisible()) << step;
        EXPECT_EQ(frozen->viewport()->mapToGlobal(QPoint(0, 0)).y(), g->grid.viewport()->mapToGlobal(QPoint(0, 0)).y())
            << step;
        EXPECT_EQ(frozen->verticalScrollBar()->value(), g->grid.verticalScrollBar()->value()) << step;
        for (int r : {0, 1, 50, 199})
            EXPECT_EQ(frozen->rowViewportPosition(r), g->grid.rowViewportPosition(r)) << step << " row " << r;
        EXPECT_EQ(frozen->horizontalHeader()->isVisible(), g->grid.horizontalHeader()->isVisible()) << step;
    };
    aligned("shown");
    // Changes made while the window is hidden (as between two window states).
    top.hide();
    g->grid.SetHeaderSize(34);
    g->grid.SetRowSize(23);
    g->grid.setGeometry(0, 0, 300, 200);
    top.show();
    aligned("shown again");
    top.showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return top.isMaximized(); }, 10000));
    g->grid.setGeometry(top.rect());
    aligned("maximised");
    g->grid.verticalScrollBar()->setValue(g->grid.verticalScrollBar()->maximum());
    aligned("scrolled to the end");
    top.showNormal();
    g->grid.setGeometry(0, 0, 420, 150);
    aligned("restored and smaller");
    g->grid.verticalHeader()->resizeSection(3, 40);
    aligned("one row taller");
    g->grid.SetOptions(g->grid.Options() & ~TGridOptions(goHeader));
    aligned("without captions");
    // The wheel over the frozen part scrolls the grid.
    g->grid.verticalScrollBar()->setValue(0);
    QWheelEvent wheel(QPointF(5, 5), frozen->viewport()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(frozen->viewport(), &wheel);
    EXPECT_GT(g->grid.verticalScrollBar()->value(), 0);
    aligned("wheel over the frozen part");
    delete g;
}
