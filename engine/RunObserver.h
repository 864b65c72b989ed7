#pragma once

#include "platform/SystemFolders.h"

#include <QElapsedTimer>
#include <QString>

namespace orvel {

struct NotChanged;

// What a rename run tells the window that hosts it, and asks of it. The run never
// touches a widget or the event loop itself.
class RunObserver {
public:
    virtual ~RunObserver() = default;

    virtual void status(const QString& text) = 0;
    virtual void progressMax(qint64 max) = 0;
    // Once per file; the host decides how often that is worth showing.
    virtual void progressValue(qint64 value) = 0;
    // The new name of the file in hand, once per file, before it is renamed. A host
    // that does not show it can leave this as it is.
    virtual void workingName(const QString& name) { (void)name; }
    // Whether the host hears of each name (below); a run keeps them for it only then.
    virtual bool hearsEachName() const { return false; }
    // After each rename that changed a name, in the order of the walk: the entry
    // `oldName` of the folder `folder` (its path as it stands now) is called `newName`.
    virtual void renamed(const QString& folder, const QString& oldName, const QString& newName)
    {
        (void)folder, (void)oldName, (void)newName;
    }
    // Each item the run leaves as it was, in the same order as the outcome lists it;
    // `newName` is the name it was to have, empty when no rename was tried (a folder
    // the walk could not enter).
    virtual void left(const NotChanged& item, const QString& newName) { (void)item, (void)newName; }
    // Window events may run now (a repaint, a menu, a close request).
    virtual void letEventsThrough() = 0;
    // The cancel link was clicked: the search ends where it is and no further folder is
    // started; what was begun ends normally.
    virtual bool cancelRequested() = 0;
    // The host is ending (the window closes, the process was told to end): the run ends
    // after the rename in hand, nothing half done; a search ends at its next folder.
    virtual bool stopRequested() = 0;
    // The run's journal could not be written: the run goes on, but cannot be taken
    // back. Told once a run.
    virtual void journalFailed(const QString& reason) { Q_UNUSED(reason); }
    // Asked once, before the first rename, when the run would rename in or rename a
    // folder that belongs to the system or is a user's home (`folder` is the first such
    // one); false ends the run with nothing renamed.
    virtual bool confirmSystemFolder(const QString& folder, FolderRole role) = 0;
};

// What a run in `folder` (the folder `id`) asks about first: renaming in it when it is,
// or lies in, a system folder; with `itself`, renaming its own name too when it lies
// right in a system folder (the folder `parent`, or by its path) or is a user's home.
// Ordinary when there is nothing to ask.
FolderRole StartFolderRole(const SystemFolders& known, const QString& folder, const FileId& id, bool itself,
                           const FileId& parent);

// Lets window events through by the clock, not by the amount of work: often enough for
// the window to stay alive, seldom enough to cost nothing.
class EventPacer {
public:
    static constexpr qint64 IntervalMs = 50;

    explicit EventPacer(RunObserver& observer)
        : m_observer(observer)
    {
        m_clock.start();
    }

    void tick()
    {
        if (m_clock.hasExpired(IntervalMs)) {
            m_observer.letEventsThrough();
            m_clock.restart();
        }
    }

private:
    RunObserver& m_observer;
    QElapsedTimer m_clock;
};

} // namespace orvel
