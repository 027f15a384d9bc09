#include "toolkit/NextGridModel.h"
#include "toolkit/GridText.h"
#include "toolkit/NextGrid.h"
#include "toolkit/NextGridFilter.h"

#include <QBrush>
#include <QItemSelectionModel>
#include <QVarLengthArray>
#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

using namespace gridtext;

namespace {

quint64 ColorKey(int col, int row) { return (quint64(quint32(col)) << 32) | quint32(row); }

}  // namespace

// ---------------------------------------------------------------- cell store

TNxCellStore::TNxCellStore(int columns)
{
    for (int i = 0; i < columns; ++i)
        AddColumn();
}

void TNxCellStore::AddColumn()
{
    FColumns.push_back(std::make_shared<Column>());
    FColumns.back()->at.assign(size_t(FRows), 0);
}

TNxCellStore::Column& TNxCellStore::Own(size_t col)
{
    std::shared_ptr<Column>& c = FColumns[col];
    if (c.use_count() > 1)
        c = std::make_shared<Column>(*c);
    // A write to come: the ranking of its widths no longer holds.
    c->ranked = false;
    c->widest.clear();
    return *c;
}

std::vector<int> TNxCellStore::Widest(int col, const TNxAdvances& Advances, bool Masked, int SkipRow, size_t Count,
                                      const std::vector<int>* Among) const
{
    std::vector<std::pair<int, int>> best;   // (estimate, row), a min-heap of the widest
    const auto narrower = [](const auto& a, const auto& b) { return a.first > b.first; };
    const int n = Among ? int(Among->size()) : FRows;
    for (int i = 0; i < n && Count > 0; ++i) {
        const int row = Among ? (*Among)[size_t(i)] : i;
        if (row == SkipRow)
            continue;
        const int estimate = Advances.Estimate(Utf8(col, row), Masked);
        if (best.size() < Count) {
            best.emplace_back(estimate, row);
            std::push_heap(best.begin(), best.end(), narrower);
        } else if (estimate > best.front().first) {
            std::pop_heap(best.begin(), best.end(), narrower);
            best.back() = {estimate, row};
            std::push_heap(best.begin(), best.end(), narrower);
        }
    }
    std::vector<int> rows;
    for (const auto& [estimate, row] : best)
        rows.push_back(row);
    return rows;
}

void TNxCellStore::RankWidest(int col, const TNxAdvances& Advances, bool Masked, int SkipRow, size_t Count)
{
    if (col < 0 || col >= int(FColumns.size()))
        return;
    std::vector<int> rows = Widest(col, Advances, Masked, SkipRow, Count);
    Column& c = Own(size_t(col));   // a fresh load's column is its own already
    c.widest = std::move(rows);
    c.ranked = true;
}

const std::vector<int>* TNxCellStore::WidestRows(int col) const
{
    if (col < 0 || col >= int(FColumns.size()) || !FColumns[size_t(col)]->ranked)
        return nullptr;
    return &FColumns[size_t(col)]->widest;
}

void TNxCellStore::AddRows(int count)
{
    if (count <= 0)
        return;
    if (qint64(FRows) + count > std::numeric_limits<int>::max())
        throw std::length_error("too many grid rows");
    const int first = FRows;
    FRows += count;
    // The caller chose the room ahead; a resize alone would double it again.
    for (size_t i = 0; i < FColumns.size(); ++i) {
        std::vector<quint32>& at = Own(i).at;
        at.reserve(size_t(FRows));
        at.resize(size_t(FRows), 0);
    }
    for (int r = first; !FOrigin.empty() && r < FRows; ++r)
        FOrigin.push_back(r);
}

void TNxCellStore::TruncateRows(int count)
{
    if (count < 0 || count >= FRows)
        return;
    for (size_t k = 0; k < FColumns.size(); ++k) {
        Column& c = Own(k);
        for (int r = count; r < FRows; ++r)
            if (const quint32 slot = c.at[size_t(r)])
                c.text -= qint64(ReadEntry(c.pool.data() + slot).size);
        c.at.resize(size_t(count));
    }
    if (!FOrigin.empty())
        FOrigin.resize(size_t(count));
    // A colour of a dropped row must not colour a row added there later.
    for (auto it = FColors.begin(); it != FColors.end();)
        it = int(it.key() & 0xFFFFFFFFu) >= count ? FColors.erase(it) : std::next(it);
    FRows = count;
}

