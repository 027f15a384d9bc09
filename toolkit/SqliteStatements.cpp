#include "toolkit/SqliteStatements.h"
#include <QHashFunctions>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>

namespace {

bool IsIdentChar(unsigned char c)
{
    return c == '_' || c == '$' || c >= 0x80 || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

bool IsBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Index just past the quoted run that starts at i (quote q, doubled inside), or
// -1 when it does not end.
qsizetype QuotedEnd(const QByteArray& s, qsizetype i, char q)
{
    const qsizetype n = s.size();
    for (qsizetype j = i + 1; j < n; ++j) {
        if (s[j] != q)
            continue;
        if (j + 1 < n && s[j + 1] == q) {
            ++j;
            continue;
        }
        return j + 1;
    }
    return -1;
}

// Whether the key so far ends with one of the pattern keywords (LIKE, GLOB,
// ESCAPE) and blanks: SQLite plans a LIKE from the pattern's value (an index
// range for a prefix), so a bound pattern makes it compile the statement again
// at every run. Such a literal stays in the text.
bool AfterPatternKeyword(const QByteArray& key)
{
    qsizetype e = key.size();
    while (e > 0 && IsBlank(uchar(key[e - 1])))
        --e;
    qsizetype b = e;
    while (b > 0 && IsIdentChar(uchar(key[b - 1])))
        --b;
    const qsizetype len = e - b;
    const char* w = key.constData() + b;
    return (len == 4 && (qstrnicmp(w, "like", 4) == 0 || qstrnicmp(w, "glob", 4) == 0))
           || (len == 6 && qstrnicmp(w, "escape", 6) == 0);
}

}  // namespace

bool ShapeOfSelect(const QByteArray& s, SqlShape* shape)
{
    // Emptied, not freed: the room is used again.
    shape->key.resize(0);
    shape->bytes.resize(0);
    shape->spans.clear();
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n && (IsBlank(uchar(s[i])) || s[i] == '('))
        ++i;
    if (n - i < 6 || qstrnicmp(s.constData() + i, "select", 6) != 0 || (n - i > 6 && IsIdentChar(uchar(s[i + 6]))))
        return false;
    shape->key.reserve(n);
    shape->key.append(s.constData(), i);
    while (i < n) {
        const char c = s[i];
        if (c == '\'') {
            const qsizetype end = QuotedEnd(s, i, '\'');
            if (end < 0)
                return false;
            // A quote glued to a word is not a plain text literal (X'0A' is a blob).
            if ((i > 0 && IsIdentChar(uchar(s[i - 1]))) || AfterPatternKeyword(shape->key)) {
                shape->key.append(s.constData() + i, end - i);
            } else {
                const qsizetype at = shape->bytes.size();
                for (qsizetype j = i + 1; j < end - 1; ++j) {
                    shape->bytes.append(s[j]);
                    if (s[j] == '\'')
                        ++j;   // the second of a doubled quote
                }
                shape->spans.emplace_back(at, shape->bytes.size() - at);
                shape->key.append('?');
            }
            i = end;
        } else if (c == '"' || c == '`' || c == '[') {
            qsizetype end;
            if (c == '[') {
                const qsizetype close = s.indexOf(']', i + 1);
                end = close < 0 ? -1 : close + 1;
            } else {
                end = QuotedEnd(s, i, c);
            }
            if (end < 0)
                return false;
            shape->key.append(s.constData() + i, end - i);
            i = end;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            qsizetype end = s.indexOf('\n', i);
            end = end < 0 ? n : end;
            shape->key.append(s.constData() + i, end - i);
            i = end;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            const qsizetype close = s.indexOf("*/", i + 2);
            const qsizetype end = close < 0 ? n : close + 2;
            shape->key.append(s.constData() + i, end - i);
            i = end;
        } else if (c == '?' || c == ':' || c == '@' || (c == '$' && (i == 0 || !IsIdentChar(uchar(s[i - 1]))))) {
            return false;   // parameters of its own: leave the text as it is
        } else if (c == ';') {
            // Only blanks may follow: a second statement is not ours to reshape.
            for (qsizetype j = i + 1; j < n; ++j)
                if (!IsBlank(uchar(s[j])) && s[j] != ';')
                    return false;
            shape->key.append(s.constData() + i, n - i);
            i = n;
        } else {
            // Up to the next character that means something here, in one piece.
            qsizetype j = i + 1;
            while (j < n && !std::strchr("'\"`[-/?:@$;", s[j]))
                ++j;
            shape->key.append(s.constData() + i, j - i);
            i = j;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------

StatementCache::~StatementCache()
{
    Clear();
    if (onRelease)
        onRelease();
}

sqlite3_stmt* StatementCache::Acquire(sqlite3* h, const SqlShape& shape)
{
    const size_t hash = qHash(shape.key);
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.hash == hash && e.key == shape.key; });
    sqlite3_stmt* st = nullptr;
    if (it != entries.end()) {
        // Most recently used goes last.
        Entry e = std::move(*it);
        entries.erase(it);
        st = e.stmt;
        entries.push_back(std::move(e));
    } else {
        if (std::find(refused.begin(), refused.end(), shape.key) != refused.end())
            return nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(h, shape.key.constData(), int(shape.key.size()), &st, &tail) != SQLITE_OK || !st) {
            // Not a place where a parameter may stand (a quoted alias, a table
            // named in quotes): the text as written decides.
            sqlite3_finalize(st);
            st = nullptr;
        } else if (sqlite3_bind_parameter_count(st) != int(shape.Count())) {
            sqlite3_finalize(st);
            st = nullptr;
        } else {
            for (int c = 0, count = sqlite3_column_count(st); c < count; ++c) {
                const char* name = sqlite3_column_name(st, c);
                if (!name || std::strchr(name, '?')) {
                    sqlite3_finalize(st);
                    st = nullptr;
                    break;
                }
            }
        }
        if (!st) {
            if (refused.size() >= Capacity)
                refused.erase(refused.begin());
            refused.push_back(shape.key);
            return nullptr;
        }
        if (entries.size() >= Capacity) {
            sqlite3_finalize(entries.front().stmt);
            entries.erase(entries.begin());
        }
        entries.push_back({shape.key, hash, st, {}});
    }
    for (size_t i = 0; i < shape.Count(); ++i) {
        const QByteArrayView v = shape.Value(i);
        // The values outlive the run: Release unbinds them.
        if (sqlite3_bind_text(st, int(i) + 1, v.constData(), int(v.size()), SQLITE_STATIC) != SQLITE_OK) {
            Release(st, true);
            return nullptr;
        }
    }
    return st;
}

void StatementCache::Release(sqlite3_stmt* stmt, bool failed)
{
    // A statement not reset keeps its read transaction open.
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!failed)
        return;
    auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.stmt == stmt; });
    if (it != entries.end())
        entries.erase(it);
    sqlite3_finalize(stmt);
}

void StatementCache::Clear()
{
    for (const Entry& e : entries)
        sqlite3_finalize(e.stmt);
    entries.clear();
    refused.clear();
}
