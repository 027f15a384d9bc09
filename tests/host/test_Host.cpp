// The real host binary with the real module, driven by scripts.
#include "tests/TestSupport.h"
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

// Readable failure output for texts.
void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

struct HostRun {
    int code = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

QString Bin(const QString& name)
{
    return QDir(testsupport::BinDir()).filePath(name);
}

class Host : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        database = dir->filePath(QStringLiteral("demo.sqlite"));
        const HostRun r = Exec({QStringLiteral("--create-demo"), database, QStringLiteral("--records"), QStringLiteral("300")});
        ASSERT_EQ(r.code, 0) << qPrintable(r.err);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    static HostRun Exec(const QStringList& args, const QString& input = {}, const QProcessEnvironment* env = nullptr)
    {
        QProcess p;
        QProcessEnvironment e = env ? *env : QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(e);
        p.start(Bin(QStringLiteral("veltrane-host")), args);
        if (!p.waitForStarted(10000))
            return {};
        if (!input.isNull())
            p.write(input.toUtf8());
        p.closeWriteChannel();
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
        }
        HostRun r;
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // A script from standard input against the suite's demo database.
    static HostRun Script(const QString& script, QStringList extra = {})
    {
        QStringList args{QStringLiteral("--connection"), QStringLiteral("Provider=SQLite;Data Source=") + database,
                         QStringLiteral("--screen"), QStringLiteral("1024x768"), QStringLiteral("--script"),
                         QStringLiteral("-")};
        args += extra;
        return Exec(args, script);
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QString database;
};

}  // namespace

TEST_F(Host, ModuleExportsShowPlugInWindowAndNothingElseOfOurs)
{
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), Bin(QStringLiteral("libbVeltrane.so"))});
    ASSERT_TRUE(nm.waitForFinished(30000));
    ASSERT_EQ(nm.exitCode(), 0);
    QStringList ours;
    static const QSet<QString> linkerMarks{QStringLiteral("__bss_start"), QStringLiteral("_edata"),
                                           QStringLiteral("_end"), QStringLiteral("_init"), QStringLiteral("_fini")};
    for (const QString& line : QString::fromUtf8(nm.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString name = line.section(QLatin1Char(' '), 2);
        if (!linkerMarks.contains(name))
            ours << name;
    }
    EXPECT_EQ(ours, QStringList{QStringLiteral("ShowPlugInWindow")});
}

TEST_F(Host, HelpListsEveryOptionAndBadInputIsRefusedClearly)
{
    const HostRun help = Exec({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    for (const char* option : {"--config", "--year", "--unit ", "--unit-field", "--office", "--param", "--connection",
                               "--token", "--module", "--screen", "--script", "--trace-sql", "--create-demo", "--records", "--version",
                               "AskBeforeDelete", "DefaultBType", "ReportDelete", "FinanceOfficeFlag", "OfficeColumns",
                               "OfficeFilter"})
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(option))) << option;

    const HostRun bad = Exec({QStringLiteral("--year"), QStringLiteral("soon")});
    EXPECT_EQ(bad.code, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("--year"))) << qPrintable(bad.err);
    const HostRun param = Exec({QStringLiteral("--param"), QStringLiteral("NoSuch=1")});
    EXPECT_EQ(param.code, 2);

    const HostRun missing = Script(QStringLiteral("open\n"), {QStringLiteral("--module"), QStringLiteral("/nonexistent/libx.so")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("无法载入模块"))) << qPrintable(missing.err);
    // A real library that lacks the export.
    const HostRun noExport = Script(QStringLiteral("open\n"), {QStringLiteral("--module"), Bin(QStringLiteral("libtoolkit.so"))});
    EXPECT_EQ(noExport.code, 2);
    EXPECT_TRUE(noExport.err.contains(QStringLiteral("ShowPlugInWindow"))) << qPrintable(noExport.err);
}

