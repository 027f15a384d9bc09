#pragma once
// The confirmation window's work without its widgets: loading the records of a
// view on a worker (one load at a time that counts; a newer one makes the older
// stale, and a load of the rows already there is not made), and runs of confirm,
// cancel and delete over rows of the loaded record set, with progress and 取消.
// Results are handed over by signals as values: the record set as a shared
// constant, the grid's cells to adopt, a run's report. What each of the user's
// actions asks first and what it did is said through a prompter (TPrompt).
#include "records/untModuleContext.h"
#include "records/untRecordWork.h"
#include "toolkit/NextGridModel.h"
#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What the status line under the grid says (records/untRecordTexts).
struct TStatusFacts {
    bool Loading = false;
    int LoadedRows = 0;      // while loading: the rows there so far
    bool Summary = false;    // a row stands for several records
    int Shown = 0, Loaded = 0, Ticked = 0;
    long long ShownRecords = 0, TickedRecords = 0, TickedCents = 0;
    QStringList UnitScope;   // the units of the top node's rows
    bool ReadOnly = false;
    QString RunText;         // what the latest run, undo or cancel did
};

// The controller is the record grid's item model: the grid shows its rows (its
// cells, with the totals row, the shown rows of the filter row and the sort), and
// its check-box column reads and writes the ticks kept here by record, so that
// every view of the rows reads one set of rows and one set of ticks.
class TRecordController : public TNextGridModel, public TNxTickSource {
    Q_OBJECT
public:
    explicit TRecordController(TModuleContext Context, QObject* Parent = nullptr);
    ~TRecordController() override;

    const TModuleContext& Context() const { return FContext; }
    // The host's values as they are now: read again through Source at each action
    // of the user (a host may change its parameters while the window is open).
    void SetContext(TModuleContext Context) { FContext = std::move(Context); }
    void SetContextSource(TModuleContextSource Source) { FContextSource = std::move(Source); }
    void RefreshContext();

    // How the controller speaks to the user: a notice, or a question answered yes
    // (true) or no. A Refusal says why an action does nothing; a weighty question
    // is one the user confirms (a large run, an undo, a quit during a run). The
    // window shows them as message boxes; without a prompter nothing is said and
    // every question is answered yes.
    struct TPrompt {
        enum TKind { Notice, Warning, Refusal, Question, WeightyQuestion } Kind;
        QString Text;
    };
    void SetPrompter(std::function<bool(const TPrompt&)> Prompter) { FPrompter = std::move(Prompter); }

    // The view the window shows, with the host's values of the context.
    struct TView {
        bool Detail = false;
        TStatusView Status = TStatusView::Unconfirmed;
        QString UnitCode;
        QStringList UnitScope;   // the top node's units (see TRecordFilter)
        QString BType;
    };
    enum class TLoadStart { Started, Skipped, Refused };
    // Loads the view's records unless the rows of the same statement are shown or
    // on their way and nothing was written since (Skipped). Prepare is called when
    // a load goes ahead, before it starts: it readies the grid and gives the plan
    // of its cells. Refused: no statement could be made (*Error says why; the old
    // rows are dropped all the same). AfterRun: the reload of the latest run,
    // which keeps its RunText and ticks again the rows it did not write (still
    // the user's choice); any other load forgets both.
    TLoadStart Load(const TView& View, const std::function<TGridLoadPlan()>& Prepare, TError* Error,
                    bool AfterRun = false);
    // A refusal is said; while the window is being shown (between these) its
    // loads say it once.
    void BeginShowing()
    {
        ++FShowing;
        FRefusalSaid = false;
    }
    void EndShowing() { --FShowing; }
    // The view of the latest load asked for.
    const TView& View() const { return FView; }
    // What the latest run, undo or cancelled load did, for the status line.
    const QString& RunText() const { return FRunText; }
    // The statement of the latest load started (empty when none could be made).
    QString LastSQL() const { return FLastSQL; }
    // The record set of the rows loaded last (null before the first, and after a
    // load that failed or was cancelled).
    TRecordSetRef Records() const { return FRecords; }

    // Whether the rows of the latest load are shown or on their way (not after a
    // load that failed or was cancelled, nor before the first).
    bool HasRows() const { return FState == TState::Loading || FState == TState::Loaded; }
    // The shown rows may no longer be the database's (刷新): the next Load goes ahead.
    void MarkStale() { FWrittenSinceLoad = true; }
    bool Loading() const { return !FLoads.empty(); }
    // The rows of the latest load so far (Records() has them too): counts while
    // Loading(), final after.
    int LoadedRows() const { return qMax(FCounted, FRecords ? FRecords->Count() : 0); }
    // The figures of the latest load that ended: milliseconds from its start to
    // its first rows on hand and to its last, and how many rows it brought.
    struct TLoadTimings {
        qint64 First = -1, All = -1;
        int Rows = 0;
    };
    const TLoadTimings& Timings() const { return FTimings; }
    bool Running() const { return FRun != nullptr; }
    bool Busy() const { return Loading() || Running() || Asking(); }

