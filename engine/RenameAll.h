#pragma once

#include "engine/RunOptions.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace orvel {

class FileSystem;

// Converts each of `names` (the files of `folder`, as its file list shows them) and,
// with renameFile, renames it in place. `counted` runs once per file, after its name
// is converted and before its rename. A folder text no longer than the syntax's
// designator (the bare "C:", or "" for the POSIX root) renames nothing: its files are
// only counted. Returns the working name of the last file (empty when there is none).
QString RenameFilesIn(const QString& folder, const QStringList& names, const RunOptions& options, FileSystem& fs,
                      QStringList& lstCantRename, const std::function<void()>& counted,
                      const PathSyntax& syntax = PathSyntax::host());

// After folders[index] was renamed to `newPath`, the folders collected below it still
// carry its old name, which no longer resolves where letter case matters. The walk
// collects in pre-order, so they are exactly the entries that follow it and begin
// with its old path and a separator; they get the new name.
void CarryOverFolderRename(QStringList& folders, qsizetype index, const QString& newPath,
                           const PathSyntax& syntax = PathSyntax::host());

} // namespace orvel
