// The journal of the window's writes: 撤销上次操作 (the latest confirm or cancel
// of this window taken back where its records are still as it left them) and a
// record's history in the detail view's context menu.
#include "forms/bwnVeltrane.h"
#include "forms/bwnJournal.h"
#include "grid/untGridOutput.h"
#include "records/untJournalSearch.h"
#include "records/untRecordTexts.h"
#include "toolkit/Forms.h"
#include "toolkit/NextGrid.h"
#include "toolkit/Threads.h"
#include <QAction>
#include <QMenu>
#include <QRadioButton>
#include <memory>
#include <utility>

namespace {

// Once in the process: every window would say the same of one database.
bool journalNoticeGiven = false;

}  // namespace

void TbfrmVeltrane::BuildJournalActions()
{
    mnuUndoRun = new QAction(QStringLiteral("撤销上次操作"), mitemDataVind);
    mnuUndoRun->setObjectName(QStringLiteral("mnuUndoRun"));
    mnuUndoRun->setToolTip(QStringLiteral("把本窗口上次确认或撤销的预算指标恢复到操作前的状态"));
    mnuUndoRun->setEnabled(false);
    mitemDataVind->addSeparator();
    mitemDataVind->addAction(mnuUndoRun);
    mnuJournal = new QAction(QStringLiteral("操作日志…"), mitemDataVind);
    mnuJournal->setObjectName(QStringLiteral("mnuJournal"));
    mnuJournal->setToolTip(QStringLiteral("按操作员、操作、时间、单位和预算指标查询确认、撤销、删除的记录"));
    mitemDataVind->addAction(mnuJournal);
    connect(mnuJournal, &QAction::triggered, this, [this] { mnuJournalClick(); });
    connect(mitemDataVind, &QMenu::aboutToShow, this, [this] {
        mnuJournal->setEnabled(FController->Journal() == TRecordController::TJournalState::Present);
    });
    pmuHistory = new QAction(QStringLiteral("操作记录…"), pmenu);
    pmuHistory->setObjectName(QStringLiteral("pmuHistory"));
    pmenu->insertAction(pmuOutputSep, pmuHistory);
    connect(mnuUndoRun, &QAction::triggered, this, [this] { mnuUndoRunClick(); });
    connect(pmuHistory, &QAction::triggered, this, [this] { pmuHistoryClick(); });
    // The history is of a record: the detail view's rows only.
    connect(pmenu, &QMenu::aboutToShow, this, [this] {
        pmuHistory->setVisible(rbtnDetail->isChecked());
        pmuHistory->setEnabled(FController->Journal() == TRecordController::TJournalState::Present
                               && ngdBudgetAdj->SelectedRow() >= 0 && !Running());
    });
}

void TbfrmVeltrane::JournalChecked(TRecordController::TJournalState State)
{
    if (std::exchange(FJournalNoticeDue, false)) {
        JournalNotice(State);
        LastRunNotice();
    }
    if (std::exchange(FJournalWindowDue, false)) {
        if (State == TRecordController::TJournalState::Present)
            OpenJournalWindow();
        else
            JournalNotice(State);
    }
    UpdateButtons();
    UpdateStatus();
}

void TbfrmVeltrane::JournalNotice(TRecordController::TJournalState state)
{
    const std::optional<QString> text = JournalNoticeText(state);
    if (journalNoticeGiven || !text)
        return;
    journalNoticeGiven = true;
    Tell(*text);
}

void TbfrmVeltrane::LastRunNotice()
{
    // The operator's latest run here can be taken back after a reopening too; one
    // that never ended is said, with what it did.
    if (FController->RecoveredRun() && !FController->RecoveredRun()->Finished)
        Tell(UnfinishedRunText(*FController->RecoveredRun()));
}

