// The script commands around the window's work, through the real host: one load
// at open, a run stopped by cancelafter, the status line, the stalls meter, and
// options the host refuses instead of failing later.
#include "tests/host/HostProcess.h"
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace hostproc;

TEST(WorkCommands, OpenLoadsOnceAndCancelafterStopsTheNextRunWhereASaid)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("work.sqlite"));
    ASSERT_TRUE(CreateDemo(file));
    const QString trace = dir.filePath(QStringLiteral("trace.sql"));
    const Result r = Script(file,
                            QStringLiteral("open\nstatus\nmode detail\ntimings\ntick 0 1 2 3 4\nstatus\ncancelafter 2\n"
                                           "press tbtnConfirm\nstatus\nstalls\nsql select count(*) from BusiBudgetAdj "
                                           "where status='1' and datayear=2024 and eid like '101001%' and BType='1'\n"),
                            {QStringLiteral("--trace-sql"), trace});
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    const QStringList lines = r.lines();

    QFile f(trace);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList sent = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // open: one record query; 明细: one; the run's reload: one.
    EXPECT_EQ(sent.filter(QRegularExpression(QStringLiteral("^ select 0 as chk"))).size(), 3) << qPrintable(sent.join('\n'));
    EXPECT_EQ(sent.filter(QRegularExpression(QStringLiteral("^update BusiBudgetAdj"))).size(), 2);

    const QStringList status = lines.filter(QRegularExpression(QStringLiteral("^status ")));
    ASSERT_EQ(status.size(), 3) << qPrintable(r.out);
    EXPECT_TRUE(status[0].startsWith(QStringLiteral("status 共 "))) << qPrintable(status[0]);
    EXPECT_TRUE(status[1].contains(QStringLiteral("已选 5 条"))) << qPrintable(status[1]);
    EXPECT_TRUE(status[2].contains(QStringLiteral("已取消：已确认 2 条，"))) << qPrintable(status[2]);
    EXPECT_TRUE(status[2].endsWith(QStringLiteral("；3 条未处理"))) << qPrintable(status[2]);
    // The 明细 load's figures: to its first rows, to its last, and its rows.
    const QRegularExpressionMatch timings =
        QRegularExpression(QStringLiteral("^timings first (\\d+) all (\\d+) rows (\\d+)$"), QRegularExpression::MultilineOption).match(r.out);
    ASSERT_TRUE(timings.hasMatch()) << qPrintable(r.out);
    EXPECT_LE(timings.captured(1).toInt(), timings.captured(2).toInt());
    EXPECT_GT(timings.captured(3).toInt(), 4);
    const QStringList stalls = lines.filter(QRegularExpression(QStringLiteral("^stalls \\d+$")));
    ASSERT_EQ(stalls.size(), 1) << qPrintable(r.out);
}

TEST(WorkCommands, ImpossibleScreensAndMissingDatabasesAreRefusedAtTheStart)
{
    const Result screen = Exec({QStringLiteral("--screen"), QStringLiteral("99999x99999"), QStringLiteral("--script"),
                                QStringLiteral("-")},
                               "open\n");
    EXPECT_EQ(screen.code, 2);
    EXPECT_TRUE(screen.err.contains(QStringLiteral("宽和高须在 200 到 8192 之间"))) << qPrintable(screen.err);

    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("mistyped.sqlite"));
    const Result none = Script(missing, QStringLiteral("open\n"));
    EXPECT_EQ(none.code, 2);
    EXPECT_TRUE(none.err.contains(QStringLiteral("数据库文件不存在：") + missing)) << qPrintable(none.err);
    EXPECT_TRUE(none.err.contains(QStringLiteral("--create-demo"))) << qPrintable(none.err);
    EXPECT_FALSE(none.err.contains(QStringLiteral("网络"))) << "a file, not a server: " << qPrintable(none.err);
    EXPECT_FALSE(QFile::exists(missing));   // no empty database made of the name
}
