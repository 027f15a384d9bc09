#include "toolkit/NextGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QScrollBar>
#include <QWheelEvent>
#include <QHelpEvent>
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
            const int row = FGrid->Model()->StoreRow(index.row());
            box.state |= FGrid->Model()->TextIsTicked(index.column(), row) ? QStyle::State_On : QStyle::State_Off;
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
                const int row = FGrid->Model()->StoreRow(index.row());
                if (me->modifiers() & Qt::ShiftModifier)
                    FGrid->UserTickRange(index.column(), row);
                else
                    FGrid->UserToggleCheck(index.column(), row);
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
    FModel->FGrid = this;
    FOwnsModel = true;
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
    connect(hh, &QHeaderView::sectionResized, this, &TNextGrid::SectionResized);
    FollowModel();
    SetOptions(FOptions);
}

void TNextGrid::FollowModel()
{
    // The header forgets widths and hidden sections on a reset; give them back.
    connect(FModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] { ++FQuietWidths; });
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
        for (int i = 0; i < FColumns.Count(); ++i)
            ApplyColumn(i);
        --FQuietWidths;
        UpdateFrozen();
    });
    connect(FModel, &QAbstractItemModel::columnsInserted, this, [this] { UpdateFrozen(); });
}

void TNextGrid::SetModel(TNextGridModel* Model)
{
    if (!Model || Model == FModel || FColumns.Count() > 0 || Model->FGrid)
        return;
    TNextGridModel* old = std::exchange(FModel, Model);
    old->disconnect(this);
    Model->FGrid = this;
    setModel(Model);
    if (FFrozen) {
        FFrozen->setModel(Model);
        FFrozen->setSelectionModel(selectionModel());
    }
    if (FOwnsModel)
        delete old;
    FOwnsModel = false;
    FollowModel();
}

TNextGrid::~TNextGrid()
{
    // Whoever follows the header and the model (a filter row) must not be called
    // into a grid that is half gone.
    horizontalHeader()->blockSignals(true);
    FModel->disconnect(this);
    setModel(nullptr);
    if (FOwnsModel) {
        FModel->blockSignals(true);
        delete FModel;
    } else {
        // A model of its owner's outlives the grid, empty.
        FModel->Detach();
    }
    FModel = nullptr;
}

void TNextGrid::ColumnAdded(TNxCustomColumn* column)
{
    FModel->AddColumnStore();
    const int col = FColumns.IndexOf(column);
    ApplyColumn(col);
    // A condition kept under this column's name takes effect on rows already there.
    if (RowCount() > 0 && !ColumnFilter(col).isEmpty())
        FModel->ResetShown();
}

void TNextGrid::ColumnsCleared()
{
    FFooterRow = -1;
    FSortColumn = -1;
    FTickAnchor = -1;
    horizontalHeader()->setSortIndicatorShown(false);
    FModel->ClearColumns();
}

void TNextGrid::ApplyColumn(int index)
{
    const TNxCustomColumn* column = FColumns.Item(index);
    if (!column || !FModel || index >= FModel->columnCount() || FModel->Batched())
        return;
    ++FQuietWidths;
    setColumnHidden(index, !column->Visible());
    if (column->Visible())
        setColumnWidth(index, column->Width());
    --FQuietWidths;
    FModel->ColumnHeaderChanged(index);
}

void TNextGrid::SectionResized(int section, int oldSize, int newSize)
{
    Q_UNUSED(oldSize);
    TNxCustomColumn* column = FColumns.Item(section);
    if (!column || FQuietWidths > 0 || FModel->Batched() || newSize <= 0 || isColumnHidden(section))
        return;
    if (column->FWidth == newSize)
        return;
    column->FWidth = newSize;
    emit columnResized(section, newSize);
}

namespace {

// The frozen columns: a view of the grid's own model and selection laid over its
// left edge. It has no scrolling of its own: its rows sit where the grid's rows
// sit (the same top, the same scroll position and range, the same row heights),
// set again whenever the grid's geometry changes, and the wheel over it scrolls
// the grid.
class TNxFrozenView : public QTableView {
public:
    explicit TNxFrozenView(TNextGrid* grid) : QTableView(grid), FGrid(grid) {}

