#include "toolkit/NextGridFilter.h"
#include "toolkit/GridText.h"
#include "toolkit/NextGrid.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <cmath>
#include <string_view>

namespace {

// What people type with a Chinese input method on: full-width digits and signs,
// the ideographic space and full stop, and the mathematical comparison signs.
QString NormalisedInput(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            out += QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3000)
            out += QLatin1Char(' ');
        else if (u == 0x3002)
            out += QLatin1Char('.');
        else if (u == 0x2265)
            out += QLatin1String(">=");
        else if (u == 0x2264)
            out += QLatin1String("<=");
        else
            out += c;
    }
    return out;
}

bool Amount(QStringView text, double* value)
{
    return !text.isEmpty() && gridtext::ParseNumber(text.toString(), value);
}

bool IsUncased(char32_t c)
{
    return QChar::toLower(c) == c && QChar::toUpper(c) == c && QChar::toCaseFolded(c) == c;
}

// The amount rounded as FormatNumberMask shows it: the exact binary value,
// half away from zero. The product can round onto a half that the value itself
// is not (4999.995 is stored as 4999.99499..., times 100 gives 499999.5), so
// the product's rounding error decides those.
double ShownAmount(double v, double scale)
{
    const double p = v * scale;
    const double error = std::fma(v, scale, -p);
    double r = std::round(p);
    if (std::fabs(p - std::trunc(p)) == 0.5) {
        if (p > 0 && error < 0)
            r = std::floor(p);
        else if (p < 0 && error > 0)
            r = std::ceil(p);
    }
    return r / scale;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

// Decimals of a "#,##0.00" mask: what the column shows of an amount.
int MaskDecimals(const QString& mask)
{
    const qsizetype point = mask.indexOf(QLatin1Char('.'));
    if (point < 0)
        return mask.isEmpty() ? -1 : 0;
    int n = 0;
    for (qsizetype i = point + 1; i < mask.size(); ++i)
        if (mask[i] == QLatin1Char('0') || mask[i] == QLatin1Char('#'))
            ++n;
    return n;
}

}  // namespace

// ---------------------------------------------------------------- condition

TNxFilterCondition TNxFilterCondition::ForColumn(const TNxCustomColumn* column, const QString& text)
{
    if (!column)
        return {};
    switch (column->Kind()) {
    case TNxColumnKind::Text:
        return Contains(text);
    case TNxColumnKind::Number:
        return Range(text, MaskDecimals(static_cast<const TNxNumberColumn*>(column)->FormatMask()));
    case TNxColumnKind::CheckBox:
        break;
    }
    TNxFilterCondition c;
    c.FKind = text.trimmed().isEmpty() ? Kind::None : Kind::Invalid;
    return c;
}

TNxFilterCondition TNxFilterCondition::Contains(const QString& text)
{
    TNxFilterCondition c;
    const QString needle = text.trimmed();
    if (needle.isEmpty())
        return c;
    c.FKind = Kind::Contains;
    bool cased = false, casedBeyondAscii = false;
    for (char32_t u : needle.toUcs4()) {
        if (IsUncased(u))
            continue;
        cased = true;
        if (u >= 0x80)
            casedBeyondAscii = true;
    }
    if (casedBeyondAscii) {
        c.FUnicodeFold = true;
        c.FFoldedNeedle = needle;
    } else {
        c.FAsciiFold = cased;
        c.FNeedle = (cased ? needle.toLower() : needle).toUtf8();
    }
    return c;
}

