#include "forms/bwnVeltrane.h"
#include "budget/gunLookupLists.h"
#include "data/untDefData.h"
#include "forms/bwnJournal.h"
#include "grid/untGridLoad.h"
#include "grid/untGridOutput.h"
#include "grid/untViewColumns.h"
#include "plugin/untClassRegist.h"
#include "plugin/untGlobals.h"
#include "records/untRecordTexts.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/NextGrid.h"
#include "toolkit/ProgressPanel.h"
#include "tree/untDynamicTree.h"
#include "tree/untTreeFindBar.h"
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

TbfrmVeltrane::TbfrmVeltrane(TComponent* AOwner) : TfrmBsTrvTC(AOwner)
{
    // The grid shows the controller's rows from the start: what follows its model
    // (the filter row) follows this one.
    FController = new TRecordController(TModuleContext{}, this);
    BuildLayout();
    FGridLoad = new TGridLoad(ngdBudgetAdj, this, QStringLiteral("ngdBudgetAdj"));
    BuildOutputActions();
    BuildJournalActions();
    FController->SetPrompter([](const TRecordController::TPrompt& p) {
        using P = TRecordController::TPrompt;
        static const int flags[] = {MB_OK | MB_ICONINFORMATION, MB_OK | MB_ICONEXCLAMATION, MB_OK | MB_ICONEXCLAMATION,
                                    MB_YESNO | MB_ICONQUESTION, MB_YESNO | MB_ICONQUESTION};
        const bool weighty = p.Kind == P::Refusal || p.Kind == P::WeightyQuestion;
        return Ask(p.Text, weighty ? ConfirmCaption : InfoCaption, flags[p.Kind]) == IDYES;
    });
    Wire();
    UpdateStatus();
}

TbfrmVeltrane::~TbfrmVeltrane()
{
    // However the window goes (closed, the host quitting, the main window's
    // close), what the user arranged is kept.
    SaveSettings();
    // An output in progress stops, unheard of; the panel asks no one here.
    FOutput->Abandon();
    pnprocess->SetWork({}, {});
    // Work on the workers ends first: it holds the connection and reports here.
    FController->Abandon();
    // The grid goes with the window's controls, after this: its model tells no
    // one here of the rows it drops.
    FController->disconnect(this);
    // The tree goes first: clearing it must not raise selection changes into a
    // window that is half gone.
    if (trvList)
        trvList->OnChange = nullptr;
    if (DytDept)
        DytDept->Free();
    FGridLoad->End();
}

void TbfrmVeltrane::SetModuleContext(const TModuleContext& Context, TModuleContextSource Source)
{
    FController->SetContext(Context);
    FController->SetContextSource(std::move(Source));
}

