// The tree search on a real PostgreSQL server and on SQLite, over the same units
// and the window's own base query: the same matches in the same order.
#include "data/untDbManager.h"
#include "data/untDemoData.h"
#include "records/untRecordSql.h"
#include "tests/data/PgServer.h"
#include "tests/tree/TreeTestData.h"
#include "toolkit/ComCtrls.h"
#include "tree/untDynamicTree.h"
#include "tree/untTreeSearch.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Units whose names hold what LIKE, the quoting or PostgreSQL's default escape
// would read as more than a character.
const char* const ExtraUnits[] = {
    "insert into pubdept(eid,peid,ename,leafflag) values('105','','A\\B 中心','1')",
    "insert into pubdept(eid,peid,ename,leafflag) values('105001','105','x!y [档案] O''Neil','0')",
    "insert into pubdept(eid,peid,ename,leafflag) values('105002','105','50%_折扣','0')",
    "insert into pubdept(eid,peid,ename,leafflag) values('105003','105','500折扣','0')",
};

struct SearchedTree {
    explicit SearchedTree(const QString& connectionString)
    {
        conn.SetConnectionString(connectionString);
        conn.Open();
        for (const char* sql : ExtraUnits)
            pgtest::Exec(conn, QString::fromUtf8(sql));
        view.show();
        tree.SetAdoConn(&conn);
        tree.SetSqlTable({DeptTreeSQL(&conn, QString(), true)});
        tree.SetFieldId(QStringLiteral("eid"));
        tree.SetFieldPid(QStringLiteral("peid"));
        tree.SetFieldIsLeaf(QStringLiteral("leafflag"));
        tree.SetFieldCaption(QStringLiteral("ename"));
        tree.SetFieldText(QStringLiteral("tname"));
        tree.SetValueIsLeaf(QStringLiteral("0"));
        tree.SetAutoExpandKind(aekNone);
        tree.SetTreeView(&view);
        tree.SetActive(true);
        search.SetTree(&tree);
    }
    QStringList Run(const QString& text, int count)
    {
        QStringList ids;
        for (int i = 0; i < count; ++i) {
            const TResult<TNodeItem*> found = treetest::FindNow(search, text, i > 0);
            EXPECT_TRUE(found) << qPrintable(found.Error().Message);
            TNodeItem* node = found ? found.Value() : nullptr;
            ids << (node ? node->Info()->Id : QStringLiteral("none"));
        }
        return ids;
    }
    TAdoConn conn;
    TTreeView view;
    TDynamicTree tree;
    TTreeSearch search;
};

}  // namespace

TEST(PostgresTreeSearch, SameMatchesInTheSameOrderAsOnSqlite)
{
    pgtest::Database server;
    if (!server.Skip.empty())
        GTEST_SKIP() << server.Skip;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("demo.db"));
    QString error;
    ASSERT_TRUE(CreateDemoDatabaseAt(server.ConnectionString, 10, &error)) << error.toStdString();
    ASSERT_TRUE(CreateDemoDatabase(file, 10, &error)) << error.toStdString();
    SearchedTree pg(server.ConnectionString);
    SearchedTree lite(QStringLiteral("Provider=SQLite;Data Source=") + file);

    const std::pair<const char*, QStringList> cases[] = {
        {"档案", {"104", "104001", "105001", "104"}},
        {"\\", {"105", "105"}},
        {"a\\b", {"105", "105"}},
        {"%_", {"105002", "105002"}},
        {"50%", {"105002", "105002"}},
        {"[档案]", {"105001", "105001"}},
        {"O'Neil", {"105001", "105001"}},
        {"o'NEIL", {"105001", "105001"}},
        {"x!y", {"105001", "105001"}},
        {"101004", {"101004", "101004001", "101004002", "101004"}},
        {"' or ''='", {"none", "none"}},
    };
    for (const auto& [text, expected] : cases) {
        const QString t = QString::fromUtf8(text);
        EXPECT_EQ(pg.Run(t, int(expected.size())), expected) << text;
        EXPECT_EQ(lite.Run(t, int(expected.size())), expected) << text;
    }
}
