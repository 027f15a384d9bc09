#pragma once
// The journal of writes (BusiBudgetAdjLog) searched as an auditor searches it: by
// operator, action, time, unit range and record, in any combination, newest
// first. Entries come a page at a time by their key (LogId), so a page costs as
// little at the end of a journal of millions as at its start; the indexes on
// (Operator, LogId) and (BudgId, LogId) serve the operator's and the record's.
// TJournalModel is the table of a search: it fetches its first page at once and
// more as its view asks (canFetchMore/fetchMore), on a worker, and drops what a
// search it has given up on still delivers.
#include "data/untError.h"
#include "grid/untGridExport.h"
#include "records/untRecordSql.h"
#include "toolkit/GridSnapshot.h"
#include <QAbstractTableModel>
#include <QDate>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TAdoConn;
class TJournalFetch;
class TThread;

// The actions a journal entry names, in the journal's own words (RunAction).
struct TJournalActions {
    static const QStringList& Names();   // confirm, cancel, delete, undo
    // 确认, 撤销, 删除, 撤销上次操作; a name not of ours as it is.
    static QString Caption(const QString& Action);
};
// A status as the user reads it: 已确认, 未确认, and （已删除） for none.
QString JournalStatusName(const QString& Status);
// The journal keeps UTC times; shown in the user's time, to the second.
QString JournalLocalTime(const QString& Utc);

struct TJournalFilter {
    QString Operator;   // exactly this name
    QString Action;     // one of TJournalActions::Names(); empty: all four
    QDate From, To;     // the user's days, both included; invalid: open
    QString Unit;       // a unit code: that unit and those below it
    QString BudgId;     // one record's number

    bool operator==(const TJournalFilter&) const = default;
    // From script words: operator NAME, action A, from YYYY-MM-DD, to YYYY-MM-DD,
    // unit EID, record BUDGID in any order. A failure names the word.
    static TResult<TJournalFilter> Parse(const QStringList& Words);
    // From the journal window's fields, trimmed; a day not asked for is invalid.
    // Fails when the record is no whole number.
    static TResult<TJournalFilter> FromFields(const QString& Operator, const QString& Action, QDate From, QDate To,
                                              const QString& Unit, const QString& BudgId);
    // What is filtered, for a printout's heading ("操作员：张会计　操作：确认").
    QString Describe() const;
};

struct TJournalRow {
    long long LogId = 0;
    QString LoggedAt;   // UTC as kept
    QString Operator, Workstation, Action;
    QString DataYear, BudgId, Eid;
    QString OldStatus, NewStatus;
    QString BudgMoney;
};

// The statement of one page: entries with LogId below Before (0: from the newest),
// at most Limit of them, newest first. Only whole numbers go into it as numbers.
QString JournalSearchSQL(TAdoConn* Conn, const TJournalFilter& Filter, long long Before, int Limit);
// One page, on the calling thread (a worker's).
TResult<std::vector<TJournalRow>> FetchJournalPage(TAdoConn* Conn, const TJournalFilter& Filter, long long Before,
                                                   int Limit);
// Every entry of a filter, page after page; Progress (entries so far) returning
// false stops it, with what was fetched so far as its result.
TResult<std::vector<TJournalRow>> FetchJournal(TAdoConn* Conn, const TJournalFilter& Filter,
                                               const std::function<bool(int Done)>& Progress = {});

// Said of a database whose journal cannot be read at all.
QString NoJournalText();
// "无法读取操作日志：…" of a reading that failed.
TError JournalReadFailed(const TError& Error);
// Every entry of a script's filter words (TJournalFilter::Parse) as scripts read
// them, a tab-separated line each: LogId, time, operator, workstation, action,
// year, record, unit, old and new status, amount. Fails on a word it does not
// take, when the database has no journal or the reading fails.
TResult<QStringList> FetchJournalLines(TAdoConn* Conn, const QStringList& Words,
                                       const std::function<bool(int Done)>& Progress = {});
// Every entry of a filter written to a file (.xlsx, .csv or .pdf by its
// extension) on the calling thread, under the journal's heading (Operator: who
// prints). Progress (entries fetched) returning false stops it before the file is
// written.
TResult<TOutputEnd> WriteJournal(TAdoConn* Conn, const TJournalFilter& Filter, const QString& File,
                                 const QString& Operator, const std::function<bool(int Done)>& Progress = {});
// The same of a script's filter words, for a database that may have no journal.
TResult<> WriteJournal(TAdoConn* Conn, const QStringList& Words, const QString& File, const QString& Operator,
                       const std::function<bool(int Done)>& Progress = {});
// 操作日志 and what is filtered, above the entries put out.
TGridPrintHeading JournalHeading(const TJournalFilter& Filter, const QString& Operator);
// A record's journal entry (as TRecordController::History gives it) as the user
// reads it: time, operator, workstation, action, old and new status, amount.
QStringList HistoryCells(const QStringList& Entry);
// The entry as one tab-separated line, the statuses as "old→new".
QString HistoryLine(const QStringList& Entry);
QStringList HistoryLines(const QList<QStringList>& Entries);

// The entries as a grid shows them, for export and print: 时间, 操作员, 工作站,
// 操作, 年度, 预算指标, 单位, 原状态, 新状态, 金额(元).
TGridSnapshot JournalSnapshot(const std::vector<TJournalRow>& Rows);

class TJournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The first page is small, for rows on screen at once; later ones larger.
    static constexpr int FirstPage = 200;
    static constexpr int NextPage = 2000;

    explicit TJournalModel(TAdoConn* Conn, QObject* Parent = nullptr);
    ~TJournalModel() override;

    // Drops the entries shown and fetches the first page of the filter's.
    void Search(const TJournalFilter& Filter);
    const TJournalFilter& Filter() const { return FFilter; }
    const TJournalRow& Row(int Index) const { return FRows[size_t(Index)]; }
    int Count() const { return int(FRows.size()); }
    bool Fetching() const { return FFetch != nullptr; }
    // Every entry of the filter is here.
    bool AtEnd() const { return FAtEnd; }
    // How the last fetch ended.
    const TResult<>& LastFetch() const { return FLastFetch; }
    // Milliseconds from Search to the first page shown (-1 before it).
    qint64 FirstPageMs() const { return FFirstMs; }
    // What the table shows, for the line under it.
    QString StatusText() const;

    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& Parent) const override;
    void fetchMore(const QModelIndex& Parent) override;

signals:
    // A page arrived (or the search failed: LastError), Fetching() is false again.
    void pageFetched();

private:
    void Start(long long Before, int Limit);
    void Finished(TJournalFetch* Fetch);

    TAdoConn* FConn;
    TJournalFilter FFilter;
    std::vector<TJournalRow> FRows;
    TJournalFetch* FFetch = nullptr;
    int FGeneration = 0;
    bool FAtEnd = true;
    TResult<> FLastFetch;
    QElapsedTimer FSince;
    qint64 FFirstMs = -1;
};
