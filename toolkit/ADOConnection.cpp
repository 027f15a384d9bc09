#include "toolkit/ADOConnection.h"
#include "toolkit/ADOInternal.h"
#include "toolkit/ADODataset.h"
#include "toolkit/ConnectionString.h"
#include "toolkit/SqliteStatements.h"
#include "toolkit/SqliteFunctions.h"
#include "toolkit/Threads.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QThread>
#include <algorithm>
#include <charconv>
#include <limits>
#include <cstring>
#include <sqlite3.h>
#include <mutex>
#include <thread>
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <unordered_map>
#include <vector>

using namespace adointernal;

// ---------------------------------------------------------------------------
// Connection string and provider

namespace {

enum class Backend { None, SQLite, Odbc, Postgres };

Backend BackendOf(const QString& provider)
{
    const QString p = AsciiUpper(provider);
    if (p.contains(QLatin1String("SQLITE")))
        return Backend::SQLite;
    static const char* const odbc[] = {"SQLOLEDB", "MSSQL", "SQL SERVER", "JET.OLEDB", "ACCESS",
                                       "ORAOLEDB", "MSDAORA", "ORACLE", "MSDASQL"};
    for (const char* k : odbc)
        if (p.contains(QLatin1String(k)))
            return Backend::Odbc;
    // After the ODBC kinds, as the database kind is told: those win a mixed name.
    for (const char* k : {"POSTGRES", "PGSQL", "NPGSQL"})
        if (p.contains(QLatin1String(k)))
            return Backend::Postgres;
    return Backend::None;
}

// One value of an ODBC connection string, braced when it would otherwise end early.
QString OdbcValue(const QString& v)
{
    if (!v.contains(QLatin1Char(';')) && !v.contains(QLatin1Char('{')) && !v.contains(QLatin1Char('}'))
        && v.trimmed() == v)
        return v;
    QString e = v;
    e.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + e + QLatin1Char('}');
}

QString FirstValue(const ConnectionSettings& s, std::initializer_list<const char*> keys)
{
    for (const char* k : keys) {
        QString v = s.Value(QLatin1String(k));
        if (!v.isEmpty())
            return v;
    }
    return QString();
}

QString OdbcConnectionString(const ConnectionSettings& s, const QString& provider)
{
    const QString p = AsciiUpper(provider);
    const bool access = p.contains(QLatin1String("JET.OLEDB")) || p.contains(QLatin1String("ACCESS"));
    QStringList parts;
    auto add = [&](const char* odbcKey, const QString& value) {
        if (!value.isEmpty())
            parts << QLatin1String(odbcKey) + QLatin1Char('=') + OdbcValue(value);
    };
    auto first = [&](std::initializer_list<const char*> keys) {
        for (const char* k : keys) {
            QString v = s.Value(QLatin1String(k));
            if (!v.isEmpty())
                return v;
        }
        return QString();
    };
    QString driver = s.Value(QStringLiteral("Driver"));
    if (driver.startsWith(QLatin1Char('{')) && driver.endsWith(QLatin1Char('}')))
        driver = driver.mid(1, driver.size() - 2);
    QString dsn = s.Value(QStringLiteral("DSN"));
    // The ODBC bridge carries a whole ODBC string in its extended properties.
    QString extended = s.Value(QStringLiteral("Extended Properties"));
    if (driver.isEmpty() && dsn.isEmpty() && extended.isEmpty())
        throw EDatabaseError(QStringLiteral("连接字符串没有指定ODBC驱动程序或数据源（提供程序：%1）").arg(provider));
    if (!driver.isEmpty())
        parts << QStringLiteral("DRIVER={") + QString(driver).replace(QLatin1String("}"), QLatin1String("}}"))
                     + QLatin1Char('}');
    add("DSN", dsn);
    if (access) {
        add("DBQ", first({"DBQ", "Data Source", "Database"}));
    } else {
        add("SERVER", first({"Server", "Data Source"}));
        add("DATABASE", first({"Database", "Initial Catalog"}));
    }
    add("UID", first({"UID", "User ID"}));
    add("PWD", first({"PWD", "Password"}));
    QString out = parts.join(QLatin1Char(';'));
    if (!extended.isEmpty())
        out = out.isEmpty() ? extended : out + QLatin1Char(';') + extended;
    return out;
}

QAtomicInteger<quint64> connectionSerial;

// How long a statement waits for another session's lock.
constexpr int LockTimeoutMs = 5000;

// SQLite waits for another session's lock in its busy handler, where an
// interrupt is not looked at: ours waits in short slices, up to the timeout, and
// gives up at once when the statement is cancelled. One per SQLite session, found
// by its handle (a handle reused by a later session gets a new one).
struct SqliteWait {
    std::atomic<bool> cancel{false};
};
std::mutex waitsLock;
std::unordered_map<sqlite3*, std::shared_ptr<SqliteWait>> waits;

int BusyWait(void* context, int count)
{
    constexpr int sliceMs = 10;
    auto* wait = static_cast<SqliteWait*>(context);
    if (wait->cancel.load() || count * sliceMs >= LockTimeoutMs)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    return 1;
}

std::shared_ptr<SqliteWait> WaitOf(sqlite3* h)
{
    std::lock_guard<std::mutex> l(waitsLock);
    const auto it = waits.find(h);
    return it == waits.end() ? nullptr : it->second;
}

std::function<void(const QString&)>& TraceHookSlot()
{
    static std::function<void(const QString&)> hook;
    return hook;
}
QMutex& TraceLock()
{
    static QMutex m;
    return m;
}

}  // namespace

