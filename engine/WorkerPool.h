// The worker threads a run works on, and the one pace at which the calling thread tells the
// window what they did; the only place in the program where threads start.
#pragma once

#include "platform/FileSystem.h"

#include <QElapsedTimer>
#include <functional>
#include <memory>

namespace orvel {

class RunObserver;

// How many workers a run uses on a file system of that kind: one where the volume takes
// one change at a time, many where each rename waits for a round trip, otherwise one per
// core (at least two).
int WorkersFor(VolumeKind kind);

// When the calling thread next tells the window of a run's progress and lets its events
// through: by the clock, not by the amount of work, often enough for the window to stay
// alive and seldom enough to cost nothing.
class RunPace {
public:
    // A pass itself takes a few milliseconds: the window never waits more than 50 for one.
    static constexpr qint64 IntervalMs = 35;

    RunPace() { m_clock.start(); }
    // True once an interval has passed since it was last true.
    bool due()
    {
        if (!m_clock.hasExpired(IntervalMs))
            return false;
        m_clock.restart();
        return true;
    }
    // How long until it is due.
    qint64 remainingMs() const { return qMax<qint64>(0, IntervalMs - m_clock.elapsed()); }

private:
    QElapsedTimer m_clock;
};

// Runs a run's tasks on its workers while the calling thread (the window's) makes passes:
// at each, the run tells the observer what its tasks did, and at the pace the observer
// lets window events through; then it is asked whether to stop or to cancel. Two kinds
// behind one face: with one worker the tasks run on the calling thread itself, which makes
// a pass between any two steps of a task (no thread is started); with more, on threads of
// their own, while the calling thread makes a pass every half interval and when the pace
// is due, or at once when a task waits for one.
class WorkerPool {
public:
    // A task gets the number of the worker that runs it (0 to workers() - 1).
    using Task = std::function<void(int worker)>;

    // A pool of `workers` (at least one), whose calling thread lets window events through at
    // `pace`: the run's one pace, from its first step to its last.
    static std::unique_ptr<WorkerPool> make(int workers, RunObserver& observer, RunPace& pace);
    virtual ~WorkerPool() = default;

    int workers() const { return m_workers; }

    // Queues a task; of the tasks queued, the one of the lowest `order` is started first.
    // From any thread, also from inside a task.
    virtual void post(qint64 order, Task task) = 0;
    // Runs the queued tasks and those they queue until none is left, or a stop request
    // ended the run: a task begun ends, no other starts. Meanwhile the calling thread makes
    // its passes: `pass()` first, then, once an interval, the observer lets window events
    // through; then the requests are asked for. A last pass follows the last task.
    virtual void run(const std::function<void()>& pass) = 0;

    // For a task, between two of its steps: whether the host is ending, so that the run
    // ends after the step in hand. With one worker, this is where the passes are made.
    virtual bool stopRequested() = 0;
    // Whether the cancel link was clicked (or a stop requested): a search ends where it is
    // and no further folder is started.
    virtual bool cancelRequested() = 0;
    // For a task that has handed the calling thread more than it should hold: waits for
    // the calling thread's next pass, which `soon` asks for at once rather than at the
    // pace. With one worker the pass is made right here. Returns at once once a stop was
    // requested.
    virtual void awaitPass(bool soon) = 0;
    // After run(): whether a stop request ended it.
    virtual bool stopped() const = 0;

    // Runs `work` on a thread of its own while the calling thread lets window events
    // through at `pace`, to its end whatever is requested meanwhile.
    static void aside(RunObserver& observer, RunPace& pace, const std::function<void()>& work);

protected:
    explicit WorkerPool(int workers)
        : m_workers(workers)
    {
    }

private:
    const int m_workers;
};

} // namespace orvel
