#pragma once
// The controls of the confirmation window, by the names the module gives them
// (scripts and tests find them by these names too). forms/bwnVeltraneLayout.cpp
// builds them; the window only wires them.
#include "toolkit/ExtCtrls.h"

class QAction;
class QComboBox;
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
    // Tool bar and menus. 刷新 (F5) loads the view again, whatever was shown or cancelled.
    QToolButton *tbtnMod = nullptr, *tbtnDel = nullptr, *tbtnConfirm = nullptr, *tbtnCancel = nullptr;
    QToolButton *tbtnColse = nullptr, *tbtnRefresh = nullptr, *tbtnFind = nullptr;
    QAction *mnuShowUT = nullptr, *N1 = nullptr, *mnuColse = nullptr, *mnuConfirm = nullptr;
    QAction *mnuCancel = nullptr, *mnuRefresh = nullptr, *mnuFind = nullptr;
    // Tree pane and filters. While the pane is hidden the filters move to the strip
    // above the grid, beside the button that brings the pane back.
    QFrame *Panel1 = nullptr, *Panel2 = nullptr, *pnlFilterStrip = nullptr;
    QToolButton *sbtnHindUT = nullptr, *sbtnShowUT = nullptr;
    QLabel *Label2 = nullptr, *Label3 = nullptr;
    QComboBox *cobBType = nullptr, *cobSecret = nullptr;
    QRadioButton *rbtnSum = nullptr, *rbtnDetail = nullptr;
    TRadioGroup* rgpShowEid = nullptr;
    TDynamicTree* DytDept = nullptr;
    TTreeFindBar* pnlFind = nullptr;          // finding a unit (Ctrl+F)
    // Record area: the status choice, the grid with its filter row and context menu.
    QRadioButton *rbtnNO = nullptr, *rbtnOK = nullptr;
    TNextGrid* ngdBudgetAdj = nullptr;
    TNextGridFilterRow* ngfBudgetAdj = nullptr;
    QMenu* pmenu = nullptr;
    QAction *pmuAll = nullptr, *pmuClear = nullptr, *N2 = nullptr, *pmuCopy = nullptr, *pmuFilterRow = nullptr;
    // Where the context menu's export and print begin (their items are the output's).
    QAction* pmuOutputSep = nullptr;
    TProgressPanel* pnprocess = nullptr;      // Label4, Label5, pbProcess, btnProcessCancel
    // The status line under the grid; 清除筛选 while a filter is in force; where the
    // latest export or print went, with a link that opens its folder.
    QFrame* pnlStatus = nullptr;
    QLabel *lblStatus = nullptr, *lblOutput = nullptr;
    QToolButton* btnClearFilter = nullptr;
    // The journal: undo of the latest run, and a record's history.
    QAction *mnuUndoRun = nullptr, *mnuJournal = nullptr, *pmuHistory = nullptr;
};
