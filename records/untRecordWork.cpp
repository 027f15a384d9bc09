#include "records/untRecordWork.h"
#include "budget/gunBudgetAdj.h"
#include "data/untDefData.h"
#include "data/untSqlDialect.h"
#include "toolkit/ADODataset.h"
#include "toolkit/Decimal.h"
#include "toolkit/NextGridColumns.h"

#include <QDateTime>
#include <QElapsedTimer>

// ---------------------------------------------------------------- words

QString MoneyText(long long Cents)
{
    return FormatNumberMask(QStringLiteral("#,##0.00"), TDecimalSum::CentsText(Cents));
}

QString RunSummary(const TRunReport& Run)
{
    // What the database changed, never what the screen showed.
    QString line = QStringLiteral("已%1 %2 条，金额 %3 元").arg(RunVerb(Run.Kind)).arg(Run.Records).arg(MoneyText(Run.SucceededCents));
    if (Run.Skipped > 0)
        line += QStringLiteral("；%1 条已被他人改动，未修改").arg(Run.Skipped);
    if (Run.Failed > 0)
        line += QStringLiteral("；%1 条失败").arg(Run.Failed);
    if (Run.Cancelled)
        line = QStringLiteral("已取消：") + line + QStringLiteral("；%1 条未处理").arg(Run.NotAttempted());
    else if (Run.Stopped && Run.NotAttempted() > 0)
        line += QStringLiteral("；%1 条未处理").arg(Run.NotAttempted());
    return line;
}

QString RunFailureText(const TRunReport& Run)
{
    if (Run.Failed == 0)
        return {};
    const QString head = Run.Kind == TRunKind::Delete ? QStringLiteral("删除数据失败！。")
                                                       : QStringLiteral("%1预算指标时出错。").arg(RunVerb(Run.Kind));
    QString text = head + QStringLiteral("\n成功 %1 行，失败 %2 行").arg(Run.Succeeded).arg(Run.Failed);
    if (Run.Skipped > 0)
        text += QStringLiteral("，已被他人改动 %1 行（未修改）").arg(Run.Skipped);
    if (Run.NotAttempted() > 0)
        text += QStringLiteral("，未处理 %1 行（保持原状态）").arg(Run.NotAttempted());
    // The module's sentence first; the driver's own text (a server's is long and
    // technical) after it, under 详细信息.
    const TError& error = Run.Outcome.Error();
    const QString advice = Advice(error);
    if (advice.isEmpty())
        return text + QStringLiteral("。\n错误：") + error.Message;
    text += QStringLiteral("。\n错误：") + advice;
    if (!error.Message.isEmpty())
        text += QStringLiteral("\n\n详细信息：") + error.Message;
    return text;
}

// ---------------------------------------------------------------- the journal

TJournalProbe ProbeJournal(TAdoConn* Conn)
{
    TJournalProbe probe{TJournalState::Missing, {}};
    if (!Conn)
        return probe;
    try {
        if (Conn->ReadOnly()) {
            probe.State = TJournalState::ReadOnly;
            return probe;
        }
        TADOQuery q;
        q.SetConnection(Conn);
        q.SetSQLText(JournalProbeSQL());
        q.Open();
        probe.State = TJournalState::Present;
    } catch (const std::exception& e) {
        // A statement refused: no table of that name (or none this login may
        // read), no journal. A lost, busy or failing database says nothing of it.
        probe.Error = TError::From(e);
        if (probe.Error.Kind != EDatabaseError::Statement)
            probe.State = TJournalState::Failed;
    }
    return probe;
}

// ---------------------------------------------------------------- TRecordLoad

TRecordLoad::TRecordLoad(TAdoConn* Conn, QString Sql, TGridLoadPlan Plan, TRecordFilter View, int Gen)
    : Generation(Gen), SQL(std::move(Sql)), FConn(Conn), FPlan(std::move(Plan)), FView(std::move(View))
{
}

TRecordLoad::~TRecordLoad()
{
    Cancel();
    WaitFor();
}

void TRecordLoad::Cancel()
{
    FCancel.store(true);
    FToken.Cancel();
    Terminate();
}

