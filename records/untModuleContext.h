#pragma once
// What the module takes of its host, read once when a window is made and passed
// down as a plain value: the connection all its SQL runs on, the budget year, the
// operator's unit and office, and the system parameters it follows. Nothing below
// the window reads the host's globals.
#include <QString>
#include <cstdint>
#include <functional>

class TAdoConn;

struct TModuleContext {
    TAdoConn* Conn = nullptr;     // the "Def" connection
    std::int32_t DataYear = 0;
    QString UnitCode;             // the operator's unit (unit record field 0)
    QString UnitDeptClass;        // its department class as the host holds it (field 4)
    QString UnitSecretFlag;       // its secrecy flag (field 17): "1" starts the secrecy filter at 非密
    QString OfficeCode;           // the operator's office (user record field 7)
    QString Operator;             // the operator's name (user record field 1), for the journal
    QString Workstation;          // this computer's name, for the journal
    // System parameters.
    bool AskBeforeDelete = false;     // AskBeforeDelete is "1"
    bool ReportDelete = false;        // ReportDelete is "1"
    bool FinanceOfficeFlag = false;   // FinanceOfficeFlag is "1"
    bool OfficeColumns = false;       // OfficeColumns is "0": records carry their office
    int OfficeFilter = 0;             // 1 with OfficeColumns: only the operator's office
    int DefaultBType = 0;             // the budget type a window starts with
    int LargeRunRecords = 1000;       // a run of more records asks first; 0: every run asks
};

// The host's values as they are now. The host may change them while a window is
// open (its system parameters above all), so a window reads them again through
// this at each action; it is handed over with the first context.
using TModuleContextSource = std::function<TModuleContext()>;
