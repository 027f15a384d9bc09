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

namespace {

// ---- UTF-8 entries of a column pool: a varint length, then the bytes.

size_t Utf8Length(QStringView text)
{
    size_t n = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            n += 1;
        else if (c < 0x800)
            n += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            n += 4;
            ++i;
        } else
            n += 3;   // lone surrogates become U+FFFD, also 3 bytes
    }
    return n;
}

char* PutUtf8(char* out, QStringView text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x80) {
            *out++ = char(c);
            continue;
        }
        if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(char16_t(c), text[i + 1].unicode());
            ++i;
            *out++ = char(0xF0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3F));
            *out++ = char(0x80 | ((c >> 6) & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
            continue;
        }
        if (QChar::isSurrogate(c))
            c = 0xFFFD;
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

size_t VarintSize(size_t n)
{
    size_t s = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++s;
    }
    return s;
}

char* PutVarint(char* out, size_t n)
{
    while (n >= 0x80) {
        *out++ = char(0x80 | (n & 0x7F));
        n >>= 7;
    }
    *out++ = char(n);
    return out;
}

struct Entry {
    const char* data;
    size_t size;
};

Entry ReadEntry(const char* at)
{
    size_t n = 0;
    int shift = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(at);
    while (*p & 0x80) {
        n |= size_t(*p & 0x7F) << shift;
        shift += 7;
        ++p;
    }
    n |= size_t(*p) << shift;
    ++p;
    return {reinterpret_cast<const char*>(p), n};
}

