#pragma once
// The rows of a grid load as a plain value: which query columns go into which
// grid columns, the cells made of a query's rows (on any thread, one row at a
// time or from a whole result) with row numbers and a totals row, and the texts of
// totals. Nothing here touches a widget.
#include "toolkit/Decimal.h"
#include "toolkit/NextGridModel.h"
#include <QString>
#include <functional>
#include <vector>

class TADOQuery;

// What a load needs of the definitions and of the grid, copied, so that its rows
// can be made on any thread.
struct TGridLoadPlan {
    struct Field {
        QString Name;
        quint8 DataKind = 1;
        quint8 ShowKind = 0;
    };
    std::vector<Field> Fields;   // the definitions that have a grid column, in column order
    int Columns = 0;             // the grid's columns
    bool ShowTotal = false;
    bool HalveTotal = false;
    bool NumberRows = false;
    // The columns to rank by text width for fitting (0: none, 1: text, 2: a number
    // shown with its mask), per grid column, and the grid's advances.
    std::vector<quint8> Fit;
    TNxAdvances Advances;
};

// The rows of one load.
struct TGridRows {
    TNxCellStore Cells;
    int FooterRow = -1;      // the totals row, -1 for none
    int Records = 0;         // rows of the query
    bool Stopped = false;    // the row callback stopped the load: no totals row
    bool ShowTotal = false;  // the plan's
    bool HalveTotal = false;
};

// Makes a load's cells one query row at a time: the dataset holds the row to add
// (a streamed query's only row, or the current row of a whole result).
class TGridRowsBuilder {
public:
    explicit TGridRowsBuilder(const TGridLoadPlan& Plan);
    void Add(const TADOQuery& Query);
    // Room for that many rows at once, when their number is known.
    void Reserve(int Rows);
    int Rows() const { return FNext; }
    // A copy of the rows from From on, with a totals row that says more are
    // coming and holds no sum: a first part of a load, to show while it goes on.
    TGridRows CopyRows(int From) const;
    // The rows with the totals row after them (none when stopped early or empty).
    TGridRows Finish(bool Stopped);

private:
    void Rank(TGridRows& Rows) const;
    TGridLoadPlan FPlan;
    TGridRows FRows;
    std::vector<int> FSource;   // query column of each plan field, -1 none; empty until the first row
    int FValueColumns = 0;
    int FNext = 0;   // the row the next Add fills
    std::vector<TDecimalSum> FSums;   // per plan field, of the amounts added
};

// Up to 15 significant digits, no thousands separators, no trailing zeros.
QString GeneralFloatText(double Value);
// The text of a total: GeneralFloatText, or 超出范围 for a sum that no longer
// fits a number (reading it as 0.00 would be a plainly wrong total).
QString TotalText(double Value);
extern const QString TotalOutOfRangeText;
// What the totals row and the status line say while a load's rows still arrive.
QString LoadingText(int Rows);

// The exact sum's text, or 超出范围 when it left the range.
QString TotalText(const TDecimalSum& Sum);
