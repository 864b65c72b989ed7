// The worker pool: every task runs once, on one worker or several, the lowest order first;
// the calling thread makes its passes and lets window events through meanwhile; a stop
// request ends the queue after the tasks in hand; work put aside runs to its end.

#include "engine/WorkerPool.h"
#include "tests/support/RecordingObserver.h"

#include <QTest>

#include <atomic>
#include <thread>

using namespace orvel;

namespace {

// Counts the events let through, on the thread that made the pool.
struct EventsObserver : test::RecordingObserver {
    std::atomic<int> events = 0;
    std::thread::id caller = std::this_thread::get_id();
    bool elsewhere = false; // the observer was called on another thread
    void letEventsThrough() override
    {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        ++events;
    }
};

// Waits, within a few seconds, until `done` holds.
template <typename Condition>
bool waitFor(Condition done)
{
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        std::this_thread::yield();
    return done();
}

} // namespace

class TestWorkerPool : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyTaskOnce_data()
    {
        QTest::addColumn<int>("workers");
        QTest::newRow("one worker, on the calling thread") << 1;
        QTest::newRow("four workers") << 4;
    }
    // A tree of tasks, each queueing its two children (numbered as in a heap): every one
    // runs once, on a worker of the pool, and the last pass sees them all; one worker takes
    // the lowest order first. A task that waits for a pass, asked for at once or not,
    // goes on after one.
    void everyTaskOnce()
    {
        QFETCH(int, workers);
        EventsObserver observer;
        RunPace pace;
        const std::unique_ptr<WorkerPool> pool = WorkerPool::make(workers, observer, pace);
        constexpr int Tasks = 2000;
        std::vector<std::atomic<int>> runs(Tasks);
        std::atomic<int> done = 0, badWorker = 0, passes = 0, noPass = 0;
        std::mutex orderLock; // over `order`, which every worker appends to
        std::vector<int> order;
        std::function<void(int, int)> task = [&](int index, int worker) {
            badWorker +=
                worker < 0 || worker >= workers || (workers == 1 && std::this_thread::get_id() != observer.caller);
            ++runs[size_t(index)];
            {
                const std::lock_guard guard(orderLock);
                order.push_back(index);
            }
            if (index % 100 == 0) {
                const int before = passes;
                pool->awaitPass(index % 200 == 0);
                noPass += passes == before;
            }
            for (const int child : {2 * index + 1, 2 * index + 2})
                if (child < Tasks)
                    pool->post(child, [&, child](int w) { task(child, w); });
            ++done;
        };
        pool->post(0, [&](int w) { task(0, w); });
        int lastSeen = -1;
        pool->run([&] {
            observer.elsewhere = observer.elsewhere || std::this_thread::get_id() != observer.caller;
            lastSeen = done;
            ++passes;
        });
        QCOMPARE(lastSeen, Tasks);
        QCOMPARE(badWorker.load(), 0);
        QCOMPARE(noPass.load(), 0);
        QVERIFY(!observer.elsewhere);
        QVERIFY(std::all_of(runs.begin(), runs.end(), [](const std::atomic<int>& n) { return n == 1; }));
        QVERIFY(!pool->stopped());
        if (workers == 1) // the lowest order queued first: here, every task in the order of its number
            QVERIFY(std::is_sorted(order.begin(), order.end()));
    }

    void stopEndsTheQueue_data() { everyTaskOnce_data(); }
    // A stop request that comes during a task: that task ends, no other starts.
    void stopEndsTheQueue()
    {
        QFETCH(int, workers);
        EventsObserver observer;
        RunPace pace;
        const std::unique_ptr<WorkerPool> pool = WorkerPool::make(workers, observer, pace);
        std::atomic<int> started = 0, ended = 0, unseen = 0;
        for (int i = 0; i < 100; ++i)
            pool->post(i, [&](int) {
                if (++started == 1)
                    observer.stop = true;
                // The request reaches every task begun: at its next step, or at the next pass.
                unseen += !waitFor([&] { return pool->stopRequested(); });
                ++ended;
            });
        pool->run([] {});
        QVERIFY(pool->stopped());
        QVERIFY(pool->cancelRequested()); // a stop ends a search as a cancel does
        QCOMPARE(unseen.load(), 0);
        QCOMPARE(ended.load(), started.load());
        QVERIFY2(started <= workers, qPrintable(QString::number(started)));
    }

    // Work put aside runs on a thread of its own, to its end whatever is requested, while
    // the calling thread lets window events through.
    void workAside()
    {
        EventsObserver observer;
        observer.stop = true;
        bool done = false;
        std::thread::id where;
        RunPace pace;
        WorkerPool::aside(observer, pace, [&] {
            where = std::this_thread::get_id();
            done = waitFor([&] { return observer.events > 0; });
        });
        QVERIFY(done);
        QVERIFY(where != observer.caller);
        QVERIFY(!observer.elsewhere);
    }
};

QTEST_GUILESS_MAIN(TestWorkerPool)
#include "test_worker_pool.moc"
