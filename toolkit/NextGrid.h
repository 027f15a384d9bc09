#pragma once
// The grid control: a table view over a column store (toolkit/NextGridModel.h)
// with text, number and check-box columns (toolkit/NextGridColumns.h).
#include "toolkit/Export.h"
#include "toolkit/NextGridColumns.h"
#include "toolkit/NextGridFilter.h"
#include "toolkit/NextGridModel.h"
#include "toolkit/GridSnapshot.h"
#include <QColor>
#include <QFlags>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <functional>

enum TGridOption {
    goHeader = 0x01,
    goSelectFullRow = 0x02,
    goGrid = 0x04,
    goFooter = 0x08,
    goIndicator = 0x10,
    goInput = 0x20,
    goMultiSelect = 0x40,
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridOptions)

enum TAppearanceOption {
    aoBoldTextSelection = 0x01,
    aoHighlightSlideCells = 0x02,
    aoAlphaBlendedSelection = 0x04,
};
Q_DECLARE_FLAGS(TAppearanceOptions, TAppearanceOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TAppearanceOptions)

// The system colour of menu bars, as the grid lines of the record grid use it.
TOOLKIT_EXPORT QColor clMenuBar();

// A handle on one cell, made on demand: the grid keeps no cell objects.
class TOOLKIT_EXPORT TNxCell {
public:
    TNxCell(TNextGrid* grid, int col, int row) : FGrid(grid), FCol(col), FRow(row) {}
    QString Text() const;
    void SetText(const QString& text);
    // The text read as a number; empty or non-numeric text reads as 0.
    double AsFloat() const;
    QColor Color() const;
    void SetColor(const QColor& color);
private:
    TNextGrid* FGrid;
    int FCol, FRow;
};

class TOOLKIT_EXPORT TNextGrid : public QTableView {
    Q_OBJECT
public:
    explicit TNextGrid(QWidget* parent = nullptr);
    ~TNextGrid() override;

    TNxColumns& Columns() { return FColumns; }
    const TNxColumns& Columns() const { return FColumns; }

    void ClearRows();
    void AddRows(int count);
    int RowCount() const;
    // The rows the view shows, in the order it shows them; the totals row, when
    // there is one, is shown last. Without a row filter every row is shown, in
    // store order. Cells(), SetCells() and RowCount() always address store rows.
    int ShownRowCount() const;
    int ShownRow(int index) const;   // store row of the index-th shown row; -1 when out of range
    bool IsRowShown(int row) const;
    // The row's place when it was loaded (AdoptCells, AddRows): a sort moves rows,
    // this stays. -1 out of range.
    int LoadedRow(int row) const;

    // The row filter: one condition per column (TNxFilterCondition tells what the
    // texts mean), kept under the column's name so that it outlives a rebuild of
    // the columns. A row is shown when every valid condition holds. Conditions
    // are applied when set and whenever rows are loaded; a cell written later
    // keeps its row shown or hidden until ReapplyFilter. SetColumnFilter is false
    // when the text is no valid condition for the column (kept, filtering nothing)
    // or the column does not exist or has check boxes.
    bool SetColumnFilter(int col, const QString& text);
    QString ColumnFilter(int col) const;
    bool ColumnFilterValid(int col) const;
    void ClearFilters();
    bool Filtered() const;   // some valid condition is in force
    void ReapplyFilter();

    // What the grid shows now, as a value (see toolkit/GridSnapshot.h).
    TGridSnapshot Snapshot() const;

    // Replaces every row by the given cells (made with as many columns as the
    // grid has, possibly on another thread); footerRow is the totals row or -1.
    void AdoptCells(TNxCellStore&& cells, int footerRow = -1);
    // Adds rows after the others (the parts of a load as they arrive), in place of
    // a totals row that was last; footerRow is the totals row among the new ones.
    // The rows already shown stay where they are on screen.
    void AppendCells(const TNxCellStore& cells, int footerRow = -1);

    // Nested; the view is told of the changes once, at the outermost end.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    // A row that is not shown cannot be selected: SelectRow ignores it.
    void SelectRow(int row);
    int SelectedRow() const;   // -1 when none
    // Store rows with a selected cell, in the order shown.
    QList<int> SelectedRows() const;
    // The selection as tab-separated text for a spreadsheet: a line of captions,
    // then one line per row of the stored values of the visible columns (check
    // boxes left out): whole rows when rows are selected, otherwise the block of
    // columns the selected cells span (cells not selected left empty). Empty when
    // nothing is selected.
    QString SelectionText() const;
    // Ctrl+C: puts SelectionText on the clipboard (when there is any) and returns it.
    QString CopySelection();

