#pragma once
// Module-wide variables: the host context of the latest ShowPlugInWindow call and
// the module's current global application and screen objects (the host's once a
// call has handed them over, the module's own before that and after unload).
// Only plugin/ and the windows read them; what the layers below need is handed
// to them as values (records/untModuleContext.h).
#include "plugin/untIPlugIn.h"
#include "records/untModuleContext.h"

class TApplication;
class TScreen;

extern TPlugInContext* PlugInContext;
extern TPubVariables* PubVariables;
extern TPlugInInfo* PlugInInfo;
extern TApplication* Application;
extern TScreen* Screen;

// The "Def" connection of the host's connection manager (nullptr without one):
// the data layer's Def connection while the module is loaded.
class TAdoConn;
TAdoConn* HostDefConnection();

// The host's values the module works with, read now from its records (an
// empty context for none).
TModuleContext ReadModuleContext(const TPubVariables* Host);
// Reads them again at each call, from the same records.
TModuleContextSource ModuleContextSource(const TPubVariables* Host);
