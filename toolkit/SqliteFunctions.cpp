#include "toolkit/SqliteFunctions.h"

#include "toolkit/Decimal.h"
#include <QByteArray>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <sqlite3.h>

namespace {

struct ExactSum {
    TDecimalSum sum;
    double real = 0;   // past the exact sum's range (about 10^20): as SQLite adds
    long long integer = 0;
    bool any = false;
    bool onlyIntegers = true;
    bool integerOverflow = false;
};

// SQLite's room for the state is aligned for 8 bytes; the sum needs 16.
ExactSum* State(sqlite3_context* context, bool make)
{
    constexpr int room = int(sizeof(ExactSum) + alignof(ExactSum));
    void* p = sqlite3_aggregate_context(context, make ? room : 0);
    if (!p)
        return nullptr;
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<ExactSum*>((at + alignof(ExactSum) - 1) & ~std::uintptr_t(alignof(ExactSum) - 1));
}

void Step(sqlite3_context* context, int, sqlite3_value** values)
{
    sqlite3_value* v = values[0];
    const int type = sqlite3_value_numeric_type(v);
    if (type == SQLITE_NULL)
        return;
    ExactSum* s = State(context, true);
    if (!s) {
        sqlite3_result_error_nomem(context);
        return;
    }
    if (!s->any)
        new (s) ExactSum;   // the room comes zeroed: the first value begins the sum
    s->any = true;
    switch (type) {
    case SQLITE_INTEGER: {
        const long long i = sqlite3_value_int64(v);
        const QByteArray text = QByteArray::number(i);
        s->sum.Add(text.constData(), std::size_t(text.size()));
        if (__builtin_add_overflow(s->integer, i, &s->integer))
            s->integerOverflow = true;
        s->real += double(i);
        break;
    }
    case SQLITE_FLOAT:
        s->onlyIntegers = false;
        s->sum.AddReal(sqlite3_value_double(v));
        s->real += sqlite3_value_double(v);
        break;
    default: {
        // Text that is no number, a blob: 0, as SQLite's sum() counts it.
        s->onlyIntegers = false;
        const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        if (text)
            s->sum.Add(text, std::size_t(sqlite3_value_bytes(v)));
        s->real += sqlite3_value_double(v);
        break;
    }
    }
}

void Final(sqlite3_context* context)
{
    const ExactSum* s = State(context, false);
    if (!s || !s->any) {
        sqlite3_result_null(context);
        return;
    }
    if (s->onlyIntegers) {
        if (s->integerOverflow)
            sqlite3_result_error(context, "integer overflow", -1);
        else
            sqlite3_result_int64(context, s->integer);
        return;
    }
    if (s->sum.OutOfRange()) {
        sqlite3_result_double(context, s->real);
        return;
    }
    // A number where the nearest double reads back as the exact sum (every sum of
    // cents below 10^13 does); beyond, the exact text.
    const QByteArray text = s->sum.Text().toLatin1();
    const double value = std::strtod(text.constData(), nullptr);
    char shortest[40];
    const auto r = std::to_chars(shortest, shortest + sizeof shortest, value);
    if (QByteArrayView(shortest, r.ptr - shortest) == QByteArrayView(text)) {
        sqlite3_result_double(context, value);
        return;
    }
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

bool RegisterExactSum(sqlite3* Session)
{
    return sqlite3_create_function_v2(Session, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                                      &Step, &Final, nullptr)
           == SQLITE_OK;
}
