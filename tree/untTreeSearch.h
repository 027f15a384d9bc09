#pragma once
// Finding a node of an organisation tree by its id or caption, also among rows
// whose nodes are not loaded yet: the tree's base query tells which rows match
// and under which parents they hang, and only the path down to a match is loaded.
#include "data/untError.h"
#include "toolkit/Classes.h"
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TADOConnection;
class TDynamicTree;
class TThread;
class TNodeItem;
class TTreeNode;

class TTreeSearch : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TTreeSearch(TComponent* AOwner = nullptr);
    ~TTreeSearch() override;

    TDynamicTree* Tree() const { return FTree; }
    void SetTree(TDynamicTree* v);

    // Selects the first row node, in tree order, whose FieldId or FieldCaption
    // value contains Text, and gives it to Done; null when none does (the
    // selection stays). With Next and the same text as the search before, goes on
    // after its match, wrapping around to the first. Which rows match is read on
    // a worker (its own session of the tree's connection); the walk down to the
    // match loads the branches on the way as the tree loads them, on the
    // interface thread, when the rows have come. Done runs there once, maybe
    // before Find returns; a database failure is an error, not a "not found". A
    // newer Find makes an older one stale: its Done gets an error of kind
    // Cancelled at once and its rows are dropped. Done is not called when the
    // search goes first.
    using TFound = std::function<void(TResult<TNodeItem*> Found)>;
    void Find(const QString& Text, bool Next, TFound Done);
    void FindNext(TFound Done) { Find(FText, true, std::move(Done)); }
    // A search is waiting for its rows.
    bool Searching() const { return FTask != nullptr; }

    // The text searched for last, as searched (control characters dropped, trimmed).
    QString Text() const { return FText; }
    // The id of the match found last; empty when the last search found nothing.
    QString CurrentId() const { return FPath.isEmpty() ? QString() : FPath.last().second; }

    // The statement that reads the matching rows, for a text as searched.
    QString MatchQueryText(const QString& Text) const;
    // Text as a LIKE pattern "%...%" for "escape '!'", quotes doubled: every
    // character stands for itself.
    static QString ContainsPattern(const QString& Text);
    static QString Normalized(const QString& Text);

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // Where a node is: from the roots down, the parent (null for a root) and the
    // node's index under it.
    using Position = QList<std::pair<TTreeNode*, int>>;

    // The tree's settings the matches were read with.
    QString SettingsKey() const;
    // The rows that match and those above a match.
    struct TMatches {
        QSet<QString> Rows, Ancestors;
    };
    struct TMatchQuery {
        TADOConnection* Conn = nullptr;
        QString Match, Parents;   // Parents: empty when every row hangs under the top node
        QString Top;
    };
    TMatchQuery MatchQuery() const;
    // On the worker.
    static TMatches ReadMatches(const TMatchQuery& Query);
    void MatchesRead(quint64 Generation, const std::shared_ptr<TResult<TMatches>>& Read);
    // From the matches known: the walk and the selection.
    TResult<TNodeItem*> Walk(bool GoOn);
    void DropTask();
    bool IsMatch(TTreeNode* Node) const;
    bool MatchesBelow(const Position& At, TTreeNode* Node) const;
    TTreeNode* NodeAt(const Position& At) const;
    int ChildCount(TTreeNode* Parent) const;
    // Moves At to the next node in tree order, first entering (and loading) the
    // node at At when matches lie below it. False at the end of the tree, or when
    // a load cleared the tree view.
    bool Advance(Position& At, bool Enter, bool& Cleared);
    // Moves At to the first match at or after it (or strictly after it).
    TNodeItem* Scan(Position& At, bool Inclusive, bool& Cleared);
    // Finds the match of FPath again; false when it is gone.
    bool Resolve(Position& At, bool& Cleared);
    TNodeItem* Select(const Position& At);

    TDynamicTree* FTree = nullptr;
    QString FText;
    QString FKey;
    QSet<QString> FMatches;
    // Ids of rows with a match somewhere below them.
    QSet<QString> FAncestors;
    // Index and id, level by level, of the match found last.
    QList<std::pair<int, QString>> FPath;
    quint64 FGeneration = 0;
    TThread* FTask = nullptr;
    TFound FDone;
    // Stale reads still running: they end by themselves (not waited for) unless
    // the search goes first.
    std::vector<TThread*> FDropped;
};
