#pragma once
// A dataset over a connection: runs its SELECT and keeps the whole result.
#include "toolkit/ADOConnection.h"
#include <atomic>
#include <functional>

// A dataset: opens its SQL on its connection and keeps the whole result (client cursor).
class TOOLKIT_EXPORT TADOQuery : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TADOQuery(TComponent* AOwner = nullptr);
    ~TADOQuery() override;

    TADOConnection* Connection() const { return FConnection; }
    void SetConnection(TADOConnection* c);

    QString SQLText() const { return FSQL; }
    void SetSQLText(const QString& sql);      // closes an open dataset

    // Runs the SQL and fetches every row; may be called on a worker thread.
    void Open();
    // Runs the SQL and hands its rows on one at a time: during each call of OnRow
    // the dataset holds that one row (RecNo 0), and only it; false stops the
    // statement. Closed afterwards. For readers that keep rows in a form of their
    // own: the whole result is never held twice.
    void OpenRows(const std::function<bool()>& OnRow);
    // While set, the statement stops (with EDatabaseError of kind Cancelled) when
    // the token is cancelled: a load nobody waits for any more need not run to its end.
    void SetCancelToken(TCancelToken* Token) { FCancel = Token; }
    void Close();
    bool Active() const;

    void First();
    void Next();
    bool Eof() const;
    bool IsEmpty() const;
    int RecordCount() const;
    int RecNo() const;                          // 0-based current row

    int FieldCount() const;
    QString FieldName(int index) const;
    int FieldIndex(const QString& name) const;  // case-insensitive; -1 when absent
    // Current row's value; Null for SQL NULL. Unknown names raise EDatabaseError
    // ("Field 'x' not found").
    QVariant FieldValue(int index) const;
    QVariant FieldByName(const QString& name) const;
    QString FieldText(const QString& name) const;   // NULL reads as empty text
    // FieldText without the copy; valid while the dataset stays open.
    QStringView FieldView(const QString& name) const;
    // "a;b;c": the current row's values of those fields, in list order.
    QVariantList FieldValues(const QString& names) const;

    // Bulk access to the stored result for readers of whole results (the grid
    // manager): no per-cell objects, no cursor moves. row and col are 0-based;
    // out of range reads as NULL. Views stay valid until the dataset is closed,
    // reopened or destroyed.
    bool CellIsNull(int row, int col) const;
    // The cell as FieldText gives it: empty for NULL, numbers in their shortest
    // round-trip form ("7", "12.5").
    QStringView CellText(int row, int col) const;
    // True for an INTEGER or REAL cell, with its value in *value.
    bool CellNumber(int row, int col, double* value) const;
    QVariant CellValue(int row, int col) const;

    void Notification(TComponent* AComponent, TOperation Operation) override;

    struct Result;

private:
    void Run(const std::function<bool()>* OnRow);
    TADOConnection* FConnection = nullptr;
    QString FSQL;
    std::unique_ptr<Result> FResult;
    int FRow = 0;
    TCancelToken* FCancel = nullptr;
};
