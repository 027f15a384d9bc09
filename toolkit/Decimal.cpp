#include "toolkit/Decimal.h"
#include <QByteArray>
#include <charconv>
#include <cmath>

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
    // The digits as one integer (past 36 significant digits the rest only count
    // as places), and how many of them stood after the point.
    __int128 mantissa = 0;
    int significant = 0, dropped = 0, fraction = 0;
    bool any = false, point = false, roundUp = false;
    for (; i < n; ++i) {
        const char c = s[i];
        if (IsDigit(c)) {
            any = true;
            if (significant < 36) {
                if (mantissa != 0 || c != '0')
                    ++significant;
                mantissa = mantissa * 10 + (c - '0');
                if (point)
                    ++fraction;
            } else {
                if (dropped == 0)
                    roundUp = c >= '5';
                if (!point)
                    ++dropped;   // an integer digit beyond what is kept still scales
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any)
        return false;
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
    if (roundUp)
        ++mantissa;
    // In units of 10^-Places: the mantissa times 10^shift.
    const long shift = long(Places) - fraction + dropped + exponent;
    __int128 value = mantissa;
    if (shift > 0) {
        for (long k = 0; k < shift && value != 0; ++k) {
            if (value > Limit) {
                if (outOfRange)
                    *outOfRange = true;
                return false;
            }
            value *= 10;
        }
    } else if (shift < 0) {
        // Rounded half away from zero at the last place kept.
        __int128 divisor = 1;
        for (long k = 0; k < -shift && divisor <= Limit; ++k)
            divisor *= 10;
        value = divisor > Limit ? 0 : (value + divisor / 2) / divisor;
    }
    if (value > Limit) {
        if (outOfRange)
            *outOfRange = true;
        return false;
    }
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

void TDecimalSum::AddCents(long long Cents)
{
    FUnits += __int128(Cents) * (Scale / 100);
    if (FUnits > Limit || FUnits < -Limit)
        FOverflow = true;
}

void TDecimalSum::AddReal(double Value)
{
    // Most amounts are whole cents: when cents/100 reads back as the value, it is
    // the value's shortest text (below 10^13 no two amounts in cents share a double).
    if (std::fabs(Value) < 1e13) {
        const double cents = std::nearbyint(Value * 100.0);
        if (cents / 100.0 == Value) {
            AddCents(static_cast<long long>(cents));
            return;
        }
    }
    char text[40];
    const auto r = std::to_chars(text, text + sizeof text, Value);
    if (!Add(text, std::size_t(r.ptr - text)))
        FOverflow = true;   // infinity or NaN
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

bool TDecimalSum::NeedsRounding(QStringView Text, int Places)
{
    // Plain digits with no more places than asked need nothing.
    qsizetype point = -1;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const char16_t c = Text[i].unicode();
        if (c == u'.' && point < 0)
            point = i;
        else if (!((c >= u'0' && c <= u'9') || (i == 0 && c == u'-')))
            return true;
    }
    return point >= 0 && Text.size() - point - 1 > Places;
}

QString TDecimalSum::Rounded(QStringView Text, int Places)
{
    if (!NeedsRounding(Text, Places))
        return Text.toString();
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

namespace {

const QChar CapitalDigits[] = {u'零', u'壹', u'贰', u'叁', u'肆', u'伍', u'陆', u'柒', u'捌', u'玖'};

// Up to 9 999: 仟佰拾 with one 零 for zeros inside; 壹拾 for ten to nineteen.
QString CapitalGroup(long long n)
{
    static const QChar units[] = {u'仟', u'佰', u'拾'};
    QString s;
    bool zero = false;
    for (int i = 0; i < 4; ++i) {
        const long long place = i == 0 ? 1000 : i == 1 ? 100 : i == 2 ? 10 : 1;
        const int d = int(n / place % 10);
        if (d == 0) {
            zero = !s.isEmpty();
            continue;
        }
        if (zero)
            s += CapitalDigits[0];
        zero = false;
        s += CapitalDigits[d];
        if (i < 3)
            s += units[i];
    }
    return s;
}

// A whole number of yuan, 亿 and 万 as the groups; a run of zeros between two
// digits is one 零.
QString CapitalWhole(long long n)
{
    QString s;
    if (n >= 100000000) {
        s = CapitalWhole(n / 100000000) + u'亿';
        n %= 100000000;
        if (n > 0 && n < 10000000)
            s += CapitalDigits[0];
    }
    if (n >= 10000) {
        s += CapitalGroup(n / 10000) + u'万';
        n %= 10000;
        if (n > 0 && n < 1000)
            s += CapitalDigits[0];
    }
    if (n > 0)
        s += CapitalGroup(n);
    return s;
}

}  // namespace

QString ChineseCapitals(long long Cents)
{
    QString s = QStringLiteral("人民币");
    // The magnitude in unsigned arithmetic: the smallest long long has no positive twin.
    const unsigned long long magnitude = Cents < 0 ? 0ULL - static_cast<unsigned long long>(Cents)
                                                   : static_cast<unsigned long long>(Cents);
    if (Cents < 0)
        s += u'负';
    const long long yuan = static_cast<long long>(magnitude / 100);
    const int jiao = int(magnitude / 10 % 10), fen = int(magnitude % 10);
    if (yuan > 0)
        s += CapitalWhole(yuan) + u'元';
    if (jiao == 0 && fen == 0)
        return s + (yuan > 0 ? QStringLiteral("整") : QStringLiteral("零元整"));
    // 零 after 元 when its place is zero or 角 is: "壹仟陆佰捌拾元零叁角贰分",
    // "叁佰贰拾伍元零肆分".
    if (yuan > 0 && (yuan % 10 == 0 || jiao == 0))
        s += CapitalDigits[0];
    if (jiao > 0)
        s += CapitalDigits[jiao] + QStringLiteral("角");
    if (fen > 0)
        s += CapitalDigits[fen] + QStringLiteral("分");
    else
        s += u'整';
    return s;
}
