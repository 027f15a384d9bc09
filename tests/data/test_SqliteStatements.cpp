// Kept SQLite statements: queries that differ only in a quoted value run on one
// compiled statement, with the same results as the text compiled as written.
#include "toolkit/ADODB.h"
#include "toolkit/SqliteStatements.h"

#include <QFile>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace {

struct Db {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("s.db"));
    TADOConnection conn;
    Db()
    {
        QFile(path).open(QIODevice::WriteOnly);
        conn.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
        Exec(QStringLiteral("create table t(id text primary key, pid text, n integer, name text);"
                            "insert into t values('1','',10,'总部'),('101','1',5,'it''s'),('102','1',7,'b'),"
                            "('10101','101',1,'c'),('2','',3,'d')"));
    }
    void Exec(const QString& sql)
    {
        TADOCommand cmd;
        cmd.SetConnection(&conn);
        cmd.SetCommandText(sql);
        cmd.Execute();
    }
    // The SQLite connection of the calling thread.
    sqlite3* Handle()
    {
        QVariant v = conn.Database().driver()->handle();
        return *static_cast<sqlite3* const*>(v.constData());
    }
    // Times the kept statements were compiled again since they were made.
    int Recompiles()
    {
        sqlite3* h = Handle();
        int n = 0;
        for (sqlite3_stmt* s = sqlite3_next_stmt(h, nullptr); s; s = sqlite3_next_stmt(h, s))
            n += sqlite3_stmt_status(s, SQLITE_STMTSTATUS_REPREPARE, 0);
        return n;
    }
    // Statements the calling thread's connection has compiled and not finalized.
    int LiveStatements()
    {
        sqlite3* h = Handle();
        int n = 0;
        for (sqlite3_stmt* s = sqlite3_next_stmt(h, nullptr); s; s = sqlite3_next_stmt(h, s))
            ++n;
        return n;
    }
};

// The whole result as text, column names first.
std::string Rows(TADOQuery& q)
{
    QStringList out;
    QStringList names;
    for (int c = 0; c < q.FieldCount(); ++c)
        names << q.FieldName(c);
    out << names.join(QLatin1Char('|'));
    for (q.First(); !q.Eof(); q.Next()) {
        QStringList cells;
        for (int c = 0; c < q.FieldCount(); ++c)
            cells << q.FieldValue(c).toString() + QLatin1Char(':') + QString::fromLatin1(q.FieldValue(c).typeName());
        out << cells.join(QLatin1Char('|'));
    }
    return out.join(QLatin1Char('\n')).toStdString();
}

// The same, straight from the Qt driver on a connection of its own.
std::string RowsFromQt(const QString& path, const QString& sql)
{
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reference"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        QStringList names;
        for (int c = 0; c < q.record().count(); ++c)
            names << q.record().fieldName(c);
        out << names.join(QLatin1Char('|'));
        while (q.next()) {
            QStringList cells;
            for (int c = 0; c < q.record().count(); ++c) {
                QVariant v = q.value(c);
                // The driver reads integers as qlonglong, as the dataset does.
                cells << v.toString() + QLatin1Char(':') + QString::fromLatin1(v.typeName());
            }
            out << cells.join(QLatin1Char('|'));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reference"));
    return out.join(QLatin1Char('\n')).toStdString();
}

}  // namespace

