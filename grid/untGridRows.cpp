#include "grid/untGridRows.h"
#include "toolkit/ADODataset.h"
#include <QColor>
#include <cmath>

namespace {

const QColor kTotalColor(200, 200, 255);
// Decimals an amount of the grid keeps: yuan to the cent, 万元 to the yuan cent.
constexpr int AmountPlaces = 6;

}  // namespace

const QString TotalOutOfRangeText = QStringLiteral("超出范围");

QString LoadingText(int Rows) { return QStringLiteral("正在加载… 已有 %1 条").arg(Rows); }

QString GeneralFloatText(double Value)
{
    if (Value == 0 || !std::isfinite(Value))
        return QStringLiteral("0");
    return QString::number(Value, 'g', 15);
}

QString TotalText(double Value)
{
    return std::isfinite(Value) ? GeneralFloatText(Value) : TotalOutOfRangeText;
}

QString TotalText(const TDecimalSum& Sum)
{
    return Sum.OutOfRange() ? TotalOutOfRangeText : Sum.Text();
}

TGridRowsBuilder::TGridRowsBuilder(const TGridLoadPlan& Plan) : FPlan(Plan)
{
    FRows.ShowTotal = Plan.ShowTotal;
    FRows.HalveTotal = Plan.HalveTotal;
    FRows.Cells = TNxCellStore(Plan.Columns);
    const int columns = int(FPlan.Fields.size());
    FValueColumns = FPlan.NumberRows ? columns - 1 : columns;
    FSums.resize(size_t(columns));
}

void TGridRowsBuilder::Reserve(int Rows)
{
    if (Rows > FRows.Cells.RowCount())
        FRows.Cells.AddRows(Rows - FRows.Cells.RowCount());
}

void TGridRowsBuilder::Add(const TADOQuery& q)
{
    const int columns = int(FPlan.Fields.size());
    if (FSource.empty()) {
        FSource.assign(size_t(columns), -1);
        for (int i = 0; i < columns; ++i)
            FSource[size_t(i)] = q.FieldIndex(FPlan.Fields[size_t(i)].Name);
    }
    TNxCellStore& cells = FRows.Cells;
    const int r = FNext++;
    // Room ahead in steps that grow with the rows: not a resize of every column per row.
    if (r >= cells.RowCount())
        cells.AddRows(qMax(1024, cells.RowCount() / 4));
    const int rec = q.RecNo();
    for (int i = 0; i < FValueColumns; ++i) {
        const int f = FSource[size_t(i)];
        if (f < 0 || q.CellIsNull(rec, f))
            continue;
        // An amount as the database computed it may carry floating-point noise
        // (126.27378799999998 for 126.273788): kept to the places an amount has.
        const QStringView text = q.CellText(rec, f);
        const bool amount = FPlan.Fields[size_t(i)].DataKind == 0;
        if (amount && TDecimalSum::NeedsRounding(text, AmountPlaces))
            cells.SetText(i, r, TDecimalSum::Rounded(text, AmountPlaces));
        else
            cells.SetText(i, r, text);
        // Exact: a total is the sum of the amounts as shown, however many.
        if (amount) {
            const QByteArrayView shown = cells.Utf8(i, r);
            FSums[size_t(i)].Add(shown.data(), size_t(shown.size()));
        }
    }
    if (FPlan.NumberRows && columns > 0)
        cells.SetText(columns - 1, r, QString::number(r + 1));
    ++FRows.Records;
}

void TGridRowsBuilder::Rank(TGridRows& Rows) const
{
    // Fitting the columns lays out the widest texts only: found here, not on the
    // interface thread, for every row.
    constexpr size_t measured = 12;
    TNxCellStore& cells = Rows.Cells;
    for (size_t c = 0; c < FPlan.Fit.size() && int(c) < cells.ColumnCount(); ++c)
        if (FPlan.Fit[c] != 0)
            cells.RankWidest(int(c), FPlan.Advances, FPlan.Fit[c] == 2, Rows.FooterRow, measured);
}

TGridRows TGridRowsBuilder::CopyRows(int From) const
{
    TGridRows part;
    part.ShowTotal = FPlan.ShowTotal;
    part.HalveTotal = FPlan.HalveTotal;
    part.Cells = FRows.Cells.Slice(From, FNext - From);
    part.Records = part.Cells.RowCount();
    if (FPlan.ShowTotal && part.Records > 0) {
        part.Cells.AddRows(1);
        const int t = part.Cells.RowCount() - 1;
        for (size_t i = 0; i < FPlan.Fields.size(); ++i) {
            const TGridLoadPlan::Field& d = FPlan.Fields[i];
            if (d.DataKind == 1 && d.ShowKind == 1) {
                part.Cells.SetText(int(i), t, LoadingText(FNext));
                break;
            }
        }
        for (int i = 0; i < int(FPlan.Fields.size()); ++i)
            part.Cells.SetColor(i, t, kTotalColor);
        part.FooterRow = t;
    }
    Rank(part);
    return part;
}

TGridRows TGridRowsBuilder::Finish(bool Stopped)
{
    FRows.Stopped = Stopped;
    TNxCellStore& cells = FRows.Cells;
    cells.TruncateRows(FNext);
    const int columns = int(FPlan.Fields.size());
    bool hasNumber = false;
    for (const TGridLoadPlan::Field& f : FPlan.Fields)
        hasNumber = hasNumber || f.DataKind == 0;
    if (!Stopped && FPlan.ShowTotal && hasNumber && cells.RowCount() > 0) {
        cells.AddRows(1);
        const int t = cells.RowCount() - 1;
        bool labelled = false;
        for (int i = 0; i < columns; ++i) {
            const TGridLoadPlan::Field& d = FPlan.Fields[size_t(i)];
            if (d.DataKind == 0) {
                TDecimalSum sum = FSums[size_t(i)];
                if (FPlan.HalveTotal)
                    sum.Halve();
                cells.SetText(i, t, TotalText(sum));
            } else if (!labelled && d.DataKind == 1 && d.ShowKind == 1) {
                cells.SetText(i, t, QStringLiteral("合计"));
                labelled = true;
            }
            cells.SetColor(i, t, kTotalColor);
        }
        FRows.FooterRow = t;
    }
    cells.Squeeze();
    Rank(FRows);
    return std::move(FRows);
}
