#pragma once
// Database access objects over Qt SQL: connection, dataset (query) and command.
// The connection string is ADO-style "Key=Value;..."; its Provider picks the Qt driver.
// Every failure is an EDatabaseError carrying the driver's (or our) message.
#include "toolkit/Classes.h"
#include "toolkit/SysUtils.h"
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class QSqlDatabase;
class QSqlError;
class TADOQuery;
class StatementCache;

class TOOLKIT_EXPORT TADOConnection : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TADOConnection(TComponent* AOwner = nullptr);
    ~TADOConnection() override;

    QString ConnectionString() const;
    void SetConnectionString(const QString& s);   // closes an open connection
    // The value of the connection string's Provider key, as written.
    QString Provider() const;
    // Value of any key of the connection string (case-insensitive key), empty if absent.
    QString ConnectionValue(const QString& key) const;

    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool v) { FLoginPrompt = v; }

    // Opened on first use by a query or command; Open/Close may also be called directly.
    bool Connected() const;
    void SetConnected(bool v);
    void Open();
    void Close();

    // The Qt connection for the calling thread, opened if needed: the interface
    // thread's own, or a per-thread clone on a worker thread.
    QSqlDatabase Database();

    // Every statement sent on any connection is passed to this hook first (the
    // host's SQL trace). Set on the interface thread before any use.
    static void SetTraceHook(std::function<void(const QString& sql)> hook);
    static void Trace(const QString& sql);

private:
    // Datasets and commands using this connection, told when it goes. Kept
    // under a lock of its own (not free notifications): worker threads attach
    // their queries while the interface thread attaches its own.
    friend class TADOQuery;
    friend class TADOCommand;
    void Attach(TADOConnection** slot, TADOQuery* query);
    void Detach(TADOConnection** slot);
    // After a failed statement on a server connection: if the connection was
    // lost, the calling thread's Qt connection is made anew on its next use.
    void StatementFailed(QSqlDatabase db, const QSqlError& error);
    // Database(), and for an SQLite connection its kept statements.
    QSqlDatabase ThreadDatabase(std::shared_ptr<StatementCache>* statements);

    struct Private;
    std::unique_ptr<Private> d;
    bool FLoginPrompt = false;
};

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
    TADOConnection* FConnection = nullptr;
    QString FSQL;
    std::unique_ptr<Result> FResult;
    int FRow = 0;
};

// Executes one statement that returns no rows.
class TOOLKIT_EXPORT TADOCommand : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TADOCommand(TComponent* AOwner = nullptr);
    ~TADOCommand() override;
    TADOConnection* Connection() const { return FConnection; }
    void SetConnection(TADOConnection* c);
    QString CommandText() const { return FText; }
    void SetCommandText(const QString& text) { FText = text; }
    void Execute();
    void Notification(TComponent* AComponent, TOperation Operation) override;
private:
    TADOConnection* FConnection = nullptr;
    QString FText;
};
