#pragma once

#include "engine/CaseConversion.h"
#include "engine/modFileRename.h"
#include "platform/PathSyntax.h"

#include <QList>
#include <QString>
#include <optional>

namespace orvel {

class FileSystem;

// Renames the last component of `folderPath` to `style` (no bracket fix-up), the
// part before it passed on character for character. A path without any separator
// (a bare drive designator) and the style None rename nothing. A root ("C:\", "/")
// has an empty last component, so its rename is one onto itself.
//
// Returns the new path when an entry was actually renamed, so that a caller can
// carry the change over to paths it holds below the folder; std::nullopt when
// nothing changed or the rename failed (the failure is in `lstCantRename`, through
// RenameFile).
std::optional<QString> SplitPath(const QString& folderPath, CaseStyle style, FileSystem& fs,
                                 QList<NotChanged>& lstCantRename, const PathSyntax& syntax = PathSyntax::host());

} // namespace orvel
