#include "engine/UndoRun.h"

#include "engine/Paths.h"
#include "engine/RunJournal.h"
#include "engine/RunObserver.h"
#include "platform/FileSystem.h"
#include "platform/JournalStore.h"
#include "platform/NameCodec.h"

#include <QSet>

#include <cerrno>
#include <map>
#include <memory>

namespace orvel {

namespace {

// Why a name was left, as the undo records it: an errno value, or one of these.
constexpr int LeftChanged = -1;
constexpr int LeftTaken = -2;

std::optional<JournalContent> readJournal(const JournalStore& store, const QString& name)
{
    std::optional<QByteArray> text = store.read(name);
    if (!text)
        return std::nullopt;
    JournalContent content(std::move(*text));
    if (!content.isValid())
        return std::nullopt;
    return content;
}

// A folder of a run, opened as the run reached it: a folder outside the start folder by
// its path, any other from the start folder down, one name at a time and never
// through a link.
FolderHandle openRunFolder(const FileSystem& fs, const JournalContent::Folder& folder, int* error)
{
    if (folder.outside)
        return fs.openFolder(DecodeName(folder.path), error);
    FolderHandle handle = fs.openFolder(DecodeName(folder.startFolder), error);
    if (folder.path.isEmpty() || !handle.isOpen())
        return handle;
    for (const QByteArray& part : folder.path.split('/')) {
        handle = fs.openSubFolder(handle, DecodeName(part), error);
        if (!handle.isOpen())
            break;
    }
    return handle;
}

QString runFolderPath(const JournalContent::Folder& folder)
{
    if (folder.outside || folder.path.isEmpty())
        return DecodeName(folder.outside ? folder.path : folder.startFolder);
    return JoinPath(DecodeName(folder.startFolder), DecodeName(folder.path));
}

class Undo {
public:
    // Without `file` the undo records nothing: a plan.
    Undo(const JournalContent& journal, JournalFile* file, FileSystem& fs, RunObserver& observer)
        : m_journal(journal)
        , m_file(file)
        , m_fs(fs)
        , m_observer(observer)
        , m_pacer(observer)
    {
        for (const JournalContent::Folder& folder : journal.folders())
            m_folderPaths.insert(runFolderPath(folder));
    }

    void go(UndoOutcome& out)
    {
        const auto& entries = m_journal.entries();
        qint64 todo = 0;
        for (const auto& e : entries)
            todo += !e.undone;
        m_observer.progressMax(todo);
        m_observer.progressValue(0);
        qint64 done = 0;
        for (size_t i = entries.size(); i-- > 0;) {
            const JournalContent::Entry& entry = entries[i];
            if (entry.undone)
                continue;
            if (m_observer.stopRequested()) {
                out.stopped = true;
                break;
            }
            const int result = entry.state == JournalContent::State::Failed ? 0 : takeBack(entry, out);
            if (m_file)
                m_file->append(UndoneRecord(qint64(i), result));
            m_observer.progressValue(++done);
            m_pacer.tick();
        }
        if (m_file && !out.stopped)
            m_file->append(WholeRunUndoneRecord());
        if (m_file)
            m_file->sync();
        // What was left is reported where it stands now: under the old names of the
        // folders above it that were put back after it.
        for (qsizetype i = 0; i < out.notChanged.size(); ++i)
            for (size_t m = m_movesBefore[size_t(i)]; m < m_moves.size(); ++m) {
                QString& path = out.notChanged[i].path;
                const auto& [from, to] = m_moves[m];
                if (path.startsWith(from) && path.at(from.size() - 1) == u'/')
                    path = to + path.mid(from.size());
            }
    }

private:
    // 0 when the name went back or had nothing to take back, otherwise why it was left.
    int takeBack(const JournalContent::Entry& entry, UndoOutcome& out)
    {
        const JournalContent::Rename r = m_journal.rename(entry);
        const JournalContent::Folder& folder = m_journal.folders()[size_t(entry.folder)];
        const QString folderPath = runFolderPath(folder);
        const auto left = [&](int why) {
            const QString reason = why == LeftChanged ? ChangedSinceText()
                : why == LeftTaken                    ? OldNameTakenText()
                                                      : ErrorText(why);
            out.notChanged.append({JoinPath(folderPath, r.newName), reason});
            m_observer.left(out.notChanged.back(), r.oldName);
            m_movesBefore.push_back(m_moves.size());
            ++out.left;
            return why;
        };
        if (!enter(entry.folder))
            return left(LeftChanged);

        EntryIdentity now;
        const bool there = m_fs.identify(m_open->handle, r.newName, &now) == 0 && r.isEntry(now);
        // The very name the run gave it, not one that only matches it where letter case
        // is ignored.
        if (!there || !m_open->names.contains(r.newName)) {
            EntryIdentity before;
            // Never renamed (the run died first), or already put back.
            if (m_fs.identify(m_open->handle, r.oldName, &before) == 0 && r.isEntry(before)
                && m_open->names.contains(r.oldName))
                return 0;
            return left(LeftChanged);
        }
        const int error = m_fs.renameIn(m_open->handle, r.newName, r.oldName);
        if (error == EEXIST)
            return left(LeftTaken);
        if (error != 0)
            return left(error);
        m_open->names.remove(r.newName);
        m_open->names.insert(r.oldName);
        ++out.undone;
        m_observer.renamed(folderPath, r.newName, r.oldName);
        if (const QString moved = JoinPath(folderPath, r.newName); m_folderPaths.contains(moved))
            m_moves.emplace_back(JoinPath(moved, {}), JoinPath(JoinPath(folderPath, r.oldName), {}));
        return 0;
    }

