// libFuzzer target: any connection string parses in linear time without crashing,
// and every setting it yields has a trimmed, non-empty key.
#include "toolkit/ConnectionString.h"
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const ConnectionSettings s = ParseConnectionString(text);
    for (const auto& p : s.pairs) {
        if (p.first.isEmpty() || p.first.trimmed() != p.first)
            std::abort();
        if (!s.Has(p.first))
            std::abort();
    }
    s.Value(QStringLiteral("Provider"));
    return 0;
}
