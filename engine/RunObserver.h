// What a run tells the window (or the command line) that hosts it, and asks of it.
#pragma once

#include "platform/SystemFolders.h"

#include <QByteArrayView>
#include <QString>

namespace orvel {

struct NotChanged;

// What an entry a run tells of is: a file (or a link to one), a folder, or, for an undo,
// whose journal does not record it, not known.
enum class EntryKind { Unknown, File, Folder };

// The host's side of a run. The run never touches a widget or the event loop itself; it
// calls these on the thread that started it.
class RunObserver {
public:
    virtual ~RunObserver() = default;

    virtual void status(const QString& text) = 0;
    virtual void progressMax(qint64 max) = 0;
    // As the run goes, at its pace; last with the count it ended with.
    virtual void progressValue(qint64 value) = 0;
    // The new name of a file in hand, now and then, before it is renamed. A host that does
    // not show it can leave this as it is.
    virtual void workingName(const QString& name) { (void)name; }
    // Whether the host hears of each name (below); a run keeps them for it only then.
    virtual bool hearsEachName() const { return false; }
    // ... and, of a Rename All run, also of the names that already were what the style
    // makes of them (renamed() with the same old and new name).
    virtual bool hearsUnchangedNames() const { return false; }
    // After each rename that changed a name, in the order of the walk: the entry `oldName`
    // of the folder `folder` (its path as it stands now) is called `newName`. The names are
    // the bytes the folder holds them by (DecodeName makes them text).
    virtual void renamed(const QString& folder, QByteArrayView oldName, QByteArrayView newName, EntryKind kind)
    {
        (void)folder, (void)oldName, (void)newName, (void)kind;
    }
    // Each name the run did not change, in the same order as the outcome lists it;
    // `newName` is the name it was to have, empty when no rename was tried (a folder the
    // walk could not enter).
    virtual void notChanged(const NotChanged& item, QByteArrayView newName, EntryKind kind)
    {
        (void)item, (void)newName, (void)kind;
    }
    // Window events may run now (a repaint, a menu, a close request).
    virtual void letEventsThrough() = 0;
    // The cancel link was clicked: the search ends where it is and no further folder is
    // started; what was begun ends normally.
    virtual bool cancelRequested() = 0;
    // The host is ending (the window closes, the process was told to end): the run ends
    // after the rename in hand, nothing half done; a search ends at its next folder.
    virtual bool stopRequested() = 0;
    // The run's journal could not be written: the run goes on, but cannot be undone. Told
    // once a run.
    virtual void journalFailed(const QString& reason) { (void)reason; }
    // Asked once, before the first rename, when the run would rename in or rename a folder
    // that belongs to the system or is a user's home (`folder` is the first such one);
    // false ends the run with nothing renamed.
    virtual bool confirmSystemFolder(const QString& folder, FolderRole role) = 0;
};

// What a run in `folder` (the folder `id`) asks about first: renaming in it when it is, or
// lies in, a system folder; with `itself`, renaming its own name too when it lies right in
// a system folder (the folder `parent`, or by its path) or is a user's home. Ordinary when
// there is nothing to ask.
FolderRole StartFolderRole(const SystemFolders& known, const QString& folder, const FileId& id, bool itself,
                           const FileId& parent);

} // namespace orvel