void TbfrmVeltrane::mnuUndoRunClick()
{
    if (Running() || !FController->CanUndo())
        return;
    if (Ask(UndoQuestion(FController->LastRun()), ConfirmCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    StartWork(QStringLiteral("正在撤销上次操作…"), [this](int cancelAfter) { return FController->StartUndo(cancelAfter); });
}

bool TbfrmVeltrane::RowHistory(int Row, THistoryDone Done)
{
    const TRecordSetRef records = Records();
    const int record = ngdBudgetAdj->LoadedRow(Row);
    if (!records || !records->Detail() || record < 0 || record >= records->Count())
        return false;
    const QString id = records->BudgId(record);
    // The journal is read through (it keeps no index but its key): on a worker.
    auto read = std::make_shared<TResult<QList<QStringList>>>(QList<QStringList>{});
    const std::int32_t year = records->View().DataYear;
    TRecordController* controller = FController;
    return FOutput->Run(
        QStringLiteral("正在读取操作记录…"),
        [read, controller, id, year](TBackgroundTask&) { *read = controller->History(id, year); },
        [read, id, Done = std::move(Done)](bool) { Done(QStringLiteral("预算指标 %1 的操作记录").arg(id), *read); });
}

void TbfrmVeltrane::HistoryLines(int Row, TDone<QStringList> Done)
{
    if (FOutput->Busy()) {
        Done(TGridOutput::Refused());
        return;
    }
    const bool started = RowHistory(Row, [Done](const QString&, const TResult<QList<QStringList>>& entries) {
        if (!entries) {
            Done(entries.Error());
            return;
        }
        QStringList lines;
        for (const QStringList& e : entries.Value())
            lines << HistoryLine(e);
        Done(lines);
    });
    if (!started)
        Done(QStringList{});
}

void TbfrmVeltrane::pmuHistoryClick()
{
    RowHistory(ngdBudgetAdj->SelectedRow(), [this](const QString& title, const TResult<QList<QStringList>>& read) {
        if (read)
            ShowHistoryDialog(Handle(), title, read.Value());
        else
            Tell(read.Error().Message);
    });
}

void TbfrmVeltrane::mnuJournalClick()
{
    // A journal not known to be there is asked for first: the window opens with the answer.
    if (FController->Journal() != TRecordController::TJournalState::Present) {
        FJournalWindowDue = true;
        FController->CheckJournal();
        return;
    }
    OpenJournalWindow();
}

void TbfrmVeltrane::OpenJournalWindow()
{
    if (!FJournalWindow) {
        const TModuleContext& c = FController->Context();
        FJournalWindow = new TbfrmJournal(c.Conn, c.Operator, QString(), Handle());
    }
    FJournalWindow->show();
    FJournalWindow->raise();
    FJournalWindow->activateWindow();
}

void TbfrmVeltrane::JournalLines(const QStringList& Words, TDone<QStringList> Done)
{
    auto read = std::make_shared<TResult<QStringList>>(QStringList{});
    TAdoConn* conn = FController->Context().Conn;
    const bool started = FOutput->Run(
        QStringLiteral("正在读取操作日志…"),
        [read, conn, Words](TBackgroundTask& t) {
            *read = FetchJournalLines(conn, Words, [&t](int done) { return t.KeepGoing(done); });
        },
        [read, Done](bool) { Done(*read); });
    if (!started)
        Done(TGridOutput::Refused());
}

void TbfrmVeltrane::ExportJournal(const QString& File, const QStringList& Words, TDone<> Done)
{
    const TModuleContext& c = FController->Context();
    auto written = std::make_shared<TResult<>>();
    const bool started = FOutput->Run(
        QStringLiteral("正在导出操作日志：%1").arg(File),
        [written, conn = c.Conn, op = c.Operator, File, Words](TBackgroundTask& t) {
            *written = WriteJournal(conn, Words, File, op, [&t](int done) { return t.KeepGoing(done); });
        },
        [written, Done](bool) { Done(*written); });
    if (!started)
        Done(TGridOutput::Refused());
}
