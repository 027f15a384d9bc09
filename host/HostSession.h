#pragma once
#include "data/untDemoData.h"
// The reference host: main window with its MDI area, the host's application and
// screen objects, the connection manager with "Def", the shared variables and
// records handed to the module, the plug-in manager, and the loaded module.
#include "host/HostOptions.h"
#include "plugin/untIPlugIn.h"
#include <QByteArray>
#include <QLibrary>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TApplication;
class TScreen;
class TDbManager;
class TAdoConn;
class THostRecord;
class TForm;
class IVeltraneWindow;
class QMdiArea;
class QMenu;

// Receives PlugInReleased; the module calls nothing else of it.
class HostPlugInManager : public IPlugInManager {
public:
    long PLUGIN_STDCALL QueryInterface(const void* iid, void** obj) override;
    int PLUGIN_STDCALL AddRef() override { return 1; }
    int PLUGIN_STDCALL Release() override { return 1; }
    void PLUGIN_STDCALL PlugInReleased(std::uint32_t HostToken) override;
    std::function<void(std::uint32_t)> OnReleased;
};

// Brings the database up to the module's schema: the steps on the console, or
// in a progress dialog.
TUpgradeResult UpgradeWithProgress(const QString& connection, bool console, QString* error);

class HostSession {
public:
    explicit HostSession(const HostOptions& options);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Every step that can fail says why, in *error. Order: database, records, module.
    bool OpenDatabase(QString* error);
    bool FillRecords(QString* error);
    bool LoadModule(QString* error);

    // Calls the module's export with the host's context.
    int ShowPlugInWindow(const QString& name);

    QMainWindow* MainWindow() { return &FMainWindow; }
    TApplication* Application() const { return FApplication; }
    TScreen* Screen() const { return FScreen; }
    TAdoConn* Def() const { return FDef; }
    HostPlugInManager& PlugInManager() { return FPlugInManager; }
    const HostOptions& Options() const { return FOptions; }
    QString DatabaseDescription() const { return FDatabaseDescription; }

    // The module's windows: the forms the host's application object owns.
    QList<TForm*> ModuleWindows() const;
    // The one a user would act on: the active MDI child, else the last one shown.
    TForm* ActiveModuleWindow() const;
    // That window as the confirmation window the scripts drive; null, with the
    // reason in Error, when there is none or it is of a class that cannot do Command.
    IVeltraneWindow* ActiveVeltraneWindow(const QString& Command, QString& Error) const;

    // Closes the module's windows while the module is still loaded.
    void CloseAll();
    // Quitting (文件 › 退出, the main window's close, the window manager): each
    // module window is asked first (a run in progress may keep the host open).
    // A window that stops its run first closes itself when the run has ended:
    // the quit is pending until then, and is tried again.
    bool QueryQuit();
    bool QuitPending() const { return FQuitPending; }

    static QString DefaultDemoDatabase();
    // libbVeltrane.so, bVeltrane.dll on Windows.
    static QString ModuleFileName();
    // Where the module is looked for without --module, in that order: beside
    // the program (a build tree), then the folder it is installed in.
    static QStringList ModuleCandidates();
    // The file the module was loaded from; empty before LoadModule succeeded.
    QString LoadedModulePath() const;
    // An embedded database named by the connection string is a budget database:
    // the file exists, is SQLite and holds the budget tables. Otherwise false with
    // one message that says what is wrong and what to do; nothing is written to
    // the file either way. Other kinds of connection pass.
    static bool CheckEmbeddedDatabase(const QString& connection, QString* error);

private:
    void BuildMainWindow();
    void SetParams();

    HostOptions FOptions;
    QMainWindow FMainWindow;
    std::unique_ptr<QObject> FQuitGuard;
    bool FQuitPending = false;
    QMdiArea* FMdiArea = nullptr;
    TApplication* FApplication = nullptr;
    TScreen* FScreen = nullptr;
    TDbManager* FDbManager = nullptr;
    TAdoConn* FDef = nullptr;
    std::unique_ptr<THostRecord> FUnitRecord;
    std::unique_ptr<THostRecord> FUserRecord;
    // GBK texts of the system parameters, alive as long as the module may read them.
    QList<QByteArray> FParamTexts;
    TSysParams FSysParams{};
    TPubVariables FPubVariables{};
    TPlugInInfo FPlugInInfo{};
    HostPlugInManager FPlugInManager;
    TPlugInContext FContext{};
    QLibrary FModule;
    TShowPlugInWindow FShow = nullptr;
    QString FDatabaseDescription;
};
