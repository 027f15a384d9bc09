#include "toolkit/ADODB.h"
#include "toolkit/ConnectionString.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

namespace {

// An empty file: the connection opens existing files only, and SQLite makes a
// database of an empty one.
struct SqliteFile {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("t.db"));
    SqliteFile() { QFile(path).open(QIODevice::WriteOnly); }
    QString ConnectionString() const { return QStringLiteral("Provider=SQLite;Data Source=") + path; }
};

void Exec(TADOConnection& c, const QString& sql)
{
    TADOCommand cmd;
    cmd.SetConnection(&c);
    cmd.SetCommandText(sql);
    cmd.Execute();
}

QString RaisedMessage(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

}  // namespace

TEST(ADOConnection, ConnectionStringKeysAndQuoting)
{
    TADOConnection c;
    c.SetConnectionString(QStringLiteral(
        " Provider = Microsoft.Jet.OLEDB.4.0 ; Data Source=\"C:\\a;b.mdb\";Password='it''s';x=1;X=2;;junk"));
    EXPECT_EQ(c.Provider(), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_EQ(c.ConnectionValue(QStringLiteral("data source")), QStringLiteral("C:\\a;b.mdb"));
    EXPECT_EQ(c.ConnectionValue(QStringLiteral("PASSWORD")), QStringLiteral("it's"));
    EXPECT_EQ(c.ConnectionValue(QStringLiteral("x")), QStringLiteral("2"));
    EXPECT_EQ(c.ConnectionValue(QStringLiteral("missing")), QString());
    EXPECT_FALSE(c.Connected());
}

TEST(ADOConnection, EveryQuotedFormOfThePasswordIsMasked)
{
    for (const char* text : {"Driver={X};PWD={top;secret9};UID=u", "Driver={X};pwd = {top}}sec;ret9};UID=u",
                             "Password='top;secret9';UID=u", "PassWord=\"top;\"\"secret9\";UID=u",
                             "UID=u; PwD=topsecret9", "UID=u;PWD={top;secret9"}) {
        const QString masked = MaskedConnectionString(QString::fromUtf8(text));
        EXPECT_FALSE(masked.contains(QStringLiteral("secret9"))) << masked.toStdString();
        EXPECT_FALSE(masked.contains(QStringLiteral("top"))) << masked.toStdString();
        EXPECT_TRUE(masked.contains(QStringLiteral("***"))) << masked.toStdString();
        EXPECT_TRUE(masked.contains(QStringLiteral("UID=u"))) << masked.toStdString();
    }
}

TEST(ADOConnection, OpensOnFirstUseInWalWithFullSync)
{
    SqliteFile f;
    TADOConnection c;
    c.SetConnectionString(f.ConnectionString());
    EXPECT_FALSE(c.Connected());
    Exec(c, QStringLiteral("create table t(a)"));
    EXPECT_TRUE(c.Connected());

    TADOQuery q;
    q.SetConnection(&c);
    q.SetSQLText(QStringLiteral("pragma journal_mode"));
    q.Open();
    EXPECT_EQ(q.FieldText(QStringLiteral("journal_mode")), QStringLiteral("wal"));
    q.SetSQLText(QStringLiteral("pragma synchronous"));
    q.Open();
    EXPECT_EQ(q.FieldValue(0).toInt(), 2);   // FULL

    c.Close();
    EXPECT_FALSE(c.Connected());
    // A fresh Qt connection is made on the next use.
    q.SetSQLText(QStringLiteral("select count(*) from t"));
    q.Open();
    EXPECT_EQ(q.FieldValue(0).toInt(), 0);
}

TEST(ADOConnection, ProviderAndDriverFailuresNameTheCulprit)
{
    TADOConnection c;
    c.SetConnectionString(QStringLiteral("Provider=FancyDB.1;Data Source=x"));
    TADOQuery q;
    q.SetConnection(&c);
    q.SetSQLText(QStringLiteral("select 1"));
    EXPECT_EQ(RaisedMessage([&] { q.Open(); }), QStringLiteral("无法识别的数据库提供程序：FancyDB.1"));
    EXPECT_FALSE(c.Connected());

    // An ODBC provider with nothing to connect to says so instead of guessing.
    c.SetConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Initial Catalog=budget"));
    QString msg = RaisedMessage([&] { c.Open(); });
    EXPECT_TRUE(msg.contains(QStringLiteral("SQLOLEDB.1"))) << msg.toStdString();

    // A driver that is not installed fails on first use with the driver's message.
    c.SetConnectionString(QStringLiteral("Provider=MSDASQL;Driver={No Such Driver 9};Server=s;UID=u;PWD=p"));
    msg = RaisedMessage([&] { c.Open(); });
    EXPECT_NE(msg, QStringLiteral("<no exception>"));
    EXPECT_FALSE(c.Connected());

    // A file that is not a database fails on first use, not later.
    SqliteFile garbage;
    {
        QFile g(garbage.path);
        ASSERT_TRUE(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(4096, 'x'));
    }
    c.SetConnectionString(garbage.ConnectionString());
    EXPECT_TRUE(RaisedMessage([&] { c.Open(); }).contains(QStringLiteral("not a database")));
    EXPECT_FALSE(c.Connected());

    TADOQuery orphan;
    orphan.SetSQLText(QStringLiteral("select 1"));
    EXPECT_NE(RaisedMessage([&] { orphan.Open(); }), QStringLiteral("<no exception>"));
}

TEST(ADOQuery, WholeResultWithTypesNullsAndText)
{
    SqliteFile f;
    TADOConnection c;
    c.SetConnectionString(f.ConnectionString());
    Exec(c, QStringLiteral("create table t(id integer, name text, money real, raw blob);"
                           "insert into t values(7, '财政局', 12.5, x'00ff');"
                           "insert into t values(null, 'abc', null, null);"
                           "insert into t values(-3, '', 0.1, null);"));
    TADOQuery q;
    q.SetConnection(&c);
    q.SetSQLText(QStringLiteral("select id, name, money, raw from t order by rowid"));
    q.Open();
    ASSERT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(q.FieldCount(), 4);
    EXPECT_EQ(q.FieldName(2), QStringLiteral("money"));
    EXPECT_EQ(q.FieldIndex(QStringLiteral("NAME")), 1);

    EXPECT_EQ(q.FieldText(QStringLiteral("id")), QStringLiteral("7"));
    EXPECT_EQ(q.FieldText(QStringLiteral("name")), QStringLiteral("财政局"));
    EXPECT_EQ(q.FieldText(QStringLiteral("money")), QStringLiteral("12.5"));
    EXPECT_EQ(q.FieldByName(QStringLiteral("id")).typeId(), QMetaType::LongLong);
    EXPECT_EQ(q.FieldByName(QStringLiteral("raw")).toByteArray(), QByteArray("\x00\xff", 2));
    QVariantList v = q.FieldValues(QStringLiteral("money;id"));
    ASSERT_EQ(v.size(), 2);
    EXPECT_DOUBLE_EQ(v[0].toDouble(), 12.5);
    EXPECT_EQ(v[1].toInt(), 7);

    q.Next();
    EXPECT_TRUE(q.FieldByName(QStringLiteral("id")).isNull());
    EXPECT_EQ(q.FieldText(QStringLiteral("money")), QString());
    q.Next();
    EXPECT_EQ(q.FieldText(QStringLiteral("money")), QStringLiteral("0.1"));
    EXPECT_EQ(q.FieldText(QStringLiteral("name")), QString());
    EXPECT_FALSE(q.FieldByName(QStringLiteral("name")).isNull());   // empty text is not NULL
    q.Next();
    EXPECT_TRUE(q.Eof());
    q.Next();
    EXPECT_EQ(q.RecNo(), 3);
    q.First();
    EXPECT_FALSE(q.Eof());

    EXPECT_EQ(RaisedMessage([&] { q.FieldByName(QStringLiteral("nope")); }),
              QStringLiteral("Field 'nope' not found"));

    // Bulk readers see the same cells without moving the cursor.
    double d = 0;
    EXPECT_EQ(q.CellText(0, 1), QStringLiteral("财政局"));
    EXPECT_TRUE(q.CellNumber(2, 0, &d));
    EXPECT_EQ(d, -3);
    EXPECT_TRUE(q.CellNumber(0, 2, &d));
    EXPECT_EQ(d, 12.5);
    EXPECT_FALSE(q.CellNumber(0, 1, &d));
    EXPECT_TRUE(q.CellIsNull(1, 0));
    EXPECT_FALSE(q.CellIsNull(2, 1));
    EXPECT_TRUE(q.CellIsNull(99, 0));
    EXPECT_EQ(q.CellText(-1, 0), QString());
    EXPECT_EQ(q.CellValue(2, 2).toDouble(), 0.1);
}

TEST(ADOQuery, EmptyResultAndErrorsCarryTheDriverMessage)
{
    SqliteFile f;
    TADOConnection c;
    c.SetConnectionString(f.ConnectionString());
    Exec(c, QStringLiteral("create table t(a text)"));
    TADOQuery q;
    q.SetConnection(&c);
    q.SetSQLText(QStringLiteral("select a from t"));
    q.Open();
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.FieldCount(), 1);

    q.SetSQLText(QStringLiteral("select a from missing_table"));
    EXPECT_TRUE(RaisedMessage([&] { q.Open(); }).contains(QStringLiteral("missing_table")));
    EXPECT_FALSE(q.Active());

    TADOCommand cmd;
    cmd.SetConnection(&c);
    cmd.SetCommandText(QStringLiteral("insert into t values('x'); insert into nowhere values(1)"));
    EXPECT_TRUE(RaisedMessage([&] { cmd.Execute(); }).contains(QStringLiteral("nowhere")));
    cmd.SetCommandText(QStringLiteral("   "));
    EXPECT_NE(RaisedMessage([&] { cmd.Execute(); }), QStringLiteral("<no exception>"));
}

