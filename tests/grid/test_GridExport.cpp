#include "grid/untGridExport.h"

#include "data/untDefData.h"
#include "data/untDemoData.h"
#include "forms/bwnVeltrane.h"
#include "grid/untViewColumns.h"
#include "records/untRecordSql.h"
#include "grid/untNextGridManager.h"
#include "tests/DefConnectionScope.h"
#include "tests/grid/OutputReaders.h"
#include "toolkit/Decimal.h"
#include "toolkit/Forms.h"
#include "toolkit/NextGrid.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <cmath>
#include <iostream>

namespace {

// How an export ended, and its error text.
enum class Ended { Done, Failed, Cancelled };
Ended Export(const TNextGrid& grid, const QString& file, QString* error, const TExportProgress& progress = {},
             const TGridPrintHeading& heading = {})
{
    const TResult<TOutputEnd> r = ExportGrid(grid, file, progress, heading);
    *error = r.Error().Message;
    return !r ? Ended::Failed : r.Value() == TOutputEnd::Done ? Ended::Done : Ended::Cancelled;
}

// A host with a demo database as "Def", and an application object whose
// program folder holds no layout file.
struct DemoHost {
    QTemporaryDir dir;
    TDbManager manager;
    TApplication app;
    std::optional<testsupport::DefConnectionScope> def;

    explicit DemoHost(int records)
    {
        const QString db = dir.filePath(QStringLiteral("demo.sqlite"));
        QString error;
        EXPECT_TRUE(CreateDemoDatabase(db, records, &error)) << error.toStdString();
        manager.ConnectionString = QStringLiteral("Provider=SQLite;Data Source=") + db;
        app.SetExeName(dir.filePath(QStringLiteral("veltrane-host")));
        def.emplace(manager);
    }
};

// The window's grid of one view for the demo operator's unit range, loaded as the window loads it.
std::unique_ptr<TNextGridManager> LoadView(DemoHost& host, TNextGrid& grid, bool detail)
{
    auto m = std::make_unique<TNextGridManager>(&host.app, detail ? DetailColumnTable(false) : SummaryColumnTable(),
                                                QStringLiteral("ngdBudgetAdj"));
    m->CreateColumns(&grid);
    TRecordFilter f;
    f.Detail = detail;
    f.UnitCode = QStringLiteral("101");
    f.BType = QStringLiteral("1");
    f.DeptClass = QStringLiteral("2");
    f.DataYear = DemoDefaultYear;
    EXPECT_TRUE(m->LoadRows(&grid, RecordQuerySQL(DefConnection(), f), true, false, true));
    return m;
}

struct View {
    bool detail;
    QStringList captions;
    QStringList fields;
};

const View kSummary{false,
                    {"预算编码", "科目编码", "科目名称", "项目编码", "项目名称", "资金性质", "预算来源", "支出类型",
                     "支付方式", "指标金额(元)", "指标金额(万元)", "序号"},
                    {"eid", "bid", "bname", "iid", "iname", "mname", "bkname", "ipname", "pname", "budgmoney",
                     "budgmoney_wy", "NumId"}};
const View kDetail{true,
                   {"编号", "预算编码", "单位名称", "科目编码", "科目名称", "项目编码", "项目名称", "预算来源",
                    "资金性质", "支出类型", "支付方式", "指标金额(元)", "指标金额(万元)", "录入日期", "指标文号",
                    "指标子类型", "密级", "序号"},
                   {"budgid", "eid", "ename", "bid", "bname", "iid", "iname", "bkname", "mname", "ipname", "pname",
                    "budgmoney", "budgmoney_wy", "inputdate", "filename", "child", "secret", "NumId"}};

TNxCustomColumn* AddColumn(TNextGrid& g, TNxCustomColumn* c, const char* name, const char* caption, int width)
{
    c->SetName(QString::fromUtf8(name));
    c->SetHeaderCaption(QString::fromUtf8(caption));
    c->SetWidth(width);
    g.Columns().Add(c);
    return c;
}

TNxNumberColumn* Money()
{
    auto* n = new TNxNumberColumn;
    n->SetFormatMask(QStringLiteral("#,##0.00"));
    return n;
}

// Check box, two texts, a hidden text and an amount, with texts that quoting,
// number detection and the formula guard must get right.
void FillTricky(TNextGrid& g)
{
    AddColumn(g, new TNxCheckBoxColumn, "chk", "", 20);
    AddColumn(g, new TNxTextColumn, "code", "编码", 60);
    AddColumn(g, new TNxTextColumn, "secret", "隐藏", 60)->SetVisible(false);
    AddColumn(g, Money(), "amount", "金额", 100);
    AddColumn(g, new TNxTextColumn, "name", "名称", 150);
    // The user dragged 名称 to the front.
    g.horizontalHeader()->moveSection(g.horizontalHeader()->visualIndex(4), 1);
    const QStringList rows[] = {
        {"True", "001", "HIDDEN", "1234.5", "a,b"},
        {"", "010", "HIDDEN", "-5.25", "say \"hi\""},
        {"True", "=1+2", "HIDDEN", "n/a", "line1\nline2"},
        {"", "@sum", "HIDDEN", "", " padded "},
        {"", "合计", "", "1229.25", ""},
    };
    g.AddRows(5);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c)
            g.SetCells(c, r, rows[r][c]);
    g.SetFooterRow(4);
}

