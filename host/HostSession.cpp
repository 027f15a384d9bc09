#include "host/HostSession.h"
#include "data/untDbManager.h"
#include "data/untDemoData.h"
#include "data/untHostRecords.h"
#include "toolkit/ADODB.h"
#include "toolkit/ConnectionString.h"
#include "data/untError.h"
#include "plugin/untIVeltraneWindow.h"
#include <QProgressDialog>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include "toolkit/Forms.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTimer>
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// Defaults where neither the INI file nor the command line says otherwise: the
// demo data's operator.
constexpr int UnitRecordFields = 20;
constexpr int UserRecordFields = 10;

}  // namespace

QString HostSession::ModuleFileName()
{
#if defined(_WIN32)
    return QStringLiteral("bVeltrane.dll");
#else
    return QStringLiteral("libbVeltrane.so");
#endif
}

QStringList HostSession::ModuleCandidates()
{
    // Beside the program first: a build tree runs its own module, not an installed one.
    QStringList paths{QDir(QCoreApplication::applicationDirPath()).filePath(ModuleFileName())};
#ifdef VELTRANE_MODULE_DIR
    const QString installed = QDir(QStringLiteral(VELTRANE_MODULE_DIR)).filePath(ModuleFileName());
    if (!paths.contains(installed))
        paths << installed;
#endif
    return paths;
}

long PLUGIN_STDCALL HostPlugInManager::QueryInterface(const void*, void** obj)
{
    if (obj)
        *obj = nullptr;
    return static_cast<long>(0x80004002L);
}

void PLUGIN_STDCALL HostPlugInManager::PlugInReleased(std::uint32_t HostToken)
{
    if (OnReleased)
        OnReleased(HostToken);
}

HostSession::HostSession(const HostOptions& options) : FOptions(options)
{
    BuildMainWindow();
    FApplication = new TApplication;
    FApplication->SetTitle(QStringLiteral("Korrindel 7.1"));
    FApplication->SetMainWindow(&FMainWindow);
    FScreen = new TScreen;
    if (FOptions.screen.isValid()) {
        FScreen->SetSize(FOptions.screen.width(), FOptions.screen.height());
        // A fixed screen (headless runs, tests): the main window covers it, as a
        // maximised host window does.
        FMainWindow.resize(FOptions.screen);
    }
    FDbManager = new TDbManager;

    FPlugInInfo.HostToken = FOptions.token;
    static const char hostInfo[] = "veltrane-host";
    FPlugInInfo.InfoText1 = hostInfo;
    FPlugInInfo.InfoText2 = hostInfo;
    FPlugInInfo.InfoText3 = hostInfo;
    FPubVariables.DataYear = FOptions.year > 0 ? FOptions.year : DemoDefaultYear;
    FPubVariables.DbManager = FDbManager;
    FPubVariables.SysParams = &FSysParams;
    FContext.PubVariables = &FPubVariables;
    FContext.PlugInInfo = &FPlugInInfo;
    FContext.PlugInManager = &FPlugInManager;
    FContext.Application = FApplication;
    FContext.Screen = FScreen;
    SetParams();
}

namespace {

// Holds the main window's close until the module's windows agree.
class QuitGuard : public QObject {
public:
    explicit QuitGuard(HostSession& session) : FSession(session) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && watched == FSession.MainWindow() && !FSession.QueryQuit()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    HostSession& FSession;
};

}  // namespace

