// export and print through the real host and module: the files hold what the
// database holds for the window's view, read back by independent readers.
#include "tests/grid/OutputReaders.h"
#include "tests/host/HostProcess.h"
#include "toolkit/Decimal.h"
#include <gtest/gtest.h>
#include <QMap>
#include <QTemporaryDir>
#include <cmath>

namespace {

class Output : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        database = dir->filePath(QStringLiteral("demo.sqlite"));
        ASSERT_TRUE(hostproc::CreateDemo(database, 600));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static QString File(const char* name) { return dir->filePath(QLatin1String(name)); }

    // The unconfirmed budget-type-1 records of the units the top node of the
    // tree shows (101 to 104 for the demo's operator): budgid -> amount.
    static QMap<QString, double> Records()
    {
        hostproc::Db db(database);
        QSqlQuery q(db.Handle());
        EXPECT_TRUE(q.exec(QStringLiteral("select budgid, budgmoney from BusiBudgetAdj where datayear=2024 "
                                          "and (eid like '101%' or eid like '102%' or eid like '103%' or "
                                          "eid like '104%') and BType='1' and status='0'")));
        QMap<QString, double> out;
        while (q.next())
            out.insert(q.value(0).toString(), q.value(1).toDouble());
        return out;
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QString database;
};

// The table of a workbook, below its heading (title, details, a blank line).
QJsonArray Table(const QString& file)
{
    QJsonArray rows = outputcheck::ReadXlsx(file)[QStringLiteral("rows")].toArray();
    for (int i = 0; i < 3 && !rows.isEmpty(); ++i)
        rows.removeFirst();
    return rows;
}

int ColumnOf(const QJsonArray& header, const QString& caption)
{
    for (int j = 0; j < header.size(); ++j)
        if (header.at(j).toArray().at(0).toString() == caption)
            return j;
    return -1;
}

}  // namespace

TEST_F(Output, ExportOfTheSummaryAndDetailViewsHoldsTheDatabasesRecords)
{
    const hostproc::Result r = hostproc::Script(
        database, QStringLiteral("open\nselect top\nexport %1\nmode detail\nexport %2\nexport %3\n")
                      .arg(File("summary.xlsx"), File("detail.xlsx"), File("detail.csv")));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QMap<QString, double> records = Records();
    ASSERT_GT(records.size(), 50);
    double sum = 0;
    for (double v : records)
        sum += v;

    // The workbook's heading (title, details, a blank line) comes first.
    const QJsonArray detail = Table(File("detail.xlsx"));
    // The header, the records, 合计, 合计（大写）.
    ASSERT_EQ(detail.size(), records.size() + 3);
    const QJsonArray header = detail.at(0).toArray();
    const int id = ColumnOf(header, QStringLiteral("编号"));
    const int money = ColumnOf(header, QStringLiteral("指标金额(元)"));
    ASSERT_EQ(id, 0);
    ASSERT_GT(money, 0);
    EXPECT_EQ(ColumnOf(header, QString()), -1) << "no check-box column";
    QMap<QString, double> exported;
    for (int i = 1; i + 2 < detail.size(); ++i) {
        const QJsonArray row = detail.at(i).toArray();
        EXPECT_EQ(row.at(money).toArray().at(1).toString(), QStringLiteral("n"));
        exported.insert(row.at(id).toArray().at(0).toString(), row.at(money).toArray().at(0).toDouble());
    }
    EXPECT_EQ(exported, records);
    const QJsonArray detailTotal = detail.at(detail.size() - 2).toArray();
    EXPECT_EQ(detailTotal.at(0).toArray().at(0).toString(), QStringLiteral("合计"));
    EXPECT_NEAR(detailTotal.at(money).toArray().at(4).toDouble(), sum, 0.005);
    EXPECT_EQ(detail.at(detail.size() - 1).toArray().at(0).toArray().at(0).toString(),
              QStringLiteral("合计（大写）：") + ChineseCapitals(std::llround(sum * 100)));

    // The summary: fewer rows, the same money.
    const QJsonArray summary = Table(File("summary.xlsx"));
    ASSERT_GE(summary.size(), 3);
    EXPECT_LT(summary.size(), detail.size());
    const int summaryMoney = ColumnOf(summary.at(0).toArray(), QStringLiteral("指标金额(元)"));
    ASSERT_GT(summaryMoney, 0);
    EXPECT_EQ(ColumnOf(summary.at(0).toArray(), QStringLiteral("编号")), -1);
    const QJsonArray summaryTotal = summary.at(summary.size() - 2).toArray();
    EXPECT_EQ(summaryTotal.at(0).toArray().at(0).toString(), QStringLiteral("合计"));
    EXPECT_NEAR(summaryTotal.at(summaryMoney).toArray().at(4).toDouble(), sum, 0.005);

    const QList<QStringList> csv = outputcheck::ReadCsv(File("detail.csv"));
    ASSERT_EQ(csv.size(), detail.size() - 1) << "the capitals line is the workbook's alone";
    for (int i = 1; i + 1 < csv.size(); ++i)
        EXPECT_EQ(csv[i].value(money).toDouble(), records.value(csv[i].value(id))) << qPrintable(csv[i].join(','));
}

