#pragma once
// Statements of the confirmation window, built from its state as plain text so
// that they can be checked without a database. Every value put between quotes
// is quoted for the connection's session (QuotedValue); for ordinary values the
// text is the fixed form. A value that cannot be written safely on that
// connection raises EDatabaseError, so no statement is made of it.
#include "budget/gunBudgetAdj.h"
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class TAdoConn;

// The organisation tree's base query: active units under the prefix, only the
// delegated ones ("显示代录单位") when asked.
QString DeptTreeSQL(TAdoConn* Conn, const QString& Prefix, bool DelegatedOnly);

// The label column of a record's budget sub-type, in the connection's dialect.
// On Oracle a searched CASE: its DECODE cannot carry the further conditions.
QString ChildExpression(TAdoConn* Conn);
// The searched CASE form over key/result pairs (odd last entry: the ELSE part).
QString SearchedCase(const QString& Expr, const QStringList& Entries);
// The ten entries the sub-type label is built from.
QStringList ChildEntries();

enum class TStatusView { Unconfirmed, Confirmed, Any };

struct TRecordFilter {
    bool Detail = false;
    TStatusView Status = TStatusView::Unconfirmed;
    QString UnitCode;          // FUnitCode: the eid prefix
    // The top node of the tree: the units it shows under it, each with the units
    // under it (their codes as prefixes). Empty: UnitCode alone.
    QStringList UnitScope;
    QString BType;             // FBType
    QString DeptClass;         // already the decimal text of the integer class
    std::int32_t DataYear = 0;
    bool OfficeColumns = false;   // OfficeColumns is "0": records carry their office
    int OfficeFilter = 0;         // 1 with OfficeColumns: only the operator's office
    QString OfficeCode;           // the operator's office (burid)
};

// The units of the view as a condition: "eid like '<UnitCode>%'", or over the
// scope "(eid like '<a>%' or eid like '<b>%' ...)".
QString UnitCondition(TAdoConn* Conn, const TRecordFilter& Filter);
// The length of the unit prefix the summary view sums per: UnitCode's, or the
// shortest of the scope's.
int UnitPrefixLength(const TRecordFilter& Filter);

// The record query of the detail or summary view.
QString RecordQuerySQL(TAdoConn* Conn, const TRecordFilter& Filter);

// The department class as the record query compares it: the text read as a whole
// number. False for empty text or anything that is not a whole number.
bool DeptClassNumber(const QString& Text, QString* Number);

// The key cells of one summary row. NullCodes: bit k set when code k (Mid, Bkid,
// Pid, Ipid, Bid, Iid in that order) is NULL in the database; such a code is
// matched with IS NULL, so that the row written is the row shown.
struct TSummaryKey {
    QString Eid, Mid, Bkid, Pid, Ipid, Bid, Iid;
    quint8 NullCodes = 0;
};

// Status updates: one record by number, or every record of a summary row's key.
// Conn: the connection the statement will be sent on, from the thread that sends it.
TRecordChange DetailStatusChange(TAdoConn* Conn, const QString& Status, const QString& BudgId, std::int32_t DataYear);
TRecordChange SummaryStatusChange(TAdoConn* Conn, const QString& Status, std::int32_t DataYear, const QString& BType,
                                  const QString& DeptClass, const TSummaryKey& Key);
inline QString DetailStatusSQL(TAdoConn* Conn, const QString& Status, const QString& BudgId, std::int32_t DataYear)
{
    return DetailStatusChange(Conn, Status, BudgId, DataYear).Text();
}
inline QString SummaryStatusSQL(TAdoConn* Conn, const QString& Status, std::int32_t DataYear, const QString& BType,
                                const QString& DeptClass, const TSummaryKey& Key)
{
    return SummaryStatusChange(Conn, Status, DataYear, BType, DeptClass, Key).Text();
}
// The condition of a summary row's delete (starts with its own "and").
QString SummaryDeleteCondition(TAdoConn* Conn, const QString& BType, const QString& DeptClass,
                               const TSummaryKey& Key);