TEST(SqlShape, LiteralsBecomeParametersAndEverythingElseStays)
{
    SqlShape s;
    ASSERT_TRUE(ShapeOfSelect("select a.* from (select * from t) a where a.pid='1''0' Order by a.id", &s));
    EXPECT_EQ(s.key, QByteArray("select a.* from (select * from t) a where a.pid=? Order by a.id"));
    ASSERT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.Value(0), QByteArrayView("1'0"));

    // Quoted names, comments and prefixed literals are not values.
    ASSERT_TRUE(ShapeOfSelect(" (SELECT \"it's\", [a'b], `c'd`, X'0A' -- it's\n"
                              " from t /* 'x' */ where n in ('', '单位') ;",
                              &s));
    EXPECT_EQ(s.key, QByteArray(" (SELECT \"it's\", [a'b], `c'd`, X'0A' -- it's\n from t /* 'x' */ where n in (?, ?) ;"));
    ASSERT_EQ(s.Count(), 2u);
    EXPECT_EQ(s.Value(0).size(), 0);
    EXPECT_EQ(QString::fromUtf8(s.Value(1)), QStringLiteral("单位"));

    // A pattern stays in the text: SQLite plans a LIKE from its value.
    ASSERT_TRUE(ShapeOfSelect("select * from t where id like '1%' escape '!' and pid='1' and name glob 'a*'", &s));
    EXPECT_EQ(s.key, QByteArray("select * from t where id like '1%' escape '!' and pid=? and name glob 'a*'"));
    ASSERT_EQ(s.Count(), 1u);

    // Left as written: other statements, parameters of their own, a second
    // statement, an open quote, a word that only starts like select.
    for (const char* text : {"update t set n='1'", "select * from t where id=?", "select * from t where id=:id",
                             "select * from t where id=@id", "select * from t where id=$id",
                             "select 1; delete from t", "select * from t where id='1", "selected", ""}) {
        EXPECT_FALSE(ShapeOfSelect(text, &s)) << text;
    }
}

TEST(SqliteStatements, SameFormRunsOnOneStatementWithTheResultsOfTheTextAsWritten)
{
    Db db;
    TADOQuery q;
    q.SetConnection(&db.conn);
    const int before = db.LiveStatements();
    for (const char* pid : {"1", "101", "", "none", "it''s"}) {
        const QString sql = QStringLiteral("select a.* from (select id,pid,n,name,id||' '||name as tname from t) a "
                                           "where a.pid='%1' Order by a.id")
                                .arg(QLatin1String(pid));
        q.SetSQLText(sql);
        q.Open();
        EXPECT_EQ(Rows(q), RowsFromQt(db.path, sql)) << pid;
    }
    // One kept statement served all five.
    EXPECT_EQ(db.LiveStatements(), before + 1);

    // So does the tree's form with a unit range in its base query, without being
    // compiled again for each parent: the range is part of the kept text.
    const int kept = db.LiveStatements();
    for (const char* pid : {"1", "101", "102", "1"}) {
        const QString sql = QStringLiteral("select a.* from (select id,pid,name from t where id like '1%') a "
                                           "where a.pid='%1' Order by a.id")
                                .arg(QLatin1String(pid));
        q.SetSQLText(sql);
        q.Open();
        EXPECT_EQ(Rows(q), RowsFromQt(db.path, sql)) << pid;
    }
    EXPECT_EQ(db.LiveStatements(), kept + 1);
    EXPECT_EQ(db.Recompiles(), 0);

    // Texts whose result would differ with a parameter, or that cannot take one,
    // run as written, column names included.
    for (const char* sql : {"select 'a'||id, n from t where n > '4' order by id",
                            "select id as 'alias', n from t where name = 'b'",
                            "select * from 't' where id = '2'",
                            "select n from t where n = '10'",             // text literal against an integer column
                            "select id from t where name like 'i%' and n in ('5', 7)",
                            "select typeof('x'), length('单位') from t where id='1'"}) {
        q.SetSQLText(QString::fromUtf8(sql));
        q.Open();
        EXPECT_EQ(Rows(q), RowsFromQt(db.path, QString::fromUtf8(sql))) << sql;
    }
    q.SetSQLText(QStringLiteral("select 'a'||id from t where id='1'"));
    q.Open();
    EXPECT_EQ(q.FieldName(0), QStringLiteral("'a'||id"));
}