// ---------------------------------------------------------------------------
// Per-thread Qt connections.
//
// A Qt connection may only be used on the thread that made it, so every thread
// that touches a TADOConnection gets a connection of its own, registered under a
// unique name. The registry below is shared with the threads' exit hooks through
// a shared pointer so that either side may go first.

namespace {

struct ConnectionRegistry {
    QMutex lock;
    QHash<QThread*, QString> names;   // thread -> Qt connection name
    // Whether names holds any, readable without the lock (asked once per tree node).
    std::atomic<bool> connected{false};
    QSet<QString> lost;               // connections found dead: made anew on next use
    // Kept statements of each SQLite connection, by connection name.
    QHash<QString, std::shared_ptr<StatementCache>> statements;
    bool alive = true;

    // With the lock held: the Qt connection of that name goes, its kept
    // statements first (one kept would keep the driver from closing the file).
    // While its thread is running one now, both go when that run lets go of the
    // statements: taken out of the registry, the cache finalizes them and removes
    // the connection then, on that thread.
    void ForgetConnection(const QString& name)
    {
        const std::shared_ptr<StatementCache> cache = statements.take(name);
        if (cache) {
            cache->closing = true;
            if (!cache->lock.tryLock()) {
                cache->onRelease = [name] { QSqlDatabase::removeDatabase(name); };
                return;
            }
            cache->Clear();
            cache->lock.unlock();
        }
        QSqlDatabase::removeDatabase(name);
    }
};

void RemoveThreadClone(const std::weak_ptr<ConnectionRegistry>& registry, QThread* thread, const QString& name)
{
    auto reg = registry.lock();
    if (!reg)
        return;
    QMutexLocker l(&reg->lock);
    auto it = reg->names.find(thread);
    if (it != reg->names.end() && it.value() == name) {
        reg->names.erase(it);
        reg->connected = !reg->names.isEmpty();
        reg->ForgetConnection(name);
    }
}

// The Qt connections a worker thread made, removed on that thread when it ends:
// a pool thread's when the pool stops it (TThread::AtWorkerExit), before the
// application goes; any other thread's at its exit. (Another QThread's also go
// with its finished signal, before wait() returns.)
struct ThreadExitCleanup {
    struct Entry {
        std::weak_ptr<ConnectionRegistry> registry;
        QString name;
        QThread* thread;   // kept: Qt's own thread data may already be gone here
    };
    std::vector<Entry> entries;
    bool poolThread = false;   // Run is registered with the pool
    void Run()
    {
        std::vector<Entry> done;
        done.swap(entries);
        for (const Entry& e : done)
            RemoveThreadClone(e.registry, e.thread, e.name);
    }
    ~ThreadExitCleanup() { Run(); }
};

thread_local ThreadExitCleanup threadCleanup;

}  // namespace

struct TADOConnection::Private {
    struct User {
        TADOConnection** slot;
        TADOQuery* query;
    };
    QMutex usersLock;
    std::vector<User> users;
    QString connectionString;
    ConnectionSettings settings;
    quint64 serial = ++connectionSerial;
    std::shared_ptr<ConnectionRegistry> registry = std::make_shared<ConnectionRegistry>();

    void CloseAll()
    {
        QMutexLocker l(&registry->lock);
        for (const QString& name : std::as_const(registry->names)) {
            registry->ForgetConnection(name);
        }
        registry->names.clear();
        registry->connected = false;
        registry->lost.clear();
    }
};