// What a write of a run holds a row to: its records are still what the user saw.
// Appended to the statements above, each starting with its own " and ".
//
// A detail row: the record of that number in the year, alone there (a table of an
// older schema may hold twins), with the status, unit, budget type, department
// class, office (when the view filtered by it) and amount shown.
struct TSeenRecord {
    QString BudgId, Eid, Status, Amount;   // Amount: the database's text, empty for NULL
};
QString DetailGuard(TAdoConn* Conn, const TRecordFilter& View, const TSeenRecord& Seen);
// A summary row: the view's own conditions (status, office), and the records of
// the key under them as many, and adding up to the amount, as shown.
QString SummaryGuard(TAdoConn* Conn, const TRecordFilter& View, const TSummaryKey& Key, int Count,
                     const QString& Amount);
// A detail row's number held by more than one record of the year.
QString TwinCountSQL(TAdoConn* Conn, const QString& BudgId, std::int32_t DataYear);

// The kinds of run; undo takes a confirm or cancel run back.
enum class TRunKind { Confirm, Cancel, Delete, Undo };
inline constexpr TRunKind RunKinds[] = {TRunKind::Confirm, TRunKind::Cancel, TRunKind::Delete, TRunKind::Undo};
// The run's action as the journal names it (Action): confirm, cancel, delete, undo.
// Every statement, marker and search spells the actions through these.
QString RunAction(TRunKind Kind);
// Its verb for the user: 确认, 撤销, 删除, 恢复.
QString RunVerb(TRunKind Kind);
// The kind an action names (none for any other text).
std::optional<TRunKind> RunKindOfAction(const QString& Action);
// The Action of a run's start or end entry: "<action>:start", "<action>:end".
QString RunMarker(TRunKind Kind, bool End);

// The journal of the module's writes (table BusiBudgetAdjLog).
struct TJournalEntry {
    QString RunId;
    TRunKind Kind = TRunKind::Confirm;
    QString NewStatus, Operator, Workstation, LoggedAt;
};
// "insert into BusiBudgetAdjLog (...) select ... from BusiBudgetAdj" + Condition:
// one entry per record the change of that condition touches.
QString JournalInsertSQL(TAdoConn* Conn, const TJournalEntry& Entry, const QString& Condition);
// A run's confirm and cancel entries in order, among the entries (From, To]:
// BudgId, OldStatus, NewStatus, BudgMoney, DataYear.
QString JournalOfRunSQL(TAdoConn* Conn, const QString& RunId, long long From, long long To);
// The latest entry's number (0 for none).
QString JournalLastIdSQL();
// The start and the end of a run, each an entry of its own (BudgId 0, Action
// RunMarker), written outside the run's changes: a run
// with a start and no end was cut short.
QString JournalMarkSQL(TAdoConn* Conn, const TJournalEntry& Run, bool End);
// The starts of an operator's runs on a workstation, newest first: LogId, RunId, Action.
QString JournalRunStartsSQL(TAdoConn* Conn, const QString& Operator, const QString& Workstation);
// A run's entries after its start, in order: Action, BudgMoney, LogId.
QString JournalRunEntriesSQL(TAdoConn* Conn, const QString& RunId, long long After);
// A record's entries, newest first: LoggedAt, Operator, Workstation, Action,
// OldStatus, NewStatus, BudgMoney.
QString RecordHistorySQL(const QString& BudgId, std::int32_t DataYear);
// The embedded database journals through triggers of the writing session (TEMP):
// each entry is written by the change's own statement. Made for a run with its
// values (Run's NewStatus unused), dropped when it ends.
QStringList JournalTriggerSQL(TAdoConn* Conn, const TJournalEntry& Run);
QStringList JournalRunEndSQL();
// Whether the journal table is there: a statement that fails without it.
QString JournalProbeSQL();
