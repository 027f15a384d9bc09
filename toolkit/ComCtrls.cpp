#include "toolkit/ComCtrls.h"
#include <QHelpEvent>
#include <QToolTip>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOption>

TTreeNode::TTreeNode(TTreeView* Owner) : QTreeWidgetItem(QTreeWidgetItem::UserType), FOwner(Owner) {}

TTreeNode::~TTreeNode() = default;

TTreeView* TTreeNode::TreeView() const
{
    return static_cast<TTreeView*>(treeWidget());
}

TTreeNode* TTreeNode::GetFirstChild() const
{
    return childCount() > 0 ? static_cast<TTreeNode*>(child(0)) : nullptr;
}

TTreeNode* TTreeNode::Item(int Index) const
{
    return static_cast<TTreeNode*>(child(Index));
}

int TTreeNode::Level() const
{
    int level = 0;
    for (QTreeWidgetItem* p = parent(); p; p = p->parent())
        ++level;
    return level;
}

void TTreeNode::DeleteChildren()
{
    // Detached in one step, then freed: one model change instead of one per child.
    const QList<QTreeWidgetItem*> children = takeChildren();
    for (QTreeWidgetItem* c : children)
        delete c;
}

bool TTreeNode::Expanded() const
{
    return treeWidget() && isExpanded();
}

void TTreeNode::SetExpanded(bool Value)
{
    if (Value)
        Expand(false);
    else
        Collapse();
}

void TTreeNode::Expand(bool Recurse)
{
    TTreeView* view = TreeView();
    if (!view)
        return;
    if (!view->ExpandNode(this) || !Recurse)
        return;
    for (int i = 0; i < childCount(); ++i)
        static_cast<TTreeNode*>(child(i))->Expand(true);
}

void TTreeNode::Collapse()
{
    if (treeWidget())
        setExpanded(false);
}

bool TTreeNode::Selected() const
{
    return treeWidget() && isSelected();
}

void TTreeNode::SetSelected(bool Value)
{
    TTreeView* view = TreeView();
    if (!view)
        return;
    if (Value)
        view->SetSelected(this);
    else
        setSelected(false);
}

// --- TTreeView ---------------------------------------------------------------

TTreeView::TTreeView(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    // The selected node stays marked while the focus is elsewhere (the grid beside it).
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    connect(this, &QTreeWidget::itemExpanded, this, &TTreeView::ItemExpanded);
    // The selection, not the current item: Qt moves the current item on its own
    // (focus, removals) without selecting anything.
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        SelectionChanged(selected.isEmpty() ? nullptr : selected.first());
    });
    // A reset drops the selection without a signal; the remembered node is gone.
    connect(model(), &QAbstractItemModel::modelReset, this, [this] { FLastSelected = nullptr; });
}

TTreeView::~TTreeView()
{
    // Nodes go while the view is still a TTreeView, without events for anyone.
    FDestroying = true;
    OnExpanding = nullptr;
    OnChange = nullptr;
    ClearNodes();
    // Qt's own destructors still emit; nothing of this class may hear them.
    disconnect(model(), nullptr, this, nullptr);
    disconnect(this, nullptr, this, nullptr);
}

void TTreeView::ClearNodes()
{
    clear();
    FLastSelected = nullptr;
}

TTreeNode* TTreeView::GetFirstNode() const
{
    return topLevelItemCount() > 0 ? NodeOf(topLevelItem(0)) : nullptr;
}

TTreeNode* TTreeView::Root(int Index) const
{
    return NodeOf(topLevelItem(Index));
}

TTreeNode* TTreeView::AttachNode(TTreeNode* Parent, TTreeNode* Node, const QString& Text, void* Data)
{
    Node->SetText(Text);
    Node->SetData(Data);
    if (Parent)
        Parent->addChild(Node);
    else
        addTopLevelItem(Node);
    return Node;
}

TTreeNode* TTreeView::AddChildObject(TTreeNode* Parent, const QString& Text, void* Data)
{
    return AttachNode(Parent, new TTreeNode(this), Text, Data);
}

int TTreeView::NodeCount() const
{
    int count = 0;
    for (QTreeWidgetItemIterator it(const_cast<TTreeView*>(this)); *it; ++it)
        ++count;
    return count;
}

TTreeNode* TTreeView::Selected() const
{
    QTreeWidgetItem* item = currentItem();
    return item && item->isSelected() ? NodeOf(item) : nullptr;
}

void TTreeView::SetSelected(TTreeNode* Node)
{
    if (!Node || Node->treeWidget() != this) {
        setCurrentItem(nullptr);
        return;
    }
    // Open the ancestors through our own path, so each one is asked first.
    QList<TTreeNode*> ancestors;
    for (TTreeNode* p = Node->Parent(); p; p = p->Parent())
        ancestors.prepend(p);
    for (TTreeNode* p : ancestors)
        if (!p->Expanded())
            ExpandNode(p);
    setCurrentItem(Node);
    Node->setSelected(true);
    scrollToItem(Node);
}

bool TTreeView::CanExpand(TTreeNode* Node)
{
    bool allow = true;
    if (OnExpanding && !FDestroying) {
        TTVExpandingEvent handler = OnExpanding;   // the handler may replace itself
        handler(this, Node, allow);
    }
    return allow;
}