    // Program access: never refused. Out-of-range cells read as empty and ignore writes.
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);
    // The same text into the cells of those rows; the view is told once.
    void SetColumnCells(int col, const std::vector<int>& rows, const QString& text);
    TNxCell Cell(int col, int row) { return TNxCell(this, col, row); }
    double CellAsFloat(int col, int row) const;
    QColor CellColor(int col, int row) const;
    void SetCellColor(int col, int row, const QColor& color);
    // What the view shows: masked numbers, "[x]"/"[ ]" for check boxes.
    QString DisplayText(int col, int row) const;

    // A user's tick or untick of a check-box cell: allowed only on a column with
    // coEditing and when OnBeforeEdit accepts. Clicks, the space bar and scripts
    // all come through here. False when refused or not a check-box cell.
    bool UserToggleCheck(int col, int row);
    // Space: ticks the selected rows, or clears them when all are ticked; the
    // number of boxes changed. The totals row is never part of it.
    int UserTickSelectedRows();
    // Shift+click on a box: the shown rows from the row the user ticked last to
    // row are given the state that row was given (the totals row left out).
    // Without such a row it is a plain toggle of row. Boxes changed.
    int UserTickRange(int col, int row);
    int LastUserTickedRow() const { return FTickAnchor; }
    // A user's edit of a cell's text, through OnBeforeEdit like a tick.
    bool UserSetText(int col, int row, const QString& text);

    // The totals row: never sorted among the data, kept last. -1 for none.
    void SetFooterRow(int row);
    int FooterRow() const { return FFooterRow; }
    // Sorts the rows by the column's values (numbers as numbers).
    void SortByColumn(int col, bool ascending);
    // The latest sort (-1: none since the columns were made).
    int SortColumn() const { return FSortColumn; }
    bool SortAscending() const { return FSortAscending; }

    // The first Count columns stay in place when the grid scrolls sideways (a
    // view over the same rows laid over the grid's left edge); 0: none.
    void SetFrozenColumns(int Count);
    int FrozenColumns() const { return FFrozenCount; }
    QTableView* FrozenView() const { return FFrozen; }

    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions options);
    TAppearanceOptions AppearanceOptions() const { return FAppearance; }
    void SetAppearanceOptions(TAppearanceOptions options);
    int HeaderSize() const { return FHeaderSize; }
    void SetHeaderSize(int size);
    int RowSize() const { return FRowSize; }
    void SetRowSize(int size);
    QColor GridLinesColor() const { return FGridLinesColor; }
    void SetGridLinesColor(const QColor& color);
    void SetMouseWheelEnabled(bool enabled) { FMouseWheel = enabled; }
    bool MouseWheelEnabled() const { return FMouseWheel; }
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }

    // Each visible column as wide as its caption and the widest text of the shown
    // rows (of all of them, and the totals row), as the selected row paints
    // it, within MinFitWidth..MaxFitWidth. Check-box columns keep their width. A width
    // the user drags is taken into the column's Width() (columnResized).
    void FitColumnsToContent();
    // The advances of the font columns are fitted by, for ranking the rows of a
    // load by width where they are made (TNxCellStore::RankWidest).
    TNxAdvances TextAdvances() const;
    static constexpr int MinFitWidth = 24;
    static constexpr int MaxFitWidth = 420;
    int sizeHintForColumn(int column) const override;

signals:
    // The shown rows changed: a filter, a load, a sort.
    void shownRowsChanged();
    // A column's filter text changed (by SetColumnFilter or ClearFilters).
    void filterChanged();
    // Once after every tick operation of the user (a click, Space, a range).
    void ticksChanged();
    // The user sorted by a column (a click on its caption).
    void sortedByUser(int col, bool ascending);
    // The user resized a column (header drag or double-click on its edge).
    void columnResized(int col, int width);

public:
    std::function<void(TNextGrid* Sender, int ACol, int ARow, bool& Accept)> OnBeforeEdit;
    std::function<void(TNextGrid* Sender, QChar& Key)> OnKeyPress;
    std::function<void(TNextGrid* Sender)> OnDblClick;

    TNextGridModel* Model() const { return FModel; }
    // Shows Model's rows instead of the grid's own (which goes): only before the
    // grid has columns, and a model shows one grid. The model may outlive the
    // grid; it is empty then.
    void SetModel(TNextGridModel* Model);
    // Bytes held by the cell store, and the UTF-8 size of the texts it holds.
    qint64 StoreBytes() const;
    qint64 TextBytes() const;

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class TNxColumns;
    friend class TNxCustomColumn;
    friend class TNextGridModel;
    void ColumnAdded(TNxCustomColumn* column);
    void ColumnsCleared();
    void ApplyColumn(int index);
    void HeaderClicked(int section);
    void SectionResized(int section, int oldSize, int newSize);
    QString FilterKey(int col) const;
    std::vector<std::pair<int, TNxFilterCondition>> ActiveConditions() const;
    std::vector<int> SelectedViewRows() const;
    int KeyCheckColumn() const;
    int ContentWidth(int col) const;
    QFont FitFont() const;
    void TicksChangedByUser(int row, bool ticked);

    struct FilterText {
        QString key;
        QString text;
    };
    QList<FilterText> FFilters;
    int FTickAnchor = -1;        // store row of the user's latest tick, -1 none
    bool FAnchorTicked = true;   // what that tick did
    int FQuietWidths = 0;        // widths set by the grid itself, not the user

    TNxColumns FColumns;
    TNextGridModel* FModel = nullptr;
    bool FOwnsModel = false;
    void FollowModel();
    int FUpdateCount = 0;
    int FFooterRow = -1;
    TGridOptions FOptions = TGridOptions(goHeader) | goGrid;
    TAppearanceOptions FAppearance;
    int FHeaderSize = 20;
    int FRowSize = 18;
    QColor FGridLinesColor = Qt::lightGray;
    bool FMouseWheel = true;
    QPointer<QMenu> FPopupMenu;
    int FSortColumn = -1;
    bool FSortAscending = true;
    QTableView* FFrozen = nullptr;
    int FFrozenCount = 0;
    void UpdateFrozen();
};
