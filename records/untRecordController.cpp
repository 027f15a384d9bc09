#include "records/untRecordController.h"
#include "records/untRecordTexts.h"
#include "data/untDbManager.h"
#include "data/untDefData.h"
#include "data/untSqlDialect.h"
#include "toolkit/ADODataset.h"
#include "toolkit/Decimal.h"
#include <QUuid>
#include <algorithm>
#include <utility>

TRecordController::TRecordController(TModuleContext Context, QObject* Parent)
    : TNextGridModel(Parent), FContext(std::move(Context))
{
}

TRecordController::~TRecordController()
{
    Abandon();
}

void TRecordController::Abandon()
{
    // Work on the workers ends first: it holds the connection and reports here.
    if (FRun) {
        FRun->OnTerminate = nullptr;
        delete FRun;   // stops after the statement in flight
        FRun = nullptr;
    }
    for (TThread* question : FQuestions) {
        question->OnTerminate = nullptr;
        delete question;
    }
    FQuestions.clear();
    DropLoads();
}

void TRecordController::Ask(std::function<std::function<void()>()> Question)
{
    auto answer = std::make_shared<std::function<void()>>();
    auto* task = new TBackgroundTask([question = std::move(Question), answer](TBackgroundTask&) { *answer = question(); },
                                     nullptr);
    task->OnTerminate = [this, answer](TThread* t) {
        std::erase(FQuestions, t);
        t->OnTerminate = nullptr;
        t->deleteLater();
        if (*answer)
            (*answer)();
        emit workEnded();
    };
    FQuestions.push_back(task);
    task->Resume();
}

void TRecordController::CheckSingleUnit()
{
    TAdoConn* conn = FContext.Conn;
    const QString code = FContext.UnitCode;
    const bool financeOffice = FContext.FinanceOfficeFlag;
    Ask([this, conn, code, financeOffice]() -> std::function<void()> {
        const bool single = IsSingleUnit(conn, code, financeOffice);
        return [this, single] { emit unitChecked(single); };
    });
}

void TRecordController::DropLoads()
{
    // All stopped first (their statements stop at once), then each waited for.
    for (TRecordLoad* load : FLoads)
        load->Cancel();
    for (TRecordLoad* load : FLoads) {
        load->OnTerminate = nullptr;
        delete load;
    }
    FLoads.clear();
    for (TThread* dropped : FDropped) {
        dropped->OnTerminate = nullptr;
        dropped->FreeOnTerminate = false;
        delete dropped;
    }
    FDropped.clear();
}

TRecordController::TLoadStart TRecordController::Load(const TView& View,
                                                      const std::function<TGridLoadPlan()>& Prepare, TError* Error,
                                                      bool AfterRun)
{
    FView = View;
    if (!AfterRun) {
        FKeepTicked.clear();
        FRunText.clear();
    }
    TRecordFilter f;
    f.Detail = View.Detail;
    f.Status = View.Status;
    f.UnitCode = View.UnitCode;
    f.UnitScope = View.UnitScope;
    f.BType = View.BType;
    f.DataYear = FContext.DataYear;
    f.OfficeColumns = FContext.OfficeColumns;
    f.OfficeFilter = FContext.OfficeFilter;
    f.OfficeCode = FContext.OfficeCode;
    QString sql;
    std::optional<TError> failure;   // why no statement could be made
    if (!DeptClassNumber(FContext.UnitDeptClass, &f.DeptClass)) {
        failure = TError{QStringLiteral("单位部门类别无效，无法提取预算指标！")};
    } else {
        try {
            sql = RecordQuerySQL(FContext.Conn, f);
        } catch (const std::exception& e) {
            failure = TError{QStringLiteral("无法提取预算指标：%1").arg(TError::From(e).Message)};
        }
    }

    // The grid holds (or is being given) the rows of this very statement, and
    // nothing was written since: a second load would bring the same rows.
    if (!failure && sql == FLastSQL && !FWrittenSinceLoad
        && (FState == TState::Loading || FState == TState::Loaded))
        return TLoadStart::Skipped;

    ++FGeneration;   // what is still loading is stale now: stopped, and not waited for
    for (TRecordLoad* load : FLoads)
        Drop(load);
    FLoads.clear();
    FRecords.reset();
    FTicks.clear();
    FFooterTick = 0;
    FTickArriving = false;
    FKeptForLoad = std::exchange(FKeepTicked, {});
    FLastSQL.clear();
    FWrittenSinceLoad = false;
    const TGridLoadPlan plan = Prepare ? Prepare() : TGridLoadPlan{};
    if (failure) {
        FState = TState::Failed;
        if (Error)
            *Error = *failure;
        // Nothing sensible can be asked of the database; the grid stays empty.
        if (!(FShowing > 0 && FRefusalSaid))
            Say(TPrompt::Warning, failure->Message);
        FRefusalSaid = true;
        return TLoadStart::Refused;
    }
    FLastSQL = sql;
    FState = TState::Loading;
    auto* load = new TRecordLoad(FContext.Conn, sql, plan, f, FGeneration);
    load->OnTerminate = [this](TThread* t) { LoadDone(static_cast<TRecordLoad*>(t)); };
    load->OnPart = [this, generation = FGeneration](std::shared_ptr<TRecordLoad::TPart> part) {
        PartArrived(generation, part);
    };
    load->OnCount = [this, generation = FGeneration](int rows) {
        if (generation != FGeneration)
            return;
        FCounted = rows;
        emit rowsCounted(rows);
    };
    FCounted = 0;
    FLoadClock.start();
    FTimings = {};
    FLoads.push_back(load);
    emit loadStarted();
    load->Resume();
    return TLoadStart::Started;
}

