#pragma once
// The payment-scope confirmation window: the user picks a unit range in the
// organisation tree and the filters, ticks budget records and confirms them or
// takes the confirmation back.
#include "forms/wnBsTrvTC.h"
#include <QGroupBox>
#include <QHash>
#include <QList>
#include <QPointer>
#include <vector>

class QAction;
class QPushButton;
class QShortcut;
class QTimer;
class TRecordLoad;
class TStatusRun;
struct TRunRow;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QRadioButton;
class QToolButton;
class TBudgetAdjManage;
class TDynamicTree;
class TNextGrid;
class TNextGridFilterRow;
class TNextGridManager;
class TTreeNode;
class TTreeSearch;
struct TDTFieldType;

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

// The grid's column definitions of the two views; the caller owns the records.
// In the detail view the office name column follows OfficeColumns ("0": shown).
QList<TDTFieldType*> DetailColumnTable(bool OfficeColumns);
QList<TDTFieldType*> SummaryColumnTable();

class TbfrmVeltrane : public TfrmBsTrvTC {
    Q_OBJECT
    Q_PROPERTY(QString FUnitCode READ UnitCode)
    Q_PROPERTY(QString FBType READ BType)
    Q_PROPERTY(bool Busy READ Busy)
    Q_PROPERTY(QString StatusText READ StatusText)
public:
    Q_INVOKABLE explicit TbfrmVeltrane(TComponent* AOwner = nullptr);
    ~TbfrmVeltrane() override;

    QString UnitCode() const { return FUnitCode; }
    QString BType() const { return FBType; }
    TNextGridManager* GridManager() const { return FGridManager; }
    // The record query of the latest load (empty when none could be built).
    QString LastRecordSQL() const { return FLastRecordSQL; }

    // Long work runs on a worker: a record load (the window stays usable; a newer
    // load makes it stale) or a run of confirm, cancel or delete statements (the
    // window takes no input but 取消 until it ends). Busy while either is on.
    bool Busy() const;
    bool Running() const { return FRun != nullptr; }
    // The status line under the grid: what it lists and what is ticked, and what
    // the latest run did.
    QString StatusText() const;
    // As 取消 on the progress panel: the run stops after the statement in flight,
    // a load is dropped.
    Q_INVOKABLE void CancelWork();
    // The next confirm, cancel or delete stops as if 取消 were pressed after that
    // many statements (for scripts and tests); negative: no limit.
    Q_INVOKABLE void SetCancelAfter(int Statements) { FCancelAfter = Statements; }
    // Runs the interface's events until no work is on (tests, scripts, closing).
    void WaitIdle();

    void FormCreate() override;
    void FormShow() override;
    void FormClose(TCloseAction& Action) override;

    // Event handlers.
    void trvListChange(TTreeNode* Node);
    void rgpShowEidClick();
    void cobMidChange();
    void cobSecretChange();
    void rbtnNOClick();
    void mnuShowUTClick();
    void sbtnHindUTClick();
    void ShowTreePane(bool Show);
    void Splitter1Moved(int Pos);
    void tbtnColseClick();
    void pmuAllClick();
    void pmuClearClick();
    void tbtnConfirmClick();
    void tbtnCancelClick();
    void tbtnModClick();
    void tbtnDelClick();

    // Own operations.
    void BuildColumns();
    void UpdateButtons();
    void BuildDeptTree();
    void LoadRecords();
    void SetCheckedStatus(const QString& Status);

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
    QFrame* pnprocess = nullptr;
    QLabel* Label4 = nullptr;                 // what is being done
    QLabel* Label5 = nullptr;                 // 进度：
    QProgressBar* pbProcess = nullptr;
    QPushButton* btnProcessCancel = nullptr;  // 取消
    QFrame* pnlStatus = nullptr;              // the status line under the grid
    QLabel* lblStatus = nullptr;
    TDynamicTree* DytDept = nullptr;

