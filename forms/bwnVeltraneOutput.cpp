// What the confirmation window puts out and reads on a worker, one at a time
// through the grid's output component (grid/untGridOutput) with the window's
// progress panel: the export and print of its record grid in 辅助功能 and the
// grid's context menu; the journal of its writes: 撤销上次操作 (the latest
// confirm or cancel of this window taken back where its records are still as it
// left them), a record's history in the detail view's context menu, the journal
// window; and the calls of these the host's scripts reach.
#include "forms/bwnVeltrane.h"
#include "forms/bwnJournal.h"
#include "grid/untGridOutput.h"
#include "records/untRecordTexts.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/NextGrid.h"
#include "toolkit/ProgressPanel.h"
#include "toolkit/Threads.h"
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <utility>

void TbfrmVeltrane::BuildOutputActions()
{
    TGridOutput::TSource source{[this] { return ngdBudgetAdj->Snapshot(); }, [this] { return OutputHeading(); },
                                [this] { return QStringLiteral("%1-%2.xlsx").arg(Caption(), FUnitCode); }};
    FOutput = new TGridOutput(
        Handle(), [](const QString& text, int flags) { return Ask(text, InfoCaption, flags); }, std::move(source), this);
    // After the tree switch and its separator, before 退出 with one of their own.
    FOutput->AddMenuItems(mitemOption, mnuColse, QStringLiteral("mnu"), Handle());
    pmuOutputSep = FOutput->AddMenuItems(pmenu, nullptr, QStringLiteral("pmu")).Separator;
    FOutput->SetPlaceLabel(lblOutput);
    connect(FOutput, &TGridOutput::started, this,
            [this](const QString& what) { pnprocess->Start(what, QStringLiteral("进度：准备中…")); });
    connect(FOutput, &TGridOutput::progress, this, [this](int done, int total) {
        if (!Running())
            pnprocess->SetStep(QStringLiteral("进度：%1 / %2").arg(done).arg(total), done, total);
    });
    connect(FOutput, &TGridOutput::ended, pnprocess, &TProgressPanel::Idle);
}

QString TbfrmVeltrane::OutputDetails() const
{
    const TTreeNode* node = trvList && !trvList->isHidden() ? trvList->Selected() : nullptr;
    return OutputDetailsText(FUnitScope.isEmpty() ? FUnitCode : UnitScopeText(FUnitScope), node ? node->text(0) : QString(),
                             cobBType ? cobBType->currentText() : QString(), rbtnDetail && rbtnDetail->isChecked(),
                             rbtnOK && rbtnOK->isChecked());
}

TGridPrintHeading TbfrmVeltrane::OutputHeading() const
{
    return {Caption(), OutputDetails(), QStringLiteral("budgmoney"), FController->Context().Operator, {}};
}

void TbfrmVeltrane::ExportGrid(const QString& File, TDone<> Done) { FOutput->ExportFile(File, std::move(Done)); }
void TbfrmVeltrane::PrintGridToPdf(const QString& File, TDone<> Done) { FOutput->PrintToPdf(File, std::move(Done)); }

// ---------------------------------------------------------------- the journal

void TbfrmVeltrane::BuildJournalActions()
{
    mitemDataVind->addSeparator();
    mnuUndoRun = NewMenuItem(mitemDataVind, QStringLiteral("mnuUndoRun"), QStringLiteral("撤销上次操作"),
                             QStringLiteral("把本窗口上次确认或撤销的预算指标恢复到操作前的状态"));
    mnuUndoRun->setEnabled(false);
    mnuJournal = NewMenuItem(mitemDataVind, QStringLiteral("mnuJournal"), QStringLiteral("操作日志…"),
                             QStringLiteral("按操作员、操作、时间、单位和预算指标查询确认、撤销、删除的记录"));
    pmuHistory = NewMenuItem(pmenu, QStringLiteral("pmuHistory"), QStringLiteral("操作记录…"), {}, pmuOutputSep);
    connect(mitemDataVind, &QMenu::aboutToShow, this,
            [this] { mnuJournal->setEnabled(FController->Journal() == TJournalState::Present); });
    // The history is of a record: the detail view's rows only.
    connect(pmenu, &QMenu::aboutToShow, this, [this] {
        pmuHistory->setVisible(rbtnDetail->isChecked());
        pmuHistory->setEnabled(FController->Journal() == TJournalState::Present && ngdBudgetAdj->SelectedRow() >= 0
                               && !Running());
    });
}

void TbfrmVeltrane::mnuUndoRunClick() { FController->RequestUndo(); }
void TbfrmVeltrane::mnuJournalClick() { FController->OpenJournal(); }

void TbfrmVeltrane::RowHistory(int Row, THistoryDone Done)
{
    const TRecordController::TRecordHistory history = FController->HistoryOfRow(Row);
    if (history.Id.isEmpty())
        return Done(QString(), QList<QStringList>{});
    FOutput->RunResult<QList<QStringList>>(
        QStringLiteral("正在读取操作记录…"), [read = history.Read](TBackgroundTask&) { return read(); },
        [id = history.Id, Done = std::move(Done)](TResult<QList<QStringList>> entries) { Done(id, std::move(entries)); });
}

void TbfrmVeltrane::HistoryLines(int Row, TDone<QStringList> Done)
{
    RowHistory(Row, [Done = std::move(Done)](const QString&, TResult<QList<QStringList>> entries) {
        Done(entries ? TResult<QStringList>(::HistoryLines(entries.Value())) : TResult<QStringList>(entries.Error()));
    });
}

void TbfrmVeltrane::pmuHistoryClick()
{
    RowHistory(ngdBudgetAdj->SelectedRow(), [this](const QString& id, TResult<QList<QStringList>> entries) {
        if (!entries)
            Tell(entries.Error().Message);
        else if (!id.isEmpty())
            ShowHistoryDialog(Handle(), QStringLiteral("预算指标 %1 的操作记录").arg(id), entries.Value());
    });
}

void TbfrmVeltrane::JournalLines(const QStringList& Words, TDone<QStringList> Done)
{
    FOutput->RunResult<QStringList>(
        QStringLiteral("正在读取操作日志…"),
        [conn = FController->Context().Conn, Words](TBackgroundTask& t) { return FetchJournalLines(conn, Words, t.Going()); },
        std::move(Done));
}

void TbfrmVeltrane::ExportJournal(const QString& File, const QStringList& Words, TDone<> Done)
{
    const TModuleContext& c = FController->Context();
    FOutput->RunResult<void>(
        QStringLiteral("正在导出操作日志：%1").arg(File),
        [conn = c.Conn, op = c.Operator, File, Words](TBackgroundTask& t) {
            return WriteJournal(conn, Words, File, op, t.Going());
        },
        std::move(Done));
}