    void Follow()
    {
        QScrollBar* mine = verticalScrollBar();
        const QScrollBar* theirs = FGrid->verticalScrollBar();
        mine->setRange(theirs->minimum(), theirs->maximum());
        mine->setPageStep(theirs->pageStep());
        mine->setSingleStep(theirs->singleStep());
        mine->setValue(theirs->value());
    }

protected:
    void updateGeometries() override
    {
        QTableView::updateGeometries();
        Follow();
    }
    void scrollContentsBy(int dx, int dy) override
    {
        QTableView::scrollContentsBy(dx, dy);
        // A scroll of its own (the keyboard, a drag past the edge) moves the grid.
        if (dy != 0 && verticalScrollBar()->value() != FGrid->verticalScrollBar()->value())
            FGrid->verticalScrollBar()->setValue(verticalScrollBar()->value());
    }
    void wheelEvent(QWheelEvent* event) override
    {
        QWheelEvent copy(FGrid->viewport()->mapFromGlobal(event->globalPosition()), event->globalPosition(),
                         event->pixelDelta(), event->angleDelta(), event->buttons(), event->modifiers(),
                         event->phase(), event->inverted(), event->source());
        QApplication::sendEvent(FGrid->viewport(), &copy);
        event->setAccepted(copy.isAccepted());
    }

private:
    TNextGrid* FGrid;
};

}  // namespace

void TNextGrid::SetFrozenColumns(int Count)
{
    FFrozenCount = qMax(0, Count);
    if (FFrozenCount > 0 && !FFrozen) {
        auto* frozen = new TNxFrozenView(this);
        FFrozen = frozen;
        FFrozen->setObjectName(QStringLiteral("frozenColumns"));
        FFrozen->setModel(FModel);
        FFrozen->setSelectionModel(selectionModel());
        FFrozen->setItemDelegate(new TNxGridDelegate(this));
        FFrozen->setFocusPolicy(Qt::NoFocus);
        FFrozen->setFrameShape(QFrame::NoFrame);
        FFrozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FFrozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FFrozen->setVerticalScrollMode(verticalScrollMode());
        FFrozen->setWordWrap(false);
        FFrozen->setEditTriggers(editTriggers());
        FFrozen->verticalHeader()->hide();
        FFrozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        FFrozen->verticalHeader()->setMinimumSectionSize(1);
        FFrozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        FFrozen->horizontalHeader()->setHighlightSections(false);
        FFrozen->horizontalHeader()->setSectionsClickable(true);
        viewport()->stackUnder(FFrozen);
        // One scroll position: the grid's. Its range and steps follow too.
        connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen, [frozen] { frozen->Follow(); });
        connect(verticalScrollBar(), &QAbstractSlider::rangeChanged, frozen, [frozen] { frozen->Follow(); });
        connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int row, int, int size) {
            FFrozen->verticalHeader()->resizeSection(row, size);
        });
        connect(FFrozen->horizontalHeader(), &QHeaderView::sectionClicked, this, &TNextGrid::HeaderClicked);
        connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { UpdateFrozen(); });
        connect(horizontalHeader(), &QHeaderView::sectionMoved, this, [this] { UpdateFrozen(); });
        connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, [this] { UpdateFrozen(); });
    }
    UpdateFrozen();
}

void TNextGrid::UpdateFrozen()
{
    if (!FFrozen)
        return;
    // Whether the parts are hidden, not whether they are on screen now: this also
    // runs while the window is hidden, minimised or between two states.
    FFrozen->setHidden(FFrozenCount <= 0 || FModel->columnCount() <= 0);
    if (FFrozen->isHidden())
        return;
    FFrozen->setFont(font());
    FFrozen->setPalette(palette());
    FFrozen->setShowGrid(showGrid());
    FFrozen->setSelectionBehavior(selectionBehavior());
    FFrozen->setSelectionMode(selectionMode());
    // (A new default sizes every row anew: only when the grid's changed.)
    if (FFrozen->verticalHeader()->defaultSectionSize() != verticalHeader()->defaultSectionSize())
        FFrozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    const QHeaderView* h = horizontalHeader();
    // The grid's rows begin where its viewport does: the frozen header fills
    // exactly the room above it, so the two sets of rows share their top.
    const QRect rows = viewport()->geometry();
    const int headerHeight = qMax(0, rows.top() - frameWidth());
    FFrozen->horizontalHeader()->setHidden(h->isHidden() || headerHeight == 0);
    FFrozen->horizontalHeader()->setFixedHeight(headerHeight);
    FFrozen->horizontalHeader()->setSortIndicatorShown(h->isSortIndicatorShown());
    FFrozen->horizontalHeader()->setSortIndicator(h->sortIndicatorSection(), h->sortIndicatorOrder());
    int width = 0;
    for (int c = 0; c < FModel->columnCount(); ++c) {
        const bool frozen = h->visualIndex(c) < FFrozenCount && !isColumnHidden(c);
        FFrozen->setColumnHidden(c, !frozen);
        if (frozen) {
            FFrozen->setColumnWidth(c, columnWidth(c));
            width += columnWidth(c);
        }
    }
    FFrozen->setGeometry(rows.left(), frameWidth(), qMin(width, rows.width()), rows.bottom() + 1 - frameWidth());
    static_cast<TNxFrozenView*>(FFrozen)->Follow();
}

void TNextGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    UpdateFrozen();
}

void TNextGrid::updateGeometries()
{
    QTableView::updateGeometries();
    UpdateFrozen();
}

void TNextGrid::ClearRows()
{
    FFooterRow = -1;
    FTickAnchor = -1;
    FModel->ClearRows();
}

void TNextGrid::AddRows(int count) { FModel->AddRows(count); }

int TNextGrid::RowCount() const { return FModel->Rows(); }

void TNextGrid::AdoptCells(TNxCellStore&& cells, int footerRow)
{
    // The shown rows are worked out inside the model's reset, totals row included.
    const int saved = FFooterRow;
    FFooterRow = footerRow >= 0 && footerRow < cells.RowCount() ? footerRow : -1;
    try {
        FModel->AdoptCells(std::move(cells));
    } catch (...) {
        FFooterRow = saved;
        throw;
    }
    FTickAnchor = -1;
}

void TNextGrid::AppendCells(const TNxCellStore& cells, int footerRow) { FModel->AppendCells(cells, footerRow); }

int TNextGrid::ShownRowCount() const { return FModel->ShownCount(); }

int TNextGrid::ShownRow(int index) const { return FModel->StoreRow(index); }

TGridSnapshot TNextGrid::Snapshot() const
{
    TGridSnapshot s;
    s.Cells = FModel->Cells();
    const int count = FColumns.Count();
    const QHeaderView* header = horizontalHeader();
    // The header knows the order the user sees; while it is out of step with the
    // columns (inside a batch) the columns' own order is that order.
    const bool useHeader = header && header->count() == count;
    for (int v = 0; v < count; ++v) {
        const int c = useHeader ? header->logicalIndex(v) : v;
        const TNxCustomColumn* column = FColumns.Item(c);
        if (!column || !column->Visible() || column->Kind() == TNxColumnKind::CheckBox)
            continue;
        TGridSnapshot::Column info;
        info.Index = c;
        info.Name = column->Name();
        info.Caption = column->Header().Caption;
        info.HeaderAlignment = column->Header().Alignment;
        info.Alignment = column->Alignment();
        info.Number = column->Kind() == TNxColumnKind::Number;
        if (info.Number)
            info.FormatMask = static_cast<const TNxNumberColumn*>(column)->FormatMask();
        info.Width = column->Width();
        s.Columns.push_back(info);
    }
    const int shown = ShownRowCount();
    s.Rows.reserve(size_t(qMax(0, shown)));
    bool footerShown = false;
    for (int i = 0; i < shown; ++i) {
        const int r = ShownRow(i);
        if (r < 0)
            continue;
        if (r == FFooterRow)
            footerShown = true;
        else
            s.Rows.push_back(r);
    }
    if (footerShown) {
        s.Rows.push_back(FFooterRow);
        s.FooterRow = FFooterRow;
    }
    return s;
}

int TNextGrid::LoadedRow(int row) const
{
    return FModel->Cells().Origin(row);
}

bool TNextGrid::IsRowShown(int row) const { return FModel->ViewRow(row) >= 0; }

// ---------------------------------------------------------------- row filter

QString TNextGrid::FilterKey(int col) const
{
    const TNxCustomColumn* column = FColumns.Item(col);
    if (!column)
        return {};
    return column->Name().isEmpty() ? QStringLiteral("#%1").arg(col) : column->Name().toLower();
}

