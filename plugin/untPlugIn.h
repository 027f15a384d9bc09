#pragma once
// The plug-in entry: the body of the export, the show handlers installed in the
// resource reference manager, the library entry handler and the module's
// explicit load and unload sequence.
#include "plugin/untIPlugIn.h"
#include "records/untModuleContext.h"
#include <QString>

class QObject;
class TApplication;
class TScreen;
class TResRefManager;

extern TResRefManager* ResRefManager;
extern TApplication* SavedApplication;
extern TScreen* SavedScreen;

// The export's body. Returns 0 when every step ran, -1 for a null context (nothing
// touched) or after an exception it caught itself.
int ShowPlugInWindowBody(const char* AName, TPlugInContext* Context);

// The found or created window of that class name, or null. The confirmation
// window is handed the context and its source before its FormCreate runs.
QObject* OpenPlugInWindow(const QString& AName, const TModuleContext& Context, const TModuleContextSource& Source);

void DoBeforeCreate(TResRefManager* Sender, const QString& AName, bool& Allow);
void DoAfterCreate(TResRefManager* Sender, QObject* AObject);
void DoExisting(TResRefManager* Sender, QObject* AObject);
void DoAllReleased(TResRefManager* Sender);

enum : int { DLL_PROCESS_DETACH_REASON = 0, DLL_PROCESS_ATTACH_REASON = 1 };
void DllEntryHandler(int Reason);

// Load: the module's own application and screen objects become the globals, then
// the class registry, the entry unit (ResRefManager), the window unit, the data
// layer's Def connection (the host's), and the entry handler with reason 1.
// Unload runs it backwards, reason 0 first.
void ModuleLoad();
void ModuleUnload();
bool ModuleLoaded();

// The application and screen objects the module made for itself at load.
TApplication* ModuleOwnApplication();
TScreen* ModuleOwnScreen();
