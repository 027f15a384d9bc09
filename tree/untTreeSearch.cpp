#include "tree/untTreeSearch.h"
#include "data/untDbManager.h"
#include "data/untSqlDialect.h"
#include "toolkit/ADODB.h"
#include "toolkit/Threads.h"
#include "tree/untDynamicTree.h"
#include "tree/untQueryThread.h"

namespace {

TItemInfo* InfoOf(TTreeNode* node)
{
    return node ? static_cast<TNodeItem*>(node)->Info() : nullptr;
}

bool AllRows(const TDynamicTree* tree)
{
    return tree->FieldPid() == QLatin1String("Piid");
}

}  // namespace

// --- TDynamicTree: its part of the search ------------------------------------

bool TDynamicTree::LoadChildrenNow(TNodeItem* Node)
{
    if (!Node || !Node->Info())
        return true;
    TQueryThread* loader = Node->Loader;
    const bool inFlight = loader && !loader->IsTerminated() && !loader->Finished();
    if (Node->ChildrenLoaded && !inFlight)
        return true;
    const quint64 generation = FGeneration;
    if (inFlight) {
        // Its rows would arrive after ours and be added a second time.
        loader->Terminate();
        loader->Node = nullptr;
        Node->Loader = nullptr;
    }
    const bool sync = FSyncDataLoad;
    FSyncDataLoad = true;
    try {
        LoadChildren(Node);
    } catch (...) {
        FSyncDataLoad = sync;
        throw;
    }
    FSyncDataLoad = sync;
    return generation == FGeneration;
}

// --- TTreeSearch ---------------------------------------------------------------

TTreeSearch::TTreeSearch(TComponent* AOwner) : TComponent(AOwner) {}

TTreeSearch::~TTreeSearch()
{
    if (FTree)
        FTree->RemoveFreeNotification(this);
    FDone = nullptr;
    DropTask();
    for (TThread* task : FDropped) {
        task->OnTerminate = nullptr;
        task->FreeOnTerminate = false;
        delete task;
    }
}

void TTreeSearch::DropTask()
{
    ++FGeneration;
    if (TThread* task = std::exchange(FTask, nullptr)) {
        task->OnTerminate = [this](TThread* t) { std::erase(FDropped, t); };
        task->FreeOnTerminate = true;
        FDropped.push_back(task);
    }
    if (TFound done = std::exchange(FDone, nullptr))
        done(TError{QStringLiteral("查找已被新的查找代替"), EDatabaseError::Cancelled});
}

void TTreeSearch::SetTree(TDynamicTree* v)
{
    if (v == FTree)
        return;
    if (FTree)
        FTree->RemoveFreeNotification(this);
    FTree = v;
    if (FTree)
        FTree->FreeNotification(this);
    FText.clear();
    FKey.clear();
    FPath.clear();
}

void TTreeSearch::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FTree)
        SetTree(nullptr);
}

QString TTreeSearch::Normalized(const QString& Text)
{
    // A pasted tab or line break is no part of a unit's name, and a NUL would end
    // the statement early for some drivers.
    QString out;
    out.reserve(Text.size());
    for (const QChar c : Text)
        if (c.unicode() >= ' ' && c.unicode() != 0x7f)
            out += c;
    return out.trimmed();
}

QString TTreeSearch::ContainsPattern(const QString& Text)
{
    // [ too: SQL Server reads it as the start of a set of characters.
    QString pattern = QStringLiteral("%");
    pattern.reserve(Text.size() * 2 + 2);
    for (const QChar c : Text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('!') || c == QLatin1Char('['))
            pattern += QLatin1Char('!');
        pattern += c;
    }
    pattern += QLatin1Char('%');
    return QuotedValue(pattern);
}

QString TTreeSearch::MatchQueryText(const QString& Text) const
{
    if (!FTree)
        return {};
    const QString base = TrimControls(FTree->SqlTable().join(QStringLiteral("\r\n")));
    const QString id = TrimControls(FTree->FieldId());
    // Letters match whatever their case: LIKE itself compares them as written on
    // the embedded database (the unit ranges need that) and on PostgreSQL.
    const QString upper = UpperFunctionName(qobject_cast<TAdoConn*>(FTree->AdoConn()));
    const QString pattern = ContainsPattern(Text);
    auto matches = [&](const QString& field) {
        return upper + QStringLiteral("(a.") + field + QStringLiteral(") like ") + upper + QStringLiteral("('")
               + pattern + QStringLiteral("') escape '!'");
    };
    QString sql = QStringLiteral("select a.") + id;
    if (!AllRows(FTree))
        sql += QStringLiteral(",a.") + TrimControls(FTree->FieldPid());
    sql += QStringLiteral(" from (") + base + QStringLiteral(") a where ") + matches(id) + QStringLiteral(" or ")
           + matches(TrimControls(FTree->FieldCaption()));
    return sql;
}

