#include "toolkit/Threads.h"
#include <QCoreApplication>
#include <QMetaMethod>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#ifdef Q_OS_LINUX
#include <pthread.h>
#endif
#include <vector>

// Standard-library locks on purpose: the thread sanitizer sees through them, not
// through Qt's own.
namespace {

struct SyncRequest {
    const std::function<void()>* method;
    std::exception_ptr error;
    bool done = false;
    // Its own: the interface thread wakes the one worker whose call it ran, not
    // every worker waiting for one.
    std::condition_variable finished;
};

struct QueuedCall {
    const TThread* owner = nullptr;
    std::function<void()> method;
};

std::mutex gSyncMutex;
std::deque<SyncRequest*> gSyncQueue;
std::deque<QueuedCall> gQueued;   // calls handed over without waiting
std::deque<TThread*> gCompleted;   // bodies ended, completion not yet run
std::atomic<int> gLive{0};

bool OnInterfaceThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

}  // namespace

// Bodies run on a small pool of threads that stay until the application ends:
// what a thread sets up for itself (a database connection clone) is paid once per
// pool thread, not once per worker, and a burst of workers cannot pile up more
// nested deliveries on the interface thread than the pool has threads. Work is
// handed over under a standard lock, so the sanitizer sees every hand-over. They
// are standard threads, not QThreads: they run no event loop, and joining one is a
// hand-over the sanitizer sees (QThread::wait goes through Qt's own locks).
class TThreadPool {
public:
    static TThreadPool& Instance()
    {
        static TThreadPool pool;
        return pool;
    }
    ~TThreadPool() { Stop(); }

    void Submit(TThread* thread)
    {
        std::unique_lock<std::mutex> lock(FMutex);
        // The owners stop the pool themselves (StopWorkers); this is for a
        // program that forgot, so that no thread outlives the application.
        if (!FPostRoutine && QCoreApplication::instance()) {
            FPostRoutine = true;
            qAddPostRoutine(&TThreadPool::Shutdown);
        }
        FQueue.push_back(thread);
        // While stopping, the threads being stopped take what is queued before they end.
        if (!FStopping && FIdle == 0 && int(FThreads.size()) < FMax) {
            FThreads.emplace_back([this] { Loop(); });
            return;
        }
        FWork.notify_one();
    }

    static void Shutdown() { Instance().Stop(); }

    // Every thread ends its loop, after the bodies already handed over and after
    // releasing what it set up for itself (AtWorkerExit), and is joined.
    void Stop()
    {
        std::vector<std::thread> threads;
        std::unique_lock<std::mutex> lock(FMutex);
        if (FThreads.empty())
            return;
        FStopping = true;
        threads.swap(FThreads);
        FWork.notify_all();
        // Not joined at once: a body still running may wait in Synchronize for
        // this thread, which serves such calls meanwhile.
        while (FEnded < threads.size()) {
            lock.unlock();
            TThread::CheckSynchronize();
            lock.lock();
            FEndedChanged.wait_for(lock, std::chrono::milliseconds(2));
        }
        FEnded = 0;
        FStopping = false;
        lock.unlock();
        for (std::thread& t : threads)
            t.join();
        // What the bodies handed over is delivered now: after the pool there may
        // be no event loop, and a module being unloaded must see its workers go.
        if (OnInterfaceThread()) {
            TThread::CheckSynchronize();
            TThread::RunCompletions();
        }
    }

private:
    void Loop()
    {
#ifdef Q_OS_LINUX
        pthread_setname_np(pthread_self(), "TThread worker");
#endif
        std::vector<std::function<void()>> exits;
        tWorkerExits = &exits;
        std::unique_lock<std::mutex> lock(FMutex);
        for (;;) {
            if (!FQueue.empty()) {
                TThread* thread = FQueue.front();
                FQueue.pop_front();
                lock.unlock();
                thread->RunBody();
                lock.lock();
                continue;
            }
            if (FStopping)
                break;
            ++FIdle;
            FWork.wait(lock);
            --FIdle;
        }
        lock.unlock();
        tWorkerExits = nullptr;
        for (auto it = exits.rbegin(); it != exits.rend(); ++it) {
            try {
                (*it)();
            } catch (const std::exception& e) {
                qWarning("%s", e.what());
            }
        }
        exits.clear();
        lock.lock();
        ++FEnded;
        FEndedChanged.notify_all();
    }

public:
    static thread_local std::vector<std::function<void()>>* tWorkerExits;

private:

    std::mutex FMutex;
    std::condition_variable FWork;
    std::condition_variable FEndedChanged;
    std::deque<TThread*> FQueue;
    std::vector<std::thread> FThreads;
    size_t FEnded = 0;   // threads of a Stop that have left their loop
    int FIdle = 0;
    bool FStopping = false;
    bool FPostRoutine = false;
    const int FMax = std::max(4, QThread::idealThreadCount() * 2);
};

