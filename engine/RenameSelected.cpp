#include "engine/RenameSelected.h"

#include "engine/SplitPath.h"
#include "engine/modFileRename.h"

namespace orvel {

RenameSelectedOutcome RenameSelected(const RenameSelectedJob& job, FileSystem& fs, QStringList& lstCantRename,
                                     const std::function<void(const QString& folder)>& eachSelected,
                                     const PathSyntax& syntax)
{
    RenameSelectedOutcome out;
    QString folder = job.folder;
    QString subDirectory = job.subDirectory;
    const qsizetype count = job.names.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (i >= job.selected.size() || !job.selected[i])
            continue;
        out.anySelected = true;
        out.workingName = ConvertFileName(job.names[i], job.options.style);
        if (job.options.renameFolder) {
            if (const auto renamed = SplitPath(subDirectory, job.options.style, fs, lstCantRename, syntax)) {
                if (folder == subDirectory)
                    folder = *renamed;
                subDirectory = *renamed;
                out.renamedFolder = *renamed;
            }
        }
        if (job.options.renameFile)
            RenameFile(fs, lstCantRename, JoinPath(folder, job.names[i], syntax),
                       JoinPath(folder, out.workingName, syntax));
        if (eachSelected)
            eachSelected(folder);
    }
    return out;
}

} // namespace orvel
