#include "tests/tree/TreeTestData.h"
#include "tree/untTreeSearch.h"
#include <gtest/gtest.h>

using namespace treetest;

namespace {

// Four levels under 001; written out of code order, so only the tree puts the
// matches in order.
QList<Unit> SearchUnits()
{
    return {
        {"002001", "002", "0", "审计局档案室"},
        {"001", "", "1", "总局"},
        {"001001", "001", "0", "总局本级"},
        {"001002001001", "001002001", "0", "二处档案室"},
        {"001002", "001", "1", "分局"},
        {"001002001", "001002", "1", "档案科"},
        {"002", "", "1", "审计局"},
        {"003", "", "0", "O'Neil 事务所"},
        {"004", "", "0", "50%折扣中心"},
        {"005", "", "0", "500折扣中心"},
        {"006", "", "0", "a_b 科"},
        {"007", "", "0", "aXb 科"},
        {"008", "", "0", "惊叹!号"},
        {"009", "", "0", "[方括号]"},
    };
}

struct SearchFixture : TreeFixture {
    explicit SearchFixture(bool sync = true) : TreeFixture(SearchUnits())
    {
        Configure(*tree);
        tree->SetAutoExpandKind(aekNone);
        tree->SetSyncDataLoad(sync);
        view->OnChange = [this](QObject*, TTreeNode* node) { changes.append(Id(node)); };
        tree->SetActive(true);
        search.SetTree(tree.get());
    }
    static QString Id(TTreeNode* node)
    {
        return node ? static_cast<TNodeItem*>(node)->Info()->Id : QStringLiteral("<none>");
    }
    TNodeItem* Find(const QString& text, bool next = false)
    {
        const TResult<TNodeItem*> found = FindNow(search, text, next);
        EXPECT_TRUE(found) << qPrintable(found.Error().Message);
        return found ? found.Value() : nullptr;
    }
    TNodeItem* FindNext() { return Find(search.Text(), true); }
    // Ids of the matches, first search then next after next.
    QStringList Run(const QString& text, int count)
    {
        QStringList ids{Id(Find(text))};
        while (ids.size() < count)
            ids << Id(FindNext());
        return ids;
    }
    QString Selected() const { return Id(view->Selected()); }

    TTreeSearch search;
    QStringList changes;
};

}  // namespace

