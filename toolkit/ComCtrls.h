#pragma once
// Tree view with a node collection API and an expanding event that can refuse.
#include "toolkit/Export.h"
#include <QTreeWidget>
#include <exception>
#include <functional>

class TTreeView;

// A tree node with a data pointer. The node does not own what the pointer points to;
// subclasses that do, free it in their destructor.
class TOOLKIT_EXPORT TTreeNode : public QTreeWidgetItem {
public:
    // Nodes are made unattached; TTreeView::AttachNode puts them into the view.
    explicit TTreeNode(TTreeView* Owner = nullptr);
    ~TTreeNode() override;

    TTreeView* Owner() const { return FOwner; }
    // The view the node is shown in (null until attached).
    TTreeView* TreeView() const;

    QString Text() const { return text(0); }
    void SetText(const QString& Text) { setText(0, Text); }
    void* Data() const { return FData; }
    void SetData(void* Data) { FData = Data; }

    TTreeNode* Parent() const { return static_cast<TTreeNode*>(parent()); }
    TTreeNode* GetFirstChild() const;
    bool HasChildren() const { return childCount() > 0; }
    int Count() const { return childCount(); }
    TTreeNode* Item(int Index) const;
    int Level() const;
    // Deletes every child node (and their subtrees).
    void DeleteChildren();

    bool Expanded() const;
    // Opening raises the view's OnExpanding first; a refused node stays closed.
    void SetExpanded(bool Value);
    void Expand(bool Recurse = false);
    void Collapse();

    bool Selected() const;
    // Selecting makes the node the view's current node and opens its ancestors.
    void SetSelected(bool Value);

private:
    TTreeView* FOwner = nullptr;
    void* FData = nullptr;
};

// Expanding: raised before a node opens; clearing AllowExpansion keeps it closed.
using TTVExpandingEvent = std::function<void(QObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
// Change: raised when another node becomes the selected one (never with null).
using TTVChangedEvent = std::function<void(QObject* Sender, TTreeNode* Node)>;

// Every node of a TTreeView is a TTreeNode. Captions are read-only, and the
// selection stays visible while the view has no focus.
//
// Expansion: the user's ways to open a node (click on the branch mark, double
// click, Right, Plus and Asterisk keys) and TTreeNode::SetExpanded ask OnExpanding
// before Qt opens the node, so a handler can fill the children first and a refusal
// never shows. Anything that opens a node behind our back (QTreeView::expand called
// directly, scrollTo) is caught on the expanded signal: the handler runs then and a
// refused node is closed again at once.
class TOOLKIT_EXPORT TTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TTreeView(QWidget* parent = nullptr);
    ~TTreeView() override;

    // Node collection.
    void ClearNodes();
    TTreeNode* GetFirstNode() const;
    int RootCount() const { return topLevelItemCount(); }
    TTreeNode* Root(int Index) const;
    // Attaches Node as the last child of Parent, or as the last root when Parent is null.
    TTreeNode* AttachNode(TTreeNode* Parent, TTreeNode* Node, const QString& Text, void* Data);
    // Convenience: a new plain node attached the same way.
    TTreeNode* AddChildObject(TTreeNode* Parent, const QString& Text, void* Data = nullptr);
    int NodeCount() const;      // every node, at any depth

    TTreeNode* Selected() const;
    void SetSelected(TTreeNode* Node);

    TTVExpandingEvent OnExpanding;
    TTVChangedEvent OnChange;
    // A handler that fails while Qt is delivering a user's gesture cannot throw
    // through Qt: the failure is handed here (unset: a warning is logged) and the
    // node stays closed.
    std::function<void(const std::exception& e)> OnException;

    // Raises OnExpanding; true when the node may open. Failures of the handler
    // propagate. The handler may change the node's children but not delete the node.
    bool CanExpand(TTreeNode* Node);
    // Opens Node after asking; false when refused.
    bool ExpandNode(TTreeNode* Node);

protected:
    // A node whose text the pane cuts shows the whole text when pointed at.
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TTreeNode;
    TTreeNode* NodeOf(QTreeWidgetItem* item) const { return static_cast<TTreeNode*>(item); }
    // The collapsed node whose branch mark is under pos, or null.
    TTreeNode* CollapsedBranchAt(const QPoint& pos) const;
    // Asks before a gesture opens node; false when the gesture must be swallowed
    // (refused, or already dealt with by the handler).
    bool ApproveGesture(TTreeNode* node);
    // CanExpand for paths inside Qt's event delivery: failures go to OnException.
    bool CanExpandReporting(TTreeNode* node);
    void ItemExpanded(QTreeWidgetItem* item);
    void SelectionChanged(QTreeWidgetItem* selected);

    TTreeNode* FApproved = nullptr;   // opening that was already asked for
    QTreeWidgetItem* FLastSelected = nullptr;   // compared only, never used
    int FRefusing = 0;
    bool FDestroying = false;
};
