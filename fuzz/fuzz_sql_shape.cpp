// libFuzzer target: any text either is refused or splits into a form and its
// literals, in linear time and without reading outside it. Where the text holds
// no quoted names, comments or prefixed literals (X'..', kept whole, so question
// marks in them stay in the form), putting the literals back, quotes doubled,
// gives the text again.
#include "toolkit/SqliteStatements.h"
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    SqlShape shape;
    if (!ShapeOfSelect(text, &shape))
        return 0;
    if (shape.key.size() > text.size() || shape.bytes.size() > text.size())
        std::abort();
    for (size_t i = 0; i < shape.Count(); ++i) {
        const auto [at, length] = shape.spans[i];
        if (at < 0 || length < 0 || at + length > shape.bytes.size())
            std::abort();
    }
    for (const char* mark : {"\"", "`", "[", "--", "/*"})
        if (text.contains(mark))
            return 0;
    if (shape.key.contains('\''))
        return 0;   // a prefixed literal was kept whole
    QByteArray rebuilt;
    size_t next = 0;
    for (const char c : shape.key) {
        if (c != '?') {
            rebuilt.append(c);
            continue;
        }
        if (next >= shape.Count())
            std::abort();
        QByteArray value = shape.Value(next++).toByteArray();
        value.replace("'", "''");
        rebuilt.append('\'').append(value).append('\'');
    }
    if (next != shape.Count() || rebuilt != text)
        std::abort();
    return 0;
}
