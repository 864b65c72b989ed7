// What every run gives back: the names it did not change and why, and how it ended.
#pragma once

#include <QList>
#include <QString>

namespace orvel {

// A name a run did not change ("Changes Not Made"): the entry's full path, as it was to be
// renamed from, and why.
struct NotChanged {
    QString path;
    QString reason;
    bool operator==(const NotChanged&) const = default;
};

// What Rename All, Rename Selected and the undo all say of how they ended.
struct RunOutcome {
    QList<NotChanged> notChanged; // in the order the run met them
    bool stopped = false; // a stop request ended it between two renames
    // Another live run works on a tree that holds the run's folder or lies inside it: that
    // run's folder; nothing was renamed.
    QString busyWith;
    // A rename went through and its journal is whole: the run can be undone.
    bool undoable = false;
    // The name of the journal the run wrote (for an undo: the one it took back); empty when
    // there is none.
    QString journal = {};
};

// The reasons the runs give besides the system's own words.
inline QString ChangedSinceText()
{
    return QStringLiteral("changed since the rename");
}
inline QString OldNameTakenText()
{
    return QStringLiteral("old name taken");
}
// Why a folder of a walk was not entered: for one that is no longer a folder, is gone or
// has changed since it was listed, a plain statement, otherwise the system's words.
QString NotEnteredText(int error);
// Why the names in a folder were not changed when the folder itself could not be read.
QString NotListedText(int error);

} // namespace orvel