TNxFilterCondition TNxFilterCondition::Range(const QString& text, int decimals)
{
    TNxFilterCondition c;
    QString s = NormalisedInput(text);
    s.remove(QLatin1Char(','));
    QString compact;
    for (QChar ch : std::as_const(s))
        if (!ch.isSpace())
            compact += ch;
    if (compact.isEmpty())
        return c;
    c.FKind = Kind::Invalid;
    if (decimals >= 0 && decimals <= 9)
        c.FScale = std::pow(10.0, decimals);

    const QStringView v(compact);
    double a = 0, b = 0;
    auto one = [&](QStringView rest, bool low, bool high, bool lowIn, bool highIn) {
        if (!Amount(rest, &a))
            return;
        c.FKind = Kind::Range;
        c.FHasLow = low;
        c.FHasHigh = high;
        c.FLow = c.FHigh = a;
        c.FLowIn = lowIn;
        c.FHighIn = highIn;
    };
    if (v.startsWith(u">=")) {
        one(v.mid(2), true, false, true, true);
    } else if (v.startsWith(u"<=")) {
        one(v.mid(2), false, true, true, true);
    } else if (v.startsWith(u"<>")) {
        // "not equal" is not offered; better invalid than read as "<".
    } else if (v.startsWith(u'>')) {
        one(v.mid(1), true, false, false, true);
    } else if (v.startsWith(u'<')) {
        one(v.mid(1), false, true, true, false);
    } else if (v.startsWith(u'=')) {
        one(v.mid(v.startsWith(u"==") ? 2 : 1), true, true, true, true);
    } else {
        qsizetype at = v.indexOf(u"..");
        qsizetype width = 2;
        if (at < 0) {
            at = v.indexOf(u'~');
            width = 1;
        }
        if (at < 0) {
            one(v, true, true, true, true);
        } else {
            const QStringView left = v.left(at);
            const QStringView right = v.mid(at + width);
            const bool hasLeft = !left.isEmpty(), hasRight = !right.isEmpty();
            if ((hasLeft || hasRight) && (!hasLeft || Amount(left, &a)) && (!hasRight || Amount(right, &b))) {
                c.FKind = Kind::Range;
                c.FHasLow = hasLeft;
                c.FHasHigh = hasRight;
                c.FLow = a;
                c.FHigh = b;
                if (hasLeft && hasRight && a > b)
                    std::swap(c.FLow, c.FHigh);
            }
        }
    }
    return c;
}

bool TNxFilterCondition::Matches(QByteArrayView utf8) const
{
    switch (FKind) {
    case Kind::Contains:
        return MatchesText(utf8);
    case Kind::Range:
        return MatchesAmount(utf8);
    default:
        return true;
    }
}

