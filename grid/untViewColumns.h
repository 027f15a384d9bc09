#pragma once
// The record grid's column definitions of the two views: the columns of the
// record query (records/untRecordSql), with their captions, kinds and widths;
// and what the user makes of a view's columns.
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

struct TDTFieldType;
class TNextGrid;

// The sort of a view by column name.
struct TViewSort {
    QString Column;
    bool Ascending = true;
};

// What the user made of a view's columns: the sort and the widths given (by
// lower-case field name), kept over reloads.
struct TColumnChoices {
    TViewSort Sort;
    QHash<QString, int> Widths;
};

// The caller owns the records. In the detail view the office name column follows
// OfficeColumns ("0": shown).
QList<TDTFieldType*> DetailColumnTable(bool OfficeColumns);
QList<TDTFieldType*> SummaryColumnTable();

// Fits the columns to their contents, then gives those the user sized their
// width (by lower-case field name): a width the user chose outlasts the reloads.
void FitColumns(TNextGrid* Grid, const QHash<QString, int>& Widths);
// Sorts the rows by the column of that field name, when there are both.
void SortByName(TNextGrid* Grid, const QString& Column, bool Ascending);
// Keeps the leading columns among Names (lower-case field names) in view when
// the grid scrolls sideways, as far as the columns begin with them.
void FreezeLeadingColumns(TNextGrid* Grid, const QStringList& Names);