TADOConnection::TADOConnection(TComponent* AOwner) : TComponent(AOwner), d(std::make_unique<Private>()) {}

TADOConnection::~TADOConnection()
{
    std::vector<Private::User> users;
    {
        QMutexLocker l(&d->usersLock);
        users.swap(d->users);
    }
    for (const Private::User& u : users) {
        *u.slot = nullptr;
        if (u.query)
            u.query->Close();
    }
    d->CloseAll();
}

void TADOConnection::Attach(TADOConnection** slot, TADOQuery* query)
{
    QMutexLocker l(&d->usersLock);
    d->users.push_back({slot, query});
}

void TADOConnection::Detach(TADOConnection** slot)
{
    QMutexLocker l(&d->usersLock);
    std::erase_if(d->users, [slot](const Private::User& u) { return u.slot == slot; });
}

QString TADOConnection::ConnectionString() const
{
    return d->connectionString;
}

void TADOConnection::SetConnectionString(const QString& s)
{
    Close();
    d->connectionString = s;
    d->settings = ParseConnectionString(s);
}

QString TADOConnection::Provider() const
{
    return d->settings.Value(QStringLiteral("Provider"));
}

QString TADOConnection::ConnectionValue(const QString& key) const
{
    return d->settings.Value(key);
}

bool TADOConnection::Connected() const
{
    return d->registry->connected.load(std::memory_order_acquire);
}

void TADOConnection::SetConnected(bool v)
{
    if (v)
        Open();
    else
        Close();
}

void TADOConnection::Open()
{
    Database();
}

void TADOConnection::Close()
{
    d->CloseAll();
}

QSqlDatabase TADOConnection::Database()
{
    return ThreadDatabase(nullptr);
}

