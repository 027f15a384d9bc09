#include "plugin/untPlugIn.h"
#include "forms/bwnVeltrane.h"
#include "forms/wnBase.h"
#include "data/untDefData.h"
#include "plugin/untClassRegist.h"
#include "plugin/untGlobals.h"
#include "plugin/untResRefManager.h"
#include "toolkit/Forms.h"
#include "toolkit/Threads.h"

TResRefManager* ResRefManager = nullptr;
TApplication* SavedApplication = nullptr;
TScreen* SavedScreen = nullptr;

namespace {

// Handed to the host for its three info texts: constant, in the module's own data.
const char EmptyText[] = "";

TApplication* OwnApplication = nullptr;
TScreen* OwnScreen = nullptr;
bool Loaded = false;

void ModuleGlobals_Initialize()
{
    OwnApplication = new TApplication;
    OwnScreen = new TScreen;
    Application = OwnApplication;
    Screen = OwnScreen;
}

void ModuleGlobals_Finalize()
{
    if (Application == OwnApplication)
        Application = nullptr;
    if (Screen == OwnScreen)
        Screen = nullptr;
    FreeAndNil(OwnScreen);
    FreeAndNil(OwnApplication);
}

void untPlugIn_Initialize()
{
    ResRefManager = new TResRefManager(nullptr);
}

void untPlugIn_Finalize()
{
    // Windows still registered are not freed here: their owner is the application.
    FreeAndNil(ResRefManager);
}

}  // namespace

int ShowPlugInWindowBody(const char* AName, TPlugInContext* Context)
{
    if (!Context)
        return -1;
    try {
        PlugInContext = Context;
        PubVariables = Context->PubVariables;
        if (TPlugInInfo* info = Context->PlugInInfo) {
            info->InfoText1 = EmptyText;
            info->InfoText2 = EmptyText;
            info->InfoText3 = EmptyText;
        }
        PlugInInfo = Context->PlugInInfo;
        if (Context->Application)
            Application = Context->Application;
        if (Context->Screen)
            Screen = Context->Screen;
        if (!ResRefManager)
            throw Exception(QStringLiteral("模块没有正确加载！"));
        ResRefManager->OnBeforeCreate = DoBeforeCreate;
        ResRefManager->OnAfterCreate = DoAfterCreate;
        ResRefManager->OnAllReleased = DoAllReleased;
        ResRefManager->OnExisting = DoExisting;
        OpenPlugInWindow(FromGbk(AName), ReadModuleContext(Context->PubVariables), ModuleContextSource(Context->PubVariables));
        return 0;
    } catch (const std::exception& e) {
        if (Application)
            Application->HandleException(nullptr, e);
    } catch (...) {
        if (Application)
            Application->HandleException(nullptr, Exception(QStringLiteral("未知错误！")));
    }
    return -1;
}

QObject* OpenPlugInWindow(const QString& AName, const TModuleContext& Context, const TModuleContextSource& Source)
{
    if (!ResRefManager)
        return nullptr;
    // A window already open reads the host's values of this call from now on, as
    // one made now does from its FormCreate.
    if (auto* open = qobject_cast<TbfrmVeltrane*>(ResRefManager->LookupResource(AName)); open && !open->IsDestroying())
        open->SetModuleContext(Context, Source);
    ResRefManager->OnPrepare = [&Context, &Source](TResRefManager*, QObject* AObject) {
        if (auto* window = qobject_cast<TbfrmVeltrane*>(AObject))
            window->SetModuleContext(Context, Source);
    };
    QObject* window = ResRefManager->GetResource(AName, true);
    ResRefManager->OnPrepare = nullptr;
    return window;
}

void DoBeforeCreate(TResRefManager*, const QString&, bool&) {}

void DoAfterCreate(TResRefManager*, QObject* AObject)
{
    if (auto* base = qobject_cast<TfrmBase*>(AObject)) {
        if (base->FModalShow != 0)
            base->ShowModal();
        else
            base->Show();
    } else if (auto* form = qobject_cast<TForm*>(AObject)) {
        // An ancestor class named by the host: shown, never modally.
        form->Show();
    }
}

void DoExisting(TResRefManager*, QObject* AObject)
{
    if (auto* form = qobject_cast<TForm*>(AObject))
        form->Show();
}

void DoAllReleased(TResRefManager*)
{
    if (!PlugInContext || !PlugInContext->PlugInManager)
        return;
    const std::uint32_t token = PlugInContext->PlugInInfo ? PlugInContext->PlugInInfo->HostToken : 0;
    PlugInContext->PlugInManager->PlugInReleased(token);
}

void DllEntryHandler(int Reason)
{
    switch (Reason) {
    case DLL_PROCESS_ATTACH_REASON:
        SavedApplication = Application;
        SavedScreen = Screen;
        break;
    case DLL_PROCESS_DETACH_REASON:
        Application = SavedApplication;
        Screen = SavedScreen;
        break;
    default:
        break;
    }
}

void ModuleLoad()
{
    if (Loaded)
        return;
    ModuleGlobals_Initialize();
    untClassRegist_Initialize();
    untPlugIn_Initialize();
    bwnVeltrane_Initialize();
    SetDefConnectionSource(&HostDefConnection);
    DllEntryHandler(DLL_PROCESS_ATTACH_REASON);
    Loaded = true;
}

void ModuleUnload()
{
    if (!Loaded)
        return;
    Loaded = false;
    // No worker may run the module's code, or hold a session of the host's
    // connection on its own, once the module is gone.
    TThread::StopWorkers();
    DllEntryHandler(DLL_PROCESS_DETACH_REASON);
    SetDefConnectionSource(nullptr);
    bwnVeltrane_Finalize();
    untPlugIn_Finalize();
    untClassRegist_Finalize();
    ModuleGlobals_Finalize();
    PlugInContext = nullptr;
    PubVariables = nullptr;
    PlugInInfo = nullptr;
    SavedApplication = nullptr;
    SavedScreen = nullptr;
}

bool ModuleLoaded() { return Loaded; }
TApplication* ModuleOwnApplication() { return OwnApplication; }
TScreen* ModuleOwnScreen() { return OwnScreen; }
