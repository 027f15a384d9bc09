// veltrane-host: the reference host of the module. Interactive with a display,
// scripted with --script (tests, demos, automation).
#include "data/untDbManager.h"
#include "data/untDemoData.h"
#include "host/HostOptions.h"
#include "host/HostSession.h"
#include "host/ScriptRunner.h"
#include "toolkit/ADODB.h"
#include "toolkit/ConnectionString.h"
#include <QMessageBox>
#include "toolkit/Forms.h"
#include "toolkit/Threads.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {

void PrintErr(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

// The installed copy of an upgrade script where there is one, else its place
// among the sources.
QString UpgradeScriptPath(const QString& name)
{
#ifdef VELTRANE_SQL_DIR
    const QString installed = QDir(QStringLiteral(VELTRANE_SQL_DIR)).filePath(name);
    if (QFileInfo::exists(installed))
        return installed;
#endif
    return QStringLiteral("sql/") + name;
}

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef Q_OS_UNIX
    // Past a file-size limit a write fails (and is told) instead of the signal
    // ending the host.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !HasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("veltrane-host"));
    QApplication::setOrganizationName(QStringLiteral("Veltrane"));
    // The desktop entry the window belongs to (its name and icon in a Wayland session).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.veltrane.VeltraneHost"));
    // The dialogs' own buttons read 确定 and 取消, as the module's texts are Chinese.
    LoadQtTranslations();

    HostOptions options;
    QString error;
    if (!ParseHostOptions(QApplication::arguments(), options, error)) {
        PrintErr(error);
        PrintErr(QStringLiteral("用 --help 查看全部选项"));
        return 2;
    }
    if (options.help || options.version) {
        std::fputs((options.help ? HostHelpText() : HostVersionText()).toUtf8().constData(), stdout);
        return 0;
    }
    if (!options.createDemo.isEmpty()) {
        const int records = options.records >= 0 ? options.records : DemoDefaultRecords;
        // A server named by --connection receives the demo data; PATH is for SQLite files.
        TAdoConn probe;
        probe.SetConnectionString(options.connection);
        const bool server = !options.connection.isEmpty() && probe.IsPostgres();
        const QString target = server ? MaskedConnectionString(options.connection) : options.createDemo;
        // A large database takes a while: say how far it is.
        TDemoProgress progress;
        if (records >= 100000)
            progress = [](int done, int total) {
                ScriptRunner::Print(QStringLiteral("已写入 %1 / %2 条记录").arg(done).arg(total));
            };
        const bool ok = server ? CreateDemoDatabaseAt(options.connection, records, &error, progress)
                               : CreateDemoDatabase(options.createDemo, records, &error, progress);
        if (!ok) {
            PrintErr(QStringLiteral("无法创建演示数据库 %1：%2").arg(target, error));
            return 1;
        }
        ScriptRunner::Print(QStringLiteral("created %1 records=%2").arg(target).arg(records));
        return 0;
    }
    if (options.upgrade) {
        const QString connection = options.connection.isEmpty()
                                       ? QStringLiteral("Provider=SQLite;Data Source=%1").arg(HostSession::DefaultDemoDatabase())
                                       : options.connection;
        if (!HostSession::CheckEmbeddedDatabase(connection, &error)) {
            PrintErr(error);
            return 1;
        }
        const TUpgradeResult r = UpgradeWithProgress(connection, true, &error);
        switch (r) {
        case TUpgradeResult::Current:
            ScriptRunner::Print(QStringLiteral("数据库已是最新的结构版本 %1").arg(ModuleSchemaVersion));
            return 0;
        case TUpgradeResult::Upgraded:
            ScriptRunner::Print(QStringLiteral("数据库已升级到结构版本 %1").arg(ModuleSchemaVersion));
            return 0;
        case TUpgradeResult::ReadOnly:
            PrintErr(QStringLiteral("数据库是只读的，无法升级"));
            return 1;
        case TUpgradeResult::Refused:
            PrintErr(QStringLiteral("当前登录没有修改数据库结构的权限，请由数据库管理员运行 veltrane-host --upgrade，"
                                    "或执行 %1").arg(UpgradeScriptPath(UpgradeScriptName(connection))));
            return 1;
        case TUpgradeResult::Failed:
            PrintErr(QStringLiteral("无法升级数据库：%1").arg(error));
            return 1;
        }
    }
    const bool headless = QGuiApplication::platformName() == QLatin1String("offscreen");
    if (options.script.isEmpty() && headless) {
        PrintErr(QStringLiteral("没有可用的显示器：请用 --script FILE 在脚本模式下运行"));
        return 2;
    }

    std::unique_ptr<QFile> trace;
    if (!options.traceSql.isEmpty()) {
        trace = std::make_unique<QFile>(options.traceSql);
        if (!trace->open(QIODevice::WriteOnly | QIODevice::Append)) {
            PrintErr(QStringLiteral("无法写入 SQL 跟踪文件 %1").arg(options.traceSql));
            return 2;
        }
        QFile* file = trace.get();
        TADOConnection::SetTraceHook([file](const QString& sql) {
            file->write(sql.toUtf8());
            file->write("\n");
            file->flush();
        });
    }

    int code = 0;
    {
        HostSession session(options);
        if (!session.OpenDatabase(&error) || !session.FillRecords(&error) || !session.LoadModule(&error)) {
            PrintErr(error);
            // In a window session the user sees no console.
            if (options.script.isEmpty() && !headless)
                QMessageBox::critical(nullptr, QStringLiteral("Korrindel 7.1-提示信息"), error);
            TADOConnection::SetTraceHook(nullptr);
            return 2;
        }
        session.PlugInManager().OnReleased = [](std::uint32_t token) {
            ScriptRunner::Print(QStringLiteral("released %1").arg(token));
        };
        if (options.script.isEmpty() && !options.screen.isValid())
            session.MainWindow()->showMaximized();
        else
            session.MainWindow()->show();
        if (!options.script.isEmpty()) {
            ScriptRunner runner(session);
            if (!runner.Open(options.script, &error)) {
                PrintErr(error);
                code = 2;
            } else {
                runner.Start();
                code = QApplication::exec();
            }
            // Windows still open go now, while the runner still reports what happens.
            session.CloseAll();
        } else {
            QTimer::singleShot(0, [&session] { session.ShowPlugInWindow(QStringLiteral("TbfrmVeltrane")); });
            code = QApplication::exec();
            session.CloseAll();
        }
        // Then the workers with their own connections, before the session closes
        // the database and unloads the module.
        TThread::StopWorkers();
    }
    TADOConnection::SetTraceHook(nullptr);
    return code;
}
