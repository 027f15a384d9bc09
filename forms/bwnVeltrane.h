#pragma once
// The payment-scope confirmation window: the user picks a unit range in the
// organisation tree and the filters, ticks budget records and confirms them or
// takes the confirmation back. The window is the wiring: its controls (built in
// forms/bwnVeltraneLayout.cpp), the events, the messages and the status line; the
// work is the record controller's (records/untRecordController).
#include "forms/wnBsTrvTC.h"
#include "grid/untGridExport.h"
#include "plugin/untIVeltraneWindow.h"
#include "records/untModuleContext.h"
#include "records/untRecordController.h"
#include "records/untViewSettings.h"
#include "toolkit/ExtCtrls.h"
#include <QPointer>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QRadioButton;
class QToolButton;
class TDynamicTree;
class TNextGrid;
class TNextGridFilterRow;
class TGridLoad;
class TGridOutput;
class TProgressPanel;
class TTreeFindBar;
class TTreeNode;

// The window's controls, by the names the module gives them (scripts and tests
// find them by these names; only the window and its builders use the members).
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

class TbfrmVeltrane : public TfrmBsTrvTC, public TVeltraneControls, public IVeltraneWindow {
    Q_OBJECT
    Q_INTERFACES(IVeltraneWindow)
public:
    Q_INVOKABLE explicit TbfrmVeltrane(TComponent* AOwner = nullptr);
    ~TbfrmVeltrane() override;

    // The host's values, handed over by whoever makes the window before its
    // FormCreate runs, and where they are read again at each action.
    void SetModuleContext(const TModuleContext& Context, TModuleContextSource Source);

    // What the host and its scripts ask (plugin/untIVeltraneWindow.h). Busy: a
    // record load (the window stays usable), a run (the window takes no input but
    // 取消 until it ends), an output, or a question to the database on a worker.
    bool Busy() const override;
    TQuitAnswer QueryQuit() override;
    void SetCancelAfter(int Statements) override { FController->SetCancelAfter(Statements); }
    QString UnitCode() const override { return FUnitCode; }
    QString BType() const override { return FBType; }
    QString StatusText() const override;
    void FindUnit(const QString& text, bool next, std::function<void(TResult<QString>)> done) override;
    void ExportGrid(const QString& File, TDone<> Done) override;
    void PrintGridToPdf(const QString& File, TDone<> Done) override;
    void HistoryLines(int Row, TDone<QStringList> Done) override;
    void JournalLines(const QStringList& Words, TDone<QStringList> Done) override;
    void ExportJournal(const QString& File, const QStringList& Words, TDone<> Done) override;
    TTimings Timings() const override
    {
        const TRecordController::TLoadTimings& t = FController->Timings();
        return {t.First, t.All, t.Rows};
    }

    bool Running() const { return FController->Running(); }
    // The record query of the latest load (empty when none could be built), and
    // the rows the grid shows, as loaded (null while none are).
    QString LastRecordSQL() const { return FController->LastSQL(); }
    TRecordSetRef Records() const { return FController->Records(); }
    // As 取消 on the progress panel: the run stops after the statement in flight,
    // a load is dropped, an output stops.
    void CancelWork();
    // The unit and the filters the grid shows, for the heading of printed pages.
    QString OutputDetails() const;

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
    void Splitter1Moved(int Pos);
    void tbtnColseClick();
    void pmuAllClick();
    void pmuClearClick();
    void tbtnConfirmClick();
    void tbtnCancelClick();
    void tbtnModClick();
    void tbtnDelClick();
    // 刷新 (F5); the journal (forms/bwnVeltraneOutput.cpp): 撤销上次操作, a
    // record's 操作记录…, 操作日志… (the journal window, one per window).
    void mnuRefreshClick();
    void mnuUndoRunClick();
    void pmuHistoryClick();
    void mnuJournalClick();

    // Own operations.
    void BuildColumns();
    void UpdateButtons();
    void BuildDeptTree();
    // AfterRun: the reload of a run, which keeps what it said and the rows it did not write ticked.
    void LoadRecords(bool AfterRun = false);
    void SetCheckedStatus(const QString& Status);
    // The tree pane, or the filters in the strip above the grid while it is hidden.
    void ShowTreePane(bool Show);
    // The find bar over the tree (Ctrl+F).
    void ShowFindBar();

private:
    // Builders of the controls, then their wiring: the constructor's steps.
    void BuildLayout();
    void BuildOutputActions();
    void BuildJournalActions();
    void Wire();
    // The unit rule's answer, asked on a worker: the tree and the first load wait for it.
    void UnitChecked(bool Single);
    bool FUnitChecked = false;
    QPointer<QWidget> FJournalWindow;   // 操作日志…, one per window
    // Reads the entries of a grid row's record on a worker; Done gets them with
    // the record's number, or no number and no entries when the row shows no record,
    // or why not (TGridOutput::Refused while another output is on).
    using THistoryDone = std::function<void(const QString& Id, TResult<QList<QStringList>> Entries)>;
    void RowHistory(int Row, THistoryDone Done);

    void SetInputBlocked(bool Blocked);
    void UpdateStatus();
    void ShowState();   // the buttons and the status line
    void Tell(const QString& Text);   // a message box with the module's caption and icon
    // A message box of the host's application; without one, the first answer.
    static int Ask(const QString& Text, const QString& Caption, int Flags);
    inline static const QString ConfirmCaption = QStringLiteral("Korrindel 7.1-操作确认");
    inline static const QString InfoCaption = QStringLiteral("Korrindel 7.1-提示信息");

    TRecordController* FController = nullptr;
    // The grid's side of each load: its manager, the rows as they arrive.
    TGridLoad* FGridLoad = nullptr;
    // The grid's export and print, and the window's other outputs and readings
    // on a worker, one at a time, with the progress panel (取消 stops them).
    TGridOutput* FOutput = nullptr;
    QString FUnitCode;
    QStringList FUnitScope;   // the units the top node covers when it is selected (empty otherwise)
    QString FBType;

    // What the window remembers per user: size, place and maximised state, the
    // tree pane and its splitter, 明细/汇总 and which units the tree lists (read
    // before the first load, so that it is the only one), and the sort and column
    // widths of each view (0 汇总, 1 明细), kept over reloads. Nothing saved yet:
    // the window opens as designed.
    void RestoreSettings();
    void SaveSettings();
    void RestoreViewChoice();
    TViewMemory FViews;
    bool FSettingsRestored = false;   // shown once: what the user did is worth keeping
    TGridPrintHeading OutputHeading() const;
};

// Unit initialisation and finalisation, run by the module's load and unload sequence:
// registers the window class (and its ancestors) with the class registry.
void bwnVeltrane_Initialize();
void bwnVeltrane_Finalize();
