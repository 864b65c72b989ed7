#pragma once

#include "engine/Paths.h"
#include "engine/RunObserver.h"
#include "engine/RunOutcome.h"
#include "platform/NameCodec.h"

#include <QDir>
#include <QStringList>

#include <atomic>
#include <thread>

namespace orvel::test {

// A run's observer that keeps what the run tells it: the status lines, the progress
// range and value, the questions about system folders and homes (answered with
// `answer`), the journal's failures, and the entries the run reports, in order: "old >
// new" for a rename, "old > new name | reason" for a name left; paths relative to `base`.
// Cancel and stop requests may be set from the file system's threads; one that comes from
// a worker takes effect as a click does, once the thread the run was started on takes it in.
class RecordingObserver : public RunObserver {
public:
    QString base;
    QStringList entries, statuses, asked, journalFailures;
    qint64 max = -1, value = -1;
    std::atomic<bool> cancel = false, stop = false;
    bool answer = true;

    void status(const QString& text) override { statuses << text; }
    void progressMax(qint64 m) override { max = m; }
    void progressValue(qint64 v) override { value = v; }
    void letEventsThrough() override {}
    bool cancelRequested() override { return cancel; }
    bool stopRequested() override
    {
        ++m_asked;
        return stop;
    }
    // On a worker, after it set a request: waits until the run's own thread, which asks for
    // the requests at every pass, has asked twice more, so that a whole pass took the request
    // in and passed it on to the workers. On that thread itself the run asks at once.
    void awaitTakenIn() const
    {
        if (std::this_thread::get_id() == m_home)
            return;
        for (const int from = m_asked; m_asked < from + 2;)
            std::this_thread::yield();
    }
    void journalFailed(const QString& reason) override { journalFailures << reason; }
    bool confirmSystemFolder(const QString& folder, FolderRole role) override
    {
        asked << folder + (role == FolderRole::Home ? "|home" : "|system");
        return answer;
    }
    bool hearsEachName() const override { return true; }
    void renamed(const QString& folder, QByteArrayView oldName, QByteArrayView newName, EntryKind) override
    {
        entries << shown(JoinPath(folder, DecodeName(oldName))) + " > " + shown(JoinPath(folder, DecodeName(newName)));
    }
    void notChanged(const NotChanged& item, QByteArrayView newName, EntryKind) override
    {
        entries << shown(item.path) + " > " + DecodeName(newName) + " | " + item.reason;
    }

private:
    std::atomic<int> m_asked = 0; // how often the run asked whether to stop
    std::thread::id m_home = std::this_thread::get_id();
    QString shown(const QString& path) const { return base.isEmpty() ? path : QDir(base).relativeFilePath(path); }
};

// The items a run left as they were, "path|reason", paths relative to `base`.
inline QStringList reported(const QList<NotChanged>& items, const QString& base)
{
    QStringList out;
    for (const NotChanged& item : items)
        out << QDir(base).relativeFilePath(item.path) + '|' + item.reason;
    return out;
}

} // namespace orvel::test
