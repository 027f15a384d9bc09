#include "tree/untDynamicTree.h"
#include "data/untSqlDialect.h"
#include "toolkit/ADODB.h"
#include "toolkit/Forms.h"
#include "tree/untQueryThread.h"
#include <QCoreApplication>
#include <QTreeWidgetItemIterator>
#include <memory>

namespace {

const QString kMissingProperty = QStringLiteral("没有指定%S属性值！");

// The tree's application is the first one up its owner chain (a window's owner).
TApplication* ApplicationOf(const TComponent* Tree)
{
    for (TComponent* o = Tree->Owner(); o; o = o->Owner())
        if (auto* app = qobject_cast<TApplication*>(o))
            return app;
    return nullptr;
}

bool ApplicationClosing(const TComponent* Tree)
{
    const TApplication* app = ApplicationOf(Tree);
    return (app && app->Terminated()) || QCoreApplication::closingDown();
}

struct QueryRelease {
    void operator()(TADOQuery* q) const
    {
        q->Close();
        q->Free();
    }
};
using OwnedQuery = std::unique_ptr<TADOQuery, QueryRelease>;

}  // namespace

QString TrimControls(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= ' ')
        ++b;
    while (e > b && s.at(e - 1).unicode() <= ' ')
        --e;
    return s.mid(b, e - b);
}

// --- TNodeItem -----------------------------------------------------------------

TNodeItem::TNodeItem(TTreeView* Owner) : TTreeNode(Owner) {}

TNodeItem::~TNodeItem()
{
    if (Loader) {
        // Its rows have nowhere to go any more.
        Loader->Node = nullptr;
        Loader->Terminate();
    }
    if (TItemInfo* info = Info()) {
        if (info->Kind == 2 && OwnerList)
            OwnerList->removeOne(this);
        delete info;
        SetData(nullptr);
    }
}

// --- TDynamicTree --------------------------------------------------------------

TDynamicTree::TDynamicTree(TComponent* AOwner) : TComponent(AOwner)
{
    // Members start as the reset state: texts empty, no connection, no view,
    // inactive, LoadAll off, title node expansion, queries on the interface thread.
}

TDynamicTree::~TDynamicTree()
{
    SetActive(false);
    if (FAdoConn)
        FAdoConn->RemoveFreeNotification(this);
    QObject::disconnect(FTreeViewWatch);
}

void TDynamicTree::SetTopVirNodeTitle(const QString& v)
{
    if (v == FTopVirNodeTitle)
        return;
    const bool was = FActive;
    SetActive(false);
    FTopVirNodeTitle = v;
    SetActive(was);
}

void TDynamicTree::SetFieldId(const QString& v)
{
    // The id column is the default sort column.
    FFieldId = v;
    FFieldOrderBy = v;
    FQueryStale = true;
}

void TDynamicTree::SetAdoConn(TADOConnection* v)
{
    if (v == FAdoConn)
        return;
    SetActive(false);
    if (FAdoConn)
        FAdoConn->RemoveFreeNotification(this);
    FAdoConn = v;
    if (FAdoConn)
        FAdoConn->FreeNotification(this);
}

void TDynamicTree::SetTreeView(TTreeView* v)
{
    if (v == FTreeView)
        return;
    const bool was = FActive;
    SetActive(false);
    QObject::disconnect(FTreeViewWatch);
    FTreeView = v;
    if (!FTreeView)
        return;
    // Watch the new view before reactivating: a failed reactivation must not leave
    // us holding a view whose end we would not hear of.
    FTreeViewWatch = connect(FTreeView, &QObject::destroyed, this, &TDynamicTree::TreeViewDestroyed);
    SetActive(was);
}

void TDynamicTree::SetActive(bool v)
{
    if (v == FActive)
        return;
    if (v)
        Activate();
    else
        Deactivate();
}

void TDynamicTree::SetLoadAll(bool v)
{
    if (v == FLoadAll)
        return;
    FLoadAll = v;
    if (!v)
        return;
    while (!FPlaceholderList.isEmpty()) {
        TNodeItem* placeholder = FPlaceholderList.first();
        LoadChildren(static_cast<TNodeItem*>(placeholder->Parent()));
        // A load that could not start leaves its placeholder; do not spin on it.
        if (!FPlaceholderList.isEmpty() && FPlaceholderList.first() == placeholder)
            break;
    }
}

