#include "data/untDefData.h"

#include "data/untHostRecords.h"
#include "data/untSqlDialect.h"
#include "plugin/untGlobals.h"

TAdoConn* DefConnection()
{
    if (!PubVariables || !PubVariables->DbManager)
        return nullptr;
    return PubVariables->DbManager->GetConnection(DefConnectionName);
}

bool ExecDefSQL(const QString& SQL)
{
    try {
        ExecSQL(DefConnection(), SQL);
        return true;
    } catch (...) {
        return false;
    }
}

bool OpenDefSQL(const QString& SQL, IARQueryRef& Query)
{
    try {
        IARQueryRef q;
        OpenQuery(DefConnection(), SQL, q);
        Query = q;
        return true;
    } catch (...) {
        return false;
    }
}

QString RecordFieldText(const THostField* Field)
{
    if (!Field || Field->Value.isNull() || !Field->Value.isValid())
        return {};
    if (Field->Value.typeId() == QMetaType::Bool)
        return Field->Value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return Field->Value.toString();
}

QString RecordFieldText(const THostRecord* Record, int index)
{
    return Record ? RecordFieldText(Record->Fields(index)) : QString();
}

QString SysParamText(const char* value)
{
    return FromGbk(value);
}

bool IsFinanceOffice(const THostRecord* Unit)
{
    if (!Unit)
        return false;
    const QString code = RecordFieldText(Unit, 0);
    if (code.size() != 6)
        return false;
    if (code.mid(3, 3) != QLatin1String("001"))
        return false;
    if (!PubVariables || !PubVariables->SysParams)
        return false;
    return SysParamText(PubVariables->SysParams->FinanceOfficeFlag) == QLatin1String("1");
}

bool IsSingleUnit(const THostRecord* Unit)
{
    if (!Unit || IsFinanceOffice(Unit))
        return false;
    const QString code = RecordFieldText(Unit, 0);
    const QString prefix = code.left(qMax<qsizetype>(0, code.size() - 3));
    IARQueryRef q;
    if (!OpenDefSQL(QStringLiteral("select * from pubdept where eid like '") + QuotedValue(prefix)
                        + QStringLiteral("%'"),
                    q))
        return false;   // no count to judge by: show the tree
    return q->GetQuery()->RecordCount() <= 2;
}
