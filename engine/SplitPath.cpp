#include "engine/SplitPath.h"

#include "engine/modFileRename.h"

namespace orvel {

std::optional<QString> SplitPath(const QString& folderPath, CaseStyle style, FileSystem& fs,
                                 QList<NotChanged>& lstCantRename, const PathSyntax& syntax)
{
    const qsizetype last = folderPath.lastIndexOf(syntax.separator);
    if (last < 0 || style == CaseStyle::None)
        return std::nullopt;
    const QString newPath = folderPath.left(last + 1) + ConvertFolderName(folderPath.mid(last + 1), style);
    if (!RenameFile(fs, lstCantRename, folderPath, newPath) || newPath == folderPath)
        return std::nullopt;
    return newPath;
}

} // namespace orvel