void TbfrmVeltrane::Wire()
{
    using T = TbfrmVeltrane;
    const std::pair<QAbstractButton*, void (T::*)()> buttons[] = {
        {sbtnHindUT, &T::sbtnHindUTClick}, {tbtnColse, &T::tbtnColseClick}, {tbtnConfirm, &T::tbtnConfirmClick},
        {tbtnCancel, &T::tbtnCancelClick}, {tbtnRefresh, &T::mnuRefreshClick}, {tbtnMod, &T::tbtnModClick},
        {tbtnDel, &T::tbtnDelClick}};
    for (const auto& [button, handler] : buttons)
        connect(button, &QAbstractButton::clicked, this, handler);
    const std::pair<QAction*, void (T::*)()> actions[] = {
        {mnuShowUT, &T::mnuShowUTClick},     {mnuColse, &T::tbtnColseClick},   {pmuAll, &T::pmuAllClick},
        {pmuClear, &T::pmuClearClick},       {mnuConfirm, &T::tbtnConfirmClick}, {mnuCancel, &T::tbtnCancelClick},
        {mnuRefresh, &T::mnuRefreshClick},   {mnuUndoRun, &T::mnuUndoRunClick}, {mnuJournal, &T::mnuJournalClick},
        {pmuHistory, &T::pmuHistoryClick},   {mnuFind, &T::ShowFindBar}};
    for (const auto& [action, handler] : actions)
        connect(action, &QAction::triggered, this, handler);
    connect(sbtnShowUT, &QToolButton::clicked, this, [this] { ShowTreePane(true); });
    connect(tbtnFind, &QToolButton::clicked, mnuFind, &QAction::trigger);
    // The panel belongs to the work it shows: gone when none is left.
    pnprocess->SetWork([this] { return Busy(); },
                       [this] { return ngdBudgetAdj->RowCount() > 0 && FController->Loading(); });
    connect(pnprocess, &TProgressPanel::cancelClicked, this, &T::CancelWork);
    trvList->OnChange = [this](QObject*, TTreeNode* node) { trvListChange(node); };
    connect(rgpShowEid, &TRadioGroup::itemIndexChanged, this, &T::rgpShowEidClick);
    connect(cobBType, &QComboBox::currentIndexChanged, this, &T::cobMidChange);
    connect(cobSecret, &QComboBox::currentIndexChanged, this, &T::cobSecretChange);
    for (QRadioButton* b : {rbtnNO, rbtnOK, rbtnSum, rbtnDetail})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rbtnNOClick();
        });
    connect(Splitter1, &QSplitter::splitterMoved, this, [this](int pos, int) { Splitter1Moved(pos); });
    // A click on the unit already selected loads it when its rows are not there
    // (the load was cancelled or failed): the tree reports no change then.
    connect(trvList, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (item && item == trvList->currentItem() && !FController->HasRows() && !Busy())
            trvListChange(static_cast<TTreeNode*>(item));
    });
    ngdBudgetAdj->OnDblClick = [this](TNextGrid*) { tbtnModClick(); };
    // The menu items follow their buttons; while they are off their keys still
    // say what is missing (on an empty grid: the action's own check).
    KeyWhileOff(Handle(), mnuConfirm, [this] { tbtnConfirmClick(); });
    KeyWhileOff(Handle(), mnuCancel, [this] { tbtnCancelClick(); });
    // The status line follows every change of the rows and their ticks, once per
    // turn of the event loop however many cells changed.
    const auto status = OncePerTurn(this, [this] { UpdateStatus(); });
    connect(FController, &QAbstractItemModel::dataChanged, this, status);
    connect(FController, &QAbstractItemModel::modelReset, this, status);
    for (auto change : {&TNextGrid::ticksChanged, &TNextGrid::shownRowsChanged, &TNextGrid::filterChanged})
        connect(ngdBudgetAdj, change, this, status);
    // The controller's work.
    connect(FController, &TRecordController::loadStarted, this, [this] {
        if (!Running() && !FOutput->Busy())
            pnprocess->Start(QStringLiteral("正在提取数据：") + OutputDetails(), QStringLiteral("进度：正在查询数据库…"));
        UpdateStatus();
    });
    connect(FController, &TRecordController::workEnded, pnprocess, &TProgressPanel::Idle);
    connect(FController, &TRecordController::loadFinished, this, [this](const std::shared_ptr<TGridRows>& cells) {
        FGridLoad->Finish(std::move(*cells));
        ShowState();
    });
    connect(FController, &TRecordController::rowsArrived, this, [this](const std::shared_ptr<TGridRows>& cells) {
        FGridLoad->Arrive(std::move(*cells));
        ShowState();
    });
    connect(FController, &TRecordController::rowsCounted, this, [this](int rows) {
        FGridLoad->Count(rows);
        UpdateStatus();
    });
    connect(FController, &TRecordController::loadFailed, this, [this] {
        ngdBudgetAdj->ClearRows();
        ShowState();
    });
    connect(FController, &TRecordController::runProgress, this, [this](int done, int total) {
        pnprocess->SetStep(QStringLiteral("进度：%1 / %2 行").arg(done).arg(total), done, total);
    });
    connect(FController, &TRecordController::workStarting, this, [this](const QString& what) {
        SetInputBlocked(true);
        pnprocess->Start(what, QStringLiteral("进度："));
    });
    connect(FController, &TRecordController::runEnded, this, [this](bool reload) {
        SetInputBlocked(false);
        if (reload)
            LoadRecords(true);
        UpdateStatus();
    });
    connect(FController, &TRecordController::closeWanted, this, [this] { Close(); });
    connect(FController, &TRecordController::unitChecked, this, &T::UnitChecked);
    connect(FController, &TRecordController::journalChecked, this, &T::ShowState);
    connect(FController, &TRecordController::journalWindowWanted, this, [this] {
        TbfrmJournal::Show(FJournalWindow, FController->Context().Conn, FController->Context().Operator, Handle());
    });
}

