#include "plugin/untGlobals.h"

TPlugInContext* PlugInContext = nullptr;
TPubVariables* PubVariables = nullptr;
TPlugInInfo* PlugInInfo = nullptr;
TApplication* Application = nullptr;
TScreen* Screen = nullptr;