void TRecordController::LoadDone(TRecordLoad* Load)
{
    std::erase(FLoads, Load);
    Load->OnTerminate = nullptr;
    Load->deleteLater();
    emit workEnded();
    // A newer choice made this load stale: its rows are not the ones asked for.
    if (Load->Generation != FGeneration || Load->Cancelled())
        return;
    if (!Load->Result()) {
        FState = TState::Failed;
        FRecords.reset();   // its first parts stand for no complete view
        FTicks.clear();
        emit loadFailed(Load->Result().Error());
        // An empty grid would read as "nothing left to confirm".
        Say(TPrompt::Warning, QStringLiteral("提取预算指标失败：%1").arg(AdvisedMessage(Load->Result().Error())));
        return;
    }
    FState = TState::Loaded;
    TakeRecords(Load->Records(), true);
    FKeptForLoad.clear();
    FTickArriving = false;
    emit loadFinished(std::make_shared<TGridRows>(Load->TakeCells()));
    if (FTimings.First < 0)
        FTimings.First = FLoadClock.elapsed();
    FTimings.All = FLoadClock.elapsed();
    FTimings.Rows = LoadedRows();
}

void TRecordController::TakeRecords(const std::shared_ptr<TRecordSet>& Part, bool Whole)
{
    const int from = FRecords ? FRecords->Count() : 0;
    if (FRecords && !Whole)
        FRecords->Append(*Part);
    else
        FRecords = Part;   // the whole set begins with the rows of the parts
    FTicks.resize(size_t(FRecords->Count()), 0);
    if (!FTickArriving && FKeptForLoad.isEmpty())
        return;
    for (int r = from; r < FRecords->Count(); ++r)
        if (FTickArriving || FKeptForLoad.contains(FRecords->Identity(r)))
            FTicks[size_t(r)] = 1;
}

int TRecordController::Ticked(int Row) const
{
    const quint8 t = Row >= 0 && size_t(Row) < FTicks.size() ? FTicks[size_t(Row)] : Row >= 0 ? FFooterTick : 0;
    return t == 0 ? -1 : t == 1 ? 1 : 0;
}

QString TRecordController::TickText(int Row) const
{
    static const QString texts[] = {QString(), QStringLiteral("True"), QStringLiteral("false"), QStringLiteral("False")};
    // 0: never written, null: the cell's own text holds.
    const quint8 t = Row >= 0 && size_t(Row) < FTicks.size() ? FTicks[size_t(Row)] : Row >= 0 ? FFooterTick : 0;
    return texts[t & 3];
}

void TRecordController::SetTickText(int Row, QStringView Text)
{
    if (Row < 0)
        return;
    const quint8 t = Text == u"True" ? 1 : Text == u"false" ? 2 : 3;
    (size_t(Row) < FTicks.size() ? FTicks[size_t(Row)] : FFooterTick) = t;
}