thread_local std::vector<std::function<void()>>* TThreadPool::tWorkerExits = nullptr;

// Wakes the interface thread for synchronised calls and completions. Posted by
// name, so the event is made and freed inside Qt and carries no data of ours: what
// it stands for travels through our queues.
class TThreadWaker : public QObject {
    Q_OBJECT
public:
    // Made on the interface thread before the first body starts.
    static TThreadWaker* Instance()
    {
        static QPointer<TThreadWaker> waker;
        if (!waker)
            waker = new TThreadWaker(QCoreApplication::instance());
        return waker.data();
    }
    // One wake-up pending at a time: it serves everything queued before it runs.
    static void Post()
    {
        if (FPending.exchange(true))
            return;
        static const QMetaMethod wake =
            staticMetaObject.method(staticMetaObject.indexOfMethod("Wake()"));
        wake.invoke(FInstance.load(), Qt::QueuedConnection);
    }
    static std::atomic<TThreadWaker*> FInstance;
    static std::atomic<bool> FPending;

private:
    explicit TThreadWaker(QObject* parent) : QObject(parent) { FInstance.store(this); }
    ~TThreadWaker() override { FInstance.store(nullptr); }
    Q_INVOKABLE void Wake()
    {
        FPending.store(false);
        TThread::CheckSynchronize();
        TThread::RunCompletions();
    }
};

std::atomic<TThreadWaker*> TThreadWaker::FInstance{nullptr};
std::atomic<bool> TThreadWaker::FPending{false};

class TThread::Runner {
public:
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FBodyDone = false;
    bool FTerminateRaised = false;
};

TThread::TThread() : FRunner(std::make_unique<Runner>())
{
    gLive.fetch_add(1);
}

TThread::~TThread()
{
    if (FStarted) {
        Terminate();
        WaitFor();
        std::lock_guard<std::mutex> lock(gSyncMutex);
        gCompleted.erase(std::remove(gCompleted.begin(), gCompleted.end(), this), gCompleted.end());
    }
    DiscardQueued();
    gLive.fetch_sub(1);
}

void TThread::Resume()
{
    if (FStarted)
        return;
    {
        // Everything set before Resume is visible to the body through this lock.
        std::lock_guard<std::mutex> lock(FRunner->FMutex);
        FStarted = true;
    }
    TThreadWaker::Instance();
    TThreadPool::Instance().Submit(this);
}

bool TThread::Finished() const
{
    std::lock_guard<std::mutex> lock(FRunner->FMutex);
    return FRunner->FBodyDone;
}

QString TThread::FatalMessage() const
{
    if (!Finished() || !FFatal)
        return {};
    try {
        std::rethrow_exception(FFatal);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("?");
    }
}

void TThread::RunBody()
{
    {
        std::lock_guard<std::mutex> lock(FRunner->FMutex);
    }
    try {
        Execute();
    } catch (...) {
        FFatal = std::current_exception();
    }
    // The completion goes through our own queue rather than data captured in a
    // posted event, so what the body did is visible to the interface thread through
    // a lock the sanitizer sees; a destructor that runs first takes it out again.
    {
        std::lock_guard<std::mutex> lock(gSyncMutex);
        gCompleted.push_back(this);
    }
    {
        std::lock_guard<std::mutex> lock(FRunner->FMutex);
        FRunner->FBodyDone = true;
        FRunner->FDone.notify_all();
    }
    // Nothing of this object is touched from here on: a waiting owner may delete it.
    TThreadWaker::Post();
}

void TThread::RunCompletions()
{
    for (;;) {
        // What a body queued comes before its completion. A body queues all it
        // queues before it joins gCompleted, so once none of the next completed
        // thread's calls waits (seen under the one lock), none will; until then
        // the queue is drained again.
        if (!OnInterfaceThread())
            return;
        CheckSynchronize();
        TThread* thread = nullptr;
        {
            std::lock_guard<std::mutex> lock(gSyncMutex);
            if (gCompleted.empty())
                return;
            const TThread* next = gCompleted.front();
            if (std::any_of(gQueued.cbegin(), gQueued.cend(), [next](const QueuedCall& c) { return c.owner == next; }))
                continue;
            thread = gCompleted.front();
            gCompleted.pop_front();
        }
        thread->Complete();
    }
}

void TThread::WaitFor()
{
    if (!FStarted)
        return;
    const bool ui = OnInterfaceThread();
    std::unique_lock<std::mutex> lock(FRunner->FMutex);
    while (!FRunner->FBodyDone) {
        if (ui) {
            lock.unlock();
            CheckSynchronize();
            lock.lock();
            FRunner->FDone.wait_for(lock, std::chrono::milliseconds(2));
        } else {
            FRunner->FDone.wait(lock);
        }
    }
    lock.unlock();
    // The completion event is due before the creator sees the thread as done, and
    // after what the body queued.
    if (ui && !FRunner->FTerminateRaised) {
        CheckSynchronize();
        FRunner->FTerminateRaised = true;
        if (OnTerminate) {
            TThreadNotifyEvent handler = OnTerminate;
            handler(this);
        }
    }
}

