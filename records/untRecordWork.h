#pragma once
// The confirmation window's long work, done on a worker thread so that the
// window stays responsive: loading the records (the grid's cells and the record
// set together, one query row at a time), and a run of status statements, one per
// chosen row. Each uses the worker's own session of the connection. What a worker
// makes is read on the interface thread once it has completed (OnTerminate).
#include "data/untError.h"
#include "grid/untGridRows.h"
#include "records/untRecordSet.h"
#include "toolkit/ADOConnection.h"
#include "toolkit/Threads.h"
#include <QString>
#include <atomic>
#include <functional>
#include <vector>

class TAdoConn;

// Opens the record query and makes of its rows the grid's cells (after the
// plan) and the record set.
class TRecordLoad : public TThread {
public:
    TRecordLoad(TAdoConn* Conn, QString SQL, TGridLoadPlan Plan, TRecordFilter View, int Generation);
    ~TRecordLoad() override;
    // Stops the load where it is: the query (on the embedded database) and the
    // making of rows give up, and the load ends as cancelled.
    void Cancel();
    bool Cancelled() const { return FCancel.load(); }

    const int Generation;
    const QString SQL;
    // A detail load shows its first rows while it goes on: copies of the first
    // FirstPartRows at once, then of what came since every so often, up to
    // AheadRows in all; after those only the count of rows so far (OnCount). The
    // completion brings every row, moved, not copied. Called on the interface
    // thread before the completion, never after the load is deleted.
    struct TPart {
        TGridRows Cells;
        std::shared_ptr<TRecordSet> Records;
    };
    std::function<void(std::shared_ptr<TPart>)> OnPart;   // set before Resume
    std::function<void(int Rows)> OnCount;
    static constexpr int FirstPartRows = 100;
    static constexpr int AheadRows = 5000;
    // After completion: success with what it made (Records, TakeCells), or why it
    // made nothing.
    const TResult<>& Result() const { return FResult; }
    std::shared_ptr<TRecordSet> Records() const { return FRecords; }
    TGridRows TakeCells() { return std::move(FCells); }

protected:
    void Execute() override;

private:
    TAdoConn* FConn;
    TGridLoadPlan FPlan;
    TRecordFilter FView;
    std::atomic<bool> FCancel{false};
    TCancelToken FToken;
    TGridRows FCells;
    std::shared_ptr<TRecordSet> FRecords;
    TResult<> FResult;
};

// The journal of writes: whether the database has it. Missing: the table is not
// there (or not this login's to read); Failed: the database could not be asked
// (Error says why), so nothing is known of the table.
enum class TJournalState { Unknown, Present, Missing, ReadOnly, Failed };
struct TJournalProbe {
    TJournalState State = TJournalState::Unknown;
    TError Error;
};
// Asks on the calling thread's session of Conn: meant for workers.
TJournalProbe ProbeJournal(TAdoConn* Conn);

// What a run did, handed over whole when it has ended.
struct TRunReport {
    TRunKind Kind = TRunKind::Confirm;
    int Total = 0;            // rows chosen
    int Attempted = 0;
    int Succeeded = 0;        // rows written
    int Skipped = 0;          // rows whose records someone changed since they were loaded
    int Failed = 0;
    int Records = 0;          // records the written rows changed, as the database counted them
    long long SucceededCents = 0;   // their money
    TResult<> Outcome;        // success, or the first failure
    bool Stopped = false;     // a persistent failure ended the run
    bool Cancelled = false;   // 取消, or the statement limit
    // The journal entries written by the run lie in (FirstLogId, LastLogId].
    long long FirstLogId = 0, LastLogId = 0;
    // Whether the run journaled its writes, and what it found when it asked.
    bool Journaled = false;
    TJournalProbe Journal;
    // The rows of the record set the run wrote, in the order sent; and, filled
    // by the controller, what the rows it was given and did not write stand for
    // (TRecordSet::Identity), to find them in the next load. None for an undo.
    std::vector<int> Written;
    QStringList Unwritten;
    int NotAttempted() const { return Total - Attempted; }
};

// The words of a run for the user: the status line's account of what it did,
// and its one message when rows failed (empty when none).
QString RunSummary(const TRunReport& Report);
QString RunFailureText(const TRunReport& Report);
// An amount of cents as the window shows money: "1,234,567.89".
QString MoneyText(long long Cents);

// What a run is asked to do: its kind, the record set and which of its rows, and
// the values its statements need beyond the rows.
struct TRunRequest {
    TRunKind Kind = TRunKind::Confirm;
    TRecordSetRef Records;
    std::vector<int> Rows;         // rows of Records, in the order to send them
    QString DeptClass;             // the department class as the record query compared it
    int CancelAfter = -1;          // stop as if cancelled after that many statements; -1 none
    // The journal: each record changed gets its entry in the same transaction.
    // AskJournal: whether there is one is not known yet; the run asks first.
    bool Journal = false;
    bool AskJournal = false;
    QString RunId;                 // this run's
    QString UndoRunId;             // Undo: the run to take back, its entries in (UndoFrom, UndoTo]
    long long UndoFrom = 0, UndoTo = 0;
    QString Operator, Workstation;
};

// Sends the rows' statements one by one, each by itself (no transaction), in row
// order, and stops at the first failure that would fail every following row too
// (a busy or read-only database, a full disk, a lost connection), when cancelled,
// or after CancelAfter statements as if cancelled then.
class TStatusRun : public TThread {
public:
    using TProgress = std::function<void(int Done, int Total)>;

    // Progress is called on the interface thread, a few times a second at most and
    // once more at the end, always before the completion event; calls still pending
    // when the run is deleted are dropped.
    TStatusRun(TAdoConn* Conn, TRunRequest Request, TProgress Progress);
    ~TStatusRun() override;
    // Stops the statement in flight too: its row is left as it was.
    void Cancel()
    {
        FCancel.store(true);
        FToken.Cancel();
    }

    int Total() const { return FTotal; }
    // After completion.
    const TRunReport& Report() const { return FReport; }

protected:
    void Execute() override;

private:
    // One row's statement, sent on this worker's session: the records it changed.
    int Send(int Row);
    // The row's statement (or undo entry), its failure as a value.
    TResult<int> SendRow(int Row);
    // A change and its journal entries in one transaction (when journaled): the
    // records changed, 0 when they were not what the statement holds them to.
    int Write(const TRecordChange& Change, TRunKind Kind, const QString& NewStatus);
    struct TUndoEntry {
        QString BudgId, OldStatus, NewStatus, Amount;
        int DataYear = 0;
    };
    std::vector<TUndoEntry> FUndo;
    int Undo(const TUndoEntry& Entry);

    TAdoConn* FConn;
    TRunRequest FRequest;
    TProgress FProgress;
    std::atomic<bool> FCancel{false};
    TCancelToken FToken;
    TRunReport FReport;
    int FTotal = 0;
    QString FLoggedAt;   // UTC, the same for every entry of the run
    bool FTriggers = false;   // this session's journal triggers write the entries
};
