#pragma once
// One row of the budget-adjustment table and the statements run on that table.
#include "budget/untUserTable.h"
#include "data/untError.h"
#include <array>

class TAdoConn;

class TBudgetAdj : public TUserRecord {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TBudgetAdj(TComponent* AOwner = nullptr);

    // Positions 1 and 2 of the record.
    std::int32_t DataYear = 0;
    QString BudgId;

    // The further attributes, addressed by their position in the record (3 to 12 and
    // 17 to 50 are texts, 13 to 16 numbers). Nothing reads them yet; they keep the
    // record's shape and defaults. Out-of-range positions read as empty / 0.
    static constexpr int FirstPosition = 3;
    static constexpr int LastPosition = 50;
    static bool IsNumberPosition(int position) { return position >= 13 && position <= 16; }
    QString Text(int position) const;
    void SetText(int position, const QString& value);
    double Number(int position) const;
    void SetNumber(int position, double value);

private:
    static int TextSlot(int position);
    std::array<QString, 44> FTexts;
    std::array<double, 4> FNumbers{};
};

class TBudgetAdjManage : public TUserTable {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TBudgetAdjManage(TComponent* AOwner = nullptr) : TUserTable(AOwner) {}

    // Deletes the rows of the record's year with its BudgId (empty condition) or
    // matching Condition, which starts with its own " and ...", on Conn (the "Def"
    // connection when null), from the thread that runs it: the rows deleted.
    TResult<int> DeleteRecord(const TBudgetAdj* Record, const QString& Condition, TAdoConn* Conn = nullptr);
};

// A statement that changes records of the table, made of its two parts: what it
// does, and its condition (" where ..."). The journal's entries select the records
// under the same condition, so both parts are kept as they were built.
struct TRecordChange {
    QString Head;
    QString Condition;
    QString Text() const { return Head + Condition; }
};

// The statement DeleteRecord runs; the key is quoted for Conn (see QuotedValue).
TRecordChange BudgetAdjDelete(const TBudgetAdj& Record, const QString& Condition, TAdoConn* Conn = nullptr);
inline QString BudgetAdjDeleteSQL(const TBudgetAdj& Record, const QString& Condition, TAdoConn* Conn = nullptr)
{
    return BudgetAdjDelete(Record, Condition, Conn).Text();
}
