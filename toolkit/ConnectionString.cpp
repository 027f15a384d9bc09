#include "toolkit/ConnectionString.h"
#include <QRegularExpression>

QString ConnectionSettings::Value(const QString& key) const
{
    for (auto it = pairs.crbegin(); it != pairs.crend(); ++it)
        if (it->first.compare(key, Qt::CaseInsensitive) == 0)
            return it->second;
    return {};
}

bool ConnectionSettings::Has(const QString& key) const
{
    for (const auto& p : pairs)
        if (p.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

ConnectionSettings ParseConnectionString(const QString& text)
{
    ConnectionSettings out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    qsizetype eq = -1;   // the next '=' at or after i, found once and kept while i has not passed it
    while (i < n) {
        if (eq < i)
            eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            break;   // no '=' left: nothing more to read
        const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        if (semi >= 0 && semi < eq) {
            // A piece without '=' carries no setting.
            i = semi + 1;
            continue;
        }
        QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text.at(i).isSpace())
            ++i;
        QString value;
        if (i < n && (text.at(i) == QLatin1Char('"') || text.at(i) == QLatin1Char('\''))) {
            const QChar q = text.at(i++);
            while (i < n) {
                if (text.at(i) == q) {
                    if (i + 1 < n && text.at(i + 1) == q) {
                        value += q;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text.at(i++);
            }
            const qsizetype next = text.indexOf(QLatin1Char(';'), i);
            i = next < 0 ? n : next + 1;
        } else {
            const qsizetype next = text.indexOf(QLatin1Char(';'), i);
            value = text.mid(i, (next < 0 ? n : next) - i).trimmed();
            i = next < 0 ? n : next + 1;
        }
        if (!key.isEmpty())
            out.pairs.append({key, value});
    }
    return out;
}

QString MaskedConnectionString(const QString& text)
{
    // Any "pwd=" or "password=" up to the next ';', or to the end of a quoted
    // value: quotes of either kind (doubled inside) and ODBC's braces ("}}"
    // inside), whatever the parser would make of the rest. An unclosed quote or
    // brace hides all that follows.
    static const QRegularExpression secret(
        QStringLiteral("((?:^|;)\\s*(?:pwd|password)\\s*=\\s*)"
                       "('(?:[^']|'')*(?:'|$)|\"(?:[^\"]|\"\")*(?:\"|$)|\\{(?:[^}]|\\}\\})*(?:\\}|$)|[^;]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(secret, QStringLiteral("\\1***"));
    return out;
}
