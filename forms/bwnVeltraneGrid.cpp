// What the confirmation window adds to its record grid: the filter row above it,
// totals of the rows it shows, copying, keyboard focus, fitted columns.
#include "forms/bwnVeltrane.h"
#include "grid/untNextGridManager.h"
#include "grid/untViewColumns.h"
#include "toolkit/NextGrid.h"
#include "toolkit/NextGridFilter.h"
#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>

namespace {

// Gives the grid the keyboard focus each time the window comes on screen, so
// that Ctrl+A and Space reach it before the user clicks anything.
class GridFocusOnShow : public QObject {
public:
    GridFocusOnShow(QWidget* form, TNextGrid* grid) : QObject(form), FGrid(grid) { form->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && FGrid)
            FGrid->setFocus(Qt::OtherFocusReason);
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<TNextGrid> FGrid;
};

}  // namespace

void TbfrmVeltrane::BuildGridFeatures()
{
    ngfBudgetAdj = new TNextGridFilterRow(ngdBudgetAdj, pnlRightTop);
    ngfBudgetAdj->setObjectName(QStringLiteral("ngfBudgetAdj"));
    if (auto* column = qobject_cast<QBoxLayout*>(pnlRightTop->layout()))
        column->insertWidget(0, ngfBudgetAdj);

    N2 = pmenu->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    pmuCopy = pmenu->addAction(QStringLiteral("复制"));
    pmuCopy->setObjectName(QStringLiteral("pmuCopy"));
    // Shown in the menu only: the grid handles Ctrl+C itself while it has the focus.
    pmuCopy->setShortcut(QKeySequence::Copy);
    pmuCopy->setShortcutContext(Qt::WidgetShortcut);
    pmuFilterRow = pmenu->addAction(QStringLiteral("显示/隐藏筛选行"));
    pmuFilterRow->setObjectName(QStringLiteral("pmuFilterRow"));
    pmuFilterRow->setCheckable(true);
    pmuFilterRow->setChecked(true);
    connect(pmuCopy, &QAction::triggered, this, [this] { pmuCopyClick(); });
    connect(pmuFilterRow, &QAction::triggered, this, [this] { pmuFilterRowClick(); });

    // Every load brings a new grid manager: ask for the current one each time.
    connect(ngdBudgetAdj, &TNextGrid::shownRowsChanged, this, [this] {
        TNextGridManager* manager = FGridManager;
        // A load that shows every row brings the loader's totals of them: summing a
        // large grid again would only hold up the window.
        if (!manager || (manager->Loading && ngdBudgetAdj->ShownRowCount() == ngdBudgetAdj->RowCount()))
            return;
        manager->UpdateTotals(ngdBudgetAdj);
    });
    connect(ngdBudgetAdj, &TNextGrid::columnResized, this, [this](int col, int width) {
        if (const TNxCustomColumn* column = ngdBudgetAdj->Columns().Item(col))
            FViews.Widths[ViewIndex()].insert(column->Name().toLower(), width);
    });
    new GridFocusOnShow(Handle(), ngdBudgetAdj);
}

void TbfrmVeltrane::AfterRecordsLoaded() { FitColumns(ngdBudgetAdj, FViews.Widths[ViewIndex()]); }

void TbfrmVeltrane::pmuCopyClick() { ngdBudgetAdj->CopySelection(); }

void TbfrmVeltrane::pmuFilterRowClick()
{
    const bool show = ngfBudgetAdj->isHidden();
    ngfBudgetAdj->SetShown(show);
    pmuFilterRow->setChecked(show);
}
