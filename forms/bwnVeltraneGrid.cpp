// The confirmation window's record grid: what every record grid has
// (grid/untGridFeatures) and the column widths the user gave it, per view.
#include "forms/bwnVeltrane.h"
#include "grid/untGridFeatures.h"
#include "grid/untViewColumns.h"
#include "toolkit/NextGrid.h"
#include "toolkit/NextGridFilter.h"
#include <QAction>

void TbfrmVeltrane::BuildGridFeatures()
{
    const TGridFeatures f = AddGridFeatures(ngdBudgetAdj, pmenu, Handle(), [this] { return FGridManager; });
    ngfBudgetAdj = Named(f.FilterRow, QStringLiteral("ngfBudgetAdj"));
    N2 = Named(f.Separator, QStringLiteral("N2"));
    pmuCopy = Named(f.Copy, QStringLiteral("pmuCopy"));
    pmuFilterRow = Named(f.FilterRowSwitch, QStringLiteral("pmuFilterRow"));
    connect(ngdBudgetAdj, &TNextGrid::columnResized, this, [this](int col, int width) {
        if (const TNxCustomColumn* column = ngdBudgetAdj->Columns().Item(col))
            FViews.Widths[ViewIndex()].insert(column->Name().toLower(), width);
    });
}

void TbfrmVeltrane::AfterRecordsLoaded() { FitColumns(ngdBudgetAdj, FViews.Widths[ViewIndex()]); }