TEST(TreeSearch, DeepMatchUnderUnexpandedNodesLoadsOnlyItsPathAndIsSelectedAsByAClick)
{
    SearchFixture f;
    TNodeItem* branch = FindById(f.view.get(), QStringLiteral("001"));
    ASSERT_NE(branch, nullptr);
    EXPECT_FALSE(branch->ChildrenLoaded);
    EXPECT_EQ(FindById(f.view.get(), QStringLiteral("001002001")), nullptr);
    int before = f.Queries();

    // In the second branch: the first one is passed over without a load.
    TNodeItem* audit = f.Find(QStringLiteral("审计局档案室"));
    ASSERT_NE(audit, nullptr);
    EXPECT_EQ(audit->Info()->Id, QStringLiteral("002001"));
    EXPECT_EQ(f.Queries() - before, 3);
    EXPECT_FALSE(branch->ChildrenLoaded);
    EXPECT_EQ(branch->GetFirstChild()->Text(), QStringLiteral("【】"));
    f.changes.clear();
    before = f.Queries();

    TNodeItem* found = f.Find(QStringLiteral("档案科"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Info()->Id, QStringLiteral("001002001"));
    EXPECT_EQ(found, FindById(f.view.get(), QStringLiteral("001002001")));
    EXPECT_TRUE(found->Selected());
    EXPECT_EQ(f.changes, QStringList{QStringLiteral("001002001")});
    for (const char* id : {"001", "001002"}) {
        TNodeItem* above = FindById(f.view.get(), QLatin1String(id));
        ASSERT_NE(above, nullptr) << id;
        EXPECT_TRUE(above->ChildrenLoaded) << id;
        EXPECT_TRUE(above->Expanded()) << id;
    }
    // The match, the parents of the rows, and the two levels on the way down;
    // the match's own children wait as before.
    EXPECT_EQ(f.Queries() - before, 4);
    EXPECT_FALSE(found->ChildrenLoaded);
    EXPECT_EQ(found->Count(), 1);
    EXPECT_EQ(found->GetFirstChild()->Text(), QStringLiteral("【】"));
    EXPECT_EQ(f.search.CurrentId(), QStringLiteral("001002001"));
}

TEST(TreeSearch, NextFollowsTheTreeOrderAndWrapsAround)
{
    SearchFixture f;
    // The match, then one below it, then one in the next branch, then the first again.
    EXPECT_EQ(f.Run(QStringLiteral("档案"), 4), (QStringList{QStringLiteral("001002001"), QStringLiteral("001002001001"),
                                                           QStringLiteral("002001"), QStringLiteral("001002001")}));
    EXPECT_EQ(f.Selected(), QStringLiteral("001002001"));

    // The tree's own sort decides, not the codes: in reverse the 002 branch comes first.
    f.tree->SetActive(false);
    f.tree->SetFieldOrderBy(QStringLiteral("eid desc"));
    f.tree->SetActive(true);
    EXPECT_EQ(f.Run(QStringLiteral("档案"), 4), (QStringList{QStringLiteral("002001"), QStringLiteral("001002001"),
                                                           QStringLiteral("001002001001"), QStringLiteral("002001")}));

    // A new text starts again from the top even with Next.
    EXPECT_EQ(SearchFixture::Id(f.Find(QStringLiteral("总局"), true)), QStringLiteral("001"));
    EXPECT_EQ(SearchFixture::Id(f.Find(QStringLiteral("总局"), true)), QStringLiteral("001001"));
}

TEST(TreeSearch, FindsByCodeOrByNameAnywhereInTheText)
{
    SearchFixture f;
    // Codes holding 002: 001002 is the first of them in the tree.
    EXPECT_EQ(f.Run(QStringLiteral("002"), 6),
              (QStringList{QStringLiteral("001002"), QStringLiteral("001002001"), QStringLiteral("001002001001"),
                           QStringLiteral("002"), QStringLiteral("002001"), QStringLiteral("001002")}));
    // 001002001001 holds 001001 too.
    EXPECT_EQ(f.Run(QStringLiteral("001001"), 3), (QStringList{QStringLiteral("001001"), QStringLiteral("001002001001"),
                                                             QStringLiteral("001001")}));
    EXPECT_EQ(f.Run(QStringLiteral("审计"), 3),
              (QStringList{QStringLiteral("002"), QStringLiteral("002001"), QStringLiteral("002")}));
    // Letters match whatever their case, in names and codes alike.
    EXPECT_EQ(f.Run(QStringLiteral("AXB"), 2), (QStringList{QStringLiteral("007"), QStringLiteral("007")}));
    EXPECT_EQ(f.Run(QStringLiteral("o'neil"), 2), (QStringList{QStringLiteral("003"), QStringLiteral("003")}));
    // Blanks and control characters around the text do not count.
    EXPECT_EQ(SearchFixture::Id(f.Find(QStringLiteral(" \t分局\n"))), QStringLiteral("001002"));
    EXPECT_EQ(f.search.Text(), QStringLiteral("分局"));

    // Without a parent filter every row hangs under the top node, and only there.
    f.tree->SetActive(false);
    f.tree->SetSqlTable({QStringLiteral("select eid, peid as Piid, leafflag, ename, ename as tname from pubdept"
                                        " where useflag='0'")});
    f.tree->SetFieldPid(QStringLiteral("Piid"));
    f.tree->SetActive(true);
    EXPECT_EQ(f.Run(QStringLiteral("档案"), 4), (QStringList{QStringLiteral("001002001"), QStringLiteral("001002001001"),
                                                           QStringLiteral("002001"), QStringLiteral("001002001")}));
    // Below a row would be every row again: nothing is loaded there.
    EXPECT_FALSE(FindById(f.view.get(), QStringLiteral("001"))->ChildrenLoaded);
    EXPECT_EQ(f.Selected(), QStringLiteral("001002001"));
    EXPECT_EQ(f.view->Selected()->Parent(), f.view->GetFirstNode());
}

TEST(TreeSearch, QuotesAndWildcardsInTheTextMatchLiterallyAndReachSqlEscaped)
{
    SearchFixture f;
    QStringList sent;
    TADOConnection::SetTraceHook([&sent](const QString& sql) { sent.append(sql); });
    const std::pair<const char*, const char*> cases[] = {
        {"'", "003"}, {"%", "004"}, {"_", "006"}, {"!", "008"}, {"[", "009"}, {"a_b", "006"}, {"50%", "004"},
    };
    for (const auto& [text, id] : cases)
        EXPECT_EQ(f.Run(QString::fromUtf8(text), 2), (QStringList{QLatin1String(id), QLatin1String(id)})) << text;

    const QString hostile = QStringLiteral("x' or '1'='1");
    EXPECT_EQ(f.Find(hostile), nullptr);
    EXPECT_EQ(f.Find(QStringLiteral("%'; drop table pubdept; --")), nullptr);
    TADOConnection::SetTraceHook(nullptr);

    EXPECT_TRUE(sent.contains(f.search.MatchQueryText(QStringLiteral("'"))));
    EXPECT_TRUE(f.search.MatchQueryText(QStringLiteral("'")).contains(QStringLiteral("like UPPER('%''%') escape '!'")));
    EXPECT_TRUE(f.search.MatchQueryText(QStringLiteral("50%!"))
                    .contains(QStringLiteral("UPPER(a.ename) like UPPER('%50!%!!%') escape '!'")));
    for (const QString& sql : std::as_const(sent))
        EXPECT_TRUE(sql.startsWith(QStringLiteral("select "))) << sql.toStdString();
}

TEST(TreeSearch, NoMatchLeavesTheTreeAsItWasAndSaysSo)
{
    SearchFixture f;
    TNodeItem* some = FindById(f.view.get(), QStringLiteral("003"));
    f.view->SetSelected(some);
    f.changes.clear();
    const int before = f.Queries();
    const int nodes = f.view->NodeCount();

    EXPECT_EQ(f.Find(QStringLiteral("不存在的单位")), nullptr);
    EXPECT_EQ(f.FindNext(), nullptr);
    EXPECT_TRUE(f.search.CurrentId().isEmpty());
    // One statement each, nothing loaded, the user's node still selected.
    EXPECT_EQ(f.Queries() - before, 2);
    EXPECT_EQ(f.view->NodeCount(), nodes);
    EXPECT_EQ(f.Selected(), QStringLiteral("003"));
    EXPECT_TRUE(f.changes.isEmpty());

    // An empty text asks nothing; a unit outside the base query is not in the tree.
    EXPECT_EQ(f.Find(QStringLiteral(" \t ")), nullptr);
    EXPECT_EQ(f.Find(QStringLiteral("999999")), nullptr);
    EXPECT_EQ(f.Queries() - before, 3);
}

TEST(TreeSearch, ABackgroundTreeIsSearchedOnTheInterfaceThreadWithoutRowsComingTwice)
{
    SearchFixture f(false);
    // The top node's rows are still on their way when the walk loads it.
    ASSERT_EQ(f.tree->WorkerList().size(), 1);
    auto* top = static_cast<TNodeItem*>(f.view->GetFirstNode());
    ASSERT_TRUE(f.tree->LoadChildrenNow(top));
    EXPECT_EQ(top->Count(), 9);
    TNodeItem* found = f.Find(QStringLiteral("二处档案室"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Info()->Id, QStringLiteral("001002001001"));
    EXPECT_TRUE(found->Selected());
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_TRUE(f.tree->WorkerList().isEmpty());
    EXPECT_EQ(f.view->GetFirstNode()->Count(), 9);
    EXPECT_EQ(f.Selected(), QStringLiteral("001002001001"));

    // A branch opened by the user and then loaded by a walk before its rows came.
    TNodeItem* audit = FindById(f.view.get(), QStringLiteral("002"));
    audit->SetExpanded(true);
    EXPECT_FALSE(audit->HasChildren());
    ASSERT_TRUE(f.tree->LoadChildrenNow(audit));
    EXPECT_EQ(SearchFixture::Id(f.Find(QStringLiteral("审计局档案室"))), QStringLiteral("002001"));
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_EQ(audit->Count(), 1);
}

TEST(TreeSearch, SurvivesReloadsSettingChangesFailuresAndTheTreeGoing)
{
    SearchFixture f;
    EXPECT_EQ(SearchFixture::Id(f.Find(QStringLiteral("档案"))), QStringLiteral("001002001"));
    // Loaded again: next finds its place by the ids and goes on from there.
    f.tree->SetActive(false);
    f.tree->SetActive(true);
    EXPECT_EQ(SearchFixture::Id(f.FindNext()), QStringLiteral("001002001001"));

    // Another base query: next is a new search on it.
    f.tree->SetActive(false);
    f.tree->SetSqlTable({BaseQuery() + QStringLiteral(" and eid not like '001%'")});
    f.tree->SetActive(true);
    EXPECT_EQ(SearchFixture::Id(f.FindNext()), QStringLiteral("002001"));
    EXPECT_EQ(SearchFixture::Id(f.FindNext()), QStringLiteral("002001"));

    // A failing statement is an error, not a "not found".
    f.tree->SetFieldCaption(QStringLiteral("no_such_column"));
    const TResult<TNodeItem*> failed = FindNow(f.search, QStringLiteral("档案"));
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.Error().Kind, EDatabaseError::Statement);
    f.tree->SetFieldCaption(QStringLiteral("ename"));

    // An inactive tree has nothing to find; a freed one is let go.
    f.tree->SetActive(false);
    EXPECT_EQ(f.Find(QStringLiteral("档案")), nullptr);
    f.tree.reset();
    EXPECT_EQ(f.search.Tree(), nullptr);
    EXPECT_EQ(f.Find(QStringLiteral("档案")), nullptr);
}

TEST(TreeSearch, ANewerSearchMakesTheOlderOneStale)
{
    SearchFixture f;
    std::optional<TResult<TNodeItem*>> older;
    f.search.Find(QStringLiteral("档案"), false, [&older](TResult<TNodeItem*> r) { older = std::move(r); });
    EXPECT_TRUE(f.search.Searching());
    EXPECT_EQ(SearchFixture::Id(f.Find(QStringLiteral("审计局档案室"))), QStringLiteral("002001"));
    // Told at once, and its rows, when they come, select nothing.
    ASSERT_TRUE(older.has_value());
    ASSERT_FALSE(*older);
    EXPECT_EQ(older->Error().Kind, EDatabaseError::Cancelled);
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_FALSE(f.search.Searching());
    EXPECT_EQ(f.Selected(), QStringLiteral("002001"));
    EXPECT_EQ(f.changes, QStringList{QStringLiteral("002001")});
}
