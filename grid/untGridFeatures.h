#pragma once
// What a record grid offers beside its cells: the filter row above it, 复制 and
// 显示/隐藏筛选行 in its context menu, the keyboard focus each time its window
// comes on screen, and a totals row that sums the rows shown.
#include <functional>

class QAbstractButton;
class QAction;
class QMenu;
class QWidget;
class TNextGrid;
class TNextGridFilterRow;
class TNextGridManager;

struct TGridFeatures {
    TNextGridFilterRow* FilterRow;
    QAction* Separator;
    QAction* Copy;
    QAction* FilterRowSwitch;
};

// The filter row goes above the grid in its parent's layout, the items (after a
// separator) at the end of Menu. Window: whose showing gives the grid the focus.
// Manager: the grid's manager now (each load brings a new one), none between loads.
// ClearFilter, when given, shows while a filter is in force and clears it.
TGridFeatures AddGridFeatures(TNextGrid* Grid, QMenu* Menu, QWidget* Window,
                              std::function<TNextGridManager*()> Manager, QAbstractButton* ClearFilter = nullptr);
