// Finishing the journals of runs that died, and finding the newest run that can be undone.
#pragma once

#include "engine/JournalReader.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace orvel {

class FileSystem;
class JournalFiles;

// A journal of `journals`, read back; nullopt, with why in `error`, when it cannot be read
// (too large to be one of the program's among the reasons) or is of another version.
std::optional<JournalReader> ReadJournal(const JournalFiles& journals, const QString& name, QString* error = nullptr);

// A run that was kept, with its journals: one, or one for each path of a run from the
// command line over several.
struct KeptRun {
    QString id; // what a person or a script passes back to undo it
    QStringList journals; // newest first
    JournalHead head; // of its first journal
    QStringList startFolders; // of each journal, first first
    qint64 renamed = 0; // renames that went through (or may have: the last of a run that died)
    qint64 undoable = 0; // ... of them, those not undone yet
    bool undone = false; // an undo went through all of it
    bool live = false; // a live process still writes one of its journals (the run, or an undo)
};

// The kept runs, newest first; a journal that cannot be read is left out.
std::vector<KeptRun> KeptRuns(const JournalFiles& journals);

// The newest run kept after `run` whose renames not undone touched a name `run` made:
// renamed an entry it had renamed, or a folder above one (so that undoing `run` first would
// look for names where they no longer are). Its id; empty when there is none.
QString LaterRunTouching(const std::vector<KeptRun>& runs, const KeptRun& run, const JournalFiles& journals);

// The newest run that can still be undone.
struct UndoCandidate {
    QString journal; // its newest journal's name
    QStringList journals; // all of its journals with something left to undo, newest first
    QString startFolder; // the run's start folder as it stood when the run began
    qint64 renames = 0; // the renames that were done and are not undone yet
};

// The newest of the kept runs with something left to undo; nullopt when there is none. A
// run whose journal some live process is still writing is not offered.
std::optional<UndoCandidate> NewestUndoableRun(const JournalFiles& journals);

// Closes the journals of runs and undos that died (a crash, a kill, a power cut): a
// case-only rename cut between its two steps is finished, to its new name (for an undo,
// the old one) where that is free, otherwise back to where it came from, and the journal
// says which, so that an undo covers it. Never acts on a name found on disk alone, only on
// what a journal recorded. Returns the names the journals it closed had and have.
QHash<QString, QString> FinishInterruptedRuns(JournalFiles& journals, FileSystem& fs);

// A folder of a run, opened as the run reached it: a folder outside the start folder by its
// path, any other from the start folder down, one name at a time and never through a link.
// Out of open files, `closeSome` is asked as EnterFolder asks it.
FolderHandle OpenRunFolder(const FileSystem& fs, const JournalReader::Folder& folder,
                           const std::function<bool()>& closeSome = {});

} // namespace orvel
