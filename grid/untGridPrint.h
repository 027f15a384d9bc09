#pragma once
// Printing of a grid as the user sees it (the columns and rows that export
// takes): a heading line, the column captions and the page number on every
// page, the columns scaled to the page width.
#include "grid/untGridExport.h"
#include "toolkit/GridSnapshot.h"
#include <QString>
#include <functional>

class QPrinter;
class QWidget;
class TNextGrid;


// How the shown grid falls onto the printer's pages as it is set up now.
struct TGridPageLayout {
    int RowsPerPage = 0;
    int PageCount = 0;
};
TGridPageLayout GridPageLayout(const TGridSnapshot& Grid, QPrinter& Printer);

// Landscape when the columns would have to shrink on an upright page.
void ChooseOrientation(const TGridSnapshot& Grid, QPrinter& Printer);

// Pages painted so far and pages to paint; false stops the printing (cancelled).
using TPrintProgress = std::function<bool(int Done, int Total)>;

// Paints pages First to Last (counted from 0; -1, -1: every page) onto a printer
// that is set up but not yet begun. May run on a worker thread (a PDF or a
// printer, never the screen).
TResult<TOutputEnd> PaintGrid(const TGridSnapshot& Grid, const TGridPrintHeading& Heading, QPrinter& Printer,
                              int First = -1, int Last = -1, const TPrintProgress& Progress = {});

// A PDF file on A4, no dialog. The file appears only when complete; an existing
// file of that name stays as it was when printing fails.
TResult<TOutputEnd> PrintGridToPdf(const TGridSnapshot& Grid, const TGridPrintHeading& Heading,
                                   const QString& FileName, const TPrintProgress& Progress = {});
TResult<TOutputEnd> PrintGridToPdf(const TNextGrid& Grid, const TGridPrintHeading& Heading, const QString& FileName);

// The print preview dialog (modal) of pages First to Last (-1, -1: all); a
// failure when the pages could not be painted.
TResult<> PreviewGrid(const TGridSnapshot& Grid, const TGridPrintHeading& Heading, QWidget* Parent, int First = -1,
                      int Last = -1);

// The print dialog, with the range of pages of the grid to choose from; true with
// the printer set up for the chosen pages (*First, *Last), false when the user
// cancelled. The pages are painted by PaintGrid, on a worker if need be.
bool ChoosePrinter(const TGridSnapshot& Grid, QPrinter& Printer, QWidget* Parent, int* First, int* Last);
