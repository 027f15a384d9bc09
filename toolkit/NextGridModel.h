#pragma once
// The cells of the grid and the item model over them. Cell texts are kept per
// column as UTF-8 in one pool with one offset per cell, so a grid of a million
// rows holds no object per cell; only the visible cells are decoded for painting.
#include "toolkit/Export.h"
#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QColor>
#include <QHash>
#include <functional>
#include <memory>
#include <vector>

class TNextGrid;

// The advances of a font's characters, for ranking texts by width without laying
// them out: each ASCII character's own, and an ideograph's for any other.
struct TNxAdvances {
    int Ascii[128] = {};
    int Wide = 0;
    // The estimated width of a UTF-8 text; Masked: a number shown grouped, with
    // the separators and decimals its mask adds.
    int Estimate(QByteArrayView utf8, bool Masked) const
    {
        int estimate = 0;
        for (const char b : utf8) {
            const auto u = static_cast<unsigned char>(b);
            if (u < 0x80)
                estimate += Ascii[u];
            else if (u >= 0xC0)
                estimate += Wide;
        }
        return Masked ? estimate + estimate / 3 : estimate;
    }
};

// The cells of a grid: texts column by column, and the colours of the cells that
// have one. A plain object: it may be filled away from the grid (on a worker
// thread, for a large load) and handed to the grid whole (TNextGrid::AdoptCells).
// A copy shares the columns with its original until either writes one (then that
// column is copied): a snapshot of a large grid costs little. A copy that another
// thread reads is given back on the thread that owns the original.
class TOOLKIT_EXPORT TNxCellStore {
public:
    TNxCellStore() = default;
    explicit TNxCellStore(int columns);

    int ColumnCount() const { return int(FColumns.size()); }
    int RowCount() const { return FRows; }
    void AddColumn();
    // Appends empty rows; throws std::length_error beyond the grid's row range.
    void AddRows(int count);
    void ClearRows();
    // Drops the rows from count on (the room a fill took ahead of need).
    void TruncateRows(int count);
    // Adds the rows of more (as many columns) after these: the rows of a load
    // that arrive in parts. A column ranked in both stays ranked by the rows
    // ranked in either.
    void Append(const TNxCellStore& more);
    // A store of its own with count rows from row from on (their colours too).
    TNxCellStore Slice(int from, int count) const;
    void Clear();   // columns too

    // Out-of-range cells read as empty and ignore writes (the setters say false).
    QString Text(int col, int row) const;
    QByteArrayView Utf8(int col, int row) const;   // valid until the cell or store changes
    bool TextIsTicked(int col, int row) const;
    double Number(int col, int row, bool* ok = nullptr) const;   // 0 when not a number
    bool SetText(int col, int row, QStringView text);
    QColor Color(int col, int row) const;
    bool SetColor(int col, int row, const QColor& color);

    // Row i takes what row order[i] held (order is a permutation of the rows).
    void Reorder(const std::vector<int>& order);
    // Where a row was when the rows were added: rows keep their first place
    // through every Reorder (a sort), so that a row of the grid can be traced to
    // the record it was loaded from.
    int Origin(int row) const
    {
        return row < 0 || row >= FRows ? -1 : FOrigin.empty() ? row : FOrigin[size_t(row)];
    }
    // Gives back the growth slack of a finished fill.
    void Squeeze();
    // Ranks a column's rows by their texts' estimated widths and keeps the Count
    // widest (SkipRow aside: the totals row), so that fitting the column lays out
    // only those: done where the cells are made, on the worker for a load. Kept
    // until the column is written or the rows change.
    void RankWidest(int col, const TNxAdvances& Advances, bool Masked, int SkipRow, size_t Count);
    // The Count rows of a column (of Among, or all) whose texts are estimated
    // widest, SkipRow aside.
    std::vector<int> Widest(int col, const TNxAdvances& Advances, bool Masked, int SkipRow, size_t Count,
                            const std::vector<int>* Among = nullptr) const;
    // The rows RankWidest kept, or null when the column has none now.
    const std::vector<int>* WidestRows(int col) const;
    qint64 StoreBytes() const;
    qint64 TextBytes() const;

private:
    struct Column {
        std::vector<quint32> at;   // per row: where its entry starts in pool; 0 = the empty text
        std::vector<char> pool{char(0)};
        qint64 garbage = 0;        // bytes of entries no row points at any more
        qint64 text = 0;           // UTF-8 bytes of the live texts
        std::vector<int> widest;   // RankWidest's rows while ranked
        bool ranked = false;
    };
    bool Valid(int col, int row) const
    {
        return col >= 0 && col < int(FColumns.size()) && row >= 0 && row < FRows;
    }
    static void Compact(Column& c);
    Column& Own(size_t col);   // the column, made this store's own before a write (unranked)

