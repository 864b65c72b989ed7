// Undoing a run: every name it changed put back, newest first, where it is still what the
// run made of it.
#include "engine/UndoRun.h"

#include "engine/JournalFormat.h"
#include "engine/Paths.h"
#include "engine/RenameStep.h"
#include "engine/RunObserver.h"
#include "engine/WorkerPool.h"
#include "platform/FileSystem.h"
#include "platform/FolderNames.h"
#include "platform/JournalFiles.h"
#include "platform/NameCodec.h"

#include <QSet>

#include <atomic>
#include <cerrno>
#include <limits>
#include <map>
#include <memory>
#include <mutex>

namespace orvel {

namespace {

QString runFolderPath(const JournalReader::Folder& folder)
{
    if (folder.outside || folder.path.isEmpty())
        return DecodeName(folder.outside ? folder.path : folder.startFolder);
    return JoinPath(DecodeName(folder.startFolder), DecodeName(folder.path));
}

// What an undo made of one entry of the journal.
enum class Verdict {
    NothingToUndo, // its rename failed, never happened, or was already undone
    PutBack,
    Changed, // left: not what the run made of it any more
    OldNameTaken, // left: something else has its old name
    Failed, // left: the system refused (`error`)
};
struct Decision {
    Verdict verdict = Verdict::NothingToUndo;
    int error = 0;
};

// The code of a decision in the journal's undo record: 0, or why the name was left.
int journalCode(const Decision& d)
{
    switch (d.verdict) {
    case Verdict::NothingToUndo:
    case Verdict::PutBack: return 0;
    case Verdict::Changed: return -1;
    case Verdict::OldNameTaken: return -2;
    case Verdict::Failed: return d.error;
    }
    return 0;
}

QString reasonOf(const Decision& d)
{
    switch (d.verdict) {
    case Verdict::Changed: return ChangedSinceText();
    case Verdict::OldNameTaken: return OldNameTakenText();
    case Verdict::Failed: return ErrorText(d.error);
    case Verdict::NothingToUndo:
    case Verdict::PutBack: break;
    }
    return {};
}

class Undo {
public:
    // Without `file` the undo records nothing: a plan.
    Undo(const JournalReader& journal, JournalFile* file, FileSystem& fs, RunObserver& observer, RunPace& pace,
         int workers)
        : m_journal(journal)
        , m_file(file)
        , m_fs(fs)
        , m_observer(observer)
        , m_pace(pace)
        , m_workers(workers)
    {
    }

    // What comes before the first rename back, which takes a while for a million entries:
    // run aside from the window's thread. The folders' paths, the order, and with several
    // workers the layout of the work.
    void prepare()
    {
        QHash<QString, QSet<QByteArray>> held; // by folder: the names of those it holds
        for (const JournalReader::Folder& folder : m_journal.folders()) {
            const QString path = runFolderPath(folder);
            m_folderPaths.push_back(path);
            m_folderKeys.push_back((folder.outside ? "/" : "") + folder.startFolder + '\0' + folder.path);
            // The folder and every folder above it: renaming one of those moves it.
            for (QString above = path; !above.isEmpty() && !m_runFolders.contains(above); above = ParentPath(above)) {
                m_runFolders.insert(above);
                const QString parent = ParentPath(above);
                if (parent != above)
                    held[parent].insert(EncodeName(QStringView(above).sliced(JoinPath(parent, {}).size()).toString()));
            }
        }
        for (const QString& path : m_folderPaths) {
            HeldNames& names = m_heldNames.emplace_back();
            names.names = held.value(path);
            for (const QByteArray& name : std::as_const(names.names))
                names.hints.insert(NameHint(name));
        }
        const auto& entries = m_journal.entries();
        m_order.reserve(size_t(std::count_if(entries.begin(), entries.end(), [](const auto& e) { return !e.undone; })));
        for (size_t i = entries.size(); i-- > 0;)
            if (!entries[i].undone)
                m_order.push_back(qint64(i));
        m_results = std::make_unique<Result[]>(m_order.size());
        m_together = m_workers > 1 && m_order.size() >= FewestForWorkers && planWork(m_ready);
    }

