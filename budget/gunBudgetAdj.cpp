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

TRecordChange BudgetAdjDelete(const TBudgetAdj& Record, const QString& Condition, TAdoConn* Conn)
{
    TRecordChange change{QStringLiteral(" delete from busibudgetAdj "),
                         QStringLiteral(" where datayear=") + QString::number(Record.DataYear)};
    if (Condition.isEmpty())
        change.Condition += QStringLiteral(" and BudgId='") + QuotedValue(Conn, Record.BudgId) + QStringLiteral("'");
    else
        change.Condition += Condition;
    return change;
}

TResult<int> TBudgetAdjManage::DeleteRecord(const TBudgetAdj* Record, const QString& Condition, TAdoConn* Conn)
{
    if (!Record)
        return TError{QStringLiteral("无法确定对应的预算指标")};
    TAdoConn* conn = Conn ? Conn : DefConnection();
    QString sql;
    try {
        sql = BudgetAdjDeleteSQL(*Record, Condition, conn);
    } catch (const std::exception& e) {
        return TError::From(e);
    }
    return ExecOn(conn, sql);
}