void TDynamicTree::SetAutoExpandKind(TAutoExpandKind v)
{
    if (v == FAutoExpandKind)
        return;
    FAutoExpandKind = v;
    if (FActive)
        ApplyAutoExpand();
}

void TDynamicTree::CheckProperties() const
{
    if (!FTreeView)
        throw TExceptDynamicTree(FormatOne(kMissingProperty, QStringLiteral("TreeView")));
    if (!FAdoConn)
        throw TExceptDynamicTree(FormatOne(kMissingProperty, QStringLiteral("AdoConn")));
    if (!FAdoConn->Connected())
        throw TExceptDynamicTree(QStringLiteral("指定的AdoConnection没有打开！"));
    const std::pair<const QString*, const char*> required[] = {
        {nullptr, "SqlTable"},
        {&FFieldId, "FieldId"},
        {&FFieldPid, "FieldPid"},
        {&FFieldIsLeaf, "FieldIsLeaf"},
        {&FFieldCaption, "FieldCaption"},
        {&FFieldText, "FieldText"},
    };
    for (const auto& [value, name] : required) {
        const QString text = value ? *value : FSqlTable.join(QStringLiteral("\r\n"));
        if (TrimControls(text).isEmpty())
            throw TExceptDynamicTree(FormatOne(kMissingProperty, QString::fromLatin1(name)));
    }
}

QString TDynamicTree::ChildrenQueryText(const TItemInfo* Info) const
{
    const bool allRows = FFieldPid == QLatin1String("Piid");
    if (FQueryStale) {
        const QString base = TrimControls(FSqlTable.join(QStringLiteral("\r\n")));
        const QString order = TrimControls(FFieldOrderBy);
        const QString orderClause = order.isEmpty() ? QString() : QStringLiteral(" Order by a.") + order;
        if (allRows) {
            FQueryHead = QStringLiteral("select a.* from (") + base + QStringLiteral(") a ") + orderClause;
            FQueryTail.clear();
        } else {
            FQueryHead = QStringLiteral("select a.* from (") + base + QStringLiteral(") a where a.")
                + TrimControls(FFieldPid) + QStringLiteral("='");
            FQueryTail = QStringLiteral("'") + orderClause;
        }
        FQueryStale = false;
    }
    if (allRows)
        return FQueryHead;
    // Ids come from the data; a quote inside one must not end the literal.
    return FQueryHead + QuotedValue(Info ? Info->Id : QString()) + FQueryTail;
}

void TDynamicTree::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FAdoConn)
        SetAdoConn(nullptr);
}

void TDynamicTree::TreeViewDestroyed(QObject* view)
{
    if (view != FTreeView)
        return;
    // Its nodes are gone with it: deactivate without touching it.
    QObject::disconnect(FTreeViewWatch);
    FTreeView = nullptr;
    FSavedOnExpanding = nullptr;
    SetActive(false);
}

bool TDynamicTree::CanLoad()
{
    const bool ok = FActive && FAdoConn && FAdoConn->Connected() && FTreeView && !ApplicationClosing(this)
        && !IsDesigning() && !(Owner() && Owner()->IsDesigning());
    if (!ok)
        SetActive(false);
    return ok;
}

void TDynamicTree::Activate()
{
    CheckProperties();
    FSavedOnExpanding = FTreeView->OnExpanding;
    FTreeView->OnExpanding = [this](QObject* sender, TTreeNode* node, bool& allow) {
        TreeViewExpanding(sender, node, allow);
    };
    FActive = true;
    BuildTopNode();
}

void TDynamicTree::Deactivate()
{
    FActive = false;
    // Detach, do not wait: a worker finishes on its own and touches nothing of ours.
    for (qsizetype i = FWorkerList.size() - 1; i >= 0; --i) {
        TQueryThread* worker = FWorkerList.at(i);
        worker->Terminate();
        worker->OnDataReady = nullptr;
        worker->OnTerminate = nullptr;
        FWorkerList.removeAt(i);
    }
    if (FTreeView) {
        FTreeView->OnExpanding = FSavedOnExpanding;
        FSavedOnExpanding = nullptr;
        ClearTreeView();
    }
}

void TDynamicTree::ClearTreeView()
{
    ++FGeneration;
    FTreeView->ClearNodes();
}

void TDynamicTree::Attach(TNodeItem* parent, TNodeItem* node, const QString& text, TItemInfo* info)
{
    // Scripts find a node by its id without our classes.
    node->setData(0, Qt::UserRole, info ? info->Id : QString());
    FTreeView->AttachNode(parent, node, text, info);
}

