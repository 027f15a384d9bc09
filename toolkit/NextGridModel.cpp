#include "toolkit/NextGridModel.h"
#include "toolkit/GridText.h"
#include "toolkit/NextGrid.h"

#include <QBrush>
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
    FColumns.emplace_back();
    FColumns.back().at.assign(size_t(FRows), 0);
}

void TNxCellStore::AddRows(int count)
{
    if (count <= 0)
        return;
    if (qint64(FRows) + count > std::numeric_limits<int>::max())
        throw std::length_error("too many grid rows");
    FRows += count;
    for (Column& c : FColumns)
        c.at.resize(size_t(FRows), 0);
}

void TNxCellStore::ClearRows()
{
    for (Column& c : FColumns)
        c = Column();
    FColors.clear();
    FRows = 0;
}

void TNxCellStore::Clear()
{
    FColumns.clear();
    FColors.clear();
    FRows = 0;
}

QByteArrayView TNxCellStore::Utf8(int col, int row) const
{
    if (!Valid(col, row))
        return {};
    const Column& c = FColumns[size_t(col)];
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
    Column& c = FColumns[size_t(col)];
    quint32& slot = c.at[size_t(row)];
    if (slot != 0) {
        const Entry old = ReadEntry(c.pool.data() + slot);
        c.garbage += qint64(VarintSize(old.size) + old.size);
        c.text -= qint64(old.size);
    }
    slot = 0;
    if (!text.isEmpty()) {
        const size_t len = Utf8Length(text);
        const size_t need = VarintSize(len) + len;
        if (c.garbage > (1 << 20) && c.garbage > c.text)
            Compact(c);
        if (c.pool.size() + need > std::numeric_limits<quint32>::max()) {
            Compact(c);
            if (c.pool.size() + need > std::numeric_limits<quint32>::max())
                throw std::length_error("grid column holds more than 4 GiB of text");
        }
        const size_t start = c.pool.size();
        c.pool.resize(start + need);
        char* out = PutVarint(c.pool.data() + start, len);
        PutUtf8(out, text);
        c.at[size_t(row)] = quint32(start);
        c.text += qint64(len);
    }
    return true;
}

void TNxCellStore::Compact(Column& c)
{
    std::vector<char> pool;
    pool.reserve(size_t(c.text) + c.at.size() + 1);
    pool.push_back(0);
    for (quint32& slot : c.at) {
        if (slot == 0)
            continue;
        const Entry e = ReadEntry(c.pool.data() + slot);
        const size_t start = pool.size();
        pool.resize(start + VarintSize(e.size) + e.size);
        char* out = PutVarint(pool.data() + start, e.size);
        std::memcpy(out, e.data, e.size);
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
    for (Column& c : FColumns) {
        for (int i = 0; i < FRows; ++i)
            moved[size_t(i)] = c.at[size_t(order[size_t(i)])];
        c.at.swap(moved);
    }
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
    for (Column& c : FColumns) {
        if (c.pool.capacity() > c.pool.size() + c.pool.size() / 4)
            c.pool.shrink_to_fit();
        if (c.at.capacity() > c.at.size() + c.at.size() / 4)
            c.at.shrink_to_fit();
    }
}

qint64 TNxCellStore::StoreBytes() const
{
    qint64 n = qint64(sizeof(*this)) + qint64(FColumns.capacity() * sizeof(Column));
    for (const Column& c : FColumns)
        n += qint64(c.at.capacity() * sizeof(quint32) + c.pool.capacity());
    // A hash node holds the key, the colour and the bucket's bookkeeping.
    n += qint64(FColors.capacity()) * qint64(sizeof(quint64) + sizeof(QColor) + 16);
    return n;
}

qint64 TNxCellStore::TextBytes() const
{
    qint64 n = 0;
    for (const Column& c : FColumns)
        n += c.text;
    return n;
}

// --------------------------------------------------------------------- model

TNextGridModel::TNextGridModel(TNextGrid* grid) : QAbstractTableModel(grid), FGrid(grid) {}
TNextGridModel::~TNextGridModel() = default;

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
    FResetting = false;
    endResetModel();
}

int TNextGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

int TNextGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : FCells.ColumnCount();
}

