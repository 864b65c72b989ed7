// The Rename Selected run: the files selected in the file list, and the open folder too if
// asked.
#pragma once

#include "engine/Paths.h"
#include "engine/RunOptions.h"
#include "engine/RunOutcome.h"
#include "engine/RunSession.h"
#include "platform/SystemFolders.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvel {

class FileSystem;
class RunObserver;

// What "Rename Selected" works on, as the window shows it when the command starts.
struct RenameSelectedJob {
    QString folder; // the folder the file list shows
    QStringList names; // the file list's entries, in list order
    QList<bool> selected; // one flag per entry
    QString folderToRename; // the folder that a folder rename applies to
    RunOptions options;
    RunRecords records; // none for a dry run
    SystemFolders systemFolders; // what is asked about before anything is renamed
    // The inode number of each entry as the caller just found it, for the journal, which
    // otherwise asks the system for it; none, or 0 for one, where not known.
    QList<quint64> serials = {};
};

struct RenameSelectedOutcome : RunOutcome {
    bool anySelected = false;
    bool declined = false; // the question about a system folder was answered No
    QString workingName; // new name of the last selected file converted
    std::optional<QString> renamedFolder; // the folder's path after its rename, when it was renamed
};

// Renames the selected files and, with renameFolder, the folder itself (once before each
// selected file, the later attempts finding nothing to change). The files are renamed
// through the folder held open from the start, so a rename of the folder itself cannot
// lose them. When that renames in or renames a system folder or a user's home, `observer`
// is asked first; it also hears of a journal that cannot be written. With records, the
// folder's tree is locked as Rename All locks its tree.
RenameSelectedOutcome RenameSelected(const RenameSelectedJob& job, FileSystem& fs, RunObserver& observer,
                                     const PathSyntax& syntax = PathSyntax::host());

} // namespace orvel