void TDynamicTree::NoteLoadError(const std::exception& e)
{
    if (FLastBuild)
        FLastBuild = TError::From(e);
}

void TDynamicTree::BuildTopNode()
{
    FLastBuild = {};
    ClearTreeView();
    const quint64 generation = FGeneration;
    auto fresh = std::make_unique<TNodeItem>(FTreeView);
    TItemInfoClass infoClass = &CreateItemInfo<TItemInfo>;
    if (OnBeforAddNode)
        OnBeforAddNode(this, nullptr, fresh.get(), infoClass);
    if (generation != FGeneration || !FActive)
        return;
    TNodeItem* node = fresh.get();
    bool attached = false;
    try {
        TItemInfo* info = infoClass();
        node->SetData(info);
        info->Kind = 0;
        info->Id = FTopVirNodeIdValue;
        info->ParentId = QStringLiteral("★");
        info->Caption = QStringLiteral("^_^");
        info->IsLeaf = false;
        info->Node = node;
        QString text = node->Text();
        if (TrimControls(text).isEmpty())
            text = FTopVirNodeTitle;
        if (!CanLoad() || !FTreeView)
            return;
        Attach(nullptr, fresh.release(), text, info);
        attached = true;
        if (OnAfterAddNode)
            OnAfterAddNode(this, nullptr, node, info);
        if (generation != FGeneration)
            return;
        LoadChildren(node);
        if (generation != FGeneration)
            return;
        ApplyAutoExpand();
    } catch (const std::exception& e) {
        NoteLoadError(e);
        // The top node goes with whatever was loaded below it; the tree stays active.
        if (attached && generation == FGeneration)
            delete node;
    }
}

void TDynamicTree::LoadChildren(TNodeItem* Node)
{
    if (!CanLoad() || !Node || !Node->Info())
        return;
    if (Node->HasChildren())
        Node->DeleteChildren();
    OwnedQuery query(new TADOQuery(nullptr));
    query->SetConnection(FAdoConn);
    query->SetSQLText(ChildrenQueryText(Node->Info()));
    Node->ChildrenLoaded = true;

    if (FSyncDataLoad) {
        const quint64 generation = FGeneration;
        query->Open();
        while (!query->Eof() && CanLoad()) {
            AddRowNode(Node, nullptr, query.get());
            if (generation != FGeneration)
                break;
            query->Next();
        }
        return;
    }

    auto* worker = new TQueryThread(true, query.release());
    FWorkerList.append(worker);
    worker->OnTerminate = [this](TThread* t) { WorkerTerminated(static_cast<TQueryThread*>(t)); };
    worker->OnDataReady = [this](TQueryThread* t, TADOQuery* d) { return WorkerDataReady(t, d); };
    worker->Node = Node;
    Node->Loader = worker;
    if (!CanLoad())
        worker->Terminate();
    worker->Resume();
}

