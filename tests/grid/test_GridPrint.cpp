#include "grid/untGridPrint.h"

#include "tests/grid/OutputReaders.h"
#include "toolkit/NextGrid.h"

#include <QDateTime>
#include <QDir>
#include <QPrinter>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

namespace {

const TGridPrintHeading kHeading{QStringLiteral("支付范围划分确认"),
                                 QStringLiteral("单位：101001 市教育局本级　指标类型：预算数　明细　未确认"),
                                 QStringLiteral("amount"), QStringLiteral("张会计"),
                                 QDateTime(QDate(2026, 12, 9), QTime(14, 30))};

// Done: the file is there; false with the error text otherwise.
bool PrintToPdf(const TNextGrid& grid, const QString& file, QString* error)
{
    const TResult<TOutputEnd> r = PrintGridToPdf(grid, kHeading, file);
    *error = r.Error().Message;
    return r && r.Value() == TOutputEnd::Done;
}

// Pages of rows (the totals row one of them), and one more when the closing
// lines (capitals, sign-off) do not fit under the last row.
int PagesFor(int rowsWithTotal, int perPage)
{
    const int rowPages = (rowsWithTotal + perPage - 1) / perPage;
    const int onLast = rowsWithTotal - (rowPages - 1) * perPage;
    return rowPages + (onLast + 4 > perPage ? 1 : 0);
}

void AddColumn(TNextGrid& g, TNxCustomColumn* c, const QString& name, const QString& caption, int width)
{
    c->SetName(name);
    c->SetHeaderCaption(caption);
    c->SetWidth(width);
    g.Columns().Add(c);
}

// Codes R0001... that appear nowhere else on a page, an amount, and the totals row.
void FillRecords(TNextGrid& g, int rows)
{
    AddColumn(g, new TNxCheckBoxColumn, QStringLiteral("chk"), QString(), 20);
    AddColumn(g, new TNxTextColumn, QStringLiteral("code"), QStringLiteral("编号"), 70);
    AddColumn(g, new TNxTextColumn, QStringLiteral("name"), QStringLiteral("单位名称"), 160);
    auto* money = new TNxNumberColumn;
    money->SetFormatMask(QStringLiteral("#,##0.00"));
    AddColumn(g, money, QStringLiteral("amount"), QStringLiteral("指标金额(元)"), 120);
    g.AddRows(rows + 1);
    for (int r = 0; r < rows; ++r) {
        g.SetCells(1, r, QStringLiteral("R%1").arg(r + 1, 4, 10, QLatin1Char('0')));
        g.SetCells(2, r, QStringLiteral("市第一中学"));
        g.SetCells(3, r, QStringLiteral("1000.5"));
    }
    g.SetCells(1, rows, QStringLiteral("合计"));
    g.SetCells(3, rows, QString::number(1000.5 * rows, 'f', 2));
    g.SetFooterRow(rows);
}

QStringList Codes(const QString& text)
{
    QStringList out;
    static const QRegularExpression code(QStringLiteral("\\bR\\d{4}\\b"));
    for (auto it = code.globalMatch(text); it.hasNext();)
        out << it.next().captured();
    return out;
}

QByteArray ReadAll(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(GridPrint, EveryRowOnceWithHeadingCaptionsAndPageNumbersOnEveryPage)
{
    QTemporaryDir dir;
    TNextGrid grid;
    const int rows = 250;
    FillRecords(grid, rows);
    const QString pdf = dir.filePath(QStringLiteral("records.pdf"));
    QString error;
    ASSERT_TRUE(PrintToPdf(grid, pdf, &error)) << error.toStdString();

    const outputcheck::PdfInfo info = outputcheck::ReadPdfInfo(pdf);
    ASSERT_GT(info.pages, 1);
    EXPECT_EQ(info.size, QStringLiteral("595 x 842")) << "three narrow columns fit an upright A4 page";
    QStringList all;
    int perPage = 0;
    for (int page = 1; page <= info.pages; ++page) {
        SCOPED_TRACE(page);
        const QString text = outputcheck::PdfPageText(pdf, page);
        EXPECT_TRUE(text.contains(kHeading.Title));
        EXPECT_TRUE(text.contains(QStringLiteral("指标类型：预算数")));
        for (const char* caption : {"编号", "单位名称", "指标金额(元)"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(caption))) << caption;
        EXPECT_TRUE(text.contains(QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(info.pages)));
        EXPECT_TRUE(text.contains(QStringLiteral("打印时间：2026-12-09 14:30")));
        // Signed once, under the last row: the total in capitals, who made the list, who reviews and approves it.
        for (const char* closing : {"合计（大写）：人民币贰拾伍万零壹佰贰拾伍元整", "制表人：张会计", "审核人：", "负责人："})
            EXPECT_EQ(text.contains(QString::fromUtf8(closing)), page == info.pages) << closing;
        const QStringList codes = Codes(text);
        if (page == 1) {
            perPage = int(codes.size());
        } else if (page < info.pages) {
            EXPECT_EQ(codes.size(), perPage);
        }
        all << codes;
    }
    EXPECT_TRUE(outputcheck::PdfPageText(pdf, 1).contains(QStringLiteral("1,000.50")));
    EXPECT_TRUE(outputcheck::PdfPageText(pdf, info.pages).contains(QStringLiteral("250,125.00")));
    // Every row once, in order; the totals row takes a line of the last page.
    ASSERT_EQ(all.size(), rows);
    for (int r = 0; r < rows; ++r)
        EXPECT_EQ(all[r], QStringLiteral("R%1").arg(r + 1, 4, 10, QLatin1Char('0')));
    EXPECT_EQ(info.pages, PagesFor(rows + 1, perPage));
    // The closing lines never part from each other.
    const QString last = outputcheck::PdfPageText(pdf, info.pages);
    EXPECT_LT(last.indexOf(QStringLiteral("合计（大写）")), last.indexOf(QStringLiteral("制表人")));

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    ChooseOrientation(grid.Snapshot(), printer);
    const TGridPageLayout layout = GridPageLayout(grid.Snapshot(), printer);
    EXPECT_EQ(layout.RowsPerPage, perPage);
    EXPECT_EQ(layout.PageCount, info.pages);
}

TEST(GridPrint, WideGridsTurnTheSheetAndStillShowEveryColumn)
{
    QTemporaryDir dir;
    TNextGrid wide;
    for (int c = 1; c <= 20; ++c)
        AddColumn(wide, new TNxTextColumn, QStringLiteral("c%1").arg(c), QStringLiteral("列%1").arg(c, 2, 10, QLatin1Char('0')),
                  100);
    wide.AddRows(1);
    const QString pdf = dir.filePath(QStringLiteral("wide.pdf"));
    QString error;
    ASSERT_TRUE(PrintToPdf(wide, pdf, &error)) << error.toStdString();
    const outputcheck::PdfInfo info = outputcheck::ReadPdfInfo(pdf);
    EXPECT_EQ(info.pages, 1);
    EXPECT_EQ(info.size, QStringLiteral("842 x 595"));
    const QString text = outputcheck::PdfPageText(pdf, 1);
    for (int c = 1; c <= 20; ++c)
        EXPECT_TRUE(text.contains(QStringLiteral("列%1").arg(c, 2, 10, QLatin1Char('0')))) << c;

    // No rows at all: one page with the heading and the captions.
    TNextGrid empty;
    AddColumn(empty, new TNxTextColumn, QStringLiteral("code"), QStringLiteral("编号"), 70);
    const QString blank = dir.filePath(QStringLiteral("empty.PDF"));
    ASSERT_TRUE(PrintToPdf(empty, blank, &error)) << error.toStdString();
    EXPECT_EQ(outputcheck::ReadPdfInfo(blank).pages, 1);
    EXPECT_TRUE(outputcheck::PdfPageText(blank, 1).contains(QStringLiteral("第 1 页，共 1 页")));
}

TEST(GridPrint, AFailedPrintLeavesNoFileAndKeepsAnExistingOne)
{
    QTemporaryDir dir;
    TNextGrid grid;
    FillRecords(grid, 3);
    QString error;
    EXPECT_FALSE(PrintToPdf(grid, dir.filePath(QStringLiteral("x.ps")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral(".pdf"))) << error.toStdString();

    const QString kept = dir.filePath(QStringLiteral("kept.pdf"));
    {
        QFile f(kept);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier print");
    }
    for (int c = 0; c < grid.Columns().Count(); ++c)
        grid.Columns().Item(c)->SetVisible(false);
    EXPECT_FALSE(PrintToPdf(grid, kept, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("没有可打印的列"))) << error.toStdString();
    EXPECT_EQ(ReadAll(kept), QByteArray("earlier print"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kept.pdf")});
}