TNxCellStore TNxCellStore::Slice(int from, int count) const
{
    TNxCellStore out(ColumnCount());
    from = qBound(0, from, FRows);
    count = qBound(0, count, FRows - from);
    out.FRows = count;
    for (size_t k = 0; k < FColumns.size(); ++k) {
        const Column& c = *FColumns[k];
        Column& o = *out.FColumns[k];
        o.at.assign(size_t(count), 0);
        quint32 last = 0, copied = 0;   // entries shared down the rows stay shared
        for (int i = 0; i < count; ++i) {
            const quint32 slot = c.at[size_t(from + i)];
            if (slot == 0)
                continue;
            if (slot != last) {
                const Entry e = ReadEntry(c.pool.data() + slot);
                copied = quint32(o.pool.size());
                o.pool.resize(o.pool.size() + VarintSize(e.size) + e.size);
                std::memcpy(PutVarint(o.pool.data() + copied, e.size), e.data, e.size);
                last = slot;
            }
            o.at[size_t(i)] = copied;
            o.text += qint64(ReadEntry(o.pool.data() + copied).size);
        }
    }
    for (auto it = FColors.cbegin(); it != FColors.cend(); ++it) {
        const int r = int(it.key() & 0xFFFFFFFFu) - from;
        if (r >= 0 && r < count)
            out.FColors.insert(ColorKey(int(it.key() >> 32), r), it.value());
    }
    return out;
}

void TNxCellStore::Append(const TNxCellStore& more)
{
    if (more.ColumnCount() != ColumnCount())
        throw std::invalid_argument("the cells do not have the grid's columns");
    if (qint64(FRows) + more.FRows > std::numeric_limits<int>::max())
        throw std::length_error("too many grid rows");
    const int first = FRows;
    for (size_t k = 0; k < FColumns.size(); ++k) {
        const Column& add = *more.FColumns[k];
        const bool ranked = FColumns[k]->ranked && add.ranked;
        std::vector<int> widest = ranked ? FColumns[k]->widest : std::vector<int>();
        Column& c = Own(k);
        // The entries after the pool's leading empty one, moved by where they land.
        const size_t shift = c.pool.size() - 1;
        if (c.pool.size() + add.pool.size() > std::numeric_limits<quint32>::max())
            throw std::length_error("grid column holds more than 4 GiB of text");
        // Room for a quarter more each time it runs out: a doubling would leave
        // up to half of a large load's memory unused once its last part is in.
        const auto grow = [](auto& v, size_t need) {
            if (need > v.capacity())
                v.reserve(need + need / 4);
        };
        grow(c.pool, c.pool.size() + add.pool.size() - 1);
        c.pool.insert(c.pool.end(), add.pool.begin() + 1, add.pool.end());
        grow(c.at, c.at.size() + add.at.size());
        for (const quint32 slot : add.at)
            c.at.push_back(slot == 0 ? 0 : quint32(slot + shift));
        c.text += add.text;
        c.garbage += add.garbage;
        if (ranked) {
            for (const int r : add.widest)
                widest.push_back(r + first);
            c.widest = std::move(widest);
            c.ranked = true;
        }
    }
    FRows += more.FRows;
    for (int r = first; !FOrigin.empty() && r < FRows; ++r)
        FOrigin.push_back(r);
    for (auto it = more.FColors.cbegin(); it != more.FColors.cend(); ++it)
        FColors.insert(ColorKey(int(it.key() >> 32), first + int(it.key() & 0xFFFFFFFFu)), it.value());
}

void TNxCellStore::ClearRows()
{
    for (std::shared_ptr<Column>& c : FColumns)
        c = std::make_shared<Column>();
    FColors.clear();
    FOrigin.clear();
    FRows = 0;
}

void TNxCellStore::Clear()
{
    FColumns.clear();
    FColors.clear();
    FOrigin.clear();
    FRows = 0;
}

QByteArrayView TNxCellStore::Utf8(int col, int row) const
{
    if (!Valid(col, row))
        return {};
    const Column& c = *FColumns[size_t(col)];
    const Entry e = ReadEntry(c.pool.data() + c.at[size_t(row)]);
    return QByteArrayView(e.data, qsizetype(e.size));
}

