#include "toolkit/NextGrid.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>

QColor clMenuBar()
{
    // Menu bars are painted in the window colour of the palette.
    return QApplication::palette().color(QPalette::Window);
}

// -------------------------------------------------------------------- cells

QString TNxCell::Text() const { return FGrid->Cells(FCol, FRow); }
void TNxCell::SetText(const QString& text) { FGrid->SetCells(FCol, FRow, text); }
double TNxCell::AsFloat() const { return FGrid->CellAsFloat(FCol, FRow); }
QColor TNxCell::Color() const { return FGrid->CellColor(FCol, FRow); }
void TNxCell::SetColor(const QColor& color) { FGrid->SetCellColor(FCol, FRow, color); }

// ----------------------------------------------------------------- delegate

namespace {

// Paints check boxes centred in their cells and ticks them on a click anywhere
// in the cell; bold text for the selected row when the grid asks for it.
class TNxGridDelegate : public QStyledItemDelegate {
public:
    explicit TNxGridDelegate(TNextGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const TNxCustomColumn* column = FGrid->Columns().Item(index.column());
        if (column && column->Kind() == TNxColumnKind::CheckBox) {
            QStyleOptionViewItem opt = option;
            initStyleOption(&opt, index);
            opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
            opt.text.clear();
            QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
            QStyleOptionViewItem box = option;
            const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, opt.widget);
            const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, opt.widget);
            box.rect = QRect(0, 0, qMin(w, option.rect.width()), qMin(h, option.rect.height()));
            box.rect.moveCenter(option.rect.center());
            box.state = option.state & ~QStyle::State_HasFocus;
            box.state |= FGrid->Model()->TextIsTicked(index.column(), index.row()) ? QStyle::State_On
                                                                                    : QStyle::State_Off;
            style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, opt.widget);
            return;
        }
        if ((FGrid->AppearanceOptions() & aoBoldTextSelection) && (option.state & QStyle::State_Selected)) {
            QStyleOptionViewItem opt = option;
            opt.font.setBold(true);
            QStyledItemDelegate::paint(painter, opt, index);
            return;
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        const TNxCustomColumn* column = FGrid->Columns().Item(index.column());
        if (!column || column->Kind() != TNxColumnKind::CheckBox)
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() == Qt::LeftButton && option.rect.contains(me->position().toPoint())) {
                FGrid->UserToggleCheck(index.column(), index.row());
                return true;
            }
        }
        // The space bar is handled by the grid itself.
        return false;
    }

private:
    TNextGrid* FGrid;
};

}  // namespace

// --------------------------------------------------------------------- grid

TNextGrid::TNextGrid(QWidget* parent) : QTableView(parent), FColumns(this)
{
    FModel = new TNextGridModel(this);
    setModel(FModel);
    setItemDelegate(new TNxGridDelegate(this));
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    QHeaderView* vh = verticalHeader();
    vh->setSectionResizeMode(QHeaderView::Fixed);
    vh->setMinimumSectionSize(1);
    vh->setDefaultSectionSize(FRowSize);
    vh->hide();
    QHeaderView* hh = horizontalHeader();
    hh->setSectionResizeMode(QHeaderView::Interactive);
    hh->setStretchLastSection(false);
    hh->setHighlightSections(false);
    hh->setSectionsClickable(true);
    hh->setFixedHeight(FHeaderSize);
    connect(hh, &QHeaderView::sectionClicked, this, &TNextGrid::HeaderClicked);
    // The header forgets widths and hidden sections on a reset; give them back.
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
        for (int i = 0; i < FColumns.Count(); ++i)
            ApplyColumn(i);
    });
    SetOptions(FOptions);
}

TNextGrid::~TNextGrid()
{
    setModel(nullptr);
    delete FModel;
    FModel = nullptr;
}

void TNextGrid::ColumnAdded(TNxCustomColumn* column)
{
    FModel->AddColumnStore();
    ApplyColumn(FColumns.IndexOf(column));
}

void TNextGrid::ColumnsCleared()
{
    FFooterRow = -1;
    FSortColumn = -1;
    horizontalHeader()->setSortIndicatorShown(false);
    FModel->ClearColumns();
}

void TNextGrid::ApplyColumn(int index)
{
    const TNxCustomColumn* column = FColumns.Item(index);
    if (!column || !FModel || index >= FModel->columnCount() || FModel->Batched())
        return;
    setColumnHidden(index, !column->Visible());
    if (column->Visible())
        setColumnWidth(index, column->Width());
    FModel->ColumnHeaderChanged(index);
}

void TNextGrid::ClearRows()
{
    FFooterRow = -1;
    FModel->ClearRows();
}

void TNextGrid::AddRows(int count) { FModel->AddRows(count); }

int TNextGrid::RowCount() const { return FModel->Rows(); }

void TNextGrid::AdoptCells(TNxCellStore&& cells, int footerRow)
{
    FModel->AdoptCells(std::move(cells));
    SetFooterRow(footerRow);
}

int TNextGrid::ShownRowCount() const { return RowCount(); }

int TNextGrid::ShownRow(int index) const { return index >= 0 && index < RowCount() ? index : -1; }

bool TNextGrid::IsRowShown(int row) const { return row >= 0 && row < RowCount(); }

void TNextGrid::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        FModel->BeginBatch();
}

void TNextGrid::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0)
        FModel->EndBatch();
}

