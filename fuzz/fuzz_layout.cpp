// libFuzzer target: the grid layout file reader must take any bytes without
// crashing, and whatever it accepts must be a complete placement of 0..high.
#include "grid/untLayoutFile.h"
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto defs = ParseLayoutFile(bytes);
    if (defs) {
        if (defs->size() < 2 || defs->size() > 201)
            std::abort();
        for (const TLayoutDefinition& d : *defs)
            if (d.ShowKind > 3 || d.DataKind > 3)
                std::abort();
    }
    LayoutInteger(QString::fromLatin1(bytes.left(32)), 7);
    return 0;
}