QString TNxCellStore::Text(int col, int row) const
{
    return QString::fromUtf8(Utf8(col, row));
}

bool TNxCellStore::TextIsTicked(int col, int row) const
{
    const QByteArrayView e = Utf8(col, row);
    return e.size() == 4 && std::memcmp(e.data(), "True", 4) == 0;
}

double TNxCellStore::Number(int col, int row, bool* ok) const
{
    double v = 0;
    const QByteArrayView e = Utf8(col, row);
    const bool good = !e.isEmpty() && ParseNumber(e.data(), size_t(e.size()), &v);
    if (ok)
        *ok = good;
    return good ? v : 0.0;
}

bool TNxCellStore::SetText(int col, int row, QStringView text)
{
    if (!Valid(col, row))
        return false;
    Column& c = Own(size_t(col));
    quint32& slot = c.at[size_t(row)];
    const quint32 before = row > 0 ? c.at[size_t(row) - 1] : 0;
    const quint32 after = row + 1 < FRows ? c.at[size_t(row) + 1] : 0;
    if (slot != 0) {
        const Entry old = ReadEntry(c.pool.data() + slot);
        // An entry shared with a neighbour stays in use.
        if (slot != before && slot != after)
            c.garbage += qint64(VarintSize(old.size) + old.size);
        c.text -= qint64(old.size);
    }
    slot = 0;
    if (!text.isEmpty()) {
        // Encoded once: compared with the neighbours, then kept when new.
        QVarLengthArray<char, 512> utf8(text.size() * 3);
        const size_t len = size_t(PutUtf8(utf8.data(), text) - utf8.data());
        // Columns repeat themselves down the rows (a unit's name, a subject, a
        // status): a text equal to a neighbour's shares its entry.
        for (const quint32 near : {before, after}) {
            if (near == 0)
                continue;
            const Entry e = ReadEntry(c.pool.data() + near);
            if (e.size == len && std::memcmp(e.data, utf8.data(), len) == 0) {
                slot = near;
                c.text += qint64(len);
                return true;
            }
        }
        const size_t need = VarintSize(len) + len;
        if (c.garbage > (1 << 20) && c.garbage > c.text)
            Compact(c);
        if (c.pool.size() + need > std::numeric_limits<quint32>::max()) {
            Compact(c);
            if (c.pool.size() + need > std::numeric_limits<quint32>::max())
                throw std::length_error("grid column holds more than 4 GiB of text");
        }
        const size_t start = c.pool.size();
        // A quarter more when full, as Append grows: a doubling leaves up to half
        // of a large column unused, and the old block and the new live together.
        if (start + need > c.pool.capacity())
            c.pool.reserve(start + need + (start + need) / 4);
        c.pool.resize(start + need);
        char* out = PutVarint(c.pool.data() + start, len);
        std::memcpy(out, utf8.data(), len);
        c.at[size_t(row)] = quint32(start);
        c.text += qint64(len);
    }
    return true;
}

void TNxCellStore::Compact(Column& c)
{
    std::vector<char> pool;
    pool.reserve(std::min(size_t(c.text), c.pool.size()) + 1);
    pool.push_back(0);
    // Entries shared by several rows stay shared: each is copied once.
    QHash<quint32, quint32> moved;
    for (quint32& slot : c.at) {
        if (slot == 0)
            continue;
        const auto seen = moved.constFind(slot);
        if (seen != moved.cend()) {
            slot = seen.value();
            continue;
        }
        const Entry e = ReadEntry(c.pool.data() + slot);
        const size_t start = pool.size();
        pool.resize(start + VarintSize(e.size) + e.size);
        char* out = PutVarint(pool.data() + start, e.size);
        std::memcpy(out, e.data, e.size);
        moved.insert(slot, quint32(start));
        slot = quint32(start);
    }
    c.pool.swap(pool);
    c.garbage = 0;
}

QColor TNxCellStore::Color(int col, int row) const { return FColors.value(ColorKey(col, row)); }

