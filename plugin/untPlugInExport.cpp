// The shared module: its one export and the library entry notifications.
#include "plugin/untIPlugIn.h"
#include "plugin/untPlugIn.h"

#if defined(_WIN32)
#define PLUGIN_EXPORT __declspec(dllexport)
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" PLUGIN_EXPORT int PLUGIN_STDCALL ShowPlugInWindow(const char* AName, TPlugInContext* Context)
{
    return ShowPlugInWindowBody(AName, Context);
}

#if defined(_WIN32)
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH: ModuleLoad(); break;
    case DLL_PROCESS_DETACH: ModuleUnload(); break;
    default: DllEntryHandler(int(reason)); break;
    }
    return TRUE;
}
#else
__attribute__((constructor)) static void ModuleAttach()
{
    ModuleLoad();
}

__attribute__((destructor)) static void ModuleDetach()
{
    ModuleUnload();
}
#endif
