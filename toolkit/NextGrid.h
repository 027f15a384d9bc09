#pragma once
// The grid control: a table view over a column store. Cell texts are kept per
// column as UTF-8 in one pool with one offset per cell, so a grid of a million
// rows holds no object per cell; only the visible cells are decoded for painting.
#include "toolkit/Export.h"
#include <QAbstractTableModel>
#include <QColor>
#include <QFlags>
#include <QHash>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

#include <QMenu>
class TNextGrid;
class TNextGridModel;

enum TColumnOption {
    coCanClick = 0x01,
    coCanInput = 0x02,
    coCanSort = 0x04,
    coEditing = 0x08,
    coPublicUsing = 0x10,
    coAutoSize = 0x20,
    coFixedSize = 0x40,
};
Q_DECLARE_FLAGS(TColumnOptions, TColumnOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TColumnOptions)

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

enum class TNxColumnKind { Text, Number, CheckBox };

struct TNxColumnHeader {
    QString Caption;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

// A column's settings. The cells themselves live in the grid's model.
class TOOLKIT_EXPORT TNxCustomColumn {
public:
    virtual ~TNxCustomColumn();
    virtual TNxColumnKind Kind() const = 0;
    // What the view shows for a cell whose stored text is `text`.
    virtual QString DisplayText(const QString& text) const { return text; }

    QString Name() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    const TNxColumnHeader& Header() const { return FHeader; }
    void SetHeaderCaption(const QString& caption);
    void SetHeaderAlignment(Qt::Alignment alignment);
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    int Width() const { return FWidth; }
    void SetWidth(int width);
    Qt::Alignment Alignment() const { return FAlignment; }
    void SetAlignment(Qt::Alignment alignment);
    TColumnOptions Options() const { return FOptions; }
    void SetOptions(TColumnOptions options) { FOptions = options; }
    TNextGrid* Grid() const { return FGrid; }
    int Index() const;

protected:
    TNxCustomColumn(Qt::Alignment alignment);
    void Changed();   // the grid shows the new settings

private:
    friend class TNxColumns;
    TNextGrid* FGrid = nullptr;
    QString FName;
    TNxColumnHeader FHeader;
    bool FVisible = true;
    int FWidth = 75;
    Qt::Alignment FAlignment;
    TColumnOptions FOptions = TColumnOptions(coCanClick) | coCanSort | coPublicUsing;
};

class TOOLKIT_EXPORT TNxTextColumn : public TNxCustomColumn {
public:
    TNxTextColumn();
    TNxColumnKind Kind() const override { return TNxColumnKind::Text; }
};

// Shows its cells through FormatMask; the cell keeps the text as written.
class TOOLKIT_EXPORT TNxNumberColumn : public TNxCustomColumn {
public:
    TNxNumberColumn();
    TNxColumnKind Kind() const override { return TNxColumnKind::Number; }
    QString DisplayText(const QString& text) const override;
    QString FormatMask() const { return FFormatMask; }
    void SetFormatMask(const QString& mask);
private:
    QString FFormatMask;
};

// A ticked box reads exactly "True"; any other text is an empty box.
class TOOLKIT_EXPORT TNxCheckBoxColumn : public TNxCustomColumn {
public:
    TNxCheckBoxColumn();
    TNxColumnKind Kind() const override { return TNxColumnKind::CheckBox; }
    QString DisplayText(const QString& text) const override;
    static bool IsTicked(QStringView text) { return text == QLatin1String("True"); }
};

// Formats a number with a mask of the "#,##0.00" family: grouping when the mask
// holds ',', as many decimals as the mask has digits after '.'. Text that is not
// a number is returned unchanged.
TOOLKIT_EXPORT QString FormatNumberMask(const QString& mask, const QString& text);

// The grid's column collection; owns its columns.
class TOOLKIT_EXPORT TNxColumns {
public:
    explicit TNxColumns(TNextGrid* grid) : FGrid(grid) {}
    ~TNxColumns();
    TNxColumns(const TNxColumns&) = delete;
    TNxColumns& operator=(const TNxColumns&) = delete;

    void Clear();
    int Count() const { return int(FItems.size()); }
    // Appends the column (taking ownership) and gives it an empty cell in every row.
    TNxCustomColumn* Add(TNxCustomColumn* column);
    TNxCustomColumn* Item(int index) const;
    TNxCustomColumn* operator[](int index) const { return Item(index); }
    // Index of the first column of that name, letter case aside; -1 when none.
    int FindByName(const QString& name) const;
    int IndexOf(const TNxCustomColumn* column) const;

private:
    friend class TNextGridModel;
    TNextGrid* FGrid;
    std::vector<std::unique_ptr<TNxCustomColumn>> FItems;
};

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

    // Nested; the view is told of the changes once, at the outermost end.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    void SelectRow(int row);
    int SelectedRow() const;   // -1 when none

    // Program access: never refused. Out-of-range cells read as empty and ignore writes.
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);
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
    // A user's edit of a cell's text, through OnBeforeEdit like a tick.
    bool UserSetText(int col, int row, const QString& text);

    // The totals row: never sorted among the data, kept last. -1 for none.
    void SetFooterRow(int row);
    int FooterRow() const { return FFooterRow; }
    // Sorts the rows by the column's values (numbers as numbers).
    void SortByColumn(int col, bool ascending);

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

    std::function<void(TNextGrid* Sender, int ACol, int ARow, bool& Accept)> OnBeforeEdit;
    std::function<void(TNextGrid* Sender, QChar& Key)> OnKeyPress;
    std::function<void(TNextGrid* Sender)> OnDblClick;

    TNextGridModel* Model() const { return FModel; }
    // Bytes held by the cell store, and the UTF-8 size of the texts it holds.
    qint64 StoreBytes() const;
    qint64 TextBytes() const;

protected:
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

    TNxColumns FColumns;
    TNextGridModel* FModel = nullptr;
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
};

// The column store behind the view. Changes made inside a batch of the grid
// are announced as one reset when the batch ends.
class TOOLKIT_EXPORT TNextGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TNextGridModel(TNextGrid* grid);
    ~TNextGridModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Raw store access for the grid.
    int Rows() const { return FRows; }
    QString Text(int col, int row) const;
    bool TextIsTicked(int col, int row) const;
    double Number(int col, int row, bool* ok = nullptr) const;
    void SetText(int col, int row, QStringView text);
    QColor Color(int col, int row) const;
    void SetColor(int col, int row, const QColor& color);
    qint64 StoreBytes() const;
    qint64 TextBytes() const;

private:
    friend class TNextGrid;
    struct ColumnStore;
    bool Batched() const;
    void BeginBatch();
    void EndBatch();
    void AddColumnStore();
    void ClearColumns();
    void ClearRows();
    void AddRows(int count);
    void CompactColumn(ColumnStore& c);
    void SortRows(int col, bool ascending, int footerRow);
    void ColumnHeaderChanged(int col);

    TNextGrid* FGrid;
    std::vector<ColumnStore> FStores;
    int FRows = 0;
    QHash<quint64, QColor> FColors;   // only cells whose colour was set
    bool FResetting = false;
};
