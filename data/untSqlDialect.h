#pragma once
// SQL pieces that differ between database kinds, and quoting of values.
#include <QString>
#include <QStringList>

class TAdoConn;

enum class TDbKind { Oracle, Access, SqlServer, Postgres, SQLite, Other };
// Tested in the order Oracle, Access, SQL Server, PostgreSQL, SQLite (the embedded default).
TDbKind DatabaseKind(TAdoConn* Conn);

void DecodeExpr(TAdoConn* Conn, const QString& Expr, const QStringList& Entries, QString& Result);
QString IifChain(const QString& Expr, const QStringList& Entries);
void SubstrFunctionName(TAdoConn* Conn, QString& Name);
// The string concatenation operator: "+" for SQL Server and Access, "||" otherwise
// (Oracle, PostgreSQL, SQLite).
QString ConcatOperator(TAdoConn* Conn);
// A value for insertion between single quotes: every quote inside it doubled.
QString QuotedValue(const QString& value);
