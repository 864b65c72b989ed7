// The Rename Selected run: the files selected in the file list, and the open folder too if
// asked.
#include "engine/RenameSelected.h"

#include "engine/RenameStep.h"
#include "engine/RunObserver.h"
#include "engine/WorkerPool.h"
#include "platform/FileSystem.h"
#include "platform/NameCodec.h"

namespace orvel {

namespace {

// Tells an observer that hears of each name what became of the one in hand: `done`, or
// the last item of `notChanged`.
void tell(RunObserver& observer, bool done, const QString& folder, QByteArrayView name, QByteArrayView newName,
          EntryKind kind, const QList<NotChanged>& notChanged)
{
    if (!observer.hearsEachName())
        return;
    if (!done)
        observer.notChanged(notChanged.constLast(), newName, kind);
    else if (name != newName || observer.hearsUnchangedNames())
        observer.renamed(folder, name, newName, kind);
}

} // namespace

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
    QString folder = job.folder;
    QString folderToRename = job.folderToRename;
    const qsizetype count = qMin(job.names.size(), job.selected.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (!job.selected[i])
            continue;
        out.anySelected = true;
        out.workingName = ConvertFileName(job.names[i], job.options.caseRules());
        if (job.options.renameFolder) {
            const qsizetype failures = out.notChanged.size();
            const auto renamed =
                RenameLastComponent(folderToRename, job.options.caseRules(), fs, out.notChanged, syntax, journal);
            if (renamed || out.notChanged.size() > failures) {
                const qsizetype cut = folderToRename.lastIndexOf(syntax.separator) + 1;
                const QString name = folderToRename.mid(cut);
                tell(observer, renamed.has_value(), folderToRename.left(qMax<qsizetype>(cut - 1, syntax.rootLength)),
                     EncodeName(name), EncodeName(ConvertFolderName(name, job.options.caseRules())), EntryKind::Folder,
                     out.notChanged);
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
            journal->inFolder({});
        const QByteArray name = EncodeName(job.names[i]), newName = EncodeName(out.workingName);
        bool done = false;
        if (handle.isOpen())
            done = RenameFile(fs, out.notChanged, handle, folder, name, newName, syntax, journal, job.serials.value(i));
        else
            out.notChanged.append({JoinPath(folder, job.names[i], syntax), ErrorText(openError)});
        tell(observer, done, folder, name, newName, EntryKind::File, out.notChanged);
    }
    RunPace pace;
    out.undoable = session.end(false, pace, &out.journal);
    return out;
}

} // namespace orvel