void TNextGrid::SelectRow(int row)
{
    if (row < 0 || row >= RowCount() || FColumns.Count() == 0)
        return;
    int col = 0;
    while (col < FColumns.Count() && isColumnHidden(col))
        ++col;
    if (col >= FColumns.Count())
        col = 0;
    const QModelIndex i = FModel->index(row, col);
    selectionModel()->setCurrentIndex(i, (FOptions & goSelectFullRow)
                                             ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                                             : QItemSelectionModel::ClearAndSelect);
    if (!FModel->Batched())
        scrollTo(i);
}

int TNextGrid::SelectedRow() const
{
    // The current cell alone (focus gives one) is no selection.
    const QItemSelectionModel* sm = selectionModel();
    const QModelIndex i = currentIndex();
    if (i.isValid() && sm->isSelected(i))
        return i.row();
    return sm->hasSelection() ? sm->selection().first().top() : -1;
}

QString TNextGrid::Cells(int col, int row) const { return FModel->Text(col, row); }

void TNextGrid::SetCells(int col, int row, const QString& text) { FModel->SetText(col, row, text); }

double TNextGrid::CellAsFloat(int col, int row) const { return FModel->Number(col, row); }

QColor TNextGrid::CellColor(int col, int row) const { return FModel->Color(col, row); }

void TNextGrid::SetCellColor(int col, int row, const QColor& color) { FModel->SetColor(col, row, color); }

QString TNextGrid::DisplayText(int col, int row) const
{
    const TNxCustomColumn* column = FColumns.Item(col);
    if (!column || row < 0 || row >= RowCount())
        return {};
    return column->DisplayText(Cells(col, row));
}

bool TNextGrid::UserToggleCheck(int col, int row)
{
    const TNxCustomColumn* column = FColumns.Item(col);
    if (!column || column->Kind() != TNxColumnKind::CheckBox || row < 0 || row >= RowCount())
        return false;
    const bool ticked = FModel->TextIsTicked(col, row);
    return FModel->setData(FModel->index(row, col), ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

bool TNextGrid::UserSetText(int col, int row, const QString& text)
{
    if (row < 0 || row >= RowCount() || col < 0 || col >= FColumns.Count())
        return false;
    return FModel->setData(FModel->index(row, col), text, Qt::EditRole);
}

void TNextGrid::SetFooterRow(int row) { FFooterRow = row >= 0 && row < RowCount() ? row : -1; }

void TNextGrid::SortByColumn(int col, bool ascending)
{
    if (col < 0 || col >= FColumns.Count())
        return;
    FModel->SortRows(col, ascending, FFooterRow);
    if (FFooterRow >= 0)
        FFooterRow = RowCount() - 1;
    FSortColumn = col;
    FSortAscending = ascending;
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(col, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TNextGrid::HeaderClicked(int section)
{
    const TNxCustomColumn* column = FColumns.Item(section);
    if (!column || !(column->Options() & coCanSort) || !(column->Options() & coCanClick))
        return;
    const bool ascending = section == FSortColumn ? !FSortAscending : true;
    SortByColumn(section, ascending);
}

void TNextGrid::SetOptions(TGridOptions options)
{
    FOptions = options;
    horizontalHeader()->setVisible(options & goHeader);
    verticalHeader()->setVisible(options & goIndicator);
    setShowGrid(options & goGrid);
    setSelectionBehavior((options & goSelectFullRow) ? QAbstractItemView::SelectRows
                                                     : QAbstractItemView::SelectItems);
    setSelectionMode((options & goMultiSelect) ? QAbstractItemView::ExtendedSelection
                                               : QAbstractItemView::SingleSelection);
}

void TNextGrid::SetAppearanceOptions(TAppearanceOptions options)
{
    FAppearance = options;
    viewport()->update();
}

void TNextGrid::SetHeaderSize(int size)
{
    FHeaderSize = qMax(0, size);
    horizontalHeader()->setFixedHeight(FHeaderSize);
}

void TNextGrid::SetRowSize(int size)
{
    FRowSize = qMax(1, size);
    verticalHeader()->setDefaultSectionSize(FRowSize);
}

void TNextGrid::SetGridLinesColor(const QColor& color)
{
    FGridLinesColor = color;
    // Table grid lines are drawn in the style's grid colour, taken from the palette.
    QPalette p = palette();
    p.setColor(QPalette::Mid, color);
    setPalette(p);
}

qint64 TNextGrid::StoreBytes() const { return FModel->StoreBytes(); }
qint64 TNextGrid::TextBytes() const { return FModel->TextBytes(); }

void TNextGrid::keyPressEvent(QKeyEvent* event)
{
    if (OnKeyPress && !event->text().isEmpty()) {
        QChar key = event->text().at(0);
        OnKeyPress(this, key);
        if (key.isNull()) {
            event->accept();
            return;
        }
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        const QModelIndex i = currentIndex();
        const TNxCustomColumn* column = FColumns.Item(i.column());
        if (i.isValid() && column && column->Kind() == TNxColumnKind::CheckBox) {
            UserToggleCheck(i.column(), i.row());
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void TNextGrid::wheelEvent(QWheelEvent* event)
{
    if (!FMouseWheel) {
        event->ignore();
        return;
    }
    QTableView::wheelEvent(event);
}

void TNextGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (OnDblClick)
        OnDblClick(this);
}

void TNextGrid::contextMenuEvent(QContextMenuEvent* event)
{
    if (FPopupMenu) {
        FPopupMenu->popup(event->globalPos());
        event->accept();
        return;
    }
    QTableView::contextMenuEvent(event);
}
