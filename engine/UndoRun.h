// Undoing a run: every name it changed put back, newest first, where it is still what the
// run made of it.
#pragma once

#include "engine/JournalRecovery.h"
#include "engine/RunOutcome.h"
#include "engine/RunSession.h"

#include <QString>
#include <QStringList>

namespace orvel {

class FileSystem;
class RunObserver;

struct UndoJob {
    QString journal;
    // Plan only, on a file system that plans (a dry run): the journal is read but not
    // written to, no interrupted run is finished and no tree is locked.
    bool plan = false;
    // How many names are put back at once; 0: as many as pay off on the file system.
    int workers = 0;
};

struct UndoOutcome : RunOutcome {
    bool found = false; // the journal could be read
    qint64 undone = 0; // names put back
    qint64 left = 0; // names left as they are (each in notChanged)
    QString startFolder; // the run's start folder as it stood before the run
    QString movedFrom; // where the run had left the start folder, when the run renamed it
};

// Undoes a run, newest rename first. A name goes back only while it is still exactly what
// the run made of it (the same entry, under the same name, byte for byte) and its old name
// is free; otherwise it is left and reported ("changed since the rename", "old name taken",
// or the system's words). Every rename goes through folder handles, opened from the start
// folder without following links, and never replaces anything. A stopped undo can be
// finished by the next one. The run's tree, where the run left its start folder, is locked
// for the undo's length, and so is its journal against another undo.
UndoOutcome UndoRun(const UndoJob& job, const RunRecords& records, FileSystem& fs, RunObserver& observer);

// Undoes a whole run: each of its `journals` (newest first; `job.journal` is not read) as
// UndoRun undoes one, the outcome theirs added up, with the start folder of the first. It
// ends where one ends early: stopped, busy, or its journal unreadable.
UndoOutcome UndoWholeRun(const QStringList& journals, const UndoJob& job, const RunRecords& records, FileSystem& fs,
                         RunObserver& observer);

} // namespace orvel
