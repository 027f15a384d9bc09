#pragma once
// A real SQLite unit table in a temporary folder, a connection to it and a shown
// tree view, shared by the tree tests.
#include "toolkit/ADODB.h"
#include "toolkit/ComCtrls.h"
#include "tree/untDynamicTree.h"
#include "tree/untTreeSearch.h"
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <memory>
#include <optional>

namespace treetest {

struct Unit {
    QString eid, peid, leafflag, ename;
};

// The usual shape: 001 (B, C, D under it; C holds C1; D is marked non-leaf but has
// no units), 002 a leaf, and one unused unit that the base query filters out.
QList<Unit> SampleUnits();

// Writes the units into pubdept of a new database file and returns its path.
QString CreateUnitDatabase(const QString& folder, const QList<Unit>& units);

// The base query of the window's tree, on SQLite.
QString BaseQuery();

class TreeFixture {
public:
    explicit TreeFixture(const QList<Unit>& units = SampleUnits());
    ~TreeFixture();

    // Sets every property the window sets, with the top node's id "".
    void Configure(TDynamicTree& t);
    // Node texts depth first, each indented by one blank per level.
    QStringList Texts() const;
    int Queries() const { return FQueries->load(); }
    // Processes events until every worker thread has ended.
    bool WaitForWorkers(int ms = 10000);

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<TADOConnection> conn;
    std::unique_ptr<TTreeView> view;
    std::unique_ptr<TDynamicTree> tree;

private:
    std::shared_ptr<std::atomic<int>> FQueries = std::make_shared<std::atomic<int>>(0);
};

// The node whose Id (as stored under Qt::UserRole) is id, or null.
TNodeItem* FindById(TTreeView* view, const QString& id);

// A search of Search's, its answer waited for.
inline TResult<TNodeItem*> FindNow(TTreeSearch& Search, const QString& Text, bool Next = false)
{
    std::optional<TResult<TNodeItem*>> found;
    Search.Find(Text, Next, [&found](TResult<TNodeItem*> r) { found = std::move(r); });
    if (!QTest::qWaitFor([&found] { return found.has_value(); }, 60000))
        return TError{QStringLiteral("the search never answered")};
    return *found;
}

}  // namespace treetest