bool TTreeView::ExpandNode(TTreeNode* Node)
{
    if (!Node || Node->treeWidget() != this)
        return false;
    if (Node->isExpanded())
        return true;
    if (!CanExpand(Node))
        return false;
    // The handler may have deleted or detached the node (it owns the nodes).
    if (Node->treeWidget() != this)
        return false;
    TTreeNode* saved = FApproved;
    FApproved = Node;
    Node->setExpanded(true);
    FApproved = saved;
    return true;
}

TTreeNode* TTreeView::CollapsedBranchAt(const QPoint& pos) const
{
    if (!itemsExpandable())
        return nullptr;
    QTreeWidgetItem* item = itemAt(pos);
    if (!item || item->isExpanded() || item->childCount() == 0)
        return nullptr;
    if (!rootIsDecorated() && !item->parent())
        return nullptr;
    // The branch mark sits in the indentation just left of the first column's text,
    // as QTreeView lays it out.
    const QRect cell = visualRect(indexFromItem(item, 0));
    QRect mark(cell.left() - indentation(), cell.top(), indentation(), cell.height());
    if (isRightToLeft())
        mark.moveLeft(cell.right() + 1);
    QStyleOption opt;
    opt.initFrom(this);
    opt.rect = mark;
    mark = style()->subElementRect(QStyle::SE_TreeViewDisclosureItem, &opt, this);
    return mark.contains(pos) ? NodeOf(item) : nullptr;
}

bool TTreeView::CanExpandReporting(TTreeNode* node)
{
    try {
        return CanExpand(node);
    } catch (const std::exception& e) {
        if (OnException)
            OnException(e);
        else
            qWarning("%s", e.what());
    }
    return false;
}

bool TTreeView::ApproveGesture(TTreeNode* node)
{
    if (!node || node->isExpanded())
        return true;
    if (!CanExpandReporting(node))
        return false;
    // The handler may have opened the node itself (filling it) or left it with no
    // children: Qt's own handling would then close it again or act on nothing.
    if (node->treeWidget() != this || node->isExpanded() || node->childCount() == 0)
        return false;
    FApproved = node;
    return true;
}

bool TTreeView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QTreeWidgetItem* item = itemAt(help->pos());
        const QRect rect = item ? visualItemRect(item) : QRect();
        const QString text = item ? item->text(0) : QString();
        // The room the text has: from where it starts to the pane's right edge.
        const int icon = item && !item->icon(0).isNull() ? iconSize().width() + 4 : 0;
        const int room = viewport()->width() - rect.left() - icon - 6;
        if (!text.isEmpty() && item->toolTip(0).isEmpty() && fontMetrics().horizontalAdvance(text) > room) {
            QToolTip::showText(help->globalPos(), text, viewport(), rect);
            return true;
        }
    }
    return QTreeWidget::viewportEvent(event);
}

void TTreeView::mousePressEvent(QMouseEvent* event)
{
    if (style()->styleHint(QStyle::SH_ListViewExpand_SelectMouseType, nullptr, this) == QEvent::MouseButtonPress
        && !ApproveGesture(CollapsedBranchAt(event->position().toPoint()))) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
    FApproved = nullptr;
}

void TTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    if (style()->styleHint(QStyle::SH_ListViewExpand_SelectMouseType, nullptr, this) == QEvent::MouseButtonRelease
        && !ApproveGesture(CollapsedBranchAt(event->position().toPoint()))) {
        event->accept();
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
    FApproved = nullptr;
}

void TTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    TTreeNode* node = CollapsedBranchAt(pos);
    if (!node && expandsOnDoubleClick() && itemsExpandable()) {
        QTreeWidgetItem* item = itemAt(pos);
        if (item && !item->isExpanded() && item->childCount() > 0)
            node = NodeOf(item);
    }
    if (!ApproveGesture(node)) {
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
    FApproved = nullptr;
}

void TTreeView::keyPressEvent(QKeyEvent* event)
{
    TTreeNode* node = nullptr;
    const bool opens = event->key() == Qt::Key_Plus
        || (event->key() == (isRightToLeft() ? Qt::Key_Left : Qt::Key_Right));
    if (opens && itemsExpandable()) {
        QTreeWidgetItem* item = currentItem();
        if (item && !item->isExpanded() && item->childCount() > 0)
            node = NodeOf(item);
    }
    if (!ApproveGesture(node)) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
    FApproved = nullptr;
}

void TTreeView::ItemExpanded(QTreeWidgetItem* item)
{
    if (FRefusing || FDestroying)
        return;
    TTreeNode* node = NodeOf(item);
    if (node == FApproved) {
        FApproved = nullptr;
        return;
    }
    if (!CanExpandReporting(node) && node->treeWidget() == this && node->isExpanded()) {
        ++FRefusing;
        node->setExpanded(false);
        --FRefusing;
    }
}

void TTreeView::SelectionChanged(QTreeWidgetItem* selected)
{
    if (selected == FLastSelected)
        return;
    FLastSelected = selected;
    if (selected && OnChange && !FDestroying) {
        TTVChangedEvent handler = OnChange;
        handler(this, NodeOf(selected));
    }
}
