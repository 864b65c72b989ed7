// The worker threads a run works on, and the one pace at which the calling thread tells the
// window what they did; the only place in the program where threads start.
#include "engine/WorkerPool.h"

#include "engine/RunObserver.h"

#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace orvel {

namespace {

struct Queued {
    qint64 order;
    WorkerPool::Task task;
};
struct LowestFirst {
    bool operator()(const Queued& a, const Queued& b) const { return a.order > b.order; }
};
using TaskQueue = std::priority_queue<Queued, std::vector<Queued>, LowestFirst>;

// One worker: the calling thread runs the tasks itself, and makes a pass between any two
// steps of a task, where the task asks whether to stop; the window's events go through at
// the pace.
class InlinePool final : public WorkerPool {
public:
    InlinePool(RunObserver& observer, RunPace& pace)
        : WorkerPool(1)
        , m_observer(observer)
        , m_pace(pace)
    {
    }

    void post(qint64 order, Task task) override { m_queue.push({order, std::move(task)}); }

    void run(const std::function<void()>& pass) override
    {
        m_pass = &pass;
        while (!m_queue.empty() && !m_stop) {
            Task task = std::move(const_cast<Queued&>(m_queue.top()).task);
            m_queue.pop();
            task(0);
            stopRequested(); // a pass between two tasks too, when one is due
        }
        pass();
        m_pass = nullptr;
    }

    bool stopRequested() override
    {
        if (m_pass) {
            (*m_pass)();
            if (m_pace.due())
                m_observer.letEventsThrough();
        }
        // Asked at every step: a stop ends the run after the rename in hand.
        m_stop = m_stop || m_observer.stopRequested();
        return m_stop;
    }

    bool cancelRequested() override
    {
        m_cancel = m_cancel || m_observer.cancelRequested();
        return m_cancel || stopRequested();
    }

    void awaitPass(bool) override
    {
        if (m_pass)
            (*m_pass)();
    }

    bool stopped() const override { return m_stop; }

private:
    RunObserver& m_observer;
    RunPace& m_pace;
    TaskQueue m_queue;
    const std::function<void()>* m_pass = nullptr; // while it runs
    bool m_stop = false;
    bool m_cancel = false;
};

// Workers on threads of their own, while the calling thread makes the passes.
class ThreadPool final : public WorkerPool {
public:
    ThreadPool(int workers, RunObserver& observer, RunPace& pace, bool finishQueue)
        : WorkerPool(workers)
        , m_observer(observer)
        , m_pace(pace)
        , m_finishQueue(finishQueue)
    {
    }

    void post(qint64 order, Task task) override
    {
        const std::lock_guard guard(m_lock);
        m_queue.push({order, std::move(task)});
        m_wake.notify_one();
    }

    void run(const std::function<void()>& pass) override
    {
        std::vector<std::thread> threads;
        threads.reserve(size_t(workers()));
        for (int w = 0; w < workers(); ++w)
            threads.emplace_back([this, w] { work(w); });
        for (bool last = false; !last;) {
            {
                std::unique_lock guard(m_lock);
                // The window's turn comes when it is due, not up to a wait later.
                const qint64 waitMs = qMin(RunPace::IntervalMs / 2, m_pace.remainingMs());
                m_ended.wait_for(guard, std::chrono::milliseconds(waitMs),
                                 [this] { return m_idle == workers() || m_passWanted; });
                last = m_idle == workers(); // one pass more after the end, for what it ended with
                m_passWanted = false;
                ++m_passesBegun;
            }
            pass();
            {
                const std::lock_guard guard(m_lock);
                ++m_passesEnded;
            }
            m_passed.notify_all();
            if (m_pace.due())
                m_observer.letEventsThrough();
            const bool stop = !m_stop && m_observer.stopRequested();
            const bool cancel = !m_cancel && m_observer.cancelRequested();
            if (stop || cancel) {
                const std::lock_guard guard(m_lock);
                m_stop = m_stop || stop;
                m_cancel = m_cancel || cancel;
                m_wake.notify_all();
            }
        }
        for (std::thread& thread : threads)
            thread.join();
    }

    bool stopRequested() override { return m_stop.load(std::memory_order_relaxed); }
    bool stopped() const override { return m_stop; }
    bool cancelRequested() override
    {
        return m_cancel.load(std::memory_order_relaxed) || m_stop.load(std::memory_order_relaxed);
    }

    void awaitPass(bool soon) override
    {
        std::unique_lock guard(m_lock);
        // A pass begun before now may have missed what the task handed over.
        const quint64 next = m_passesBegun + 1;
        if (soon) {
            m_passWanted = true;
            m_ended.notify_all();
        }
        m_passed.wait(guard, [&] { return m_passesEnded >= next || m_stop; });
    }

private:
    // Takes queued tasks, the lowest order first, until none is left and none is running
    // (a running task may queue more), or a stop request ends the queue.
    void work(int worker)
    {
        std::unique_lock guard(m_lock);
        for (;;) {
            m_wake.wait(guard, [&] { return ended(guard) || !m_queue.empty(); });
            if (ended(guard)) {
                ++m_idle;
                m_ended.notify_all();
                m_wake.notify_all();
                return;
            }
            Task task = std::move(const_cast<Queued&>(m_queue.top()).task);
            m_queue.pop();
            ++m_running;
            guard.unlock();
            task(worker);
            task = nullptr; // what it holds goes before the next one is taken
            guard.lock();
            --m_running;
            if (m_running == 0 && m_queue.empty())
                m_wake.notify_all(); // the others wait for a task that will not come
        }
    }

    // Nothing more will be started.
    bool ended(const std::unique_lock<std::mutex>& held) const
    {
        Q_ASSERT(held.owns_lock() && held.mutex() == &m_lock);
        return (m_queue.empty() && m_running == 0) || (m_stop && !m_finishQueue);
    }

    RunObserver& m_observer;
    RunPace& m_pace;
    const bool m_finishQueue; // a stop request does not end the queue
    // Over the queue and the counts of running and finished workers, which the workers and
    // the calling thread share.
    mutable std::mutex m_lock;
    std::condition_variable m_wake; // for the workers: a task is queued, or the run ends
    std::condition_variable m_ended; // for the calling thread: every worker is done, or a pass is wanted
    std::condition_variable m_passed; // for a task that waits: a pass was made
    TaskQueue m_queue;
    quint64 m_passesBegun = 0; // the passes the calling thread has begun
    quint64 m_passesEnded = 0; // ... and ended
    bool m_passWanted = false; // a task waits for a pass
    int m_running = 0; // tasks begun and not ended
    int m_idle = 0; // workers that are done
    // Set by the calling thread only, under m_lock, read by tasks at any time.
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_cancel = false;
};

} // namespace

int WorkersFor(VolumeKind kind)
{
    switch (kind) {
    case VolumeKind::OneRenameAtATime: return 1;
    case VolumeKind::Remote: return 16; // each rename waits a round trip: keep many in flight
    case VolumeKind::Local: break;
    }
    return qMax(2, QThread::idealThreadCount());
}

std::unique_ptr<WorkerPool> WorkerPool::make(int workers, RunObserver& observer, RunPace& pace)
{
    if (workers <= 1)
        return std::make_unique<InlinePool>(observer, pace);
    return std::make_unique<ThreadPool>(workers, observer, pace, false);
}

void WorkerPool::aside(RunObserver& observer, RunPace& pace, const std::function<void()>& work)
{
    ThreadPool pool(1, observer, pace, true);
    pool.post(0, [&](int) { work(); });
    pool.run([] {});
}

} // namespace orvel