void TRecordController::PartArrived(int Generation, const std::shared_ptr<TRecordLoad::TPart>& Part)
{
    if (Generation != FGeneration)
        return;
    TakeRecords(Part->Records, false);
    emit rowsArrived(std::make_shared<TGridRows>(std::move(Part->Cells)));
    if (FTimings.First < 0)
        FTimings.First = FLoadClock.elapsed();
}

void TRecordController::Drop(TRecordLoad* Load)
{
    Load->Cancel();
    Load->OnTerminate = [this](TThread* t) {
        std::erase(FDropped, t);
        emit workEnded();
    };
    Load->FreeOnTerminate = true;
    FDropped.push_back(Load);
}

bool TRecordController::Cancel()
{
    if (FRun) {
        FRun->Cancel();
        return false;
    }
    if (FLoads.empty())
        return false;
    // The grid stays as it is now: without the rows of the dropped load. The
    // interface does not wait for the worker: its statement is stopped, and it
    // goes by itself once that has given up.
    for (TRecordLoad* load : FLoads)
        Drop(load);
    FLoads.clear();
    ++FGeneration;
    FState = TState::Failed;
    FRecords.reset();
    FTicks.clear();
    FCounted = 0;
    FRunText = QStringLiteral("已取消提取数据");
    return true;
}

bool TRecordController::StartRun(TRunKind Kind, std::vector<int> Rows, int CancelAfter)
{
    if (FRun || !FRecords || Loading() || Rows.empty() || Kind == TRunKind::Undo)
        return false;
    TRunRequest request;
    request.Kind = Kind;
    request.Records = FRecords;
    request.Rows = std::move(Rows);
    // The department class as the record query compared it, not as the host holds it.
    request.DeptClass = FRecords->View().DeptClass;
    request.CancelAfter = CancelAfter;
    return Start(std::move(request));
}

bool TRecordController::StartUndo(int CancelAfter)
{
    if (!CanUndo())
        return false;
    TRunRequest request;
    request.Kind = TRunKind::Undo;
    request.UndoRunId = FLastRun.RunId;
    request.UndoFrom = FLastRun.FirstLogId;
    request.UndoTo = FLastRun.LastLogId;
    request.CancelAfter = CancelAfter;
    return Start(std::move(request));
}

bool TRecordController::Start(TRunRequest request)
{
    request.AskJournal = FJournal == TJournalState::Unknown || FJournal == TJournalState::Failed;
    request.Journal = FJournal == TJournalState::Present;
    request.RunId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    request.Operator = FContext.Operator;
    request.Workstation = FContext.Workstation;
    FRunning = request;
    FWrittenSinceLoad = true;
    FRun = new TStatusRun(FContext.Conn, std::move(request),
                          [this](int done, int total) { emit runProgress(done, total); });
    FRun->OnTerminate = [this](TThread*) { RunDone(); };
    emit runProgress(0, FRun->Total());
    FRun->Resume();
    return true;
}

int TRecordController::RunTotal() const
{
    return FRun ? FRun->Total() : 0;
}

void TRecordController::RunDone()
{
    TStatusRun* run = FRun;
    if (!run)
        return;
    FRun = nullptr;
    run->OnTerminate = nullptr;
    TRunReport report = run->Report();
    if (FRunning.AskJournal && report.Journal.State != TJournalState::Unknown) {
        FJournal = report.Journal.State;
        FJournalError = report.Journal.Error;
    }
    if (FRunning.Kind != TRunKind::Undo && FRunning.Records) {
        std::vector<int> written = report.Written;
        std::sort(written.begin(), written.end());
        for (const int row : FRunning.Rows)
            if (!std::binary_search(written.begin(), written.end(), row))
                report.Unwritten << FRunning.Records->Identity(row);
    }
    // Deleted once its completion has fully returned.
    run->deleteLater();
    // What can be taken back: the latest confirm or cancel that changed records
    // (an undo or a delete leaves nothing to take back).
    if (FRunning.Kind == TRunKind::Confirm || FRunning.Kind == TRunKind::Cancel) {
        if (report.Records > 0 && report.Journaled && report.LastLogId > report.FirstLogId)
            FLastRun = {FRunning.RunId, report.FirstLogId, report.LastLogId, FRunning.Kind, report.Records,
                        report.SucceededCents};
    } else {
        FLastRun = {};
    }
    FRunText = RunSummary(report);
    FKeepTicked = QSet<QString>(report.Unwritten.cbegin(), report.Unwritten.cend());
    emit workEnded();
    if (FRunning.AskJournal)
        JournalAnswered();
    emit runFinished(report);
    RunSaid(report);
}

