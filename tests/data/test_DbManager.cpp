#include "data/untDbManager.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString SqliteConnectionString(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("m.db"));
    QFile(path).open(QIODevice::Append);   // connections open existing files only
    return QStringLiteral("Provider=SQLite;Data Source=") + path;
}

}  // namespace

TEST(AdoConn, ProviderTestsFollowTheProviderInAnyCase)
{
    TAdoConn c;
    struct Case {
        const char* provider;
        bool access, sqlServer, oracle;
    } cases[] = {
        {"Microsoft.Jet.OLEDB.4.0", true, false, false},
        {"microsoft.jet.oledb.4.0", true, false, false},
        {"Microsoft Access Driver", true, false, false},
        {"SQLOLEDB.1", false, true, false},
        {"sqloledb", false, true, false},
        {"MSSQL", false, true, false},
        {"SQL Server Native Client", false, true, false},
        {"OraOLEDB.Oracle.1", false, false, true},
        {"MSDAORA.1", false, false, true},
        {"MSDASQL.1", false, false, false},
        {"SQLite", false, false, false},
        {"", false, false, false},
    };
    for (const Case& k : cases) {
        c.SetConnectionString(QStringLiteral("Provider=%1;Data Source=x").arg(QLatin1String(k.provider)));
        EXPECT_EQ(c.IsAccess(), k.access) << k.provider;
        EXPECT_EQ(c.IsSqlServer(), k.sqlServer) << k.provider;
        EXPECT_EQ(c.IsOracle(), k.oracle) << k.provider;
        EXPECT_EQ(c.ProviderUpper(), QString::fromLatin1(k.provider).toUpper()) << k.provider;
    }
    // Only a to z are upper-cased.
    c.SetConnectionString(QStringLiteral("Provider=jet.oledb-ä"));
    c.IsAccess();
    EXPECT_EQ(c.ProviderUpper(), QStringLiteral("JET.OLEDB-ä"));
}

TEST(DbManager, GetConnectionCreatesOnceAndUsesAHostRegisteredOneAsIs)
{
    TDbManager m;
    m.ConnectionString = QStringLiteral("Provider=SQLite;Data Source=a.db");
    m.LoginPrompt = true;
    TAdoConn* def = m.GetConnection(DefConnectionName);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->ConnectionString(), m.ConnectionString);
    EXPECT_TRUE(def->LoginPrompt());
    EXPECT_FALSE(def->Connected());   // opened on first use only
    EXPECT_EQ(m.GetConnection(QStringLiteral("def")), def);   // names compare without case
    EXPECT_EQ(m.Connections.Count(), 1);

    TDbManager host;
    TAdoConn own;
    own.SetConnectionString(QStringLiteral("Provider=SQLOLEDB;Data Source=srv"));
    host.AddConnection(&own, DefConnectionName);
    EXPECT_EQ(host.GetConnection(DefConnectionName), &own);
    EXPECT_EQ(host.Connections.Count(), 1);
    EXPECT_EQ(host.IndexOfConnection(QStringLiteral("Def")), 0);
    EXPECT_EQ(host.IndexOfConnection(QStringLiteral("Other")), -1);
}

TEST(DbManager, DuplicateNameIsRefusedAndListUnchanged)
{
    TDbManager m;
    TAdoConn a, b;
    m.AddConnection(&a, QStringLiteral("Main"));
    try {
        m.AddConnection(&b, QStringLiteral("MAIN"));
        FAIL() << "no exception";
    } catch (const TExceptDbManager& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("一个名为MAIN的TAdoConn对象已经存在！"));
        EXPECT_EQ(e.ClassName(), QStringLiteral("TExceptDbManager"));
    }
    EXPECT_EQ(m.Connections.Count(), 1);
    EXPECT_EQ(m.Connections.ObjectAt(0), &a);
}

