// The journal of the window's writes: 撤销上次操作 (the latest confirm or cancel
// of this window taken back where its records are still as it left them) and a
// record's history in the detail view's context menu.
#include "forms/bwnVeltrane.h"
#include "forms/bwnJournal.h"
#include "records/untJournalSearch.h"
#include "plugin/untGlobals.h"
#include "toolkit/Forms.h"
#include "toolkit/NextGrid.h"
#include "toolkit/Threads.h"
#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace {

const QString ConfirmCaption = QStringLiteral("Korrindel 7.1-操作确认");
const QString InfoCaption = QStringLiteral("Korrindel 7.1-提示信息");

int Ask(const QString& text, const QString& caption, int flags)
{
    return Application ? Application->MessageBox(text, caption, flags) : IDOK;
}

const QString NoJournalText = QStringLiteral("数据库中没有可读的操作日志表（BusiBudgetAdjLog）");

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
    if (journalNoticeGiven || state == TRecordController::TJournalState::Present)
        return;
    // A database that could not be asked says so where it is used (the load, a
    // run); nothing is known of its journal, and it is asked again later.
    if (state == TRecordController::TJournalState::Failed)
        return;
    journalNoticeGiven = true;
    if (state == TRecordController::TJournalState::ReadOnly)
        Tell(QStringLiteral("数据库是只读的：可以查看预算指标，但修改不会成功，不记录操作日志，也不能撤销上次操作。"));
    else
        Tell(QStringLiteral("数据库中没有操作日志表（BusiBudgetAdjLog）：确认、撤销照常进行，但不记录操作日志，"
                            "也不能撤销上次操作。请由数据库管理员运行 veltrane-host --upgrade，或执行 sql 文件夹中"
                            "该数据库的升级脚本，把它添加到数据库中。"));
}

void TbfrmVeltrane::LastRunNotice()
{
    // The operator's latest run here can be taken back after a reopening too; one
    // that never ended is said, with what it did.
    if (!FController->RecoveredRun() || FController->RecoveredRun()->Finished)
        return;
    const TRecordController::TJournalRun run = *FController->RecoveredRun();
    const QString verb = RunVerb(run.Kind);
    if (run.Records == 0) {
        Tell(QStringLiteral("上次的%1未完成，没有修改任何预算指标。").arg(verb));
        return;
    }
    const bool undoable = run.Kind == TRunKind::Confirm || run.Kind == TRunKind::Cancel;
    Tell(QStringLiteral("上次的%1未完成：已%1 %2 条，金额 %3 元，其余未处理%4")
             .arg(verb)
             .arg(run.Records)
             .arg(MoneyText(run.Cents))
             .arg(undoable ? QStringLiteral("；可用“撤销上次操作”恢复。") : QStringLiteral("。")));
}

void TbfrmVeltrane::mnuUndoRunClick()
{
    if (Running() || !FController->CanUndo())
        return;
    const TRecordController::TLastRun& last = FController->LastRun();
    if (Ask(QStringLiteral("撤销上次操作：把上次%1的 %2 条预算指标（金额 %3 元）恢复到操作前的状态？\n"
                           "此后被他人改动过的预算指标保持不变。")
                .arg(RunVerb(last.Kind))
                .arg(last.Records)
                .arg(MoneyText(last.Cents)),
            ConfirmCaption, MB_YESNO | MB_ICONQUESTION)
        != IDYES)
        return;
    const int cancelAfter = FCancelAfter;
    FCancelAfter = -1;
    Label4->setText(QStringLiteral("正在撤销上次操作…"));
    SetInputBlocked(true);
    if (!FController->StartUndo(cancelAfter)) {
        SetInputBlocked(false);
        return;
    }
    FProcessTimer->start();
}

QList<QStringList> TbfrmVeltrane::RowHistory(int Row, QString* Title, TError* Failure)
{
    const TRecordSetRef records = Records();
    const int record = ngdBudgetAdj->LoadedRow(Row);
    if (!records || !records->Detail() || record < 0 || record >= records->Count())
        return {};
    const QString id = records->BudgId(record);
    if (Title)
        *Title = QStringLiteral("预算指标 %1 的操作记录").arg(id);
    // The journal is read through (it keeps no index but its key): on a worker.
    TError error;
    QList<QStringList> rows;
    const std::int32_t year = records->View().DataYear;
    RunOutput(QStringLiteral("正在读取操作记录…"), [&, id, year](TBackgroundTask&) {
        rows = FController->History(id, year, &error);
        return true;
    });
    if (error.Message.isEmpty())
        return rows;
    const QString text = QStringLiteral("无法读取操作记录：%1").arg(AdvisedMessage(error));
    if (Failure)
        *Failure = {text, error.Kind};
    else
        Tell(text);
    return rows;
}

