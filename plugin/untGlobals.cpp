#include "plugin/untGlobals.h"
#include "data/untDbManager.h"
#include "data/untDefData.h"
#include "data/untHostRecords.h"
#include "records/untModuleContext.h"
#include <QSysInfo>

TPlugInContext* PlugInContext = nullptr;
TPubVariables* PubVariables = nullptr;
TPlugInInfo* PlugInInfo = nullptr;
TApplication* Application = nullptr;
TScreen* Screen = nullptr;

TAdoConn* HostDefConnection()
{
    if (!PubVariables || !PubVariables->DbManager)
        return nullptr;
    return PubVariables->DbManager->GetConnection(DefConnectionName);
}

bool HostFinanceOfficeFlag()
{
    const TSysParams* p = PubVariables ? PubVariables->SysParams : nullptr;
    return p && SysParamText(p->FinanceOfficeFlag) == QLatin1String("1");
}

TModuleContext HostModuleContext()
{
    TModuleContext c;
    c.Conn = HostDefConnection();
    if (!PubVariables)
        return c;
    c.DataYear = PubVariables->DataYear;
    c.UnitCode = RecordFieldText(PubVariables->UnitRecord, 0);
    c.UnitDeptClass = RecordFieldText(PubVariables->UnitRecord, 4);
    c.OfficeCode = RecordFieldText(PubVariables->UserRecord, 7);
    c.Operator = RecordFieldText(PubVariables->UserRecord, 1);
    c.Workstation = QSysInfo::machineHostName();
    if (const TSysParams* p = PubVariables->SysParams) {
        c.AskBeforeDelete = SysParamText(p->AskBeforeDelete) == QLatin1String("1");
        c.ReportDelete = SysParamText(p->ReportDelete) == QLatin1String("1");
        c.FinanceOfficeFlag = SysParamText(p->FinanceOfficeFlag) == QLatin1String("1");
        c.OfficeColumns = SysParamText(p->OfficeColumns) == QLatin1String("0");
        c.OfficeFilter = p->OfficeFilter;
        bool ok = false;
        const int large = SysParamText(p->LargeRunRecords).trimmed().toInt(&ok);
        if (ok && large >= 0)
            c.LargeRunRecords = large;
    }
    return c;
}

namespace {
// The data layer asks the module for its connection; it reads no globals itself.
const bool defSourceSet = (SetDefConnectionSource(&HostDefConnection), true);
}  // namespace
