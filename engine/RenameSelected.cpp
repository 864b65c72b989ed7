#include "engine/RenameSelected.h"

#include "engine/JournalRecovery.h"
#include "engine/JournalWriter.h"
#include "engine/RenameFile.h"
#include "engine/RunObserver.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/TreeLock.h"

#include <memory>

namespace orvel {

RenameSelectedOutcome RenameSelected(const RenameSelectedJob& job, FileSystem& fs, RunObserver& observer,
                                     const PathSyntax& syntax)
{
    RenameSelectedOutcome out;
    int openError = 0;
    const FolderHandle handle = fs.openFolder(job.folder, &openError);
    std::unique_ptr<TreeLock> lock;
    if (job.records.locks && handle.isOpen() && job.selected.contains(true)) {
        lock = job.records.locks->lock(handle, &out.busyWith);
        if (!lock)
            return out;
    }
    if (job.selected.contains(true)) {
        const bool itself = job.options.renameFolder;
        const FileId parent = itself ? fs.openFolder(ParentPath(job.folder, syntax)).id() : FileId();
        const FolderRole role = StartFolderRole(job.systemFolders, job.folder, handle.id(), itself, parent);
        if (role != FolderRole::Ordinary && !observer.confirmSystemFolder(job.folder, role)) {
            out.declined = true;
            return out;
        }
    }
    std::unique_ptr<RunJournal> run;
    std::unique_ptr<JournalWriter> journal;
    if (job.records.journals) {
        FinishInterruptedRuns(*job.records.journals, fs);
        run = std::make_unique<RunJournal>(*job.records.journals,
                                           JournalHead{QStringLiteral("selected"), job.folder, job.options, false},
                                           [&observer](const QString& reason) { observer.journalFailed(reason); });
        journal = std::make_unique<JournalWriter>(*run, 0);
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
            if (const auto renamed =
                    RenameLastComponent(subDirectory, job.options.style, fs, out.notChanged, syntax, journal.get())) {
                // The open folder, or a folder above it, has a new path now.
                if (folder == subDirectory || folder.startsWith(JoinPath(subDirectory, {}, syntax))) {
                    folder = *renamed + folder.mid(subDirectory.size());
                    if (journal)
                        journal->startFolderMoved(folder);
                }
                subDirectory = *renamed;
                out.renamedFolder = *renamed;
            }
        }
        if (!job.options.renameFile)
            continue;
        if (journal)
            journal->inFolder(QString());
        if (handle.isOpen())
            RenameFile(fs, out.notChanged, handle, folder, job.names[i], out.workingName, syntax, journal.get());
        else
            out.notChanged.append({JoinPath(folder, job.names[i], syntax), ErrorText(openError)});
    }
    if (run) {
        journal.reset();
        run->finish(false);
        out.undoable = run->holdsUndoableRename();
    }
    return out;
}

} // namespace orvel