    std::vector<std::shared_ptr<Column>> FColumns;
    int FRows = 0;
    std::vector<int> FOrigin;   // empty while every row is in its first place
    QHash<quint64, QColor> FColors;   // only cells whose colour was set
};

// Where the ticks of a grid's check-box column live when they are not its cells'
// texts: with the records its rows stand for, by each row's load place (a sort
// moves rows, their load place stays), so that every view of the rows reads the
// same ticks. A row whose tick was never written reads as its cell (the load's
// text); then the text written last: "True" ticked, an untick ("false", "False").
class TOOLKIT_EXPORT TNxTickSource {
public:
    virtual ~TNxTickSource() = default;
    // 1 ticked, 0 unticked, -1 never written (the cell's text holds).
    virtual int Ticked(int LoadedRow) const = 0;
    // The text written last; null when never.
    virtual QString TickText(int LoadedRow) const = 0;
    virtual void SetTickText(int LoadedRow, QStringView Text) = 0;
};

// The item model behind the view: the rows, the totals row, the filter row's
// selection of shown rows and the sort. A grid makes its own; an owner of rows
// (a model of its records that derives from this one) may give the grid its own
// instead (TNextGrid::SetModel), before the grid has columns. Changes made inside
// a batch of the grid are announced as one reset when the batch ends.
class TOOLKIT_EXPORT TNextGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TNextGridModel(QObject* parent = nullptr);
    ~TNextGridModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Raw store access for the grid.
    const TNxCellStore& Cells() const { return FCells; }
    int Rows() const { return FCells.RowCount(); }
    QString Text(int col, int row) const
    {
        QString text = TickColumn(col) ? FTickSource->TickText(FCells.Origin(row)) : QString();
        return text.isNull() ? FCells.Text(col, row) : text;
    }
    bool TextIsTicked(int col, int row) const
    {
        const int t = TickColumn(col) && row >= 0 && row < Rows() ? FTickSource->Ticked(FCells.Origin(row)) : -1;
        return t < 0 ? FCells.TextIsTicked(col, row) : t == 1;
    }
    // The ticks of check-box column col are Source's from now on (null: the
    // cells' again). Kept until the columns are cleared.
    void SetTickSource(int col, TNxTickSource* Source);
    double Number(int col, int row, bool* ok = nullptr) const { return FCells.Number(col, row, ok); }
    void SetText(int col, int row, QStringView text);
    QColor Color(int col, int row) const { return FCells.Color(col, row); }
    void SetColor(int col, int row, const QColor& color);
    qint64 StoreBytes() const;
    qint64 TextBytes() const { return FCells.TextBytes(); }

    // The model's rows are the rows the view shows; the store keeps them all.
    // Without a row filter they are the store's rows, in its order.
    int ShownCount() const { return FMapped ? int(FShown.size()) : Rows(); }
    int StoreRow(int viewRow) const;   // -1 out of range
    int ViewRow(int storeRow) const;   // -1 when not shown
    // The store row of the totals row, -1 when none (or the model shows no grid).
    int FooterRow() const;
    // The check-box column whose ticks a tick source keeps, -1 when none.
    int TickColumnIndex() const { return FTickSource ? FTickCol : -1; }

protected:
    // A program's write of one text into many cells of a column, announced once.
    void SetTexts(int col, const std::vector<int>& rows, QStringView text);

private:
    friend class TNextGrid;
    bool Batched() const;
    void BeginBatch();
    void EndBatch();
    void AddColumnStore();
    void ClearColumns();
    void ClearRows();
    void AddRows(int count);
    // Replaces every row by those of cells, which has as many columns.
    void AdoptCells(TNxCellStore&& cells);
    // Adds the rows of cells after the others, in place of a totals row that was
    // last; footer is the new totals row among them, -1 for none.
    void AppendCells(const TNxCellStore& cells, int footer);
    void SortRows(int col, bool ascending, int footerRow);
    void ColumnHeaderChanged(int col);

    // Which rows pass the grid's conditions; the totals row always, last.
    void ComputeShown();
    // Runs change (which may alter the store) and recomputes the shown rows in
    // one reset, keeping the view's selection and current row where they stay shown.
    void ResetShown(const std::function<void()>& change = {});
    void ShownChanged();
    // A user's tick of store rows through the grid's edit gate; how many changed.
    int UserSetChecks(int col, const std::vector<int>& rows, bool tick);
    // The grid goes first: the model shows nothing from then on.
    void Detach();

    bool TickColumn(int col) const { return FTickSource && col == FTickCol; }
    // A program's or user's write of one cell, ticks to their source.
    bool WriteCell(int col, int row, QStringView text);

    TNextGrid* FGrid = nullptr;
    TNxCellStore FCells;
    TNxTickSource* FTickSource = nullptr;
    int FTickCol = -1;
    bool FResetting = false;
    // While mapped: the shown store rows, ascending, then the totals row.
    bool FMapped = false;
    std::vector<int> FShown;
    int FShownFooter = -1;
};