TEST(DbManager, DropsAConnectionThatIsDestroyedAndFreesItsOwnOnes)
{
    auto* m = new TDbManager;
    auto* host = new TAdoConn;
    m->AddConnection(host, QStringLiteral("Host"));
    QPointer<TAdoConn> made = m->GetConnection(DefConnectionName);
    EXPECT_EQ(m->Connections.Count(), 2);
    host->Free();
    EXPECT_EQ(m->Connections.Count(), 1);
    EXPECT_EQ(m->IndexOfConnection(QStringLiteral("Host")), -1);
    EXPECT_EQ(m->GetConnection(DefConnectionName), made.data());

    auto* survivor = new TAdoConn;
    m->AddConnection(survivor, QStringLiteral("Kept"));
    m->Free();
    EXPECT_TRUE(made.isNull());   // made by the manager, ends with it
    survivor->Free();             // the host's own connection stayed whole
}

TEST(ARQuery, CountedReferencesDestroyExactlyOnce)
{
    const int live = TARQuery::LiveCount();
    auto* q = new TARQuery;
    EXPECT_EQ(TARQuery::LiveCount(), live + 1);
    EXPECT_EQ(q->RefCount(), 0);
    {
        IARQueryRef a(static_cast<IARQuery*>(q));
        IARQueryRef b = a;
        EXPECT_EQ(q->RefCount(), 2);
        EXPECT_EQ(a->GetQuery(), q);
        void* obj = nullptr;
        EXPECT_EQ(q->QueryInterface(IID_IARQuery, &obj), S_OK);
        EXPECT_EQ(obj, static_cast<IARQuery*>(q));
        EXPECT_EQ(q->RefCount(), 3);
        q->_Release();
        EXPECT_EQ(q->QueryInterface(QUuid::createUuid(), &obj), E_NOINTERFACE);
        EXPECT_EQ(obj, nullptr);
        a.Clear();
        EXPECT_EQ(TARQuery::LiveCount(), live + 1);
    }
    EXPECT_EQ(TARQuery::LiveCount(), live);

    // A query at count 0 handed to QueryAsInterface is disposed of; null is ignored.
    QueryAsInterface(static_cast<TARQuery*>(nullptr));
    QueryAsInterface(new TARQuery);
    EXPECT_EQ(TARQuery::LiveCount(), live);
}

TEST(ARQuery, ReferencesDroppedDuringDestructionDoNotDestroyAgain)
{
    const int live = TARQuery::LiveCount();
    auto* q = new TARQuery;
    QueryAsInterface(q);
    EXPECT_EQ(TARQuery::LiveCount(), live);

    // Owned by a component: the owner's deletion destroys it, and the reference
    // a part of the query drops while the query tears down must not start a
    // second destruction.
    struct Holder : TComponent {
        explicit Holder(TARQuery* q) : TComponent(q), ref(static_cast<IARQuery*>(q)) {}
        IARQueryRef ref;
    };
    auto* owner = new TComponent;
    auto* owned = new TARQuery(owner);
    new Holder(owned);
    EXPECT_EQ(owned->RefCount(), 1);
    delete owner;
    EXPECT_EQ(TARQuery::LiveCount(), live);
}

TEST(OpenQueryExecSQL, OpenOnRealDatabaseAndFailuresPropagate)
{
    QTemporaryDir dir;
    TAdoConn c;
    c.SetConnectionString(SqliteConnectionString(dir));
    ExecSQL(&c, QStringLiteral("create table t(a text); insert into t values('x'),('y')"));
    const int live = TARQuery::LiveCount();

    IARQueryRef q;
    OpenQuery(&c, QStringLiteral("select a from t order by a"), q);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->GetQuery()->RefCount(), 1);
    EXPECT_EQ(q->GetQuery()->RecordCount(), 2);
    EXPECT_EQ(q->GetQuery()->FieldText(QStringLiteral("a")), QStringLiteral("x"));

    // The old query is released first; a failed open hands out nothing and leaks nothing.
    EXPECT_THROW(OpenQuery(&c, QStringLiteral("select nope from t"), q), EDatabaseError);
    EXPECT_FALSE(q);
    EXPECT_EQ(TARQuery::LiveCount(), live);
    EXPECT_THROW(OpenQuery(nullptr, QStringLiteral("select 1"), q), Exception);
    EXPECT_EQ(TARQuery::LiveCount(), live);

    EXPECT_THROW(ExecSQL(&c, QStringLiteral("update nowhere set a=1")), EDatabaseError);
    EXPECT_THROW(ExecSQL(nullptr, QStringLiteral("select 1")), Exception);
}
