// Confirming through the real host when the database fails it: a file nobody may
// write, a disk that fills up, PostgreSQL sessions that read a backslash as an
// escape. Each run ends at the first failure that would fail the rest, says so on
// one line, and never reaches a record the user did not tick.
#include "data/untDemoData.h"
#include "tests/data/PgServer.h"
#include "tests/host/HostProcess.h"
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace hostproc;

namespace {

const QString Confirmed = QStringLiteral("sql select count(*) from BusiBudgetAdj where status='1'\n");

// The count printed after the marker line.
int After(const QString& out, const QString& marker)
{
    const QStringList lines = out.split(QLatin1Char('\n'));
    const qsizetype at = lines.indexOf(marker);
    return at >= 0 && at + 1 < lines.size() ? lines[at + 1].toInt() : -1;
}

QStringList Messages(const QString& out)
{
    return out.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^message ")));
}

}  // namespace

TEST(Safety, AFileNobodyMayWriteIsSaidToBeReadOnlyAndOffersNoWrite)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("read-only.sqlite"));
    ASSERT_TRUE(CreateDemo(file));
    ReadOnlyFile locked(file);
    if (!locked.Made())
        GTEST_SKIP() << "no way to make a read-only file here";
    const Result r = Script(file, QStringLiteral("echo before\n") + Confirmed
                                      + QStringLiteral("open\nmode detail\ntick 0 1 2 3 4 5\npress tbtnConfirm\nstatus\n"
                                                       "echo after\n")
                                      + Confirmed);
    ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(After(r.out, QStringLiteral("after")), After(r.out, QStringLiteral("before")));
    const QStringList messages = Messages(r.out);
    ASSERT_EQ(messages.size(), 1) << qPrintable(r.out);
    // Said once when the window opens: nothing can be written, nor journaled;
    // the status line keeps saying so and 确认 is off.
    EXPECT_TRUE(messages[0].contains(QStringLiteral("数据库是只读的"))) << qPrintable(messages[0]);
    EXPECT_TRUE(r.out.contains(QStringLiteral("disabled tbtnConfirm"))) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QRegularExpression(QStringLiteral("status 共 \\d+ 条　已选 6 条.*只读")))) << qPrintable(r.out);
}

TEST(Safety, ADiskThatFillsUpEndsTheRunWhereItFilledAndKeepsWhatWasDone)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("full.sqlite"));
    ASSERT_TRUE(CreateDemo(file, 3000));
    // The host may grow no file beyond 96 KiB: the log of its writes fills after
    // a few statements, as a full disk would stop it.
    QProcess p;
    Prepare(p);
    p.start(QStringLiteral("bash"),
            {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 96; exec \"$0\" \"$@\""),
             Bin(QStringLiteral("veltrane-host")), QStringLiteral("--connection"), Sqlite(file),
             QStringLiteral("--script"), QStringLiteral("-")});
    ASSERT_TRUE(p.waitForStarted());
    p.write((QStringLiteral("echo before\n") + Confirmed
             + QStringLiteral("open\nselect top\nmode detail\npress pmuAll\npress tbtnConfirm\nstatus\necho after\n")
             + Confirmed)
                .toUtf8());
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const int before = After(out, QStringLiteral("before"));
    const int after = After(out, QStringLiteral("after"));
    const QStringList messages = Messages(out);
    ASSERT_EQ(messages.size(), 1) << qPrintable(out) << qPrintable(QString::fromUtf8(p.readAllStandardError()));
    static const QRegularExpression report(QStringLiteral(
        "确认预算指标时出错。 成功 (\\d+) 行，失败 1 行，未处理 (\\d+) 行（保持原状态）。 错误：(.*)$"));
    const QRegularExpressionMatch m = report.match(messages[0]);
    ASSERT_TRUE(m.hasMatch()) << qPrintable(messages[0]);
    const int done = m.captured(1).toInt();
    const int left = m.captured(2).toInt();
    EXPECT_GT(done, 0);
    EXPECT_GT(left, 100);   // the run did not go on failing row after row
    EXPECT_TRUE(m.captured(3).contains(QStringLiteral("full")) || m.captured(3).contains(QStringLiteral("I/O")))
        << qPrintable(m.captured(3));
    // What succeeded stayed done; nothing else changed.
    EXPECT_EQ(after, before + done) << qPrintable(out);
}

