#include "engine/RenameSelected.h"

#include "engine/RenameFile.h"
#include "engine/RunObserver.h"
#include "platform/FileSystem.h"

namespace orvel {

RenameSelectedOutcome RenameSelected(const RenameSelectedJob& job, FileSystem& fs, RunObserver& observer,
                                     const PathSyntax& syntax)
{
    RenameSelectedOutcome out;
    int openError = 0;
    const FolderHandle handle = fs.openFolder(job.folder, &openError);
    if (job.selected.contains(true)) {
        const bool itself = job.options.renameFolder;
        const FileId parent = itself ? fs.openFolder(ParentPath(job.folder, syntax)).id() : FileId();
        const FolderRole role = StartFolderRole(job.systemFolders, job.folder, handle.id(), itself, parent);
        if (role != FolderRole::Ordinary && !observer.confirmSystemFolder(job.folder, role)) {
            out.declined = true;
            return out;
        }
    }
    QString folder = job.folder;
    QString subDirectory = job.subDirectory;
    const qsizetype count = qMin(job.names.size(), job.selected.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (!job.selected[i])
            continue;
        out.anySelected = true;
        out.workingName = ConvertFileName(job.names[i], job.options.style);
        if (job.options.renameFolder) {
            if (const auto renamed = RenameLastComponent(subDirectory, job.options.style, fs, out.notChanged, syntax)) {
                if (folder == subDirectory)
                    folder = *renamed;
                subDirectory = *renamed;
                out.renamedFolder = *renamed;
            }
        }
        if (!job.options.renameFile)
            continue;
        if (handle.isOpen())
            RenameFile(fs, out.notChanged, handle, folder, job.names[i], out.workingName, syntax);
        else
            out.notChanged.append({JoinPath(folder, job.names[i], syntax), ErrorText(openError)});
    }
    return out;
}

} // namespace orvel