bool TNxCellStore::SetColor(int col, int row, const QColor& color)
{
    if (!Valid(col, row))
        return false;
    if (color.isValid())
        FColors.insert(ColorKey(col, row), color);
    else
        FColors.remove(ColorKey(col, row));
    return true;
}

void TNxCellStore::Reorder(const std::vector<int>& order)
{
    std::vector<quint32> moved(static_cast<size_t>(FRows));
    for (size_t k = 0; k < FColumns.size(); ++k) {
        Column& c = Own(k);
        for (int i = 0; i < FRows; ++i)
            moved[size_t(i)] = c.at[size_t(order[size_t(i)])];
        c.at.swap(moved);
    }
    std::vector<int> origin(static_cast<size_t>(FRows));
    for (int i = 0; i < FRows; ++i)
        origin[size_t(i)] = Origin(order[size_t(i)]);
    FOrigin.swap(origin);
    if (FColors.isEmpty())
        return;
    std::vector<int> newRowOf(static_cast<size_t>(FRows));
    for (int i = 0; i < FRows; ++i)
        newRowOf[size_t(order[size_t(i)])] = i;
    QHash<quint64, QColor> colors;
    colors.reserve(FColors.size());
    for (auto it = FColors.cbegin(); it != FColors.cend(); ++it) {
        const int c = int(it.key() >> 32);
        const int r = int(it.key() & 0xFFFFFFFFu);
        colors.insert(ColorKey(c, newRowOf[size_t(r)]), it.value());
    }
    FColors.swap(colors);
}

void TNxCellStore::Squeeze()
{
    for (size_t k = 0; k < FColumns.size(); ++k) {
        const Column& shared = *FColumns[k];
        // A fill grows a column by a quarter: more than a sixteenth left over is given back.
        const auto loose = [](const auto& v) { return v.capacity() > v.size() + v.size() / 16; };
        const bool slack = loose(shared.pool) || loose(shared.at);
        if (!slack)
            continue;
        Column& c = Own(k);
        if (loose(c.pool))
            c.pool.shrink_to_fit();
        if (loose(c.at))
            c.at.shrink_to_fit();
    }
}

qint64 TNxCellStore::StoreBytes() const
{
    qint64 n = qint64(sizeof(*this)) + qint64(FColumns.capacity() * (sizeof(Column) + 16));
    for (const std::shared_ptr<Column>& c : FColumns)
        n += qint64(c->at.capacity() * sizeof(quint32) + c->pool.capacity());
    // A hash node holds the key, the colour and the bucket's bookkeeping.
    n += qint64(FColors.capacity()) * qint64(sizeof(quint64) + sizeof(QColor) + 16);
    return n;
}

qint64 TNxCellStore::TextBytes() const
{
    qint64 n = 0;
    for (const std::shared_ptr<Column>& c : FColumns)
        n += c->text;
    return n;
}

// --------------------------------------------------------------------- model

TNextGridModel::TNextGridModel(QObject* parent) : QAbstractTableModel(parent) {}
TNextGridModel::~TNextGridModel() = default;

void TNextGridModel::Detach()
{
    beginResetModel();
    FCells.Clear();
    FTickSource = nullptr;
    FTickCol = -1;
    FMapped = false;
    FShown.clear();
    FShownFooter = -1;
    FResetting = false;
    FGrid = nullptr;
    endResetModel();
}

int TNextGridModel::FooterRow() const
{
    return FGrid && FGrid->FFooterRow >= 0 && FGrid->FFooterRow < Rows() ? FGrid->FFooterRow : -1;
}

bool TNextGridModel::Batched() const { return FResetting; }

void TNextGridModel::BeginBatch()
{
    beginResetModel();
    FResetting = true;
}

void TNextGridModel::EndBatch()
{
    // A batch usually fills a whole load.
    FCells.Squeeze();
    ComputeShown();
    FResetting = false;
    endResetModel();
    ShownChanged();
}

int TNextGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ShownCount(); }

int TNextGridModel::StoreRow(int viewRow) const
{
    if (viewRow < 0 || viewRow >= ShownCount())
        return -1;
    return FMapped ? FShown[size_t(viewRow)] : viewRow;
}

