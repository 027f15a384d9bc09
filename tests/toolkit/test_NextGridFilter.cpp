#include "toolkit/NextGrid.h"
#include "toolkit/NextGridFilter.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// Check box, unit name, amount; the rows of a small budget with a totals row.
struct Budget {
    TNextGrid grid;
    TNxCheckBoxColumn* chk = new TNxCheckBoxColumn;
    TNxTextColumn* name = new TNxTextColumn;
    TNxNumberColumn* money = new TNxNumberColumn;

    Budget()
    {
        chk->SetName(QStringLiteral("chk"));
        chk->SetOptions(TColumnOptions(coCanClick) | coCanInput | coEditing);
        chk->SetWidth(24);
        name->SetName(QStringLiteral("ename"));
        name->SetHeaderCaption(QStringLiteral("单位名称"));
        name->SetWidth(120);
        money->SetName(QStringLiteral("budgmoney"));
        money->SetHeaderCaption(QStringLiteral("金额"));
        money->SetFormatMask(QStringLiteral("#,##0.00"));
        money->SetWidth(100);
        grid.Columns().Add(chk);
        grid.Columns().Add(name);
        grid.Columns().Add(money);
        grid.resize(420, 300);
        const QList<std::pair<const char*, const char*>> rows = {
            {"市第一中学", "1000"},   {"市第二中学", "4999.995"}, {"School One", "5000"},
            {"SCHOOL two", "12.5"},   {"人民医院", "-20"},        {"市财政局", ""},
            {"第一中学分校", "999.99"},
        };
        grid.BeginUpdate();
        grid.AddRows(int(rows.size()) + 1);
        for (int r = 0; r < rows.size(); ++r) {
            grid.SetCells(1, r, QString::fromUtf8(rows[r].first));
            grid.SetCells(2, r, QString::fromUtf8(rows[r].second));
        }
        grid.SetCells(1, int(rows.size()), QStringLiteral("合计"));
        grid.SetCells(2, int(rows.size()), QStringLiteral("11991.485"));
        grid.SetFooterRow(int(rows.size()));
        grid.EndUpdate();
    }
    QList<int> Shown() const
    {
        QList<int> out;
        for (int i = 0; i < grid.ShownRowCount(); ++i)
            out << grid.ShownRow(i);
        return out;
    }
};

}  // namespace

TEST(FilterCondition, AmountRangesAreReadTheWayPeopleTypeThem)
{
    struct Case {
        const char* condition;
        const char* cell;
        bool match;
    };
    const Case cases[] = {
        // Inclusive ranges, open ends, comparisons; a plain number means equal.
        {"1000..5000", "1000", true}, {"1000..5000", "5000", true}, {"1000..5000", "999.99", false},
        {"1000..5000", "5000.01", false}, {"1000..", "1e6", true}, {"..-10", "-9", false},
        {">=1000", "1000", true}, {">1000", "1000", false}, {"<500", "499.99", true}, {"<500", "500", false},
        {"<=500", "500", true}, {"=12.5", "12.50", true}, {"12.5", "12.51", false},
        // Compared as the column shows them: 12.504 as 12.50, 0.1+0.2 as 0.30, and
        // 4999.995 (stored a little below) as 4,999.99.
        {"12.5", "12.504", true}, {"0.3", "0.30000000000000004", true}, {"=4999.99", "4999.995", true},
        {">=5000", "4999.995", false}, {"=12.51", "12.505", true}, {"=-0.13", "-0.125", true},
        // Blanks, separators, full-width forms of a Chinese input method, a range
        // given high to low, the other range sign.
        {" >= 1,000 ", "1000", true}, {"＞＝１０００", "1000", true}, {"≤ 5", "5", true},
        {"5000..1000", "3000", true}, {"1000～5000", "3000", true}, {"-500~-100", "-300", true},
        {"１２。５", "12.5", true},
        // A cell without a number is in no range.
        {">=-1e300", "", false}, {">=-1e300", "合计", false},
    };
    for (const Case& c : cases) {
        const TNxFilterCondition f = TNxFilterCondition::Range(QString::fromUtf8(c.condition), 2);
        EXPECT_TRUE(f.Active()) << c.condition;
        EXPECT_EQ(f.Matches(QByteArrayView(c.cell)), c.match) << c.condition << " / " << c.cell;
    }
    // Without decimals the stored value counts.
    EXPECT_FALSE(TNxFilterCondition::Range(QStringLiteral("0.3")).Matches(QByteArrayView("0.30000000000000004")));

    for (const char* bad : {"abc", ">=", "..", "1..2..3", "<>5", "1e400", "nan", "inf", "1000-5000", "=",
                            "10元", ">=1000,<5000x"}) {
        const TNxFilterCondition c = TNxFilterCondition::Range(QString::fromUtf8(bad), 2);
        EXPECT_FALSE(c.Valid()) << bad;
        EXPECT_TRUE(c.Matches(QByteArrayView("1"))) << bad;
    }
    EXPECT_EQ(TNxFilterCondition::Range(QStringLiteral("   ")).ConditionKind(), TNxFilterCondition::Kind::None);
}

