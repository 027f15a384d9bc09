#pragma once
// Module-wide variables: the host context of the latest ShowPlugInWindow call and
// the module's current global application and screen objects (the host's once a
// call has handed them over, the module's own before that and after unload).
#include "plugin/untIPlugIn.h"

class TApplication;
class TScreen;

extern TPlugInContext* PlugInContext;
extern TPubVariables* PubVariables;
extern TPlugInInfo* PlugInInfo;
extern TApplication* Application;
extern TScreen* Screen;

// The "Def" connection of the host's connection manager (nullptr without one).
class TAdoConn;
TAdoConn* HostDefConnection();
// The host's FinanceOfficeFlag system parameter is "1".
bool HostFinanceOfficeFlag();

// The host's values the module works with, read now (see records/untModuleContext.h).
struct TModuleContext;
TModuleContext HostModuleContext();
