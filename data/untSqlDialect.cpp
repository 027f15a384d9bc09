#include "data/untSqlDialect.h"

#include "data/untDbManager.h"

TDbKind DatabaseKind(TAdoConn* Conn)
{
    if (!Conn)
        return TDbKind::Other;
    if (Conn->IsOracle())
        return TDbKind::Oracle;
    if (Conn->IsAccess())
        return TDbKind::Access;
    if (Conn->IsSqlServer())
        return TDbKind::SqlServer;
    if (Conn->IsPostgres())
        return TDbKind::Postgres;
    // The embedded default speaks CASE: the single IIF of unknown providers would
    // label every budget sub-type other than 控制数 as 临时数.
    if (AsciiUpper(Conn->Provider()).contains(QLatin1String("SQLITE")))
        return TDbKind::SQLite;
    return TDbKind::Other;
}

QString IifChain(const QString& Expr, const QStringList& Entries)
{
    const qsizetype h = Entries.size() - 1;
    if (h < 1)
        return Entries.isEmpty() ? QStringLiteral("NULL") : Entries.first();
    if (h <= 4)
        return QStringLiteral(" IIF(") + Expr + QLatin1Char('=') + Entries[0] + QLatin1Char(',') + Entries[1]
               + QLatin1Char(',') + Entries[h] + QLatin1Char(')');
    return QStringLiteral(" IIF(") + Expr + QLatin1Char('=') + Entries[0] + QLatin1Char(',') + Entries[1]
           + QStringLiteral(",(") + IifChain(Expr, Entries.mid(2)) + QStringLiteral("))");
}

void DecodeExpr(TAdoConn* Conn, const QString& Expr, const QStringList& Entries, QString& Result)
{
    // Without a single pair there is nothing to map: the default if one is
    // given, else NULL, in every dialect.
    if (Entries.size() < 2) {
        Result = Entries.isEmpty() ? QStringLiteral("NULL") : Entries.first();
        return;
    }
    switch (DatabaseKind(Conn)) {
    case TDbKind::Oracle:
        Result = QStringLiteral("DECODE(") + Expr;
        for (const QString& e : Entries)
            Result += QLatin1Char(',') + e;
        Result += QLatin1Char(')');
        break;
    case TDbKind::Access:
        Result = IifChain(Expr, Entries);
        break;
    case TDbKind::SqlServer:
    case TDbKind::Postgres:
    case TDbKind::SQLite: {
        Result = QStringLiteral(" CASE  ");
        const qsizetype pairs = Entries.size() / 2;
        for (qsizetype p = 0; p < pairs; ++p)
            Result += QStringLiteral(" WHEN ") + Expr + QLatin1Char('=') + Entries[2 * p] + QStringLiteral(" THEN ")
                      + Entries[2 * p + 1] + QLatin1Char(' ');
        if (Entries.size() % 2 == 1)
            Result += QStringLiteral(" ELSE ") + Entries.last() + QLatin1Char(' ');
        Result += QStringLiteral(" END  ");
        break;
    }
    case TDbKind::Other:
        Result = QStringLiteral("IIF(") + Expr + QLatin1Char('=') + Entries[0] + QLatin1Char(',') + Entries[1]
                 + QLatin1Char(',') + Entries.last() + QLatin1Char(')');
        break;
    }
}

void SubstrFunctionName(TAdoConn* Conn, QString& Name)
{
    switch (DatabaseKind(Conn)) {
    case TDbKind::Oracle:
        Name = QStringLiteral("SUBSTR");
        break;
    case TDbKind::Access:
        Name = QStringLiteral("MID");
        break;
    default:
        Name = QStringLiteral("SUBSTRING");
    }
}

QString ConcatOperator(TAdoConn* Conn)
{
    switch (DatabaseKind(Conn)) {
    case TDbKind::Access:
    case TDbKind::SqlServer:
        return QStringLiteral("+");
    default:
        return QStringLiteral("||");
    }
}

QString QuotedValue(const QString& value)
{
    QString out = value;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}
