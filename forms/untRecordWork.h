#pragma once
// The confirmation window's long work, done on a worker thread so that the
// window stays responsive: loading the records into grid rows, and a run of
// status statements, one per ticked row. Each uses the worker's own connection
// to the database (a connection gives every thread a session of its own).
#include "grid/untNextGridManager.h"
#include "toolkit/Threads.h"
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <vector>

class TAdoConn;

// Opens the record query and makes the grid's rows of it. The results are read on
// the interface thread once the thread has completed (OnTerminate).
class TRecordLoad : public TThread {
public:
    TRecordLoad(TAdoConn* Conn, QString SQL, TGridLoadPlan Plan, int Generation);
    ~TRecordLoad() override;
    // Stops the load where it is: the query (on the embedded database) and the
    // making of rows give up, and the load ends as cancelled.
    void Cancel();
    bool Cancelled() const { return FCancel.load(); }

    const int Generation;
    const QString SQL;
    TGridRows Rows;
    bool Opened = false;    // the query ran; Rows hold its rows
    QString Error;          // why it did not, the driver's message

protected:
    void Execute() override;

private:
    TAdoConn* FConn;
    TGridLoadPlan FPlan;
    std::atomic<bool> FCancel{false};
};

// One ticked row of a run: its grid row, its amount and the cells its statement
// is made of (the key cells of a summary row, or the record number of a detail row).
struct TRunRow {
    int Row = -1;
    double Amount = 0;
    QStringList Cells;
};

// What sending one row's statement gave.
struct TRunResult {
    bool Ok = false;
    QString Error;
    bool Persistent = false;   // the statements after it would fail as well
};

// Sends the rows' statements one by one, each by itself (no transaction), in row
// order, and stops at the first failure that would fail every following row too
// (a busy or read-only database, a full disk, a lost connection), when cancelled,
// or after CancelAfter statements (-1: no limit) as if cancelled then.
class TStatusRun : public TThread {
public:
    using TSend = std::function<TRunResult(TAdoConn* Conn, const TRunRow& Row)>;
    using TProgress = std::function<void(int Done, int Total)>;

    // Progress is called on the interface thread, a few times a second at most and
    // once more at the end, always before the completion event; calls still pending
    // when the run is deleted are dropped.
    TStatusRun(TAdoConn* Conn, std::vector<TRunRow> Rows, TSend Send, int CancelAfter, TProgress Progress);
    ~TStatusRun() override;
    void Cancel() { FCancel.store(true); }

    int Total() const { return int(FRows.size()); }
    // Read on the interface thread after completion.
    int Attempted = 0;
    int Succeeded = 0;
    int Failed = 0;
    double SucceededAmount = 0;
    QString FirstError;
    bool Stopped = false;      // a persistent failure ended the run
    bool Cancelled = false;    // 取消, or the statement limit

protected:
    void Execute() override;

private:
    TAdoConn* FConn;
    std::vector<TRunRow> FRows;
    TSend FSend;
    int FCancelAfter;
    TProgress FProgress;
    std::atomic<bool> FCancel{false};
};