// A number as text: optional blanks and sign, decimal digits, point, exponent.
// Infinity and NaN spellings are not numbers here.
bool ParseNumber(const char* s, size_t n, double* value)
{
    while (n && (*s == ' ' || *s == '\t')) {
        ++s;
        --n;
    }
    while (n && (s[n - 1] == ' ' || s[n - 1] == '\t'))
        --n;
    if (n && *s == '+') {
        ++s;
        --n;
    }
    if (!n)
        return false;
    const char first = (*s == '-' && n > 1) ? s[1] : *s;
    if (!((first >= '0' && first <= '9') || first == '.'))
        return false;
    double v = 0;
    const auto r = std::from_chars(s, s + n, v);
    if (r.ec != std::errc() || r.ptr != s + n || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool ParseNumber(const QString& text, double* value)
{
    const QByteArray bytes = text.toUtf8();
    return ParseNumber(bytes.constData(), size_t(bytes.size()), value);
}

quint64 ColorKey(int col, int row) { return (quint64(quint32(col)) << 32) | quint32(row); }

}  // namespace

QColor clMenuBar()
{
    // Menu bars are painted in the window colour of the palette.
    return QApplication::palette().color(QPalette::Window);
}

// ------------------------------------------------------------------ columns

TNxCustomColumn::TNxCustomColumn(Qt::Alignment alignment) : FAlignment(alignment) {}
TNxCustomColumn::~TNxCustomColumn() = default;

int TNxCustomColumn::Index() const { return FGrid ? FGrid->Columns().IndexOf(this) : -1; }

void TNxCustomColumn::Changed()
{
    if (FGrid)
        FGrid->ApplyColumn(Index());
}

void TNxCustomColumn::SetHeaderCaption(const QString& caption)
{
    FHeader.Caption = caption;
    Changed();
}

void TNxCustomColumn::SetHeaderAlignment(Qt::Alignment alignment)
{
    FHeader.Alignment = alignment;
    Changed();
}

void TNxCustomColumn::SetVisible(bool visible)
{
    FVisible = visible;
    Changed();
}

void TNxCustomColumn::SetWidth(int width)
{
    FWidth = qMax(0, width);
    Changed();
}

void TNxCustomColumn::SetAlignment(Qt::Alignment alignment)
{
    FAlignment = alignment;
    Changed();
}

TNxTextColumn::TNxTextColumn() : TNxCustomColumn(Qt::AlignLeft | Qt::AlignVCenter) {}

TNxNumberColumn::TNxNumberColumn() : TNxCustomColumn(Qt::AlignRight | Qt::AlignVCenter) {}

void TNxNumberColumn::SetFormatMask(const QString& mask)
{
    FFormatMask = mask;
    Changed();
}

QString TNxNumberColumn::DisplayText(const QString& text) const
{
    return FFormatMask.isEmpty() ? text : FormatNumberMask(FFormatMask, text);
}

TNxCheckBoxColumn::TNxCheckBoxColumn() : TNxCustomColumn(Qt::AlignLeft | Qt::AlignVCenter) {}

QString TNxCheckBoxColumn::DisplayText(const QString& text) const
{
    return IsTicked(text) ? QStringLiteral("[x]") : QStringLiteral("[ ]");
}

QString FormatNumberMask(const QString& mask, const QString& text)
{
    double v = 0;
    if (!ParseNumber(text, &v))
        return text;
    const qsizetype point = mask.indexOf(QLatin1Char('.'));
    const QStringView intPart = point < 0 ? QStringView(mask) : QStringView(mask).left(point);
    const QStringView fracPart = point < 0 ? QStringView() : QStringView(mask).mid(point + 1);
    const bool grouping = intPart.contains(QLatin1Char(','));
    int minInt = 0, fixedDec = 0, maxDec = 0;
    for (QChar c : intPart)
        if (c == QLatin1Char('0'))
            ++minInt;
    for (QChar c : fracPart) {
        if (c == QLatin1Char('0'))
            fixedDec = ++maxDec;
        else if (c == QLatin1Char('#'))
            ++maxDec;
    }
    QString digits = QString::number(std::fabs(v), 'f', maxDec);
    qsizetype dot = digits.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        qsizetype keep = digits.size();
        while (keep > dot + 1 + fixedDec && digits[keep - 1] == QLatin1Char('0'))
            --keep;
        if (keep == dot + 1)
            keep = dot;
        digits.truncate(keep);
    }
    dot = digits.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? digits : digits.left(dot);
    const QString frac = dot < 0 ? QString() : digits.mid(dot);
    if (whole == QLatin1String("0") && minInt == 0)
        whole.clear();
    while (whole.size() < minInt)
        whole.prepend(QLatin1Char('0'));
    if (grouping)
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, QLatin1Char(','));
    QString out = whole + frac;
    // No "-0.00": a value that rounds to zero has no sign.
    bool allZero = true;
    for (QChar c : out)
        if (c.isDigit() && c != QLatin1Char('0'))
            allZero = false;
    if (v < 0 && !allZero)
        out.prepend(QLatin1Char('-'));
    return out;
}

TNxColumns::~TNxColumns() = default;

void TNxColumns::Clear()
{
    if (FGrid)
        FGrid->ColumnsCleared();
    else
        FItems.clear();
}

TNxCustomColumn* TNxColumns::Add(TNxCustomColumn* column)
{
    if (!column)
        return nullptr;
    column->FGrid = FGrid;
    FItems.emplace_back(column);
    if (FGrid)
        FGrid->ColumnAdded(column);
    return column;
}

TNxCustomColumn* TNxColumns::Item(int index) const
{
    return index >= 0 && index < Count() ? FItems[size_t(index)].get() : nullptr;
}

int TNxColumns::FindByName(const QString& name) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->Name().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TNxColumns::IndexOf(const TNxCustomColumn* column) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)].get() == column)
            return i;
    return -1;
}

// -------------------------------------------------------------------- cells

QString TNxCell::Text() const { return FGrid->Cells(FCol, FRow); }
void TNxCell::SetText(const QString& text) { FGrid->SetCells(FCol, FRow, text); }
double TNxCell::AsFloat() const { return FGrid->CellAsFloat(FCol, FRow); }
QColor TNxCell::Color() const { return FGrid->CellColor(FCol, FRow); }
void TNxCell::SetColor(const QColor& color) { FGrid->SetCellColor(FCol, FRow, color); }

// -------------------------------------------------------------------- model