    // The ticks, by row of Records() (the grid's check-box column reads and writes
    // them here, whatever view shows the rows): cleared by each load; in a run's
    // reload its unwritten rows, and after 全选 while they arrive every row, come
    // ticked as they arrive.
    int Ticked(int Row) const override;
    QString TickText(int Row) const override;
    void SetTickText(int Row, QStringView Text) override;
    // 全选 (true) ticks the rows shown, and while rows still arrive the rest too;
    // 全清 (false) clears every row.
    void TickAll(bool Tick);
    // Whether any row is ticked, hidden ones and the totals row too.
    bool AnyTicked() const;
    // The rows of Records() ticked among those shown, in the grid's order; the
    // totals row never (rows a filter hides are not the user's choice now).
    std::vector<int> TickedRecords() const;
    // The status line's facts of the rows shown.
    TStatusFacts StatusFacts() const;
    // Whether a confirm or cancel may be asked of the rows: all of them are there,
    // no run is on, and the database takes writes.
    bool Writable() const { return Rows() > 0 && !Running() && !Loading() && FJournal != TJournalState::ReadOnly; }

    // Starts a run over rows of Records() (false when one is on, rows are still
    // arriving or none are given).
    bool StartRun(TRunKind Kind, std::vector<int> Rows, int CancelAfter);

    // The user's confirm and cancel, as the window offers them. CanRun: the rows
    // are writable and the view lists those the run changes (a confirm the
    // unconfirmed, a cancel the confirmed). MayRun: whether the action goes on to
    // RequestRun; what is missing is said when nothing is ticked, or on an empty
    // grid (where the keys still answer), never while a run is on.
    bool CanRun(TRunKind Kind) const;
    bool MayRun(TRunKind Kind);
    // A run over the ticked rows shown, after what it asks first (RunQuestion):
    // workStarting, then runProgress and runFinished. What it did is said after
    // runEnded, which tells whether its rows are to be loaded again.
    void RequestRun(TRunKind Kind);
    // 撤销上次操作, asked first.
    void RequestUndo();
    // The next run or undo stops after that many statements (the scripts' 取消).
    void SetCancelAfter(int Statements) { FCancelAfter = Statements; }
    // The host's quit: Go, or Stay when the user keeps the run going, or Later
    // while a run stops for it (closeWanted follows its end). As the host's answers.
    enum class TQuit { Go, Stay, Later };
    TQuit QueryQuit();
    // Whether the window may close now: not while a run is on (said).
    bool MayClose();

