// Finishing the journals of runs that died, and finding the newest run that can be undone.
#include "engine/JournalRecovery.h"

#include "engine/FolderTree.h"
#include "engine/JournalFormat.h"
#include "engine/RenameStep.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/NameCodec.h"

#include <QSet>
#include <QStringList>

#include <algorithm>

#include <cerrno>
#include <memory>
#include <new>

namespace orvel {

std::optional<JournalReader> ReadJournal(const JournalFiles& journals, const QString& name, QString* error)
{
    std::unique_ptr<JournalText> text = journals.openToRead(name, error);
    if (!text)
        return std::nullopt;
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why.arg(name);
        return std::nullopt;
    };
    try {
        JournalReader journal(std::move(text));
        if (!journal.isValid())
            return fail(QStringLiteral("%1 is no journal of this version"));
        return journal;
    } catch (const std::bad_alloc&) {
        // Tens of millions of renames, under a limit on the process's memory.
        return fail(QStringLiteral("%1 holds more renames than there is memory to read"));
    }
}

FolderHandle OpenRunFolder(const FileSystem& fs, const JournalReader::Folder& folder,
                           const std::function<bool()>& closeSome)
{
    if (folder.outside)
        return fs.openFolder(DecodeName(folder.path));
    FolderHandle handle = fs.openFolder(DecodeName(folder.startFolder));
    if (folder.path.isEmpty() || !handle.isOpen())
        return handle;
    for (const QByteArray& part : folder.path.split('/')) {
        FolderHandle next;
        if (EnterFolder(fs, handle, part, {}, &next, closeSome) != 0)
            return {};
        handle = std::move(next);
    }
    return handle;
}

std::vector<KeptRun> KeptRuns(const JournalFiles& journals)
{
    std::vector<KeptRun> runs;
    const QStringList names = journals.names();
    for (qsizetype i = names.size(); i-- > 0;) {
        const std::optional<JournalReader> journal = ReadJournal(journals, names[i]);
        if (!journal)
            continue;
        const QString id = RunIdOf(journal->head(), names[i]);
        // The journals of one run stand together, newest first; its first one gives its id.
        if (runs.empty() || runs.back().id != id) {
            runs.emplace_back();
            runs.back().id = id;
            runs.back().undone = true; // until one of its journals is not
        }
        KeptRun& run = runs.back();
        run.journals.append(names[i]);
        run.head = journal->head();
        run.startFolders.prepend(journal->head().startFolder);
        for (const JournalReader::Entry& e : journal->entries())
            run.renamed += e.state != JournalReader::State::Failed;
        run.undoable += journal->undoableCount();
        run.undone = run.undone && journal->isUndone();
        run.live = run.live || (IsOpenJournalName(names[i]) && journals.inUse(names[i]));
    }
    return runs;
}

namespace {

// The whole paths of a journal's entries as the disk's bytes: before the rename (`from`)
// or after it, of those that went through (or may have) and are not undone.
void addEntryPaths(const JournalReader& journal, bool from, QSet<QByteArray>& paths)
{
    if (journal.isUndone())
        return;
    for (const JournalReader::Entry& e : journal.entries()) {
        if (e.undone || e.state == JournalReader::State::Failed)
            continue;
        const JournalReader::Folder& folder = journal.folders()[size_t(e.folder)];
        const QByteArray path = folder.outside ? folder.path
            : folder.path.isEmpty()            ? folder.startFolder
                                               : folder.startFolder + '/' + folder.path;
        const auto [oldName, newName] = journal.nameBytes(e);
        paths.insert(path + '/' + (from ? oldName : newName));
    }
}

QSet<QByteArray> entryPaths(const KeptRun& run, bool from, const JournalFiles& journals)
{
    QSet<QByteArray> paths;
    for (const QString& name : run.journals)
        if (const std::optional<JournalReader> journal = ReadJournal(journals, name))
            addEntryPaths(*journal, from, paths);
    return paths;
}

} // namespace

QString LaterRunTouching(const std::vector<KeptRun>& runs, const KeptRun& run, const JournalFiles& journals)
{
    const QSet<QByteArray> made = entryPaths(run, false, journals);
    for (const KeptRun& later : runs) {
        if (later.id == run.id)
            break; // newest first: the rest came before it
        if (later.undoable == 0)
            continue;
        const QSet<QByteArray> renamed = entryPaths(later, true, journals);
        // A name the run made, or a folder above it, that the later run renamed.
        const auto touched = [&renamed](QByteArray path) {
            for (; !path.isEmpty(); path.truncate(path.lastIndexOf('/')))
                if (renamed.contains(path))
                    return true;
            return false;
        };
        if (std::any_of(made.cbegin(), made.cend(), touched))
            return later.id;
    }
    return {};
}

