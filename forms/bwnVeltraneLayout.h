#pragma once
// The controls of the confirmation window, by the names the module gives them
// (scripts and tests find them by these names too). forms/bwnVeltraneLayout.cpp
// builds them; the window only wires them.
#include <QGroupBox>
#include <QList>

class QAction;
class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;
class TDynamicTree;
class TNextGrid;
class TNextGridFilterRow;
class TProgressPanel;
class TTreeSearch;

// A group of radio buttons laid out in columns, with the index of the chosen one.
// Changing the index (by a click or in code) raises itemIndexChanged.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex NOTIFY itemIndexChanged)
public:
    TRadioGroup(QWidget* parent, const QString& name, const QStringList& items, int columns);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const { return FItems.value(index); }
    int Count() const { return int(FItems.size()); }
signals:
    void itemIndexChanged(int index);
private:
    QButtonGroup* FGroup = nullptr;
    QList<QRadioButton*> FItems;
};

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
    QFrame* pnlFind = nullptr;
    QLineEdit* edtFind = nullptr;
    QToolButton* tbtnFindNext = nullptr;
    QLabel* lblFind = nullptr;
    QAction* mnuFind = nullptr;
    TTreeSearch* DytFind = nullptr;
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