bool TNextGrid::SetColumnFilter(int col, const QString& text)
{
    const TNxCustomColumn* column = FColumns.Item(col);
    if (!column)
        return false;
    const QString key = FilterKey(col);
    const QString kept = text.trimmed().isEmpty() ? QString() : text;
    auto it = std::find_if(FFilters.begin(), FFilters.end(), [&key](const FilterText& f) { return f.key == key; });
    const QString before = it == FFilters.end() ? QString() : it->text;
    if (kept.isEmpty()) {
        if (it != FFilters.end())
            FFilters.erase(it);
    } else if (it == FFilters.end()) {
        FFilters.append({key, kept});
    } else {
        it->text = kept;
    }
    const bool valid = ColumnFilterValid(col) && column->Kind() != TNxColumnKind::CheckBox;
    if (before != kept) {
        // Only a change of what is in force costs a pass over the rows.
        const TNxFilterCondition was = TNxFilterCondition::ForColumn(column, before);
        const TNxFilterCondition now = TNxFilterCondition::ForColumn(column, kept);
        if (was.Active() || now.Active())
            FModel->ResetShown();
        emit filterChanged();
    }
    return valid;
}

QString TNextGrid::ColumnFilter(int col) const
{
    const QString key = FilterKey(col);
    for (const FilterText& f : FFilters)
        if (f.key == key)
            return f.text;
    return {};
}

bool TNextGrid::ColumnFilterValid(int col) const
{
    return TNxFilterCondition::ForColumn(FColumns.Item(col), ColumnFilter(col)).Valid();
}

void TNextGrid::ClearFilters()
{
    if (FFilters.isEmpty())
        return;
    const bool active = Filtered();
    FFilters.clear();
    if (active)
        FModel->ResetShown();
    emit filterChanged();
}

bool TNextGrid::Filtered() const { return !ActiveConditions().empty(); }

void TNextGrid::ReapplyFilter() { FModel->ResetShown(); }

std::vector<std::pair<int, TNxFilterCondition>> TNextGrid::ActiveConditions() const
{
    std::vector<std::pair<int, TNxFilterCondition>> out;
    if (FFilters.isEmpty())
        return out;
    for (int c = 0; c < FColumns.Count() && c < FModel->columnCount(); ++c) {
        const QString text = ColumnFilter(c);
        if (text.isEmpty())
            continue;
        TNxFilterCondition condition = TNxFilterCondition::ForColumn(FColumns.Item(c), text);
        if (condition.Active())
            out.emplace_back(c, std::move(condition));
    }
    return out;
}

void TNextGrid::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        FModel->BeginBatch();
}

void TNextGrid::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0) {
        FTickAnchor = -1;
        FModel->EndBatch();
    }
}

void TNextGrid::SelectRow(int row)
{
    const int view = FModel->ViewRow(row);
    if (view < 0 || FColumns.Count() == 0)
        return;
    int col = 0;
    while (col < FColumns.Count() && isColumnHidden(col))
        ++col;
    if (col >= FColumns.Count())
        col = 0;
    const QModelIndex i = FModel->index(view, col);
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
        return FModel->StoreRow(i.row());
    return sm->hasSelection() ? FModel->StoreRow(sm->selection().first().top()) : -1;
}

std::vector<int> TNextGrid::SelectedViewRows() const
{
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& r : selectionModel()->selection())
        spans.emplace_back(r.top(), r.bottom());
    std::sort(spans.begin(), spans.end());
    std::vector<int> rows;
    int next = 0;   // spans may overlap: rows below next are taken
    for (const auto& [top, bottom] : spans) {
        for (int v = std::max(top, next); v <= bottom; ++v)
            rows.push_back(v);
        next = std::max(next, bottom + 1);
    }
    return rows;
}

QList<int> TNextGrid::SelectedRows() const
{
    QList<int> out;
    for (int v : SelectedViewRows())
        out.append(FModel->StoreRow(v));
    return out;
}

