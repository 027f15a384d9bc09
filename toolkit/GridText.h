#pragma once
// The grid's cell text encoding, shared by its column settings and its store:
// UTF-8 entries of a column pool (a varint length, then the bytes) and the
// reading of a cell text as a number. Internal to the toolkit.
#include <QString>
#include <QStringView>
#include <cstddef>

namespace gridtext {

size_t Utf8Length(QStringView text);
char* PutUtf8(char* out, QStringView text);
// Whether size bytes of UTF-8 are text (size being Utf8Length(text)).
bool SameUtf8(const char* utf8, size_t size, QStringView text);
size_t VarintSize(size_t n);
char* PutVarint(char* out, size_t n);

struct Entry {
    const char* data;
    size_t size;
};
Entry ReadEntry(const char* at);

// A number as text: optional blanks and sign, decimal digits, point, exponent.
// Infinity and NaN spellings are not numbers here.
bool ParseNumber(const char* s, size_t n, double* value);
bool ParseNumber(const QString& text, double* value);

}  // namespace gridtext
