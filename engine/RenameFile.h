#pragma once

#include "engine/CaseConversion.h"
#include "engine/Paths.h"

#include <QList>
#include <QString>
#include <optional>

namespace orvel {

class FileSystem;
class FolderHandle;
class JournalWriter;

// One item a run could not rename: its full old path, exactly as it was renamed from,
// and the system's reason.
struct NotChanged {
    QString path;
    QString reason;
    bool operator==(const NotChanged&) const = default;
};

// Renames one file or folder within its folder. Never replaces another entry. On
// failure, whatever the cause, appends the old path with the reason to `notChanged`
// and returns false; nothing is shown, the caller goes on.
bool RenameFile(FileSystem& fs, QList<NotChanged>& notChanged, const QString& oldPath, const QString& newPath);

// The same inside an open folder; `folderPath` is the folder's path as it stands now,
// for the report. With a journal, a rename that changes the name is recorded in it
// before it is tried. `serial`, when not 0, is the entry's inode as the folder's
// listing gave it: the journal takes it instead of asking the system once more.
bool RenameFile(FileSystem& fs, QList<NotChanged>& notChanged, const FolderHandle& folder, const QString& folderPath,
                const QString& oldName, const QString& newName, const PathSyntax& syntax = PathSyntax::host(),
                JournalWriter* journal = nullptr, quint64 serial = 0);

// Renames the last component of `folderPath` to `style` (no bracket fix-up), the
// part before it passed on character for character. A path without any separator
// (a bare drive designator) and the style None rename nothing. A root ("C:\", "/")
// has an empty last component, so its rename is one onto itself.
//
// Returns the new path when an entry was actually renamed, so that a caller can
// carry the change over to paths it holds below the folder; std::nullopt when
// nothing changed or the rename failed (the failure is in `notChanged`). With a
// journal, the rename is recorded in it, in the folder that holds `folderPath`.
std::optional<QString> RenameLastComponent(const QString& folderPath, CaseStyle style, FileSystem& fs,
                                           QList<NotChanged>& notChanged, const PathSyntax& syntax = PathSyntax::host(),
                                           JournalWriter* journal = nullptr);

} // namespace orvel
