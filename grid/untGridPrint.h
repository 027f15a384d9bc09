#pragma once
// Printing of a grid as the user sees it (the columns and rows that export
// takes): a heading line, the column captions and the page number on every
// page, the columns scaled to the page width.
#include "toolkit/GridSnapshot.h"
#include <QString>

class QPrinter;
class QWidget;
class TNextGrid;

struct TGridPrintHeading {
    QString Title;     // the window's caption, printed bold
    QString Details;   // the unit and the filters, after the title
};

// How the shown grid falls onto the printer's pages as it is set up now.
struct TGridPageLayout {
    int RowsPerPage = 0;
    int PageCount = 0;
};
TGridPageLayout GridPageLayout(const TGridSnapshot& Grid, QPrinter& Printer);

// Landscape when the columns would have to shrink on an upright page.
void ChooseOrientation(const TGridSnapshot& Grid, QPrinter& Printer);

// Paints every page onto a printer that is set up but not yet begun.
bool PaintGrid(const TGridSnapshot& Grid, const TGridPrintHeading& Heading, QPrinter& Printer, QString* Error);

// A PDF file on A4, no dialog. The file appears only when complete; an existing
// file of that name stays as it was when printing fails.
bool PrintGridToPdf(const TGridSnapshot& Grid, const TGridPrintHeading& Heading, const QString& FileName,
                    QString* Error);
bool PrintGridToPdf(const TNextGrid& Grid, const TGridPrintHeading& Heading, const QString& FileName,
                    QString* Error);

// The print preview dialog (modal); false with *Error when the pages could not be painted.
bool PreviewGrid(const TGridSnapshot& Grid, const TGridPrintHeading& Heading, QWidget* Parent, QString* Error);

// The print dialog, then the pages. False with empty *Error when the user cancelled.
bool PrintGridWithDialog(const TGridSnapshot& Grid, const TGridPrintHeading& Heading, QWidget* Parent,
                         QString* Error);
