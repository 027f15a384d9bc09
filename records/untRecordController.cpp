#include "records/untRecordController.h"
#include "data/untDbManager.h"
#include "data/untSqlDialect.h"
#include "toolkit/ADODataset.h"
#include "toolkit/Decimal.h"
#include <QUuid>
#include <algorithm>
#include <utility>

TRecordController::TRecordController(TModuleContext Context, QObject* Parent)
    : QObject(Parent), FContext(std::move(Context))
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
    DropLoads();
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
                                                      const std::function<TGridLoadPlan()>& Prepare, TError* Error)
{
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
    if (FJournal == TJournalState::Unknown || FJournal == TJournalState::Failed)
        CheckJournal();
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
        if (report.Records > 0 && FRunning.Journal && report.LastLogId > report.FirstLogId)
            FLastRun = {FRunning.RunId, report.FirstLogId, report.LastLogId, FRunning.Kind, report.Records,
                        report.SucceededCents};
    } else {
        FLastRun = {};
    }
    emit workEnded();
    emit runFinished(report);
}

TRecordController::TJournalState TRecordController::CheckJournal()
{
    FJournal = TJournalState::Missing;
    FJournalError = {};
    if (!FContext.Conn)
        return FJournal;
    try {
        if (FContext.Conn->ReadOnly()) {
            FJournal = TJournalState::ReadOnly;
            return FJournal;
        }
        TADOQuery probe;
        probe.SetConnection(FContext.Conn);
        probe.SetSQLText(JournalProbeSQL());
        probe.Open();
        FJournal = TJournalState::Present;
    } catch (const std::exception& e) {
        // A statement refused: no table of that name (or none this login may
        // read), no journal. A lost, busy or failing database says nothing of it.
        FJournalError = TError::From(e);
        if (FJournalError.Kind != EDatabaseError::Statement)
            FJournal = TJournalState::Failed;
    }
    return FJournal;
}

bool TRecordController::RecoverLastRun(TJournalRun* Run, TError* Error)
{
    if (FJournal != TJournalState::Present || !FContext.Conn || Running() || FLastRun.Records > 0)
        return false;
    try {
        // The newest start of this operator's runs here: read from the end.
        long long start = 0;
        QString runId, action;
        TADOQuery starts;
        starts.SetConnection(FContext.Conn);
        starts.SetSQLText(JournalRunStartsSQL(FContext.Conn, FContext.Operator, FContext.Workstation));
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
        TJournalRun found;
        found.Kind = kind;
        found.Finished = false;
        long long last = start;
        TDecimalSum money;
        const QString changes = RunAction(kind);
        TADOQuery entries;
        entries.SetConnection(FContext.Conn);
        entries.SetSQLText(JournalRunEntriesSQL(FContext.Conn, runId, start));
        entries.OpenRows([&] {
            const QString a = entries.CellText(0, 0).toString();
            if (a == changes) {
                ++found.Records;
                if (!entries.CellIsNull(0, 1))
                    money.Add(entries.CellText(0, 1));
                last = entries.CellText(0, 2).toLongLong();
            } else if (a == changes + QLatin1String(":end")) {
                found.Finished = true;
            }
            return true;
        });
        found.Cents = money.Cents();
        *Run = found;
        if ((kind == TRunKind::Confirm || kind == TRunKind::Cancel) && found.Records > 0)
            FLastRun = {runId, start, last, kind, found.Records, found.Cents};
        return true;
    } catch (const std::exception& e) {
        if (Error)
            *Error = TError::From(e);
        return false;
    }
}

QList<QStringList> TRecordController::History(const QString& BudgId, std::int32_t DataYear, TError* Error) const
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
        if (Error)
            *Error = TError::From(e);
    }
    return out;
}