TEST(ADOQuery, ForgetsAConnectionThatIsDestroyed)
{
    SqliteFile f;
    auto* c = new TADOConnection;
    c->SetConnectionString(f.ConnectionString());
    TADOQuery q;
    TADOCommand cmd;
    q.SetConnection(c);
    cmd.SetConnection(c);
    q.SetSQLText(QStringLiteral("select 1"));
    q.Open();
    c->Free();
    EXPECT_EQ(q.Connection(), nullptr);
    EXPECT_EQ(cmd.Connection(), nullptr);
    EXPECT_FALSE(q.Active());
}

TEST(ADOConnection, WorkerThreadUsesItsOwnCloneAndDropsItOnExit)
{
    SqliteFile f;
    TADOConnection c;
    c.SetConnectionString(f.ConnectionString());
    Exec(c, QStringLiteral("create table t(a integer); insert into t values(1),(2),(3)"));
    const QString mainName = c.Database().connectionName();
    const int before = QSqlDatabase::connectionNames().size();

    std::atomic<int> count{-1};
    QString workerName;
    QString error;
    std::thread worker([&] {
        try {
            TADOQuery q;
            q.SetConnection(&c);
            q.SetSQLText(QStringLiteral("select a from t"));
            q.Open();
            count = q.RecordCount();
            workerName = c.Database().connectionName();
        } catch (const Exception& e) {
            error = e.Message();
        }
    });
    worker.join();
    EXPECT_EQ(error, QString());
    EXPECT_EQ(count.load(), 3);
    EXPECT_NE(workerName, mainName);
    // The worker's clone went with its thread; the interface thread's stays.
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before);
    EXPECT_TRUE(QSqlDatabase::contains(mainName));
    EXPECT_FALSE(QSqlDatabase::contains(workerName));
}