QByteArray ReadAll(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& file, const QByteArray& bytes)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Every entry of a folder, hidden ones included: a left-over temporary file shows.
QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString Str(const QJsonValue& cell) { return cell.toArray().at(0).toString(); }

}  // namespace

TEST(GridExport, BothViewsOfTheDemoDatabaseReadBackCellForCell)
{
    DemoHost h(300);
    for (const View& view : {kSummary, kDetail}) {
        SCOPED_TRACE(view.detail ? "detail" : "summary");
        TNextGrid grid;
        const auto manager = LoadView(h, grid, view.detail);
        ASSERT_GT(grid.RowCount(), 10);
        ASSERT_TRUE(manager->TotalRowAdded());
        const QString xlsx = h.dir.filePath(QStringLiteral("view.xlsx"));
        QString error;
        ASSERT_EQ(Export(grid, xlsx, &error, {}, TGridPrintHeading{QStringLiteral("支付范围划分确认"), QString(), QStringLiteral("budgmoney"), QString(), {}}), Ended::Done)
            << error.toStdString();

        const QJsonObject book = outputcheck::ReadXlsx(xlsx);
        EXPECT_EQ(book[QStringLiteral("sheets")].toArray().at(0).toString(), QStringLiteral("支付范围划分确认"));
        EXPECT_EQ(book[QStringLiteral("freeze")].toString(), QStringLiteral("A2"));
        const QJsonArray rows = book[QStringLiteral("rows")].toArray();
        // The header, the rows with the totals last, the total in capitals.
        ASSERT_EQ(rows.size(), grid.RowCount() + 2);
        // The filter covers the header and the rows, not the totals.
        EXPECT_EQ(book[QStringLiteral("filter")].toString(),
                  QStringLiteral("A1:%1%2").arg(QChar(char16_t(u'A' + view.captions.size() - 1))).arg(grid.RowCount()));
        const QJsonArray header = rows.at(0).toArray();
        ASSERT_EQ(header.size(), view.captions.size());
        std::vector<int> cols;
        for (int j = 0; j < view.captions.size(); ++j) {
            EXPECT_EQ(Str(header.at(j)), view.captions[j]);
            EXPECT_TRUE(header.at(j).toArray().at(3).toBool()) << "header bold";
            cols.push_back(grid.Columns().FindByName(view.fields[j]));
            ASSERT_GE(cols.back(), 0);
            // Character widths of a 7-pixel digit: the grid's pixels again within one.
            const double width = book[QStringLiteral("widths")].toArray().at(j).toDouble();
            EXPECT_NEAR(width * 7, grid.Columns().Item(cols.back())->Width(), 1.0) << view.fields[j].toStdString();
        }

        bool leadingZeroCode = false;
        double sums[2] = {0, 0};
        for (int r = 0; r < grid.RowCount(); ++r) {
            const QJsonArray row = rows.at(r + 1).toArray();
            const bool total = r == grid.RowCount() - 1;
            for (int j = 0; j < int(cols.size()); ++j) {
                const QJsonArray cell = row.at(j).toArray();
                const QString text = grid.Cells(cols[size_t(j)], r);
                const bool money = view.fields[j].startsWith(QLatin1String("budgmoney"));
                SCOPED_TRACE(QStringLiteral("row %1 %2 '%3'").arg(r).arg(view.fields[j], text).toStdString());
                EXPECT_EQ(cell.at(3).toBool(), total) << "only the totals row is bold";
                if (text.isEmpty()) {
                    EXPECT_TRUE(cell.at(0).isNull());
                } else if (money && total) {
                    // A total is the formula that follows a filter, with its value for readers that do not calculate.
                    const QString letter = QChar(char16_t(u'A' + j));
                    EXPECT_EQ(cell.at(0).toString(), QStringLiteral("=SUBTOTAL(109,%1%2:%1%3)").arg(letter).arg(2).arg(r + 1));
                    EXPECT_NEAR(cell.at(4).toDouble(), text.toDouble(), std::fabs(text.toDouble()) * 1e-15);
                    EXPECT_EQ(cell.at(2).toString(), QStringLiteral("#,##0.00"));
                } else if (money) {
                    EXPECT_EQ(cell.at(1).toString(), QStringLiteral("n"));
                    // The library writes 16 significant digits: a stored 10.049603999999999
                    // (a division's noise) comes back as 10.049604.
                    EXPECT_NEAR(cell.at(0).toDouble(), text.toDouble(), std::fabs(text.toDouble()) * 1e-15);
                    EXPECT_EQ(cell.at(2).toString(), QStringLiteral("#,##0.00"));
                    sums[view.fields[j] == QLatin1String("budgmoney") ? 0 : 1] += cell.at(0).toDouble();
                } else if (view.fields[j] == QLatin1String("NumId")) {
                    // 序号 sorts as a number.
                    EXPECT_EQ(cell.at(1).toString(), QStringLiteral("n"));
                    EXPECT_EQ(cell.at(0).toInt(), text.toInt());
                } else if (view.fields[j] == QLatin1String("inputdate")) {
                    EXPECT_EQ(cell.at(1).toString(), QStringLiteral("d"));
                    EXPECT_EQ(cell.at(0).toString(), text + QStringLiteral(" 00:00:00"));
                    EXPECT_EQ(cell.at(2).toString(), QStringLiteral("yyyy-mm-dd"));
                } else {
                    EXPECT_EQ(cell.at(1).toString(), QStringLiteral("s"));
                    EXPECT_EQ(cell.at(0).toString(), text);
                    leadingZeroCode = leadingZeroCode || (text.size() > 1 && text.startsWith(QLatin1Char('0')));
                }
            }
        }
        EXPECT_TRUE(leadingZeroCode) << "the demo data should hold codes such as 002";
        const QJsonArray totals = rows.at(rows.size() - 2).toArray();
        EXPECT_EQ(Str(totals.at(0)), QStringLiteral("合计"));
        const int money = int(view.fields.indexOf(QStringLiteral("budgmoney")));
        EXPECT_NEAR(totals.at(money).toArray().at(4).toDouble(), sums[0], 0.005);
        EXPECT_NEAR(totals.at(money + 1).toArray().at(4).toDouble(), sums[1], 0.005);
        const QString capitals = Str(rows.at(rows.size() - 1).toArray().at(0));
        EXPECT_EQ(capitals, QStringLiteral("合计（大写）：")
                                + ChineseCapitals(TDecimalSum::CentsOf(grid.Cells(cols[size_t(money)], grid.RowCount() - 1))));

        // The CSV of the same grid: the raw stored texts, header first, totals last.
        const QString csv = h.dir.filePath(QStringLiteral("view.CSV"));
        ASSERT_EQ(Export(grid, csv, &error), Ended::Done) << error.toStdString();
        const QByteArray bytes = ReadAll(csv);
        EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
        EXPECT_EQ(bytes.count("\r\n"), grid.RowCount() + 1);
        const QList<QStringList> lines = outputcheck::ReadCsv(csv);
        ASSERT_EQ(lines.size(), grid.RowCount() + 1);
        EXPECT_EQ(lines[0], view.captions);
        for (int r = 0; r < grid.RowCount(); ++r) {
            QStringList expected;
            for (int c : cols)
                expected << grid.Cells(c, r);
            EXPECT_EQ(lines[r + 1], expected) << "row " << r;
        }
    }
}

