#pragma once
// Statements of the confirmation window, built from its state as plain text so
// that they can be checked without a database. Every value put between quotes
// is quoted for the connection's session (QuotedValue); for ordinary values the
// text is the fixed form. A value that cannot be written safely on that
// connection raises EDatabaseError, so no statement is made of it.
#include <QString>
#include <QStringList>
#include <cstdint>

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
    QString BType;             // FBType
    QString DeptClass;         // already the decimal text of the integer class
    std::int32_t DataYear = 0;
    bool OfficeColumns = false;   // OfficeColumns is "0": records carry their office
    int OfficeFilter = 0;         // 1 with OfficeColumns: only the operator's office
    QString OfficeCode;           // the operator's office (burid)
};

// The record query of the detail or summary view.
QString RecordQuerySQL(TAdoConn* Conn, const TRecordFilter& Filter);

// The department class as the record query compares it: the text read as a whole
// number. False for empty text or anything that is not a whole number.
bool DeptClassNumber(const QString& Text, QString* Number);

// The key cells of one summary row.
struct TSummaryKey {
    QString Eid, Mid, Bkid, Pid, Ipid, Bid, Iid;
};

// Status updates: one record by number, or every record of a summary row's key.
// Conn: the connection the statement will be sent on, from the thread that sends it.
QString DetailStatusSQL(TAdoConn* Conn, const QString& Status, const QString& BudgId, std::int32_t DataYear);
QString SummaryStatusSQL(TAdoConn* Conn, const QString& Status, std::int32_t DataYear, const QString& BType,
                         const QString& DeptClass, const TSummaryKey& Key);
// The condition of a summary row's delete (starts with its own "and").
QString SummaryDeleteCondition(TAdoConn* Conn, const QString& BType, const QString& DeptClass,
                               const TSummaryKey& Key);
