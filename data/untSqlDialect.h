#pragma once
// SQL pieces that differ between database kinds, and quoting of values.
#include <QString>
#include <QStringList>

class TAdoConn;

enum class TDbKind { Oracle, Access, SqlServer, Postgres, SQLite, Other };
// Tested in the order Oracle, Access, SQL Server, PostgreSQL, SQLite (the embedded
// default). Through the ODBC bridge (MSDASQL) the provider names no database, and
// the ODBC driver's name decides among the same kinds.
TDbKind DatabaseKind(TAdoConn* Conn);
// The kind an ODBC driver's name (the Driver={...} of a connection string) names.
TDbKind OdbcDriverKind(const QString& Driver);

void DecodeExpr(TAdoConn* Conn, const QString& Expr, const QStringList& Entries, QString& Result);
QString IifChain(const QString& Expr, const QStringList& Entries);
void SubstrFunctionName(TAdoConn* Conn, QString& Name);
// The string concatenation operator: "+" for SQL Server and Access, "||" otherwise
// (Oracle, PostgreSQL, SQLite).
QString ConcatOperator(TAdoConn* Conn);
// The function that turns text into capitals: UCASE on Access, UPPER elsewhere.
QString UpperFunctionName(TAdoConn* Conn);
// A value for insertion between single quotes: every quote inside it doubled.
QString QuotedValue(const QString& value);
// The same for a statement that the calling thread sends on Conn: backslashes are
// doubled too where that session reads them as escapes, and a value that cannot be
// written safely (a NUL character; a backslash on a database of unknown kind) is
// refused with EDatabaseError. A null Conn quotes as above.
QString QuotedValue(TAdoConn* Conn, const QString& value);