void TDynamicTree::AddRowNode(TNodeItem* SourceNode, TQueryThread* Worker, TADOQuery* Fields)
{
    auto workerStopped = [Worker] { return Worker && Worker->IsTerminated(); };
    if (!CanLoad() || workerStopped())
        return;
    const quint64 generation = FGeneration;
    auto fresh = std::make_unique<TNodeItem>(FTreeView);
    TItemInfoClass infoClass = &CreateItemInfo<TItemInfo>;
    if (OnBeforAddNode)
        OnBeforAddNode(this, Fields, fresh.get(), infoClass);
    if (generation != FGeneration)
        return;
    TItemInfo* info = infoClass();
    fresh->SetData(info);

    TNodeItem* parent = Worker ? static_cast<TNodeItem*>(Worker->Node) : SourceNode;
    if (!parent || !parent->Info()) {
        fresh.reset();
        if (CanLoad() && !workerStopped())
            throw TExceptDynamicTree(QStringLiteral("节点信息丢失！"));
        return;
    }

    TNodeItem* node = fresh.get();
    bool attached = false;
    try {
        info->Kind = 1;
        info->Node = node;
        info->Id = Fields->FieldText(TrimControls(FFieldId));
        info->ParentId = Fields->FieldText(TrimControls(FFieldPid));
        info->Caption = Fields->FieldText(TrimControls(FFieldCaption));
        info->IsLeaf = Fields->FieldView(TrimControls(FFieldIsLeaf)) == FValueIsLeaf;
        QString text = node->Text();
        if (TrimControls(text).isEmpty()) {
            if (!FFieldText.isEmpty())
                text = Fields->FieldText(TrimControls(FFieldText));
            else
                text = info->Caption + QLatin1Char('(') + info->Id + QLatin1Char(')');
        }
        if (!CanLoad() || !FTreeView)
            return;
        Attach(parent, fresh.release(), text, info);
        attached = true;

        if (parent->ExpandOnLoad) {
            parent->ExpandOnLoad = false;
            parent->SetExpanded(true);
            if (generation != FGeneration)
                return;
        }
        if (OnAfterAddNode) {
            OnAfterAddNode(this, Fields, node, info);
            if (generation != FGeneration)
                return;
        }

        if (info->IsLeaf) {
            node->ChildrenLoaded = true;
        } else if (FLoadAll) {
            LoadChildren(node);      // depth first: the whole branch before the next row
        } else {
            auto* placeholder = new TNodeItem(FTreeView);
            TItemInfo* placeholderInfo = infoClass();
            placeholderInfo->Kind = 2;
            placeholder->SetData(placeholderInfo);
            FPlaceholderList.append(placeholder);
            placeholder->OwnerList = &FPlaceholderList;
            if (!CanLoad() || !FTreeView) {
                delete placeholder;
                return;
            }
            Attach(node, placeholder, QStringLiteral("【】"), placeholderInfo);
            ApplyAutoExpand();
        }
        if (generation != FGeneration)
            return;
        ApplyAutoExpand();
    } catch (const std::exception& e) {
        NoteLoadError(e);
        // The row is dropped with whatever was loaded below it; the next row goes on.
        if (attached && generation == FGeneration)
            delete node;
    }
}

void TDynamicTree::TreeViewExpanding(QObject* Sender, TTreeNode* Node, bool& AllowExpansion)
{
    if (FSavedOnExpanding) {
        TTVExpandingEvent saved = FSavedOnExpanding;
        saved(Sender, Node, AllowExpansion);
    }
    auto* node = static_cast<TNodeItem*>(Node);
    if (AllowExpansion && node && node->Info() && !node->ChildrenLoaded) {
        node->ExpandOnLoad = true;
        LoadChildren(node);
    }
}

bool TDynamicTree::WorkerDataReady(TQueryThread* Worker, TADOQuery* DataSet)
{
    if (Worker->IsTerminated() || !CanLoad())
        return false;
    // Rows are added for a millisecond at a time, then the worker hands the rest
    // over again behind the events pending meanwhile: the interface answers
    // within that, and a load of many short rows does not spend most of its time
    // handing over. A handler of a row may free us (the window that owns us).
    QPointer<TDynamicTree> self(this);
    QElapsedTimer slice;
    slice.start();
    while (!DataSet->Eof() && !Worker->IsTerminated()) {
        AddRowNode(nullptr, Worker, DataSet);
        if (!self || !CanLoad())
            return false;
        DataSet->Next();
        if (slice.elapsed() >= 1)
            return !DataSet->Eof();
    }
    return false;
}

void TDynamicTree::WorkerTerminated(TQueryThread* Worker)
{
    if (CanLoad())
        FWorkerList.removeOne(Worker);
}

TNodeItem* TDynamicTree::FirstLeafNode() const
{
    TTreeNode* node = FTreeView ? FTreeView->GetFirstNode() : nullptr;
    while (node && node->GetFirstChild())
        node = node->GetFirstChild();
    return static_cast<TNodeItem*>(node);
}

void TDynamicTree::ApplyAutoExpand()
{
    if (!FTreeView)
        return;
    const quint64 generation = FGeneration;
    switch (FAutoExpandKind) {
    case aekNone:
        return;
    case aekTitleNode: {
        auto* top = static_cast<TNodeItem*>(FTreeView->GetFirstNode());
        if (!top || top->AutoExpanded || (top->Expanded() && top->Selected()))
            return;
        top->SetSelected(true);
        if (generation != FGeneration)
            return;
        top->SetExpanded(true);
        if (generation != FGeneration)
            return;
        top->AutoExpanded = true;
        return;
    }
    case aekFirstLeaf: {
        TNodeItem* first = FirstLeafNode();
        if (!first || first->AutoExpanded || first->Selected())
            return;
        TNodeItem* candidate = first;
        TNodeItem* current = first;
        for (;;) {
            auto* parent = static_cast<TNodeItem*>(current->Parent());
            if (!parent)
                break;
            // Opening a parent may load it (replacing a placeholder we came from).
            parent->SetExpanded(true);
            if (generation != FGeneration)
                return;
            auto* child = static_cast<TNodeItem*>(parent->GetFirstChild());
            if (!child)
                return;
            candidate = child;
            child->SetExpanded(true);
            if (generation != FGeneration)
                return;
            current = static_cast<TNodeItem*>(child->GetFirstChild());
            if (!current)
                break;
        }
        candidate->SetSelected(true);
        if (generation != FGeneration)
            return;
        candidate->AutoExpanded = true;
        return;
    }
    }
}