namespace {

// The operator's newest run on this workstation, read from the end of the
// journal: false when there is none of a kind this module knows.
bool ReadLastRun(TAdoConn* Conn, const QString& Operator, const QString& Workstation,
                 TRecordController::TJournalRun* Run, TRecordController::TLastRun* Last)
{
    long long start = 0;
    QString runId, action;
    TADOQuery starts;
    starts.SetConnection(Conn);
    starts.SetSQLText(JournalRunStartsSQL(Conn, Operator, Workstation));
    starts.OpenRows([&] {
        start = starts.CellText(0, 0).toLongLong();
        runId = starts.CellText(0, 1).toString();
        action = starts.CellText(0, 2).toString();
        return false;
    });
    if (runId.isEmpty())
        return false;
    const std::optional<TRunKind> named = RunKindOfAction(action.section(QLatin1Char(':'), 0, 0));
    if (!named)
        return false;
    const TRunKind kind = *named;
    TRecordController::TJournalRun found;
    found.Kind = kind;
    found.Finished = false;
    long long last = start;
    TDecimalSum money;
    const QString changes = RunAction(kind);
    const QString end = RunMarker(kind, true);
    TADOQuery entries;
    entries.SetConnection(Conn);
    entries.SetSQLText(JournalRunEntriesSQL(Conn, runId, start));
    entries.OpenRows([&] {
        const QString a = entries.CellText(0, 0).toString();
        if (a == changes) {
            ++found.Records;
            if (!entries.CellIsNull(0, 1))
                money.Add(entries.CellText(0, 1));
            last = entries.CellText(0, 2).toLongLong();
        } else if (a == end) {
            found.Finished = true;
        }
        return true;
    });
    found.Cents = money.Cents();
    *Run = found;
    if ((kind == TRunKind::Confirm || kind == TRunKind::Cancel) && found.Records > 0)
        *Last = {runId, start, last, kind, found.Records, found.Cents};
    return true;
}

}  // namespace

void TRecordController::CheckJournal(bool RecoverRun)
{
    TAdoConn* conn = FContext.Conn;
    const QString op = FContext.Operator, station = FContext.Workstation;
    const bool recover = RecoverRun && !Running() && FLastRun.Records == 0;
    Ask([this, conn, op, station, recover]() -> std::function<void()> {
        const TJournalProbe probe = ProbeJournal(conn);
        std::optional<TJournalRun> run;
        TLastRun last;
        if (recover && probe.State == TJournalState::Present) {
            try {
                TJournalRun found;
                if (ReadLastRun(conn, op, station, &found, &last))
                    run = found;
            } catch (const std::exception&) {
                // Nothing to tell of a journal that cannot be read now: no undo is offered.
            }
        }
        return [this, probe, run, last] {
            FJournal = probe.State;
            FJournalError = probe.Error;
            // A run of this controller's own since the question went out is the
            // one undo takes back.
            if (run && !Running() && FLastRun.Records == 0) {
                FRecovered = run;
                FLastRun = last;
            }
            JournalAnswered();
        };
    });
}

TResult<QList<QStringList>> TRecordController::History(const QString& BudgId, std::int32_t DataYear) const
{
    QList<QStringList> out;
    if (FJournal != TJournalState::Present || !FContext.Conn)
        return out;
    try {
        TADOQuery q;
        q.SetConnection(FContext.Conn);
        q.SetSQLText(RecordHistorySQL(BudgId, DataYear));
        q.Open();
        for (q.First(); !q.Eof(); q.Next()) {
            QStringList row;
            for (int c = 0; c < q.FieldCount(); ++c)
                row << q.FieldValue(c).toString();
            out << row;
        }
    } catch (const std::exception& e) {
        const TError error = TError::From(e);
        return TError{QStringLiteral("无法读取操作记录：%1").arg(AdvisedMessage(error)), error.Kind};
    }
    return out;
}

