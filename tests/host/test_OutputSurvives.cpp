// Output through the real host that survives Excel and the disk, and never holds
// the window: a workbook as an office files it, amounts as shown, files that are
// not the module's to replace, a file-size limit; what the window remembers when
// the host quits; a password that never shows.
#include "tests/grid/OutputReaders.h"
#include "tests/host/HostProcess.h"
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace hostproc;

namespace {

int Stalls(const QString& out, const QString& after)
{
    const QStringList lines = out.split(QLatin1Char('\n'));
    bool seen = false;
    for (const QString& l : lines) {
        if (l == after)
            seen = true;
        else if (seen && l.startsWith(QLatin1String("stalls ")))
            return l.mid(7).toInt();
    }
    return -1;
}

}  // namespace

TEST(OutputSurvives, WorkbookAndPdfOfManyRowsAreMadeOffTheWindowsThread)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("big.sqlite"));
    ASSERT_TRUE(CreateDemo(db, 20000));
    const QString xlsx = dir.filePath(QStringLiteral("records.xlsx"));
    const QString pdf = dir.filePath(QStringLiteral("records.pdf"));
    const Result r = Script(db, QStringLiteral("open\nselect top\nmode detail\nstalls\nexport %1\necho exported\nstalls\n"
                                               "print %2\necho printed\nstalls\n").arg(xlsx, pdf));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    // The window's thread is free while a worker writes (the runner's beat misses no turn).
    EXPECT_GE(Stalls(r.out, QStringLiteral("exported")), 0) << qPrintable(r.out);
    EXPECT_LT(Stalls(r.out, QStringLiteral("exported")), 250) << qPrintable(r.out);
    EXPECT_LT(Stalls(r.out, QStringLiteral("printed")), 250) << qPrintable(r.out);

    // As an office files it: the heading, the table under it, codes as text.
    const QJsonObject book = outputcheck::ReadXlsx(xlsx);
    const QJsonArray rows = book[QStringLiteral("rows")].toArray();
    ASSERT_GT(rows.size(), 5);
    EXPECT_EQ(rows.at(0).toArray().at(0).toArray().at(0).toString(), QStringLiteral("支付范围划分确认"));
    const QString details = rows.at(1).toArray().at(0).toArray().at(0).toString();
    EXPECT_TRUE(details.contains(QStringLiteral("指标类型：")) && details.contains(QStringLiteral("明细"))) << qPrintable(details);
    EXPECT_EQ(book[QStringLiteral("freeze")].toString(), QStringLiteral("A5"));
    const QJsonArray header = rows.at(3).toArray();
    const QJsonArray first = rows.at(4).toArray();
    for (int j = 0; j < header.size(); ++j) {
        const QString caption = header.at(j).toArray().at(0).toString();
        const QJsonArray cell = first.at(j).toArray();
        if (caption == QLatin1String("编号") || caption == QLatin1String("预算编码")) {
            EXPECT_EQ(cell.at(1).toString(), QStringLiteral("s")) << qPrintable(caption);
        } else if (caption == QLatin1String("指标金额(元)") || caption == QLatin1String("序号")) {
            EXPECT_EQ(cell.at(1).toString(), QStringLiteral("n"));
        }
    }
    EXPECT_GT(outputcheck::ReadPdfInfo(pdf).pages, 10);
}