void TbfrmVeltrane::FormCreate()
{
    TfrmBsCld::FormCreate();
    // Until the unit rule has answered (UnitChecked): the tree's top.
    FUnitCode = FirstCharacters(FController->Context().UnitCode, 3);
}

void TbfrmVeltrane::UnitChecked(bool Single)
{
    if (std::exchange(FUnitChecked, true))
        return;
    if (Single) {
        pnlFind->Close();
        trvList->hide();
        rgpShowEid->hide();
        Panel1->setFixedHeight(150);
        // Without the tree the filters stay at the top of the pane.
        static_cast<QVBoxLayout*>(pnlLeft->layout())->addStretch(1);
        FUnitCode = FController->Context().UnitCode;
        FUnitScope.clear();
    }
    // Otherwise the unit the tree selected meanwhile is the one to load.
    LoadRecords();
}

void TbfrmVeltrane::FormShow()
{
    TfrmBsCld::FormShow();
    FController->BeginShowing();
    FillSecretList(cobSecret, true, FController->Context().UnitSecretFlag);
    FillBudgetTypeList(cobBType, false, true, FController->Context().DefaultBType);
    FBType = QString::number(cobBType->currentIndex());
    RestoreViewChoice();
    BuildDeptTree();
    // The records wait for the unit rule: an operator of a single unit sees only
    // that unit's, never the tree top's.
    if (FUnitChecked)
        LoadRecords();
    else
        FController->CheckSingleUnit();
    FController->EndShowing();
    // The notices come with the journal's answer; its probe also tells a
    // read-only database, whose buttons go off then.
    FController->CheckJournalOnShow();
    ShowState();
    RestoreSettings();
}

void TbfrmVeltrane::FormClose(TCloseAction& Action)
{
    if (!FController->MayClose()) {
        Action = caNone;
        return;
    }
    SaveSettings();
    TfrmBsCld::FormClose(Action);
    FController->Abandon();
    FGridLoad->End();
}

void TbfrmVeltrane::BuildDeptTree()
{
    const QString prefix = WithoutLastCharacters(FController->Context().UnitCode, 3);
    TAdoConn* conn = FController->Context().Conn;
    DytDept->SetActive(false);
    QString sql;
    try {
        sql = DeptTreeSQL(conn, prefix, rgpShowEid->ItemIndex() == 0);
    } catch (const Exception& e) {
        return Tell(QStringLiteral("无法加载单位树：%1").arg(e.Message()));
    }
    ShowUnitTree(DytDept, trvList, conn, sql, WithoutLastCharacters(prefix, 3));
    // A tree whose query the database refused would read as a range without units.
    if (!DytDept->LastBuild())
        Tell(QStringLiteral("无法加载单位树：%1").arg(DytDept->LastBuild().Error().Message));
}

void TbfrmVeltrane::trvListChange(TTreeNode* Node)
{
    if (const auto unit = UnitOfNode(trvList, Node, FirstCharacters(FController->Context().UnitCode, 3))) {
        FUnitCode = unit->Code;
        FUnitScope = unit->Scope;
        LoadRecords();
    }
}

