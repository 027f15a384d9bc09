#include "toolkit/ADODB.h"
#include "toolkit/ConnectionString.h"
#include "toolkit/SqliteStatements.h"

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
#include <vector>

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

QAtomicInteger<quint64> connectionSerial;

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

    // With the lock held, before the Qt connection of that name is removed: a
    // kept statement would keep the driver from closing the file.
    void ForgetStatements(const QString& name)
    {
        const std::shared_ptr<StatementCache> cache = statements.take(name);
        if (!cache)
            return;
        cache->closing = true;
        if (cache->lock.tryLock()) {
            cache->Clear();
            cache->lock.unlock();
        }
        // Otherwise its thread is running one now: taken out of the registry,
        // the cache goes (finalizing them) when that run lets go of it.
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
        reg->ForgetStatements(name);
        QSqlDatabase::removeDatabase(name);
    }
}

// Removes, when a thread that is not a QThread of ours ends, the Qt connections
// it made. (A QThread's go with its finished signal, before wait() returns.)
struct ThreadExitCleanup {
    struct Entry {
        std::weak_ptr<ConnectionRegistry> registry;
        QString name;
        QThread* thread;   // kept: Qt's own thread data may already be gone here
    };
    std::vector<Entry> entries;
    ~ThreadExitCleanup()
    {
        for (const Entry& e : entries)
            RemoveThreadClone(e.registry, e.thread, e.name);
    }
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
            registry->ForgetStatements(name);
            QSqlDatabase::removeDatabase(name);
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
            d->registry->ForgetStatements(stale);
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(stale);
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
        if (backend == Backend::SQLite)
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
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
            throw EDatabaseError(msg.isEmpty() ? QStringLiteral("无法打开数据库：%1").arg(databaseName) : msg);
        }
        if (backend == Backend::SQLite) {
            sqlite3* h = SqliteHandle(db);
            char* err = nullptr;
            int rc = h ? sqlite3_exec(h, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, &err)
                       : SQLITE_ERROR;
            if (rc != SQLITE_OK) {
                QString msg = err ? QString::fromUtf8(err) : QStringLiteral("无法打开数据库：%1").arg(databaseName);
                sqlite3_free(err);
                db.close();
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(name);
                throw EDatabaseError(msg);
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
        std::weak_ptr<ConnectionRegistry> reg = d->registry;
        // The application as context: a thread-less functor would tie the
        // thread's data to its own signal and keep adopted threads alive.
        QObject::connect(self, &QThread::finished, QCoreApplication::instance(),
                         [reg, self, name] { RemoveThreadClone(reg, self, name); }, Qt::DirectConnection);
    }
    return QSqlDatabase::database(name, false);
}

