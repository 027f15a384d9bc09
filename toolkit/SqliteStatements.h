#pragma once
// Prepared-statement reuse for SQLite connections.
//
// Windows run the same query again and again with only a quoted value changed
// (the children of one tree node after another, one unit's records after
// another's). Compiling such a text costs more than running it, so a SELECT is
// compiled once in a form whose single-quoted literals are parameters, and later
// texts of the same form bind their own literals to the kept statement. The
// result is the same as compiling the text as written: a literal and a bound
// text value have the same type and no affinity. A form whose result column
// names would show the parameters (an unnamed expression over a literal) is not
// kept.
#include "toolkit/Export.h"
#include <QByteArray>
#include <QMutex>
#include <QString>
#include <atomic>
#include <functional>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A SELECT text with its single-quoted literals taken out. Reused from query to
// query, so its buffers keep their room.
struct TOOLKIT_EXPORT SqlShape {
    QByteArray key;       // the text with every literal replaced by ?
    QByteArray bytes;     // the literals' values one after another, quotes undoubled
    std::vector<std::pair<qsizetype, qsizetype>> spans;   // offset and length of each in bytes

    size_t Count() const { return spans.size(); }
    QByteArrayView Value(size_t i) const { return QByteArrayView(bytes).sliced(spans[i].first, spans[i].second); }
};

// False when the text is not a single SELECT that can be parameterised: another
// statement kind, a parameter marker of its own, an unterminated quote.
TOOLKIT_EXPORT bool ShapeOfSelect(const QByteArray& utf8, SqlShape* shape);

// The kept statements of one SQLite connection. Only the thread that owns the
// connection runs them; it holds the lock while it does. Closing the connection
// takes the cache out of the registry and marks it closing, so that no run starts
// on it again; the statements are finalized at once when the lock is free, and
// otherwise when the running query lets go of the cache (its destructor).
class StatementCache {
public:
    static constexpr size_t Capacity = 32;

    ~StatementCache();

    QMutex lock;
    std::atomic<bool> closing{false};
    // What closes the connection once the statements are finalized (it was
    // closed while a run of its thread held them).
    std::function<void()> onRelease;
    // Scratch of the owning thread, with the lock held: the text in UTF-8 and its shape.
    QByteArray text;
    SqlShape shape;
    // Result column names of a statement, kept with it so that each run need not
    // make them again: the name as SQLite gives it, and as text.
    using ColumnNames = std::vector<std::pair<QByteArray, QString>>;

    // With the lock held. The kept statement for this shape on h, compiled now if
    // needed; null when the shape cannot be kept (the caller compiles the text as
    // written). A returned statement is reset, with its literals bound; the caller
    // steps it and calls Release.
    sqlite3_stmt* Acquire(sqlite3* h, const SqlShape& shape);
    // The column names kept with the statement Acquire returned last.
    ColumnNames* LastNames() { return entries.empty() ? nullptr : &entries.back().names; }
    // With the lock held: back to the cache, reset and unbound; on a failure of
    // its run the statement is dropped instead.
    void Release(sqlite3_stmt* stmt, bool failed);
    // With the lock held: finalizes every kept statement.
    void Clear();

    size_t Size() const { return entries.size(); }

private:
    struct Entry {
        QByteArray key;
        size_t hash;
        sqlite3_stmt* stmt;
        ColumnNames names;
    };
    std::vector<Entry> entries;        // most recently used last
    std::vector<QByteArray> refused;   // shapes found not keepable (bounded)
};