TEST_F(Host, VersionAndTheModuleOfTheBuildTree)
{
    const HostRun version = Exec({QStringLiteral("--version")});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^veltrane-host \\d+\\.\\d+\\.\\d+\n$")).match(version.out).hasMatch())
        << qPrintable(version.out);
    // Run from the build tree, the host takes the module beside it, not an installed one.
    const HostRun module = Script(QStringLiteral("module\n"));
    EXPECT_EQ(module.code, 0) << qPrintable(module.err);
    EXPECT_EQ(module.lines(), QStringList{QStringLiteral("module ") + QFileInfo(Bin(QStringLiteral("libbVeltrane.so"))).canonicalFilePath()});
}

TEST_F(Host, ScriptStopsAtAFailingLineAndNamesIt)
{
    const HostRun r = Script(QStringLiteral("echo one\n# a comment\n\nfrobnicate now\necho never\n"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.lines(), QStringList{QStringLiteral("one")});
    EXPECT_TRUE(r.err.contains(QStringLiteral("第4行"))) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("frobnicate"))) << qPrintable(r.err);
}

TEST_F(Host, UnregisteredNameShowsItsMessageAndResultZero)
{
    const HostRun r = Script(QStringLiteral("open TNope\nwindows\n"));
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.lines(), (QStringList{QStringLiteral("message Korrindel 7.1 | 类TNope没有进行注册或不存在！"),
                                      QStringLiteral("result 0")}));
}

TEST_F(Host, ModalRootWindowLetsTheScriptGoOnInsideIt)
{
    // The root window is registered as an ancestor of the business window; it is
    // modal, 543 x 390, so the call returns only once the script closed it.
    const HostRun r = Script(QStringLiteral("open TfrmBase\necho inside\nwindows\nclose\necho after\nwindows\nopen tfrmbase\n"));
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.lines(), (QStringList{QStringLiteral("inside"),
                                      QStringLiteral("window TfrmBase caption= left=240 top=189 width=543 height=390 visible=1"),
                                      QStringLiteral("result 0"), QStringLiteral("after"),
                                      QStringLiteral("window TfrmBase caption= left=240 top=189 width=543 height=390 visible=0"),
                                      QStringLiteral("result 0"),
                                      // The host frees what is still open when the script ends.
                                      QStringLiteral("released 1")}));
}

TEST_F(Host, OneWindowPerNameAndAReleaseEachTimeTheLastOneGoes)
{
    const HostRun r = Script(QStringLiteral("open\nopen TBFRMVELTRANE\nwindows\nclose\nwindows\necho again\nopen tbfrmveltrane\nclose\n"),
                         {QStringLiteral("--token"), QStringLiteral("4711")});
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    const QStringList lines = r.lines();
    ASSERT_EQ(lines.count(QStringLiteral("result 0")), 3) << qPrintable(r.out);
    EXPECT_EQ(lines.count(QStringLiteral("released 4711")), 2) << qPrintable(r.out);
    const QStringList windows = lines.filter(QRegularExpression(QStringLiteral("^window ")));
    ASSERT_EQ(windows.size(), 1) << qPrintable(r.out);
    EXPECT_TRUE(windows[0].startsWith(QStringLiteral("window TbfrmVeltrane caption=支付范围划分确认 ")))
        << qPrintable(windows[0]);
    EXPECT_TRUE(windows[0].endsWith(QStringLiteral("visible=1")));
    // The first release comes before the second opening.
    EXPECT_LT(lines.indexOf(QStringLiteral("released 4711")), lines.indexOf(QStringLiteral("again")));
}

TEST_F(Host, SqlCommandAndTraceShowWhatRunsOnDef)
{
    const QString trace = dir->filePath(QStringLiteral("trace.sql"));
    const HostRun r = Script(QStringLiteral("sql select count(*), 'x y' from BusiBudgetAdj\nsql select nothing_here from nowhere\n"),
                         {QStringLiteral("--trace-sql"), trace});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.lines(), QStringList{QStringLiteral("300\tx y")});
    EXPECT_TRUE(r.err.contains(QStringLiteral("第2行"))) << qPrintable(r.err);
    QFile f(trace);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList traced = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(traced.contains(QStringLiteral("select count(*), 'x y' from BusiBudgetAdj")));
}

