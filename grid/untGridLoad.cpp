#include "grid/untGridLoad.h"
#include "grid/untNextGridManager.h"
#include "grid/untViewColumns.h"
#include "toolkit/Classes.h"
#include "toolkit/NextGrid.h"

TGridLoad::TGridLoad(TNextGrid* Grid, TComponent* Owner, QString GridName)
    : QObject(Owner), FGrid(Grid), FOwner(Owner), FName(std::move(GridName))
{
    connect(Grid, &TNextGrid::sortedByUser, this, [this](int col, bool ascending) {
        if (const TNxCustomColumn* c = FGrid->Columns().Item(col); c && FChoices)
            FChoices->Sort = {c->Name(), ascending};
    });
    connect(Grid, &TNextGrid::columnResized, this, [this](int col, int width) {
        if (const TNxCustomColumn* c = FGrid->Columns().Item(col); c && FChoices)
            FChoices->Widths.insert(c->Name().toLower(), width);
    });
}

TGridLoad::~TGridLoad() { End(); }

void TGridLoad::End()
{
    if (FManager && FGrid) {
        // The grid must never call into a freed manager, also when no load follows.
        FGrid->OnBeforeEdit = nullptr;
        FGrid->OnKeyPress = nullptr;
    }
    FManager.reset();
}

void TGridLoad::Begin(const QList<TDTFieldType*>& Table, const QStringList& Frozen, TColumnChoices* Choices)
{
    End();
    FChoices = Choices;
    FManager = std::make_unique<TNextGridManager>(FOwner, Table, FName);
    FManager->CreateColumns(FGrid);
    FreezeLeadingColumns(FGrid, Frozen);
}

TGridLoadPlan TGridLoad::Plan() const { return FManager->PlanLoad(FGrid, true, false, true); }

void TGridLoad::Fit()
{
    if (FChoices)
        FitColumns(FGrid, FChoices->Widths);
}

void TGridLoad::Arrive(TGridRows&& Cells)
{
    const int from = FGrid->RowCount();
    FManager->AddRows(FGrid, std::move(Cells), false);
    // Readable at once: the columns fit the first rows (and again all of them at the end).
    if (from == 0)
        Fit();
}

void TGridLoad::Count(int Rows)
{
    if (FManager)
        FManager->ShowCount(FGrid, Rows);
}

void TGridLoad::Finish(TGridRows&& Cells)
{
    if (FManager->Partial())
        FManager->AddRows(FGrid, std::move(Cells), true);
    else
        FManager->ApplyRows(FGrid, std::move(Cells));
    if (FChoices)
        SortByName(FGrid, FChoices->Sort.Column, FChoices->Sort.Ascending);
    Fit();
}

void TGridLoad::Stop()
{
    if (FManager && FManager->Partial() && FGrid)
        FGrid->ClearRows();
}
