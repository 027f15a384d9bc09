#include "toolkit/ComCtrls.h"
#include <gtest/gtest.h>
#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <memory>

namespace {

// A shown view with two roots; "A" holds one child so it has a branch mark.
struct ShownTree {
    ShownTree()
    {
        view.resize(300, 200);
        a = view.AddChildObject(nullptr, QStringLiteral("A"));
        a1 = view.AddChildObject(a, QStringLiteral("A1"));
        b = view.AddChildObject(nullptr, QStringLiteral("B"));
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    QPoint BranchMarkOf(TTreeNode* node)
    {
        const QRect cell = view.visualItemRect(node);
        return QPoint(cell.left() - view.indentation() / 2, cell.center().y());
    }
    TTreeView view;
    TTreeNode* a = nullptr;
    TTreeNode* a1 = nullptr;
    TTreeNode* b = nullptr;
};

}  // namespace

TEST(TreeView, ExpandingHandlerRunsBeforeTheNodeOpensAndCanFillIt)
{
    TTreeView view;
    TTreeNode* a = view.AddChildObject(nullptr, QStringLiteral("A"));
    view.AddChildObject(a, QStringLiteral("placeholder"));
    bool wasOpen = true;
    view.OnExpanding = [&](QObject* sender, TTreeNode* node, bool& allow) {
        EXPECT_EQ(sender, &view);
        wasOpen = node->Expanded();
        node->DeleteChildren();
        view.AddChildObject(node, QStringLiteral("real"));
        allow = true;
    };
    a->SetExpanded(true);
    EXPECT_FALSE(wasOpen);
    EXPECT_TRUE(a->Expanded());
    ASSERT_EQ(a->Count(), 1);
    EXPECT_EQ(a->GetFirstChild()->Text(), QStringLiteral("real"));
}

TEST(TreeView, RefusedExpansionStaysClosedWhateverOpensIt)
{
    ShownTree t;
    int asked = 0;
    t.view.OnExpanding = [&](QObject*, TTreeNode*, bool& allow) {
        ++asked;
        allow = false;
    };
    t.a->SetExpanded(true);
    EXPECT_FALSE(t.a->Expanded());
    EXPECT_EQ(asked, 1);

    t.view.setCurrentItem(t.a);
    QTest::keyClick(&t.view, Qt::Key_Right);
    QTest::keyClick(&t.view, Qt::Key_Plus);
    EXPECT_FALSE(t.a->Expanded());
    EXPECT_EQ(asked, 3);

    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, t.BranchMarkOf(t.a));
    EXPECT_FALSE(t.a->Expanded());
    EXPECT_EQ(asked, 4);

    // Opened behind our back: asked afterwards and closed again.
    t.view.expand(t.view.indexFromItem(t.a));
    EXPECT_FALSE(t.a->Expanded());
    EXPECT_EQ(asked, 5);

    t.view.OnExpanding = nullptr;
    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, t.BranchMarkOf(t.a));
    EXPECT_TRUE(t.a->Expanded());
}

TEST(TreeView, AllowedGestureOpensOnceAndAsksOnce)
{
    ShownTree t;
    int asked = 0;
    t.view.OnExpanding = [&](QObject*, TTreeNode*, bool& allow) {
        ++asked;
        allow = true;
    };
    t.view.setCurrentItem(t.a);
    QTest::keyClick(&t.view, Qt::Key_Right);
    EXPECT_TRUE(t.a->Expanded());
    EXPECT_EQ(asked, 1);
    t.a->Collapse();
    QTest::mouseClick(t.view.viewport(), Qt::LeftButton, {}, t.BranchMarkOf(t.a));
    EXPECT_TRUE(t.a->Expanded());
    EXPECT_EQ(asked, 2);
}

TEST(TreeView, HandlerFailureDuringAGestureIsReportedAndKeepsTheNodeClosed)
{
    ShownTree t;
    QString reported;
    t.view.OnException = [&](const std::exception& e) { reported = QString::fromUtf8(e.what()); };
    t.view.OnExpanding = [](QObject*, TTreeNode*, bool&) { throw std::runtime_error("query failed"); };
    t.view.setCurrentItem(t.a);
    QTest::keyClick(&t.view, Qt::Key_Right);
    EXPECT_FALSE(t.a->Expanded());
    EXPECT_EQ(reported, QStringLiteral("query failed"));
    // Our own callers get the failure itself.
    EXPECT_THROW(t.a->SetExpanded(true), std::runtime_error);
}

TEST(TreeView, SelectionRaisesChangeOpensAncestorsAndStaysVisibleWithoutFocus)
{
    ShownTree t;
    QList<TTreeNode*> changes;
    t.view.OnChange = [&](QObject*, TTreeNode* node) { changes << node; };
    t.a1->SetSelected(true);
    EXPECT_TRUE(t.a->Expanded());
    EXPECT_TRUE(t.a1->Selected());
    EXPECT_EQ(t.view.Selected(), t.a1);
    t.b->SetSelected(true);
    EXPECT_FALSE(t.a1->Selected());
    EXPECT_EQ(changes, (QList<TTreeNode*>{t.a1, t.b}));

    // Clearing the view raises no change with a null node.
    t.view.ClearNodes();
    EXPECT_EQ(changes.size(), 2);

    const QPalette pal = t.view.palette();
    EXPECT_EQ(pal.color(QPalette::Inactive, QPalette::Highlight), pal.color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(t.view.editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST(TreeView, ChangeFollowsTheSelectionNotTheCurrentItem)
{
    ShownTree t;
    int changes = 0;
    t.view.OnChange = [&](QObject*, TTreeNode*) { ++changes; };
    // Focus gives the view a current item but selects nothing.
    t.view.setFocus();
    QCoreApplication::processEvents();
    t.view.setCurrentItem(t.b, 0, QItemSelectionModel::NoUpdate);
    EXPECT_EQ(changes, 0);
    t.b->SetSelected(true);
    EXPECT_EQ(changes, 1);
    t.b->SetSelected(true);
    EXPECT_EQ(changes, 1);
}

TEST(TreeView, ANodeTheViewCutsShowsItsWholeTextWhenPointedAt)
{
    ShownTree t;
    TTreeNode* longNode = t.view.AddChildObject(nullptr, QStringLiteral("101004 市职业教育中心附属实验学校后勤服务管理处"));
    t.view.resize(120, 200);
    QApplication::processEvents();
    auto tipAt = [&](TTreeNode* node) {
        const QPoint at = t.view.visualItemRect(node).center();
        QHelpEvent help(QEvent::ToolTip, at, t.view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(t.view.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(t.b), QString());   // a short text is all there
    EXPECT_EQ(tipAt(longNode), longNode->text(0));
}
