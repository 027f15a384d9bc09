#include "data/untDefData.h"

#include "data/untHostRecords.h"
#include "data/untSqlDialect.h"
#include <atomic>
namespace {
std::atomic<TDefConnectionSource> defSource{nullptr};
}

void SetDefConnectionSource(TDefConnectionSource Source)
{
    defSource.store(Source);
}

TAdoConn* DefConnection()
{
    const TDefConnectionSource source = defSource.load();
    return source ? source() : nullptr;
}

TResult<int> ExecDefSQL(const QString& SQL)
{
    return ExecOn(DefConnection(), SQL);
}

TResult<int> ExecOn(TAdoConn* Conn, const QString& SQL)
{
    try {
        return ExecSQL(Conn, SQL);
    } catch (const std::exception& e) {
        return TError::From(e);
    } catch (...) {
        return TError{QStringLiteral("执行SQL语句失败")};
    }
}

TResult<IARQueryRef> OpenDefSQL(const QString& SQL)
{
    try {
        IARQueryRef q;
        OpenQuery(DefConnection(), SQL, q);
        return q;
    } catch (const std::exception& e) {
        return TError::From(e);
    } catch (...) {
        return TError{QStringLiteral("执行SQL语句失败")};
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

bool IsFinanceOffice(const QString& UnitCode, bool FinanceOfficeFlag)
{
    if (UnitCode.size() != 6)
        return false;
    if (UnitCode.mid(3, 3) != QLatin1String("001"))
        return false;
    return FinanceOfficeFlag;
}

bool IsSingleUnit(TAdoConn* Conn, const QString& UnitCode, bool FinanceOfficeFlag)
{
    if (UnitCode.isEmpty() || IsFinanceOffice(UnitCode, FinanceOfficeFlag))
        return false;
    const QString prefix = WithoutLastCharacters(UnitCode, 3);
    try {
        IARQueryRef q;
        OpenQuery(Conn, QStringLiteral("select * from pubdept where eid like '") + QuotedValue(Conn, prefix)
                            + QStringLiteral("%'"), q);
        return q->GetQuery()->RecordCount() <= 2;
    } catch (...) {
        return false;   // a code no statement can carry, or no count to judge by: show the tree
    }
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