int TNextGridModel::ViewRow(int storeRow) const
{
    if (storeRow < 0 || storeRow >= Rows())
        return -1;
    if (!FMapped)
        return storeRow;
    if (storeRow == FShownFooter)
        return int(FShown.size()) - 1;
    const auto end = FShown.end() - (FShownFooter >= 0 ? 1 : 0);
    const auto at = std::lower_bound(FShown.begin(), end, storeRow);
    return at != end && *at == storeRow ? int(at - FShown.begin()) : -1;
}

void TNextGridModel::ComputeShown()
{
    const int rows = Rows();
    const int footer = FooterRow();
    const auto conditions = FGrid ? FGrid->ActiveConditions() : decltype(FGrid->ActiveConditions()){};
    FShown.clear();
    FShownFooter = -1;
    if (conditions.empty() && (footer < 0 || footer == rows - 1)) {
        FMapped = false;
        FShown.shrink_to_fit();
        return;
    }
    FMapped = true;
    FShown.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r) {
        if (r == footer)
            continue;
        bool pass = true;
        for (const auto& [col, condition] : conditions)
            if (!condition.Matches(FCells.Utf8(col, r))) {
                pass = false;
                break;
            }
        if (pass)
            FShown.push_back(r);
    }
    if (footer >= 0) {
        FShown.push_back(footer);
        FShownFooter = footer;
    }
    if (FShown.capacity() > FShown.size() + FShown.size() / 4 + 1024)
        FShown.shrink_to_fit();
}

void TNextGridModel::ResetShown(const std::function<void()>& change)
{
    if (Batched()) {
        if (change)
            change();
        return;
    }
    // The selection as store rows, in runs; a scattered one is not worth keeping.
    QItemSelectionModel* sm = FGrid ? FGrid->selectionModel() : nullptr;
    std::vector<std::pair<int, int>> selected;   // store row, column
    bool rowsWhole = false;
    int currentRow = -1, currentCol = -1;
    if (sm) {
        const QModelIndex cur = sm->currentIndex();
        currentRow = cur.isValid() ? StoreRow(cur.row()) : -1;
        currentCol = cur.column();
        const QItemSelection sel = sm->selection();
        qint64 cells = 0;
        for (const QItemSelectionRange& r : sel)
            cells += qint64(r.height()) * (FGrid->selectionBehavior() == QAbstractItemView::SelectRows ? 1 : r.width());
        rowsWhole = FGrid->selectionBehavior() == QAbstractItemView::SelectRows;
        if (cells <= 2000000)
            for (const QItemSelectionRange& r : sel)
                for (int v = r.top(); v <= r.bottom(); ++v) {
                    const int s = StoreRow(v);
                    if (s < 0)
                        continue;
                    if (rowsWhole)
                        selected.emplace_back(s, 0);
                    else
                        for (int c = r.left(); c <= r.right(); ++c)
                            selected.emplace_back(s, c);
                }
    }
    beginResetModel();
    if (change)
        change();
    ComputeShown();
    endResetModel();
    if (sm) {
        std::vector<std::pair<int, int>> views;   // view row, column
        views.reserve(selected.size());
        for (const auto& [row, col] : selected) {
            const int v = ViewRow(row);
            if (v >= 0)
                views.emplace_back(v, col);
        }
        std::sort(views.begin(), views.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second < b.second : a.first < b.first;
        });
        QItemSelection restored;
        const int lastCol = columnCount() - 1;
        for (size_t i = 0; i < views.size() && restored.size() < 10000;) {
            size_t j = i + 1;
            while (j < views.size() && views[j].second == views[i].second && views[j].first == views[j - 1].first + 1)
                ++j;
            const int top = views[i].first, bottom = views[j - 1].first;
            const int left = rowsWhole ? 0 : views[i].second, right = rowsWhole ? lastCol : views[i].second;
            if (lastCol >= 0)
                restored.append(QItemSelectionRange(index(top, left), index(bottom, right)));
            i = j;
        }
        const int v = ViewRow(currentRow);
        if (v >= 0 && currentCol >= 0 && currentCol < columnCount())
            sm->setCurrentIndex(index(v, currentCol), QItemSelectionModel::NoUpdate);
        if (!restored.isEmpty())
            sm->select(restored, QItemSelectionModel::Select);
    }
    ShownChanged();
}

