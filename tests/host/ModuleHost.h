// The built module loaded into the test process with QLibrary, behind a small
// host of our own: the records and parameters are the test's to leave out.
#pragma once
#include "data/untDbManager.h"
#include "data/untHostRecords.h"
#include "plugin/untIPlugIn.h"
#include "tests/host/HostProcess.h"
#include "toolkit/Forms.h"
#include <QLibrary>
#include <QMainWindow>
#include <QMdiArea>

namespace hostproc {

struct ReleaseCounter : IPlugInManager {
    long PLUGIN_STDCALL QueryInterface(const void*, void** obj) override
    {
        if (obj)
            *obj = nullptr;
        return static_cast<long>(0x80004002L);
    }
    int PLUGIN_STDCALL AddRef() override { return 1; }
    int PLUGIN_STDCALL Release() override { return 1; }
    void PLUGIN_STDCALL PlugInReleased(std::uint32_t token) override { released << token; }
    QList<std::uint32_t> released;
};

class ModuleHost {
public:
    explicit ModuleHost(const QString& database)
    {
        window.setCentralWidget(new QMdiArea);
        app = new TApplication;
        app->SetMainWindow(&window);
        app->OnMessageBox = [this](const QString& text, const QString& caption, int) {
            messages << caption + QStringLiteral(" | ") + text;
            return IDOK;
        };
        screen = new TScreen;
        screen->SetSize(1024, 768);
        db = new TDbManager;
        db->ConnectionString = Sqlite(database);
        TAdoConn* def = db->NewConnection(db);
        db->AddConnection(def, QStringLiteral("Def"));
        def->Open();
        unit.SetField(0, QStringLiteral("101001"));
        unit.SetField(4, QStringLiteral("2"));
        unit.SetField(17, QStringLiteral("0"));
        pub = {2024, db, nullptr, &user, &params, &unit};
        info = {77, nullptr, nullptr, nullptr};
        context = {&pub, &info, &manager, app, screen};
        module.setFileName(Bin(QStringLiteral("libbVeltrane.so")));
    }
    ~ModuleHost()
    {
        // Windows go with the application while the module can still hear of it.
        FreeAndNil(app);
        // The MDI area may still hold window frames whose code is the module's.
        delete window.takeCentralWidget();
        if (module.isLoaded())
            module.unload();
        FreeAndNil(screen);
        FreeAndNil(db);
    }
    bool Load()
    {
        if (!module.load())
            return false;
        show = reinterpret_cast<TShowPlugInWindow>(module.resolve("ShowPlugInWindow"));
        return show != nullptr;
    }
    int Show(const char* name) { return show ? show(name, &context) : -2; }
    // The module's windows among the application's forms.
    QList<TForm*> Windows() const
    {
        QList<TForm*> forms;
        for (QObject* o : app->children())
            if (auto* f = qobject_cast<TForm*>(o))
                forms << f;
        return forms;
    }

    QMainWindow window;
    TApplication* app = nullptr;
    TScreen* screen = nullptr;
    TDbManager* db = nullptr;
    THostRecord unit{20};
    THostRecord user{8};
    TSysParams params{};
    TPubVariables pub{};
    TPlugInInfo info{};
    ReleaseCounter manager;
    TPlugInContext context{};
    QLibrary module;
    TShowPlugInWindow show = nullptr;
    QStringList messages;
};

}  // namespace hostproc
