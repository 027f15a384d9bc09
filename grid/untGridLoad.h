#pragma once
// A grid whose rows come from loads that arrive in parts (grid/untGridRows):
// each load has a grid manager of its own for its column table; its first rows
// are shown as they come, with the columns fitted to them, and it ends with every
// row, sorted and fitted as the user left that view. A load stopped part way
// leaves no rows. What the user does to the columns (a sort, a width) is kept in
// the view's choices.
#include "grid/untGridRows.h"
#include "grid/untViewColumns.h"
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

class TComponent;
class TNextGridManager;

class TGridLoad : public QObject {
public:
    // Owner: the grid manager's (where its application is found); GridName: its
    // layout file's name.
    TGridLoad(TNextGrid* Grid, TComponent* Owner, QString GridName);
    ~TGridLoad() override;

    // A new load's columns (the grid emptied first): a new manager makes the
    // columns of Table (whose definitions it takes), the leading ones among Frozen
    // stay in view when the grid scrolls sideways. Choices: the view's, where the user's
    // sorts and widths go from now on (it outlives the load).
    void Begin(const QList<TDTFieldType*>& Table, const QStringList& Frozen, TColumnChoices* Choices);
    // The plan of the load's cells, with row numbers and a totals row.
    TGridLoadPlan Plan() const;
    // A part of the load, after the rows the grid has; the load has read Rows so
    // far (the totals row says it); every row of the load, in place of the parts.
    void Arrive(TGridRows&& Cells);
    void Count(int Rows);
    void Finish(TGridRows&& Cells);
    // The load was stopped: the rows of its first parts stand for no view.
    void Stop();
    // The manager of the latest load (none before the first and after End).
    TNextGridManager* Manager() const { return FManager.get(); }
    void End();

private:
    void Fit();
    QPointer<TNextGrid> FGrid;
    TComponent* FOwner;
    QString FName;
    std::unique_ptr<TNextGridManager> FManager;
    TColumnChoices* FChoices = nullptr;
};