void TADOConnection::StatementFailed(QSqlDatabase db, const QSqlError& error)
{
    // A statement may fail because the server went away (restarted, network
    // cut). The PostgreSQL driver then closes itself, and the next use opens a
    // new connection; a driver that reports a connection error but still reads
    // as open gets the same.
    if (db.isOpen() && error.type() != QSqlError::ConnectionError)
        return;
    QMutexLocker l(&d->registry->lock);
    auto it = d->registry->names.constFind(QThread::currentThread());
    if (it != d->registry->names.constEnd() && it.value() == db.connectionName())
        d->registry->lost.insert(it.value());
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
// The stored result, cell after cell row by row in a few flat arrays (a result of
// a few rows costs a few allocations, not several per column). Every non-NULL
// cell keeps its text in a UTF-16 pool, so readers get a view without
// converting; numeric cells also keep their number, in a per-column array that
// exists only for columns that hold numbers.

struct TADOQuery::Result {
    enum CellType : quint8 { Null = 0, Integer = 1, Real = 2, Text = 3, Blob = 4 };
    std::vector<QString> names;
    std::vector<quint8> types;                  // per cell
    std::vector<quint32> ends;                  // per cell: end offset of its text in pool
    std::vector<char16_t> pool;
    std::vector<std::vector<qint64>> numbers;   // per column, by row; empty while no numeric cell
    int rows = 0;

    void AddColumn(const QString& name) { names.push_back(name); }
    // After the columns: room for a few short rows at once.
    void Reserve()
    {
        const size_t n = std::max<size_t>(names.size(), 1);
        types.reserve(16 * n);
        ends.reserve(16 * n);
        pool.reserve(64 * n);
        numbers.resize(names.size());
    }
    size_t ColumnCount() const { return names.size(); }

    // Offsets are 32 bits: a result with more text than that is refused rather
    // than read back wrong.
    void EndCell()
    {
        if (pool.size() > std::numeric_limits<quint32>::max())
            throw EDatabaseError(QStringLiteral("查询结果过大，无法读入"));
        ends.push_back(quint32(pool.size()));
    }

    // The Put functions append the next cell of the current row (rows is its index).
    void PutNull()
    {
        types.push_back(Null);
        EndCell();
    }
    void PutNumberBits(int col, CellType t, qint64 bits)
    {
        std::vector<qint64>& v = numbers[size_t(col)];
        v.resize(size_t(rows), 0);
        v.push_back(bits);
        types.push_back(t);
    }
    void PutAscii(const char* s, size_t n)
    {
        const size_t at = pool.size();
        pool.resize(at + n);
        char16_t* out = pool.data() + at;
        for (size_t i = 0; i < n; ++i)
            out[i] = char16_t(static_cast<unsigned char>(s[i]));
        EndCell();
    }
    void PutUtf8(const char* s, size_t n)
    {
        // Decoded straight into the pool: UTF-16 never takes more units than
        // UTF-8 takes bytes, a malformed byte included (it becomes U+FFFD).
        const size_t at = pool.size();
        pool.resize(at + n);
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        QChar* end = decoder.appendToBuffer(reinterpret_cast<QChar*>(pool.data() + at), QByteArrayView(s, qsizetype(n)));
        pool.resize(size_t(reinterpret_cast<char16_t*>(end) - pool.data()));
        EndCell();
    }
    void PutUtf16(const char16_t* s, size_t n)
    {
        pool.insert(pool.end(), s, s + n);
        EndCell();
    }
    void PutInteger(int col, qint64 v)
    {
        PutNumberBits(col, Integer, v);
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        PutAscii(buf, size_t(r.ptr - buf));
    }
    void PutReal(int col, double v)
    {
        qint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        PutNumberBits(col, Real, bits);
        char buf[40];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        PutAscii(buf, size_t(r.ptr - buf));
    }
    void PutText(const QString& s)
    {
        types.push_back(Text);
        PutUtf16(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
    }
    void PutBlob(const QByteArray& b)
    {
        // Bytes kept one per UTF-16 unit: lossless and readable as Latin-1 text.
        types.push_back(Blob);
        PutAscii(b.constData(), size_t(b.size()));
    }

    bool Valid(int row, int col) const
    {
        return col >= 0 && size_t(col) < names.size() && row >= 0 && row < rows;
    }
    size_t Cell(int row, int col) const { return size_t(row) * names.size() + size_t(col); }
    quint8 Type(int row, int col) const { return Valid(row, col) ? types[Cell(row, col)] : quint8(Null); }
    qint64 NumberBits(int row, int col) const { return numbers[size_t(col)][size_t(row)]; }
    QStringView TextAt(int row, int col) const
    {
        if (!Valid(row, col))
            return {};
        const size_t cell = Cell(row, col);
        const quint32 begin = cell == 0 ? 0 : ends[cell - 1];
        return QStringView(pool.data() + begin, qsizetype(ends[cell] - begin));
    }
    QVariant Value(int row, int col) const
    {
        switch (Type(row, col)) {
        case Integer:
            return QVariant(qlonglong(NumberBits(row, col)));
        case Real: {
            double v;
            const qint64 bits = NumberBits(row, col);
            std::memcpy(&v, &bits, sizeof v);
            return QVariant(v);
        }
        case Text:
            return QVariant(TextAt(row, col).toString());
        case Blob: {
            QStringView t = TextAt(row, col);
            QByteArray b(t.size(), Qt::Uninitialized);
            for (qsizetype i = 0; i < t.size(); ++i)
                b[i] = char(t[i].unicode());
            return QVariant(b);
        }
        default:
            return QVariant();
        }
    }
};

namespace {

bool IsAscii(const unsigned char* s, int n)
{
    for (int i = 0; i < n; ++i)
        if (s[i] & 0x80)
            return false;
    return true;
}

// Steps a prepared SQLite statement to its end into the column store.
void StepSqlite(sqlite3* h, sqlite3_stmt* st, TADOQuery::Result& res, StatementCache::ColumnNames* kept = nullptr)
{
    using R = TADOQuery::Result;
    // Columns are read after the first step: a statement compiled before a change
    // of the schema is compiled anew there, and may have other columns now.
    int n = -1;
    auto addColumns = [&] {
        n = sqlite3_column_count(st);
        res.names.reserve(size_t(n));
        if (kept && kept->size() != size_t(n))
            kept->resize(size_t(n));
        for (int c = 0; c < n; ++c) {
            const char* name = sqlite3_column_name(st, c);
            if (!kept) {
                res.AddColumn(QString::fromUtf8(name));
                continue;
            }
            auto& [bytes, text] = (*kept)[size_t(c)];
            if (bytes.isNull() || bytes != name) {
                bytes = QByteArray(name);
                text = QString::fromUtf8(bytes);
            }
            res.AddColumn(text);
        }
        res.Reserve();
    };
    for (;;) {
        const int rc = sqlite3_step(st);
        if (n < 0 && (rc == SQLITE_ROW || rc == SQLITE_DONE))
            addColumns();
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw EDatabaseError(SqliteMessage(h));
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                res.PutInteger(c, sqlite3_column_int64(st, c));
                break;
            case SQLITE_FLOAT:
                res.PutReal(c, sqlite3_column_double(st, c));
                break;
            case SQLITE_TEXT: {
                const unsigned char* s = sqlite3_column_text(st, c);
                const int len = sqlite3_column_bytes(st, c);
                res.types.push_back(R::Text);
                if (IsAscii(s, len))
                    res.PutAscii(reinterpret_cast<const char*>(s), size_t(len));
                else
                    res.PutUtf8(reinterpret_cast<const char*>(s), size_t(len));
                break;
            }
            case SQLITE_BLOB: {
                const char* b = static_cast<const char*>(sqlite3_column_blob(st, c));
                res.PutBlob(QByteArray(b, sqlite3_column_bytes(st, c)));
                break;
            }
            default:
                res.PutNull();
            }
        }
        ++res.rows;
    }
}

// Runs one SQLite query into the column store, on a kept statement when its
// form allows (see SqliteStatements.h).
void FetchSqlite(sqlite3* h, StatementCache* cache, const QString& sql, TADOQuery::Result& res)
{
    if (cache) {
        QMutexLocker l(&cache->lock);
        if (cache->closing) {
            cache->Clear();
        } else {
            // Into the cache's own buffers, which keep their room between queries.
            QByteArray& text = cache->text;
            text.resize(sql.size() * 3);
            QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            char* end = encoder.appendToBuffer(text.data(), sql);
            text.resize(end - text.constData());
            if (ShapeOfSelect(text, &cache->shape)) {
                if (sqlite3_stmt* st = cache->Acquire(h, cache->shape)) {
                    struct Back {
                        StatementCache* cache;
                        sqlite3_stmt* st;
                        bool failed = true;
                        ~Back() { cache->Release(st, failed); }
                    } back{cache, st};
                    StepSqlite(h, st, res, cache->LastNames());
                    back.failed = false;
                    return;
                }
            }
        }
    }
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(h, text.constData(), int(text.size()), &st, &tail) != SQLITE_OK)
        throw EDatabaseError(SqliteMessage(h));
    if (!st)
        throw EDatabaseError(QStringLiteral("SQL语句为空"));
    struct Finalizer {
        sqlite3_stmt* s;
        ~Finalizer() { sqlite3_finalize(s); }
    } fin{st};
    StepSqlite(h, st, res);
}

