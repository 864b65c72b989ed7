// The Rename Selected run: the files selected in the file list, and the open folder too if
// asked.
#include "engine/RenameSelected.h"

#include "engine/CaseConversion.h"
#include "engine/RenameStep.h"
#include "engine/RunObserver.h"
#include "platform/FileSystem.h"

namespace orvel {

RenameSelectedOutcome RenameSelected(const RenameSelectedJob& job, FileSystem& fs, RunObserver& observer,
                                     const PathSyntax& syntax)
{
    RenameSelectedOutcome out;
    const bool any = job.selected.contains(true);
    RunSession session(any ? job.records : RunRecords{}, fs, observer);
    session.finishInterruptedRuns();
    const int openError = session.open(job.folder);
    const FolderHandle& handle = session.folder();
    if (!session.lock(&out.busyWith))
        return out;
    if (any) {
        const bool itself = job.options.renameFolder;
        const FileId parent = itself ? fs.openFolder(ParentPath(job.folder, syntax)).id() : FileId();
        if (!session.confirm(job.folder, StartFolderRole(job.systemFolders, job.folder, handle.id(), itself, parent))) {
            out.declined = true;
            return out;
        }
    }
    session.openJournal({QStringLiteral("selected"), job.folder, job.options, false}, 1);
    JournalWriter* journal = session.writer(0);
    const bool eachName = observer.hearsEachName();
    // A rename that went through, or the failure it added to the outcome after `failed`.
    const auto tell = [&observer](const RenameSelectedOutcome& out, qsizetype failed, const QString& in,
                                  const QString& oldName, const QString& newName, EntryKind kind) {
        if (out.notChanged.size() > failed)
            observer.notChanged(out.notChanged.constLast(), newName, kind);
        else
            observer.renamed(in, oldName, newName, kind);
    };
    QString folder = job.folder;
    QString folderToRename = job.folderToRename;
    const qsizetype count = qMin(job.names.size(), job.selected.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (!job.selected[i])
            continue;
        out.anySelected = true;
        out.workingName = ConvertFileName(job.names[i], job.options.style);
        if (job.options.renameFolder) {
            const qsizetype failed = out.notChanged.size();
            const auto renamed =
                RenameLastComponent(folderToRename, job.options.style, fs, out.notChanged, syntax, journal);
            if (eachName && (renamed || out.notChanged.size() > failed)) {
                const QString name = folderToRename.mid(folderToRename.lastIndexOf(syntax.separator) + 1);
                tell(out, failed, ParentPath(folderToRename, syntax), name, ConvertFolderName(name, job.options.style),
                     EntryKind::Folder);
            }
            if (renamed) {
                // The open folder, or a folder above it, has a new path now.
                if (folder == folderToRename || folder.startsWith(JoinPath(folderToRename, {}, syntax))) {
                    folder = *renamed + folder.mid(folderToRename.size());
                    if (journal)
                        journal->startFolderMoved(folder);
                }
                folderToRename = *renamed;
                out.renamedFolder = *renamed;
            }
        }
        if (!job.options.renameFile)
            continue;
        if (journal)
            journal->inFolder(QString());
        const qsizetype failed = out.notChanged.size();
        if (handle.isOpen())
            RenameFile(fs, out.notChanged, handle, folder, job.names[i], out.workingName, syntax, journal);
        else
            out.notChanged.append({JoinPath(folder, job.names[i], syntax), ErrorText(openError)});
        if (eachName && (out.notChanged.size() > failed || job.names[i] != out.workingName))
            tell(out, failed, folder, job.names[i], out.workingName, EntryKind::File);
    }
    out.undoable = session.end(false);
    return out;
}

} // namespace orvel