TUpgradeResult UpgradeWithProgress(const QString& connection, bool console, QString* error)
{
    QString why;
    if (console) {
        const TUpgradeResult r = UpgradeDatabase(
            connection, [](const QString& step) { std::fprintf(stdout, "upgrade %s\n", step.toUtf8().constData()); std::fflush(stdout); },
            &why);
        if (r == TUpgradeResult::Failed || r == TUpgradeResult::Refused)
            std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("注意：数据库没有升级：%1").arg(why)));
        if (error)
            *error = why;
        return r;
    }
    // On a worker, while a dialog says what it does: building an index of a large
    // table takes a while.
    std::mutex lock;
    QString step;
    std::atomic<bool> done{false};
    TUpgradeResult result = TUpgradeResult::Failed;
    std::thread worker([&] {
        result = UpgradeDatabase(
            connection,
            [&](const QString& s) {
                std::lock_guard<std::mutex> l(lock);
                step = s;
            },
            &why);
        done.store(true);
    });
    QProgressDialog dialog(QStringLiteral("正在升级数据库…"), QString(), 0, 0);
    dialog.setWindowTitle(QStringLiteral("Korrindel 7.1"));
    dialog.setMinimumDuration(300);
    dialog.setCancelButton(nullptr);
    while (!done.load()) {
        {
            std::lock_guard<std::mutex> l(lock);
            if (!step.isEmpty())
                dialog.setLabelText(step);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    worker.join();
    if (error)
        *error = why;
    return result;
}

bool HostSession::QueryQuit()
{
    for (TForm* f : ModuleWindows()) {
        // A window of another class has nothing to finish.
        auto* w = qobject_cast<IVeltraneWindow*>(f);
        if (!w)
            continue;
        switch (w->QueryQuit()) {
        case IVeltraneWindow::TQuitAnswer::Go:
            break;
        case IVeltraneWindow::TQuitAnswer::Stay:
            return false;
        case IVeltraneWindow::TQuitAnswer::Later:
            if (!FQuitPending) {
                FQuitPending = true;
                // Once it has gone the others are asked again, from the event
                // loop: the window is still being destroyed here.
                QObject::connect(f, &QObject::destroyed, &FMainWindow, [this] {
                    QTimer::singleShot(0, &FMainWindow, [this] {
                        FQuitPending = false;
                        FMainWindow.close();
                    });
                });
            }
            return false;
        }
    }
    return true;
}

HostSession::~HostSession()
{
    FMainWindow.removeEventFilter(FQuitGuard.get());
    CloseAll();
    // The windows go with the application object, while the module is loaded and the
    // plug-in manager can still hear of it.
    FreeAndNil(FApplication);
    FreeAndNil(FScreen);
    FPubVariables.DbManager = nullptr;
    FDef = nullptr;
    FreeAndNil(FDbManager);
}

void HostSession::BuildMainWindow()
{
    FQuitGuard = std::make_unique<QuitGuard>(*this);
    FMainWindow.installEventFilter(FQuitGuard.get());
    FMainWindow.setWindowTitle(QStringLiteral("Korrindel 7.1"));
    FMdiArea = new QMdiArea;
    FMdiArea->setObjectName(QStringLiteral("mdiArea"));
    FMainWindow.setCentralWidget(FMdiArea);
    QMenu* file = FMainWindow.menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(QStringLiteral("打开支付范围划分确认(&O)"), [this] { ShowPlugInWindow(QStringLiteral("TbfrmVeltrane")); });
    file->addSeparator();
    file->addAction(QStringLiteral("退出(&X)"), &FMainWindow, &QWidget::close);
    QMenu* windows = FMainWindow.menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    windows->setObjectName(QStringLiteral("mnuWindow"));
    windows->addAction(QStringLiteral("层叠(&C)"), FMdiArea, &QMdiArea::cascadeSubWindows);
    windows->addAction(QStringLiteral("平铺(&T)"), FMdiArea, &QMdiArea::tileSubWindows);
    windows->addAction(QStringLiteral("全部关闭(&A)"), FMdiArea, &QMdiArea::closeAllSubWindows);
    FMainWindow.resize(1024, 768);
}

void HostSession::SetParams()
{
    QMap<QString, QString> p{{QStringLiteral("AskBeforeDelete"), QStringLiteral("1")},
                             {QStringLiteral("DefaultBType"), QStringLiteral("1")},
                             {QStringLiteral("ReportDelete"), QStringLiteral("1")},
                             {QStringLiteral("FinanceOfficeFlag"), QStringLiteral("1")},
                             {QStringLiteral("OfficeColumns"), QStringLiteral("0")},
                             {QStringLiteral("OfficeFilter"), QStringLiteral("0")}};
    for (auto it = FOptions.params.cbegin(); it != FOptions.params.cend(); ++it)
        p[it.key()] = it.value();
    // The module keeps reading these pointers: the byte arrays live in the session.
    FParamTexts.clear();
    auto text = [this](const QString& v) {
        FParamTexts.append(ToGbk(v));
        return FParamTexts.last().constData();
    };
    FSysParams.AskBeforeDelete = text(p.value(QStringLiteral("AskBeforeDelete")));
    FSysParams.ReportDelete = text(p.value(QStringLiteral("ReportDelete")));
    FSysParams.FinanceOfficeFlag = text(p.value(QStringLiteral("FinanceOfficeFlag")));
    FSysParams.OfficeColumns = text(p.value(QStringLiteral("OfficeColumns")));
    FSysParams.DefaultBType = p.value(QStringLiteral("DefaultBType")).toInt();
    FSysParams.OfficeFilter = p.value(QStringLiteral("OfficeFilter")).toInt();
    FSysParams.LargeRunRecords = p.contains(QStringLiteral("LargeRunRecords"))
                                     ? text(p.value(QStringLiteral("LargeRunRecords")))
                                     : nullptr;
}

QString HostSession::DefaultDemoDatabase()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(dir).filePath(QStringLiteral("demo.sqlite"));
}