QString TTreeSearch::SettingsKey() const
{
    const QChar sep(0x1f);
    return FTree->SqlTable().join(QStringLiteral("\r\n")) + sep + FTree->FieldId() + sep + FTree->FieldPid() + sep
           + FTree->FieldCaption() + sep + FTree->TopVirNodeIdValue();
}

TTreeSearch::TMatchQuery TTreeSearch::MatchQuery() const
{
    TMatchQuery q;
    q.Conn = FTree->AdoConn();
    q.Match = MatchQueryText(FText);
    // Every row of the base query hangs under the top node there.
    if (!AllRows(FTree))
        q.Parents = QStringLiteral("select a.") + TrimControls(FTree->FieldId()) + QStringLiteral(",a.")
                    + TrimControls(FTree->FieldPid()) + QStringLiteral(" from (")
                    + TrimControls(FTree->SqlTable().join(QStringLiteral("\r\n"))) + QStringLiteral(") a");
    q.Top = FTree->TopVirNodeIdValue();
    return q;
}

TTreeSearch::TMatches TTreeSearch::ReadMatches(const TMatchQuery& Query)
{
    TMatches found;
    const bool allRows = Query.Parents.isEmpty();
    QList<QString> parents;
    {
        TADOQuery q(nullptr);
        q.SetConnection(Query.Conn);
        q.SetSQLText(Query.Match);
        q.Open();
        for (int r = 0, n = q.RecordCount(); r < n; ++r) {
            found.Rows.insert(q.CellText(r, 0).toString());
            if (!allRows)
                parents.append(q.CellText(r, 1).toString());
        }
    }
    if (allRows)
        return found;
    parents.removeAll(Query.Top);
    if (parents.isEmpty())
        return found;

    // Which rows lie above a match: the parent of every row, read in one go (one
    // statement whatever the number of matches and levels).
    QMultiHash<QString, QString> parentOf;
    {
        TADOQuery q(nullptr);
        q.SetConnection(Query.Conn);
        q.SetSQLText(Query.Parents);
        q.Open();
        const int n = q.RecordCount();
        parentOf.reserve(n);
        for (int r = 0; r < n; ++r)
            parentOf.insert(q.CellText(r, 0).toString(), q.CellText(r, 1).toString());
    }
    // A cycle in the data ends where an id comes round again.
    while (!parents.isEmpty()) {
        const QString id = parents.takeLast();
        if (id == Query.Top || found.Ancestors.contains(id))
            continue;
        found.Ancestors.insert(id);
        for (auto it = parentOf.constFind(id); it != parentOf.constEnd() && it.key() == id; ++it)
            parents.append(it.value());
    }
    return found;
}

bool TTreeSearch::IsMatch(TTreeNode* Node) const
{
    const TItemInfo* info = InfoOf(Node);
    return info && info->Kind == 1 && FMatches.contains(info->Id);
}

bool TTreeSearch::MatchesBelow(const Position& At, TTreeNode* Node) const
{
    const TItemInfo* info = InfoOf(Node);
    if (!info)
        return false;
    if (info->Kind == 0)
        return true;
    if (info->Kind != 1 || AllRows(FTree) || !FAncestors.contains(info->Id))
        return false;
    // A row that is its own ancestor would be entered for ever.
    for (const auto& [parent, index] : At) {
        const TItemInfo* above = InfoOf(parent);
        if (above && above->Kind == 1 && above->Id == info->Id)
            return false;
    }
    return true;
}

int TTreeSearch::ChildCount(TTreeNode* Parent) const
{
    if (Parent)
        return Parent->childCount();
    return FTree->TreeView() ? FTree->TreeView()->topLevelItemCount() : 0;
}

TTreeNode* TTreeSearch::NodeAt(const Position& At) const
{
    if (At.isEmpty())
        return nullptr;
    const auto& [parent, index] = At.last();
    if (parent)
        return parent->Item(index);
    return FTree->TreeView() ? FTree->TreeView()->Root(index) : nullptr;
}

bool TTreeSearch::Advance(Position& At, bool Enter, bool& Cleared)
{
    TTreeNode* node = NodeAt(At);
    if (Enter && MatchesBelow(At, node)) {
        if (!FTree->LoadChildrenNow(static_cast<TNodeItem*>(node))) {
            Cleared = true;
            return false;
        }
        if (node->childCount() > 0) {
            At.append({node, 0});
            return true;
        }
    }
    while (!At.isEmpty()) {
        auto& [parent, index] = At.last();
        if (++index < ChildCount(parent))
            return true;
        At.removeLast();
    }
    return false;
}