TEST(GridExport, ViewOrderQuotingNumbersAndFormulaLikeTextsInBothFormats)
{
    QTemporaryDir dir;
    TNextGrid grid;
    FillTricky(grid);

    const QString csv = dir.filePath(QStringLiteral("t.csv"));
    QString error;
    ASSERT_EQ(Export(grid, csv, &error), Ended::Done) << error.toStdString();
    // Names first as the user placed them; no check box, no hidden column; texts
    // that would start a formula in a spreadsheet are kept as texts by an apostrophe.
    EXPECT_EQ(ReadAll(csv), QByteArray("\xEF\xBB\xBF"
                                       "名称,编码,金额\r\n"
                                       "\"a,b\",001,1234.5\r\n"
                                       "\"say \"\"hi\"\"\",010,-5.25\r\n"
                                       "\"line1\nline2\",'=1+2,n/a\r\n"
                                       " padded ,'@sum,\r\n"
                                       ",合计,1229.25\r\n"));

    const QString xlsx = dir.filePath(QStringLiteral("t.XLSX"));
    ASSERT_EQ(Export(grid, xlsx, &error), Ended::Done) << error.toStdString();
    const QJsonArray rows = outputcheck::ReadXlsx(xlsx)[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 6);
    auto cell = [&rows](int r, int c) { return rows.at(r).toArray().at(c).toArray(); };
    EXPECT_EQ(Str(cell(0, 0)), QStringLiteral("名称"));
    EXPECT_EQ(Str(cell(0, 1)), QStringLiteral("编码"));
    EXPECT_EQ(Str(cell(0, 2)), QStringLiteral("金额"));
    EXPECT_EQ(rows.at(0).toArray().size(), 3);
    EXPECT_EQ(Str(cell(1, 0)), QStringLiteral("a,b"));
    EXPECT_EQ(Str(cell(1, 1)), QStringLiteral("001"));
    EXPECT_EQ(cell(1, 2).at(0).toDouble(), 1234.5);
    EXPECT_EQ(cell(2, 2).at(0).toDouble(), -5.25);
    EXPECT_EQ(Str(cell(2, 0)), QStringLiteral("say \"hi\""));
    // In a workbook a text is a text: no apostrophe, no formula.
    EXPECT_EQ(Str(cell(3, 1)), QStringLiteral("=1+2"));
    EXPECT_EQ(cell(3, 1).at(1).toString(), QStringLiteral("s"));
    EXPECT_EQ(Str(cell(3, 0)), QStringLiteral("line1\nline2"));
    // A number column's cell that holds no number stays what it says.
    EXPECT_EQ(Str(cell(3, 2)), QStringLiteral("n/a"));
    EXPECT_EQ(cell(3, 2).at(1).toString(), QStringLiteral("s"));
    EXPECT_EQ(Str(cell(4, 0)), QStringLiteral(" padded "));
    EXPECT_TRUE(cell(4, 2).at(0).isNull());
    EXPECT_EQ(Str(cell(5, 1)), QStringLiteral("合计"));
    EXPECT_TRUE(cell(5, 1).at(3).toBool());
    EXPECT_TRUE(cell(5, 2).at(3).toBool());
    EXPECT_EQ(Str(cell(5, 2)), QStringLiteral("=SUBTOTAL(109,C2:C5)"));
    EXPECT_EQ(cell(5, 2).at(4).toDouble(), 1229.25);

    EXPECT_EQ(ExportFormatOf(QStringLiteral("a.Xlsx")), TExportFormat::Xlsx);
    EXPECT_EQ(ExportFormatOf(QStringLiteral("/x.y/a.csv")), TExportFormat::Csv);
    EXPECT_EQ(ExportFormatOf(QStringLiteral("/x.csv/a")), TExportFormat::Unknown);
    EXPECT_EQ(ExportFormatOf(QStringLiteral("a.xls")), TExportFormat::Unknown);
}