bool HostSession::CheckEmbeddedDatabase(const QString& connection, QString* error)
{
    const ConnectionSettings settings = ParseConnectionString(connection);
    if (settings.Value(QStringLiteral("Provider")).compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0)
        return true;
    const QString path = settings.Value(QStringLiteral("Data Source"));
    if (path.isEmpty() || path == QLatin1String(":memory:") || path.startsWith(QLatin1String("file:")))
        return true;
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("数据库文件不存在：%1\n请检查 Data Source 中的路径；要新建演示数据库，请运行 "
                                "veltrane-host --create-demo %1").arg(shown);
        return false;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取数据库文件：%1\n请检查路径和文件的读取权限。").arg(shown);
        return false;
    }
    const QByteArray head = file.read(16);
    file.close();
    if (head != QByteArray("SQLite format 3", 16)) {
        *error = QStringLiteral("文件不是数据库：%1（%2）\n请检查 Data Source 是否指向预算数据库文件；本程序不会改写这个文件。")
                     .arg(shown, head.isEmpty() ? QStringLiteral("文件是空的") : QStringLiteral("不是 SQLite 数据库"));
        return false;
    }
    // The tables, read on a read-only session of its own.
    QStringList missing;
    {
        const QString name = QStringLiteral("veltrane-check-%1").arg(quintptr(&settings));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            QStringList present;
            if (q.exec(QStringLiteral("select lower(name) from sqlite_master where type in ('table','view')")))
                while (q.next())
                    present << q.value(0).toString();
            // (Without the view the window still opens and says its query failed.)
            for (const char* table : {"pubdept", "BusiBudgetAdj"})
                if (!present.contains(QString::fromLatin1(table).toLower()))
                    missing << QString::fromLatin1(table);
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    if (!missing.isEmpty()) {
        *error = QStringLiteral("数据库中没有预算数据表：%1（缺少 %2）\n请检查 Data Source 是否指向预算数据库；要新建演示数据库，"
                                "请运行 veltrane-host --create-demo 新文件名").arg(shown, missing.join(QStringLiteral("、")));
        return false;
    }
    return true;
}

bool HostSession::OpenDatabase(QString* error)
{
    QString connection = FOptions.connection;
    if (connection.isEmpty()) {
        const QString path = DefaultDemoDatabase();
        if (!QFileInfo::exists(path)) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QString why;
            if (!CreateDemoDatabase(path, DemoDefaultRecords, &why)) {
                *error = QStringLiteral("无法创建演示数据库 %1：%2").arg(path, why);
                return false;
            }
        }
        connection = QStringLiteral("Provider=SQLite;Data Source=%1").arg(path);
    }
    // Nothing is written to a file that is not a budget database already.
    if (!CheckEmbeddedDatabase(connection, error))
        return false;
    // An embedded database the host opens is brought up to the module's schema
    // (the indexes its statements need, the journal); servers are upgraded on
    // request (--upgrade), by a login that may change their schema.
    if (!FOptions.noUpgrade && UpgradeScriptName(connection) == QLatin1String("upgrade.sql"))
        UpgradeWithProgress(connection, !FOptions.script.isEmpty(), nullptr);
    FDatabaseDescription = connection;
    FDbManager->ConnectionString = connection;
    FDef = FDbManager->NewConnection(FDbManager);
    try {
        FDbManager->AddConnection(FDef, DefConnectionName);
        FDef->Open();
    } catch (const std::exception& e) {
        *error = QStringLiteral("无法打开数据库（%1）：%2")
                     .arg(MaskedConnectionString(connection), AdvisedMessage(TError::From(e)));
        return false;
    }
    return true;
}