TEST(SqliteStatements, KeptStatementFollowsSchemaChangesAndSurvivesFailures)
{
    Db db;
    TADOQuery q;
    q.SetConnection(&db.conn);
    q.SetSQLText(QStringLiteral("select * from t where id='1'"));
    q.Open();
    EXPECT_EQ(q.FieldCount(), 4);

    db.Exec(QStringLiteral("alter table t add column extra text default 'x'"));
    q.SetSQLText(QStringLiteral("select * from t where id='2'"));
    q.Open();
    ASSERT_EQ(q.FieldCount(), 5);
    EXPECT_EQ(q.FieldText(QStringLiteral("extra")), QStringLiteral("x"));

    // A run that fails half-way (integer overflow) reports it and leaves the
    // form usable for the next value.
    db.Exec(QStringLiteral("insert into t(id,pid,n,name) values('9','x',-9223372036854775807 - 1,'min')"));
    q.SetSQLText(QStringLiteral("select abs(n) as v from t where pid='x'"));
    EXPECT_THROW(q.Open(), EDatabaseError);
    q.SetSQLText(QStringLiteral("select abs(n) as v from t where pid='1' order by id"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.FieldText(QStringLiteral("v")), QStringLiteral("5"));

    // A kept statement holds no read lock between runs: another connection can
    // write and check the whole log back into the file.
    q.Close();
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
        other.setDatabaseName(db.path);
        ASSERT_TRUE(other.open());
        QSqlQuery w(other);
        EXPECT_TRUE(w.exec(QStringLiteral("insert into t(id,pid,n,name) values('3','1',1,'e')")));
        ASSERT_TRUE(w.exec(QStringLiteral("pragma wal_checkpoint(truncate)")));
        ASSERT_TRUE(w.next());
        EXPECT_EQ(w.value(0).toInt(), 0);   // not busy
    }
    QSqlDatabase::removeDatabase(QStringLiteral("writer"));
    q.SetSQLText(QStringLiteral("select abs(n) as v from t where pid='1' order by id"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 3);
}

TEST(SqliteStatements, ClosingFinalizesKeptStatementsOfEveryThread)
{
    Db db;
    TADOQuery q;
    q.SetConnection(&db.conn);
    q.SetSQLText(QStringLiteral("select * from t where pid='1'"));
    q.Open();

    // A worker keeps a statement of its own and stays alive while the interface
    // thread closes the connection.
    QSemaphore ran, closed;
    int workerRows = -1;
    std::thread worker([&] {
        TADOQuery wq;
        wq.SetConnection(&db.conn);
        wq.SetSQLText(QStringLiteral("select * from t where pid='101'"));
        wq.Open();
        workerRows = wq.RecordCount();
        ran.release();
        closed.acquire();
    });
    ran.acquire();
    q.Close();
    db.conn.Close();
    // Every connection to the file closed cleanly: the last one removed the log.
    EXPECT_FALSE(QFile::exists(db.path + QStringLiteral("-wal")));
    closed.release();
    worker.join();
    EXPECT_EQ(workerRows, 1);

    q.SetSQLText(QStringLiteral("select * from t where pid=''"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2);
}

TEST(SqliteStatements, ClosingWhileAWorkerRunsAKeptStatementLetsTheWorkerFinish)
{
    Db db;
    QSemaphore entered, go;
    QString workerError;
    int workerRows = -1;
    std::thread worker([&] {
        try {
            // A function of this connection that holds the run until the test lets it go.
            sqlite3* h = db.Handle();
            struct Gate {
                QSemaphore* entered;
                QSemaphore* go;
            } gate{&entered, &go};
            sqlite3_create_function_v2(
                h, "hold_here", 0, SQLITE_UTF8, &gate,
                [](sqlite3_context* ctx, int, sqlite3_value**) {
                    auto* g = static_cast<Gate*>(sqlite3_user_data(ctx));
                    g->entered->release();
                    g->go->acquire();
                    sqlite3_result_int(ctx, 1);
                },
                nullptr, nullptr, nullptr);
            TADOQuery q;
            q.SetConnection(&db.conn);
            q.SetSQLText(QStringLiteral("select hold_here() as h, name from t where id='101'"));
            q.Open();
            workerRows = q.RecordCount();
        } catch (const Exception& e) {
            workerError = e.Message();
        }
    });
    entered.acquire();
    // The worker is inside its run: its statements cannot be finalized now.
    db.conn.Close();
    go.release();
    worker.join();
    EXPECT_EQ(workerError, QString());
    EXPECT_EQ(workerRows, 1);

    // The interface thread opens a connection of its own again.
    TADOQuery q;
    q.SetConnection(&db.conn);
    q.SetSQLText(QStringLiteral("select * from t where pid='1'"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2);
}
