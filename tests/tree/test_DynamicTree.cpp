#include "tests/tree/TreeTestData.h"
#include <gtest/gtest.h>
#include <QTest>

using namespace treetest;

namespace {

QString ActivationMessage(TDynamicTree& t)
{
    try {
        t.SetActive(true);
    } catch (const TExceptDynamicTree& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

const QStringList kFullTree = {
    QStringLiteral("预算单位"),
    QStringLiteral(" 001 甲"),
    QStringLiteral("  001001 丙"),
    QStringLiteral("  001002 己"),
    QStringLiteral("   001002001 戊"),
    QStringLiteral("  001003 丁"),
    QStringLiteral(" 002 乙"),
};

}  // namespace

TEST(DynamicTree, ActivationChecksRunInOrderAndChangeNothing)
{
    TreeFixture f;
    f.view->AddChildObject(nullptr, QStringLiteral("theirs"));
    TDynamicTree& t = *f.tree;
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定TreeView属性值！"));
    t.SetTreeView(f.view.get());
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定AdoConn属性值！"));
    TADOConnection closed;
    closed.SetConnectionString(QStringLiteral("Provider=SQLITE;Data Source=") + f.path);
    t.SetAdoConn(&closed);
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("指定的AdoConnection没有打开！"));
    t.SetAdoConn(f.conn.get());
    t.SetSqlTable({QStringLiteral("  "), QStringLiteral("\t"), QString()});
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定SqlTable属性值！"));
    t.SetSqlTable({BaseQuery()});
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定FieldId属性值！"));
    t.SetFieldId(QStringLiteral("eid"));
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定FieldPid属性值！"));
    t.SetFieldPid(QStringLiteral("peid"));
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定FieldIsLeaf属性值！"));
    t.SetFieldIsLeaf(QStringLiteral("leafflag"));
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定FieldCaption属性值！"));
    t.SetFieldCaption(QStringLiteral("ename"));
    t.SetFieldText(QStringLiteral(" \r\n"));
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定FieldText属性值！"));
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(f.Texts(), QStringList{QStringLiteral("theirs")});
    EXPECT_EQ(f.Queries(), 0);
}

TEST(DynamicTree, ChildrenQueryFilterSortAndQuoting)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    TItemInfo info;
    info.Id = QStringLiteral("00'1");
    EXPECT_EQ(t.FieldOrderBy(), QStringLiteral("eid"));
    EXPECT_EQ(t.ChildrenQueryText(&info),
              QStringLiteral("select a.* from (") + BaseQuery() + QStringLiteral(") a where a.peid='00''1' Order by a.eid"));
    t.SetFieldOrderBy(QString());
    EXPECT_EQ(t.ChildrenQueryText(&info),
              QStringLiteral("select a.* from (") + BaseQuery() + QStringLiteral(") a where a.peid='00''1'"));
    t.SetFieldPid(QStringLiteral("Piid"));
    EXPECT_EQ(t.ChildrenQueryText(&info), QStringLiteral("select a.* from (") + BaseQuery() + QStringLiteral(") a "));
}

TEST(DynamicTree, LoadAllBuildsTheWholeTreeSortedWithOneQueryPerNonLeaf)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetLoadAll(true);
    t.SetAutoExpandKind(aekNone);
    t.SetActive(true);
    EXPECT_EQ(f.Texts(), kFullTree);
    // The top node, 001, 001002 and the empty 001003.
    EXPECT_EQ(f.Queries(), 4);
    t.SetActive(true);
    EXPECT_EQ(f.Queries(), 4);

    TNodeItem* top = static_cast<TNodeItem*>(f.view->GetFirstNode());
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->Info()->Kind, 0);
    EXPECT_EQ(top->Info()->ParentId, QStringLiteral("★"));
    EXPECT_EQ(top->Info()->Caption, QStringLiteral("^_^"));
    TNodeItem* c = FindById(f.view.get(), QStringLiteral("001002"));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Info()->Kind, 1);
    EXPECT_EQ(c->Info()->ParentId, QStringLiteral("001"));
    EXPECT_EQ(c->Info()->Caption, QStringLiteral("己"));
    EXPECT_FALSE(c->Info()->IsLeaf);
    EXPECT_EQ(c->Info()->Node, c);
    EXPECT_TRUE(FindById(f.view.get(), QStringLiteral("001001"))->Info()->IsLeaf);

    // Without a sort column the rows come in table order.
    t.SetActive(false);
    EXPECT_EQ(f.view->NodeCount(), 0);
    t.SetFieldOrderBy(QString());
    t.SetActive(true);
    EXPECT_EQ(f.Texts().at(1), QStringLiteral(" 002 乙"));
}

