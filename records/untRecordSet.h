#pragma once
// The rows of one load as the record query returned them. Each row carries what
// identifies its records (a detail row: its record number in the view's year; a
// summary row: the view's unit prefix and its six key codes) and what the user
// saw of it (status, unit and amount; the view's budget type and department
// class), apart from the columns a layout file chooses to show. Made on the
// loading worker, then never changed: it is handed around as a shared constant.
#include "records/untRecordSql.h"
#include "toolkit/NextGridModel.h"
#include <QString>
#include <memory>
#include <vector>

class TADOQuery;

class TRecordSet {
public:
    explicit TRecordSet(TRecordFilter View);

    // The view the rows are of: year, unit prefix, budget type, department class,
    // status and office conditions.
    const TRecordFilter& View() const { return FView; }
    bool Detail() const { return FView.Detail; }
    int Count() const { return FCells.RowCount(); }   // the builder trims its room ahead

    // A detail row's record and what the user saw of it.
    QString BudgId(int Row) const { return Text(BudgIdField, Row); }
    QString Eid(int Row) const
    {
        return Detail() || !FView.UnitScope.isEmpty() ? Text(EidField, Row) : FView.UnitCode;
    }
    QString Status(int Row) const { return Text(StatusField, Row); }

    // A summary row's key: the view's unit prefix and the row's codes. A code the
    // database held as NULL reads as empty here; KeyHasNull tells it apart.
    TSummaryKey Key(int Row) const;
    // What a row stands for, the same in another load of the same view: a detail
    // row's record number, a summary row's unit prefix and codes.
    QString Identity(int Row) const;
    bool KeyHasNull(int Row) const;
    // How many records the row sums, -1 when the query did not count them.
    int RecordCount(int Row) const;

    // The amount as the database gave it (exact text, empty for NULL) and in cents.
    QString Amount(int Row) const { return Text(AmountField, Row); }
    long long AmountCents(int Row) const;
    // What the rows stand for together: records (a summary row's count) and cents.
    struct TTotals {
        long long Records = 0, Cents = 0;
    };
    TTotals Totals(const std::vector<int>& Rows) const;

    qint64 Bytes() const;
    // The rows of a later part of the same load, after these.
    void Append(const TRecordSet& More);

private:
    friend class TRecordSetBuilder;
    // What a row holds; a summary set has no BudgId and Status, and its Eid only
    // over the top node's scope.
    enum Field { AmountField, BudgIdField, EidField, StatusField, MidField, BkidField, PidField, IpidField,
                 BidField, IidField, FieldCount };
    // A field's column in FCells, -1 for a field this kind of set has not: a
    // detail set keeps no key codes, a summary set no record number or status.
    static int ColumnOf(bool Detail, Field f);
    static int ColumnCount(bool Detail);
    QString Text(Field f, int Row) const
    {
        const int col = ColumnOf(Detail(), f);
        return col < 0 ? QString() : FCells.Text(col, Row);
    }

    TRecordFilter FView;
    TNxCellStore FCells;
    std::vector<long long> FCents;
    std::vector<int> FCounts;          // summary rows, when counted
    std::vector<quint8> FNullKeys;     // summary rows: bit k for key code k (Mid..Iid) NULL
};

using TRecordSetRef = std::shared_ptr<const TRecordSet>;

// Makes a record set one query row at a time (the dataset holds the row to add).
class TRecordSetBuilder {
public:
    explicit TRecordSetBuilder(const TRecordFilter& View);
    void Add(const TADOQuery& Query);
    // A copy of the rows from From on, as a set of its own: a first part of a
    // load, to act on while it goes on (TRecordSet::Append joins parts).
    std::shared_ptr<TRecordSet> CopyRows(int From) const;
    std::shared_ptr<TRecordSet> Finish();

private:
    std::unique_ptr<TRecordSet> FSet;
    std::vector<int> FSource;   // query column of each field, -1 none; empty until the first row
    int FCountSource = -1;
    int FNext = 0;   // the row the next Add fills
};

// The name of the column a summary query counts its records in, when it does.
extern const char* const RecordCountColumn;
