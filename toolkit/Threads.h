#pragma once
// Worker threads: a body that runs on a worker thread, a terminated flag it polls,
// a completion event on the interface thread and a blocking call onto it.
// Bodies share a bounded pool of threads: a body that never ends holds one of
// them, so bodies are meant to finish (or to poll Terminated).
#include "toolkit/Export.h"
#include <QObject>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class TThread;
using TThreadNotifyEvent = std::function<void(TThread* Sender)>;

// Created on the interface thread and always suspended: a base constructor cannot
// start a body whose class is not built yet, so a class that wants to run at once
// calls Resume at the end of its own constructor.
//
// With FreeOnTerminate the object deletes itself on the interface thread after its
// completion event; without it the creator deletes it. A body still running when
// the object is deleted must be stopped by the subclass's own destructor
// (Terminate, WaitFor): by the time ours runs, the body's class is gone.
class TOOLKIT_EXPORT TThread : public QObject {
    Q_OBJECT
public:
    TThread();
    ~TThread() override;

    // Starts a suspended thread; does nothing once started.
    void Resume();
    void Start() { Resume(); }
    bool Suspended() const { return !FStarted; }

    // Asks the body to stop; the body polls Terminated().
    void Terminate() { FTerminated.store(true, std::memory_order_relaxed); }
    bool Terminated() const { return FTerminated.load(std::memory_order_relaxed); }

    // True once the body has returned (the completion event may still be pending).
    bool Finished() const;
    // Blocks until the body has returned; on the interface thread it runs the
    // synchronised calls of every worker meanwhile, so a body waiting in Synchronize
    // cannot dead-lock it. Must not be used on a FreeOnTerminate thread.
    void WaitFor();

    bool FreeOnTerminate = false;
    // Raised on the interface thread after the body has ended.
    TThreadNotifyEvent OnTerminate;
    // What the body threw, if it ended by an exception.
    std::exception_ptr FatalException() const { return FFatal; }
    // Message of the body's exception, empty when it ended normally.
    QString FatalMessage() const;

    // Runs the synchronised calls waiting for the interface thread; true when any ran.
    static bool CheckSynchronize();
    // Threads created and not yet deleted (for shutdown and tests).
    static int LiveCount();
    // Stops the pool's threads and waits until each has ended: bodies already
    // handed over run first, synchronised calls are served meanwhile, and each
    // thread runs what it registered with AtWorkerExit on itself before it ends.
    // Called before the application object goes (host, module unload, test main);
    // a later Resume starts new pool threads.
    static void StopWorkers();
    // On a pool thread: Cleanup runs on this thread when StopWorkers ends it, in
    // reverse order of registration. False on any other thread (nothing is kept).
    static bool AtWorkerExit(std::function<void()> Cleanup);

protected:
    virtual void Execute() = 0;
    // Runs Method on the interface thread while the worker waits; an exception of
    // Method is thrown again in the worker. On the interface thread it runs directly.
    void Synchronize(const std::function<void()>& Method);
    // Hands Method to the interface thread without waiting for it. Calls queued by a
    // body all run before its completion event, in the order queued; those still
    // waiting when the object is deleted are dropped. On the interface thread it runs
    // directly.
    void Queue(std::function<void()> Method);
    // Drops the calls queued and not yet run, and every call queued from now on: for
    // a destructor whose queued calls would reach an owner that is going.
    void DiscardQueued();

private:
    class Runner;
    friend class TThreadPool;
    friend class TThreadWaker;
    void RunBody();
    void Complete();
    static void RunCompletions();

    std::unique_ptr<Runner> FRunner;
    std::atomic<bool> FTerminated{false};
    bool FStarted = false;
    bool FQueueClosed = false;   // under the queue lock
    std::exception_ptr FFatal;
};

// A body given as a function: it reports its progress (handed to the interface
// thread, a few times a second at most) and polls Cancelled to stop early. The
// owner deletes it; deleting cancels it and waits for the body.
class TOOLKIT_EXPORT TBackgroundTask : public TThread {
public:
    using TBody = std::function<void(TBackgroundTask& Task)>;
    using TProgress = std::function<void(int Done, int Total)>;
    TBackgroundTask(TBody Body, TProgress Progress);
    ~TBackgroundTask() override;
    void Cancel() { FCancel.store(true); }
    bool Cancelled() const { return FCancel.load(); }
    // From the body.
    void Report(int Done, int Total);
    // Reports, and says whether the body is to go on: false once cancelled.
    bool KeepGoing(int Done, int Total = 0)
    {
        Report(Done, Total);
        return !Cancelled();
    }
    // KeepGoing for work that takes its progress as a function of the count done.
    std::function<bool(int Done)> Going()
    {
        return [this](int done) { return KeepGoing(done); };
    }

protected:
    void Execute() override;

private:
    TBody FBody;
    TProgress FProgress;
    std::atomic<bool> FCancel{false};
    qint64 FLastReport = -1;
};
