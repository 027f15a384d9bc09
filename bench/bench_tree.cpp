// Organisation tree load over 50 000 units in five levels, against a baseline in
// the same run: the base query once, the same nodes built in the same view from
// memory. Prints times, query counts and ratios.
#include "toolkit/ADODB.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Threads.h"
#include "tree/untDynamicTree.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace {

const char* kBase = "select eid,peid,leafflag,ename,eid||' '||ename as tname  from pubdept  where useflag='0'";

QString Code(const QString& parent, int i)
{
    return parent + QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0'));
}

// 5, 50, 500 and 5000 units in levels one to four, 44 445 leaves below them.
int CreateDatabase(const QString& file)
{
    int count = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("create table pubdept (eid text primary key, peid text, leafflag text, ename text,"
                              " useflag text, replaceflag text)"));
        q.exec(QStringLiteral("create index ix_pubdept_peid on pubdept(peid)"));
        db.transaction();
        q.prepare(QStringLiteral("insert into pubdept values (?, coalesce(?, ''), ?, ?, '0', '0')"));
        auto add = [&](const QString& eid, const QString& peid, bool leaf) {
            q.addBindValue(eid);
            q.addBindValue(peid);
            q.addBindValue(leaf ? QStringLiteral("0") : QStringLiteral("1"));
            q.addBindValue(QStringLiteral("单位") + eid);
            q.exec();
            ++count;
        };
        int level4 = 0;
        for (int a = 0; a < 5; ++a) {
            const QString ea = Code(QString(), a);
            add(ea, QString(), false);
            for (int b = 0; b < 10; ++b) {
                const QString eb = Code(ea, b);
                add(eb, ea, false);
                for (int c = 0; c < 10; ++c) {
                    const QString ec = Code(eb, c);
                    add(ec, eb, false);
                    for (int d = 0; d < 10; ++d) {
                        const QString ed = Code(ec, d);
                        add(ed, ec, false);
                        const int leaves = level4++ < 4445 ? 9 : 8;
                        for (int e = 0; e < leaves; ++e)
                            add(Code(ed, e), ed, true);
                    }
                }
            }
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    return count;
}

void Configure(TDynamicTree& t, TADOConnection* conn, TTreeView* view)
{
    t.SetActive(false);
    t.SetAdoConn(conn);
    t.SetSqlTable({QString::fromLatin1(kBase)});
    t.SetFieldId(QStringLiteral("eid"));
    t.SetFieldPid(QStringLiteral("peid"));
    t.SetFieldIsLeaf(QStringLiteral("leafflag"));
    t.SetFieldCaption(QStringLiteral("ename"));
    t.SetFieldText(QStringLiteral("tname"));
    t.SetTopVirNodeIdValue(QString());
    t.SetValueIsLeaf(QStringLiteral("0"));
    t.SetTopVirNodeTitle(QStringLiteral("预算单位"));
    t.SetTreeView(view);
    t.SetLoadAll(true);
    t.SetAutoExpandKind(aekFirstLeaf);
}