void TNextGridModel::ShownChanged()
{
    if (!Batched() && FGrid)
        emit FGrid->shownRowsChanged();
}

int TNextGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FCells.ColumnCount();
}

bool TNextGridModel::WriteCell(int col, int row, QStringView text)
{
    if (!TickColumn(col))
        return FCells.SetText(col, row, text);
    if (row < 0 || row >= Rows())
        return false;
    FTickSource->SetTickText(FCells.Origin(row), text);
    return true;
}

void TNextGridModel::SetTickSource(int col, TNxTickSource* Source)
{
    FTickSource = Source;
    FTickCol = Source ? col : -1;
    if (!Batched() && Rows() > 0 && col >= 0 && col < columnCount())
        emit dataChanged(index(0, col), index(ShownCount() - 1, col));
}

void TNextGridModel::SetText(int col, int row, QStringView text)
{
    if (WriteCell(col, row, text) && !Batched()) {
        const int v = ViewRow(row);
        if (v < 0)
            return;
        const QModelIndex i = index(v, col);
        emit dataChanged(i, i);
    }
}

void TNextGridModel::SetColor(int col, int row, const QColor& color)
{
    if (FCells.SetColor(col, row, color) && !Batched()) {
        const int v = ViewRow(row);
        if (v < 0)
            return;
        const QModelIndex i = index(v, col);
        emit dataChanged(i, i, {Qt::BackgroundRole});
    }
}

void TNextGridModel::AddColumnStore()
{
    const int col = FCells.ColumnCount();
    if (!Batched())
        beginInsertColumns(QModelIndex(), col, col);
    FCells.AddColumn();
    if (!Batched())
        endInsertColumns();
}

void TNextGridModel::ClearColumns()
{
    const bool batched = Batched();
    if (!batched)
        beginResetModel();
    FCells.Clear();
    FTickSource = nullptr;
    FTickCol = -1;
    if (FGrid)
        FGrid->FColumns.FItems.clear();
    ComputeShown();
    if (!batched)
        endResetModel();
    ShownChanged();
}

void TNextGridModel::ClearRows()
{
    const bool batched = Batched();
    if (!batched)
        beginResetModel();
    FCells.ClearRows();
    ComputeShown();
    if (!batched)
        endResetModel();
    ShownChanged();
}

void TNextGridModel::AddRows(int count)
{
    if (count <= 0)
        return;
    if (qint64(Rows()) + count > std::numeric_limits<int>::max())
        throw std::length_error("too many grid rows");
    if (Batched()) {
        FCells.AddRows(count);
        return;
    }
    // New rows join the end of the view unless conditions or a totals row that
    // must stay last decide where they go.
    if (!FMapped && FGrid->FFooterRow < 0 && FGrid->ActiveConditions().empty()) {
        beginInsertRows(QModelIndex(), Rows(), Rows() + count - 1);
        FCells.AddRows(count);
        endInsertRows();
        ShownChanged();
        return;
    }
    ResetShown([this, count] { FCells.AddRows(count); });
}

void TNextGridModel::AdoptCells(TNxCellStore&& cells)
{
    if (cells.ColumnCount() != FCells.ColumnCount())
        throw std::invalid_argument("the cells do not have the grid's columns");
    // The rows that replace the first of a load keep what the user selected.
    ResetShown([&] {
        FCells = std::move(cells);
        FCells.Squeeze();
        if (Batched())
            ComputeShown();
    });
}

void TNextGridModel::AppendCells(const TNxCellStore& cells, int footer)
{
    int& gridFooter = FGrid->FFooterRow;
    const auto change = [&] {
        // A totals row that was last stood for the rows before these: it goes.
        if (gridFooter >= 0 && gridFooter == Rows() - 1)
            FCells.TruncateRows(Rows() - 1);
        const int first = Rows();
        FCells.Append(cells);
        gridFooter = footer >= 0 && footer < cells.RowCount() ? first + footer : -1;
    };
    if (Batched() || FMapped || !FGrid->ActiveConditions().empty() || (gridFooter >= 0 && gridFooter != Rows() - 1)) {
        ResetShown(change);
        return;
    }
    // Rows join the end of the view: what the user looks at stays where it is.
    if (gridFooter >= 0) {
        beginRemoveRows(QModelIndex(), Rows() - 1, Rows() - 1);
        FCells.TruncateRows(Rows() - 1);
        gridFooter = -1;
        endRemoveRows();
    }
    if (cells.RowCount() > 0) {
        beginInsertRows(QModelIndex(), Rows(), Rows() + cells.RowCount() - 1);
        change();
        endInsertRows();
    }
    ShownChanged();
}