    // The journal of writes: whether the database has it (see TJournalState).
    // CheckJournal asks on a worker and answers with journalChecked; with
    // RecoverRun it also reads the operator's latest run on this workstation when
    // the controller has none of its own (a window opened again, a program that
    // ended during a run): a confirm or cancel that changed records can then be
    // taken back as if this controller had made it (RecoveredRun says what the
    // journal holds of it). A run asks by itself, on its worker, when nothing is
    // known yet or the database could not be asked.
    using TJournalState = ::TJournalState;
    void CheckJournal(bool RecoverRun = false);
    // The window came on screen: the journal is asked for with the operator's
    // latest run, and what there is to say of either is said with the answer.
    void CheckJournalOnShow();
    // 操作日志…: journalWindowWanted once the journal is known to be there
    // (asked first when it is not known; a missing one is said).
    void OpenJournal();
    TJournalState Journal() const { return FJournal; }
    const TError& JournalError() const { return FJournalError; }
    // Questions to the database on workers whose answer has not come yet.
    bool Asking() const { return !FQuestions.empty(); }
    // Whether the operator's unit is alone under its parent (IsSingleUnit),
    // asked on a worker: unitChecked answers.
    void CheckSingleUnit();
    // The latest confirm or cancel run of this controller that changed records,
    // while it can be taken back: its records and money. Records 0: none.
    struct TLastRun {
        QString RunId;
        long long FirstLogId = 0, LastLogId = 0;
        TRunKind Kind = TRunKind::Confirm;
        int Records = 0;
        long long Cents = 0;
    };
    const TLastRun& LastRun() const { return FLastRun; }
    bool CanUndo() const { return !Busy() && FJournal == TJournalState::Present && FLastRun.Records > 0; }
    // Takes the latest run back (see TRunKind::Undo).
    bool StartUndo(int CancelAfter);
    // The latest run read by CheckJournal(true); Finished says whether the
    // journal has its end. None when there is none, no journal, or the
    // controller had a run of its own.
    struct TJournalRun {
        TRunKind Kind = TRunKind::Confirm;
        int Records = 0;
        long long Cents = 0;
        bool Finished = true;
    };
    const std::optional<TJournalRun>& RecoveredRun() const { return FRecovered; }
    // A record's journal, newest first: time (UTC), operator, workstation, action,
    // old and new status, amount; empty without a journal; a failure says it as
    // the user reads it. May be called on a worker (it reads the whole journal).
    TResult<QList<QStringList>> History(const QString& BudgId, std::int32_t DataYear) const;
    // The history of the record a row of the detail view shows (Row: of the
    // model's rows), for a worker to read; no Id for a row that shows no record.
    struct TRecordHistory {
        QString Id;
        std::function<TResult<QList<QStringList>>()> Read;
    };
    TRecordHistory HistoryOfRow(int Row) const;
    int RunTotal() const;
    // 取消: a run stops after the statement in flight; a load is dropped (true when
    // one was).
    bool Cancel();
    // Drops every load and ends a run at once (its report is not sent): for a
    // window that goes.
    void Abandon();

signals:
    void loadStarted();
    // A part of a detail load, ahead of its end: Records() has grown by its rows;
    // Cells are the grid's to add after the rows it has.
    void rowsArrived(std::shared_ptr<TGridRows> Cells);
    // The load has read that many rows (LoadedRows), beyond those it showed.
    void rowsCounted(int Rows);
    // A worker ended (a stale load too): whether the controller is busy may have changed.
    void workEnded();
    // The rows of the latest load: Records() is theirs now; Cells are the grid's to adopt.
    void loadFinished(std::shared_ptr<TGridRows> Cells);
    void loadFailed(TError Error);
    void runProgress(int Done, int Total);
    void runFinished(TRunReport Report);
    // A run or undo asked by the user begins (What: for the progress panel) or ends
    // (Reload: its rows are to be loaded again; a run that did not begin ends too).
    void workStarting(QString What);
    void runEnded(bool Reload);
    // The run stopped for the host's quit has ended and said what it did.
    void closeWanted();
    void journalWindowWanted();
    void journalChecked(TJournalState State);
    void unitChecked(bool Single);

private:
    void LoadDone(TRecordLoad* Load);
    void PartArrived(int Generation, const std::shared_ptr<TRecordLoad::TPart>& Part);
    // Adds a part's records, or takes a load's whole set in place of its parts,
    // ticked where asked.
    void TakeRecords(const std::shared_ptr<TRecordSet>& Part, bool Whole);
    int FCounted = 0;
    // 0 never written, 1 "True", 2 "false", 3 any other untick ("False").
    std::vector<quint8> FTicks;
    quint8 FFooterTick = 0;   // a row past the records: the totals row
    QSet<QString> FKeepTicked, FKeptForLoad;   // a run's unwritten rows; those of the load in progress
    TView FView;
    QString FRunText;
    bool FTickArriving = false;
    // A load no longer wanted: stopped at once, and it goes by itself.
    void Drop(TRecordLoad* Load);
    bool Start(TRunRequest Request);
    void RunDone();
    void DropLoads();
    // Runs Question on a worker; what it returns runs on the interface thread
    // once it has answered (not when the controller has gone first).
    void Ask(std::function<std::function<void()>()> Question);
    std::vector<TThread*> FQuestions;

    enum class TState { None, Loading, Loaded, Failed };
    TModuleContext FContext;
    std::shared_ptr<TRecordSet> FRecords;   // grows while its load's parts arrive
    QString FLastSQL;
    QElapsedTimer FLoadClock;
    TLoadTimings FTimings;
    TState FState = TState::None;
    bool FWrittenSinceLoad = false;
    int FGeneration = 0;
    std::vector<TRecordLoad*> FLoads;   // the load of the latest choice, while it runs
    // Loads 取消 dropped: stopped, not waited for; they go by themselves when their
    // statement has given up, or are waited for when the controller goes.
    std::vector<TThread*> FDropped;
    TStatusRun* FRun = nullptr;
    TJournalState FJournal = TJournalState::Unknown;
    TError FJournalError;
    TLastRun FLastRun;
    std::optional<TJournalRun> FRecovered;
    TRunRequest FRunning;   // what the run in progress was asked

    bool Say(TPrompt::TKind Kind, const QString& Text) const { return !FPrompter || FPrompter({Kind, Text}); }
    // A run or an undo the user asked for, begun with What on the progress panel.
    void StartWork(const QString& What, const std::function<bool(int CancelAfter)>& Start);
    void RunSaid(const TRunReport& Report);
    void JournalAnswered();
    std::function<bool(const TPrompt&)> FPrompter;
    TModuleContextSource FContextSource;
    int FCancelAfter = -1;
    bool FQuitAfterRun = false;
    bool FJournalNoticeDue = false;   // the window's showing asked: the notices follow the answer
    bool FJournalWindowDue = false;   // 操作日志… asked
    int FShowing = 0;
    bool FRefusalSaid = false;
};
