#include "engine/modFileRename.h"

#include "engine/RunOptions.h"
#include "platform/FileSystem.h"

namespace orvel {

bool RenameFile(FileSystem& fs, QList<NotChanged>& lstCantRename, const QString& oldPath, const QString& newPath)
{
    const int error = fs.rename(oldPath, newPath);
    if (error == 0)
        return true;
    lstCantRename.append({oldPath, ErrorText(error)});
    return false;
}

bool RenameFile(FileSystem& fs, QList<NotChanged>& lstCantRename, const FolderHandle& folder, const QString& folderPath,
                const QString& oldName, const QString& newName, const PathSyntax& syntax)
{
    const int error = fs.renameIn(folder, oldName, newName);
    if (error == 0)
        return true;
    lstCantRename.append({JoinPath(folderPath, oldName, syntax), ErrorText(error)});
    return false;
}

} // namespace orvel