std::optional<UndoCandidate> NewestUndoableRun(const JournalFiles& journals)
{
    const QStringList names = journals.names();
    std::optional<UndoCandidate> found;
    QString id; // the run found, once it is
    for (qsizetype i = names.size(); i-- > 0;) {
        if (IsOpenJournalName(names[i]) && journals.inUse(names[i]))
            continue;
        if (found && RunIdOf(journals, names[i]) != id)
            break; // a run's journals stand together
        const std::optional<JournalReader> journal = ReadJournal(journals, names[i]);
        if (!journal)
            continue;
        const qint64 count = journal->undoableCount();
        if (!found && count > 0) {
            found = UndoCandidate{names[i], {}, {}, 0};
            id = RunIdOf(journal->head(), names[i]);
        }
        if (found && count > 0) {
            found->journals.append(names[i]);
            found->startFolder = journal->head().startFolder; // the first journal's, in the end
            found->renames += count;
        }
    }
    return found;
}

namespace {

// A case-only rename that a crash cut between its two steps: the entry under the hidden
// name `temporary` in the run's folder `where` goes on to `to` where that is free,
// otherwise back to `from`. Only the program makes its hidden names, and each at random:
// the name alone tells that the entry is the one, where a file system gives out other
// numbers after it is mounted again. nullopt when the hidden name is not there; otherwise
// 0 when it went on, or why not (EEXIST when it went back).
std::optional<int> finishCutStep(FileSystem& fs, const JournalReader::Folder& where, QByteArrayView temporary,
                                 QByteArrayView to, QByteArrayView from)
{
    const FolderHandle folder = OpenRunFolder(fs, where);
    EntryIdentity id;
    if (!folder.isOpen() || fs.identify(folder, temporary, &id) != 0)
        return std::nullopt;
    if (RenameStep(fs, folder, temporary, to) == 0)
        return 0;
    const int error = RenameStep(fs, folder, temporary, from);
    return error == 0 ? EEXIST : error;
}

// The records that close a run's journal: its renames cut between their two steps go on
// to their new names, and the journal says which did.
QByteArray finishCutRenames(const JournalReader& journal, FileSystem& fs)
{
    QByteArray records;
    for (const qint64 index : journal.renameStepsCut()) {
        const JournalReader::Entry& entry = journal.entries()[size_t(index)];
        const JournalReader::Rename r = journal.rename(entry);
        const std::optional<int> outcome = finishCutStep(fs, journal.folders()[size_t(entry.folder)],
                                                         journal.temporaryName(index), r.newName, r.oldName);
        if (outcome == 0)
            RecordBuilder(records, RecordKind::Completed, entry.writer).end();
        else if (outcome)
            RecordBuilder(records, RecordKind::Failed, entry.writer).number(*outcome).end();
    }
    RecordBuilder(records, RecordKind::Ended).bytes("crashed").end();
    return records;
}

// The records that close an undo that died: its renames back cut between their two steps
// go on to the old names, and are recorded as undone; the others stay what the run made
// of them, for a later undo.
QByteArray finishCutUndoSteps(const JournalReader& journal, FileSystem& fs)
{
    QByteArray records;
    for (const qint64 index : journal.undoStepsCut()) {
        const JournalReader::Entry& entry = journal.entries()[size_t(index)];
        const JournalReader::Rename r = journal.rename(entry);
        if (finishCutStep(fs, journal.folders()[size_t(entry.folder)], journal.undoTemporaryName(index), r.oldName,
                          r.newName)
            == 0)
            RecordBuilder(records, RecordKind::Undone).number(index).number(0).end();
    }
    return records;
}

} // namespace

QHash<QString, QString> FinishInterruptedRuns(JournalFiles& journals, FileSystem& fs)
{
    QHash<QString, QString> closed;
    for (const QString& name : journals.names()) {
        if (!IsOpenJournalName(name) || journals.inUse(name))
            continue;
        std::unique_ptr<JournalFile> file = journals.reopen(name, nullptr);
        const std::optional<JournalReader> journal = ReadJournal(journals, name);
        if (!file || !journal || file->cutTo(journal->wholeLength()) != 0)
            continue;
        // A journal that ended and is open again was being undone.
        const QByteArray records =
            journal->isEnded() ? finishCutUndoSteps(*journal, fs) : finishCutRenames(*journal, fs);
        if (file->append(records) == 0 && file->sync() == 0)
            closed.insert(name, journals.seal(name));
    }
    return closed;
}

} // namespace orvel