TEST_F(Host, FirstRunWithoutConnectionCreatesTheDemoDatabaseInTheUserFolder)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    const HostRun r = Exec({QStringLiteral("--script"), QStringLiteral("-")},
                       QStringLiteral("sql select count(*) from pubdept where eid='101'\n"), &env);
    EXPECT_EQ(r.code, 0) << qPrintable(r.err);
    EXPECT_EQ(r.lines(), QStringList{QStringLiteral("1")});
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("data/Veltrane/veltrane-host/demo.sqlite"))));
}

namespace {

int Count(const HostRun& r, const QString& marker)
{
    const QStringList lines = r.lines();
    const int at = lines.indexOf(marker);
    return at >= 0 && at + 1 < lines.size() ? lines[at + 1].toInt() : -1;
}

}  // namespace

TEST_F(Host, WindowCommandsConfirmAndCancelThroughTheRealWidgets)
{
    // A copy: this test changes statuses.
    const QString copy = dir->filePath(QStringLiteral("confirm.sqlite"));
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(database, copy));
    const QString confirmed = QStringLiteral("sql select count(*) from BusiBudgetAdj where status='1'\n");
    const QString script = QStringLiteral("open\nstate\ntree\nselect 101002\nstate\nmode detail\nview unconfirmed\n"
                                          "buttons\necho before\n") + confirmed +
                           QStringLiteral("tick 0 1\npress tbtnConfirm\necho confirmed\n") + confirmed +
                           QStringLiteral("view confirmed\nbuttons\ntick 0\nkey Ctrl+D\necho cancelled\n") + confirmed +
                           QStringLiteral("cells\nselect 999999\n");
    const HostRun r = Exec({QStringLiteral("--connection"), QStringLiteral("Provider=SQLite;Data Source=") + copy,
                            QStringLiteral("--script"), QStringLiteral("-")},
                           script);
    EXPECT_EQ(r.code, 1);   // the last line names a node that is not there
    EXPECT_TRUE(r.err.contains(QStringLiteral("第22行"))) << qPrintable(r.err);
    const QStringList lines = r.lines();
    ASSERT_GE(lines.size(), 10) << qPrintable(r.out);
    EXPECT_EQ(lines[1], QStringLiteral("unit 101001"));
    EXPECT_EQ(lines[2], QStringLiteral("btype 1"));
    EXPECT_EQ(lines[3], QStringLiteral("预算单位"));
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral(" \\*$"))).size(), 1);
    EXPECT_TRUE(lines.contains(QStringLiteral("    101002 市第一中学")));
    EXPECT_TRUE(lines.contains(QStringLiteral("unit 101002")));
    // Unconfirmed view: 确认 on, 撤销 off; confirmed view the other way round.
    const int firstButtons = int(lines.indexOf(QStringLiteral("tbtnConfirm enabled")));
    ASSERT_GE(firstButtons, 0);
    EXPECT_EQ(lines.value(firstButtons + 1), QStringLiteral("tbtnCancel disabled"));
    EXPECT_TRUE(lines.contains(QStringLiteral("tbtnCancel enabled")));

    const int before = Count(r, QStringLiteral("before"));
    ASSERT_GE(before, 0) << qPrintable(r.out);
    EXPECT_EQ(Count(r, QStringLiteral("confirmed")), before + 2);
    EXPECT_EQ(Count(r, QStringLiteral("cancelled")), before + 1);
    // The raw cells carry the field names, hidden key columns included.
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("(^|\\t)budgid(\\t|$)"))).size(), 1) << qPrintable(r.out);
}

