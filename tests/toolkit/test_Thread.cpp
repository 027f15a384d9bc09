#include "toolkit/Threads.h"
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

namespace {

// Runs a given body; the test decides what the body does.
class BodyThread : public TThread {
public:
    explicit BodyThread(std::function<void(BodyThread*)> body) : FBody(std::move(body)) {}
    // The body must end while this class is still whole.
    ~BodyThread() override
    {
        Terminate();
        WaitFor();
    }
    using TThread::DiscardQueued;
    using TThread::Queue;
    using TThread::Synchronize;
protected:
    void Execute() override { FBody(this); }
private:
    std::function<void(BodyThread*)> FBody;
};

bool WaitUntil(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

}  // namespace

TEST(Thread, SuspendedUntilResumedAndSynchronizeBlocksTheWorker)
{
    std::atomic<bool> ran{false};
    QThread* uiThread = QThread::currentThread();
    QThread* syncThread = nullptr;
    int seenAfterSync = 0;
    int sharedValue = 0;
    BodyThread worker([&](BodyThread* self) {
        ran = true;
        self->Synchronize([&] {
            syncThread = QThread::currentThread();
            sharedValue = 42;
        });
        seenAfterSync = sharedValue;   // written on the interface thread, read here after the call
    });
    QCoreApplication::processEvents();
    QThread::msleep(20);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(worker.Suspended());
    worker.Resume();
    worker.WaitFor();
    EXPECT_TRUE(ran);
    EXPECT_EQ(syncThread, uiThread);
    EXPECT_EQ(seenAfterSync, 42);
}

TEST(Thread, OnTerminateRunsOnTheInterfaceThreadAfterTheBodyThenFreesItself)
{
    std::atomic<bool> bodyDone{false};
    bool bodyDoneAtTerminate = false;
    QThread* terminateThread = nullptr;
    auto* worker = new BodyThread([&](BodyThread*) { bodyDone = true; });
    worker->FreeOnTerminate = true;
    worker->OnTerminate = [&](TThread* sender) {
        EXPECT_EQ(sender, worker);
        bodyDoneAtTerminate = bodyDone;
        terminateThread = QThread::currentThread();
    };
    QPointer<TThread> alive(worker);
    worker->Resume();
    ASSERT_TRUE(WaitUntil([&] { return alive.isNull(); }));
    EXPECT_TRUE(bodyDoneAtTerminate);
    EXPECT_EQ(terminateThread, QThread::currentThread());
}

TEST(Thread, TerminateIsSeenByTheBodyAndFailuresAreKept)
{
    std::atomic<bool> started{false};
    BodyThread polling([&](BodyThread* self) {
        started = true;
        while (!self->Terminated())
            QThread::msleep(1);
    });
    polling.Resume();
    while (!started)
        QThread::msleep(1);
    polling.Terminate();
    polling.WaitFor();
    EXPECT_TRUE(polling.Finished());
    EXPECT_TRUE(polling.FatalMessage().isEmpty());

    // A failure inside the synchronised call comes back to the worker and ends its body.
    bool afterSync = false;
    BodyThread failing([&](BodyThread* self) {
        self->Synchronize([] { throw std::runtime_error("sync failed"); });
        afterSync = true;
    });
    failing.Resume();
    failing.WaitFor();
    EXPECT_FALSE(afterSync);
    EXPECT_EQ(failing.FatalMessage(), QStringLiteral("sync failed"));
}

TEST(Thread, DestroyingARunningThreadWaitsEvenWhileItSynchronizes)
{
    const int before = TThread::LiveCount();
    int calls = 0;
    {
        BodyThread worker([&](BodyThread* self) {
            for (int i = 0; i < 3; ++i)
                self->Synchronize([&] { ++calls; });
        });
        worker.Resume();
        // No event loop runs here: the destructor itself must serve the calls.
    }
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(TThread::LiveCount(), before);
}

TEST(Thread, ManyWorkersSynchronizingAtOnceEachGetTheirOwnAnswer)
{
    // More workers than the pool has threads, each asking many times: every call
    // must come back to the worker that made it, with its own value or failure.
    constexpr int kWorkers = 12, kCalls = 40;
    std::vector<std::unique_ptr<BodyThread>> workers;
    std::vector<int> sums(kWorkers, 0), failures(kWorkers, 0);
    int callsOnInterface = 0;
    for (int w = 0; w < kWorkers; ++w) {
        workers.push_back(std::make_unique<BodyThread>([&, w](BodyThread* self) {
            for (int c = 0; c < kCalls; ++c) {
                int answer = -1;
                try {
                    self->Synchronize([&] {
                        ++callsOnInterface;
                        if (c == w)
                            throw std::runtime_error("refused");
                        answer = w * 1000 + c;
                    });
                } catch (const std::runtime_error&) {
                    ++failures[size_t(w)];
                    continue;
                }
                sums[size_t(w)] += answer - w * 1000;
            }
        }));
    }
    for (auto& w : workers)
        w->Resume();
    for (auto& w : workers)
        w->WaitFor();
    EXPECT_EQ(callsOnInterface, kWorkers * kCalls);
    for (int w = 0; w < kWorkers; ++w) {
        EXPECT_EQ(failures[size_t(w)], 1) << w;
        EXPECT_EQ(sums[size_t(w)], kCalls * (kCalls - 1) / 2 - w) << w;
        EXPECT_TRUE(workers[size_t(w)]->FatalMessage().isEmpty()) << w;
    }
}

TEST(Thread, QueuedCallsRunInOrderOnTheInterfaceThreadBeforeTheCompletion)
{
    QThread* uiThread = QThread::currentThread();
    std::vector<int> seen;
    bool offThread = false;
    std::vector<int> seenAtCompletion;
    {
        // Each call carries its own heap data; the sanitizer checks it travels safely.
        auto* worker = new BodyThread([&](BodyThread* self) {
            for (int i = 0; i < 200; ++i) {
                auto payload = std::make_shared<std::vector<int>>(16, i);
                self->Queue([&, payload] {
                    offThread |= QThread::currentThread() != uiThread;
                    seen.push_back(payload->back());
                });
            }
        });
        bool completed = false;
        worker->OnTerminate = [&](TThread*) {
            seenAtCompletion = seen;
            completed = true;
        };
        worker->FreeOnTerminate = false;
        worker->Resume();
        ASSERT_TRUE(WaitUntil([&] { return completed; }));
        delete worker;
    }
    EXPECT_FALSE(offThread);
    ASSERT_EQ(seenAtCompletion.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(seenAtCompletion[size_t(i)], i);

    // WaitFor delivers the queued calls before it raises the completion itself.
    seen.clear();
    seenAtCompletion.clear();
    BodyThread waited([&](BodyThread* self) { self->Queue([&] { seen.push_back(7); }); });
    waited.OnTerminate = [&](TThread*) { seenAtCompletion = seen; };
    waited.Resume();
    waited.WaitFor();
    EXPECT_EQ(seenAtCompletion, std::vector<int>{7});
}

TEST(Thread, DiscardedQueuedCallsNeverRun)
{
    std::atomic<bool> queued{false};
    std::atomic<bool> release{false};
    int ran = 0;
    auto* worker = new BodyThread([&](BodyThread* self) {
        self->Queue([&] { ++ran; });
        queued = true;
        while (!release)
            QThread::msleep(1);
        self->Queue([&] { ++ran; });   // after the discard: dropped as well
    });
    worker->Resume();
    while (!queued)
        QThread::msleep(1);
    worker->DiscardQueued();
    release = true;
    delete worker;
    QCoreApplication::processEvents();
    TThread::CheckSynchronize();
    EXPECT_EQ(ran, 0);
}