namespace {

// The host confirms the one summary row whose fund nature code ends its quote
// for a session that reads backslashes as escapes; only that row's records may change.
void ConfirmTheRowOfABackslashCode(const pgtest::Database& db, const QStringList& extra)
{
    TADOConnection c;
    c.SetConnectionString(db.ConnectionString);
    const QString evil = QStringLiteral("\\' or 1=1 --");
    // The test's own statements spell the value in the escape syntax, which reads
    // the same whatever the session's setting.
    const QString literal = QStringLiteral("E'\\\\\\' or 1=1 --'");
    pgtest::Exec(c, QStringLiteral("update busibudgetadj set mid=%1 where budgid=(select min(budgid) from busibudgetadj "
                                   "where datayear=2024 and eid='101001' and btype='1' and status='0')")
                        .arg(literal));
    const int before = pgtest::Scalar(c, QStringLiteral("select count(*) from busibudgetadj where status='1'")).toInt();
    const int key =
        pgtest::Scalar(c, QStringLiteral("select count(*) from busibudgetadj where status='0' and mid=%1").arg(literal))
            .toInt();
    ASSERT_EQ(key, 1);

    Session host(QStringList{QStringLiteral("--connection"), db.ConnectionString, QStringLiteral("--script"),
                             QStringLiteral("-")}
                 + extra);
    const QString cells = host.Send(QStringLiteral("open\ncells\n"));
    ASSERT_FALSE(host.Failed());
    const QStringList lines = cells.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const qsizetype head = lines.indexOf(QRegularExpression(QStringLiteral("chk\\t.*")));
    ASSERT_GE(head, 0) << qPrintable(cells);
    const int midColumn = int(lines[head].split(QLatin1Char('\t')).indexOf(QStringLiteral("mid")));
    int row = -1;
    for (qsizetype i = head + 1; i < lines.size() && row < 0; ++i)
        if (lines[i].split(QLatin1Char('\t')).value(midColumn) == evil)
            row = int(i - head - 1);
    ASSERT_GE(row, 0) << qPrintable(cells);
    const QString done = host.Send(QStringLiteral("tick %1\npress tbtnConfirm\nstatus\n").arg(row));
    ASSERT_FALSE(host.Failed()) << qPrintable(done);
    EXPECT_TRUE(done.contains(QStringLiteral("已确认 1 条"))) << qPrintable(done);
    host.Finish();
    EXPECT_EQ(pgtest::Scalar(c, QStringLiteral("select count(*) from busibudgetadj where status='1'")).toInt(),
              before + 1);
}

}  // namespace

TEST(Safety, PostgresWithoutStandardStringsConfirmsOnlyTheTickedRow)
{
    {
        // Set for the database: every new session starts with it.
        pgtest::Database db;
        if (!db.Skip.empty())
            GTEST_SKIP() << db.Skip;
        QString error;
        ASSERT_TRUE(CreateDemoDatabaseAt(db.ConnectionString, 300, &error)) << qPrintable(error);
        pgtest::Exec(db.admin, QStringLiteral("alter database %1 set standard_conforming_strings = off").arg(db.Name));
        ConfirmTheRowOfABackslashCode(db, {});
    }
    {
        // Set by the client for its own sessions.
        pgtest::Database db;
        QString error;
        ASSERT_TRUE(CreateDemoDatabaseAt(db.ConnectionString, 300, &error)) << qPrintable(error);
        qputenv("PGOPTIONS", "-c standard_conforming_strings=off");
        ConfirmTheRowOfABackslashCode(db, {});
        qunsetenv("PGOPTIONS");
    }
}