QSqlDatabase TADOConnection::ThreadDatabase(std::shared_ptr<StatementCache>* statements)
{
    QThread* self = QThread::currentThread();
    {
        QMutexLocker l(&d->registry->lock);
        auto it = d->registry->names.constFind(self);
        if (it != d->registry->names.constEnd()) {
            QSqlDatabase db = QSqlDatabase::database(it.value(), false);
            if (db.isOpen() && !d->registry->lost.contains(it.value())) {
                if (statements)
                    *statements = d->registry->statements.value(it.value());
                return db;
            }
            const QString stale = it.value();
            d->registry->names.remove(self);
            d->registry->connected = !d->registry->names.isEmpty();
            d->registry->lost.remove(stale);
            db = QSqlDatabase();
            d->registry->ForgetConnection(stale);
        }
    }

    const QString provider = Provider();
    const Backend backend = BackendOf(provider);
    if (backend == Backend::None) {
        if (provider.isEmpty())
            throw EDatabaseError(QStringLiteral("连接字符串没有指定数据库提供程序"));
        throw EDatabaseError(QStringLiteral("无法识别的数据库提供程序：%1").arg(provider));
    }
    const QString driver = backend == Backend::SQLite     ? QStringLiteral("QSQLITE")
                           : backend == Backend::Postgres ? QStringLiteral("QPSQL")
                                                          : QStringLiteral("QODBC");
    if (!QSqlDatabase::isDriverAvailable(driver))
        throw EDatabaseError(QStringLiteral("数据库驱动程序%1不可用（提供程序：%2）").arg(driver, provider));

    QString databaseName;
    if (backend == Backend::SQLite) {
        databaseName = d->settings.Value(QStringLiteral("Data Source"));
        if (databaseName.isEmpty())
            throw EDatabaseError(QStringLiteral("连接字符串没有指定数据库文件（Data Source）"));
        // The driver would make an empty database of a mistyped name, which then
        // reads as a database without units. Only the demo builder creates files.
        if (databaseName != QLatin1String(":memory:") && !QFileInfo(databaseName).isFile())
            throw EDatabaseError(QStringLiteral("数据库文件不存在：%1").arg(databaseName), EDatabaseError::Lost);
    } else if (backend == Backend::Postgres) {
        databaseName = FirstValue(d->settings, {"Database", "Initial Catalog"});
    } else {
        databaseName = OdbcConnectionString(d->settings, provider);
    }

    const QString name = QStringLiteral("TADOConnection-%1-%2-%3")
                             .arg(d->serial)
                             .arg(reinterpret_cast<quintptr>(self), 0, 16)
                             .arg(++connectionSerial);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        db.setDatabaseName(databaseName);
        if (backend == Backend::Postgres) {
            db.setHostName(FirstValue(d->settings, {"Server", "Host", "Data Source"}));
            const QString port = d->settings.Value(QStringLiteral("Port"));
            if (!port.isEmpty()) {
                bool ok = false;
                const int p = port.toInt(&ok);
                if (!ok || p <= 0 || p > 65535) {
                    db = QSqlDatabase();
                    QSqlDatabase::removeDatabase(name);
                    throw EDatabaseError(QStringLiteral("连接字符串的端口号无效：%1").arg(port));
                }
                db.setPort(p);
            }
            db.setUserName(FirstValue(d->settings, {"UID", "User ID"}));
            db.setPassword(FirstValue(d->settings, {"PWD", "Password"}));
            // A server that does not answer must not hang the window.
            db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        }
        if (!db.open()) {
            QString msg = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw EDatabaseError(msg.isEmpty() ? QStringLiteral("无法打开数据库：%1").arg(databaseName) : msg,
                                 EDatabaseError::Lost);
        }
        if (backend == Backend::SQLite) {
            sqlite3* h = SqliteHandle(db);
            char* err = nullptr;
            // A unit range is a LIKE prefix of unit codes. Codes are compared as
            // written (unit A01 is not a01), and only a case-sensitive LIKE can walk
            // the index of the codes.
            static const char setup[] =
                "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA case_sensitive_like=ON;";
            int rc = h ? sqlite3_exec(h, setup, nullptr, nullptr, &err) : SQLITE_ERROR;
            // Sums of amounts exact to the cent, as the servers' numeric sums are.
            if (rc == SQLITE_OK && !RegisterExactSum(h))
                rc = SQLITE_ERROR;
            if (rc == SQLITE_OK) {
                auto wait = std::make_shared<SqliteWait>();
                sqlite3_busy_handler(h, &BusyWait, wait.get());
                std::lock_guard<std::mutex> l(waitsLock);
                waits[h] = std::move(wait);
            }
            if (rc != SQLITE_OK) {
                QString msg = err ? QString::fromUtf8(err) : QStringLiteral("无法打开数据库：%1").arg(databaseName);
                sqlite3_free(err);
                db.close();
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(name);
                throw EDatabaseError(msg, EDatabaseError::Lost);
            }
        }
        const bool postgresSession =
            backend == Backend::Postgres
            || (backend == Backend::Odbc
                && AsciiUpper(d->settings.Value(QStringLiteral("Driver"))).contains(QLatin1String("POSTGRES")));
        if (postgresSession) {
            // With standard_conforming_strings off (a database, role or server
            // setting) a backslash in a quoted value would escape its closing
            // quote. Every session of ours reads literals as the standard says.
            // A statement that meets another session's lock gives up after as long
            // as SQLite's busy timeout, instead of waiting for as long as the other
            // session keeps it.
            QSqlQuery set(db);
            if (!set.exec(QStringLiteral("SET standard_conforming_strings = on"))
                || !set.exec(QStringLiteral("SET lock_timeout = '%1ms'").arg(LockTimeoutMs))) {
                const QString msg = set.lastError().text();
                set = QSqlQuery();
                db.close();
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(name);
                throw EDatabaseError(QStringLiteral("无法设置数据库会话：%1").arg(msg), EDatabaseError::Lost);
            }
        }
    }
    {
        QMutexLocker l(&d->registry->lock);
        d->registry->names.insert(self, name);
        d->registry->connected = true;
        if (backend == Backend::SQLite) {
            auto cache = std::make_shared<StatementCache>();
            d->registry->statements.insert(name, cache);
            if (statements)
                *statements = std::move(cache);
        }
    }
    // The interface thread's connections go with the TADOConnection; a worker's
    // also go when the worker ends.
    if (QCoreApplication::instance() && self != QCoreApplication::instance()->thread()) {
        std::erase_if(threadCleanup.entries, [](const ThreadExitCleanup::Entry& e) { return e.registry.expired(); });
        threadCleanup.entries.push_back({d->registry, name, self});
        if (!threadCleanup.poolThread)
            threadCleanup.poolThread = TThread::AtWorkerExit([] { threadCleanup.Run(); });
        if (!threadCleanup.poolThread) {
            std::weak_ptr<ConnectionRegistry> reg = d->registry;
            // The application as context: a thread-less functor would tie the
            // thread's data to its own signal and keep adopted threads alive.
            QObject::connect(self, &QThread::finished, QCoreApplication::instance(),
                             [reg, self, name] { RemoveThreadClone(reg, self, name); }, Qt::DirectConnection);
        }
    }
    return QSqlDatabase::database(name, false);
}