TEST(GridExport, FailuresTellWhyAndLeaveNoFileWhileAnExistingOneStaysAsItWas)
{
    QTemporaryDir dir;
    TNextGrid grid;
    FillTricky(grid);
    QString error;

    EXPECT_EQ(Export(grid, dir.filePath(QStringLiteral("a.txt")), &error), Ended::Failed);
    EXPECT_TRUE(error.contains(QStringLiteral("不支持的导出格式"))) << error.toStdString();

    EXPECT_EQ(Export(grid, dir.filePath(QStringLiteral("missing/a.xlsx")), &error), Ended::Failed);
    EXPECT_TRUE(error.startsWith(QStringLiteral("无法写入文件"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("不存在"))) << error.toStdString();

    Write(dir.filePath(QStringLiteral("plain")), "x");
    EXPECT_EQ(Export(grid, dir.filePath(QStringLiteral("plain/a.csv")), &error), Ended::Failed);
    EXPECT_TRUE(error.contains(QStringLiteral("不是文件夹"))) << error.toStdString();

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.xlsx")));
    EXPECT_EQ(Export(grid, dir.filePath(QStringLiteral("folder.xlsx")), &error), Ended::Failed);
    EXPECT_TRUE(error.contains(QStringLiteral("同名的文件夹"))) << error.toStdString();
    EXPECT_EQ(Entries(dir.path()), (QStringList{QStringLiteral("folder.xlsx"), QStringLiteral("plain")}));

    // A cell longer than Excel takes fails the workbook half-way; the old file stays.
    const QString kept = dir.filePath(QStringLiteral("kept.xlsx"));
    Write(kept, "the previous export");
    ASSERT_TRUE(QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    grid.SetCells(4, 3, QString(40000, QLatin1Char('x')));
    EXPECT_EQ(Export(grid, kept, &error), Ended::Failed);
    EXPECT_TRUE(error.contains(QStringLiteral("第 4 行“名称”列"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("32767"))) << error.toStdString();
    EXPECT_EQ(ReadAll(kept), QByteArray("the previous export"));

    // Cancelled at the last report, every row written: nothing new, the old file as it was.
    grid.SetCells(4, 3, QStringLiteral("short"));
    const auto cancel = [](int done, int total) { return done < total; };
    EXPECT_EQ(Export(grid, kept.chopped(4) + QStringLiteral("csv"), &error, cancel), Ended::Cancelled);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(Export(grid, kept, &error, cancel), Ended::Cancelled);
    EXPECT_EQ(ReadAll(kept), QByteArray("the previous export"));
    EXPECT_EQ(Entries(dir.path()),
              (QStringList{QStringLiteral("folder.xlsx"), QStringLiteral("kept.xlsx"), QStringLiteral("plain")}));

    // A complete export replaces the file and keeps its permissions.
    ASSERT_EQ(Export(grid, kept, &error), Ended::Done) << error.toStdString();
    EXPECT_TRUE(ReadAll(kept).startsWith("PK"));
    const QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                        | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                        | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(kept) & modeBits, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QString fresh = dir.filePath(QStringLiteral("fresh.csv"));
    ASSERT_EQ(Export(grid, fresh, &error), Ended::Done);
    EXPECT_TRUE(QFile::permissions(fresh) & QFile::ReadOther);
}

TEST(GridExport, ProgressRunsToTheEndAndAReloadDuringItStopsTheExport)
{
    QTemporaryDir dir;
    TNextGrid grid;
    AddColumn(grid, new TNxTextColumn, "code", "编码", 60);
    AddColumn(grid, Money(), "amount", "金额", 100);
    const int rows = 5000;
    grid.BeginUpdate();
    grid.AddRows(rows);
    for (int r = 0; r < rows; ++r) {
        grid.SetCells(0, r, QString::number(r));
        grid.SetCells(1, r, QString::number(r * 1.5));
    }
    grid.EndUpdate();

    std::vector<std::pair<int, int>> reports;
    QString error;
    ASSERT_EQ(Export(grid, dir.filePath(QStringLiteral("p.xlsx")), &error,
                         [&reports](int done, int total) {
                             reports.emplace_back(done, total);
                             return true;
                         }),
              Ended::Done);
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports.front(), std::make_pair(0, rows));
    EXPECT_EQ(reports.back(), std::make_pair(rows, rows));

    // Events run in the callback reload the grid: the file holds the rows shown
    // when the export began, all of them, and nothing of the reload.
    const QString target = dir.filePath(QStringLiteral("reloaded.csv"));
    int calls = 0;
    EXPECT_EQ(Export(grid, target, &error,
                         [&](int, int) {
                             if (++calls == 2)
                                 grid.ClearRows();
                             return true;
                         }),
              Ended::Done);
    EXPECT_EQ(grid.RowCount(), 0);
    QFile csv(target);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count("\r\n"), rows + 1);
}

TEST(GridExport, HundredThousandRowsOfEighteenColumns)
{
    QTemporaryDir dir;
    TNextGrid grid;
    AddColumn(grid, new TNxCheckBoxColumn, "chk", "", 20);
    for (int c = 0; c < 18; ++c) {
        const QByteArray name = "c" + QByteArray::number(c);
        if (c % 3 == 2)
            AddColumn(grid, Money(), name.constData(), "金额", 100);
        else
            AddColumn(grid, new TNxTextColumn, name.constData(), "名称", 80);
    }
    const int rows = 100000;
    grid.BeginUpdate();
    grid.AddRows(rows + 1);
    for (int r = 0; r < rows; ++r)
        for (int c = 1; c <= 18; ++c)
            grid.SetCells(c, r, c % 3 == 0 ? QString::number(r * 0.01 + c, 'f', 2)
                                           : QStringLiteral("单位%1-%2").arg(r).arg(c));
    grid.SetCells(1, rows, QStringLiteral("合计"));
    grid.EndUpdate();
    grid.SetFooterRow(rows);

    for (const char* name : {"big.xlsx", "big.csv"}) {
        const QString file = dir.filePath(QLatin1String(name));
        QElapsedTimer t;
        t.start();
        QString error;
        ASSERT_EQ(Export(grid, file, &error), Ended::Done) << error.toStdString();
        const qint64 ms = t.elapsed();
        std::cout << "[ export   ] " << name << ": " << rows << " rows x 18 columns in " << ms << " ms, "
                  << QFileInfo(file).size() / 1024 << " KiB" << std::endl;
    }
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("big.csv"))).count("\r\n"), rows + 2);
    // The sheet's extent, read from the package by Python's zipfile.
    const QString python = outputcheck::Python();
    ASSERT_FALSE(python.isEmpty()) << "python3 is needed to open the workbook";
    const outputcheck::Run r = outputcheck::RunTool(
        python, {QStringLiteral("-c"),
                 QStringLiteral("import re, sys, zipfile\n"
                                "head = zipfile.ZipFile(sys.argv[1]).open('xl/worksheets/sheet1.xml').read(2000)\n"
                                "print(re.search(rb'<dimension ref=\"([^\"]+)\"', head).group(1).decode())"),
                 dir.filePath(QStringLiteral("big.xlsx"))});
    EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), QStringLiteral("A1:R100002")) << r.err.toStdString();
}