// The same nodes as the tree makes, from one run of the base query.
double Baseline(TADOConnection* conn, TTreeView* view, int* nodes)
{
    QElapsedTimer timer;
    timer.start();
    view->ClearNodes();
    TADOQuery q;
    q.SetConnection(conn);
    q.SetSQLText(QString::fromLatin1(kBase));
    q.Open();
    struct Row {
        QString eid, peid, ename, tname;
        bool leaf;
    };
    std::vector<Row> rows;
    rows.reserve(size_t(q.RecordCount()));
    for (q.First(); !q.Eof(); q.Next())
        rows.push_back({q.FieldText(QStringLiteral("eid")), q.FieldText(QStringLiteral("peid")),
                        q.FieldText(QStringLiteral("ename")), q.FieldText(QStringLiteral("tname")),
                        q.FieldText(QStringLiteral("leafflag")) == QLatin1String("0")});
    q.Close();
    QHash<QString, std::vector<const Row*>> children;
    for (const Row& r : rows)
        children[r.peid].push_back(&r);
    for (auto& list : children)
        std::sort(list.begin(), list.end(), [](const Row* a, const Row* b) { return a->eid < b->eid; });

    auto* top = new TNodeItem(view);
    auto* topInfo = new TItemInfo;
    topInfo->Id = QString();
    topInfo->ParentId = QStringLiteral("★");
    topInfo->Caption = QStringLiteral("^_^");
    topInfo->Node = top;
    top->setData(0, Qt::UserRole, topInfo->Id);
    view->AttachNode(nullptr, top, QStringLiteral("预算单位"), topInfo);
    std::function<void(TNodeItem*, const QString&)> fill = [&](TNodeItem* parent, const QString& id) {
        auto it = children.constFind(id);
        if (it == children.constEnd())
            return;
        for (const Row* r : it.value()) {
            auto* node = new TNodeItem(view);
            auto* info = new TItemInfo;
            info->Kind = 1;
            info->Id = r->eid;
            info->ParentId = r->peid;
            info->Caption = r->ename;
            info->IsLeaf = r->leaf;
            info->Node = node;
            node->setData(0, Qt::UserRole, info->Id);
            view->AttachNode(parent, node, r->tname, info);
            node->ChildrenLoaded = true;
            if (!r->leaf)
                fill(node, r->eid);
        }
    };
    fill(top, QString());
    *nodes = view->NodeCount();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Only the children queries the tree runs, one per non-leaf unit, without nodes:
// the floor that one query per node puts under any LoadAll.
double QueriesOnly(TADOConnection* conn, const TDynamicTree& tree)
{
    TADOQuery all;
    all.SetConnection(conn);
    all.SetSQLText(QString::fromLatin1(kBase));
    all.Open();
    QStringList parents{QString()};
    for (all.First(); !all.Eof(); all.Next())
        if (all.FieldText(QStringLiteral("leafflag")) != QLatin1String("0"))
            parents << all.FieldText(QStringLiteral("eid"));
    all.Close();
    QElapsedTimer timer;
    timer.start();
    TItemInfo info;
    for (const QString& id : std::as_const(parents)) {
        info.Id = id;
        TADOQuery q;
        q.SetConnection(conn);
        q.SetSQLText(tree.ChildrenQueryText(&info));
        q.Open();
        for (q.First(); !q.Eof(); q.Next())
            (void)q.FieldText(QStringLiteral("eid"));
        q.Close();
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

struct LoadFigures {
    double ms = 0;
    int nodes = 0;
    int queries = 0;
    double longestGapMs = 0;
};

std::atomic<int> gQueries{0};

// Removing a loaded tree costs its own time and leaves events behind; both are
// measured here, so that each load starts from a quiet interface.
double gClearMs = 0, gClearEventsMs = 0;
void Settle(TDynamicTree& tree)
{
    const bool loaded = tree.Active() && tree.TreeView() && tree.TreeView()->NodeCount() > 1;
    QElapsedTimer t;
    t.start();
    tree.SetActive(false);
    const double clear = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    QCoreApplication::processEvents();
    if (loaded) {
        gClearMs = clear;
        gClearEventsMs = double(t.nsecsElapsed()) / 1e6;
    }
}

LoadFigures SyncLoad(TDynamicTree& tree, TTreeView* view)
{
    Settle(tree);
    tree.SetSyncDataLoad(true);
    gQueries = 0;
    QElapsedTimer timer;
    timer.start();
    tree.SetActive(true);
    LoadFigures f;
    f.ms = double(timer.nsecsElapsed()) / 1e6;
    f.nodes = view->NodeCount();
    f.queries = gQueries;
    return f;
}

LoadFigures BackgroundLoad(TDynamicTree& tree, TTreeView* view)
{
    Settle(tree);
    tree.SetSyncDataLoad(false);
    gQueries = 0;
    QElapsedTimer timer;
    QElapsedTimer gap;
    double longest = 0;
    // A zero timer fires at every pass of event processing: the time between two
    // firings is how long the interface did not answer.
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double g = double(gap.nsecsElapsed()) / 1e6;
        longest = std::max(longest, g);
        gap.restart();
    });
    timer.start();
    gap.start();
    probe.start();
    tree.SetActive(true);
    longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
    gap.restart();
    while (TThread::LiveCount() > 0 || !tree.WorkerList().isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    LoadFigures f;
    f.ms = double(timer.nsecsElapsed()) / 1e6;
    probe.stop();
    f.nodes = view->NodeCount();
    f.queries = gQueries;
    f.longestGapMs = longest;
    return f;
}

template <class T>
T Median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                      : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // bench_tree [runs] [sync|background]: for profiling, "sync" leaves the
    // background load out and "background" runs only that (no ratios then).
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const bool withBackground = !(argc > 2 && qstrcmp(argv[2], "sync") == 0);
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/units.db");
    const int units = CreateDatabase(file);

    TADOConnection conn;
    conn.SetConnectionString(QStringLiteral("Provider=SQLITE;Data Source=") + file);
    conn.Open();
    TTreeView view;
    view.resize(400, 600);
    view.show();
    TDynamicTree tree;
    Configure(tree, &conn, &view);

    if (argc > 2 && qstrcmp(argv[2], "background") == 0) {
        for (int i = 0; i < runs; ++i) {
            const LoadFigures f = BackgroundLoad(tree, &view);
            std::printf("background load: %.1f ms, %d nodes, longest gap %.1f ms\n", f.ms, f.nodes, f.longestGapMs);
        }
        return 0;
    }
    TADOConnection::SetTraceHook([](const QString&) { gQueries.fetch_add(1); });

    std::vector<double> base, sync, background, gaps, queriesOnly;
    LoadFigures lastSync, lastBackground;
    int baseNodes = 0;
    for (int i = 0; i <= runs; ++i) {   // the first round warms caches and is not counted
        Settle(tree);
        const double b = Baseline(&conn, &view, &baseNodes);
        view.ClearNodes();
        QCoreApplication::processEvents();
        lastSync = SyncLoad(tree, &view);
        if (withBackground)
            lastBackground = BackgroundLoad(tree, &view);
        else
            lastBackground.nodes = baseNodes;
        tree.SetActive(false);
        if (i == 0)
            continue;
        base.push_back(b);
        queriesOnly.push_back(QueriesOnly(&conn, tree));
        sync.push_back(lastSync.ms);
        background.push_back(lastBackground.ms);
        gaps.push_back(lastBackground.longestGapMs);
    }
    TADOConnection::SetTraceHook(nullptr);

    const double b = Median(base), s = Median(sync), g = Median(background);
    std::printf("units: %d, runs: %d (medians)\n", units, runs);
    std::printf("baseline (one query, nodes from memory): %.1f ms, %d nodes\n", b, baseNodes);
    std::printf("LoadAll on the interface thread:         %.1f ms, %d nodes, %d queries\n", s, lastSync.nodes,
                lastSync.queries);
    std::printf("  ratio to baseline:                     %.2f (goal <= 2.00)\n", s / b);
    std::printf("  of which the children queries alone:   %.1f ms (ratio %.2f to baseline)\n", Median(queriesOnly),
                Median(queriesOnly) / b);
    std::printf("LoadAll in the background:               %.1f ms, %d nodes, %d queries\n", g,
                lastBackground.nodes, lastBackground.queries);
    std::printf("  ratio to interface-thread load:        %.2f (goal <= 1.50)\n", g / s);
    std::printf("  longest gap between processed events:  %.1f ms (goal <= 50.0; worst run %.1f ms)\n",
                Median(gaps), *std::max_element(gaps.begin(), gaps.end()));
    std::printf("removing a loaded tree (last run):        %.1f ms, then %.1f ms of pending events\n", gClearMs,
                gClearEventsMs);
    const bool sameTree = lastSync.nodes == baseNodes && lastBackground.nodes == baseNodes;
    std::printf("same nodes in all three: %s\n", sameTree ? "yes" : "NO");
    return sameTree ? 0 : 1;
}
