#pragma once

#include <QString>
#include <QStringList>

namespace orvel {

class FileSystem;

// Renames one file or folder within its folder. Never replaces another entry. On
// failure, whatever the cause, appends `oldPath` exactly as given to
// `lstCantRename` and returns false; nothing is shown, the caller goes on.
bool RenameFile(FileSystem& fs, QStringList& lstCantRename, const QString& oldPath, const QString& newPath);

} // namespace orvel
