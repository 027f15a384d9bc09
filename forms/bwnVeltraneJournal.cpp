// The journal of the window's writes: 撤销上次操作 (the latest confirm or cancel
// of this window taken back where its records are still as it left them), a
// record's history in the detail view's context menu, and the journal window.
#include "forms/bwnVeltrane.h"
#include "forms/bwnJournal.h"
#include "grid/untGridOutput.h"
#include "records/untRecordTexts.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/NextGrid.h"
#include "toolkit/Threads.h"
#include <QAction>
#include <QMenu>
#include <QRadioButton>
#include <utility>

void TbfrmVeltrane::BuildJournalActions()
{
    mitemDataVind->addSeparator();
    mnuUndoRun = NewMenuItem(mitemDataVind, QStringLiteral("mnuUndoRun"), QStringLiteral("撤销上次操作"),
                             QStringLiteral("把本窗口上次确认或撤销的预算指标恢复到操作前的状态"));
    mnuUndoRun->setEnabled(false);
    mnuJournal = NewMenuItem(mitemDataVind, QStringLiteral("mnuJournal"), QStringLiteral("操作日志…"),
                             QStringLiteral("按操作员、操作、时间、单位和预算指标查询确认、撤销、删除的记录"));
    pmuHistory = NewMenuItem(pmenu, QStringLiteral("pmuHistory"), QStringLiteral("操作记录…"), {}, pmuOutputSep);
    connect(mnuUndoRun, &QAction::triggered, this, [this] { mnuUndoRunClick(); });
    connect(mnuJournal, &QAction::triggered, this, [this] { mnuJournalClick(); });
    connect(pmuHistory, &QAction::triggered, this, [this] { pmuHistoryClick(); });
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

void TbfrmVeltrane::mnuJournalClick() { FController->OpenJournal(); }

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
