#include "toolkit/Decimal.h"
#include <QByteArray>
#include <QVarLengthArray>

namespace {

constexpr __int128 Scale = 1000000000;   // 10^Places
// Past this a sum no longer fits comfortably: 10^29 units, 10^20 in value.
constexpr __int128 Limit = __int128(100000000000000000LL) * __int128(1000000000000LL);

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool TDecimalSum::Parse(const char* s, std::size_t n, __int128* units, bool* outOfRange)
{
    if (outOfRange)
        *outOfRange = false;
    std::size_t i = 0;
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // The digits as one string without the point, and where the point was.
    QVarLengthArray<char, 64> digits;
    int pointAt = -1;
    bool any = false;
    for (; i < n; ++i) {
        if (IsDigit(s[i])) {
            digits.append(s[i]);
            any = true;
        } else if (s[i] == '.' && pointAt < 0) {
            pointAt = int(digits.size());
        } else {
            break;
        }
    }
    if (!any)
        return false;
    if (pointAt < 0)
        pointAt = int(digits.size());
    long exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) {
            expNegative = s[i] == '-';
            ++i;
        }
        if (i >= n || !IsDigit(s[i]))
            return false;
        for (; i < n && IsDigit(s[i]); ++i)
            if (exponent < 100000)
                exponent = exponent * 10 + (s[i] - '0');
        if (expNegative)
            exponent = -exponent;
    }
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (i != n)
        return false;
    // Digit k (from the left) stands for 10^(pointAt - 1 - k + exponent); in units
    // of 10^-Places that is 10^(pointAt - 1 - k + exponent + Places).
    __int128 value = 0;
    bool roundUp = false;
    for (int k = 0; k < digits.size(); ++k) {
        const long power = long(pointAt) - 1 - k + exponent + Places;
        const int d = digits[k] - '0';
        if (power < 0) {
            if (power == -1)
                roundUp = d >= 5;
            break;
        }
        if (power > 30 && d == 0)
            continue;
        __int128 term = d;
        for (long p = 0; p < power && term <= Limit; ++p)
            term *= 10;
        value += term;
        if (power > 30 || value > Limit) {
            // A number, but far past any sum's range.
            if (outOfRange)
                *outOfRange = true;
            return false;
        }
    }
    if (roundUp)
        ++value;
    *units = negative ? -value : value;
    return true;
}

bool TDecimalSum::Add(const char* Text, std::size_t Size)
{
    __int128 v = 0;
    bool tooLarge = false;
    if (!Parse(Text, Size, &v, &tooLarge)) {
        FOverflow = FOverflow || tooLarge;
        return tooLarge;
    }
    FUnits += v;
    if (FUnits > Limit || FUnits < -Limit)
        FOverflow = true;
    return true;
}

bool TDecimalSum::Add(QStringView Text)
{
    const QByteArray bytes = Text.toLatin1();
    return Add(bytes.constData(), std::size_t(bytes.size()));
}

void TDecimalSum::Add(const TDecimalSum& Other)
{
    FUnits += Other.FUnits;
    FOverflow = FOverflow || Other.FOverflow || FUnits > Limit || FUnits < -Limit;
}

void TDecimalSum::Subtract(const TDecimalSum& Other)
{
    FUnits -= Other.FUnits;
    FOverflow = FOverflow || Other.FOverflow || FUnits > Limit || FUnits < -Limit;
}

QString TDecimalSum::Text() const
{
    __int128 v = FUnits < 0 ? -FUnits : FUnits;
    __int128 whole = v / Scale;
    long long fraction = static_cast<long long>(v % Scale);
    QString digits;
    do {
        digits.prepend(QLatin1Char(char('0' + int(whole % 10))));
        whole /= 10;
    } while (whole > 0);
    QString text = FUnits < 0 ? QStringLiteral("-") + digits : digits;
    if (fraction != 0) {
        QString part = QString::number(fraction).rightJustified(Places, QLatin1Char('0'));
        while (part.endsWith(QLatin1Char('0')))
            part.chop(1);
        text += QLatin1Char('.') + part;
    }
    return text;
}

long long TDecimalSum::Cents() const
{
    constexpr __int128 perCent = Scale / 100;
    const __int128 v = FUnits < 0 ? -FUnits : FUnits;
    const __int128 cents = (v + perCent / 2) / perCent;
    return static_cast<long long>(FUnits < 0 ? -cents : cents);
}

QString TDecimalSum::CentsText(long long Cents)
{
    const bool negative = Cents < 0;
    const unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(Cents)
                                          : static_cast<unsigned long long>(Cents);
    QString text = QString::number(v / 100) + QLatin1Char('.')
                   + QString::number(v % 100).rightJustified(2, QLatin1Char('0'));
    return negative ? QLatin1Char('-') + text : text;
}

long long TDecimalSum::CentsOf(QStringView Text)
{
    if (Text.isEmpty())
        return 0;
    TDecimalSum one;
    one.Add(Text);
    return one.Cents();
}

QString TDecimalSum::Rounded(QStringView Text, int Places)
{
    const QByteArray bytes = Text.toLatin1();
    __int128 units = 0;
    if (Places < 0 || Places > TDecimalSum::Places || !Parse(bytes.constData(), size_t(bytes.size()), &units))
        return Text.toString();
    __int128 step = 1;
    for (int i = Places; i < TDecimalSum::Places; ++i)
        step *= 10;
    const __int128 v = units < 0 ? -units : units;
    const __int128 rounded = (v + step / 2) / step * step;
    TDecimalSum s;
    s.FUnits = units < 0 ? -rounded : rounded;
    return s.Text();
}