    // Opens the entry's folder and reads the names it holds, unless that was done. The
    // renames of a run on several workers interleave the folders of its journal, so the
    // last few stay open, known by the path the journal recorded them under.
    bool enter(qint32 folder)
    {
        const JournalContent::Folder& f = m_journal.folders()[size_t(folder)];
        const QByteArray key = (f.outside ? "/" : "") + f.startFolder + '\0' + f.path;
        if (std::unique_ptr<OpenFolder>& known = m_opened[key]) {
            m_open = known.get();
            return m_open->handle.isOpen();
        }
        if (m_opened.size() > KeptOpen) { // a new start, this one's place kept
            std::unique_ptr<OpenFolder> place = std::move(m_opened[key]);
            m_opened.clear();
            m_opened[key] = std::move(place);
        }
        std::unique_ptr<OpenFolder>& made = m_opened[key];
        made = std::make_unique<OpenFolder>();
        m_open = made.get();
        m_open->handle = openRunFolder(m_fs, f, nullptr);
        if (!m_open->handle.isOpen())
            return false;
        const Listing listing = m_fs.listFolder(
            m_open->handle, [this](const QString& name, EntryType, quint64) { m_open->names.insert(name); });
        if (listing.error != 0)
            m_open->handle = FolderHandle();
        return m_open->handle.isOpen();
    }

    struct OpenFolder {
        FolderHandle handle;
        QSet<QString> names;
    };
    static constexpr size_t KeptOpen = 32;

    const JournalContent& m_journal;
    JournalFile* m_file;
    FileSystem& m_fs;
    RunObserver& m_observer;
    EventPacer m_pacer;
    std::map<QByteArray, std::unique_ptr<OpenFolder>> m_opened;
    OpenFolder* m_open = nullptr; // the entry's folder
    QSet<QString> m_folderPaths; // the folders the run renamed in, as it left them
    std::vector<std::pair<QString, QString>> m_moves; // folders put back: "new/" -> "old/"
    std::vector<size_t> m_movesBefore; // per entry left: the folders put back before it
};

} // namespace

std::optional<UndoCandidate> NewestUndoableRun(const JournalStore& store)
{
    const QStringList names = store.names();
    for (qsizetype i = names.size(); i-- > 0;) {
        if (IsOpenJournalName(names[i]) && store.inUse(names[i]))
            continue;
        const std::optional<JournalContent> journal = readJournal(store, names[i]);
        if (!journal)
            continue;
        if (const qint64 count = journal->undoableCount())
            return UndoCandidate{names[i], journal->head().startFolder, count};
    }
    return std::nullopt;
}

void FinishInterruptedRuns(JournalStore& store, FileSystem& fs)
{
    for (const QString& name : store.names()) {
        if (!IsOpenJournalName(name) || store.inUse(name))
            continue;
        std::unique_ptr<JournalFile> file = store.reopen(name, nullptr);
        const std::optional<JournalContent> journal = readJournal(store, name);
        if (!file || !journal || file->cutTo(journal->wholeLength()) != 0)
            continue;
        QByteArray records;
        // Only a lane's last rename can have been cut between its two steps.
        for (const JournalContent::Entry& entry : journal->entries()) {
            if (entry.temporary < 0 || entry.state != JournalContent::State::Unknown)
                continue;
            const JournalContent::Rename r = journal->rename(entry);
            const QString temporary = journal->temporaryName(entry);
            const FolderHandle folder = openRunFolder(fs, journal->folders()[size_t(entry.folder)], nullptr);
            const QByteArray lane = entry.lane == 0 ? QByteArray() : QByteArray::number(entry.lane);
            EntryIdentity id;
            if (folder.isOpen() && fs.identify(folder, temporary, &id) == 0 && r.isEntry(id)) {
                int error = fs.renameIn(folder, temporary, r.newName);
                if (error == 0) {
                    records += CompletedRecord(lane);
                } else {
                    error = fs.renameIn(folder, temporary, r.oldName);
                    records += FailedRecord(error == 0 ? EEXIST : error, lane);
                }
            }
        }
        records += RunEndedRecord(QStringLiteral("crashed"));
        if (file->append(records) == 0 && file->sync() == 0)
            store.seal(name);
    }
}

UndoOutcome UndoRun(const UndoJob& job, JournalStore& store, FileSystem& fs, RunObserver& observer)
{
    UndoOutcome out;
    if (!job.plan)
        FinishInterruptedRuns(store, fs);
    std::unique_ptr<JournalFile> file = job.plan ? nullptr : store.reopen(job.journal, nullptr);
    const std::optional<JournalContent> journal = readJournal(store, job.journal);
    if ((!file && !job.plan) || !journal || (file && file->cutTo(journal->wholeLength()) != 0))
        return out;
    out.found = true;
    out.startFolder = journal->head().startFolder;
    if (journal->finalStartFolder() != out.startFolder)
        out.movedFrom = journal->finalStartFolder();
    std::unique_ptr<TreeClaim> claim;
    if (const FolderHandle tree = fs.openFolder(journal->finalStartFolder()); tree.isOpen() && !job.plan) {
        claim = store.claimTree(tree, &out.busyWith);
        if (!claim)
            return out;
    }
    observer.status(QStringLiteral("Undoing... Please wait."));
    Undo(*journal, file.get(), fs, observer).go(out);
    return out;
}

} // namespace orvel
