#pragma once

#include "engine/RunOptions.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace orvel {

class FileSystem;

// What "Rename Selected" works on, as the window shows it when the command starts.
struct RenameSelectedJob {
    QString folder;        // the folder the file list shows
    QStringList names;     // the file list's entries, in list order
    QList<bool> selected;  // one flag per entry
    QString subDirectory;  // the folder that a folder rename applies to
    RunOptions options;
};

struct RenameSelectedOutcome {
    bool anySelected = false;
    QString workingName;                 // new name of the last selected file converted
    std::optional<QString> renamedFolder; // the folder's path after its rename, when it was renamed
};

// Renames the selected files and, with renameFolder, the folder itself (once before
// each selected file, the later attempts finding nothing to change). Refused renames
// are appended to `lstCantRename`. `eachSelected` runs once per selected file, after
// its renames. Once the folder has been renamed, the paths of the files that follow
// are built from its new name, so they stay valid where letter case matters.
RenameSelectedOutcome RenameSelected(const RenameSelectedJob& job, FileSystem& fs, QStringList& lstCantRename,
                                     const std::function<void(const QString& folder)>& eachSelected = {},
                                     const PathSyntax& syntax = PathSyntax::host());

} // namespace orvel