// ---------------------------------------------------------------------------
// libpq, as Qt's PostgreSQL driver loaded it
//
// The toolkit does not link libpq: a PostgreSQL session exists only where the
// driver is installed and loaded, and the driver brings libpq with it. Its
// functions are taken from that copy; none is loaded of our own.

namespace {

struct PgConn;      // libpq's PGconn
struct PgCancel;    // libpq's PGcancel

struct LibPq {
    PgCancel* (*getCancel)(PgConn*) = nullptr;
    void (*freeCancel)(PgCancel*) = nullptr;
    int (*cancel)(PgCancel*, char*, int) = nullptr;
    const char* (*parameterStatus)(const PgConn*, const char*) = nullptr;
    bool Complete() const { return getCancel && freeCancel && cancel && parameterStatus; }
};

void* PgSymbol(const char* name)
{
#if defined(_WIN32)
    HMODULE lib = GetModuleHandleW(L"libpq.dll");
    return lib ? reinterpret_cast<void*>(GetProcAddress(lib, name)) : nullptr;
#else
    // RTLD_NOLOAD: a handle only to the libpq in the process already (the driver
    // loads it with its own symbols out of the global scope).
    void* lib = dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
    if (!lib)
        return nullptr;
    void* f = dlsym(lib, name);
    dlclose(lib);   // drops the reference just taken; the driver's stays
    return f;
#endif
}

template <typename F>
void Resolve(F& slot, const char* name)
{
    slot = reinterpret_cast<F>(PgSymbol(name));
}

// Looked up while no PostgreSQL session has been opened, the functions are not
// there yet: asked again until all are found, then kept.
const LibPq* FindLibPq()
{
    static std::mutex lock;
    static LibPq found;
    std::lock_guard<std::mutex> l(lock);
    if (!found.Complete()) {
        LibPq pq;
        Resolve(pq.getCancel, "PQgetCancel");
        Resolve(pq.freeCancel, "PQfreeCancel");
        Resolve(pq.cancel, "PQcancel");
        Resolve(pq.parameterStatus, "PQparameterStatus");
        if (pq.Complete())
            found = pq;
    }
    return found.Complete() ? &found : nullptr;
}

// The driver's session handle, when the connection is a PostgreSQL one.
PgConn* PgHandle(const QSqlDatabase& Db)
{
    if (!Db.driver())
        return nullptr;
    const QVariant v = Db.driver()->handle();
    // The driver names the handle's type by libpq's struct (pg_conn*), or by its typedef.
    if (v.isValid() && (qstrcmp(v.typeName(), "pg_conn*") == 0 || qstrcmp(v.typeName(), "PGconn*") == 0))
        return *static_cast<PgConn* const*>(v.constData());
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Cancelling a statement in flight

struct TCancelToken::Private {
    std::mutex lock;
    std::atomic<bool> cancelled{false};
    sqlite3* sqlite = nullptr;   // the session running a statement now
    std::shared_ptr<SqliteWait> wait;
    PgCancel* pg = nullptr;
    const LibPq* pq = nullptr;   // set with pg
};

TCancelToken::TCancelToken() : d(std::make_unique<Private>()) {}

TCancelToken::~TCancelToken()
{
    Leave();
}

bool TCancelToken::Cancelled() const
{
    return d->cancelled.load();
}

void TCancelToken::Cancel()
{
    std::lock_guard<std::mutex> l(d->lock);
    d->cancelled.store(true);
    // Under the lock: the session is still running its statement (Leave waits).
    if (d->wait)
        d->wait->cancel.store(true);
    if (d->sqlite)
        sqlite3_interrupt(d->sqlite);
    if (d->pg) {
        char error[256];
        d->pq->cancel(d->pg, error, int(sizeof error));
    }
}

void TCancelToken::Enter(const QSqlDatabase& Db)
{
    Leave();
    if (Cancelled())
        throw EDatabaseError(QStringLiteral("操作已取消"), EDatabaseError::Cancelled);
    std::lock_guard<std::mutex> l(d->lock);
    if (sqlite3* h = adointernal::SqliteHandle(Db)) {
        d->sqlite = h;
        d->wait = WaitOf(h);
        if (d->wait)
            d->wait->cancel.store(false);
        return;
    }
    if (PgConn* conn = PgHandle(Db)) {
        d->pq = FindLibPq();
        if (d->pq)
            d->pg = d->pq->getCancel(conn);
    }
}

void TCancelToken::Leave()
{
    std::lock_guard<std::mutex> l(d->lock);
    d->sqlite = nullptr;
    d->wait.reset();
    if (d->pg) {
        d->pq->freeCancel(d->pg);
        d->pg = nullptr;
    }
}

bool TADOConnection::ReadOnly()
{
    sqlite3* h = SqliteHandle(Database());
    return h && sqlite3_db_readonly(h, "main") == 1;
}

bool TADOConnection::BackslashEscapes()
{
    PgConn* conn = PgHandle(Database());
    if (!conn)
        return false;
    // The server reports every change of the setting to the client, so this is
    // the session's own value, also after a SET of someone else's. Unread, the
    // session is taken to escape: quoting backslashes twice is the safe side.
    const LibPq* pq = FindLibPq();
    const char* value = pq ? pq->parameterStatus(conn, "standard_conforming_strings") : nullptr;
    return !value || qstrcmp(value, "on") != 0;
}

EDatabaseError TADOConnection::StatementFailed(QSqlDatabase db, const QSqlError& error)
{
    const bool lost = !db.isOpen() || error.type() == QSqlError::ConnectionError;
    // A statement may fail because the server went away (restarted, network
    // cut). The PostgreSQL driver then closes itself, and the next use opens a
    // new connection; a driver that reports a connection error but still reads
    // as open gets the same.
    if (lost) {
        QMutexLocker l(&d->registry->lock);
        auto it = d->registry->names.constFind(QThread::currentThread());
        if (it != d->registry->names.constEnd() && it.value() == db.connectionName())
            d->registry->lost.insert(it.value());
    }
    return ServerError(error, lost);
}

void TADOConnection::SetTraceHook(std::function<void(const QString&)> hook)
{
    QMutexLocker l(&TraceLock());
    TraceHookSlot() = std::move(hook);
}

void TADOConnection::Trace(const QString& sql)
{
    QMutexLocker l(&TraceLock());
    if (TraceHookSlot())
        TraceHookSlot()(sql);
}

// ---------------------------------------------------------------------------
// Shared with the dataset and the command

namespace adointernal {

sqlite3* SqliteHandle(const QSqlDatabase& db)
{
    if (!db.driver())
        return nullptr;
    QVariant v = db.driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(v.constData());
    return nullptr;
}

QString SqliteMessage(sqlite3* h)
{
    return QString::fromUtf8(sqlite3_errmsg(h));
}

EDatabaseError SqliteError(sqlite3* h)
{
    EDatabaseError::TKind kind = EDatabaseError::Statement;
    switch (sqlite3_extended_errcode(h) & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        kind = EDatabaseError::Busy;
        break;
    case SQLITE_INTERRUPT:
        kind = EDatabaseError::Cancelled;
        break;
    case SQLITE_READONLY:
        kind = EDatabaseError::ReadOnly;
        break;
    case SQLITE_FULL:
        kind = EDatabaseError::Full;
        break;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_PERM:
        kind = EDatabaseError::Io;
        break;
    default:
        break;
    }
    return EDatabaseError(SqliteMessage(h), kind);
}

EDatabaseError ServerError(const QSqlError& error, bool lost)
{
    // SQLSTATE classes (PostgreSQL and ODBC report them alike): 08 connection,
    // 53 insufficient resources, 57P0x shut down, 58 system (I/O) errors.
    const QString state = error.nativeErrorCode().trimmed().toUpper();
    EDatabaseError::TKind kind = EDatabaseError::Statement;
    if (lost || state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P0")))
        kind = EDatabaseError::Lost;
    else if (state == QLatin1String("25006"))
        kind = EDatabaseError::ReadOnly;
    else if (state.startsWith(QLatin1String("53")))
        kind = EDatabaseError::Full;
    else if (state.startsWith(QLatin1String("58")))
        kind = EDatabaseError::Io;
    else if (state == QLatin1String("55P03"))
        kind = EDatabaseError::Locked;   // lock_timeout on a row another session holds
    else if (state == QLatin1String("HYT00") || state == QLatin1String("HYT01"))
        kind = EDatabaseError::Busy;
    else if (state == QLatin1String("57014") || state == QLatin1String("HY008"))
        kind = EDatabaseError::Cancelled;
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("数据库操作失败");
    return EDatabaseError(text, kind);
}

TADOConnection* RequireConnection(TADOConnection* c)
{
    if (!c)
        throw EDatabaseError(QStringLiteral("没有指定数据库连接"));
    return c;
}

}  // namespace adointernal