struct TNextGridModel::ColumnStore {
    std::vector<quint32> at;   // per row: where its entry starts in pool; 0 = the empty text
    std::vector<char> pool{char(0)};
    qint64 garbage = 0;        // bytes of entries no row points at any more
    qint64 text = 0;           // UTF-8 bytes of the live texts

    Entry Get(int row) const { return ReadEntry(pool.data() + at[size_t(row)]); }
};

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
    // A batch usually fills a whole load: give back the growth slack of the store.
    for (ColumnStore& c : FStores) {
        if (c.pool.capacity() > c.pool.size() + c.pool.size() / 4)
            c.pool.shrink_to_fit();
        if (c.at.capacity() > c.at.size() + c.at.size() / 4)
            c.at.shrink_to_fit();
    }
    FResetting = false;
    endResetModel();
}

int TNextGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }

int TNextGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(FStores.size());
}

QString TNextGridModel::Text(int col, int row) const
{
    if (col < 0 || col >= int(FStores.size()) || row < 0 || row >= FRows)
        return {};
    const Entry e = FStores[size_t(col)].Get(row);
    return QString::fromUtf8(e.data, qsizetype(e.size));
}

bool TNextGridModel::TextIsTicked(int col, int row) const
{
    if (col < 0 || col >= int(FStores.size()) || row < 0 || row >= FRows)
        return false;
    const Entry e = FStores[size_t(col)].Get(row);
    return e.size == 4 && std::memcmp(e.data, "True", 4) == 0;
}

double TNextGridModel::Number(int col, int row, bool* ok) const
{
    double v = 0;
    bool good = false;
    if (col >= 0 && col < int(FStores.size()) && row >= 0 && row < FRows) {
        const Entry e = FStores[size_t(col)].Get(row);
        good = ParseNumber(e.data, e.size, &v);
    }
    if (ok)
        *ok = good;
    return good ? v : 0.0;
}

