#pragma once
// What the host and its scripts ask of the module's confirmation window, declared
// once for both sides. The host cannot link the module's classes: it finds this
// interface on a window with qobject_cast<IVeltraneWindow*>, which goes by the
// interface's name and so works across the loaded module's boundary, where a
// dynamic_cast may not. Results that can fail carry the failure as a TError.
#include "data/untError.h"
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class IVeltraneWindow {
public:
    virtual ~IVeltraneWindow() = default;

    // Work: a load, a run of statements or an output is on (scripts wait for it
    // to end, so each line sees the result of the one before it).
    virtual bool Busy() const = 0;
    // The host is quitting: Go when the window may go. During a run the user is
    // asked whether to cancel it: no keeps the host open (Stay); yes stops the run
    // and answers Later: when the cancel has landed the window says what was done
    // and closes itself, and the host asks again then.
    enum class TQuitAnswer { Go, Stay, Later };
    virtual TQuitAnswer QueryQuit() = 0;
    // The next confirm, cancel, delete or undo stops as if 取消 were pressed after
    // that many statements; negative: no limit.
    virtual void SetCancelAfter(int Statements) = 0;

    // State: the unit the records are of, the budget type chosen (its index in
    // the list, as text), and the status line under the grid.
    virtual QString UnitCode() const = 0;
    virtual QString BType() const = 0;
    virtual QString StatusText() const = 0;

    // Selects the tree's unit matching Text as a click does and gives its code to
    // Done, on the interface thread once the database has answered (maybe before
    // FindUnit returns); an empty code when none matches. With Next, goes on from
    // the current match of the same text. A newer search makes this one's answer
    // stale: Done then gets a failure of kind Cancelled. Done is not called when
    // the window goes first.
    virtual void FindUnit(const QString& Text, bool Next, std::function<void(TResult<QString>)> Done) = 0;

    // Outputs and journal readings run on a worker: the call starts one and
    // returns, and Done gets its result on the interface thread when it has
    // ended; Busy() holds until Done has returned. A window freed first stops its
    // output and never calls Done. While another output is on, Done hears the
    // refusal at once.
    template <class T = void>
    using TDone = std::function<void(TResult<T>)>;

    // Output of the grid as shown, without dialogs: an export (.xlsx, .csv) and a
    // print to PDF. An output the user cancelled is no failure.
    virtual void ExportGrid(const QString& File, TDone<> Done) = 0;
    virtual void PrintGridToPdf(const QString& File, TDone<> Done) = 0;

    // The journal: the history of a grid row's record (time, operator,
    // workstation, action, status before and after, amount), the entries of a
    // filter given as script words (TJournalFilter::Parse), newest first, as
    // tab-separated lines; and every entry of such a filter written to File
    // (.xlsx, .csv, .pdf). A reading the user cancelled gives no lines.
    virtual void HistoryLines(int Row, TDone<QStringList> Done) = 0;
    virtual void JournalLines(const QStringList& Words, TDone<QStringList> Done) = 0;
    virtual void ExportJournal(const QString& File, const QStringList& Words, TDone<> Done) = 0;

    // The latest load of records that ended: milliseconds from its start (the
    // user's action) to its first rows on screen and to its last, and its rows.
    // First is -1 before any load has ended.
    struct TTimings {
        qint64 FirstMs = -1, AllMs = -1;
        int Rows = 0;
    };
    virtual TTimings Timings() const = 0;
};

#define IVeltraneWindow_iid "org.veltrane.IVeltraneWindow/2"
Q_DECLARE_INTERFACE(IVeltraneWindow, IVeltraneWindow_iid)