TRecordController::TRecordHistory TRecordController::HistoryOfRow(int Row) const
{
    const int record = Row >= 0 && Row < Rows() ? Cells().Origin(Row) : -1;
    if (!FRecords || !FRecords->Detail() || record < 0 || record >= FRecords->Count())
        return {};
    const QString id = FRecords->BudgId(record);
    return {id, [this, id, year = FRecords->View().DataYear] { return History(id, year); }};
}

void TRecordController::TickAll(bool Tick)
{
    FTickArriving = Tick && Loading();
    const int chk = TickColumnIndex();
    if (chk < 0)
        return;
    // One write for all of them: the status line counts once.
    std::vector<int> which;
    which.reserve(size_t(Rows()));
    for (int r = 0; r < Rows(); ++r)
        if (!Tick || ViewRow(r) >= 0)
            which.push_back(r);
    SetTexts(chk, which, Tick ? QStringLiteral("True") : QStringLiteral("false"));
}

bool TRecordController::AnyTicked() const
{
    const int chk = TickColumnIndex();
    for (int r = 0; chk >= 0 && r < Rows(); ++r)
        if (TextIsTicked(chk, r))
            return true;
    return false;
}

std::vector<int> TRecordController::TickedRecords() const
{
    std::vector<int> out;
    const int chk = TickColumnIndex();
    if (!FRecords || chk < 0)
        return out;
    const int footer = FooterRow();
    for (int i = 0; i < ShownCount(); ++i) {
        const int r = StoreRow(i);
        // The totals row (and any row not of this load) stands for no record.
        const int record = Cells().Origin(r);
        if (r != footer && record >= 0 && record < FRecords->Count() && TextIsTicked(chk, r))
            out.push_back(record);
    }
    return out;
}

TStatusFacts TRecordController::StatusFacts() const
{
    TStatusFacts f;
    f.Loading = Loading();
    f.LoadedRows = LoadedRows();
    // A summary row stands for several records: both are said.
    f.Summary = FRecords && !FRecords->Detail();
    f.ReadOnly = FJournal == TJournalState::ReadOnly;
    f.UnitScope = FView.UnitScope;
    f.RunText = FRunText;
    const int footer = FooterRow();
    f.Loaded = Rows() - (footer >= 0 ? 1 : 0);
    // While rows arrive the line says how many: counting them all at each part
    // would only hold the window up.
    const int chk = TickColumnIndex();
    for (int i = 0; i < ShownCount() && !f.Loading; ++i) {
        const int r = StoreRow(i);
        if (r == footer)
            continue;
        ++f.Shown;
        const int record = Cells().Origin(r);
        const int count = f.Summary ? qMax(0, FRecords->RecordCount(record)) : 1;
        f.ShownRecords += count;
        if (chk >= 0 && TextIsTicked(chk, r)) {
            ++f.Ticked;
            f.TickedRecords += count;
            if (FRecords)
                f.TickedCents += FRecords->AmountCents(record);
        }
    }
    return f;
}

// ---------------------------------------------------------------- the user's actions

namespace {

const QString NothingTicked = QStringLiteral("请选择需要确认的预算指标信息!");

}  // namespace

void TRecordController::RefreshContext()
{
    if (FContextSource)
        FContext = FContextSource();
}

bool TRecordController::CanRun(TRunKind Kind) const
{
    return Writable() && FView.Status == (Kind == TRunKind::Confirm ? TStatusView::Unconfirmed : TStatusView::Confirmed);
}

bool TRecordController::MayRun(TRunKind Kind)
{
    if (Running())
        return false;
    // An action that is off does nothing: a cancel in the unconfirmed view would
    // take back confirmations the user cannot see. On an empty grid its key still
    // says what is missing.
    const bool enabled = CanRun(Kind);
    if (!enabled && (Rows() > 0 || Busy()))
        return false;
    if (enabled && AnyTicked())
        return true;
    Say(TPrompt::Refusal, NothingTicked);
    return false;
}