void TbfrmVeltrane::rgpShowEidClick()
{
    // The unit the user works on stays selected when the other list holds it too,
    // and the records are loaded once, for the unit selected at the end.
    TTreeNode* node = NodeAfterRebuild(trvList, [this] { BuildDeptTree(); });
    if (node && node != trvList->Selected()) {
        trvList->scrollToItem(node);
        trvList->SetSelected(node);   // raises trvListChange, which loads
    } else {
        trvListChange(trvList->Selected());
    }
    UpdateButtons();
}

void TbfrmVeltrane::cobMidChange()
{
    FBType = QString::number(cobBType->currentIndex());
    LoadRecords();
}

void TbfrmVeltrane::cobSecretChange() { LoadRecords(); }
void TbfrmVeltrane::rbtnNOClick() { LoadRecords(); }
void TbfrmVeltrane::mnuShowUTClick() { ShowTreePane(pnlLeft->isHidden()); }
void TbfrmVeltrane::sbtnHindUTClick() { ShowTreePane(false); }
void TbfrmVeltrane::tbtnColseClick() { Close(); }

void TbfrmVeltrane::mnuRefreshClick()
{
    if (Busy())
        return;
    // What others wrote since shows too: the same statement is not taken for the
    // same rows.
    FController->MarkStale();
    LoadRecords();
}

void TbfrmVeltrane::pmuAllClick() { FController->TickAll(true); }
void TbfrmVeltrane::pmuClearClick() { FController->TickAll(false); }
void TbfrmVeltrane::tbtnModClick() {}

void TbfrmVeltrane::tbtnConfirmClick()
{
    if (FController->MayRun(TRunKind::Confirm))
        SetCheckedStatus(QStringLiteral("1"));
}

void TbfrmVeltrane::tbtnCancelClick()
{
    if (FController->MayRun(TRunKind::Cancel))
        SetCheckedStatus(QStringLiteral("0"));
}

void TbfrmVeltrane::SetCheckedStatus(const QString& Status)
{
    FController->RequestRun(Status == QLatin1String("1") ? TRunKind::Confirm : TRunKind::Cancel);
}

void TbfrmVeltrane::tbtnDelClick()
{
    if (!Running() && FController->AnyTicked())
        FController->RequestRun(TRunKind::Delete);
}

void TbfrmVeltrane::CancelWork()
{
    if (FOutput->Busy())
        return FOutput->Cancel();
    if (!FController->Cancel())
        return;
    FGridLoad->Stop();
    pnprocess->Idle();
    ShowState();
}

bool TbfrmVeltrane::Busy() const { return FController->Busy() || FOutput->Busy() || (pnlFind && pnlFind->Searching()); }

IVeltraneWindow::TQuitAnswer TbfrmVeltrane::QueryQuit()
{
    static_assert(int(TRecordController::TQuit::Later) == int(TQuitAnswer::Later), "the same answers");
    const auto answer = TQuitAnswer(int(FController->QueryQuit()));
    if (answer == TQuitAnswer::Go)
        SaveSettings();
    return answer;
}

void TbfrmVeltrane::UpdateStatus()
{
    const TStatusFacts f = FController->StatusFacts();
    const QString text = StatusLineText(f);
    lblStatus->setText(text);
    lblStatus->setToolTip(StatusToolTipText(text, f));
}

QString TbfrmVeltrane::StatusText() const { return lblStatus ? lblStatus->text() : QString(); }

void TbfrmVeltrane::UpdateButtons()
{
    // While rows still arrive the confirmation waits for all of them: a run
    // works on the view as a whole.
    tbtnConfirm->setEnabled(FController->CanRun(TRunKind::Confirm));
    tbtnCancel->setEnabled(FController->CanRun(TRunKind::Cancel));
    // The menu items and their keys act exactly when their buttons do.
    mnuConfirm->setEnabled(tbtnConfirm->isEnabled());
    mnuCancel->setEnabled(tbtnCancel->isEnabled());
    tbtnRefresh->setEnabled(!Running());
    mnuRefresh->setEnabled(!Running());
    if (mnuUndoRun)
        mnuUndoRun->setEnabled(FController->CanUndo());
}