void TThread::Complete()
{
    {
        std::unique_lock<std::mutex> lock(FRunner->FMutex);
        FRunner->FDone.wait(lock, [this] { return FRunner->FBodyDone; });
    }
    if (!FRunner->FTerminateRaised) {
        FRunner->FTerminateRaised = true;
        if (OnTerminate) {
            TThreadNotifyEvent handler = OnTerminate;
            try {
                handler(this);
            } catch (const std::exception& e) {
                // Nobody above us to take it: Qt's event delivery cannot carry exceptions.
                qWarning("%s", e.what());
            }
        }
    }
    if (FreeOnTerminate)
        delete this;
}

void TThread::Synchronize(const std::function<void()>& Method)
{
    if (OnInterfaceThread()) {
        Method();
        return;
    }
    SyncRequest request{&Method, nullptr, false, {}};
    {
        std::lock_guard<std::mutex> lock(gSyncMutex);
        gSyncQueue.push_back(&request);
    }
    TThreadWaker::Post();
    std::unique_lock<std::mutex> lock(gSyncMutex);
    request.finished.wait(lock, [&request] { return request.done; });
    if (request.error)
        std::rethrow_exception(request.error);
}

void TThread::Queue(std::function<void()> Method)
{
    if (OnInterfaceThread()) {
        Method();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(gSyncMutex);
        if (FQueueClosed)
            return;
        gQueued.push_back({this, std::move(Method)});
    }
    TThreadWaker::Post();
}

void TThread::DiscardQueued()
{
    std::deque<QueuedCall> dropped;   // destroyed outside the lock
    std::lock_guard<std::mutex> lock(gSyncMutex);
    FQueueClosed = true;
    for (auto it = gQueued.begin(); it != gQueued.end();) {
        if (it->owner == this) {
            dropped.push_back(std::move(*it));
            it = gQueued.erase(it);
        } else {
            ++it;
        }
    }
}

bool TThread::CheckSynchronize()
{
    if (!OnInterfaceThread())
        return false;
    bool any = false;
    for (;;) {
        QueuedCall call;
        {
            std::lock_guard<std::mutex> lock(gSyncMutex);
            if (gQueued.empty())
                break;
            call = std::move(gQueued.front());
            gQueued.pop_front();
        }
        any = true;
        try {
            call.method();
        } catch (const std::exception& e) {
            // Nobody waits for a queued call to take its exception.
            qWarning("%s", e.what());
        }
    }
    // Only the calls waiting now: one a worker makes as soon as its last was served
    // (a delivery in slices) waits for its own wake-up, behind the events that
    // came meanwhile.
    size_t waiting = 0;
    {
        std::lock_guard<std::mutex> lock(gSyncMutex);
        waiting = gSyncQueue.size();
    }
    for (; waiting > 0; --waiting) {
        SyncRequest* request = nullptr;
        {
            std::lock_guard<std::mutex> lock(gSyncMutex);
            request = gSyncQueue.front();
            gSyncQueue.pop_front();
        }
        any = true;
        std::exception_ptr error;
        try {
            (*request->method)();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(gSyncMutex);
        request->error = error;
        request->done = true;
        // Under the lock: the worker may leave (and its request go) as soon as
        // it sees done.
        request->finished.notify_one();
    }
    return any;
}

int TThread::LiveCount()
{
    return gLive.load();
}

void TThread::StopWorkers()
{
    TThreadPool::Instance().Stop();
}

bool TThread::AtWorkerExit(std::function<void()> Cleanup)
{
    if (!TThreadPool::tWorkerExits)
        return false;
    TThreadPool::tWorkerExits->push_back(std::move(Cleanup));
    return true;
}

TBackgroundTask::TBackgroundTask(TBody Body, TProgress Progress)
    : FBody(std::move(Body)), FProgress(std::move(Progress))
{
}

TBackgroundTask::~TBackgroundTask()
{
    Cancel();
    DiscardQueued();
    WaitFor();
}

void TBackgroundTask::Execute()
{
    if (FBody)
        FBody(*this);
}

void TBackgroundTask::Report(int Done, int Total)
{
    if (!FProgress)
        return;
    const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    if (Done < Total && FLastReport >= 0 && now - FLastReport < 100)
        return;
    FLastReport = now;
    TProgress progress = FProgress;
    Queue([progress, Done, Total] { progress(Done, Total); });
}

#include "Threads.moc"