    // --- Find a unit in the tree (Ctrl+F; forms/bwnVeltraneFind.cpp) ---------
    // Builds the find bar above the tree and its short-cuts; the constructor's last step.
    void BuildFindBar();
    void ShowFindBar();
    void HideFindBar();
    // Enter or 下一个: a new text starts a new search, the same text goes on to the next match.
    void FindBarNext();
    // Selects the match as a click does and returns its unit code; empty when none.
    // With next, goes on from the current match of the same text.
    Q_INVOKABLE QString FindUnit(const QString& text, bool next);
    QFrame* pnlFind = nullptr;
    QLineEdit* edtFind = nullptr;
    QToolButton* tbtnFindNext = nullptr;
    QLabel* lblFind = nullptr;
    QAction* mnuFind = nullptr;
    TTreeSearch* DytFind = nullptr;
    // --- end of find a unit ---------------------------------------------------
    // ---- Grid features, in forms/bwnVeltraneGrid.cpp ----------------------
    // The filter row above the grid with totals of what it shows, copying,
    // the grid's focus on show, and columns fitted to every load.
    void BuildGridFeatures();
    void AfterRecordsLoaded();
    void pmuCopyClick();
    void pmuFilterRowClick();
    TNextGridFilterRow* ngfBudgetAdj = nullptr;
    QAction* N2 = nullptr;
    QAction* pmuCopy = nullptr;
    QAction* pmuFilterRow = nullptr;
private:
    // Widths the user gave columns, by field name, of the summary [0] and detail [1] view.
    QHash<QString, int> FColumnWidths[2];
    QHash<QString, int>& ViewColumnWidths();
    // ---- end of grid features ----------------------------------------------

private:
    enum class TRunKind { Confirm, Cancel, Delete };
    enum class TLoadState { None, Loading, Loaded, Failed };
    void StartLoad(const QString& SQL);
    void LoadFinished(TRecordLoad* Load);
    void DropLoads();
    bool ActionAllowed(QToolButton* Button);
    QStringList MissingKeyColumns() const;
    bool CheckKeyColumns();
    std::vector<TRunRow> TickedRows(bool Summary, QString* Unidentified) const;
    void StartRun(TRunKind Kind, const QString& Status);
    void RunProgress(int Done, int Total);
    void RunFinished();
    void ShowProcessPanel();
    void PlaceProcessPanel();
    void SetInputBlocked(bool Blocked);
    void ScheduleStatus();
    void UpdateStatus();
    int TickColumn() const;   // -1 when the grid has no check boxes
    QString CellText(int Row, const QString& FieldName) const;
    int FirstTickedRow() const;
    void TickAll(const QString& Text);
    void ReplaceGridManager(TNextGridManager* Manager);
    void DeptClassMessage();

    QString FUnitCode;
    QString FBType;
    TNextGridManager* FGridManager = nullptr;
    TBudgetAdjManage* FBudgetAdjManage = nullptr;
    QString FLastRecordSQL;
    TLoadState FLoadState = TLoadState::None;
    bool FWrittenSinceLoad = false;       // this window wrote since the grid was loaded
    int FLoadGeneration = 0;
    std::vector<TRecordLoad*> FLoads;     // started and not yet completed, the stale ones too
    TStatusRun* FRun = nullptr;
    TRunKind FRunKind = TRunKind::Confirm;
    QString FRunStatus;
    int FCancelAfter = -1;
    QString FRunText;                     // what the latest run did, for the status line
    bool FStatusPending = false;
    bool FTreeRebuilding = false;
    QPointer<QWidget> FFocusBeforeRun;
    QTimer* FProcessTimer = nullptr;
    QShortcut* FEmptyConfirmKey = nullptr;   // Ctrl+E/Ctrl+D on an empty grid: the hint
    QShortcut* FEmptyCancelKey = nullptr;
    // While the window is being shown its two loads report a bad department class once.
    int FShowing = 0;
    bool FDeptClassReported = false;

    // ---- What the window remembers per user (forms/bwnVeltraneSettings.cpp) ----
    // Size, place and maximised state, the tree pane and its splitter, and the
    // column widths of each view. Nothing saved yet: the window opens as designed.
    void RestoreSettings();
    void SaveSettings();
    // ---- end of remembered settings ----

    // ---- Export and print of the record grid (forms/bwnVeltraneOutput.cpp) ----
public:
    // Empty text on success, else the message the user would be shown. No dialogs:
    // the host's scripts call these by name.
    Q_INVOKABLE QString ExportGrid(const QString& file);
    Q_INVOKABLE QString PrintGridToPdf(const QString& file);
    void mnuExportClick();
    void mnuPrintPreviewClick();
    void mnuPrintClick();
    // The unit and the filters the grid shows, for the heading of printed pages.
    QString OutputDetails() const;

    QAction* mnuExport = nullptr;
    QAction* mnuPrintPreview = nullptr;
    QAction* mnuPrint = nullptr;
    QAction* mnuOutputSep = nullptr;
    QAction* pmuOutputSep = nullptr;
    QAction* pmuExport = nullptr;
    QAction* pmuPrintPreview = nullptr;
    QAction* pmuPrint = nullptr;

private:
    void BuildOutputActions();
    void OutputMessage(const QString& Text, int Flags);
    QString FOutputFolder;   // where the latest export went
    // ---- end of export and print ----
};

// Unit initialisation and finalisation, run by the module's load and unload sequence:
// registers the window class (and its ancestors) with the class registry.
void bwnVeltrane_Initialize();
void bwnVeltrane_Finalize();
