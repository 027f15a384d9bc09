#include "toolkit/ADODataset.h"
#include "toolkit/ADOInternal.h"
#include "toolkit/SqliteStatements.h"

#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <optional>
#include <charconv>
#include <cstring>
#include <limits>
#include <sqlite3.h>
#include <vector>

using namespace adointernal;

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
    // Forgets the rows, keeping the columns and the room: a streamed result holds
    // one row at a time.
    void ClearRows()
    {
        types.clear();
        ends.clear();
        pool.clear();
        for (std::vector<qint64>& v : numbers)
            v.clear();
        rows = 0;
    }
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
// With each set, the result holds one row at a time: each is called after every
// row and may stop the statement by returning false.
using RowHook = std::function<bool()>;

void StepSqlite(sqlite3* h, sqlite3_stmt* st, TADOQuery::Result& res, const RowHook* each,
                StatementCache::ColumnNames* kept = nullptr)
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
            throw SqliteError(h);
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
        if (each && !(*each)())
            return;
    }
}

// Runs one SQLite query into the column store, on a kept statement when its
// form allows (see SqliteStatements.h).
void FetchSqlite(sqlite3* h, StatementCache* cache, const QString& sql, TADOQuery::Result& res, const RowHook* each)
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
                    StepSqlite(h, st, res, each, cache->LastNames());
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
        throw SqliteError(h);
    if (!st)
        throw EDatabaseError(QStringLiteral("SQL语句为空"));
    struct Finalizer {
        sqlite3_stmt* s;
        ~Finalizer() { sqlite3_finalize(s); }
    } fin{st};
    StepSqlite(h, st, res, each);
}

// False with *error set when the statement fails.
bool FetchQt(QSqlDatabase db, const QString& sql, TADOQuery::Result& res, QSqlError* error, const RowHook* each,
             bool* delivered)
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
        if (each) {
            *delivered = true;
            if (!(*each)())
                return true;
        }
    }
    if (q.lastError().isValid()) {
        *error = q.lastError();
        return false;
    }
    return true;
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
    Run(nullptr);
}

void TADOQuery::OpenRows(const std::function<bool()>& OnRow)
{
    Run(&OnRow);
    Close();
}

void TADOQuery::Run(const std::function<bool()>* OnRow)
{
    Close();
    TADOConnection* conn = RequireConnection(FConnection);
    std::shared_ptr<StatementCache> statements;
    QSqlDatabase db = conn->ThreadDatabase(&statements);
    TADOConnection::Trace(FSQL);
    auto res = std::make_unique<Result>();
    Result* current = res.get();
    // A streamed result is the dataset's while it runs: the hook reads the row
    // through the dataset's own accessors.
    RowHook each = [this, &current, OnRow] {
        FRow = 0;
        const bool go = (*OnRow)();
        current->ClearRows();
        return go;
    };
    const RowHook* hook = OnRow ? &each : nullptr;
    if (OnRow)
        FResult = std::move(res);
    struct Forget {
        TADOQuery* q;
        bool streaming;
        ~Forget()
        {
            if (streaming)
                q->Close();
        }
    } forget{this, OnRow != nullptr};
    struct Running {
        TCancelToken* token;
        ~Running()
        {
            if (token)
                token->Leave();
        }
    } running{FCancel};
    if (FCancel)
        FCancel->Enter(db);
    if (sqlite3* h = SqliteHandle(db)) {
        FetchSqlite(h, statements.get(), FSQL, *current, hook);
    } else {
        QSqlError error;
        bool delivered = false;
        if (!FetchQt(db, FSQL, *current, &error, hook, &delivered)) {
            EDatabaseError failure = conn->StatementFailed(db, error);
            // A session the server dropped (a restart, a cut connection) is not
            // the query's fault: a SELECT may be asked again once, on a new one,
            // unless rows of it were handed on already.
            if (failure.Kind() != EDatabaseError::Lost || delivered)
                throw failure;
            db = QSqlDatabase();
            db = conn->ThreadDatabase(nullptr);
            auto fresh = std::make_unique<Result>();
            current = fresh.get();
            if (OnRow)
                FResult = std::move(fresh);
            else
                res = std::move(fresh);
            if (!FetchQt(db, FSQL, *current, &error, hook, &delivered))
                throw conn->StatementFailed(db, error);
        }
    }
    if (!OnRow) {
        FResult = std::move(res);
        FRow = 0;
    }
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
