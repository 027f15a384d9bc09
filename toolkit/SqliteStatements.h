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
#include <atomic>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A SELECT text with its single-quoted literals taken out.
struct TOOLKIT_EXPORT SqlShape {
    QByteArray key;                 // the text with every literal replaced by ?
    std::vector<QByteArray> values; // the literals' values, quotes undoubled, in order
};

// False when the text is not a single SELECT that can be parameterised: another
// statement kind, a parameter marker of its own, an unterminated quote.
TOOLKIT_EXPORT bool ShapeOfSelect(const QByteArray& utf8, SqlShape* shape);

// The kept statements of one SQLite connection. Only the thread that owns the
// connection runs them; it holds the lock while it does. Another thread closing
// the connection finalizes them first when the lock is free, and otherwise marks
// the cache closing so that the owner finalizes them when it is done.
class StatementCache {
public:
    static constexpr size_t Capacity = 32;

    ~StatementCache();

    QMutex lock;
    std::atomic<bool> closing{false};

    // With the lock held. The kept statement for this shape on h, compiled now if
    // needed; null when the shape cannot be kept (the caller compiles the text as
    // written). A returned statement is reset, with its literals bound; the caller
    // steps it and calls Release.
    sqlite3_stmt* Acquire(sqlite3* h, const SqlShape& shape);
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
    };
    std::vector<Entry> entries;        // most recently used last
    std::vector<QByteArray> refused;   // shapes found not keepable (bounded)
};
