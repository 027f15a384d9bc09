#pragma once
// Organisation tree: fills a tree view from any table whose rows point to their
// parent row, all at once or as nodes are opened, on the interface thread or with
// the SQL on a worker thread.
#include "data/untError.h"
#include "toolkit/Classes.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/SysUtils.h"
#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

class TADOConnection;
class TADOQuery;
class TQueryThread;

// A setting trimmed as the platform trims: every character up to the blank counts as space.
QString TrimControls(const QString& s);

DECLARE_EXCEPTION(, TExceptDynamicTree, Exception)

enum TAutoExpandKind : quint8 { aekNone = 0, aekTitleNode = 1, aekFirstLeaf = 2 };

// One per node, reached through the node's data pointer and owned by the node.
class TItemInfo {
public:
    TItemInfo() = default;
    // Virtual only so that a substituted subclass is freed whole.
    virtual ~TItemInfo() = default;

    QString Caption;
    QString Id;
    QString ParentId;
    TTreeNode* Node = nullptr;
    quint8 Kind = 0;          // 0 top node, 1 row node, 2 placeholder
    bool IsLeaf = false;
};

// Stands for a class reference: makes an info object of one class.
using TItemInfoClass = TItemInfo* (*)();
template <class T>
TItemInfo* CreateItemInfo()
{
    return new T;
}

// Fields: the dataset on the current row; null for the top node.
using TOnBeforAddNode =
    std::function<void(QObject* Sender, TADOQuery* Fields, TTreeNode* Node, TItemInfoClass& ItemInfoClass)>;
using TOnAfterAddNode =
    std::function<void(QObject* Sender, TADOQuery* Fields, TTreeNode* Node, TItemInfo* ItemInfo)>;

class TNodeItem : public TTreeNode {
public:
    explicit TNodeItem(TTreeView* Owner);
    ~TNodeItem() override;

    TItemInfo* Info() const { return static_cast<TItemInfo*>(Data()); }

    QList<TNodeItem*>* OwnerList = nullptr;
    bool ExpandOnLoad = false;
    bool ChildrenLoaded = false;
    bool AutoExpanded = false;

    // The worker loading this node's children, told when the node goes away.
    QPointer<TQueryThread> Loader;
};

class TDynamicTree : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TDynamicTree(TComponent* AOwner = nullptr);
    ~TDynamicTree() override;

    QString TopVirNodeIdValue() const { return FTopVirNodeIdValue; }
    void SetTopVirNodeIdValue(const QString& v) { FTopVirNodeIdValue = v; }
    QString TopVirNodeTitle() const { return FTopVirNodeTitle; }
    void SetTopVirNodeTitle(const QString& v);

    TOnBeforAddNode OnBeforAddNode;
    TOnAfterAddNode OnAfterAddNode;

    const QStringList& SqlTable() const { return FSqlTable; }
    void SetSqlTable(const QStringList& lines)
    {
        FSqlTable = lines;
        FQueryStale = true;
    }
    QString FieldId() const { return FFieldId; }
    void SetFieldId(const QString& v);
    QString FieldPid() const { return FFieldPid; }
    void SetFieldPid(const QString& v)
    {
        FFieldPid = v;
        FQueryStale = true;
    }
    QString FieldIsLeaf() const { return FFieldIsLeaf; }
    void SetFieldIsLeaf(const QString& v) { FFieldIsLeaf = v; }
    QString ValueIsLeaf() const { return FValueIsLeaf; }
    void SetValueIsLeaf(const QString& v) { FValueIsLeaf = v; }
    QString FieldCaption() const { return FFieldCaption; }
    void SetFieldCaption(const QString& v) { FFieldCaption = v; }
    QString FieldText() const { return FFieldText; }
    void SetFieldText(const QString& v) { FFieldText = v; }
    QString FieldOrderBy() const { return FFieldOrderBy; }
    void SetFieldOrderBy(const QString& v)
    {
        FFieldOrderBy = v;
        FQueryStale = true;
    }

    TADOConnection* AdoConn() const { return FAdoConn; }
    void SetAdoConn(TADOConnection* v);
    TTreeView* TreeView() const { return FTreeView; }
    void SetTreeView(TTreeView* v);

    bool Active() const { return FActive; }
    void SetActive(bool v);
    bool LoadAll() const { return FLoadAll; }
    void SetLoadAll(bool v);
    TAutoExpandKind AutoExpandKind() const { return FAutoExpandKind; }
    void SetAutoExpandKind(TAutoExpandKind v);
    bool SyncDataLoad() const { return FSyncDataLoad; }
    void SetSyncDataLoad(bool v) { FSyncDataLoad = v; }

    const QList<TNodeItem*>& PlaceholderList() const { return FPlaceholderList; }
    const QList<TQueryThread*>& WorkerList() const { return FWorkerList; }

    // Raises TExceptDynamicTree for the first missing setting; changes nothing.
    void CheckProperties() const;
    // The SQL that reads the children of the node with this info.
    QString ChildrenQueryText(const TItemInfo* Info) const;

    void Notification(TComponent* AComponent, TOperation Operation) override;

    // --- For the search (TTreeSearch, defined in tree/untTreeSearch.cpp) ---
    // Loads Node's children at once on the interface thread, whatever SyncDataLoad
    // says; a worker still bringing them is stopped first, so they do not come
    // twice. A node whose children are settled is left alone. False when the tree
    // view was cleared meanwhile: every node pointer held across the call is stale.
    bool LoadChildrenNow(TNodeItem* Node);
    // Moves whenever the tree view is cleared.
    quint64 Generation() const { return FGeneration; }
    // How the latest build of the tree went: the first failure it passed over (a
    // children query the database refused, say), so that the tree's owner can
    // tell the user why a pane stayed empty.
    const TResult<>& LastBuild() const { return FLastBuild; }
    // --- end of the search's part ---

