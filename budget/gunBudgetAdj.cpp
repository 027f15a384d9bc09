#include "budget/gunBudgetAdj.h"
#include "data/untDefData.h"
#include "data/untSqlDialect.h"

TBudgetAdj::TBudgetAdj(TComponent* AOwner) : TUserRecord(AOwner)
{
    for (int p : {34, 35, 36, 37, 40, 41, 49, 50})
        SetText(p, QStringLiteral("1"));
    for (int p : {47, 48})
        SetText(p, QStringLiteral("0"));
}

int TBudgetAdj::TextSlot(int position)
{
    if (position >= 3 && position <= 12)
        return position - 3;
    if (position >= 17 && position <= 50)
        return position - 17 + 10;
    return -1;
}

QString TBudgetAdj::Text(int position) const
{
    const int slot = TextSlot(position);
    return slot < 0 ? QString() : FTexts[std::size_t(slot)];
}

void TBudgetAdj::SetText(int position, const QString& value)
{
    const int slot = TextSlot(position);
    if (slot >= 0)
        FTexts[std::size_t(slot)] = value;
}

double TBudgetAdj::Number(int position) const
{
    return IsNumberPosition(position) ? FNumbers[std::size_t(position - 13)] : 0.0;
}

void TBudgetAdj::SetNumber(int position, double value)
{
    if (IsNumberPosition(position))
        FNumbers[std::size_t(position - 13)] = value;
}

QString BudgetAdjDeleteSQL(const TBudgetAdj& Record, const QString& Condition, TAdoConn* Conn)
{
    QString sql = QStringLiteral(" delete from busibudgetAdj  where datayear=") + QString::number(Record.DataYear);
    if (Condition.isEmpty())
        sql += QStringLiteral(" and BudgId='") + QuotedValue(Conn, Record.BudgId) + QStringLiteral("'");
    else
        sql += Condition;
    return sql;
}

bool TBudgetAdjManage::DeleteRecord(const TBudgetAdj* Record, const QString& Condition)
{
    return DeleteRecord(Record, Condition, nullptr);
}

bool TBudgetAdjManage::DeleteRecord(const TBudgetAdj* Record, const QString& Condition, TError* Error,
                                    TAdoConn* Conn)
{
    if (!Record)
        return false;
    TAdoConn* conn = Conn ? Conn : DefConnection();
    QString sql;
    try {
        sql = BudgetAdjDeleteSQL(*Record, Condition, conn);
    } catch (const std::exception& e) {
        if (Error)
            *Error = TError::From(e);
        return false;
    }
    const TOutcome failure = ExecOn(conn, sql);
    if (failure && Error)
        *Error = *failure;
    return !failure;
}