TEST(ADOConnection, QtWorkerThreadCloneGoesWithTheThread)
{
    SqliteFile f;
    TADOConnection c;
    c.SetConnectionString(f.ConnectionString());
    Exec(c, QStringLiteral("create table t(a integer); insert into t values(1),(2)"));
    const int before = QSqlDatabase::connectionNames().size();
    int rows = -1;
    int during = -1;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        TADOQuery q;
        q.SetConnection(&c);
        q.SetSQLText(QStringLiteral("select a from t"));
        q.Open();
        rows = q.RecordCount();
        during = QSqlDatabase::connectionNames().size();
    }));
    worker->start();
    ASSERT_TRUE(worker->wait(10000));
    worker.reset();
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(during, before + 1);
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before);
}

TEST(ADOConnection, ConcurrentWorkersAndDestructionRemoveEveryClone)
{
    SqliteFile f;
    const int before = QSqlDatabase::connectionNames().size();
    {
        TADOConnection c;
        c.SetConnectionString(f.ConnectionString());
        Exec(c, QStringLiteral("create table t(a integer); insert into t values(1)"));
        std::atomic<int> ok{0};
        std::atomic<bool> release{false};
        std::vector<std::thread> threads;
        std::atomic<int> ready{0};
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([&] {
                try {
                    TADOCommand cmd;
                    cmd.SetConnection(&c);
                    cmd.SetCommandText(QStringLiteral("insert into t values(2)"));
                    cmd.Execute();
                    ++ok;
                } catch (const Exception&) {
                }
                ++ready;
                while (!release)
                    std::this_thread::yield();
            });
        while (ready < 4)
            std::this_thread::yield();
        EXPECT_EQ(ok.load(), 4);
        EXPECT_EQ(QSqlDatabase::connectionNames().size(), before + 5);
        c.Close();   // closes the live workers' clones too
        EXPECT_EQ(QSqlDatabase::connectionNames().size(), before);
        release = true;
        for (auto& t : threads)
            t.join();
        TADOQuery q;
        q.SetConnection(&c);
        q.SetSQLText(QStringLiteral("select count(*) from t"));
        q.Open();
        EXPECT_EQ(q.FieldValue(0).toInt(), 5);
    }
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before);
}

