// Finishing the journals of runs that died, and finding the newest run that can be undone.
#pragma once

#include "engine/JournalReader.h"

#include <QHash>
#include <QString>
#include <functional>
#include <optional>

namespace orvel {

class FileSystem;
class JournalFiles;

// A journal of `journals`, read back; nullopt, with why in `error`, when it cannot be read
// (too large to be one of the program's among the reasons) or is of another version.
std::optional<JournalReader> ReadJournal(const JournalFiles& journals, const QString& name, QString* error = nullptr);

// The newest run that can still be undone.
struct UndoCandidate {
    QString journal; // its journal's name
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
