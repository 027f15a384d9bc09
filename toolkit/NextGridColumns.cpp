#include "toolkit/NextGridColumns.h"
#include "toolkit/GridText.h"
#include "toolkit/NextGrid.h"

#include <cmath>

using gridtext::ParseNumber;

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