TEST(FilterCondition, TextContainsIgnoresLetterCaseAndSurroundingBlanks)
{
    auto contains = [](const char* needle, const char* cell) {
        return TNxFilterCondition::Contains(QString::fromUtf8(needle)).Matches(QByteArrayView(cell));
    };
    EXPECT_TRUE(contains("school", "SCHOOL two"));
    EXPECT_TRUE(contains("ScHoOl", "my school"));
    EXPECT_TRUE(contains(" 中学 ", "市第一中学"));
    EXPECT_TRUE(contains("一中学", "市第一中学"));
    EXPECT_FALSE(contains("二中学", "市第一中学"));
    EXPECT_TRUE(contains("a中", "A中学"));
    EXPECT_TRUE(contains("ärger", "ÄRGER im Amt"));
    EXPECT_FALSE(contains("schools", "school"));
    EXPECT_FALSE(contains("x", ""));
    EXPECT_EQ(TNxFilterCondition::Contains(QStringLiteral(" \t")).ConditionKind(), TNxFilterCondition::Kind::None);
}

TEST(NextGridFilter, TextAndRangeCombineAndTheTotalsRowStaysShownLast)
{
    Budget b;
    QSignalSpy shown(&b.grid, &TNextGrid::shownRowsChanged);
    QSignalSpy texts(&b.grid, &TNextGrid::filterChanged);
    EXPECT_EQ(b.Shown(), (QList<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(b.grid.Filtered());

    EXPECT_TRUE(b.grid.SetColumnFilter(1, QStringLiteral("中学")));
    EXPECT_EQ(b.Shown(), (QList<int>{0, 1, 6, 7}));
    EXPECT_EQ(b.grid.Model()->rowCount(), 4);
    EXPECT_TRUE(b.grid.Filtered());
    EXPECT_TRUE(b.grid.SetColumnFilter(2, QStringLiteral("1000..5000")));
    EXPECT_EQ(b.Shown(), (QList<int>{0, 1, 7}));
    EXPECT_EQ(shown.count(), 2);
    EXPECT_EQ(texts.count(), 2);
    EXPECT_TRUE(b.grid.IsRowShown(1));
    EXPECT_FALSE(b.grid.IsRowShown(6));
    EXPECT_TRUE(b.grid.IsRowShown(7));
    EXPECT_EQ(b.grid.ShownRow(3), -1);
    EXPECT_EQ(b.grid.ShownRow(-1), -1);
    // The view's rows are the shown ones; the store keeps them all.
    EXPECT_EQ(b.grid.Model()->data(b.grid.Model()->index(1, 1)).toString(), QStringLiteral("市第二中学"));
    EXPECT_EQ(b.grid.Model()->data(b.grid.Model()->index(2, 1)).toString(), QStringLiteral("合计"));
    EXPECT_EQ(b.grid.Model()->data(b.grid.Model()->index(1, 2)).toString(), QStringLiteral("4,999.99"));
    EXPECT_EQ(b.grid.RowCount(), 8);
    EXPECT_EQ(b.grid.Cells(1, 6), QStringLiteral("第一中学分校"));

    // The same text again changes nothing and says nothing.
    EXPECT_TRUE(b.grid.SetColumnFilter(2, QStringLiteral("1000..5000")));
    EXPECT_EQ(shown.count(), 2);
    // Latin letters without regard to case; the totals row even when nothing matches.
    b.grid.SetColumnFilter(2, QString());
    b.grid.SetColumnFilter(1, QStringLiteral("school"));
    EXPECT_EQ(b.Shown(), (QList<int>{2, 3, 7}));
    b.grid.SetColumnFilter(1, QStringLiteral("没有这个单位"));
    EXPECT_EQ(b.Shown(), (QList<int>{7}));
    EXPECT_EQ(b.grid.ColumnFilter(1), QStringLiteral("没有这个单位"));
    b.grid.ClearFilters();
    EXPECT_EQ(b.grid.ShownRowCount(), 8);
    EXPECT_TRUE(b.grid.ColumnFilter(1).isEmpty());
    EXPECT_FALSE(b.grid.Filtered());

    // Half typed, a range filters nothing meanwhile; check boxes take no condition.
    b.grid.SetColumnFilter(1, QStringLiteral("市"));
    EXPECT_FALSE(b.grid.SetColumnFilter(2, QStringLiteral(">=")));
    EXPECT_EQ(b.grid.ColumnFilter(2), QStringLiteral(">="));
    EXPECT_FALSE(b.grid.ColumnFilterValid(2));
    EXPECT_EQ(b.Shown(), (QList<int>{0, 1, 5, 7}));
    EXPECT_FALSE(b.grid.SetColumnFilter(0, QStringLiteral("True")));
    EXPECT_FALSE(b.grid.SetColumnFilter(9, QStringLiteral("x")));
    EXPECT_EQ(b.grid.ShownRowCount(), 4);
    b.grid.ClearFilters();

    // A totals row that is not the store's last row is still shown last.
    b.grid.SetFooterRow(0);
    EXPECT_EQ(b.Shown(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 0}));
}

TEST(NextGridFilter, SortingKeepsTheFilterAndTheTotalsRowLast)
{
    Budget b;
    b.grid.SetColumnFilter(1, QStringLiteral("中学"));
    b.grid.SortByColumn(2, false);
    QStringList names;
    for (int i = 0; i < b.grid.ShownRowCount(); ++i)
        names << b.grid.Cells(1, b.grid.ShownRow(i));
    EXPECT_EQ(names, (QStringList{"市第二中学", "市第一中学", "第一中学分校", "合计"}));
    EXPECT_EQ(b.grid.FooterRow(), 7);
    EXPECT_EQ(b.grid.ShownRow(3), 7);
    b.grid.SortByColumn(2, true);
    names.clear();
    for (int i = 0; i < b.grid.ShownRowCount(); ++i)
        names << b.grid.Cells(1, b.grid.ShownRow(i));
    EXPECT_EQ(names, (QStringList{"第一中学分校", "市第一中学", "市第二中学", "合计"}));
    // Clearing the filter shows every row in the sorted order.
    b.grid.ClearFilters();
    EXPECT_EQ(b.grid.ShownRowCount(), 8);
    EXPECT_EQ(b.grid.Cells(1, b.grid.ShownRow(0)), QStringLiteral("人民医院"));
    EXPECT_EQ(b.grid.Cells(1, b.grid.ShownRow(6)), QStringLiteral("市财政局"));   // no number: after the numbers
    EXPECT_EQ(b.grid.Cells(1, b.grid.ShownRow(7)), QStringLiteral("合计"));
}

TEST(NextGridFilter, SelectionAndTicksAddressStoreRowsThroughTheFilter)
{
    Budget b;
    b.grid.SetOptions(TGridOptions(goHeader) | goSelectFullRow);
    b.grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&b.grid));
    b.grid.SelectRow(6);
    b.grid.SetColumnFilter(1, QStringLiteral("中学"));
    // The selected row stayed shown and stays selected, at its new view row.
    EXPECT_EQ(b.grid.SelectedRow(), 6);
    EXPECT_EQ(b.grid.currentIndex().row(), 2);
    b.grid.SelectRow(3);   // hidden: nothing happens
    EXPECT_EQ(b.grid.SelectedRow(), 6);
    b.grid.SelectRow(1);
    EXPECT_EQ(b.grid.SelectedRow(), 1);
    EXPECT_EQ(b.grid.SelectedRows(), QList<int>{1});

    // A click on the second shown row ticks store row 1.
    const QPoint box = b.grid.visualRect(b.grid.Model()->index(1, 0)).center();
    QTest::mouseClick(b.grid.viewport(), Qt::LeftButton, {}, box);
    EXPECT_EQ(b.grid.Cells(0, 1), QStringLiteral("True"));
    EXPECT_EQ(b.grid.Cells(0, 2), QString());
    EXPECT_EQ(b.grid.Model()->data(b.grid.Model()->index(1, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
    // A program write to a hidden row is kept and shows once the row is shown.
    b.grid.SetCells(0, 3, QStringLiteral("True"));
    b.grid.SetColumnFilter(1, QString());
    EXPECT_EQ(b.grid.Model()->data(b.grid.Model()->index(3, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(b.grid.SelectedRow(), 1);
}

TEST(NextGridFilter, ModelPassesTheItemModelTesterWhileTheFilterChanges)
{
    Budget b;
    b.grid.SetOptions(TGridOptions(goHeader) | goSelectFullRow);
    QAbstractItemModelTester tester(b.grid.Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    b.grid.SelectRow(1);
    b.grid.SetColumnFilter(1, QStringLiteral("中学"));
    b.grid.SetColumnFilter(2, QStringLiteral("<=1000"));
    b.grid.SortByColumn(1, true);
    b.grid.SetCells(2, b.grid.ShownRow(0), QStringLiteral("7"));
    b.grid.SetCellColor(2, b.grid.ShownRow(0), Qt::red);
    b.grid.SetCells(2, 4, QStringLiteral("8"));   // hidden row
    b.grid.AddRows(2);
    b.grid.ReapplyFilter();
    b.grid.SetColumnFilter(2, QStringLiteral("<=1000x"));
    b.grid.UserToggleCheck(0, b.grid.ShownRow(0));
    // A load inside a batch is filtered as it ends.
    b.grid.BeginUpdate();
    b.grid.ClearRows();
    b.grid.AddRows(4);
    for (int r = 0; r < 4; ++r)
        b.grid.SetCells(1, r, r % 2 ? QStringLiteral("中学%1").arg(r) : QStringLiteral("医院%1").arg(r));
    b.grid.EndUpdate();
    EXPECT_EQ(b.grid.ShownRowCount(), 2);
    TNxCellStore cells(3);
    cells.AddRows(3);
    cells.SetText(1, 0, QStringLiteral("中学"));
    cells.SetText(1, 2, QStringLiteral("合计"));
    b.grid.AdoptCells(std::move(cells), 2);
    EXPECT_EQ(b.grid.ShownRowCount(), 2);
    EXPECT_EQ(b.grid.ShownRow(1), 2);
    b.grid.ClearFilters();
    b.grid.Columns().Clear();
    EXPECT_EQ(b.grid.ShownRowCount(), 0);
}

TEST(NextGridFilter, ConditionsOutliveARebuildOfTheColumns)
{
    Budget b;
    b.grid.SetColumnFilter(1, QStringLiteral("school"));
    b.grid.SetColumnFilter(2, QStringLiteral(">0"));
    EXPECT_EQ(b.grid.ShownRowCount(), 3);
    // What a reload does: new columns of the same names, rows filled in a batch.
    b.grid.Columns().Clear();
    auto* name = new TNxTextColumn;
    name->SetName(QStringLiteral("ENAME"));
    b.grid.Columns().Add(name);
    EXPECT_EQ(b.grid.ColumnFilter(0), QStringLiteral("school"));
    b.grid.BeginUpdate();
    b.grid.AddRows(3);
    b.grid.SetCells(0, 0, QStringLiteral("a school"));
    b.grid.SetCells(0, 1, QStringLiteral("a hospital"));
    b.grid.SetCells(0, 2, QStringLiteral("SCHOOLS"));
    b.grid.EndUpdate();
    EXPECT_EQ(b.grid.ShownRowCount(), 2);
    EXPECT_EQ(b.grid.ShownRow(1), 2);
    // A column that comes back over rows already there brings its condition.
    auto* money = new TNxNumberColumn;
    money->SetName(QStringLiteral("budgmoney"));
    b.grid.Columns().Add(money);
    EXPECT_EQ(b.grid.ColumnFilter(1), QStringLiteral(">0"));
    EXPECT_EQ(b.grid.ShownRowCount(), 0);
    b.grid.SetCells(1, 2, QStringLiteral("3"));
    b.grid.ReapplyFilter();
    EXPECT_EQ(b.grid.ShownRowCount(), 1);
}

TEST(NextGridFilter, AMillionRowsAreFilteredQuickly)
{
    Budget b;
    constexpr int rows = 1000000;
    TNxCellStore cells(3);
    cells.AddRows(rows + 1);
    const QStringList names = {QStringLiteral("市第一中学"), QStringLiteral("人民医院"), QStringLiteral("School %1"),
                               QStringLiteral("财政局")};
    for (int r = 0; r < rows; ++r) {
        cells.SetText(1, r, names[r % 4].contains(QLatin1Char('%')) ? names[r % 4].arg(r) : names[r % 4]);
        cells.SetText(2, r, QString::number(r % 10000) + QStringLiteral(".25"));
    }
    cells.SetText(1, rows, QStringLiteral("合计"));
    b.grid.AdoptCells(std::move(cells), rows);
    b.grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&b.grid));

    QElapsedTimer t;
    t.start();
    b.grid.SetColumnFilter(1, QStringLiteral("中学"));
    const qint64 text = t.restart();
    EXPECT_EQ(b.grid.ShownRowCount(), rows / 4 + 1);
    b.grid.SetColumnFilter(2, QStringLiteral("1000..1999.25"));
    const qint64 range = t.restart();
    EXPECT_EQ(b.grid.ShownRowCount(), rows / 40 + 1);
    b.grid.SetColumnFilter(1, QStringLiteral("school"));
    const qint64 folded = t.restart();
    b.grid.ClearFilters();
    const qint64 cleared = t.restart();
    EXPECT_EQ(b.grid.ShownRowCount(), rows + 1);
    std::printf("filter 1 000 000 rows: text %lld ms, + range %lld ms, Latin letters %lld ms, clear %lld ms\n",
                qint64(text), qint64(range), qint64(folded), qint64(cleared));
    // Generous: a Debug or sanitizer build on a busy machine.
    EXPECT_LT(text + range + folded + cleared, 8000);
}

TEST(NextGridFilterRow, EditsSitOverTheColumnsAndApplyAfterAPause)
{
    QWidget pane;   // outlives the grid put into it
    Budget b;
    auto* layout = new QVBoxLayout(&pane);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    auto* strip = new TNextGridFilterRow(&b.grid, &pane);
    strip->SetTypingDelay(50);
    b.grid.setParent(&pane);
    layout->addWidget(strip);
    layout->addWidget(&b.grid);
    auto* hidden = new TNxTextColumn;
    hidden->SetName(QStringLiteral("eid"));
    hidden->SetVisible(false);
    b.grid.Columns().Add(hidden);
    pane.resize(300, 300);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    QCoreApplication::processEvents();

    EXPECT_EQ(strip->Editor(0), nullptr);   // check boxes
    EXPECT_EQ(strip->Editor(3), nullptr);   // hidden column
    QLineEdit* name = strip->Editor(1);
    QLineEdit* money = strip->Editor(2);
    ASSERT_NE(name, nullptr);
    ASSERT_NE(money, nullptr);
    EXPECT_EQ(name->placeholderText(), QStringLiteral("包含…"));
    EXPECT_EQ(money->placeholderText(), QStringLiteral("金额范围"));
    EXPECT_LT(strip->geometry().bottom(), b.grid.geometry().top() + 1);

    QHeaderView* h = b.grid.horizontalHeader();
    auto sectionLeft = [&](int col) { return h->viewport()->mapToGlobal(QPoint(h->sectionViewportPosition(col), 0)).x(); };
    auto editLeft = [](QLineEdit* e) { return e->mapToGlobal(QPoint(0, 0)).x(); };
    EXPECT_EQ(editLeft(name), sectionLeft(1));
    EXPECT_EQ(name->width(), h->sectionSize(1));
    EXPECT_EQ(editLeft(money), sectionLeft(2));
    // Resizing a section moves the edits after it; scrolling moves them all.
    h->resizeSection(1, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(name->width(), 200);
    EXPECT_EQ(editLeft(money), sectionLeft(2));
    b.grid.horizontalScrollBar()->setValue(b.grid.horizontalScrollBar()->maximum());
    QCoreApplication::processEvents();
    ASSERT_GT(b.grid.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(editLeft(money), sectionLeft(2));
    EXPECT_GE(editLeft(name), b.grid.viewport()->mapToGlobal(QPoint(0, 0)).x());
    b.grid.horizontalScrollBar()->setValue(0);
    QCoreApplication::processEvents();

    // Typing filters after a pause, not at every key.
    QSignalSpy shown(&b.grid, &TNextGrid::shownRowsChanged);
    // Chinese comes from the input method, committed as a whole.
    auto commit = [](QWidget* w, const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(w, &event);
    };
    name->setFocus();
    commit(name, QStringLiteral("中学"));
    EXPECT_EQ(b.grid.ShownRowCount(), 8);
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.grid.ShownRowCount() == 4; }, 2000));
    EXPECT_EQ(shown.count(), 1);
    // Enter applies at once; a range that is no range is marked and filters nothing.
    QTest::keyClicks(money, QStringLiteral(">=1000"));
    QTest::keyClick(money, Qt::Key_Return);
    EXPECT_EQ(b.grid.ShownRowCount(), 3);
    commit(money, QStringLiteral("元"));
    QTest::keyClick(money, Qt::Key_Return);
    EXPECT_EQ(b.grid.ShownRowCount(), 4);
    EXPECT_TRUE(money->property("nxInvalid").toBool());
    EXPECT_TRUE(money->toolTip().startsWith(QStringLiteral("无效")));
    EXPECT_NE(money->palette().color(QPalette::Base), name->palette().color(QPalette::Base));
    // A box whose condition is in force is marked; Esc clears every condition.
    EXPECT_TRUE(name->property("nxActive").toBool());
    EXPECT_FALSE(money->property("nxActive").toBool());
    QTest::keyClick(money, Qt::Key_Escape);
    EXPECT_TRUE(money->text().isEmpty());
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_FALSE(money->property("nxInvalid").toBool());
    EXPECT_FALSE(name->property("nxActive").toBool());
    EXPECT_EQ(b.grid.ShownRowCount(), 8);

    // Conditions set on the grid show in the edits; the edits survive a reload
    // of columns with the same names.
    b.grid.SetColumnFilter(2, QStringLiteral("<0"));
    EXPECT_EQ(money->text(), QStringLiteral("<0"));
    EXPECT_EQ(b.grid.ShownRowCount(), 2);
    // Hiding the strip takes its conditions away.
    strip->SetShown(false);
    EXPECT_FALSE(strip->isVisible());
    EXPECT_EQ(b.grid.ShownRowCount(), 8);
    EXPECT_TRUE(money->text().isEmpty());
    strip->SetShown(true);
    EXPECT_TRUE(strip->isVisible());
    // A column shown later gets its edit.
    hidden->SetVisible(true);
    ASSERT_NE(strip->Editor(3), nullptr);
    EXPECT_EQ(strip->Editor(3)->objectName(), QStringLiteral("filter_eid"));
}