void TRecordLoad::Execute()
{
    if (FCancel.load())
        return;
    try {
        TADOQuery q;
        q.SetConnection(FConn);
        q.SetSQLText(SQL);
        q.SetCancelToken(&FToken);
        // Row by row into the grid's cells and the record set: the query's own
        // result is never held as a whole beside them.
        TGridRowsBuilder cells(FPlan);
        TRecordSetBuilder records(FView);
        // A summary's sums need every record: its rows come whole, at the end.
        const bool parts = FView.Detail && OnPart;
        QElapsedTimer sinceLast;
        int handed = 0;   // rows copied to the interface so far
        q.OpenRows([&] {
            cells.Add(q);
            records.Add(q);
            const int rows = cells.Rows();
            // The first rows at once; then a few screens more, a part every
            // quarter second, copied (the load keeps its own rows whole, to hand
            // them over at the end without a copy); beyond them only the count.
            if (parts && (handed == 0 ? rows >= FirstPartRows : sinceLast.elapsed() >= 250)) {
                if (handed < AheadRows) {
                    auto part = std::make_shared<TPart>(TPart{cells.CopyRows(handed), records.CopyRows(handed)});
                    Queue([this, part] { OnPart(part); });
                    handed = rows;
                } else if (OnCount) {
                    Queue([this, rows] { OnCount(rows); });
                }
                sinceLast.start();
            }
            return !FCancel.load();
        });
        if (FCancel.load())
            return;
        FCells = cells.Finish(false);
        FRecords = records.Finish();
    } catch (const std::exception& e) {
        FResult = TError::From(e);
    }
}

// ----------------------------------------------------------------- TStatusRun

TStatusRun::TStatusRun(TAdoConn* Conn, TRunRequest Request, TProgress Progress)
    : FConn(Conn), FRequest(std::move(Request)), FProgress(std::move(Progress))
{
    FReport.Kind = FRequest.Kind;
    FTotal = int(FRequest.Rows.size());
    FReport.Total = FTotal;
}

TStatusRun::~TStatusRun()
{
    Cancel();
    DiscardQueued();   // the owner deleting a run mid-way is going itself
    WaitFor();
}

int TStatusRun::Send(int Row)
{
    const TRecordSet& set = *FRequest.Records;
    const TRecordFilter& view = set.View();
    const bool summary = !set.Detail();
    // A row without what identifies its records is never written: an empty unit
    // code or record number would reach other records.
    if (summary ? set.Key(Row).Eid.isEmpty() : set.BudgId(Row).isEmpty())
        throw EDatabaseError(QStringLiteral("无法确定对应的预算指标"));
    const TSummaryKey key = summary ? set.Key(Row) : TSummaryKey{};
    // Written only while its records are what the user saw (see DetailGuard, SummaryGuard).
    const QString guard = summary ? SummaryGuard(FConn, view, key, set.RecordCount(Row), set.Amount(Row))
                                  : DetailGuard(FConn, view, {set.BudgId(Row), set.Eid(Row), set.Status(Row), set.Amount(Row)});
    TRecordChange change;
    QString newStatus;
    if (FRequest.Kind == TRunKind::Delete) {
        TBudgetAdj record(nullptr);
        record.DataYear = view.DataYear;
        const QString which = summary ? SummaryDeleteCondition(FConn, view.BType, FRequest.DeptClass, key)
                                      : QStringLiteral(" and BudgId='") + QuotedValue(FConn, set.BudgId(Row))
                                            + QStringLiteral("'");
        change = BudgetAdjDelete(record, which + guard, FConn);
    } else {
        newStatus = FRequest.Kind == TRunKind::Confirm ? QStringLiteral("1") : QStringLiteral("0");
        change = summary ? SummaryStatusChange(FConn, newStatus, view.DataYear, view.BType, FRequest.DeptClass, key)
                         : DetailStatusChange(FConn, newStatus, set.BudgId(Row), view.DataYear);
        change.Condition += guard;
    }
    const int changed = Write(change, FRequest.Kind, newStatus);
    if (changed == 0 && !summary) {
        // Not written: changed by someone, or a number that stands for several records.
        TADOQuery twins;
        twins.SetConnection(FConn);
        twins.SetSQLText(TwinCountSQL(FConn, set.BudgId(Row), view.DataYear));
        twins.Open();
        if (!twins.Eof() && twins.CellText(0, 0).toInt() > 1)
            throw EDatabaseError(QStringLiteral("编号“%1”在 %2 年度有多条预算指标，无法确定选中的是哪一条")
                                     .arg(set.BudgId(Row))
                                     .arg(view.DataYear));
    }
    return changed;
}

TResult<int> TStatusRun::SendRow(int Row)
{
    try {
        return FRequest.Kind == TRunKind::Undo ? Undo(FUndo[size_t(Row)]) : Send(Row);
    } catch (const std::exception& e) {
        return TError::From(e);
    }
}

