#pragma once
// The database connection over Qt SQL. The connection string is ADO-style
// "Key=Value;..."; its Provider picks the Qt driver. Every failure is an
// EDatabaseError carrying the driver's (or our) message.
#include "toolkit/Classes.h"
#include "toolkit/SysUtils.h"
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class QSqlDatabase;
class QSqlError;
struct sqlite3;
class TADOQuery;
class StatementCache;

// Stops a statement in flight from another thread. A worker hands the token to
// its datasets and commands; Cancel (on any thread) marks it and asks the
// database to stop what the worker's session is running now: SQLite's interrupt,
// PostgreSQL's cancel request. A statement stopped so, and one started after,
// fails with an EDatabaseError of kind Cancelled.
class TOOLKIT_EXPORT TCancelToken {
public:
    TCancelToken();
    ~TCancelToken();
    TCancelToken(const TCancelToken&) = delete;
    TCancelToken& operator=(const TCancelToken&) = delete;
    void Cancel();
    bool Cancelled() const;
    // For datasets and commands, on the thread that runs the statement: the
    // session it runs on, from before the statement starts until it has ended.
    void Enter(const QSqlDatabase& Db);
    void Leave();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

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

    // Whether the calling thread's session reads a backslash inside a quoted
    // literal as an escape (a PostgreSQL session with standard_conforming_strings
    // off): quoting must then double backslashes too.
    bool BackslashEscapes();
    // Whether the calling thread's session may not write (an embedded database
    // file this process may only read).
    bool ReadOnly();

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
    // Returns the error to raise, of the kind the failure was.
    EDatabaseError StatementFailed(QSqlDatabase db, const QSqlError& error);
    // Database(), and for an SQLite connection its kept statements.
    QSqlDatabase ThreadDatabase(std::shared_ptr<StatementCache>* statements);

    struct Private;
    std::unique_ptr<Private> d;
    bool FLoginPrompt = false;
};