// False with *error set when the statement fails.
bool FetchQt(QSqlDatabase db, const QString& sql, TADOQuery::Result& res, QSqlError* error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        *error = q.lastError();
        return false;
    }
    const QSqlRecord rec = q.record();
    const int n = rec.count();
    for (int c = 0; c < n; ++c)
        res.AddColumn(rec.fieldName(c));
    res.Reserve();
    while (q.next()) {
        for (int c = 0; c < n; ++c) {
            const QVariant v = q.value(c);
            if (v.isNull()) {
                res.PutNull();
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::Char:
            case QMetaType::UChar:
            case QMetaType::Bool:
                res.PutInteger(c, v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                res.PutReal(c, v.toDouble());
                break;
            case QMetaType::QByteArray:
                res.PutBlob(v.toByteArray());
                break;
            default:
                res.PutText(v.toString());
            }
        }
        ++res.rows;
    }
    if (q.lastError().isValid()) {
        *error = q.lastError();
        return false;
    }
    return true;
}

TADOConnection* RequireConnection(TADOConnection* c)
{
    if (!c)
        throw EDatabaseError(QStringLiteral("没有指定数据库连接"));
    return c;
}

}  // namespace

// ---------------------------------------------------------------------------
// TADOQuery

TADOQuery::TADOQuery(TComponent* AOwner) : TComponent(AOwner) {}