TEST(DynamicTree, OnlyPiidExactlyDropsTheParentFilter)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetSqlTable({QStringLiteral("select eid, peid as Piid, leafflag, ename, ename as tname from pubdept where useflag='0'")});
    t.SetFieldPid(QStringLiteral("Piid"));
    t.SetValueIsLeaf(QStringLiteral("x"));   // every row a non-leaf: the filter alone decides
    t.SetActive(true);
    EXPECT_EQ(f.view->GetFirstNode()->Count(), 6);

    t.SetActive(false);
    t.SetFieldPid(QStringLiteral("piid"));
    t.SetActive(true);
    EXPECT_EQ(f.view->GetFirstNode()->Count(), 2);
}

TEST(DynamicTree, LeafValueComparesExactlyAndBeforeAddTextWins)
{
    QList<Unit> units = {{"001", "", "0 ", "甲"}, {"002", "", "0", "乙"}};
    TreeFixture f(units);
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetAutoExpandKind(aekNone);
    int fieldsAbsent = 0;
    t.OnBeforAddNode = [&](QObject* sender, TADOQuery* fields, TTreeNode* node, TItemInfoClass&) {
        EXPECT_EQ(sender, &t);
        if (!fields) {
            ++fieldsAbsent;
            return;
        }
        if (fields->FieldText(QStringLiteral("eid")) == QLatin1String("002"))
            node->SetText(QStringLiteral("自定"));
    };
    // The text column does not exist: only a node whose text was set survives.
    t.SetFieldText(QStringLiteral("nosuchcolumn"));
    t.SetActive(true);
    EXPECT_EQ(fieldsAbsent, 1);
    EXPECT_EQ(f.Texts(), (QStringList{QStringLiteral("预算单位"), QStringLiteral(" 自定")}));

    t.SetActive(false);
    t.SetFieldText(QStringLiteral("tname"));
    t.SetActive(true);
    TNodeItem* a = FindById(f.view.get(), QStringLiteral("001"));
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->Info()->IsLeaf);
    EXPECT_FALSE(a->ChildrenLoaded);
    ASSERT_EQ(a->Count(), 1);
    EXPECT_EQ(a->GetFirstChild()->Text(), QStringLiteral("【】"));
    EXPECT_EQ(FindById(f.view.get(), QStringLiteral("002"))->Text(), QStringLiteral("自定"));
}

TEST(DynamicTree, SubstitutedInfoClassReachesRowsAndPlaceholders)
{
    struct MyInfo : TItemInfo {
        int marker = 99;
    };
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetAutoExpandKind(aekNone);
    QList<TItemInfo*> after;
    t.OnBeforAddNode = [](QObject*, TADOQuery* fields, TTreeNode*, TItemInfoClass& cls) {
        if (fields)
            cls = &CreateItemInfo<MyInfo>;
    };
    t.OnAfterAddNode = [&](QObject*, TADOQuery*, TTreeNode* node, TItemInfo* info) {
        EXPECT_EQ(node->TreeView(), f.view.get());
        EXPECT_EQ(node->Data(), info);
        after << info;
    };
    t.SetActive(true);
    ASSERT_EQ(after.size(), 3);   // top, 001, 002
    EXPECT_EQ(dynamic_cast<MyInfo*>(after.at(0)), nullptr);
    EXPECT_NE(dynamic_cast<MyInfo*>(after.at(1)), nullptr);
    ASSERT_EQ(t.PlaceholderList().size(), 1);
    EXPECT_NE(dynamic_cast<MyInfo*>(t.PlaceholderList().first()->Info()), nullptr);
    EXPECT_EQ(t.PlaceholderList().first()->Info()->Kind, 2);
}