void TNextGridModel::SetText(int col, int row, QStringView text)
{
    if (FCells.SetText(col, row, text) && !Batched()) {
        const QModelIndex i = index(row, col);
        emit dataChanged(i, i);
    }
}

void TNextGridModel::SetColor(int col, int row, const QColor& color)
{
    if (FCells.SetColor(col, row, color) && !Batched()) {
        const QModelIndex i = index(row, col);
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
    FGrid->FColumns.FItems.clear();
    if (!batched)
        endResetModel();
}

void TNextGridModel::ClearRows()
{
    const bool batched = Batched();
    if (!batched)
        beginResetModel();
    FCells.ClearRows();
    if (!batched)
        endResetModel();
}

void TNextGridModel::AddRows(int count)
{
    if (count <= 0)
        return;
    if (qint64(Rows()) + count > std::numeric_limits<int>::max())
        throw std::length_error("too many grid rows");
    if (!Batched())
        beginInsertRows(QModelIndex(), Rows(), Rows() + count - 1);
    FCells.AddRows(count);
    if (!Batched())
        endInsertRows();
}

void TNextGridModel::AdoptCells(TNxCellStore&& cells)
{
    if (cells.ColumnCount() != FCells.ColumnCount())
        throw std::invalid_argument("the cells do not have the grid's columns");
    const bool batched = Batched();
    if (!batched)
        beginResetModel();
    FCells = std::move(cells);
    FCells.Squeeze();
    if (!batched)
        endResetModel();
}

void TNextGridModel::ColumnHeaderChanged(int col)
{
    if (!Batched() && col >= 0 && col < columnCount())
        emit headerDataChanged(Qt::Horizontal, col, col);
}

QVariant TNextGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Rows() || index.column() >= FCells.ColumnCount())
        return {};
    const TNxCustomColumn* column = FGrid->Columns().Item(index.column());
    if (!column)
        return {};
    const bool check = column->Kind() == TNxColumnKind::CheckBox;
    switch (role) {
    case Qt::DisplayRole:
        if (check)
            return {};
        return column->DisplayText(Text(index.column(), index.row()));
    case Qt::EditRole:
        return Text(index.column(), index.row());
    case Qt::CheckStateRole:
        if (!check)
            return {};
        return TextIsTicked(index.column(), index.row()) ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return int(column->Alignment());
    case Qt::BackgroundRole: {
        const QColor c = Color(index.column(), index.row());
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    default:
        return {};
    }
}

bool TNextGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    // The view's edits are the user's: they go through the grid's edit gate.
    if (!index.isValid() || index.row() >= Rows() || index.column() >= FCells.ColumnCount())
        return false;
    const TNxCustomColumn* column = FGrid->Columns().Item(index.column());
    if (!column)
        return false;
    if (role == Qt::CheckStateRole) {
        if (column->Kind() != TNxColumnKind::CheckBox || !(column->Options() & coEditing))
            return false;
        const bool tick = value.toInt() == Qt::Checked;
        if (tick == TextIsTicked(index.column(), index.row()))
            return true;
        bool accept = true;
        if (FGrid->OnBeforeEdit)
            FGrid->OnBeforeEdit(FGrid, index.column(), index.row(), accept);
        if (!accept)
            return false;
        SetText(index.column(), index.row(), tick ? u"True" : u"False");
        return true;
    }
    if (role == Qt::EditRole) {
        if (!(column->Options() & coEditing))
            return false;
        bool accept = true;
        if (FGrid->OnBeforeEdit)
            FGrid->OnBeforeEdit(FGrid, index.column(), index.row(), accept);
        if (!accept)
            return false;
        SetText(index.column(), index.row(), value.toString());
        return true;
    }
    return false;
}

QVariant TNextGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole && section >= 0 && section < Rows())
            return section + 1;
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
    FCells.Reorder(order);
    if (!batched) {
        std::vector<int> newRowOf(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i)
            newRowOf[size_t(order[size_t(i)])] = i;
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& i : from)
            to.append(index(newRowOf[size_t(i.row())], i.column()));
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
}

qint64 TNextGridModel::StoreBytes() const
{
    return qint64(sizeof(*this)) - qint64(sizeof(FCells)) + FCells.StoreBytes();
}
