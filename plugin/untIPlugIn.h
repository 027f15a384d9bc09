#pragma once
// The host boundary: the export's signature and the records the host passes.
// Standard-layout structs in member order; on a 32-bit build every documented
// byte offset holds (checked below), on 64 bits the order is the same and
// pointers are wider.
#include <cstddef>
#include <cstdint>

class TApplication;
class TScreen;
class TDbManager;
class THostRecord;

#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_STDCALL __stdcall
#else
#define PLUGIN_STDCALL
#endif

// The host's plug-in manager, reached through its table of operations; the module
// calls only the fourth entry.
struct IPlugInManager {
    virtual long PLUGIN_STDCALL QueryInterface(const void* iid, void** obj) = 0;
    virtual int PLUGIN_STDCALL AddRef() = 0;
    virtual int PLUGIN_STDCALL Release() = 0;
    virtual void PLUGIN_STDCALL PlugInReleased(std::uint32_t HostToken) = 0;
protected:
    ~IPlugInManager() = default;
};

struct TPlugInInfo {
    std::uint32_t HostToken;   // opaque, handed back to PlugInReleased
    const char* InfoText1;     // reset to empty text on every call
    const char* InfoText2;
    const char* InfoText3;
};

// Host system parameters: the members this module reads, at their host positions.
// Texts are zero-terminated GBK; a null pointer reads as empty text.
struct TSysParams {
    std::int32_t Reserved0[12];
    const char* AskBeforeDelete;      // 48: "1" asks before deleting
    std::int32_t Reserved52[6];
    std::int32_t DefaultBType;        // 76: initial budget type index
    const char* ReportDelete;         // 80: "1" reports a successful delete
    // 84: a confirm, cancel or delete of more records than this asks first; "0"
    // always asks; null or empty: 1000. (A slot the host leaves zero reads as null.)
    const char* LargeRunRecords;
    std::int32_t Reserved88[11];
    const char* FinanceOfficeFlag;    // 132: "1" enables the finance-office rule
    std::int32_t Reserved136[4];
    const char* OfficeColumns;        // 152: "0" shows the responsible office
    std::int32_t Reserved156;
    std::int32_t OfficeFilter;        // 160: 1 lists only the operator's office
};

struct TPubVariables {
    std::int32_t DataYear;            // 0
    TDbManager* DbManager;            // 4
    void* Reserved8;                  // 8: host's own
    THostRecord* UserRecord;          // 12: field 7 = office code
    TSysParams* SysParams;            // 16
    THostRecord* UnitRecord;          // 20: field 0 = eid, 4 = deptclass, 17 = secret default
};

struct TPlugInContext {
    TPubVariables* PubVariables;      // 0
    TPlugInInfo* PlugInInfo;          // 4
    IPlugInManager* PlugInManager;    // 8, may be null
    TApplication* Application;        // 12
    TScreen* Screen;                  // 16
};

#if defined(__i386__) || (defined(_WIN32) && !defined(_WIN64)) || (defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 4)
static_assert(offsetof(TPlugInContext, PubVariables) == 0);
static_assert(offsetof(TPlugInContext, PlugInInfo) == 4);
static_assert(offsetof(TPlugInContext, PlugInManager) == 8);
static_assert(offsetof(TPlugInContext, Application) == 12);
static_assert(offsetof(TPlugInContext, Screen) == 16);
static_assert(sizeof(TPlugInContext) == 20);
static_assert(offsetof(TPlugInInfo, HostToken) == 0);
static_assert(offsetof(TPlugInInfo, InfoText1) == 4);
static_assert(offsetof(TPlugInInfo, InfoText2) == 8);
static_assert(offsetof(TPlugInInfo, InfoText3) == 12);
static_assert(offsetof(TPubVariables, DataYear) == 0);
static_assert(offsetof(TPubVariables, DbManager) == 4);
static_assert(offsetof(TPubVariables, UserRecord) == 12);
static_assert(offsetof(TPubVariables, SysParams) == 16);
static_assert(offsetof(TPubVariables, UnitRecord) == 20);
static_assert(offsetof(TSysParams, AskBeforeDelete) == 48);
static_assert(offsetof(TSysParams, DefaultBType) == 76);
static_assert(offsetof(TSysParams, ReportDelete) == 80);
static_assert(offsetof(TSysParams, LargeRunRecords) == 84);
static_assert(offsetof(TSysParams, FinanceOfficeFlag) == 132);
static_assert(offsetof(TSysParams, OfficeColumns) == 152);
static_assert(offsetof(TSysParams, OfficeFilter) == 160);
#endif

extern "C" {
// The module's only export: opens (or shows again) the window of that class name.
using TShowPlugInWindow = int(PLUGIN_STDCALL*)(const char* AName, TPlugInContext* Context);
}
