#include "toolkit/Threads.h"
#include <QCoreApplication>
#include <QPointer>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

// Standard-library locks on purpose: the thread sanitizer sees through them, not
// through Qt's own.
namespace {

struct SyncRequest {
    const std::function<void()>* method;
    std::exception_ptr error;
    bool done = false;
};

std::mutex gSyncMutex;
std::condition_variable gSyncDone;
std::deque<SyncRequest*> gSyncQueue;
std::atomic<int> gLive{0};

bool OnInterfaceThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

}  // namespace

// Bodies run on a small pool of QThreads kept for a while between bodies: what a
// thread sets up for itself (a database connection clone) is then paid once per
// pool thread, not once per worker, and a burst of workers cannot pile up more
// nested deliveries on the interface thread than the pool has threads.
static QThreadPool* WorkerPool()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(std::max(4, QThread::idealThreadCount() * 2));
        pool->setExpiryTimeout(30000);
        pool->setObjectName(QStringLiteral("TThread workers"));
    }
    return pool;
}

class TThread::Runner {
public:
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FBodyDone = false;
    bool FTerminateRaised = false;
};

class TThreadBodyTask : public QRunnable {
public:
    explicit TThreadBodyTask(TThread* owner) : FOwner(owner) { setAutoDelete(true); }
    void run() override { FOwner->RunBody(); }
private:
    TThread* FOwner;
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
    }
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
    WorkerPool()->start(new TThreadBodyTask(this));
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
    // The completion is queued before the body is marked done: once it is marked,
    // a waiting owner may delete this object.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [self = QPointer<TThread>(this)] {
            if (self)
                self->Complete();
        },
        Qt::QueuedConnection);
    std::lock_guard<std::mutex> lock(FRunner->FMutex);
    FRunner->FBodyDone = true;
    FRunner->FDone.notify_all();
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
    // The completion event is due before the creator sees the thread as done.
    if (ui && !FRunner->FTerminateRaised) {
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
    SyncRequest request{&Method, nullptr, false};
    {
        std::lock_guard<std::mutex> lock(gSyncMutex);
        gSyncQueue.push_back(&request);
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { CheckSynchronize(); }, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(gSyncMutex);
    gSyncDone.wait(lock, [&request] { return request.done; });
    if (request.error)
        std::rethrow_exception(request.error);
}

bool TThread::CheckSynchronize()
{
    if (!OnInterfaceThread())
        return false;
    bool any = false;
    for (;;) {
        SyncRequest* request = nullptr;
        {
            std::lock_guard<std::mutex> lock(gSyncMutex);
            if (gSyncQueue.empty())
                break;
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
        gSyncDone.notify_all();
    }
    return any;
}

int TThread::LiveCount()
{
    return gLive.load();
}