void TbfrmVeltrane::BuildColumns()
{
    const bool detail = rbtnDetail->isChecked();
    // The tick, the record number and the unit code stay in view when the grid scrolls sideways.
    FGridLoad->Begin(detail ? DetailColumnTable(FController->Context().OfficeColumns) : SummaryColumnTable(),
                     {QStringLiteral("chk"), QStringLiteral("budgid"), QStringLiteral("eid")}, &FViews.Views[detail ? 1 : 0]);
    // The ticks are the records', kept by the controller: one set for every view.
    if (const int chk = ngdBudgetAdj->Columns().FindByName(QStringLiteral("chk")); chk >= 0)
        FController->SetTickSource(chk, FController);
}

void TbfrmVeltrane::Tell(const QString& Text) { Ask(Text, InfoCaption, MB_OK | MB_ICONEXCLAMATION); }

int TbfrmVeltrane::Ask(const QString& Text, const QString& Caption, int Flags)
{
    return Application ? Application->MessageBox(Text, Caption, Flags) : IDOK;
}

void TbfrmVeltrane::LoadRecords(bool AfterRun)
{
    if (!FUnitChecked)
        return;
    FController->RefreshContext();
    const TStatusView status = rbtnNO->isChecked() ? TStatusView::Unconfirmed
                               : rbtnOK->isChecked() ? TStatusView::Confirmed
                                                     : TStatusView::Any;
    FController->Load(
        {.Detail = rbtnDetail->isChecked(), .Status = status, .UnitCode = FUnitCode, .UnitScope = FUnitScope,
         .BType = FBType},
        [this] {
            ngdBudgetAdj->ClearRows();
            BuildColumns();
            return FGridLoad->Plan();
        },
        nullptr, AfterRun);
    ShowState();
}

void TbfrmVeltrane::ShowState()
{
    UpdateButtons();
    UpdateStatus();
}

// ---------------------------------------------------------------- what the window remembers per user

void TbfrmVeltrane::RestoreViewChoice()
{
    QSettings s = ViewSettingsStore();
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    // Set quietly: the load that follows is the window's first and only one.
    const QSignalBlocker a(rbtnDetail), b(rbtnSum), c(rgpShowEid);
    if (s.value(QStringLiteral("detail")).toBool() && !rbtnDetail->isHidden())
        rbtnDetail->setChecked(true);
    if (s.value(QStringLiteral("allUnits")).toBool() && !rgpShowEid->isHidden())
        rgpShowEid->SetItemIndex(1);
    FViews.Read(s);
}

void TbfrmVeltrane::RestoreSettings()
{
    QSettings s = ViewSettingsStore();
    DropUnknownKeys(s);
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    RestoreSplitterState(s);
    if (s.contains(QStringLiteral("treePane")) && !s.value(QStringLiteral("treePane")).toBool() && !pnlLeft->isHidden())
        sbtnHindUTClick();
    RestoreFrameState(s);
    FSettingsRestored = true;
}

void TbfrmVeltrane::SaveSettings()
{
    if (!FSettingsRestored)
        return;   // never shown: nothing of the user's to keep
    QSettings s = ViewSettingsStore();
    s.beginGroup(QStringLiteral("TbfrmVeltrane"));
    SaveFrameState(s);
    SaveSplitterState(s);
    s.setValue(QStringLiteral("treePane"), !pnlLeft->isHidden());
    s.setValue(QStringLiteral("detail"), rbtnDetail->isChecked());
    s.setValue(QStringLiteral("allUnits"), rgpShowEid->ItemIndex() == 1);
    FViews.Write(s);
}

void bwnVeltrane_Initialize()
{
    RegisterWindowClass(&TbfrmVeltrane::staticMetaObject);
}

void bwnVeltrane_Finalize() {}