TEST(ADOConnection, TraceHookSeesEveryStatementAsSent)
{
    SqliteFile f;
    QStringList seen;
    TADOConnection::SetTraceHook([&](const QString& sql) { seen << sql; });
    {
        TADOConnection c;
        c.SetConnectionString(f.ConnectionString());
        Exec(c, QStringLiteral("create table t(a)"));
        TADOQuery q;
        q.SetConnection(&c);
        q.SetSQLText(QStringLiteral("select * from t where a='测试'"));
        q.Open();
        q.SetSQLText(QStringLiteral("select * from nowhere"));
        EXPECT_ANY_THROW(q.Open());
    }
    TADOConnection::SetTraceHook(nullptr);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("create table t(a)"), QStringLiteral("select * from t where a='测试'"),
                                 QStringLiteral("select * from nowhere")}));
}

// The ODBC path for real: the bridge provider over the SQLite ODBC driver.
TEST(ADOConnection, OdbcBridgeRunsStatementsThroughTheNamedDriver)
{
    QFile ini(QStringLiteral("/etc/odbcinst.ini"));
    if (!ini.open(QIODevice::ReadOnly) || !ini.readAll().contains("[SQLite3]"))
        GTEST_SKIP() << "SQLite3 ODBC driver not installed (scripts/setup.sh installs it)";
    SqliteFile f;
    TADOConnection c;
    c.SetConnectionString(QStringLiteral("Provider=MSDASQL.1;Driver={SQLite3};Database=") + f.path);
    Exec(c, QStringLiteral("create table t(id integer, name text, money real)"));
    Exec(c, QStringLiteral("insert into t values(7, '财政局', 12.5)"));
    Exec(c, QStringLiteral("insert into t values(8, null, null)"));
    EXPECT_TRUE(c.Connected());

    TADOQuery q;
    q.SetConnection(&c);
    q.SetSQLText(QStringLiteral("select id, name, money from t order by id"));
    q.Open();
    ASSERT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.FieldCount(), 3);
    EXPECT_EQ(q.FieldText(QStringLiteral("id")), QStringLiteral("7"));
    EXPECT_EQ(q.FieldText(QStringLiteral("name")), QStringLiteral("财政局"));
    EXPECT_EQ(q.FieldByName(QStringLiteral("money")).toDouble(), 12.5);
    q.Next();
    EXPECT_TRUE(q.FieldByName(QStringLiteral("name")).isNull());
    EXPECT_EQ(q.FieldText(QStringLiteral("money")), QString());

    q.SetSQLText(QStringLiteral("select * from nowhere"));
    EXPECT_TRUE(RaisedMessage([&] { q.Open(); }).contains(QStringLiteral("nowhere")));
}

namespace {

EDatabaseError::TKind RaisedKind(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.Kind();
    }
    ADD_FAILURE() << "no exception";
    return EDatabaseError::Statement;
}

}  // namespace

TEST(ADOConnection, FailuresSayWhetherTheStatementsAfterThemWouldFailToo)
{
    // A file that is not there is not made: the name was mistyped.
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.db"));
    TADOConnection gone;
    gone.SetConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + missing);
    EXPECT_EQ(RaisedMessage([&] { gone.Open(); }), QStringLiteral("数据库文件不存在：") + missing);
    EXPECT_EQ(RaisedKind([&] { Exec(gone, QStringLiteral("select 1")); }), EDatabaseError::Lost);
    EXPECT_FALSE(QFile::exists(missing));

    SqliteFile f;
    TADOConnection c;
    c.SetConnectionString(f.ConnectionString());
    Exec(c, QStringLiteral("create table t(x)"));
    // A statement of its own making fails alone.
    EXPECT_EQ(RaisedKind([&] { Exec(c, QStringLiteral("insert into nosuch values(1)")); }), EDatabaseError::Statement);
    TADOQuery q;
    q.SetConnection(&c);
    q.SetSQLText(QStringLiteral("select nosuch from t"));
    EXPECT_EQ(RaisedKind([&] { q.Open(); }), EDatabaseError::Statement);
    // A database that cannot grow fails every write after it.
    Exec(c, QStringLiteral("pragma max_page_count = 3"));
    EXPECT_EQ(RaisedKind([&] { Exec(c, QStringLiteral("insert into t values(zeroblob(100000))")); }),
              EDatabaseError::Full);
}