TNodeItem* TTreeSearch::Scan(Position& At, bool Inclusive, bool& Cleared)
{
    if (At.isEmpty())
        return nullptr;
    if (Inclusive && IsMatch(NodeAt(At)))
        return static_cast<TNodeItem*>(NodeAt(At));
    while (Advance(At, true, Cleared))
        if (IsMatch(NodeAt(At)))
            return static_cast<TNodeItem*>(NodeAt(At));
    return nullptr;
}

bool TTreeSearch::Resolve(Position& At, bool& Cleared)
{
    // The tree may have been loaded again since: the path is found by its ids,
    // loading it as the match was loaded.
    At.clear();
    TTreeNode* parent = nullptr;
    for (const auto& [index, id] : std::as_const(FPath)) {
        if (parent && !FTree->LoadChildrenNow(static_cast<TNodeItem*>(parent))) {
            Cleared = true;
            return false;
        }
        const int count = ChildCount(parent);
        auto idAt = [&](int i) {
            At.append({parent, i});
            const TItemInfo* info = InfoOf(NodeAt(At));
            At.removeLast();
            return info ? info->Id : QString();
        };
        int found = index < count && idAt(index) == id ? index : -1;
        for (int i = 0; found < 0 && i < count; ++i)
            if (idAt(i) == id)
                found = i;
        if (found < 0)
            return false;
        At.append({parent, found});
        parent = NodeAt(At);
    }
    return !At.isEmpty();
}

TNodeItem* TTreeSearch::Select(const Position& At)
{
    FPath.clear();
    Position upTo;
    for (const auto& frame : At) {
        upTo.append(frame);
        const TItemInfo* info = InfoOf(NodeAt(upTo));
        FPath.append({frame.second, info ? info->Id : QString()});
    }
    auto* node = static_cast<TNodeItem*>(NodeAt(At));
    const quint64 generation = FTree->Generation();
    // As a click does: the view's change event tells the owner.
    node->SetSelected(true);
    return generation == FTree->Generation() ? node : nullptr;
}

void TTreeSearch::Find(const QString& Text, bool Next, TFound Done)
{
    DropTask();
    const QString text = Normalized(Text);
    const bool goOn = Next && FTree && text == FText && !FPath.isEmpty() && FKey == SettingsKey();
    if (!goOn) {
        FText = text;
        FKey.clear();
        FPath.clear();
        FMatches.clear();
        FAncestors.clear();
    }
    if (!FTree || !FTree->Active() || !FTree->TreeView() || text.isEmpty()) {
        Done(nullptr);
        return;
    }
    if (goOn) {
        Done(Walk(true));
        return;
    }
    auto read = std::make_shared<TResult<TMatches>>(TMatches{});
    auto* task = new TBackgroundTask(
        [query = MatchQuery(), read](TBackgroundTask&) {
            try {
                *read = ReadMatches(query);
            } catch (const std::exception& e) {
                *read = TError::From(e);
            }
        },
        nullptr);
    task->OnTerminate = [this, generation = FGeneration, read](TThread*) { MatchesRead(generation, read); };
    FTask = task;
    FDone = std::move(Done);
    FKey = SettingsKey();
    task->Resume();
}

void TTreeSearch::MatchesRead(quint64 Generation, const std::shared_ptr<TResult<TMatches>>& Read)
{
    if (Generation != FGeneration)
        return;
    FTask->OnTerminate = nullptr;
    FTask->deleteLater();
    FTask = nullptr;
    TFound done = std::exchange(FDone, nullptr);
    const QString key = std::exchange(FKey, QString());
    if (!FTree || !FTree->Active() || !FTree->TreeView()) {
        done(nullptr);
        return;
    }
    // The tree's settings changed meanwhile: the rows are of another query.
    if (key != SettingsKey()) {
        Find(FText, false, std::move(done));
        return;
    }
    if (!*Read) {
        done(Read->Error());
        return;
    }
    FMatches = std::move(Read->Value().Rows);
    FAncestors = std::move(Read->Value().Ancestors);
    FKey = key;
    done(Walk(false));
}

TResult<TNodeItem*> TTreeSearch::Walk(bool GoOn)
{
    if (FMatches.isEmpty())
        return nullptr;
    try {
        bool cleared = false;
        Position at;
        TNodeItem* found = nullptr;
        if (GoOn && Resolve(at, cleared))
            found = Scan(at, false, cleared);
        if (!found && !cleared && ChildCount(nullptr) > 0) {
            // From the first node: the first search, or the wrap after the last match.
            at = {{nullptr, 0}};
            found = Scan(at, true, cleared);
        }
        if (!found || cleared) {
            FPath.clear();
            return nullptr;
        }
        return Select(at);
    } catch (const std::exception& e) {
        FPath.clear();
        return TError::From(e);
    }
}