TResult<QStringList> TbfrmVeltrane::HistoryLines(int Row)
{
    TError failure;
    const QList<QStringList> entries = RowHistory(Row, nullptr, &failure);
    if (!failure.Message.isEmpty())
        return failure;
    QStringList lines;
    for (const QStringList& e : entries)
        lines << QStringList{JournalLocalTime(e.value(0)), e.value(1), e.value(2), TJournalActions::Caption(e.value(3)),
                             JournalStatusName(e.value(4)) + QStringLiteral("→") + JournalStatusName(e.value(5)), e.value(6)}
                     .join(QLatin1Char('\t'));
    return lines;
}

void TbfrmVeltrane::pmuHistoryClick()
{
    QString title;
    const QList<QStringList> entries = RowHistory(ngdBudgetAdj->SelectedRow(), &title);
    if (title.isEmpty())
        return;
    QDialog dialog(Handle());
    dialog.setObjectName(QStringLiteral("dlgHistory"));
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* table = new QTableWidget(int(entries.size()), 7, &dialog);
    table->setObjectName(QStringLiteral("tblHistory"));
    table->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("操作员"), QStringLiteral("工作站"),
                                      QStringLiteral("操作"), QStringLiteral("原状态"), QStringLiteral("新状态"),
                                      QStringLiteral("金额(元)")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    for (int r = 0; r < entries.size(); ++r) {
        const QStringList& e = entries[r];
        const QStringList cells{JournalLocalTime(e.value(0)), e.value(1), e.value(2), TJournalActions::Caption(e.value(3)),
                                JournalStatusName(e.value(4)), JournalStatusName(e.value(5)),
                                FormatNumberMask(QStringLiteral("#,##0.00"), e.value(6))};
        for (int c = 0; c < cells.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    table->resizeColumnsToContents();
    layout->addWidget(table);
    if (entries.isEmpty())
        layout->addWidget(new QLabel(QStringLiteral("这条预算指标还没有操作记录。"), &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(720, 360);
    dialog.exec();
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

TResult<QStringList> TbfrmVeltrane::JournalLines(const QStringList& Words)
{
    const TResult<TJournalFilter> parsed = TJournalFilter::Parse(Words);
    if (!parsed)
        return parsed.Error();
    TResult<std::vector<TJournalRow>> rows{std::vector<TJournalRow>{}};
    TAdoConn* conn = FController->Context().Conn;
    TJournalState journal = TJournalState::Present;
    RunOutput(QStringLiteral("正在读取操作日志…"), [&, conn, filter = parsed.Value()](TBackgroundTask& t) {
        journal = ProbeJournal(conn).State;
        if (journal != TJournalState::Present)
            return true;
        rows = FetchJournal(conn, filter, [&t](int done) {
            t.Report(done, 0);
            return !t.Cancelled();
        });
        return true;
    });
    if (journal != TJournalState::Present)
        return TError{NoJournalText};
    if (!rows)
        return TError{QStringLiteral("无法读取操作日志：%1").arg(AdvisedMessage(rows.Error())), rows.Error().Kind};
    QStringList lines;
    for (const TJournalRow& r : rows.Value())
        lines << QStringList{QString::number(r.LogId), JournalLocalTime(r.LoggedAt), r.Operator, r.Workstation, r.Action,
                             r.DataYear, r.BudgId, r.Eid, r.OldStatus, r.NewStatus, r.BudgMoney}
                     .join(QLatin1Char('\t'));
    return lines;
}

TResult<> TbfrmVeltrane::ExportJournal(const QString& File, const QStringList& Words)
{
    const TResult<TJournalFilter> parsed = TJournalFilter::Parse(Words);
    if (!parsed)
        return parsed.Error();
    const TModuleContext& c = FController->Context();
    TAdoConn* conn = c.Conn;
    const QString op = c.Operator;
    QString why;
    TJournalState journal = TJournalState::Present;
    RunOutput(QStringLiteral("正在导出操作日志：%1").arg(File), [&, conn, op, filter = parsed.Value()](TBackgroundTask& t) {
        journal = ProbeJournal(conn).State;
        if (journal != TJournalState::Present)
            return true;
        why = WriteJournal(conn, filter, File, op, [&t](int done) {
            t.Report(done, 0);
            return !t.Cancelled();
        });
        return true;
    });
    if (journal != TJournalState::Present)
        return TError{NoJournalText};
    if (!why.isEmpty())
        return TError{why};
    return {};
}