int TStatusRun::Write(const TRecordChange& Change, TRunKind Kind, const QString& NewStatus)
{
    const QString statement = Change.Text();
    // Without a journal, and on the embedded database, where the session's own
    // journal triggers write each entry within the change's statement.
    if (!FRequest.Journal || FTriggers)
        return ExecSQL(FConn, statement, &FToken);
    // The records the change will touch are the ones its own condition finds now:
    // their entries first, then the change, both or neither.
    const bool sqlite = DatabaseKind(FConn) == TDbKind::SQLite;
    ExecSQL(FConn, sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), &FToken);
    try {
        const int logged = ExecSQL(FConn,
                                   JournalInsertSQL(FConn, {FRequest.RunId, Kind, NewStatus, FRequest.Operator,
                                                            FRequest.Workstation, FLoggedAt},
                                                    Change.Condition),
                                   &FToken);
        const int changed = logged == 0 ? 0 : ExecSQL(FConn, statement, &FToken);
        if (changed != logged) {
            // Someone changed the records between the two: nothing of it stays.
            ExecSQL(FConn, QStringLiteral("ROLLBACK"));
            return 0;
        }
        ExecSQL(FConn, QStringLiteral("COMMIT"), &FToken);
        return changed;
    } catch (...) {
        try {
            ExecSQL(FConn, QStringLiteral("ROLLBACK"));
        } catch (const std::exception&) {
            // The transaction ended with the failure already.
        }
        throw;
    }
}

int TStatusRun::Undo(const TUndoEntry& Entry)
{
    bool number = Entry.Amount.isEmpty();
    if (!number)
        Entry.Amount.toDouble(&number);
    if (!number)
        throw EDatabaseError(QStringLiteral("操作日志中的金额“%1”不是数字").arg(Entry.Amount));
    // Back to its status before the run, where it is still as the run left it.
    const TRecordChange change{
        QStringLiteral("update BusiBudgetAdj set status='") + QuotedValue(FConn, Entry.OldStatus) + QStringLiteral("'"),
        QStringLiteral(" where datayear=") + QString::number(Entry.DataYear) + QStringLiteral(" and BudgId='")
            + QuotedValue(FConn, Entry.BudgId) + QStringLiteral("' and status='") + QuotedValue(FConn, Entry.NewStatus)
            + QStringLiteral("'")
            + (Entry.Amount.isEmpty() ? QStringLiteral(" and BudgMoney is null")
                                      : QStringLiteral(" and BudgMoney=") + Entry.Amount)
            + QStringLiteral(" and (select count(*) from BusiBudgetAdj where budgid='") + QuotedValue(FConn, Entry.BudgId)
            + QStringLiteral("' and datayear=") + QString::number(Entry.DataYear) + QStringLiteral(")=1")};
    return Write(change, TRunKind::Undo, Entry.OldStatus);
}