void ShowUnitTree(TDynamicTree* Tree, TTreeView* View, TADOConnection* Conn, const QString& Sql, const QString& TopId)
{
    Tree->SetActive(false);
    Tree->SetAdoConn(Conn);
    Tree->SetSqlTable({Sql});
    Tree->SetFieldId(QStringLiteral("eid"));
    Tree->SetFieldPid(QStringLiteral("peid"));
    Tree->SetFieldIsLeaf(QStringLiteral("leafflag"));
    Tree->SetFieldCaption(QStringLiteral("ename"));
    Tree->SetFieldText(QStringLiteral("tname"));
    Tree->SetTopVirNodeIdValue(TopId);
    Tree->SetValueIsLeaf(QStringLiteral("0"));
    Tree->SetTopVirNodeTitle(QStringLiteral("预算单位"));
    Tree->SetTreeView(View);
    // A connection that cannot open is told by the tree's own build.
    if (Conn && !Conn->Connected()) {
        try {
            Conn->Open();
        } catch (const std::exception&) {
        }
    }
    Tree->SetActive(true);
}

TDynamicTree* NewUnitTree(TComponent* Owner, const QString& Name, const QIcon& Branch, const QIcon& Leaf)
{
    auto* tree = new TDynamicTree(Owner);
    tree->SetName(Name);
    tree->SetLoadAll(true);
    tree->SetAutoExpandKind(aekFirstLeaf);
    tree->SetSyncDataLoad(true);
    tree->OnAfterAddNode = [Branch, Leaf](QObject*, TADOQuery*, TTreeNode* node, TItemInfo* info) {
        node->setIcon(0, info && info->IsLeaf ? Leaf : Branch);
    };
    return tree;
}

std::optional<TUnitChoice> UnitOfNode(TTreeView* View, TTreeNode* Node, const QString& Top)
{
    if (Node && Node == View->GetFirstNode()) {
        TUnitChoice top{Top, ChildUnitIds(Node)};
        if (top.Scope == QStringList{Top})
            top.Scope.clear();
        return top;
    }
    if (const auto* info = Node ? static_cast<TItemInfo*>(Node->Data()) : nullptr)
        return TUnitChoice{info->Id, {}};
    return std::nullopt;
}

TTreeNode* NodeAfterRebuild(TTreeView* View, const std::function<void()>& Rebuild)
{
    TTreeNode* before = View->Selected();
    const bool wasTop = before && before == View->GetFirstNode();
    const auto* info = before ? static_cast<TItemInfo*>(before->Data()) : nullptr;
    const QString keep = info && info->Kind == 1 ? info->Id : QString();
    TTVChangedEvent change = std::exchange(View->OnChange, nullptr);
    Rebuild();
    View->OnChange = std::move(change);
    return wasTop ? View->GetFirstNode() : FindUnitNode(View, keep);
}

QStringList ChildUnitIds(TTreeNode* Node)
{
    QStringList ids;
    for (int i = 0; Node && i < Node->childCount(); ++i)
        if (const auto* info = static_cast<TItemInfo*>(static_cast<TTreeNode*>(Node->child(i))->Data()))
            if (!info->Id.isEmpty())
                ids << info->Id;
    return ids;
}

TTreeNode* FindUnitNode(TTreeView* View, const QString& Id)
{
    for (QTreeWidgetItemIterator it(View); *it && !Id.isEmpty(); ++it) {
        auto* node = static_cast<TTreeNode*>(*it);
        const auto* info = static_cast<TItemInfo*>(node->Data());
        if (info && info->Kind == 1 && info->Id == Id)
            return node;
    }
    return nullptr;
}
