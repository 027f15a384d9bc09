#pragma once
// ADO-style connection strings: "Key=Value;Key2='quoted;value'".
#include "toolkit/Export.h"
#include <QList>
#include <QPair>
#include <QString>

struct TOOLKIT_EXPORT ConnectionSettings {
    QList<QPair<QString, QString>> pairs;   // keys as written, in order

    // The last occurrence of a key wins, as ADO does; keys compare without case.
    QString Value(const QString& key) const;
    bool Has(const QString& key) const;
};

// Values may be quoted with ' or " (a doubled quote inside stands for one); keys
// and unquoted values are trimmed; pieces without '=' carry no setting.
TOOLKIT_EXPORT ConnectionSettings ParseConnectionString(const QString& text);

// The connection string as it may be shown: the values of password keys (PWD,
// Password) read "***".
TOOLKIT_EXPORT QString MaskedConnectionString(const QString& text);