void TStatusRun::Execute()
{
    if (FRequest.AskJournal) {
        FReport.Journal = ProbeJournal(FConn);
        FRequest.Journal = FReport.Journal.State == TJournalState::Present;
    }
    FReport.Journaled = FRequest.Journal;
    FLoggedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    struct RunContext {
        TStatusRun* run;
        ~RunContext()
        {
            // The session's triggers write nothing for statements after the run.
            if (run->FTriggers) {
                try {
                    for (const QString& sql : JournalRunEndSQL())
                        ExecSQL(run->FConn, sql);
                } catch (const std::exception&) {
                    // A session that failed so far is remade on its next use.
                }
            }
        }
    } context{this};
    // A run that could not begin: 取消 before its first statement is a cancel, not
    // a failure. True when it failed.
    const auto notBegun = [this](const std::exception& e) {
        const TError failure = TError::From(e);
        if (failure.Kind == EDatabaseError::Cancelled || FCancel.load()) {
            FReport.Cancelled = true;
            return false;
        }
        FReport.Outcome = failure;
        FReport.Failed = 1;
        return true;
    };
    if (FRequest.Journal && DatabaseKind(FConn) == TDbKind::SQLite) {
        try {
            FTriggers = true;   // from here the run's end drops what it made
            for (const QString& sql : JournalTriggerSQL(FConn, {FRequest.RunId, FRequest.Kind, QString(), FRequest.Operator,
                                                                FRequest.Workstation, FLoggedAt}))
                ExecSQL(FConn, sql, &FToken);
        } catch (const std::exception& e) {
            // Nothing is written without its entry: the run does not start.
            if (notBegun(e))
                FReport.Stopped = true;
            return;
        }
    }
    if (FRequest.Kind == TRunKind::Undo) {
        // The run's entries, in the order it wrote them.
        try {
            TADOQuery q;
            q.SetConnection(FConn);
            q.SetCancelToken(&FToken);
            q.SetSQLText(JournalOfRunSQL(FConn, FRequest.UndoRunId, FRequest.UndoFrom, FRequest.UndoTo));
            q.OpenRows([&] {
                FUndo.push_back({q.CellText(0, 0).toString(), q.CellText(0, 1).toString(), q.CellText(0, 2).toString(),
                                 q.CellIsNull(0, 3) ? QString() : q.CellText(0, 3).toString(),
                                 int(q.CellText(0, 4).toInt())});
                return true;
            });
        } catch (const std::exception& e) {
            notBegun(e);
            return;
        }
        FTotal = int(FUndo.size());
        FReport.Total = FTotal;
        FRequest.Rows.resize(FUndo.size());
        for (size_t i = 0; i < FUndo.size(); ++i)
            FRequest.Rows[i] = int(i);
    }
    const int total = Total();
    QElapsedTimer sinceReport;
    sinceReport.start();
    auto report = [this, total](int done) {
        if (!FProgress)
            return;
        TProgress progress = FProgress;
        Queue([progress, done, total] { progress(done, total); });
    };
    TRunReport& r = FReport;
    // Where the run's entries will lie: after the latest one now.
    auto lastLogId = [this]() -> long long {
        TADOQuery q;
        q.SetConnection(FConn);
        q.SetSQLText(JournalLastIdSQL());
        q.Open();
        return q.Eof() ? 0 : q.CellText(0, 0).toLongLong();
    };
    // The run's start, and (below) its end, each in a transaction of its own: a
    // run that never ends (the program killed, the computer off) is told as such
    // when the window opens again.
    const TJournalEntry mark{FRequest.RunId, FRequest.Kind, QString(), FRequest.Operator,
                             FRequest.Workstation, FLoggedAt};
    bool marked = false;
    if (FRequest.Journal) {
        try {
            r.FirstLogId = lastLogId();
        } catch (const std::exception&) {
            // Then no undo will be offered for this run.
        }
        try {
            ExecSQL(FConn, JournalMarkSQL(FConn, mark, false), &FToken);
            marked = true;
        } catch (const std::exception& e) {
            const TError failure = TError::From(e);
            if (failure.Kind == EDatabaseError::Cancelled || FCancel.load()) {
                r.Cancelled = true;   // 取消 while the database was busy: nothing written
                return;
            }
            if (failure.Persistent()) {
                // A database busy or gone for the start is so for the first row: the run ends there.
                r.Attempted = 1;
                r.Failed = 1;
                r.Outcome = failure;
                r.Stopped = true;
                return;
            }
            // A journal that takes no start (an older table): the run goes on without.
        }
    }
    struct NoteLast {
        TStatusRun* run;
        std::function<long long()> last;
        const TJournalEntry& mark;
        const bool& marked;
        ~NoteLast()
        {
            if (marked) {
                try {
                    ExecSQL(run->FConn, JournalMarkSQL(run->FConn, mark, true));
                } catch (const std::exception&) {
                    // Told as cut short at the next opening: the records say what was done.
                }
            }
            if (run->FRequest.Journal && run->FReport.Records > 0) {
                try {
                    run->FReport.LastLogId = last();
                } catch (const std::exception&) {
                }
            }
        }
    } noteLast{this, lastLogId, mark, marked};
    for (const int row : FRequest.Rows) {
        // The statement in flight always ends; 取消 takes effect before the next.
        if (FCancel.load() || (FRequest.CancelAfter >= 0 && r.Attempted >= FRequest.CancelAfter)) {
            r.Cancelled = true;
            break;
        }
        ++r.Attempted;
        TResult<int> sent = SendRow(row);
        // A statement stopped by 取消 may also end as "busy": its wait gave up.
        if (!sent && (sent.Error().Kind == EDatabaseError::Cancelled || FCancel.load())) {
            // 取消 stopped the statement in flight: its row stays as it was.
            --r.Attempted;
            r.Cancelled = true;
            break;
        }
        // A row another desk holds locked past the server's lock timeout is that
        // desk's now: like a row changed since it was loaded, not written.
        if (!sent && sent.Error().Kind == EDatabaseError::Locked)
            sent = 0;
        if (sent && sent.Value() > 0) {
            ++r.Succeeded;
            r.Written.push_back(row);
            r.Records += sent.Value();
            r.SucceededCents += FRequest.Kind == TRunKind::Undo ? TDecimalSum::CentsOf(FUndo[size_t(row)].Amount)
                                                                 : FRequest.Records->AmountCents(row);
        } else if (sent) {
            ++r.Skipped;
        } else {
            ++r.Failed;
            if (r.Outcome) {
                TError first = sent.Error();
                if (first.Message.isEmpty())
                    first.Message = QStringLiteral("数据库操作失败");
                r.Outcome = first;
            }
            if (sent.Error().Persistent()) {
                r.Stopped = true;
                break;
            }
        }
        if (sinceReport.elapsed() >= 40) {
            sinceReport.restart();
            report(r.Attempted);
        }
    }
    report(r.Attempted);
}