bool TNxFilterCondition::MatchesText(QByteArrayView utf8) const
{
    if (FUnicodeFold)
        return QString::fromUtf8(utf8).contains(FFoldedNeedle, Qt::CaseInsensitive);
    const std::string_view hay(utf8.data(), size_t(utf8.size()));
    const std::string_view needle(FNeedle.constData(), size_t(FNeedle.size()));
    if (!FAsciiFold)
        return hay.find(needle) != std::string_view::npos;
    // Bytes of other characters are never ASCII in UTF-8, so folding the ASCII
    // letters alone is exact for a needle whose only cased letters are ASCII.
    if (needle.size() > hay.size())
        return false;
    const size_t last = hay.size() - needle.size();
    for (size_t i = 0; i <= last; ++i) {
        if (AsciiLower(hay[i]) != needle[0])
            continue;
        size_t k = 1;
        while (k < needle.size() && AsciiLower(hay[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

bool TNxFilterCondition::MatchesAmount(QByteArrayView utf8) const
{
    double v = 0;
    if (utf8.isEmpty() || !gridtext::ParseNumber(utf8.data(), size_t(utf8.size()), &v))
        return false;
    if (FScale > 0)
        v = ShownAmount(v, FScale);
    if (FHasLow && (v < FLow || (v == FLow && !FLowIn)))
        return false;
    if (FHasHigh && (v > FHigh || (v == FHigh && !FHighIn)))
        return false;
    return true;
}

// ---------------------------------------------------------------- filter row

namespace {

const char* const kColumnName = "nxFilterColumn";

QString Placeholder(const TNxCustomColumn* column)
{
    return column->Kind() == TNxColumnKind::Number ? QStringLiteral("金额范围") : QStringLiteral("包含…");
}

QString Hint(const TNxCustomColumn* column)
{
    if (column->Kind() == TNxColumnKind::Number)
        return QStringLiteral("金额范围，如 1000..5000、>=1000、<500、=12.5；只写一个数表示等于。Esc 清除");
    return QStringLiteral("显示包含此文字的行（不区分大小写）。Esc 清除");
}

}  // namespace

TNextGridFilterRow::TNextGridFilterRow(TNextGrid* grid, QWidget* parent) : QWidget(parent), FGrid(grid)
{
    setObjectName(grid ? grid->objectName() + QStringLiteral("Filter") : QStringLiteral("gridFilter"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    FEditHeight = QLineEdit().sizeHint().height();
    FTimer = new QTimer(this);
    FTimer->setSingleShot(true);
    FTimer->setInterval(FDelayMs);
    connect(FTimer, &QTimer::timeout, this, &TNextGridFilterRow::ApplyPending);
    if (!grid)
        return;
    QHeaderView* h = grid->horizontalHeader();
    connect(h, &QHeaderView::sectionResized, this, &TNextGridFilterRow::Place);
    connect(h, &QHeaderView::sectionCountChanged, this, &TNextGridFilterRow::Rebuild);
    connect(h, &QHeaderView::geometriesChanged, this, &TNextGridFilterRow::Place);
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, &TNextGridFilterRow::Place);
    QAbstractItemModel* m = grid->model();
    connect(m, &QAbstractItemModel::modelReset, this, &TNextGridFilterRow::Rebuild);
    connect(m, &QAbstractItemModel::columnsInserted, this, &TNextGridFilterRow::Rebuild);
    connect(m, &QAbstractItemModel::columnsRemoved, this, &TNextGridFilterRow::Rebuild);
    // Visibility and kind of a column change through its header data.
    connect(m, &QAbstractItemModel::headerDataChanged, this, [this](Qt::Orientation o, int, int) {
        if (o == Qt::Horizontal)
            Rebuild();
    });
    connect(grid, &TNextGrid::filterChanged, this, &TNextGridFilterRow::TakeGridTexts);
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
    Rebuild();
}

TNextGridFilterRow::~TNextGridFilterRow() = default;

void TNextGridFilterRow::SetShown(bool shown)
{
    setVisible(shown);
    if (!shown && FGrid) {
        FTimer->stop();
        for (QLineEdit* e : std::as_const(FEdits))
            e->setProperty("nxPending", false);
        FGrid->ClearFilters();
    }
}

void TNextGridFilterRow::SetTypingDelay(int ms)
{
    FDelayMs = qMax(0, ms);
    FTimer->setInterval(FDelayMs);
}

QLineEdit* TNextGridFilterRow::Editor(int col) const { return FEdits.value(col); }

QSize TNextGridFilterRow::sizeHint() const { return QSize(FGrid ? FGrid->width() : 100, FEditHeight); }

void TNextGridFilterRow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Place();
}

void TNextGridFilterRow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    Place();
}

void TNextGridFilterRow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Place();
}

int TNextGridFilterRow::ColumnOf(const QLineEdit* edit) const
{
    for (auto it = FEdits.cbegin(); it != FEdits.cend(); ++it)
        if (it.value() == edit)
            return it.key();
    return -1;
}

void TNextGridFilterRow::Rebuild()
{
    if (!FGrid)
        return;
    const TNxColumns& columns = FGrid->Columns();
    // Edits of columns that went or can no longer be filtered.
    for (auto it = FEdits.begin(); it != FEdits.end();) {
        const TNxCustomColumn* c = columns.Item(it.key());
        if (!c || !c->Visible() || c->Kind() == TNxColumnKind::CheckBox) {
            it.value()->deleteLater();
            it.value()->hide();
            it = FEdits.erase(it);
        } else {
            ++it;
        }
    }
    for (int i = 0; i < columns.Count(); ++i) {
        const TNxCustomColumn* c = columns.Item(i);
        if (!c->Visible() || c->Kind() == TNxColumnKind::CheckBox)
            continue;
        QLineEdit* e = FEdits.value(i);
        if (!e) {
            e = new QLineEdit(this);
            e->setClearButtonEnabled(false);
            e->installEventFilter(this);
            connect(e, &QLineEdit::textEdited, this, [this, e] {
                e->setProperty("nxPending", true);
                FTimer->start();
            });
            connect(e, &QLineEdit::returnPressed, this, &TNextGridFilterRow::ApplyPending);
            FEdits.insert(i, e);
            e->show();
        }
        // The same column after a rebuild keeps what the user is typing.
        const bool same = e->property(kColumnName).toString() == c->Name();
        e->setProperty(kColumnName, c->Name());
        e->setObjectName(QStringLiteral("filter_") + (c->Name().isEmpty() ? QString::number(i) : c->Name()));
        e->setPlaceholderText(Placeholder(c));
        if (!same || !e->property("nxPending").toBool()) {
            e->setProperty("nxPending", false);
            e->setText(FGrid->ColumnFilter(i));
        }
        ShowValidity(e, i);
    }
    // Tab goes through the edits in column order.
    QWidget* previous = nullptr;
    for (int i = 0; i < columns.Count(); ++i)
        if (QLineEdit* e = FEdits.value(i)) {
            if (previous)
                setTabOrder(previous, e);
            previous = e;
        }
    Place();
}

void TNextGridFilterRow::Place()
{
    if (!FGrid)
        return;
    QHeaderView* h = FGrid->horizontalHeader();
    QWidget* vp = FGrid->viewport();
    // Where the grid's cells begin and end, in this strip's coordinates.
    const int left = vp->mapToGlobal(QPoint(0, 0)).x() - mapToGlobal(QPoint(0, 0)).x();
    const int right = left + vp->width();
    const int height = this->height();
    for (auto it = FEdits.cbegin(); it != FEdits.cend(); ++it) {
        QLineEdit* e = it.value();
        const int col = it.key();
        if (h->isSectionHidden(col) || col >= h->count()) {
            e->hide();
            continue;
        }
        const int x = left + h->sectionViewportPosition(col);
        const int w = h->sectionSize(col);
        // Parts scrolled out of the cells' width are cut, as the header's are.
        const int x0 = qMax(x, left), x1 = qMin(x + w, right);
        if (x1 - x0 < 8) {
            e->hide();
            continue;
        }
        e->setGeometry(x0, 0, x1 - x0, height);
        e->show();
    }
}

void TNextGridFilterRow::ApplyPending()
{
    FTimer->stop();
    if (!FGrid || FApplying)
        return;
    FApplying = true;
    QList<int> cols;
    for (auto it = FEdits.cbegin(); it != FEdits.cend(); ++it)
        if (it.value()->property("nxPending").toBool())
            cols.append(it.key());
    for (int col : std::as_const(cols)) {
        QLineEdit* e = FEdits.value(col);
        if (!e)
            continue;
        e->setProperty("nxPending", false);
        FGrid->SetColumnFilter(col, e->text());
        ShowValidity(e, col);
    }
    FApplying = false;
}

void TNextGridFilterRow::ClearAll()
{
    if (!FGrid)
        return;
    FTimer->stop();
    for (QLineEdit* e : std::as_const(FEdits))
        e->setProperty("nxPending", false);
    FGrid->ClearFilters();
}

void TNextGridFilterRow::ShowValidity(QLineEdit* e, int col)
{
    const TNxCustomColumn* c = FGrid ? FGrid->Columns().Item(col) : nullptr;
    if (!c)
        return;
    const bool invalid = !FGrid->ColumnFilterValid(col);
    // A box whose condition hides rows stands out: nothing filters unseen.
    const bool active = !invalid && !FGrid->ColumnFilter(col).trimmed().isEmpty();
    QPalette p = palette();
    if (invalid)
        p.setColor(QPalette::Base, QColor(255, 222, 222));
    else if (active)
        p.setColor(QPalette::Base, QColor(255, 243, 176));
    e->setPalette(p);
    QFont f = font();
    f.setBold(active);
    e->setFont(f);
    e->setProperty("nxInvalid", invalid);
    e->setProperty("nxActive", active);
    e->setToolTip(invalid ? QStringLiteral("无效的条件，此列未筛选。") + Hint(c) : Hint(c));
}

void TNextGridFilterRow::TakeGridTexts()
{
    if (!FGrid || FApplying)
        return;
    for (auto it = FEdits.cbegin(); it != FEdits.cend(); ++it) {
        QLineEdit* e = it.value();
        if (e->property("nxPending").toBool())
            continue;
        const QString text = FGrid->ColumnFilter(it.key());
        if (e->text() != text)
            e->setText(text);
        ShowValidity(e, it.key());
    }
}

bool TNextGridFilterRow::eventFilter(QObject* watched, QEvent* event)
{
    if (auto* e = qobject_cast<QLineEdit*>(watched)) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            // One key takes every condition away, as the status line's 清除筛选 does.
            if (ColumnOf(e) >= 0)
                ClearAll();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::LayoutRequest:
        Place();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