void TNextGridModel::SetText(int col, int row, QStringView text)
{
    if (col < 0 || col >= int(FStores.size()) || row < 0 || row >= FRows)
        return;
    ColumnStore& c = FStores[size_t(col)];
    quint32& slot = c.at[size_t(row)];
    if (slot != 0) {
        const Entry old = c.Get(row);
        c.garbage += qint64(VarintSize(old.size) + old.size);
        c.text -= qint64(old.size);
    }
    slot = 0;
    if (!text.isEmpty()) {
        const size_t len = Utf8Length(text);
        const size_t need = VarintSize(len) + len;
        if (c.garbage > (1 << 20) && c.garbage > c.text)
            CompactColumn(c);
        if (c.pool.size() + need > std::numeric_limits<quint32>::max()) {
            CompactColumn(c);
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
    if (!Batched()) {
        const QModelIndex i = index(row, col);
        emit dataChanged(i, i);
    }
}

void TNextGridModel::CompactColumn(ColumnStore& c)
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

QColor TNextGridModel::Color(int col, int row) const { return FColors.value(ColorKey(col, row)); }

void TNextGridModel::SetColor(int col, int row, const QColor& color)
{
    if (col < 0 || col >= int(FStores.size()) || row < 0 || row >= FRows)
        return;
    if (color.isValid())
        FColors.insert(ColorKey(col, row), color);
    else
        FColors.remove(ColorKey(col, row));
    if (!Batched()) {
        const QModelIndex i = index(row, col);
        emit dataChanged(i, i, {Qt::BackgroundRole});
    }
}

void TNextGridModel::AddColumnStore()
{
    const int col = int(FStores.size());
    if (!Batched())
        beginInsertColumns(QModelIndex(), col, col);
    FStores.emplace_back();
    FStores.back().at.assign(size_t(FRows), 0);
    if (!Batched())
        endInsertColumns();
}

void TNextGridModel::ClearColumns()
{
    const bool batched = Batched();
    if (!batched)
        beginResetModel();
    FStores.clear();
    FColors.clear();
    FRows = 0;
    FGrid->FColumns.FItems.clear();
    if (!batched)
        endResetModel();
}

void TNextGridModel::ClearRows()
{
    const bool batched = Batched();
    if (!batched)
        beginResetModel();
    for (ColumnStore& c : FStores)
        c = ColumnStore();
    FColors.clear();
    FRows = 0;
    if (!batched)
        endResetModel();
}

void TNextGridModel::AddRows(int count)
{
    if (count <= 0)
        return;
    if (qint64(FRows) + count > std::numeric_limits<int>::max())
        throw std::length_error("too many grid rows");
    if (!Batched())
        beginInsertRows(QModelIndex(), FRows, FRows + count - 1);
    FRows += count;
    for (ColumnStore& c : FStores)
        c.at.resize(size_t(FRows), 0);
    if (!Batched())
        endInsertRows();
}

void TNextGridModel::ColumnHeaderChanged(int col)
{
    if (!Batched() && col >= 0 && col < columnCount())
        emit headerDataChanged(Qt::Horizontal, col, col);
}

QVariant TNextGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= FRows || index.column() >= int(FStores.size()))
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
    if (!index.isValid() || index.row() >= FRows || index.column() >= int(FStores.size()))
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
        if (role == Qt::DisplayRole && section >= 0 && section < FRows)
            return section + 1;
        return {};
    }
    const TNxCustomColumn* column = FGrid->Columns().Item(section);
    if (!column || section >= int(FStores.size()))
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
    if (col < 0 || col >= int(FStores.size()) || FRows < 2)
        return;
    struct Key {
        double number;
        const char* text;
        quint32 size;
        bool isNumber;
    };
    const ColumnStore& sc = FStores[size_t(col)];
    std::vector<Key> keys(static_cast<size_t>(FRows));
    for (int r = 0; r < FRows; ++r) {
        const Entry e = sc.Get(r);
        Key& k = keys[size_t(r)];
        k.text = e.data;
        k.size = quint32(e.size);
        k.number = 0;
        k.isNumber = ParseNumber(e.data, e.size, &k.number);
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
    order.reserve(size_t(FRows));
    for (int r = 0; r < FRows; ++r)
        if (r != footerRow)
            order.push_back(r);
    if (ascending)
        std::stable_sort(order.begin(), order.end(), less);
    else
        std::stable_sort(order.begin(), order.end(), [&less](int a, int b) { return less(b, a); });
    if (footerRow >= 0 && footerRow < FRows)
        order.push_back(footerRow);

    std::vector<int> newRowOf(static_cast<size_t>(FRows));
    for (int i = 0; i < FRows; ++i)
        newRowOf[size_t(order[size_t(i)])] = i;

    const bool batched = Batched();
    if (!batched)
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<quint32> moved(static_cast<size_t>(FRows));
    for (ColumnStore& c : FStores) {
        for (int i = 0; i < FRows; ++i)
            moved[size_t(i)] = c.at[size_t(order[size_t(i)])];
        c.at.swap(moved);
    }
    QHash<quint64, QColor> colors;
    colors.reserve(FColors.size());
    for (auto it = FColors.cbegin(); it != FColors.cend(); ++it) {
        const int c = int(it.key() >> 32);
        const int r = int(it.key() & 0xFFFFFFFFu);
        colors.insert(ColorKey(c, newRowOf[size_t(r)]), it.value());
    }
    FColors.swap(colors);
    if (!batched) {
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
    qint64 n = qint64(sizeof(*this)) + qint64(FStores.capacity() * sizeof(ColumnStore));
    for (const ColumnStore& c : FStores)
        n += qint64(c.at.capacity() * sizeof(quint32) + c.pool.capacity());
    // A hash node holds the key, the colour and the bucket's bookkeeping.
    n += qint64(FColors.capacity()) * qint64(sizeof(quint64) + sizeof(QColor) + 16);
    return n;
}

qint64 TNextGridModel::TextBytes() const
{
    qint64 n = 0;
    for (const ColumnStore& c : FStores)
        n += c.text;
    return n;
}

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
