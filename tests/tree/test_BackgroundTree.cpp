#include "tests/tree/TreeTestData.h"
#include <QMainWindow>
#include <QMdiSubWindow>
#include "toolkit/Forms.h"
#include "toolkit/Threads.h"
#include "tree/untQueryThread.h"
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>

using namespace treetest;

namespace {

QList<Unit> ManyUnits(int count)
{
    QList<Unit> units;
    for (int i = 0; i < count; ++i)
        units.append({QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')), QString(), QStringLiteral("0"),
                      QStringLiteral("单位%1").arg(i)});
    return units;
}

}  // namespace

TEST(BackgroundTree, LoadsTheSameTreeWithTheSqlOnWorkers)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetSyncDataLoad(false);
    t.SetLoadAll(true);
    t.SetAutoExpandKind(aekFirstLeaf);
    QThread* addThread = nullptr;
    t.OnAfterAddNode = [&](QObject*, TADOQuery*, TTreeNode*, TItemInfo*) { addThread = QThread::currentThread(); };
    t.SetActive(true);
    // Only the top node so far: its rows come later.
    EXPECT_EQ(f.view->NodeCount(), 1);
    EXPECT_EQ(t.WorkerList().size(), 1);
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_TRUE(t.WorkerList().isEmpty());
    EXPECT_EQ(addThread, QThread::currentThread());
    EXPECT_EQ(f.Texts(), (QStringList{
                             QStringLiteral("预算单位"), QStringLiteral(" 001 甲"), QStringLiteral("  001001 丙"),
                             QStringLiteral("  001002 己"), QStringLiteral("   001002001 戊"),
                             QStringLiteral("  001003 丁"), QStringLiteral(" 002 乙")}));
    EXPECT_EQ(f.Queries(), 4);
    EXPECT_TRUE(FindById(f.view.get(), QStringLiteral("001001"))->Selected());
}

TEST(BackgroundTree, ExpandingOpensTheNodeWhenItsFirstChildArrives)
{
    TreeFixture f;
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetSyncDataLoad(false);
    t.SetAutoExpandKind(aekNone);
    t.SetActive(true);
    ASSERT_TRUE(f.WaitForWorkers());
    TNodeItem* a = FindById(f.view.get(), QStringLiteral("001"));
    ASSERT_NE(a, nullptr);
    a->SetExpanded(true);
    EXPECT_TRUE(a->ChildrenLoaded);
    EXPECT_FALSE(a->HasChildren());    // the placeholder went, the rows are on their way
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_EQ(a->Count(), 3);
    EXPECT_TRUE(a->Expanded());
    EXPECT_FALSE(a->ExpandOnLoad);
}

TEST(BackgroundTree, DeactivatingWithRunningWorkersLeavesNoRows)
{
    TreeFixture f(ManyUnits(50));
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetSyncDataLoad(false);
    int added = 0;
    t.OnAfterAddNode = [&](QObject*, TADOQuery* fields, TTreeNode*, TItemInfo*) { added += fields ? 1 : 0; };
    t.SetActive(true);
    ASSERT_EQ(t.WorkerList().size(), 1);
    QPointer<TQueryThread> worker(t.WorkerList().first());
    t.SetActive(false);
    EXPECT_TRUE(t.WorkerList().isEmpty());
    EXPECT_EQ(f.view->NodeCount(), 0);
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_TRUE(worker.isNull());
    EXPECT_EQ(added, 0);
    EXPECT_EQ(f.view->NodeCount(), 0);
}

TEST(BackgroundTree, WorkerToldToStopBeforeDeliveryReleasesItsQuery)
{
    TreeFixture f;
    auto* query = new TADOQuery;
    query->SetConnection(f.conn.get());
    query->SetSQLText(BaseQuery());
    QPointer<TADOQuery> alive(query);
    bool delivered = false;
    auto* worker = new TQueryThread(true, query);
    worker->OnDataReady = [&](TQueryThread*, TADOQuery*) {
        delivered = true;
        return false;
    };
    worker->Terminate();
    worker->Resume();
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_FALSE(delivered);
    EXPECT_TRUE(alive.isNull());

    // A query that fails to open on the worker is released just the same.
    auto* second = new TADOQuery;
    second->SetConnection(f.conn.get());
    second->SetSQLText(QStringLiteral("select * from nosuchtable"));
    QPointer<TADOQuery> secondAlive(second);
    new TQueryThread(false, second);
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_TRUE(secondAlive.isNull());
}

TEST(BackgroundTree, RowsArriveBetweenProcessedMessages)
{
    TreeFixture f(ManyUnits(40));
    TDynamicTree& t = *f.tree;
    f.Configure(t);
    t.SetSyncDataLoad(false);
    t.SetAutoExpandKind(aekNone);
    // Slow rows: the interface must get its turn while they are being added.
    t.OnAfterAddNode = [](QObject*, TADOQuery* fields, TTreeNode*, TItemInfo*) {
        if (fields)
            QThread::msleep(2);
    };
    QList<int> rowsSeenByTimer;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] { rowsSeenByTimer << f.view->NodeCount(); });
    timer.start();
    t.SetActive(true);
    ASSERT_TRUE(f.WaitForWorkers());
    timer.stop();
    EXPECT_EQ(f.view->NodeCount(), 41);
    int midway = 0;
    for (int n : rowsSeenByTimer)
        midway += (n > 1 && n < 41) ? 1 : 0;
    EXPECT_GE(midway, 10);
}

TEST(BackgroundTree, ClosingTheWindowDuringADeliveryIsSafe)
{
    TreeFixture f(ManyUnits(200));
    TApplication app;
    auto* form = new TForm(&app);
    auto* formView = new TTreeView(form->Handle());
    auto* tree = new TDynamicTree(form);
    f.Configure(*tree);
    tree->SetTreeView(formView);
    tree->SetSyncDataLoad(false);
    tree->SetAutoExpandKind(aekFirstLeaf);
    QPointer<TForm> formAlive(form);
    int added = 0;
    tree->OnAfterAddNode = [&](QObject*, TADOQuery* fields, TTreeNode*, TItemInfo*) {
        if (!fields)
            return;
        if (++added == 5)
            form->Release();        // freed by the next processed message
        QThread::msleep(1);         // rows slow enough for messages to pass between them
    };
    form->Show();
    tree->SetActive(true);
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_TRUE(formAlive.isNull());
    EXPECT_GE(added, 5);
    EXPECT_LT(added, 200);
}

TEST(BackgroundTree, DestroyingTheComponentDetachesItsWorkers)
{
    TreeFixture f(ManyUnits(30));
    f.Configure(*f.tree);
    f.tree->SetSyncDataLoad(false);
    f.tree->SetActive(true);
    f.tree.reset();
    EXPECT_EQ(f.view->NodeCount(), 0);
    ASSERT_TRUE(f.WaitForWorkers());
    EXPECT_EQ(f.view->NodeCount(), 0);
}
