#include "data/untDbManager.h"
#include "data/untSqlDialect.h"

#include <gtest/gtest.h>

namespace {

// A connection of the given provider; nothing needs to open for the dialect.
struct Kinds {
    TAdoConn oracle, access, sqlServer, other;
    Kinds()
    {
        oracle.SetConnectionString(QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=orcl"));
        access.SetConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\b.mdb"));
        sqlServer.SetConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=srv"));
        other.SetConnectionString(QStringLiteral("Provider=MSDASQL.1;DSN=budget"));
    }
};

QString Decode(TAdoConn& c, const QString& expr, const QStringList& entries)
{
    QString out = QStringLiteral("<untouched>");
    DecodeExpr(&c, expr, entries, out);
    return out;
}

const QStringList Five{"'a'", "1", "'b'", "2", "3"};
const QStringList Four{"'a'", "1", "'b'", "2"};
const QStringList SubTypes{QStringLiteral("'0'"),
                           QStringLiteral("'控制数'"),
                           QStringLiteral("'1' and btype='1' and bkid='21' "),
                           QStringLiteral("'年初预算'"),
                           QStringLiteral("'1' and btype='1' and bkid='22' "),
                           QStringLiteral("'结余预算'"),
                           QStringLiteral("'2' and btype='1' "),
                           QStringLiteral("'调整追加预算'"),
                           QStringLiteral("'2' and btype='2'"),
                           QStringLiteral("'临时数'")};

}  // namespace

TEST(SqlDialect, FiveEntriesTwoPairsAndADefault)
{
    Kinds k;
    EXPECT_EQ(Decode(k.oracle, "kind", Five), QStringLiteral("DECODE(kind,'a',1,'b',2,3)"));
    EXPECT_EQ(Decode(k.access, "kind", Five), QStringLiteral(" IIF(kind='a',1,3)"));
    EXPECT_EQ(Decode(k.sqlServer, "kind", Five),
              QStringLiteral(" CASE   WHEN kind='a' THEN 1  WHEN kind='b' THEN 2  ELSE 3  END  "));
    EXPECT_EQ(Decode(k.other, "kind", Five), QStringLiteral("IIF(kind='a',1,3)"));
}

TEST(SqlDialect, FourEntriesWithoutDefault)
{
    Kinds k;
    EXPECT_EQ(Decode(k.oracle, "kind", Four), QStringLiteral("DECODE(kind,'a',1,'b',2)"));
    EXPECT_EQ(Decode(k.access, "kind", Four), QStringLiteral(" IIF(kind='a',1,2)"));
    EXPECT_EQ(Decode(k.sqlServer, "kind", Four),
              QStringLiteral(" CASE   WHEN kind='a' THEN 1  WHEN kind='b' THEN 2  END  "));
    EXPECT_EQ(Decode(k.other, "kind", Four), QStringLiteral("IIF(kind='a',1,2)"));
}

TEST(SqlDialect, BudgetSubTypeLabelsByteForByte)
{
    Kinds k;
    EXPECT_EQ(Decode(k.oracle, "btypechild", SubTypes),
              QStringLiteral("DECODE(btypechild,'0','控制数','1' and btype='1' and bkid='21' ,'年初预算','1' and "
                             "btype='1' and bkid='22' ,'结余预算','2' and btype='1' ,'调整追加预算','2' and "
                             "btype='2','临时数')"));
    EXPECT_EQ(Decode(k.access, "btypechild", SubTypes),
              QStringLiteral(" IIF(btypechild='0','控制数',( IIF(btypechild='1' and btype='1' and bkid='21' ,'年初预算',( "
                             "IIF(btypechild='1' and btype='1' and bkid='22' ,'结余预算',( IIF(btypechild='2' and "
                             "btype='1' ,'调整追加预算','临时数')))))))"));
    EXPECT_EQ(Decode(k.sqlServer, "btypechild", SubTypes),
              QStringLiteral(" CASE   WHEN btypechild='0' THEN '控制数'  WHEN btypechild='1' and btype='1' and "
                             "bkid='21'  THEN '年初预算'  WHEN btypechild='1' and btype='1' and bkid='22'  THEN "
                             "'结余预算'  WHEN btypechild='2' and btype='1'  THEN '调整追加预算'  WHEN "
                             "btypechild='2' and btype='2' THEN '临时数'  END  "));
    EXPECT_EQ(Decode(k.other, "btypechild", SubTypes), QStringLiteral("IIF(btypechild='0','控制数','临时数')"));
}

TEST(SqlDialect, ShortListsGiveTheDefaultOrNullInsteadOfFailing)
{
    Kinds k;
    for (TAdoConn* c : {&k.oracle, &k.access, &k.sqlServer, &k.other}) {
        EXPECT_EQ(Decode(*c, "x", {}), QStringLiteral("NULL"));
        EXPECT_EQ(Decode(*c, "x", {"'d'"}), QStringLiteral("'d'"));
    }
    QString out;
    DecodeExpr(nullptr, "x", Five, out);
    EXPECT_EQ(out, QStringLiteral("IIF(x='a',1,3)"));
}

TEST(SqlDialect, SubstringConcatenationAndKindOrder)
{
    Kinds k;
    QString name;
    SubstrFunctionName(&k.oracle, name);
    EXPECT_EQ(name, QStringLiteral("SUBSTR"));
    SubstrFunctionName(&k.access, name);
    EXPECT_EQ(name, QStringLiteral("MID"));
    SubstrFunctionName(&k.sqlServer, name);
    EXPECT_EQ(name, QStringLiteral("SUBSTRING"));
    SubstrFunctionName(&k.other, name);
    EXPECT_EQ(name, QStringLiteral("SUBSTRING"));

    EXPECT_EQ(ConcatOperator(&k.sqlServer), QStringLiteral("+"));
    EXPECT_EQ(ConcatOperator(&k.access), QStringLiteral("+"));
    EXPECT_EQ(ConcatOperator(&k.oracle), QStringLiteral("||"));
    EXPECT_EQ(ConcatOperator(&k.other), QStringLiteral("||"));

    // Oracle wins over the other tests; the kind follows the provider on every call.
    TAdoConn both;
    both.SetConnectionString(QStringLiteral("Provider=MSDAORA via SQLOLEDB"));
    EXPECT_EQ(DatabaseKind(&both), TDbKind::Oracle);
    both.SetConnectionString(QStringLiteral("Provider=Access over SQL Server"));
    EXPECT_EQ(DatabaseKind(&both), TDbKind::Access);
    both.SetConnectionString(QStringLiteral("Provider=MSDASQL"));
    EXPECT_EQ(DatabaseKind(&both), TDbKind::Other);
}

TEST(SqlDialect, QuotedValueDoublesQuotesOnly)
{
    EXPECT_EQ(QuotedValue(QStringLiteral("101")), QStringLiteral("101"));
    EXPECT_EQ(QuotedValue(QStringLiteral("o'brien''s")), QStringLiteral("o''brien''''s"));
    EXPECT_EQ(QuotedValue(QStringLiteral("'; drop table t; --")), QStringLiteral("''; drop table t; --"));
    EXPECT_EQ(QuotedValue(QString()), QString());
}

TEST(SqlDialect, TheOdbcBridgeTakesItsKindFromTheDriverName)
{
    TAdoConn c;
    const std::pair<const char*, TDbKind> cases[] = {
        {"Provider=MSDASQL;Driver={ODBC Driver 18 for SQL Server};Server=db", TDbKind::SqlServer},
        {"Provider=MSDASQL.1;Driver={SQL Server Native Client 11.0}", TDbKind::SqlServer},
        {"Provider=MSDASQL;Driver={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=a.mdb", TDbKind::Access},
        {"Provider=MSDASQL;Driver={Oracle in OraClient19Home1}", TDbKind::Oracle},
        {"Provider=MSDASQL;Driver={PostgreSQL Unicode}", TDbKind::Postgres},
        {"Provider=MSDASQL;Driver=SQLite3;Database=x.db", TDbKind::SQLite},
        {"Provider=MSDASQL;Driver={MySQL ODBC 8.0 Unicode Driver}", TDbKind::Other},
        {"Provider=MSDASQL;DSN=budget", TDbKind::Other},
        // The provider still decides where it names a database itself.
        {"Provider=SQLOLEDB;Driver={PostgreSQL Unicode}", TDbKind::SqlServer},
    };
    for (const auto& [text, kind] : cases) {
        c.SetConnectionString(QLatin1String(text));
        EXPECT_EQ(DatabaseKind(&c), kind) << text;
    }
    // The statements follow the kind: SQL Server through ODBC concatenates with +.
    c.SetConnectionString(QStringLiteral("Provider=MSDASQL;Driver={ODBC Driver 18 for SQL Server}"));
    EXPECT_EQ(ConcatOperator(&c), QStringLiteral("+"));
    QString sub;
    c.SetConnectionString(QStringLiteral("Provider=MSDASQL;Driver={Microsoft Access Driver (*.mdb)}"));
    SubstrFunctionName(&c, sub);
    EXPECT_EQ(sub, QStringLiteral("MID"));
}

TEST(SqlDialect, QuotingForAConnectionRefusesWhatItCannotWriteSafely)
{
    TAdoConn sqlServer, unknown;
    sqlServer.SetConnectionString(QStringLiteral("Provider=SQLOLEDB"));
    unknown.SetConnectionString(QStringLiteral("Provider=MSDASQL;Driver={MySQL ODBC 8.0 Unicode Driver}"));
    // Ordinary values read as plain doubling on every kind.
    EXPECT_EQ(QuotedValue(&sqlServer, QStringLiteral("o'b")), QStringLiteral("o''b"));
    EXPECT_EQ(QuotedValue(&unknown, QStringLiteral("o'b")), QStringLiteral("o''b"));
    // A backslash is itself where the kind says so, and refused where it is not known.
    EXPECT_EQ(QuotedValue(&sqlServer, QStringLiteral("\\' or 1=1 --")), QStringLiteral("\\'' or 1=1 --"));
    EXPECT_THROW(QuotedValue(&unknown, QStringLiteral("\\' or 1=1 --")), EDatabaseError);
    // A NUL would cut the statement short in some drivers: never written.
    EXPECT_THROW(QuotedValue(&sqlServer, QStringLiteral("a") + QChar(0) + QStringLiteral("b")), EDatabaseError);
    EXPECT_EQ(QuotedValue(nullptr, QStringLiteral("a\\'")), QStringLiteral("a\\''"));
}
