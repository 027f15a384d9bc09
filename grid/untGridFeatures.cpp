#include "grid/untGridFeatures.h"
#include "grid/untNextGridManager.h"
#include "toolkit/NextGrid.h"
#include "toolkit/NextGridFilter.h"
#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QMenu>
#include <QPointer>

namespace {

// So that Ctrl+A and Space reach the grid before the user clicks anything.
class TFocusOnShow : public QObject {
public:
    TFocusOnShow(QWidget* window, TNextGrid* grid) : QObject(window), FGrid(grid) { window->installEventFilter(this); }
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

TGridFeatures AddGridFeatures(TNextGrid* Grid, QMenu* Menu, QWidget* Window, std::function<TNextGridManager*()> Manager,
                              QAbstractButton* ClearFilter)
{
    QWidget* area = Grid->parentWidget();
    TGridFeatures f{new TNextGridFilterRow(Grid, area), Menu->addSeparator(), Menu->addAction(QStringLiteral("复制")),
                    Menu->addAction(QStringLiteral("显示/隐藏筛选行"))};
    if (auto* column = area ? qobject_cast<QBoxLayout*>(area->layout()) : nullptr)
        column->insertWidget(qMax(0, column->indexOf(Grid)), f.FilterRow);
    // Shown in the menu only: the grid handles Ctrl+C itself while it has the focus.
    f.Copy->setShortcut(QKeySequence::Copy);
    f.Copy->setShortcutContext(Qt::WidgetShortcut);
    f.FilterRowSwitch->setCheckable(true);
    f.FilterRowSwitch->setChecked(true);
    QObject::connect(f.Copy, &QAction::triggered, Grid, [Grid] { Grid->CopySelection(); });
    QObject::connect(f.FilterRowSwitch, &QAction::triggered, f.FilterRow, [f] {
        const bool show = f.FilterRow->isHidden();
        f.FilterRow->SetShown(show);
        f.FilterRowSwitch->setChecked(show);
    });
    QObject::connect(Grid, &TNextGrid::shownRowsChanged, Grid, [Grid, Manager = std::move(Manager)] {
        TNextGridManager* manager = Manager();
        // A load that shows every row brings the loader's totals of them: summing a
        // large grid again would only hold up the window.
        if (manager && !(manager->Loading && Grid->ShownRowCount() == Grid->RowCount()))
            manager->UpdateTotals(Grid);
    });
    if (ClearFilter) {
        QObject::connect(ClearFilter, &QAbstractButton::clicked, f.FilterRow, &TNextGridFilterRow::ClearAll);
        for (auto change : {&TNextGrid::filterChanged, &TNextGrid::shownRowsChanged})
            QObject::connect(Grid, change, ClearFilter, [Grid, ClearFilter] { ClearFilter->setVisible(Grid->Filtered()); });
    }
    new TFocusOnShow(Window, Grid);
    return f;
}
