#include "records/untRecordSet.h"
#include "toolkit/ADODataset.h"
#include "toolkit/Decimal.h"

const char* const RecordCountColumn = "RecCount";

namespace {

// The query's column of each field, by the names the record query gives them.
const char* const FieldNames[] = {"BudgMoney", "BudgId", "Eid", "status", "Mid", "BKid", "Pid", "IPid", "Bid", "Iid"};

}  // namespace

TRecordSet::TRecordSet(TRecordFilter View) : FView(std::move(View)), FCells(ColumnCount(FView.Detail)) {}

int TRecordSet::ColumnOf(bool Detail, Field f)
{
    // Amount and Eid first, then the kind's own fields in their order.
    if (f == AmountField || f == EidField)
        return f == AmountField ? 0 : 1;
    if (Detail)
        return f == BudgIdField ? 2 : f == StatusField ? 3 : -1;
    return f >= MidField ? 2 + int(f) - int(MidField) : -1;
}

int TRecordSet::ColumnCount(bool Detail)
{
    return Detail ? 4 : 2 + int(FieldCount) - int(MidField);
}

TSummaryKey TRecordSet::Key(int Row) const
{
    // Over the top node's scope a summary row is of the units of its own prefix.
    const QString eid = FView.UnitScope.isEmpty() ? FView.UnitCode : Text(EidField, Row);
    TSummaryKey key{eid,                  Text(MidField, Row), Text(BkidField, Row), Text(PidField, Row),
                    Text(IpidField, Row), Text(BidField, Row), Text(IidField, Row)};
    key.NullCodes = Row >= 0 && size_t(Row) < FNullKeys.size() ? FNullKeys[size_t(Row)] : 0;
    return key;
}

QString TRecordSet::Identity(int Row) const
{
    if (Detail())
        return BudgId(Row);
    const TSummaryKey k = Key(Row);
    return QStringList{k.Eid, k.Mid, k.Bkid, k.Pid, k.Ipid, k.Bid, k.Iid, QString::number(k.NullCodes)}.join(
        QChar(0x1f));
}

bool TRecordSet::KeyHasNull(int Row) const
{
    return Row >= 0 && size_t(Row) < FNullKeys.size() && FNullKeys[size_t(Row)] != 0;
}

int TRecordSet::RecordCount(int Row) const
{
    return Row >= 0 && size_t(Row) < FCounts.size() ? FCounts[size_t(Row)] : -1;
}

long long TRecordSet::AmountCents(int Row) const
{
    return Row >= 0 && size_t(Row) < FCents.size() ? FCents[size_t(Row)] : 0;
}

TRecordSet::TTotals TRecordSet::Totals(const std::vector<int>& Rows) const
{
    TTotals t;
    for (const int r : Rows) {
        t.Records += Detail() ? 1 : qMax(0, RecordCount(r));
        t.Cents += AmountCents(r);
    }
    return t;
}

qint64 TRecordSet::Bytes() const
{
    return FCells.StoreBytes() + qint64(FCents.capacity() * sizeof(long long))
           + qint64(FCounts.capacity() * sizeof(int)) + qint64(FNullKeys.capacity());
}

TRecordSetBuilder::TRecordSetBuilder(const TRecordFilter& View) : FSet(std::make_unique<TRecordSet>(View)) {}

void TRecordSetBuilder::Add(const TADOQuery& q)
{
    const bool detail = FSet->Detail();
    if (FSource.empty()) {
        FSource.assign(TRecordSet::FieldCount, -1);
        for (int f = 0; f < TRecordSet::FieldCount; ++f) {
            const bool detailField = f == TRecordSet::BudgIdField || f == TRecordSet::EidField
                                     || f == TRecordSet::StatusField;
            const bool keyField = f >= TRecordSet::MidField;
            // A summary over the top node's scope keeps each row's unit prefix.
            const bool scopeEid = f == TRecordSet::EidField && !FSet->View().UnitScope.isEmpty();
            if ((detailField && detail) || (keyField && !detail) || scopeEid || f == TRecordSet::AmountField)
                FSource[size_t(f)] = q.FieldIndex(QLatin1String(FieldNames[f]));
        }
        if (!detail)
            FCountSource = q.FieldIndex(QLatin1String(RecordCountColumn));
    }
    TNxCellStore& cells = FSet->FCells;
    const int row = FNext++;
    if (row >= cells.RowCount())
        cells.AddRows(qMax(1024, cells.RowCount() / 4));
    const int rec = q.RecNo();
    quint8 nulls = 0;
    for (int f = 0; f < TRecordSet::FieldCount; ++f) {
        const int source = FSource[size_t(f)];
        if (source < 0)
            continue;
        if (q.CellIsNull(rec, source)) {
            if (f >= TRecordSet::MidField)
                nulls |= quint8(1u << (f - TRecordSet::MidField));
            continue;
        }
        cells.SetText(TRecordSet::ColumnOf(detail, TRecordSet::Field(f)), row, q.CellText(rec, source));
    }
    if (FSet->FCents.size() == FSet->FCents.capacity())
        FSet->FCents.reserve(FSet->FCents.size() + FSet->FCents.size() / 4 + 1024);
    FSet->FCents.push_back(FSource[TRecordSet::AmountField] < 0 ? 0 : TDecimalSum::CentsOf(q.CellText(rec, FSource[TRecordSet::AmountField])));
    if (!detail) {
        FSet->FNullKeys.push_back(nulls);
        if (FCountSource >= 0)
            FSet->FCounts.push_back(int(q.CellText(rec, FCountSource).toInt()));
    }
}

std::shared_ptr<TRecordSet> TRecordSetBuilder::Finish()
{
    FSet->FCells.TruncateRows(FNext);
    FSet->FCells.Squeeze();
    FSet->FCents.shrink_to_fit();
    FSet->FCounts.shrink_to_fit();
    FSet->FNullKeys.shrink_to_fit();
    return std::shared_ptr<TRecordSet>(std::move(FSet));
}

std::shared_ptr<TRecordSet> TRecordSetBuilder::CopyRows(int From) const
{
    auto part = std::make_shared<TRecordSet>(FSet->View());
    const int count = qMax(0, FNext - From);
    part->FCells = FSet->FCells.Slice(From, count);
    const auto slice = [From, count](const auto& v, auto& out) {
        if (size_t(From) < v.size())
            out.assign(v.begin() + From, v.begin() + qMin<qsizetype>(qsizetype(v.size()), qsizetype(From + count)));
    };
    slice(FSet->FCents, part->FCents);
    slice(FSet->FCounts, part->FCounts);
    slice(FSet->FNullKeys, part->FNullKeys);
    return part;
}

void TRecordSet::Append(const TRecordSet& More)
{
    FCells.Append(More.FCells);
    if (FCents.size() + More.FCents.size() > FCents.capacity())
        FCents.reserve((FCents.size() + More.FCents.size()) * 5 / 4);
    FCents.insert(FCents.end(), More.FCents.begin(), More.FCents.end());
    FCounts.insert(FCounts.end(), More.FCounts.begin(), More.FCounts.end());
    FNullKeys.insert(FNullKeys.end(), More.FNullKeys.begin(), More.FNullKeys.end());
}