TADOQuery::~TADOQuery()
{
    if (FConnection)
        FConnection->Detach(&FConnection);
}

void TADOQuery::SetConnection(TADOConnection* c)
{
    if (FConnection == c)
        return;
    Close();
    if (FConnection)
        FConnection->Detach(&FConnection);
    FConnection = c;
    if (FConnection)
        FConnection->Attach(&FConnection, this);
}

void TADOQuery::SetSQLText(const QString& sql)
{
    Close();
    FSQL = sql;
}

void TADOQuery::Open()
{
    Close();
    TADOConnection* conn = RequireConnection(FConnection);
    std::shared_ptr<StatementCache> statements;
    QSqlDatabase db = conn->ThreadDatabase(&statements);
    TADOConnection::Trace(FSQL);
    auto res = std::make_unique<Result>();
    if (sqlite3* h = SqliteHandle(db)) {
        FetchSqlite(h, statements.get(), FSQL, *res);
    } else {
        QSqlError error;
        if (!FetchQt(db, FSQL, *res, &error)) {
            conn->StatementFailed(db, error);
            throw EDatabaseError(error.text());
        }
    }
    FResult = std::move(res);
    FRow = 0;
}

void TADOQuery::Close()
{
    FResult.reset();
    FRow = 0;
}

bool TADOQuery::Active() const
{
    return FResult != nullptr;
}

void TADOQuery::First()
{
    FRow = 0;
}

void TADOQuery::Next()
{
    if (FResult && FRow < FResult->rows)
        ++FRow;
}

bool TADOQuery::Eof() const
{
    return !FResult || FRow >= FResult->rows;
}

bool TADOQuery::IsEmpty() const
{
    return !FResult || FResult->rows == 0;
}

int TADOQuery::RecordCount() const
{
    return FResult ? FResult->rows : 0;
}

int TADOQuery::RecNo() const
{
    return FRow;
}

int TADOQuery::FieldCount() const
{
    return FResult ? int(FResult->ColumnCount()) : 0;
}

QString TADOQuery::FieldName(int index) const
{
    if (!FResult || index < 0 || index >= int(FResult->ColumnCount()))
        return {};
    return FResult->names[size_t(index)];
}