TEST(DynamicTree, PlaceholdersGiveWayOnExpansionAndEmptyNodesAreNotQueriedTwice)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetAutoExpandKind(aekNone);
    t.SetActive(true);
    EXPECT_EQ(f.Texts(), (QStringList{QStringLiteral("预算单位"), QStringLiteral(" 001 甲"),
                                      QStringLiteral("  【】"), QStringLiteral(" 002 乙")}));
    EXPECT_EQ(t.PlaceholderList().size(), 1);
    EXPECT_EQ(f.Queries(), 1);

    TNodeItem* a = FindById(f.view.get(), QStringLiteral("001"));
    a->SetExpanded(true);
    EXPECT_TRUE(a->Expanded());
    EXPECT_EQ(f.Queries(), 2);
    EXPECT_EQ(f.Texts().mid(1, 7), (QStringList{QStringLiteral(" 001 甲"), QStringLiteral("  001001 丙"),
                                                QStringLiteral("  001002 己"), QStringLiteral("   【】"),
                                                QStringLiteral("  001003 丁"), QStringLiteral("   【】"),
                                                QStringLiteral(" 002 乙")}));
    EXPECT_EQ(t.PlaceholderList().size(), 2);

    TNodeItem* d = FindById(f.view.get(), QStringLiteral("001003"));
    d->SetExpanded(true);
    EXPECT_EQ(f.Queries(), 3);
    EXPECT_FALSE(d->HasChildren());
    EXPECT_TRUE(d->ChildrenLoaded);
    EXPECT_EQ(t.PlaceholderList().size(), 1);
    d->Collapse();
    d->SetExpanded(true);
    EXPECT_EQ(f.Queries(), 3);

    t.SetActive(false);
    EXPECT_TRUE(t.PlaceholderList().isEmpty());
}

TEST(DynamicTree, SavedExpandingHandlerIsChainedRestoredAndCanRefuse)
{
    TreeFixture f;
    int asked = 0;
    bool allow = false;
    f.view->OnExpanding = [&](QObject*, TTreeNode*, bool& a) {
        ++asked;
        a = allow;
    };
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetAutoExpandKind(aekNone);
    t.SetActive(true);
    TNodeItem* a = FindById(f.view.get(), QStringLiteral("001"));
    a->SetExpanded(true);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(a->Expanded());
    EXPECT_FALSE(a->ChildrenLoaded);
    EXPECT_EQ(f.Queries(), 1);
    allow = true;
    a->SetExpanded(true);
    EXPECT_TRUE(a->Expanded());
    EXPECT_EQ(f.Queries(), 2);

    t.SetActive(false);
    asked = 0;
    TTreeNode* mine = f.view->AddChildObject(nullptr, QStringLiteral("x"));
    f.view->AddChildObject(mine, QStringLiteral("y"));
    mine->SetExpanded(true);
    EXPECT_EQ(asked, 1);   // the view's own handler is back
}

TEST(DynamicTree, SwitchingLoadAllOnLoadsEveryPendingBranch)
{
    QList<Unit> units = {
        {"001", "", "1", "甲"}, {"002", "", "1", "乙"}, {"003", "", "1", "丙"},
        {"001001", "001", "1", "a"}, {"001001001", "001001", "0", "b"},
        {"002001", "002", "0", "c"}, {"003001", "003", "0", "d"},
    };
    TreeFixture f(units);
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetAutoExpandKind(aekNone);
    t.SetActive(true);
    EXPECT_EQ(t.PlaceholderList().size(), 3);
    EXPECT_EQ(f.Queries(), 1);
    t.SetLoadAll(true);
    EXPECT_TRUE(t.PlaceholderList().isEmpty());
    // 001, 002, 003 and 001's non-leaf child.
    EXPECT_EQ(f.Queries(), 5);
    EXPECT_EQ(f.view->NodeCount(), 8);
    for (QTreeWidgetItemIterator it(f.view.get()); *it; ++it)
        EXPECT_NE((*it)->text(0), QStringLiteral("【】"));
}

TEST(DynamicTree, AutoExpansionSelectsFirstLeafOrTitleNode)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    QList<QString> changes;
    f.view->OnChange = [&](QObject*, TTreeNode* node) {
        changes << static_cast<TNodeItem*>(node)->Info()->Id;
    };
    t.SetAutoExpandKind(aekFirstLeaf);
    t.SetActive(true);
    // 001's placeholder was the first leaf: opening 001 loaded it, 001001 is selected.
    TNodeItem* leaf = FindById(f.view.get(), QStringLiteral("001001"));
    ASSERT_NE(leaf, nullptr);
    EXPECT_TRUE(leaf->Selected());
    EXPECT_TRUE(leaf->AutoExpanded);
    EXPECT_TRUE(FindById(f.view.get(), QStringLiteral("001"))->Expanded());
    EXPECT_EQ(changes, QList<QString>{QStringLiteral("001001")});

    // Later arrivals do not take the selection away.
    FindById(f.view.get(), QStringLiteral("001002"))->SetExpanded(true);
    EXPECT_TRUE(leaf->Selected());

    t.SetActive(false);
    t.SetAutoExpandKind(aekTitleNode);
    t.SetActive(true);
    auto* top = static_cast<TNodeItem*>(f.view->GetFirstNode());
    EXPECT_TRUE(top->Selected());
    EXPECT_TRUE(top->Expanded());
    EXPECT_TRUE(top->AutoExpanded);

    // Switching the rule on a loaded tree applies it at once.
    t.SetActive(false);
    t.SetAutoExpandKind(aekNone);
    t.SetLoadAll(true);
    t.SetActive(true);
    EXPECT_EQ(f.view->Selected(), nullptr);
    t.SetAutoExpandKind(aekFirstLeaf);
    EXPECT_TRUE(FindById(f.view.get(), QStringLiteral("001001"))->Selected());
}

