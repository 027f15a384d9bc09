#pragma once
// Reader of the grid layout file: bytes in, column definitions out. No files,
// no globals, so it can be driven by any input.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

struct TLayoutDefinition {
    QString Caption;
    QString FieldName;
    quint8 ShowKind = 0;
    quint8 DataKind = 0;
    qint32 Width = 0;
    qint32 Order = 0;
    qint32 OutputFlag = 1;
};

// The definitions of a layout file, already placed at their "intOrder"
// positions. Empty when the file is to be ignored: "high" outside 1..200, or
// orders that are not each of 0..high exactly once. The text is GBK (read as
// GB18030) unless it starts with a UTF-8 byte-order mark.
std::optional<QList<TLayoutDefinition>> ParseLayoutFile(const QByteArray& bytes);

// Integer the way the layout file writes them: optional sign, decimal digits
// or "$"/"0x" hexadecimal. Anything else, or a value out of range, gives
// the default.
qint32 LayoutInteger(QStringView text, qint32 defaultValue);