TEST_F(Host, IniSettingsAreReadAndTheCommandLineWins)
{
    const QString ini = dir->filePath(QStringLiteral("host.ini"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[host]\nunit=104001\ntoken=42\n[params]\nDefaultBType=2\n");
    f.close();
    const HostRun fromIni = Script(QStringLiteral("open\nstate\nclose\n"), {QStringLiteral("--config"), ini});
    EXPECT_EQ(fromIni.code, 0) << qPrintable(fromIni.err);
    EXPECT_TRUE(fromIni.lines().contains(QStringLiteral("unit 104001"))) << qPrintable(fromIni.out);
    EXPECT_TRUE(fromIni.lines().contains(QStringLiteral("btype 2"))) << qPrintable(fromIni.out);
    EXPECT_TRUE(fromIni.lines().contains(QStringLiteral("released 42"))) << qPrintable(fromIni.out);

    const HostRun overridden = Script(QStringLiteral("open\nstate\n"),
                                      {QStringLiteral("--config"), ini, QStringLiteral("--param"),
                                       QStringLiteral("DefaultBType=0"), QStringLiteral("--token"), QStringLiteral("9")});
    EXPECT_EQ(overridden.code, 0) << qPrintable(overridden.err);
    EXPECT_TRUE(overridden.lines().contains(QStringLiteral("btype 0"))) << qPrintable(overridden.out);
    EXPECT_TRUE(overridden.lines().contains(QStringLiteral("released 9"))) << qPrintable(overridden.out);
}

TEST_F(Host, ParametersAndUnitFieldsReachTheModule)
{
    const QString script = QStringLiteral("open\nmode detail\ngrid\n");
    const HostRun shown = Script(script, {QStringLiteral("--param"), QStringLiteral("OfficeColumns=0")});
    const HostRun hidden = Script(script, {QStringLiteral("--param"), QStringLiteral("OfficeColumns=1")});
    ASSERT_EQ(shown.code, 0) << qPrintable(shown.err);
    ASSERT_EQ(hidden.code, 0) << qPrintable(hidden.err);
    auto header = [](const HostRun& r) { return r.lines().filter(QStringLiteral("指标金额")).value(0); };
    EXPECT_TRUE(header(shown).contains(QStringLiteral("所属处室"))) << qPrintable(shown.out);
    EXPECT_FALSE(header(hidden).contains(QStringLiteral("所属处室"))) << qPrintable(hidden.out);
    EXPECT_FALSE(header(hidden).isEmpty());

    // A unit record without a department class: the window says so instead of querying.
    const HostRun noClass = Script(QStringLiteral("open\nbuttons\n"), {QStringLiteral("--unit-field"), QStringLiteral("4=null")});
    EXPECT_EQ(noClass.code, 0) << qPrintable(noClass.err);
    EXPECT_TRUE(noClass.lines().contains(QStringLiteral("message Korrindel 7.1-提示信息 | 单位部门类别无效，无法提取预算指标！")))
        << qPrintable(noClass.out);
    EXPECT_TRUE(noClass.lines().contains(QStringLiteral("tbtnConfirm disabled"))) << qPrintable(noClass.out);
}

TEST_F(Host, TheOdbcBridgeSpeaksTheDialectOfTheDatabaseItsDriverNames)
{
    // The SQLite file through the SQLite ODBC driver: the same tree and the same
    // rows as through the embedded driver, the budget sub-type labels included
    // (a dialect of unknown kind would label every one but 控制数 as 临时数).
    const QString script = QStringLiteral("open\ntree\nmode detail\ngrid\n");
    const HostRun native = Exec({QStringLiteral("--connection"), QStringLiteral("Provider=SQLite;Data Source=") + database,
                                 QStringLiteral("--script"), QStringLiteral("-")},
                                script);
    const HostRun odbc = Exec({QStringLiteral("--connection"),
                               QStringLiteral("Provider=MSDASQL;Driver=SQLite3;Database=") + database,
                               QStringLiteral("--script"), QStringLiteral("-")},
                              script);
    ASSERT_EQ(native.code, 0) << qPrintable(native.err);
    ASSERT_EQ(odbc.code, 0) << qPrintable(odbc.err);
    EXPECT_TRUE(native.out.contains(QStringLiteral("年初预算")));
    EXPECT_GT(native.lines().size(), 20);
    EXPECT_EQ(odbc.out, native.out);
}