TEST(DynamicTree, NoRowsLeavesTheTopNodeSelected)
{
    TreeFixture f(QList<Unit>{});
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetAutoExpandKind(aekFirstLeaf);
    t.SetActive(true);
    EXPECT_EQ(f.Texts(), QStringList{QStringLiteral("预算单位")});
    EXPECT_TRUE(f.view->GetFirstNode()->Selected());
}

TEST(DynamicTree, MissingCaptionColumnDropsRowsQuietly)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetFieldCaption(QStringLiteral("nosuchcolumn"));
    EXPECT_NO_THROW(t.SetActive(true));
    EXPECT_TRUE(t.Active());
    EXPECT_EQ(f.Texts(), QStringList{QStringLiteral("预算单位")});
}

TEST(DynamicTree, QuoteInsideAnIdStillFindsItsChildren)
{
    QList<Unit> units = {{"00'1", "", "1", "甲"}, {"00'1001", "00'1", "0", "乙"}};
    TreeFixture f(units);
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetLoadAll(true);
    t.SetActive(true);
    EXPECT_EQ(f.Texts(), (QStringList{QStringLiteral("预算单位"), QStringLiteral(" 00'1 甲"),
                                      QStringLiteral("  00'1001 乙")}));
}

TEST(DynamicTree, TitleConnectionAndViewSettersDecideReloads)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetActive(true);
    const int loaded = f.Queries();
    t.SetTopVirNodeTitle(QStringLiteral("预算单位"));
    EXPECT_EQ(f.Queries(), loaded);
    t.SetTopVirNodeTitle(QStringLiteral("单位"));
    EXPECT_EQ(f.Queries(), loaded * 2);
    EXPECT_EQ(f.view->GetFirstNode()->Text(), QStringLiteral("单位"));

    TTreeView other;
    t.SetTreeView(&other);
    EXPECT_TRUE(t.Active());
    EXPECT_EQ(f.view->NodeCount(), 0);
    EXPECT_EQ(other.GetFirstNode()->Text(), QStringLiteral("单位"));

    TADOConnection second;
    second.SetConnectionString(QStringLiteral("Provider=SQLITE;Data Source=") + f.path);
    second.Open();
    t.SetAdoConn(&second);
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(other.NodeCount(), 0);
    t.SetActive(true);
    EXPECT_GT(other.NodeCount(), 1);
    t.SetTreeView(f.view.get());    // leave no pointer to the local view
}

TEST(DynamicTree, DestroyedViewOrConnectionDeactivates)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetActive(true);
    f.view.reset();
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(t.TreeView(), nullptr);
    EXPECT_EQ(ActivationMessage(t), QStringLiteral("没有指定TreeView属性值！"));

    f.view = std::make_unique<TTreeView>();
    t.SetTreeView(f.view.get());
    t.SetActive(true);
    EXPECT_TRUE(t.Active());
    f.conn.reset();
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(t.AdoConn(), nullptr);
    EXPECT_EQ(f.view->NodeCount(), 0);
}

TEST(DynamicTree, ClosingTheConnectionStopsLoadingAtTheNextRow)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetLoadAll(true);
    int added = 0;
    t.OnAfterAddNode = [&](QObject*, TADOQuery* fields, TTreeNode*, TItemInfo*) {
        if (fields && ++added == 2)
            f.conn->Close();
    };
    t.SetActive(true);
    EXPECT_EQ(added, 2);
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(f.view->NodeCount(), 0);
}

TEST(DynamicTree, ClickOnABranchMarkLoadsTheNodeAndLeavesItOpen)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetActive(true);     // the title node opens, 001 shows its placeholder
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.view.get()));
    TNodeItem* a = FindById(f.view.get(), QStringLiteral("001"));
    ASSERT_NE(a, nullptr);
    const QRect cell = f.view->visualItemRect(a);
    QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {},
                      QPoint(cell.left() - f.view->indentation() / 2, cell.center().y()));
    // Loading opened the node; the click must not close it again.
    EXPECT_TRUE(a->Expanded());
    EXPECT_EQ(a->Count(), 3);
    EXPECT_EQ(f.Queries(), 2);
}
