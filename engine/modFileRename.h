#pragma once

#include "platform/PathSyntax.h"

#include <QList>
#include <QString>

namespace orvel {

class FileSystem;
class FolderHandle;

// One item a run could not rename: its full old path, exactly as it was renamed from,
// and the system's reason.
struct NotChanged {
    QString path;
    QString reason;
    bool operator==(const NotChanged&) const = default;
};

// Renames one file or folder within its folder. Never replaces another entry. On
// failure, whatever the cause, appends the old path with the reason to
// `lstCantRename` and returns false; nothing is shown, the caller goes on.
bool RenameFile(FileSystem& fs, QList<NotChanged>& lstCantRename, const QString& oldPath, const QString& newPath);

// The same inside an open folder; `folderPath` is the folder's path as it stands now,
// for the report.
bool RenameFile(FileSystem& fs, QList<NotChanged>& lstCantRename, const FolderHandle& folder, const QString& folderPath,
                const QString& oldName, const QString& newName, const PathSyntax& syntax = PathSyntax::host());

} // namespace orvel
