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
    const QString provider = AsciiUpper(Conn->Provider());
    if (provider.contains(QLatin1String("SQLITE")))
        return TDbKind::SQLite;
    if (provider.contains(QLatin1String("MSDASQL")))
        return OdbcDriverKind(Conn->ConnectionValue(QStringLiteral("Driver")));
    return TDbKind::Other;
}

TDbKind OdbcDriverKind(const QString& Driver)
{
    const QString d = AsciiUpper(Driver);
    auto has = [&d](std::initializer_list<const char*> keys) {
        for (const char* k : keys)
            if (d.contains(QLatin1String(k)))
                return true;
        return false;
    };
    if (has({"ORACLE"}))
        return TDbKind::Oracle;
    if (has({"ACCESS", "*.MDB", "*.ACCDB"}))
        return TDbKind::Access;
    if (has({"SQL SERVER", "SQL NATIVE CLIENT", "SQLNCLI", "MSODBCSQL"}))
        return TDbKind::SqlServer;
    if (has({"POSTGRES", "PSQLODBC"}))
        return TDbKind::Postgres;
    if (has({"SQLITE"}))
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

QString UpperFunctionName(TAdoConn* Conn)
{
    return DatabaseKind(Conn) == TDbKind::Access ? QStringLiteral("UCASE") : QStringLiteral("UPPER");
}

QString QuotedValue(const QString& value)
{
    QString out = value;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString QuotedValue(TAdoConn* Conn, const QString& value)
{
    if (value.contains(QChar(0)))
        throw EDatabaseError(QStringLiteral("值中含有空字符，不能写入SQL语句"));
    QString out = QuotedValue(value);
    if (!Conn || !value.contains(QLatin1Char('\\')))
        return out;
    switch (DatabaseKind(Conn)) {
    case TDbKind::Postgres:
        if (Conn->BackslashEscapes())
            out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        break;
    case TDbKind::Other:
        // Some servers read a backslash as an escape by default (MySQL does);
        // where the kind is not known, such a value could end its literal early.
        throw EDatabaseError(QStringLiteral("值“%1”中含有反斜杠，无法确定该数据库是否把它当作转义符，不能安全地写入SQL语句")
                                 .arg(value));
    default:
        break;   // the others read a backslash as itself
    }
    return out;
}