private:
    bool CanLoad();
    void Activate();
    void Deactivate();
    void ClearTreeView();
    void BuildTopNode();
    void LoadChildren(TNodeItem* Node);
    // Source is the node being filled (interface thread) or the worker (background).
    void AddRowNode(TNodeItem* SourceNode, TQueryThread* Worker, TADOQuery* Fields);
    void TreeViewExpanding(QObject* Sender, TTreeNode* Node, bool& AllowExpansion);
    bool WorkerDataReady(TQueryThread* Worker, TADOQuery* DataSet);
    void WorkerTerminated(TQueryThread* Worker);
    void ApplyAutoExpand();
    TNodeItem* FirstLeafNode() const;
    void TreeViewDestroyed(QObject* view);
    void Attach(TNodeItem* parent, TNodeItem* node, const QString& text, TItemInfo* info);

    QString FTopVirNodeIdValue;
    QString FTopVirNodeTitle;
    QStringList FSqlTable;
    QString FFieldId, FFieldPid, FFieldIsLeaf, FValueIsLeaf, FFieldCaption, FFieldText, FFieldOrderBy;
    TADOConnection* FAdoConn = nullptr;
    TTreeView* FTreeView = nullptr;
    QMetaObject::Connection FTreeViewWatch;
    bool FActive = false;
    bool FLoadAll = false;
    TAutoExpandKind FAutoExpandKind = aekTitleNode;
    bool FSyncDataLoad = true;

    QList<TNodeItem*> FPlaceholderList;
    QList<TQueryThread*> FWorkerList;
    TTVExpandingEvent FSavedOnExpanding;
    // Bumped whenever the tree view is cleared: node pointers held across a call
    // that may have cleared it are stale when it moved.
    quint64 FGeneration = 0;
    TResult<> FLastBuild;
    void NoteLoadError(const std::exception& e);
    // The children query around the id, made again after a setting it uses changed.
    mutable QString FQueryHead, FQueryTail;
    mutable bool FQueryStale = true;
};

// Shows the organisation tree of units in View: the rows of Sql, with the unit
// table's columns (eid, peid, leafflag, ename, tname), under a top node
// "预算单位" whose id is TopId, read at once on Conn (opened here if it is not
// yet). The outcome is the tree's LastBuild().
void ShowUnitTree(TDynamicTree* Tree, TTreeView* View, TADOConnection* Conn, const QString& Sql, const QString& TopId);
// A unit tree as the windows keep it: every level read at once, on the interface
// thread, the first leaf selected after loading, branches and leaves with their pictures.
TDynamicTree* NewUnitTree(TComponent* Owner, const QString& Name, const QIcon& Branch, const QIcon& Leaf);
// The ids of the units right under Node.
QStringList ChildUnitIds(TTreeNode* Node);
// The unit range a node stands for. The top node: Top (the operator's range) and
// the units it lists, each with the units under it: neither fewer (an operator of
// a first-level unit sees its neighbours listed) nor more (one of a deeper unit
// sees its branch); Scope is empty when it lists only Top itself. Any other node:
// its unit. None for a node without a unit.
struct TUnitChoice {
    QString Code;
    QStringList Scope;
};
std::optional<TUnitChoice> UnitOfNode(TTreeView* View, TTreeNode* Node, const QString& Top);
// The node that shows after Rebuild what the selected one showed before: the top
// node, or the same unit; null when the rebuilt tree does not show it. The
// selections of the rebuild are not the user's: the view's OnChange hears none.
TTreeNode* NodeAfterRebuild(TTreeView* View, const std::function<void()>& Rebuild);
// The node of the unit (not of a branch heading) with that id, null when the tree shows none.
TTreeNode* FindUnitNode(TTreeView* View, const QString& Id);
