#include "plugin/untGlobals.h"
#include "data/untDbManager.h"
#include "data/untDefData.h"
#include "data/untHostRecords.h"
#include <QSysInfo>

TPlugInContext* PlugInContext = nullptr;
TPubVariables* PubVariables = nullptr;
TPlugInInfo* PlugInInfo = nullptr;
TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

TAdoConn* DefConnectionOf(const TPubVariables* Host)
{
    if (!Host || !Host->DbManager)
        return nullptr;
    return Host->DbManager->GetConnection(DefConnectionName);
}

}  // namespace

TAdoConn* HostDefConnection() { return DefConnectionOf(PubVariables); }

TModuleContext ReadModuleContext(const TPubVariables* Host)
{
    TModuleContext c;
    c.Conn = DefConnectionOf(Host);
    if (!Host)
        return c;
    c.DataYear = Host->DataYear;
    c.UnitCode = RecordFieldText(Host->UnitRecord, 0);
    c.UnitDeptClass = RecordFieldText(Host->UnitRecord, 4);
    c.UnitSecretFlag = RecordFieldText(Host->UnitRecord, 17);
    c.OfficeCode = RecordFieldText(Host->UserRecord, 7);
    c.Operator = RecordFieldText(Host->UserRecord, 1);
    c.Workstation = QSysInfo::machineHostName();
    if (const TSysParams* p = Host->SysParams) {
        c.AskBeforeDelete = SysParamText(p->AskBeforeDelete) == QLatin1String("1");
        c.ReportDelete = SysParamText(p->ReportDelete) == QLatin1String("1");
        c.FinanceOfficeFlag = SysParamText(p->FinanceOfficeFlag) == QLatin1String("1");
        c.OfficeColumns = SysParamText(p->OfficeColumns) == QLatin1String("0");
        c.OfficeFilter = p->OfficeFilter;
        c.DefaultBType = p->DefaultBType;
        bool ok = false;
        const int large = SysParamText(p->LargeRunRecords).trimmed().toInt(&ok);
        if (ok && large >= 0)
            c.LargeRunRecords = large;
    }
    return c;
}

TModuleContextSource ModuleContextSource(const TPubVariables* Host)
{
    return [Host] { return ReadModuleContext(Host); };
}