bool HostSession::FillRecords(QString* error)
{
    Q_UNUSED(error);
    const QString unit = FOptions.unit.isEmpty() ? QString::fromLatin1(DemoDefaultUnit) : FOptions.unit;
    FUnitRecord = std::make_unique<THostRecord>(UnitRecordFields);
    FUserRecord = std::make_unique<THostRecord>(UserRecordFields);
    FUnitRecord->SetField(0, unit);
    FUnitRecord->SetField(17, QStringLiteral("0"));
    if (FDef) {
        TADOQuery q;
        q.SetConnection(FDef);
        QString quoted = unit;
        quoted.replace(QLatin1Char('\''), QLatin1String("''"));
        q.SetSQLText(QStringLiteral("select eid, ename, deptclass from pubdept where eid='%1'").arg(quoted));
        try {
            q.Open();
            if (q.IsEmpty()) {
                fprintf(stderr, "%s\n", qPrintable(QStringLiteral("注意：单位 %1 不在 pubdept 中").arg(unit)));
            } else {
                FUnitRecord->SetField(1, q.FieldByName(QStringLiteral("ename")));
                FUnitRecord->SetField(4, q.FieldByName(QStringLiteral("deptclass")));
            }
        } catch (const std::exception& e) {
            fprintf(stderr, "%s\n", qPrintable(QStringLiteral("注意：无法读取单位 %1：%2").arg(unit, QString::fromUtf8(e.what()))));
        }
    }
    for (auto it = FOptions.unitFields.cbegin(); it != FOptions.unitFields.cend(); ++it)
        FUnitRecord->SetField(it.key(), it.value().compare(QLatin1String("null"), Qt::CaseInsensitive) == 0
                                            ? QVariant() : QVariant(it.value()));
    FUserRecord->SetField(7, FOptions.office.isEmpty() ? QString::fromLatin1(DemoDefaultOffice) : FOptions.office);
    // The operator's name, for the journal of the module's writes.
    QString name = FOptions.operatorName;
    if (name.isEmpty())
        name = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME", QDir::home().dirName()));
    FUserRecord->SetField(1, name);
    FPubVariables.UnitRecord = FUnitRecord.get();
    FPubVariables.UserRecord = FUserRecord.get();
    return true;
}

bool HostSession::LoadModule(QString* error)
{
    QString path = FOptions.module;
    if (path.isEmpty()) {
        const QStringList candidates = ModuleCandidates();
        for (const QString& c : candidates)
            if (QFileInfo::exists(c)) {
                path = c;
                break;
            }
        if (path.isEmpty()) {
            *error = QStringLiteral("找不到模块 %1（查找了 %2）；可用 --module PATH 指定")
                         .arg(ModuleFileName(), QDir::toNativeSeparators(candidates.join(QStringLiteral("、"))));
            return false;
        }
    }
    FModule.setFileName(path);
    if (!FModule.load()) {
        *error = QStringLiteral("无法载入模块 %1：%2").arg(path, FModule.errorString());
        return false;
    }
    FShow = reinterpret_cast<TShowPlugInWindow>(FModule.resolve("ShowPlugInWindow"));
    if (!FShow) {
        *error = QStringLiteral("模块 %1 没有导出 ShowPlugInWindow").arg(path);
        return false;
    }
    return true;
}

QString HostSession::LoadedModulePath() const
{
    if (!FShow)
        return {};
    // The file the system loaded the export from, not the name it was asked for.
#if defined(_WIN32)
    HMODULE module = nullptr;
    wchar_t name[MAX_PATH];
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(FShow), &module)
        || !GetModuleFileNameW(module, name, MAX_PATH))
        return {};
    return QFileInfo(QString::fromWCharArray(name)).canonicalFilePath();
#else
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(FShow), &info) || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
#endif
}

int HostSession::ShowPlugInWindow(const QString& name)
{
    if (!FShow)
        return -1;
    const QByteArray gbk = ToGbk(name);
    return FShow(gbk.constData(), &FContext);
}

QList<TForm*> HostSession::ModuleWindows() const
{
    QList<TForm*> out;
    if (!FApplication)
        return out;
    for (int i = 0; i < FApplication->ComponentCount(); ++i)
        if (auto* f = qobject_cast<TForm*>(FApplication->Components(i)); f && !f->IsDestroying())
            out.append(f);
    return out;
}

TForm* HostSession::ActiveModuleWindow() const
{
    const QList<TForm*> windows = ModuleWindows();
    if (QMdiSubWindow* active = FMdiArea->activeSubWindow())
        for (TForm* f : windows)
            if (f->MdiFrame() == active)
                return f;
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        if ((*it)->Visible())
            return *it;
    return windows.isEmpty() ? nullptr : windows.last();
}

IVeltraneWindow* HostSession::ActiveVeltraneWindow(const QString& Command, QString& Error) const
{
    TForm* f = ActiveModuleWindow();
    if (!f) {
        Error = QStringLiteral("没有打开的模块窗口");
        return nullptr;
    }
    auto* w = qobject_cast<IVeltraneWindow*>(f);
    if (!w)
        Error = QStringLiteral("窗口 %1 不支持 %2").arg(f->ClassName(), Command);
    return w;
}

void HostSession::CloseAll()
{
    if (!FApplication)
        return;
    for (TForm* f : ModuleWindows())
        f->Free();
}