    void go(UndoOutcome& out)
    {
        m_observer.progressMax(qint64(m_order.size()));
        m_observer.progressValue(0);
        m_pool = WorkerPool::make(m_together ? m_workers : 1, m_observer, m_pace);
        if (m_together)
            post(std::move(m_ready));
        else
            m_pool->post(0, [this](int) { oneByOne(); });
        m_pool->run([&] { pass(out); });
        out.stopped = m_pool->stopped();
        if (!out.stopped && m_next < m_order.size()) {
            // Never so for a layout that holds: the rest go one by one.
            m_pool = WorkerPool::make(1, m_observer, m_pace);
            m_pool->post(0, [this](int) { oneByOne(); });
            m_pool->run([&] { pass(out); });
            out.stopped = m_pool->stopped();
        }
        tellTried(out, true); // what some worker had tried beyond a gap
        QByteArray end;
        if (!out.stopped)
            RecordBuilder(end, RecordKind::WholeRunUndone).end();
        write(end);
        if (m_file) // it may take a while on a slow disk
            WorkerPool::aside(m_observer, m_pace, [this] { m_file->sync(); });
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
    // What became of one entry, by its place in the order.
    struct Result {
        std::atomic<bool> tried = false;
        Decision decision;
    };

    static constexpr size_t FewestForWorkers = 512; // fewer names are not worth the workers

    struct OpenFolder;
    // The folder a worker's last entry was in: the next is most likely in it too.
    struct FolderInHand {
        qint32 folder = -1;
        std::shared_ptr<OpenFolder> open;
    };

    // On the calling thread, at the pool's pace: what is tried in an unbroken line is told.
    void pass(UndoOutcome& out) { tellTried(out, false); }

    // Tells the observer and the journal what became of the entries tried since the last
    // call, in the order; past an entry not tried only when `pastGaps`.
    void tellTried(UndoOutcome& out, bool pastGaps)
    {
        for (; m_next < m_order.size(); ++m_next) {
            if (m_results[m_next].tried.load(std::memory_order_acquire))
                tell(m_next, out);
            else if (!pastGaps)
                return;
        }
    }

    // The entries of the order not tried yet, newest first, by one worker.
    void oneByOne()
    {
        QByteArray records;
        FolderInHand inHand;
        qint32 folder = -1;
        for (size_t k = 0; k < m_order.size() && !m_pool->stopRequested(); ++k)
            if (!m_results[k].tried.load(std::memory_order_relaxed)) {
                // A folder goes back only once the journal holds what became of the names
                // in it, so that a crash cannot leave them recorded at a path that is gone.
                // Its rename is recorded in the folder above, after its names: the journal
                // hears each folder's records as the undo moves on to another.
                const qint32 next = m_journal.entries()[size_t(m_order[k])].folder;
                if (records.size() >= 1 << 16 || next != folder)
                    write(records);
                folder = next;
                attempt(k, records, inHand);
            }
        write(records);
    }

    // The paths the entry had and has, where it may be a folder that other entries lie in
    // (its folder holds one of the run's); empty otherwise.
    std::pair<QString, QString> folderMoves(qint64 index) const
    {
        const JournalReader::Entry& entry = m_journal.entries()[size_t(index)];
        const HeldNames& held = m_heldNames[size_t(entry.folder)];
        if (entry.state == JournalReader::State::Failed
            || (!held.hints.contains(entry.oldHint) && !held.hints.contains(entry.newHint)))
            return {};
        if (const auto [from, to] = m_journal.nameBytes(entry); !held.names.contains(from) && !held.names.contains(to))
            return {};
        const JournalReader::Rename r = m_journal.rename(entry);
        const QString& folder = m_folderPaths[size_t(entry.folder)];
        return {JoinPath(folder, DecodeName(r.oldName)), JoinPath(folder, DecodeName(r.newName))};
    }

    // A folder of the run, with what must be undone in it and below it before the rename of
    // its own name can be.
    struct Node {
        int parent = -1;
        int pending = 0; // its entries not undone yet, and its sub-folders not done
        bool done = false;
        std::vector<size_t> waiting; // the renames of its own name
        qint64 first = std::numeric_limits<qint64>::max(), last = -1; // its entries' and those below
    };

    // Lays out the order as work for several workers: every entry may go back at once with
    // any other, but the rename of a folder, which waits for everything in and below it;
    // what can start at once goes to `ready`, a folder's names at a time. That holds for
    // journals whose folders were entered after their renames (Rename All's); for any
    // other false, and it goes one by one.
    bool planWork(std::vector<std::vector<size_t>>& ready)
    {
        QHash<QString, int> nodeOf;
        for (const QString& path : std::as_const(m_runFolders)) {
            nodeOf.insert(path, int(m_nodes.size()));
            m_nodes.emplace_back();
        }
        for (auto it = nodeOf.cbegin(); it != nodeOf.cend(); ++it)
            if (const int parent = nodeOf.value(ParentPath(it.key()), -1); parent != *it)
                m_nodes[size_t(*it)].parent = parent;
        struct Rename {
            size_t k; // its place in the order
            int from, to; // the folders it renamed, as nodes; -1 where none is
        };
        std::vector<Rename> renames;
        std::vector<std::vector<size_t>> files(m_nodes.size());
        std::vector<int> nodeOfFolder;
        for (const QString& path : m_folderPaths)
            nodeOfFolder.push_back(nodeOf.value(path));
        m_nodeAt.resize(m_order.size());
        for (size_t k = 0; k < m_order.size(); ++k) {
            const qint64 index = m_order[k];
            const int node = nodeOfFolder[size_t(m_journal.entries()[size_t(index)].folder)];
            m_nodeAt[k] = node;
            ++m_nodes[size_t(node)].pending;
            for (int n = node; n >= 0 && index < m_nodes[size_t(n)].first; n = m_nodes[size_t(n)].parent)
                m_nodes[size_t(n)].first = index;
            for (int n = node; n >= 0 && index > m_nodes[size_t(n)].last; n = m_nodes[size_t(n)].parent)
                m_nodes[size_t(n)].last = index;
            const auto [from, to] = folderMoves(index);
            const int was = from.isEmpty() ? -1 : nodeOf.value(from, -1);
            const int is = to.isEmpty() ? -1 : nodeOf.value(to, -1);
            if (was >= 0 || is >= 0)
                renames.push_back({k, was, is});
            else
                files[size_t(node)].push_back(k);
        }
        for (const Rename& rename : renames) {
            // Its folder was entered only after it: nothing is recorded under its old
            // name, and all below its new one is newer.
            if (rename.from >= 0 || m_nodes[size_t(rename.to)].first < m_order[rename.k])
                return false;
            m_nodes[size_t(rename.to)].waiting.push_back(rename.k);
        }
        for (Node& node : m_nodes)
            if (node.parent >= 0)
                ++m_nodes[size_t(node.parent)].pending;
        for (std::vector<size_t>& batch : files)
            if (!batch.empty())
                ready.push_back(std::move(batch));
        const std::unique_lock held(m_scheduling);
        for (size_t n = 0; n < m_nodes.size(); ++n)
            if (m_nodes[n].pending == 0)
                finishNode(held, int(n), ready);
        return true;
    }

    // The folder `n` has nothing left in or below it: the renames of its own name are
    // ready, and so perhaps is the folder above it.
    void finishNode(const std::unique_lock<std::mutex>& held, int n, std::vector<std::vector<size_t>>& ready)
    {
        Q_ASSERT(held.owns_lock() && held.mutex() == &m_scheduling);
        for (; n >= 0 && !m_nodes[size_t(n)].done; n = m_nodes[size_t(n)].parent) {
            Node& node = m_nodes[size_t(n)];
            node.done = true;
            for (const size_t k : node.waiting)
                ready.push_back({k});
            if (node.parent < 0 || --m_nodes[size_t(node.parent)].pending > 0)
                break;
        }
    }

    // Queues each batch, the newest entries first. Renames in one folder wait for each
    // other in the system, so a worker takes a folder's names at a time.
    void post(std::vector<std::vector<size_t>> batches)
    {
        for (std::vector<size_t>& batch : batches) {
            const qint64 order = qint64(batch.front());
            m_pool->post(order, [this, batch = std::move(batch)](int) { undoBatch(batch); });
        }
    }

    void undoBatch(const std::vector<size_t>& batch)
    {
        QByteArray records;
        FolderInHand inHand;
        size_t tried = 0;
        for (; tried < batch.size() && !m_pool->stopRequested(); ++tried)
            attempt(batch[tried], records, inHand);
        write(records); // before the folder above may go back
        std::vector<std::vector<size_t>> ready;
        {
            const std::unique_lock held(m_scheduling);
            for (size_t i = 0; i < tried; ++i)
                if (--m_nodes[size_t(m_nodeAt[batch[i]])].pending == 0)
                    finishNode(held, m_nodeAt[batch[i]], ready);
        }
        post(std::move(ready));
    }

    // Decides on the entry `k` of the order, and adds the journal's record of it to
    // `records`; safe on any number of workers at once.
    void attempt(size_t k, QByteArray& records, FolderInHand& inHand)
    {
        Result& result = m_results[k];
        result.decision = decide(m_order[k], inHand);
        if (m_file)
            RecordBuilder(records, RecordKind::Undone).number(m_order[k]).number(journalCode(result.decision)).end();
        result.tried.store(true, std::memory_order_release);
    }

    // Hands a worker's records to the journal, and empties them. A record lost to a crash
    // costs little: the next undo finds that entry at its old name and only records it.
    void write(QByteArray& records)
    {
        if (m_file && !records.isEmpty())
            m_file->append(records);
        records.resize(0);
    }

    // The one place an undo decides on an entry: its name goes back only while it is still
    // exactly what the run made of it (the same entry, under the same name byte for byte)
    // and its old name is free.
    Decision decide(qint64 index, FolderInHand& inHand)
    {
        const JournalReader::Entry& entry = m_journal.entries()[size_t(index)];
        if (entry.state == JournalReader::State::Failed)
            return {};
        const JournalReader::Rename r = m_journal.rename(entry);
        if (inHand.folder != entry.folder || !inHand.open)
            inHand = {entry.folder, enter(entry.folder, r)};
        const std::shared_ptr<OpenFolder> open = inHand.open;
        if (!open)
            return {Verdict::Changed};
        if (!standsAs(*open, r, r.newName)) {
            // Never renamed (the run died first), or already put back.
            return standsAs(*open, r, r.oldName) ? Decision{} : Decision{Verdict::Changed};
        }
        // A crash between the two steps of a case-only rename leaves the entry under a
        // hidden name: the journal hears it first, so that the recovery can finish it.
        const int error = RenameStep(m_fs, open->handle, r.newName, r.oldName, [&](QByteArrayView temporary) {
            if (!m_file)
                return;
            QByteArray record;
            RecordBuilder(record, RecordKind::UndoTemporary).number(index).bytes(temporary).end();
            m_file->append(record);
        });
        if (error == EEXIST)
            return {Verdict::OldNameTaken};
        if (error != 0)
            return {Verdict::Failed, error};
        return {Verdict::PutBack};
    }

    // Tells the observer and the journal what became of the entry `k` of the order.
    void tell(size_t k, UndoOutcome& out)
    {
        const Decision& decision = m_results[k].decision;
        const qint64 index = m_order[k];
        const JournalReader::Entry& entry = m_journal.entries()[size_t(index)];
        const QString& folderPath = m_folderPaths[size_t(entry.folder)];
        // The names are read from the journal again, not kept from the attempt: a million of
        // them would take tens of megabytes.
        // Only a folder that holds folders of the run can have had one of them moved.
        const bool mayHoldMoved = !m_heldNames[size_t(entry.folder)].names.isEmpty();
        if (decision.verdict == Verdict::PutBack) {
            ++out.undone;
            if (m_eachName || mayHoldMoved) {
                const auto [oldName, newName] = m_journal.nameBytes(entry);
                if (m_eachName)
                    m_observer.renamed(folderPath, newName, oldName, EntryKind::Unknown);
                const QString moved = mayHoldMoved ? JoinPath(folderPath, DecodeName(newName)) : QString();
                if (!moved.isEmpty() && m_runFolders.contains(moved))
                    m_moves.emplace_back(JoinPath(moved, {}), JoinPath(JoinPath(folderPath, DecodeName(oldName)), {}));
            }
        } else if (decision.verdict != Verdict::NothingToUndo) {
            const auto [oldName, newName] = m_journal.nameBytes(entry);
            out.notChanged.append({JoinPath(folderPath, DecodeName(newName)), reasonOf(decision)});
            m_observer.notChanged(out.notChanged.back(), oldName, EntryKind::Unknown);
            m_movesBefore.push_back(m_moves.size());
            ++out.left;
        }
        m_observer.progressValue(++m_told);
    }

    // An entry's folder, open, and whether it tells names apart by the case of their
    // letters; opened once, whichever worker comes first.
    struct OpenFolder {
        std::once_flag opened;
        FolderHandle handle;
        bool caseApart = false; // a name finds only itself: its listing need not be read
        bool numbersIdentify = true; // an entry's numbers are still what the run recorded
    };

    // Where numbers do not last, the exact name the run gave it is all that tells.
    // Whether the entry the run renamed stands under `name` (its old or its new one), that
    // very name and not one that only matches it where letter case is ignored, as the
    // system answers now. Where numbers do not last, the exact name is all that tells.
    bool standsAs(const OpenFolder& open, const JournalReader::Rename& r, QByteArrayView name) const
    {
        EntryIdentity now;
        return m_fs.identify(open.handle, name, &now) == 0 && (!open.numbersIdentify || r.isEntry(now))
            && holds(open, name);
    }

    // Whether `name` stands byte for byte in the folder's own listing, where a name may be
    // found under another case of its letters.
    bool holds(const OpenFolder& open, QByteArrayView name) const
    {
        QByteArray listed;
        return open.caseApart || (m_fs.listedAs(open.handle, name, &listed) == 0 && listed == name);
    }

    static constexpr size_t KeptOpen = 32;

    // Opens the entry's folder (`r` is the entry's rename), unless that was done; null
    // when it cannot be. The renames of a run on several workers interleave the folders of
    // its journal, so the last few stay open, known by the path the journal recorded them
    // under.
    std::shared_ptr<OpenFolder> enter(qint32 folder, const JournalReader::Rename& r)
    {
        const QByteArray& key = m_folderKeys[size_t(folder)];
        std::shared_ptr<OpenFolder> open;
        {
            const std::lock_guard guard(m_openedLock);
            if (m_opened.size() >= KeptOpen && !m_opened.contains(key))
                m_opened.clear(); // a new start; those in use stay open while they are
            std::shared_ptr<OpenFolder>& known = m_opened[key];
            if (!known)
                known = std::make_shared<OpenFolder>();
            open = known;
        }
        std::call_once(open->opened, [&] {
            open->handle = OpenRunFolder(m_fs, m_journal.folders()[size_t(folder)], [this] { return closeSome(); });
            if (!open->handle.isOpen())
                return;
            std::optional<bool> apart = TellsCaseApart(m_fs, open->handle, r.newName);
            if (!apart)
                apart = TellsCaseApart(m_fs, open->handle, r.oldName);
            open->caseApart = apart.value_or(false); // in doubt, the listing is read
            open->numbersIdentify = NumbersIdentify(m_fs.volumeKind(open->handle));
        });
        return open->handle.isOpen() ? open : nullptr;
    }

    // Out of open files: half of the folders kept open are closed (those in use stay open
    // while they are).
    bool closeSome()
    {
        const std::lock_guard guard(m_openedLock);
        const size_t before = m_opened.size();
        for (auto it = m_opened.begin(); it != m_opened.end() && m_opened.size() > before / 2;)
            it = m_opened.erase(it);
        return m_opened.size() < before;
    }

    const JournalReader& m_journal;
    JournalFile* m_file;
    FileSystem& m_fs;
    RunObserver& m_observer;
    RunPace& m_pace;
    const int m_workers;
    const bool m_eachName = m_observer.hearsEachName(); // else nothing is decoded for it
    std::unique_ptr<WorkerPool> m_pool;
    std::vector<QString> m_folderPaths; // each journal folder's path, as the run left it
    std::vector<QByteArray> m_folderKeys; // ... and as the journal recorded it
    QSet<QString> m_runFolders; // the folders the run renamed in, and those above them
    // By journal folder: the names of the folders it holds, and their NameHints, which
    // pass over most entries without reading their names again.
    struct HeldNames {
        QSet<QByteArray> names;
        QSet<quint16> hints;
    };
    std::vector<HeldNames> m_heldNames;
    std::vector<qint64> m_order; // the entries to undo, newest first
    std::unique_ptr<Result[]> m_results; // by place in the order
    bool m_together = false; // the work is laid out for several workers
    std::vector<std::vector<size_t>> m_ready; // ... and this is what may start at once
    std::vector<int> m_nodeAt; // with several workers: each entry's folder, by place in the order
    std::mutex m_scheduling; // over m_nodes, which the workers update as they finish batches
    std::vector<Node> m_nodes; // with several workers: the folders of the run
    size_t m_next = 0; // the place in the order of the next entry to tell
    qint64 m_told = 0; // the entries told
    std::mutex m_openedLock; // over m_opened: each worker opens the folders of its entries
    std::map<QByteArray, std::shared_ptr<OpenFolder>> m_opened;
    std::vector<std::pair<QString, QString>> m_moves; // folders put back: "new/" -> "old/"
    std::vector<size_t> m_movesBefore; // per entry left: the folders put back before it
};

} // namespace

UndoOutcome UndoRun(const UndoJob& job, const RunRecords& records, FileSystem& fs, RunObserver& observer)
{
    UndoOutcome out;
    if (!records.journals)
        return out;
    // A plan reads; it finishes no run, locks nothing and writes nothing.
    RunSession session(job.plan ? RunRecords{} : records, fs, observer);
    // The run itself may be one that a crash cut: its journal has another name once closed.
    QString name = session.finishInterruptedRuns().value(job.journal, job.journal);
    JournalFile* const file = job.plan ? nullptr : session.reopenJournal(&name);
    if (!file && !job.plan)
        return out;
    // Reading the journal of a million renames takes the better part of a second, which
    // the window spends answering.
    RunPace pace; // the undo's one pace, from reading its journal to its last rename
    std::optional<JournalReader> journal;
    WorkerPool::aside(observer, pace, [&] { journal = ReadJournal(*records.journals, name); });
    if (!journal || (file && file->cutTo(journal->wholeLength()) != 0))
        return out;
    if (journal->leavesItsTree()) {
        observer.journalFailed(QStringLiteral("its journal %1 asks to rename outside the folder of its run").arg(name));
        return out;
    }
    out.found = true;
    out.journal = job.journal;
    out.startFolder = journal->head().startFolder;
    if (journal->finalStartFolder() != out.startFolder)
        out.movedFrom = journal->finalStartFolder();
    session.open(journal->finalStartFolder());
    if (!session.lock(&out.busyWith))
        return out;
    const FolderHandle& tree = session.folder();
    const int workers = job.workers > 0 ? job.workers : tree.isOpen() ? WorkersFor(fs.volumeKind(tree)) : 1;
    observer.status(QStringLiteral("Undoing... Please wait."));
    Undo undo(*journal, file, fs, observer, pace, workers);
    WorkerPool::aside(observer, pace, [&] { undo.prepare(); });
    undo.go(out);
    return out;
}

UndoOutcome UndoWholeRun(const QStringList& journals, const UndoJob& job, const RunRecords& records, FileSystem& fs,
                         RunObserver& observer)
{
    UndoOutcome whole;
    for (const QString& journal : journals) {
        UndoJob one = job;
        one.journal = journal;
        const UndoOutcome out = UndoRun(one, records, fs, observer);
        whole.found = out.found;
        whole.undone += out.undone;
        whole.left += out.left;
        whole.notChanged += out.notChanged;
        whole.stopped = out.stopped;
        whole.busyWith = out.busyWith;
        whole.journal = out.journal;
        whole.startFolder = out.startFolder;
        whole.movedFrom = out.movedFrom;
        if (!out.found || out.stopped || !out.busyWith.isEmpty())
            break;
    }
    return whole;
}

} // namespace orvel
