#pragma once
// The record grid's column definitions of the two views: the columns of the
// record query (records/untRecordSql), with their captions, kinds and widths.
#include <QList>

struct TDTFieldType;

// The caller owns the records. In the detail view the office name column follows
// OfficeColumns ("0": shown).
QList<TDTFieldType*> DetailColumnTable(bool OfficeColumns);
QList<TDTFieldType*> SummaryColumnTable();
