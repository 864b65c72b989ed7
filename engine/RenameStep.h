// The one way an entry is renamed: the journal told first, two steps where letter case is
// ignored, and the reason when the name is not changed.
#pragma once

#include "engine/CaseConversion.h"
#include "engine/Paths.h"
#include "engine/RunOutcome.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace orvel {

class FileSystem;
class FolderHandle;
class JournalWriter;

// Renames the entry `oldName` of the open folder `folder` to `newName`; never replaces
// another entry. With a journal writer, a rename that changes the name is recorded before
// it is tried, so is the hidden name a case-only rename passes through where case is
// ignored, and how it went. `serial`, when not 0, is the entry's inode as the folder's
// listing gave it: the journal takes it instead of asking the system once more. Returns 0
// or the errno value.
int RenameStep(FileSystem& fs, const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
               JournalWriter* journal = nullptr, quint64 serial = 0);

// The step for a journal of its own (an undo's): `beforeTemporary` hears the hidden name a
// case-only rename passes through before the first of its two steps.
int RenameStep(FileSystem& fs, const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
               const std::function<void(QByteArrayView temporary)>& beforeTemporary);

// The step as a run takes it: on failure, whatever the cause, the entry's full path
// (`folderPath` is the folder's path as it stands now) and the system's reason are added
// to `notChanged`, and it returns false; nothing is shown, the run goes on.
bool RenameFile(FileSystem& fs, QList<NotChanged>& notChanged, const FolderHandle& folder, const QString& folderPath,
                QByteArrayView oldName, QByteArrayView newName, const PathSyntax& syntax = PathSyntax::host(),
                JournalWriter* journal = nullptr, quint64 serial = 0);

// Renames `oldPath` to `newPath`, two paths in one folder, as RenameFile does.
bool RenameFile(FileSystem& fs, QList<NotChanged>& notChanged, const QString& oldPath, const QString& newPath);

// Renames the last component of `folderPath` by `rules` (no bracket fix-up), the part
// before it passed on character for character. A path without any separator (a bare drive
// designator) and the style None rename nothing. A root ("C:\", "/") has an empty last
// component, so its rename is one onto itself.
//
// Returns the new path when an entry was actually renamed, so that a caller can carry the
// change over to paths it holds below the folder; std::nullopt when nothing changed or the
// rename failed (the failure is in `notChanged`). With a journal writer, the rename is
// recorded in the folder that holds `folderPath`.
std::optional<QString> RenameLastComponent(const QString& folderPath, const CaseRules& rules, FileSystem& fs,
                                           QList<NotChanged>& notChanged, const PathSyntax& syntax = PathSyntax::host(),
                                           JournalWriter* journal = nullptr);

} // namespace orvel
