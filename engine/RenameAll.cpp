#include "engine/RenameAll.h"

#include "engine/modFileRename.h"

namespace orvel {

QString RenameFilesIn(const QString& folder, const QStringList& names, const RunOptions& options, FileSystem& fs,
                      QStringList& lstCantRename, const std::function<void()>& counted, const PathSyntax& syntax)
{
    QString working;
    const bool rename = options.renameFile && folder.size() > syntax.designatorLength;
    for (const QString& name : names) {
        working = ConvertFileName(name, options.style);
        if (counted)
            counted();
        if (rename)
            RenameFile(fs, lstCantRename, JoinPath(folder, name, syntax), JoinPath(folder, working, syntax));
    }
    return working;
}

void CarryOverFolderRename(QStringList& folders, qsizetype index, const QString& newPath, const PathSyntax& syntax)
{
    const QString oldPath = folders.at(index);
    folders[index] = newPath;
    if (oldPath == newPath)
        return;
    const QString oldPrefix = oldPath.endsWith(syntax.separator) ? oldPath : oldPath + syntax.separator;
    const QString newPrefix = newPath.endsWith(syntax.separator) ? newPath : newPath + syntax.separator;
    for (qsizetype i = index + 1; i < folders.size() && folders[i].startsWith(oldPrefix); ++i)
        folders[i].replace(0, oldPrefix.size(), newPrefix);
}

} // namespace orvel
