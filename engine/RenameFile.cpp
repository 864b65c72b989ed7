#include "engine/RenameFile.h"

#include "platform/FileSystem.h"

namespace orvel {

bool RenameFile(FileSystem& fs, QList<NotChanged>& notChanged, const QString& oldPath, const QString& newPath)
{
    const int error = fs.rename(oldPath, newPath);
    if (error == 0)
        return true;
    notChanged.append({oldPath, ErrorText(error)});
    return false;
}

bool RenameFile(FileSystem& fs, QList<NotChanged>& notChanged, const FolderHandle& folder, const QString& folderPath,
                const QString& oldName, const QString& newName, const PathSyntax& syntax)
{
    const int error = fs.renameIn(folder, oldName, newName);
    if (error == 0)
        return true;
    notChanged.append({JoinPath(folderPath, oldName, syntax), ErrorText(error)});
    return false;
}

std::optional<QString> RenameLastComponent(const QString& folderPath, CaseStyle style, FileSystem& fs,
                                           QList<NotChanged>& notChanged, const PathSyntax& syntax)
{
    const qsizetype last = folderPath.lastIndexOf(syntax.separator);
    if (last < 0 || style == CaseStyle::None)
        return std::nullopt;
    const QString newPath = folderPath.left(last + 1) + ConvertFolderName(folderPath.mid(last + 1), style);
    if (!RenameFile(fs, notChanged, folderPath, newPath) || newPath == folderPath)
        return std::nullopt;
    return newPath;
}

} // namespace orvel
