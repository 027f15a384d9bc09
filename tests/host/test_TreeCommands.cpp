// The find command through the real host and module.
#include "tests/host/HostProcess.h"
#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace hostproc;

TEST(TreeCommands, FindSelectsTheUnitAsTheUserWouldAndSaysWhenThereIsNone)
{
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("demo.sqlite"));
    ASSERT_TRUE(CreateDemo(database));
    const QString trace = dir.filePath(QStringLiteral("trace.sql"));
    const Result r = Script(database,
                            QStringLiteral("open\n"
                                           "find 市第二中学\nstate\n"
                                           "find 职业\n"
                                           "find 101005\n"
                                           "find 商贸\n"
                                           "find 50%_'!\n"
                                           "units all\nfind 商贸\nstate\n"
                                           "find\n"),
                            {QStringLiteral("--trace-sql"), trace});
    EXPECT_EQ(r.code, 1);   // the last line has no text
    EXPECT_TRUE(r.err.contains(QStringLiteral("find TEXT"))) << qPrintable(r.err);
    const QStringList units = r.lines().filter(QRegularExpression(QStringLiteral("^unit ")));
    EXPECT_EQ(units, (QStringList{QStringLiteral("unit 101003"), QStringLiteral("unit 101003"),
                                  QStringLiteral("unit 101004"), QStringLiteral("unit 101005"),
                                  // left out of the delegated units, then listed with all of them
                                  QStringLiteral("unit none"), QStringLiteral("unit none"),
                                  QStringLiteral("unit 101004003"), QStringLiteral("unit 101004003")}))
        << qPrintable(r.out);

    QFile f(trace);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString sent = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(sent.contains(QStringLiteral("like UPPER('%50!%!_''!!%') escape '!'"))) << qPrintable(sent);
    // The unit found is the one whose records the window loads.
    EXPECT_TRUE(sent.contains(QStringLiteral("eid like '101003%'"))) << qPrintable(sent);
}