int TADOQuery::FieldIndex(const QString& name) const
{
    if (!FResult)
        return -1;
    // Callers mostly spell the name as the database does: a plain comparison
    // first, the case-insensitive one only when that finds nothing.
    const std::vector<QString>& names = FResult->names;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return int(i);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QVariant TADOQuery::FieldValue(int index) const
{
    if (!FResult || index < 0 || index >= int(FResult->ColumnCount()))
        throw EDatabaseError(QStringLiteral("Field index %1 out of range").arg(index));
    if (Eof())
        throw EDatabaseError(QStringLiteral("没有当前记录"));
    return FResult->Value(FRow, index);
}

QVariant TADOQuery::FieldByName(const QString& name) const
{
    const int i = FieldIndex(name);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return FieldValue(i);
}

QString TADOQuery::FieldText(const QString& name) const
{
    return FieldView(name).toString();
}

QStringView TADOQuery::FieldView(const QString& name) const
{
    const int i = FieldIndex(name);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    if (Eof())
        throw EDatabaseError(QStringLiteral("没有当前记录"));
    return FResult->TextAt(FRow, i);
}

QVariantList TADOQuery::FieldValues(const QString& names) const
{
    QVariantList out;
    const QStringList list = names.split(QLatin1Char(';'));
    for (const QString& n : list)
        out << FieldByName(n.trimmed());
    return out;
}

bool TADOQuery::CellIsNull(int row, int col) const
{
    return !FResult || FResult->Type(row, col) == Result::Null;
}

QStringView TADOQuery::CellText(int row, int col) const
{
    return FResult ? FResult->TextAt(row, col) : QStringView();
}

bool TADOQuery::CellNumber(int row, int col, double* value) const
{
    if (!FResult)
        return false;
    const quint8 t = FResult->Type(row, col);
    if (t != Result::Integer && t != Result::Real)
        return false;
    if (value) {
        const qint64 bits = FResult->NumberBits(row, col);
        if (t == Result::Integer)
            *value = double(bits);
        else
            std::memcpy(value, &bits, sizeof *value);
    }
    return true;
}

QVariant TADOQuery::CellValue(int row, int col) const
{
    return FResult ? FResult->Value(row, col) : QVariant();
}

void TADOQuery::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FConnection) {
        Close();
        FConnection->Detach(&FConnection);
        FConnection = nullptr;
    }
}

// ---------------------------------------------------------------------------
// TADOCommand

TADOCommand::TADOCommand(TComponent* AOwner) : TComponent(AOwner) {}

TADOCommand::~TADOCommand()
{
    if (FConnection)
        FConnection->Detach(&FConnection);
}

void TADOCommand::SetConnection(TADOConnection* c)
{
    if (FConnection == c)
        return;
    if (FConnection)
        FConnection->Detach(&FConnection);
    FConnection = c;
    if (FConnection)
        FConnection->Attach(&FConnection, nullptr);
}

void TADOCommand::Execute()
{
    TADOConnection* conn = RequireConnection(FConnection);
    QSqlDatabase db = conn->Database();
    TADOConnection::Trace(FText);
    if (sqlite3* h = SqliteHandle(db)) {
        const QByteArray text = FText.toUtf8();
        const char* sql = text.constData();
        const char* end = sql + text.size();
        bool ran = false;
        // Every statement of the text runs in turn; rows they return are dropped.
        while (sql < end) {
            sqlite3_stmt* st = nullptr;
            const char* tail = nullptr;
            if (sqlite3_prepare_v2(h, sql, int(end - sql), &st, &tail) != SQLITE_OK)
                throw EDatabaseError(SqliteMessage(h));
            sql = tail;
            if (!st)
                continue;   // only blanks or a comment left
            ran = true;
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            }
            sqlite3_finalize(st);
            if (rc != SQLITE_DONE)
                throw EDatabaseError(SqliteMessage(h));
        }
        if (!ran)
            throw EDatabaseError(QStringLiteral("SQL语句为空"));
        return;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(FText)) {
        const QSqlError error = q.lastError();
        q = QSqlQuery();
        conn->StatementFailed(db, error);
        throw EDatabaseError(error.text());
    }
}

void TADOCommand::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FConnection) {
        FConnection->Detach(&FConnection);
        FConnection = nullptr;
    }
}