void TNextGridModel::ColumnHeaderChanged(int col)
{
    if (!Batched() && col >= 0 && col < columnCount())
        emit headerDataChanged(Qt::Horizontal, col, col);
}

QVariant TNextGridModel::data(const QModelIndex& index, int role) const
{
    const int row = index.isValid() ? StoreRow(index.row()) : -1;
    if (row < 0 || index.column() >= FCells.ColumnCount())
        return {};
    const TNxCustomColumn* column = FGrid->Columns().Item(index.column());
    if (!column)
        return {};
    const bool check = column->Kind() == TNxColumnKind::CheckBox;
    switch (role) {
    case Qt::DisplayRole:
        if (check)
            return {};
        return column->DisplayText(Text(index.column(), row));
    case Qt::EditRole:
        return Text(index.column(), row);
    case Qt::CheckStateRole:
        if (!check)
            return {};
        return TextIsTicked(index.column(), row) ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return int(column->Alignment());
    case Qt::BackgroundRole: {
        const QColor c = Color(index.column(), row);
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    default:
        return {};
    }
}

int TNextGridModel::UserSetChecks(int col, const std::vector<int>& rows, bool tick)
{
    const TNxCustomColumn* column = FGrid->Columns().Item(col);
    if (!column || column->Kind() != TNxColumnKind::CheckBox || !(column->Options() & coEditing))
        return 0;
    int changed = 0, top = std::numeric_limits<int>::max(), bottom = -1;
    for (int row : rows) {
        if (row < 0 || row >= Rows() || TextIsTicked(col, row) == tick)
            continue;
        bool accept = true;
        if (FGrid->OnBeforeEdit)
            FGrid->OnBeforeEdit(FGrid, col, row, accept);
        if (!accept)
            continue;
        WriteCell(col, row, tick ? u"True" : u"False");
        ++changed;
        const int v = ViewRow(row);
        if (v >= 0) {
            top = std::min(top, v);
            bottom = std::max(bottom, v);
        }
    }
    // One announcement for a range: a million rows ticked at once stay quick.
    if (bottom >= 0 && !Batched())
        emit dataChanged(index(top, col), index(bottom, col), {Qt::CheckStateRole, Qt::DisplayRole, Qt::EditRole});
    return changed;
}

void TNextGridModel::SetTexts(int col, const std::vector<int>& rows, QStringView text)
{
    int top = std::numeric_limits<int>::max(), bottom = -1;
    for (int row : rows) {
        if (!WriteCell(col, row, text))
            continue;
        const int v = ViewRow(row);
        if (v >= 0) {
            top = std::min(top, v);
            bottom = std::max(bottom, v);
        }
    }
    if (bottom >= 0 && !Batched())
        emit dataChanged(index(top, col), index(bottom, col));
}

bool TNextGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    // The view's edits are the user's: they go through the grid's edit gate.
    const int row = index.isValid() ? StoreRow(index.row()) : -1;
    if (row < 0 || index.column() >= FCells.ColumnCount())
        return false;
    const TNxCustomColumn* column = FGrid->Columns().Item(index.column());
    if (!column)
        return false;
    if (role == Qt::CheckStateRole) {
        if (column->Kind() != TNxColumnKind::CheckBox || !(column->Options() & coEditing))
            return false;
        const bool tick = value.toInt() == Qt::Checked;
        if (tick == TextIsTicked(index.column(), row))
            return true;
        if (UserSetChecks(index.column(), {row}, tick) == 0)
            return false;
        FGrid->TicksChangedByUser(row, tick);
        return true;
    }
    if (role == Qt::EditRole) {
        if (!(column->Options() & coEditing))
            return false;
        bool accept = true;
        if (FGrid->OnBeforeEdit)
            FGrid->OnBeforeEdit(FGrid, index.column(), row, accept);
        if (!accept)
            return false;
        SetText(index.column(), row, value.toString());
        return true;
    }
    return false;
}

