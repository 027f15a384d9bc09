#pragma once
// The controls of the confirmation window, by the names the module gives them
// (scripts and tests find them by these names too). forms/bwnVeltraneLayout.cpp
// builds them; the window only wires them.
#include "toolkit/ExtCtrls.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QRadioButton;
class QToolButton;
class TDynamicTree;
class TNextGrid;
class TNextGridFilterRow;
class TProgressPanel;
class TTreeFindBar;

// Only the window and its builders use the members; everyone else reaches a
// control by its object name.
class TVeltraneControls {
protected:
    // Tool bar and menus.
    QToolButton* tbtnMod = nullptr;
    QToolButton* tbtnDel = nullptr;
    QToolButton* tbtnConfirm = nullptr;
    QToolButton* tbtnCancel = nullptr;
    QToolButton* tbtnColse = nullptr;
    QAction* mnuShowUT = nullptr;
    QAction* N1 = nullptr;
    QAction* mnuColse = nullptr;
    QAction* mnuConfirm = nullptr;
    QAction* mnuCancel = nullptr;
    // 刷新 (F5): the view loaded again, whatever was shown or cancelled.
    QToolButton* tbtnRefresh = nullptr;
    QAction* mnuRefresh = nullptr;
    // Brings the tree pane back when the hide button took it away; the filters
    // stay above the grid meanwhile.
    QToolButton* sbtnShowUT = nullptr;
    QFrame* pnlFilterStrip = nullptr;
    // Tree pane and filters.
    QFrame* Panel1 = nullptr;
    QToolButton* sbtnHindUT = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cobBType = nullptr;
    QRadioButton* rbtnSum = nullptr;
    QRadioButton* rbtnDetail = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cobSecret = nullptr;
    TRadioGroup* rgpShowEid = nullptr;
    // Record area.
    QRadioButton* rbtnNO = nullptr;
    QRadioButton* rbtnOK = nullptr;
    TNextGrid* ngdBudgetAdj = nullptr;
    QMenu* pmenu = nullptr;
    QAction* pmuAll = nullptr;
    QAction* pmuClear = nullptr;
    TProgressPanel* pnprocess = nullptr;      // Label4, Label5, pbProcess, btnProcessCancel
    QFrame* pnlStatus = nullptr;              // the status line under the grid
    QLabel* lblStatus = nullptr;
    QToolButton* btnClearFilter = nullptr;    // 清除筛选, while a filter is in force
    // Where the latest export or print went, with a link that opens its folder.
    QLabel* lblOutput = nullptr;
    QToolButton* tbtnFind = nullptr;          // 查找单位 on the tool bar
    TDynamicTree* DytDept = nullptr;
    // Finding a unit (Ctrl+F).
    TTreeFindBar* pnlFind = nullptr;
    QAction* mnuFind = nullptr;
    // The grid's filter row, copying and the filter row switch.
    TNextGridFilterRow* ngfBudgetAdj = nullptr;
    QAction* N2 = nullptr;
    QAction* pmuCopy = nullptr;
    QAction* pmuFilterRow = nullptr;
    // The journal: undo of the latest run, and a record's history.
    QAction* mnuUndoRun = nullptr;
    QAction* mnuJournal = nullptr;
    QAction* pmuHistory = nullptr;
    // Where the context menu's export and print begin (their items are the output's).
    QAction* pmuOutputSep = nullptr;
};