TEST(OutputSurvives, AmountsAsShownAndFilesThatAreNotOursToReplace)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("files.sqlite"));
    ASSERT_TRUE(CreateDemo(db, 1500));
    {
        Db d(db);
        ASSERT_TRUE(d.Exec(QStringLiteral("update BusiBudgetAdj set BudgMoney=1262737.88")));
    }
    // A CSV's amounts: as the grid shows them, without floating-point noise.
    const QString csv = dir.filePath(QStringLiteral("a.csv"));
    Result r = Script(db, QStringLiteral("open\nselect 101001\nmode detail\nexport %1\n").arg(csv));
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QList<QStringList> rows = outputcheck::ReadCsv(csv);
    ASSERT_GT(rows.size(), 2);
    const qsizetype wy = rows[0].indexOf(QStringLiteral("指标金额(万元)"));
    ASSERT_GE(wy, 0);
    EXPECT_EQ(rows[1][wy], QStringLiteral("126.273788"));

    // A file the user made read-only is left alone (the line fails with the
    // module's words); a link is written through.
    const QString locked = dir.filePath(QStringLiteral("locked.csv"));
    QFile(locked).open(QIODevice::WriteOnly);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QString real = dir.filePath(QStringLiteral("real.csv"));
    QFile(real).open(QIODevice::WriteOnly);
    const QString link = dir.filePath(QStringLiteral("link.csv"));
    ASSERT_TRUE(QFile::link(real, link));
    r = Script(db, QStringLiteral("open\nselect 101001\nexport %1\n").arg(locked));
    EXPECT_EQ(QFileInfo(locked).size(), 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("无法写入文件“%1”：文件是只读的，没有替换它").arg(locked))) << qPrintable(r.err);
    r = Script(db, QStringLiteral("open\nselect 101001\nexport %1\n").arg(link));
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_GT(QFileInfo(real).size(), 100);

    // A file-size limit: the module's words, naming the user's file, and the host lives.
    const QString big = dir.filePath(QStringLiteral("big.csv"));
    QProcess p;
    Prepare(p);
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("ulimit -f 64; exec \"$0\" \"$@\""),
                                      Bin(QStringLiteral("veltrane-host")), QStringLiteral("--connection"), Sqlite(db),
                                      QStringLiteral("--script"), QStringLiteral("-")});
    ASSERT_TRUE(p.waitForStarted());
    p.write(QStringLiteral("open\nselect top\nmode detail\nexport %1\n").arg(big).toUtf8());
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("无法写入文件“%1”：文件过大").arg(big))) << qPrintable(out);
    EXPECT_FALSE(out.contains(QRegularExpression(QStringLiteral("\\.big-\\w{6}"))));
    EXPECT_FALSE(QFile::exists(big));
}

TEST(OutputSurvives, TheLayoutIsKeptWhenTheHostQuitsAndPasswordsNeverShow)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("layout.sqlite"));
    ASSERT_TRUE(CreateDemo(db, 100));
    QTemporaryDir config;
    ConfigHome() = config.path();
    const Result r = Script(db, QStringLiteral("open\npress sbtnHindUT\nquit\n"));
    ConfigHome().clear();
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    QFile settings(config.filePath(QStringLiteral("Veltrane/bVeltrane.conf")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly)) << "nothing remembered on quit";
    EXPECT_TRUE(settings.readAll().contains("treePane=false"));

    // A host that cannot connect with that connection string, and what it printed.
    auto refused = [](const QString& connection) {
        return Exec({QStringLiteral("--connection"), connection, QStringLiteral("--script"), QStringLiteral("-")},
                    "open\n");
    };
    const Result bad = refused(QStringLiteral("Provider=PostgreSQL;Server=127.0.0.1;Port=1;Database=x;UID=u;PWD=s3cr3t"));
    EXPECT_NE(bad.code, 0);
    EXPECT_FALSE((bad.out + bad.err).contains(QStringLiteral("s3cr3t"))) << qPrintable(bad.err);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("PWD=***"))) << qPrintable(bad.err);
    // In braces, as ODBC writes a password with a ';' in it: hidden whole.
    const Result braced =
        refused(QStringLiteral("Provider=PostgreSQL;Server=127.0.0.1;Port=1;Database=x;UID=u;PWD={top;secret9}"));
    EXPECT_NE(braced.code, 0);
    EXPECT_FALSE((braced.out + braced.err).contains(QStringLiteral("secret9"))) << qPrintable(braced.err);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("无法连接数据库，请检查网络"))) << qPrintable(bad.err);
}