QString TNextGrid::SelectionText() const
{
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty())
        return {};
    const int lastCol = FModel->columnCount() - 1;
    bool wholeRows = selectionBehavior() == QAbstractItemView::SelectRows;
    if (!wholeRows) {
        wholeRows = true;
        for (const QItemSelectionRange& r : selection)
            if (r.left() > 0 || r.right() < lastCol)
                wholeRows = false;
    }
    QList<int> cols;
    for (int c = 0; c <= lastCol; ++c) {
        const TNxCustomColumn* column = FColumns.Item(c);
        if (!column || !column->Visible() || isColumnHidden(c) || column->Kind() == TNxColumnKind::CheckBox)
            continue;
        bool spanned = wholeRows;
        for (qsizetype k = 0; !spanned && k < selection.size(); ++k)
            spanned = selection[k].left() <= c && c <= selection[k].right();
        if (spanned)
            cols.append(c);
    }
    if (cols.isEmpty())
        return {};
    // A cell's own tabs and line breaks would break the table apart; a text that
    // a spreadsheet would take for a formula (=, +, -, @) is kept text by a
    // leading apostrophe, as the CSV export does. Numbers go as they are.
    auto clean = [](QString text, bool number = false) {
        for (QChar& ch : text)
            if (ch == QLatin1Char('\t') || ch == QLatin1Char('\n') || ch == QLatin1Char('\r'))
                ch = QLatin1Char(' ');
        if (!number && !text.isEmpty()
            && QStringView(u"=+-@").contains(text.front()))
            text.prepend(QLatin1Char('\''));
        return text;
    };
    QString out;
    for (qsizetype k = 0; k < cols.size(); ++k) {
        if (k > 0)
            out += QLatin1Char('\t');
        out += clean(FColumns.Item(cols[k])->Header().Caption);
    }
    out += QLatin1Char('\n');
    const bool oneBlock = selection.size() == 1;
    for (int v : SelectedViewRows()) {
        const int row = FModel->StoreRow(v);
        for (qsizetype k = 0; k < cols.size(); ++k) {
            if (k > 0)
                out += QLatin1Char('\t');
            if (wholeRows || oneBlock || selectionModel()->isSelected(FModel->index(v, cols[k]))) {
                bool number = false;
                if (FColumns.Item(cols[k])->Kind() == TNxColumnKind::Number)
                    FModel->Number(cols[k], row, &number);
                out += clean(Cells(cols[k], row), number);
            }
        }
        out += QLatin1Char('\n');
    }
    return out;
}

QString TNextGrid::CopySelection()
{
    QString text;
    try {
        text = SelectionText();
    } catch (const std::bad_alloc&) {
        // A selection too large to copy leaves the clipboard as it was.
        return {};
    }
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
    return text;
}

QString TNextGrid::Cells(int col, int row) const { return FModel->Text(col, row); }

void TNextGrid::SetColumnCells(int col, const std::vector<int>& rows, const QString& text)
{
    FModel->SetTexts(col, rows, text);
}

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
    const bool tick = !FModel->TextIsTicked(col, row);
    if (FModel->UserSetChecks(col, {row}, tick) == 0)
        return false;
    TicksChangedByUser(row, tick);
    return true;
}

void TNextGrid::TicksChangedByUser(int row, bool ticked)
{
    FTickAnchor = row;
    FAnchorTicked = ticked;
    emit ticksChanged();
}

int TNextGrid::KeyCheckColumn() const
{
    auto usable = [this](int c) {
        const TNxCustomColumn* column = FColumns.Item(c);
        return column && column->Kind() == TNxColumnKind::CheckBox && (column->Options() & coEditing)
               && column->Visible();
    };
    const int current = currentIndex().isValid() ? currentIndex().column() : -1;
    if (usable(current))
        return current;
    for (int c = 0; c < FColumns.Count(); ++c)
        if (usable(c))
            return c;
    return -1;
}

int TNextGrid::UserTickSelectedRows()
{
    const int col = KeyCheckColumn();
    if (col < 0)
        return 0;
    std::vector<int> rows;
    for (int v : SelectedViewRows()) {
        const int row = FModel->StoreRow(v);
        if (row >= 0 && row != FFooterRow)
            rows.push_back(row);
    }
    // Nothing selected: the box of the current row, as a plain Space always did.
    const QModelIndex cur = currentIndex();
    const int currentRow = cur.isValid() ? FModel->StoreRow(cur.row()) : -1;
    if (rows.empty() && currentRow >= 0 && currentRow != FFooterRow && cur.column() == col)
        rows.push_back(currentRow);
    if (rows.empty())
        return 0;
    const bool allTicked = std::all_of(rows.begin(), rows.end(), [&](int r) { return FModel->TextIsTicked(col, r); });
    const int changed = FModel->UserSetChecks(col, rows, !allTicked);
    if (changed > 0) {
        const bool currentIn = std::find(rows.begin(), rows.end(), currentRow) != rows.end();
        TicksChangedByUser(currentIn ? currentRow : rows.back(), !allTicked);
    }
    return changed;
}

