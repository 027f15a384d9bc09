// The host on a PostgreSQL server: demo data written there by --create-demo, then a
// scripted confirmation through the real module, checked on the server.
#include "tests/TestSupport.h"
#include "tests/data/PgServer.h"
#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QString RunHost(const QStringList& args, const QByteArray& script = {}, int* code = nullptr)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    e.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.qpa.*=false"));
    p.setProcessEnvironment(e);
    p.start(QDir(testsupport::BinDir()).filePath(QStringLiteral("veltrane-host")), args);
    p.waitForStarted();
    p.write(script);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    if (code)
        *code = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

TEST(PostgresHost, DemoDataOnTheServerAndAConfirmationThroughTheModule)
{
    pgtest::Database db;
    if (!db.Skip.empty())
        GTEST_SKIP() << db.Skip;

    int code = -1;
    const QString created = RunHost({"--create-demo", "-", "--records", "400", "--connection", db.ConnectionString},
                                    {}, &code);
    ASSERT_EQ(code, 0) << created.toStdString();
    EXPECT_TRUE(created.contains(QStringLiteral("records=400")));

    TADOConnection c;
    c.SetConnectionString(db.ConnectionString);
    EXPECT_EQ(pgtest::Scalar(c, QStringLiteral("select count(*) from busibudgetadj")), QStringLiteral("400"));
    const QString before = pgtest::Scalar(c, QStringLiteral("select count(*) from busibudgetadj where status='1'"));

    const QString out = RunHost({"--connection", db.ConnectionString, "--script", "-"},
                                "open\nmode detail\ntick 0 1\npress tbtnConfirm\nbuttons\n", &code);
    ASSERT_EQ(code, 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("result 0")));
    EXPECT_EQ(pgtest::Scalar(c, QStringLiteral("select count(*) from busibudgetadj where status='1'")).toInt(),
              before.toInt() + 2)
        << out.toStdString();
}
