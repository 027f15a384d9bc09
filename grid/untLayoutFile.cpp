#include "grid/untLayoutFile.h"

#include "toolkit/SysUtils.h"
#include <QHash>
#include <array>
#include <cstdint>

namespace {

// The sections read, in the order of the definition's members.
enum Section { DTFormatInfo, Caption, FieldName, ShowKind, DataKind, Width, Order, OutputFlag, SectionCount };

const std::array<QLatin1String, SectionCount> kSections = {
    QLatin1String("DTFormatInfo"), QLatin1String("strFieldTital"), QLatin1String("strFieldName"),
    QLatin1String("xcFieldType"),  QLatin1String("xcFieldDataType"), QLatin1String("intFieldLen"),
    QLatin1String("intOrder"),     QLatin1String("intOutputFlag"),
};

int SectionIndex(QStringView name)
{
    for (int i = 0; i < SectionCount; ++i)
        if (name.compare(kSections[size_t(i)], Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringView Trimmed(QStringView s)
{
    return s.trimmed();
}

// A value wholly inside matching quotes loses them, as the INI readers do.
QStringView Unquoted(QStringView v)
{
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\''))
        && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

struct Ini {
    // Keys are kept lower-cased; the first occurrence of a key wins.
    std::array<QHash<QString, QString>, SectionCount> values;

    QString Text(int section, const QString& key, const QString& def = QString()) const
    {
        const auto& h = values[size_t(section)];
        auto it = h.constFind(key);
        return it == h.constEnd() ? def : *it;
    }
    qint32 Integer(int section, const QString& key, qint32 def) const
    {
        const auto& h = values[size_t(section)];
        auto it = h.constFind(key);
        return it == h.constEnd() ? def : LayoutInteger(*it, def);
    }
};

Ini ParseIni(const QString& text)
{
    Ini ini;
    int section = -1;
    const QStringView all(text);
    qsizetype pos = 0;
    const qsizetype size = all.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && all[end] != QLatin1Char('\n') && all[end] != QLatin1Char('\r'))
            ++end;
        const QStringView line = Trimmed(all.mid(pos, end - pos));
        pos = end + 1;
        if (line.isEmpty() || line.front() == QLatin1Char(';') || line.front() == QLatin1Char('#'))
            continue;
        if (line.front() == QLatin1Char('[')) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            section = close < 0 ? -1 : SectionIndex(Trimmed(line.mid(1, close - 1)));
            continue;
        }
        if (section < 0)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = Trimmed(line.left(eq)).toString().toLower();
        auto& h = ini.values[size_t(section)];
        if (!h.contains(key))
            h.insert(key, Unquoted(Trimmed(line.mid(eq + 1))).toString());
    }
    return ini;
}

}  // namespace

qint32 LayoutInteger(QStringView text, qint32 defaultValue)
{
    QStringView s = text.trimmed();
    bool negative = false;
    if (!s.isEmpty() && (s.front() == QLatin1Char('-') || s.front() == QLatin1Char('+'))) {
        negative = s.front() == QLatin1Char('-');
        s = s.mid(1);
    }
    int base = 10;
    if (s.startsWith(QLatin1Char('$'))) {
        base = 16;
        s = s.mid(1);
    } else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        s = s.mid(2);
    }
    if (s.isEmpty())
        return defaultValue;
    qint64 v = 0;
    for (QChar c : s) {
        int d;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            d = c.unicode() - '0';
        else if (base == 16 && c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))
            d = c.toLower().unicode() - 'a' + 10;
        else
            return defaultValue;
        v = v * base + d;
        if (v > qint64(1) << 32)
            return defaultValue;
    }
    if (negative)
        v = -v;
    if (base == 16 && !negative && v > 0x7FFFFFFF && v <= 0xFFFFFFFF)
        v -= qint64(1) << 32;   // hexadecimal spells the bit pattern
    if (v < INT32_MIN || v > INT32_MAX)
        return defaultValue;
    return qint32(v);
}

std::optional<QList<TLayoutDefinition>> ParseLayoutFile(const QByteArray& bytes)
{
    static const char bom[] = "\xEF\xBB\xBF";
    const QString text = bytes.startsWith(bom) ? QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3)
                                               : FromGbk(bytes);
    const Ini ini = ParseIni(text);

    const qint32 high = ini.Integer(DTFormatInfo, QStringLiteral("high"), 0);
    if (high < 1 || high > 200)
        return std::nullopt;

    QList<TLayoutDefinition> result(high + 1);
    QList<bool> placed(high + 1, false);
    for (int i = 0; i <= high; ++i) {
        const QString key = QString::number(i);
        TLayoutDefinition d;
        d.Caption = ini.Text(Caption, key);
        d.FieldName = ini.Text(FieldName, key);
        const qint32 show = ini.Integer(ShowKind, key, 0);
        d.ShowKind = quint8(show >= 0 && show <= 3 ? show : 0);
        const qint32 data = ini.Integer(DataKind, key, 0);
        d.DataKind = quint8(data >= 0 && data <= 3 ? data : 1);
        d.Width = ini.Integer(Width, key, 0);
        d.Order = ini.Integer(Order, key, i);
        d.OutputFlag = ini.Integer(OutputFlag, key, 1);
        // Each position must be given once, or a hole would be left in the list.
        if (d.Order < 0 || d.Order > high || placed[d.Order])
            return std::nullopt;
        placed[d.Order] = true;
        result[d.Order] = d;
    }
    return result;
}