int TNextGrid::UserTickRange(int col, int row)
{
    const TNxCustomColumn* column = FColumns.Item(col);
    if (!column || column->Kind() != TNxColumnKind::CheckBox || row < 0 || row >= RowCount())
        return 0;
    const int from = FModel->ViewRow(FTickAnchor);
    const int to = FModel->ViewRow(row);
    if (from < 0 || to < 0 || FTickAnchor == row)
        return UserToggleCheck(col, row) ? 1 : 0;
    std::vector<int> rows;
    for (int v = std::min(from, to); v <= std::max(from, to); ++v) {
        const int r = FModel->StoreRow(v);
        if (r != FFooterRow)
            rows.push_back(r);
    }
    const bool tick = FAnchorTicked;
    const int changed = FModel->UserSetChecks(col, rows, tick);
    if (changed > 0)
        TicksChangedByUser(row, tick);
    return changed;
}

bool TNextGrid::UserSetText(int col, int row, const QString& text)
{
    const TNxCustomColumn* column = FColumns.Item(col);
    if (!column || row < 0 || row >= RowCount() || !(column->Options() & coEditing))
        return false;
    bool accept = true;
    if (OnBeforeEdit)
        OnBeforeEdit(this, col, row, accept);
    if (!accept)
        return false;
    FModel->SetText(col, row, text);
    return true;
}

void TNextGrid::SetFooterRow(int row)
{
    const int footer = row >= 0 && row < RowCount() ? row : -1;
    if (footer == FFooterRow)
        return;
    FFooterRow = footer;
    // A totals row is shown last wherever it sits in the store.
    if (!FModel->Batched() && (FModel->FMapped || (footer >= 0 && footer != RowCount() - 1)))
        FModel->ResetShown();
}

