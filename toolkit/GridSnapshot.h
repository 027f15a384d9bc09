#pragma once
// What a grid shows at one moment, as a value: its visible data columns (check
// boxes are no data) in the view's order, the shown rows in the order shown with
// the totals row last, and the cells, which share the grid's own until the grid
// changes them. Output (export, print) works from a snapshot, so a reload or a
// tick meanwhile changes nothing of it, and it may be read on another thread.
#include "toolkit/NextGridColumns.h"
#include "toolkit/NextGridModel.h"
#include <QColor>
#include <QString>
#include <vector>

struct TOOLKIT_EXPORT TGridSnapshot {
    struct Column {
        int Index = -1;          // the grid's column
        QString Name;
        QString Caption;
        Qt::Alignment HeaderAlignment;
        Qt::Alignment Alignment;
        bool Number = false;
        QString FormatMask;      // number columns
        int Width = 0;
    };
    TNxCellStore Cells;
    std::vector<Column> Columns;
    std::vector<int> Rows;       // store rows
    int FooterRow = -1;          // store row of the totals row when it is the last of Rows

    QString Text(const Column& C, int Row) const { return Cells.Text(C.Index, Row); }
    // As the grid paints the cell: numbers through the column's mask.
    QString DisplayText(const Column& C, int Row) const
    {
        const QString text = Text(C, Row);
        return C.Number ? FormatNumberMask(C.FormatMask, text) : text;
    }
    QColor Color(const Column& C, int Row) const { return Cells.Color(C.Index, Row); }
};
