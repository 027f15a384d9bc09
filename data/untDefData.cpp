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
    return ExecDefSQL(SQL, nullptr, nullptr);
}

bool ExecDefSQL(const QString& SQL, QString* Error, bool* Persistent)
{
    try {
        ExecSQL(DefConnection(), SQL);
        return true;
    } catch (const EDatabaseError& e) {
        if (Error)
            *Error = e.Message();
        if (Persistent)
            *Persistent = e.Persistent();
    } catch (const Exception& e) {
        if (Error)
            *Error = e.Message();
        if (Persistent)
            *Persistent = false;
    } catch (...) {
        if (Error)
            *Error = QStringLiteral("执行SQL语句失败");
        if (Persistent)
            *Persistent = false;
    }
    return false;
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
    const QString prefix = WithoutLastCharacters(code, 3);
    IARQueryRef q;
    QString quoted;
    try {
        quoted = QuotedValue(DefConnection(), prefix);
    } catch (const Exception&) {
        return false;   // a code no statement can carry: show the tree
    }
    if (!OpenDefSQL(QStringLiteral("select * from pubdept where eid like '") + quoted + QStringLiteral("%'"), q))
        return false;   // no count to judge by: show the tree
    return q->GetQuery()->RecordCount() <= 2;
}

namespace {

// Index of the UTF-16 unit where character number Count starts (the length when
// there are fewer).
qsizetype CharacterOffset(const QString& Text, int Count)
{
    qsizetype i = 0;
    for (int c = 0; c < Count && i < Text.size(); ++c)
        i += (Text[i].isHighSurrogate() && i + 1 < Text.size() && Text[i + 1].isLowSurrogate()) ? 2 : 1;
    return i;
}

}  // namespace

int CharacterCount(const QString& Text)
{
    int n = 0;
    for (qsizetype i = 0; i < Text.size(); ++n)
        i += (Text[i].isHighSurrogate() && i + 1 < Text.size() && Text[i + 1].isLowSurrogate()) ? 2 : 1;
    return n;
}

QString FirstCharacters(const QString& Text, int Count)
{
    return Text.left(CharacterOffset(Text, qMax(0, Count)));
}

QString WithoutLastCharacters(const QString& Text, int Count)
{
    return FirstCharacters(Text, qMax(0, CharacterCount(Text) - Count));
}

