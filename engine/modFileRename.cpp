#include "engine/modFileRename.h"

#include "platform/FileSystem.h"

namespace orvel {

bool RenameFile(FileSystem& fs, QStringList& lstCantRename, const QString& oldPath, const QString& newPath)
{
    if (fs.rename(oldPath, newPath))
        return true;
    lstCantRename.append(oldPath);
    return false;
}

} // namespace orvel