TEST_F(Output, PrintedPagesHoldEveryRowOnceAndTheirCountFollowsTheRows)
{
    const QString pdf = File("detail.pdf");
    const hostproc::Result r =
        hostproc::Script(database, QStringLiteral("open\nselect top\nmode detail\nprint %1\n").arg(pdf));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QMap<QString, double> records = Records();
    const outputcheck::PdfInfo info = outputcheck::ReadPdfInfo(pdf);
    ASSERT_GT(info.pages, 1) << "enough records for more than one page";
    EXPECT_EQ(info.size, QStringLiteral("842 x 595")) << "the detail view's columns ask for landscape";

    // A record's line starts with its number, then the unit code.
    static const QRegularExpression line(QStringLiteral("^\\s*(\\d+)\\s+10[1-4]\\d*\\s"),
                                         QRegularExpression::MultilineOption);
    QStringList printed;
    int perPage = 0;
    for (int page = 1; page <= info.pages; ++page) {
        SCOPED_TRACE(page);
        const QString text = outputcheck::PdfPageText(pdf, page);
        for (const char* part : {"支付范围划分确认", "单位：101", "指标类型：预算数", "明细", "未确认", "编号", "指标金额(元)"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part;
        EXPECT_TRUE(text.contains(QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(info.pages)));
        int rows = 0;
        for (auto it = line.globalMatch(text); it.hasNext(); ++rows)
            printed << it.next().captured(1);
        if (page == 1) {
            perPage = rows;
        } else if (page < info.pages) {
            EXPECT_EQ(rows, perPage);
        }
    }
    ASSERT_GT(perPage, 0);
    printed.sort();
    QStringList expected = records.keys();
    expected.sort();
    EXPECT_EQ(printed, expected);
    // The totals row is one more line on the last page; the closing lines (the
    // total in capitals, the sign-off) follow it there, or on a page of their own.
    const int rowPages = (int(records.size()) + 1 + perPage - 1) / perPage;
    const int onLast = int(records.size()) + 1 - (rowPages - 1) * perPage;
    EXPECT_EQ(info.pages, rowPages + (onLast + 4 > perPage ? 1 : 0));
    const QString last = outputcheck::PdfPageText(pdf, info.pages);
    EXPECT_TRUE(last.contains(QStringLiteral("合计（大写）：人民币"))) << qPrintable(last.right(300));
    EXPECT_TRUE(last.contains(QStringLiteral("制表人：")) && last.contains(QStringLiteral("审核人："))
                && last.contains(QStringLiteral("负责人：")));
}

TEST_F(Output, AnExportOrPrintThatCannotBeDoneFailsItsLineWithTheReason)
{
    const hostproc::Result none = hostproc::Script(database, QStringLiteral("export %1\n").arg(File("x.xlsx")));
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("没有打开的模块窗口"))) << qPrintable(none.err);

    const hostproc::Result missing =
        hostproc::Script(database, QStringLiteral("open\nexport %1\n").arg(File("missing/x.xlsx")));
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("第2行"))) << qPrintable(missing.err);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("无法写入文件"))) << qPrintable(missing.err);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("不存在"))) << qPrintable(missing.err);

    const hostproc::Result print = hostproc::Script(database, QStringLiteral("open\nprint %1\n").arg(File("x.txt")));
    EXPECT_EQ(print.code, 1);
    EXPECT_TRUE(print.err.contains(QStringLiteral("print FILE.pdf"))) << qPrintable(print.err);
    EXPECT_FALSE(QFile::exists(File("x.xlsx")));
}

TEST(JournalCommands, EntriesOfAFilterAsLinesAndAsAWorkbookOfDates)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("j.sqlite"));
    ASSERT_TRUE(hostproc::CreateDemo(db, 300));
    const QString xlsx = dir.filePath(QStringLiteral("journal.xlsx"));
    const hostproc::Result r = hostproc::Script(
        db,
        QStringLiteral("open\nselect top\nmode detail\ntick 0 1\npress tbtnConfirm\nview confirmed\ntick 0\npress tbtnCancel\n"
                       "journal\njournal action cancel\njournal operator 没有此人\njournal export %1 action confirm\n"
                       "journal action approve\n")
            .arg(xlsx),
        {QStringLiteral("--operator"), QStringLiteral("张会计")});
    EXPECT_EQ(r.code, 1) << "the last line names an action there is none of";
    EXPECT_TRUE(r.err.contains(QStringLiteral("第13行")) && r.err.contains(QStringLiteral("approve"))) << qPrintable(r.err);
    QStringList lines;
    for (const QString& l : r.out.split(QLatin1Char('\n')))
        if (l.startsWith(QLatin1String("journal ")))
            lines << l;
    // Three entries newest first (the cancel last written), then the cancel alone; nobody's none.
    ASSERT_EQ(lines.size(), 4) << qPrintable(r.out);
    const QStringList newest = lines[0].mid(8).split(QLatin1Char('\t'));
    EXPECT_EQ(newest.value(2), QStringLiteral("张会计"));
    EXPECT_EQ(newest.value(4), QStringLiteral("cancel"));
    EXPECT_EQ(lines[3], lines[0]);
    EXPECT_GT(newest.value(0).toLongLong(), lines[1].mid(8).section(QLatin1Char('\t'), 0, 0).toLongLong());

    // The workbook: the journal's heading, the time as a date cell, the amount as a number.
    const QJsonArray rows = outputcheck::ReadXlsx(xlsx)[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 3 + 1 + 2) << "heading, captions, the two confirms";
    EXPECT_EQ(rows.at(0).toArray().at(0).toArray().at(0).toString(), QStringLiteral("操作日志"));
    EXPECT_EQ(rows.at(1).toArray().at(0).toArray().at(0).toString(), QStringLiteral("操作：确认"));
    const QJsonArray entry = rows.at(4).toArray();
    EXPECT_EQ(entry.at(0).toArray().at(1).toString(), QStringLiteral("d"));
    EXPECT_EQ(entry.at(0).toArray().at(2).toString(), QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    EXPECT_EQ(entry.at(3).toArray().at(0).toString(), QStringLiteral("确认"));
    EXPECT_EQ(entry.at(9).toArray().at(1).toString(), QStringLiteral("n"));
}
