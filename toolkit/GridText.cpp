#include "toolkit/GridText.h"
#include <cstring>
#include <vector>

#include <charconv>
#include <cmath>
#include <system_error>

namespace gridtext {

// ---- UTF-8 entries of a column pool: a varint length, then the bytes.

size_t Utf8Length(QStringView text)
{
    size_t n = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            n += 1;
        else if (c < 0x800)
            n += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            n += 4;
            ++i;
        } else
            n += 3;   // lone surrogates become U+FFFD, also 3 bytes
    }
    return n;
}

bool SameUtf8(const char* utf8, size_t size, QStringView text)
{
    char small[256];
    std::vector<char> large;
    char* buffer = small;
    if (size > sizeof small) {
        large.resize(size);
        buffer = large.data();
    }
    PutUtf8(buffer, text);
    return std::memcmp(buffer, utf8, size) == 0;
}

char* PutUtf8(char* out, QStringView text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x80) {
            *out++ = char(c);
            continue;
        }
        if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(char16_t(c), text[i + 1].unicode());
            ++i;
            *out++ = char(0xF0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3F));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
            continue;
        }
        if (QChar::isSurrogate(c))
            c = 0xFFFD;
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

size_t VarintSize(size_t n)
{
    size_t s = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++s;
    }
    return s;
}

char* PutVarint(char* out, size_t n)
{
    while (n >= 0x80) {
        *out++ = char(0x80 | (n & 0x7F));
        n >>= 7;
    }
    *out++ = char(n);
    return out;
}

Entry ReadEntry(const char* at)
{
    size_t n = 0;
    int shift = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(at);
    while (*p & 0x80) {
        n |= size_t(*p & 0x7F) << shift;
        shift += 7;
        ++p;
    }
    n |= size_t(*p) << shift;
    ++p;
    return {reinterpret_cast<const char*>(p), n};
}

bool ParseNumber(const char* s, size_t n, double* value)
{
    while (n && (*s == ' ' || *s == '\t')) {
        ++s;
        --n;
    }
    while (n && (s[n - 1] == ' ' || s[n - 1] == '\t'))
        --n;
    if (n && *s == '+') {
        ++s;
        --n;
    }
    if (!n)
        return false;
    const char first = (*s == '-' && n > 1) ? s[1] : *s;
    if (!((first >= '0' && first <= '9') || first == '.'))
        return false;
    double v = 0;
    const auto r = std::from_chars(s, s + n, v);
    if (r.ec != std::errc() || r.ptr != s + n || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool ParseNumber(const QString& text, double* value)
{
    const QByteArray bytes = text.toUtf8();
    return ParseNumber(bytes.constData(), size_t(bytes.size()), value);
}

}  // namespace gridtext