void TRecordController::RequestRun(TRunKind Kind)
{
    if (Running())
        return;
    std::vector<int> rows = TickedRecords();
    if (rows.empty()) {
        // Only the totals row (or hidden rows) ticked: nothing stands for a record.
        Say(TPrompt::Refusal, NothingTicked);
        return;
    }
    RefreshContext();
    const std::optional<TRunQuestion> ask = RunQuestion(*this, Kind, rows);
    if (ask && !Say(ask->Large ? TPrompt::WeightyQuestion : TPrompt::Question, ask->Text))
        return;
    StartWork(QStringLiteral("正在%1…").arg(RunVerb(Kind)),
              [&](int cancelAfter) { return StartRun(Kind, std::move(rows), cancelAfter); });
}

void TRecordController::RequestUndo()
{
    if (!Running() && CanUndo() && Say(TPrompt::WeightyQuestion, UndoQuestion(FLastRun)))
        StartWork(QStringLiteral("正在撤销上次操作…"), [this](int cancelAfter) { return StartUndo(cancelAfter); });
}

void TRecordController::StartWork(const QString& What, const std::function<bool(int CancelAfter)>& Start)
{
    const int cancelAfter = std::exchange(FCancelAfter, -1);
    emit workStarting(What);
    if (!Start(cancelAfter)) {
        emit workEnded();
        emit runEnded(false);
    }
}

void TRecordController::RunSaid(const TRunReport& Run)
{
    // What succeeded leaves the view; what failed stays in it, ticked. Stopped for
    // the host's quit, the run says what was done and the window goes without a reload.
    const bool quitting = std::exchange(FQuitAfterRun, false);
    emit runEnded(!quitting && (Run.Kind != TRunKind::Delete || Run.Succeeded > 0));
    if (Run.Failed > 0)
        Say(TPrompt::Warning, RunFailureText(Run));
    if (quitting) {
        Say(TPrompt::Warning, QStringLiteral("已停止处理：") + FRunText);
        emit closeWanted();
    } else if (Run.Failed == 0 && Run.Kind == TRunKind::Delete && !Run.Cancelled && FContext.ReportDelete) {
        Say(TPrompt::Notice, QStringLiteral("数据删除成功。"));
    }
}

TRecordController::TQuit TRecordController::QueryQuit()
{
    if (FQuitAfterRun)
        return TQuit::Later;
    if (!Running())
        return TQuit::Go;
    if (!Say(TPrompt::WeightyQuestion,
             QStringLiteral("正在处理选中的预算指标。是否取消尚未处理的部分并退出？\n选“否”继续处理。")))
        return TQuit::Stay;
    // The window closes from the run's end (closeWanted): the host asks again then.
    FQuitAfterRun = true;
    Cancel();
    return TQuit::Later;
}

bool TRecordController::MayClose()
{
    // A run in progress is not cut short unseen: the window stays until it ends
    // or the user stops it, and then says what was done.
    if (!Running())
        return true;
    Say(TPrompt::Warning, QStringLiteral("正在处理选中的预算指标，请等待完成或点击“取消”后再关闭窗口。"));
    return false;
}

void TRecordController::CheckJournalOnShow()
{
    FJournalNoticeDue = true;
    CheckJournal(true);
}

void TRecordController::OpenJournal()
{
    if (FJournal == TJournalState::Present)
        return emit journalWindowWanted();
    // Not known to be there: asked for first, and the window opens with the answer.
    FJournalWindowDue = true;
    CheckJournal();
}

void TRecordController::JournalAnswered()
{
    const bool shown = std::exchange(FJournalNoticeDue, false);
    const bool windowAsked = std::exchange(FJournalWindowDue, false);
    if (shown || windowAsked)
        if (const std::optional<QString> notice = JournalNoticeOnce(FJournal))
            Say(TPrompt::Warning, *notice);
    // The operator's latest run here can be taken back after a reopening too; one
    // that never ended is said, with what it did.
    if (shown && FRecovered && !FRecovered->Finished)
        Say(TPrompt::Warning, UnfinishedRunText(*FRecovered));
    if (windowAsked && FJournal == TJournalState::Present)
        emit journalWindowWanted();
    emit journalChecked(FJournal);
}