void TNextGrid::SortByColumn(int col, bool ascending)
{
    if (col < 0 || col >= FColumns.Count())
        return;
    FTickAnchor = -1;
    FModel->SortRows(col, ascending, FFooterRow);
    if (FFooterRow >= 0)
        FFooterRow = RowCount() - 1;
    FSortColumn = col;
    FSortAscending = ascending;
    horizontalHeader()->setSortIndicatorShown(true);
    // Qt's header draws AscendingOrder as an arrow pointing down; a business
    // grid's arrow points up for a sort from small to large.
    horizontalHeader()->setSortIndicator(col, ascending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TNextGrid::HeaderClicked(int section)
{
    const TNxCustomColumn* column = FColumns.Item(section);
    if (!column || !(column->Options() & coCanSort) || !(column->Options() & coCanClick))
        return;
    const bool ascending = section == FSortColumn ? !FSortAscending : true;
    SortByColumn(section, ascending);
    emit sortedByUser(section, ascending);
}

void TNextGrid::SetOptions(TGridOptions options)
{
    FOptions = options;
    horizontalHeader()->setVisible(options & goHeader);
    verticalHeader()->setVisible(options & goIndicator);
    setShowGrid(options & goGrid);
    setSelectionBehavior((options & goSelectFullRow) ? QAbstractItemView::SelectRows
                                                     : QAbstractItemView::SelectItems);
    // Full rows are picked as a spreadsheet's are: Shift and Ctrl with clicks and arrows.
    setSelectionMode((options & (goMultiSelect | goSelectFullRow)) ? QAbstractItemView::ExtendedSelection
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

bool TNextGrid::viewportEvent(QEvent* event)
{
    // A cell too narrow for its text shows the whole text when pointed at.
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const int row = index.isValid() ? FModel->StoreRow(index.row()) : -1;
        const TNxCustomColumn* column = index.isValid() ? FColumns.Item(index.column()) : nullptr;
        if (column && row >= 0 && column->Kind() != TNxColumnKind::CheckBox) {
            const QString text = DisplayText(index.column(), row);
            QFont font = this->font();
            if ((FAppearance & aoBoldTextSelection) && row == SelectedRow())
                font.setBold(true);
            const int room = columnWidth(index.column()) - 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
            if (!text.isEmpty() && QFontMetrics(font).horizontalAdvance(text) > room) {
                QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QTableView::viewportEvent(event);
}

bool TNextGrid::event(QEvent* event)
{
    // These keys are the grid's while it has the focus, whatever a window's
    // short-cuts say.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)
            || (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && KeyCheckColumn() >= 0)) {
            event->accept();
            return true;
        }
    }
    const bool done = QTableView::event(event);
    // Shown again (a restore, a maximise, a tab brought back): the frozen
    // columns take the geometry of now, whatever happened while hidden.
    if (event->type() == QEvent::Show)
        UpdateFrozen();
    return done;
}

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
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll) && selectionMode() == QAbstractItemView::ExtendedSelection) {
        selectAll();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && KeyCheckColumn() >= 0) {
        UserTickSelectedRows();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TNextGrid::wheelEvent(QWheelEvent* event)
{
    // The wheel always scrolls the rows. With MouseWheel on it also moves the
    // selected row a row a notch, as the keyboard's arrows do.
    QTableView::wheelEvent(event);
    const int notches = event->angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
    if (FMouseWheel && notches != 0 && FModel->ShownCount() > 0) {
        const QModelIndex at = currentIndex();
        const int row = qBound(0, (at.isValid() ? at.row() : 0) - notches, FModel->ShownCount() - 1);
        setCurrentIndex(FModel->index(row, at.isValid() ? at.column() : 0));
    }
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

// ------------------------------------------------------------- column widths

QFont TNextGrid::FitFont() const
{
    // The selected row is painted bold: its text must fit too.
    QFont font = this->font();
    if (FAppearance & aoBoldTextSelection)
        font.setBold(true);
    return font;
}

TNxAdvances TNextGrid::TextAdvances() const
{
    const QFontMetrics fm(FitFont());
    TNxAdvances a;
    for (int c = 0; c < 128; ++c)
        a.Ascii[c] = fm.horizontalAdvance(QChar(c));
    a.Wide = fm.horizontalAdvance(QChar(0x4E2D));
    return a;
}

int TNextGrid::ContentWidth(int col) const
{
    const TNxCustomColumn* column = FColumns.Item(col);
    if (!column)
        return 0;
    const QFontMetrics fm(FitFont());
    // Laying text out is the dear part: rows are ranked by an estimate of their
    // width made from their UTF-8 bytes, and only the widest few are laid out
    // whole. A load ranks its rows on its worker; rows a filter narrowed, or cells
    // written since, are ranked here.
    const bool masked = column->Kind() != TNxColumnKind::Text;   // numbers show grouped: estimate the shown text
    const TNxCellStore& cells = FModel->Cells();
    const bool all = ShownRowCount() == RowCount();
    const std::vector<int>* ranked = all ? cells.WidestRows(col) : nullptr;
    std::vector<int> rows;
    if (ranked) {
        rows = *ranked;
    } else {
        std::vector<int> shown;
        for (int v = 0; !all && v < ShownRowCount(); ++v)
            shown.push_back(ShownRow(v));
        rows = cells.Widest(col, TextAdvances(), masked, FFooterRow, 12, all ? nullptr : &shown);
    }
    int widest = 0;
    for (const int row : rows)
        widest = std::max(widest, fm.horizontalAdvance(column->DisplayText(Cells(col, row))));
    if (FFooterRow >= 0)
        widest = std::max(widest, fm.horizontalAdvance(column->DisplayText(Cells(col, FFooterRow))));
    // The item view's text margins on both sides, the grid line, and some air.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return widest + 2 * margin + (showGrid() ? 1 : 0) + 6;
}

int TNextGrid::sizeHintForColumn(int column) const
{
    const TNxCustomColumn* c = FColumns.Item(column);
    if (!c || c->Kind() == TNxColumnKind::CheckBox)
        return QTableView::sizeHintForColumn(column);
    return std::clamp(ContentWidth(column), MinFitWidth, MaxFitWidth);
}

void TNextGrid::FitColumnsToContent()
{
    const QHeaderView* hh = horizontalHeader();
    const QFontMetrics hf(hh->font());
    const int headerMargin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, hh);
    const int mark = style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, hh);
    for (int c = 0; c < FColumns.Count(); ++c) {
        TNxCustomColumn* column = FColumns.Item(c);
        if (!column->Visible() || column->Kind() == TNxColumnKind::CheckBox)
            continue;
        int caption = hf.horizontalAdvance(column->Header().Caption) + 2 * headerMargin + 4;
        // Room for the sort arrow once the column is sorted.
        if ((column->Options() & coCanSort) && (column->Options() & coCanClick))
            caption += mark + headerMargin;
        const int width = std::clamp(std::max(caption, ContentWidth(c)), MinFitWidth, MaxFitWidth);
        column->SetWidth(width);
    }
}