QVariant TNextGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        const int row = StoreRow(section);
        if (role == Qt::DisplayRole && row >= 0)
            return row + 1;
        return {};
    }
    const TNxCustomColumn* column = FGrid->Columns().Item(section);
    if (!column || section >= FCells.ColumnCount())
        return {};
    if (role == Qt::DisplayRole)
        return column->Header().Caption;
    if (role == Qt::TextAlignmentRole)
        return int(column->Header().Alignment);
    return {};
}

Qt::ItemFlags TNextGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (const TNxCustomColumn* column = FGrid->Columns().Item(index.column())) {
        if (column->Options() & coEditing) {
            if (column->Kind() == TNxColumnKind::CheckBox)
                f |= Qt::ItemIsUserCheckable;
            else if (column->Options() & coCanInput)
                f |= Qt::ItemIsEditable;
        }
    }
    return f;
}

void TNextGridModel::sort(int column, Qt::SortOrder order)
{
    FGrid->SortByColumn(column, order == Qt::AscendingOrder);
}

void TNextGridModel::SortRows(int col, bool ascending, int footerRow)
{
    const int rows = Rows();
    if (col < 0 || col >= FCells.ColumnCount() || rows < 2)
        return;
    struct Key {
        double number;
        const char* text;
        quint32 size;
        bool isNumber;
    };
    std::vector<Key> keys(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        const QByteArrayView e = FCells.Utf8(col, r);
        Key& k = keys[size_t(r)];
        k.text = e.data();
        k.size = quint32(e.size());
        k.number = 0;
        k.isNumber = !e.isEmpty() && ParseNumber(e.data(), size_t(e.size()), &k.number);
    }
    // Numbers before texts, numbers by value, texts by code point.
    auto less = [&keys](int a, int b) {
        const Key& x = keys[size_t(a)];
        const Key& y = keys[size_t(b)];
        if (x.isNumber != y.isNumber)
            return x.isNumber;
        if (x.isNumber)
            return x.number < y.number;
        const int c = std::memcmp(x.text, y.text, std::min(x.size, y.size));
        return c != 0 ? c < 0 : x.size < y.size;
    };
    std::vector<int> order;
    order.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r)
        if (r != footerRow)
            order.push_back(r);
    if (ascending)
        std::stable_sort(order.begin(), order.end(), less);
    else
        std::stable_sort(order.begin(), order.end(), [&less](int a, int b) { return less(b, a); });
    if (footerRow >= 0 && footerRow < rows)
        order.push_back(footerRow);

    const bool batched = Batched();
    if (!batched)
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Persistent indexes are view rows: remember their store rows before the move.
    const QModelIndexList from = batched ? QModelIndexList() : persistentIndexList();
    std::vector<int> fromStore;
    fromStore.reserve(size_t(from.size()));
    for (const QModelIndex& i : from)
        fromStore.push_back(StoreRow(i.row()));
    FCells.Reorder(order);
    std::vector<int> newRowOf(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i)
        newRowOf[size_t(order[size_t(i)])] = i;
    if (FMapped) {
        // The same rows stay shown, at their new places; the totals row is last in the store now.
        const bool footer = FShownFooter >= 0;
        const size_t data = FShown.size() - (footer ? 1 : 0);
        for (size_t i = 0; i < data; ++i)
            FShown[i] = newRowOf[size_t(FShown[i])];
        std::sort(FShown.begin(), FShown.begin() + std::ptrdiff_t(data));
        if (footer) {
            FShownFooter = newRowOf[size_t(FShownFooter)];
            FShown.back() = FShownFooter;
        }
    }
    if (!batched) {
        QModelIndexList to;
        to.reserve(from.size());
        for (qsizetype k = 0; k < from.size(); ++k) {
            const int s = fromStore[size_t(k)];
            const int v = s >= 0 ? ViewRow(newRowOf[size_t(s)]) : -1;
            to.append(v >= 0 ? index(v, from[k].column()) : QModelIndex());
        }
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
        ShownChanged();
    }
}

qint64 TNextGridModel::StoreBytes() const
{
    return qint64(sizeof(*this)) - qint64(sizeof(FCells)) + FCells.StoreBytes();
}
