#include "engine/UndoRun.h"

#include "engine/JournalFormat.h"
#include "engine/JournalRecovery.h"
#include "engine/Paths.h"
#include "engine/RenameAll.h"
#include "engine/RunObserver.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/NameCodec.h"
#include "platform/TreeLock.h"

#include <QSet>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <thread>

#include <cerrno>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <queue>

namespace orvel {

namespace {

// Why a name was left, as the undo records it: an errno value, or one of these.
constexpr int LeftChanged = -1;
constexpr int LeftTaken = -2;

QString runFolderPath(const JournalReader::Folder& folder)
{
    if (folder.outside || folder.path.isEmpty())
        return DecodeName(folder.outside ? folder.path : folder.startFolder);
    return JoinPath(DecodeName(folder.startFolder), DecodeName(folder.path));
}

// Does `work` on a thread of its own while this one lets the events through: reading
// the journal of a million renames, and laying it out, take the better part of a
// second, which the window spends answering.
template <typename Work>
auto whileEventsGoThrough(RunObserver& observer, Work work)
{
    std::future<decltype(work())> done = std::async(std::launch::async, std::move(work));
    EventPacer pacer(observer);
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        pacer.tick();
    return done.get();
}

class Undo {
public:
    // Without `file` the undo records nothing: a plan.
    Undo(const JournalReader& journal, JournalFile* file, FileSystem& fs, RunObserver& observer, int workers)
        : m_journal(journal)
        , m_file(file)
        , m_fs(fs)
        , m_observer(observer)
        , m_pacer(observer)
        , m_workers(workers)
    {
        QHash<QString, QSet<QByteArray>> held; // by folder: the names of those it holds
        for (const JournalReader::Folder& folder : journal.folders()) {
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
        for (const QString& path : m_folderPaths)
            m_heldNames.push_back(held.value(path));
    }

    void go(UndoOutcome& out)
    {
        const auto& entries = m_journal.entries();
        for (size_t i = entries.size(); i-- > 0;)
            if (!entries[i].undone)
                m_order.push_back(qint64(i));
        m_results = std::make_unique<Result[]>(m_order.size());
        m_observer.progressMax(qint64(m_order.size()));
        m_observer.progressValue(0);
        if (m_workers > 1 && m_order.size() >= FewestForWorkers
            && whileEventsGoThrough(m_observer, [this] { return planWork(); }))
            together(out);
        else
            oneByOne(0, out);
        if (m_file && !out.stopped)
            RecordBuilder(m_records, RecordKind::WholeRunUndone).end();
        flushRecords();
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
    // What became of one entry of the journal.
    struct Result {
        std::atomic<bool> tried = false;
        int why = 0; // 0, or why it was left
        bool putBack = false;
    };

    static constexpr size_t FewestForWorkers = 512; // fewer names are not worth starting threads for

    // The paths the entry had and has, where it may be a folder that other entries lie
    // in (its folder holds one of the run's); empty otherwise.
    std::pair<QString, QString> folderMoves(qint64 index) const
    {
        const JournalReader::Entry& entry = m_journal.entries()[size_t(index)];
        const QSet<QByteArray>& held = m_heldNames[size_t(entry.folder)];
        if (entry.state == JournalReader::State::Failed || held.isEmpty())
            return {};
        if (const auto [from, to] = m_journal.nameBytes(entry); !held.contains(from) && !held.contains(to))
            return {};
        const JournalReader::Rename r = m_journal.rename(entry);
        const QString& folder = m_folderPaths[size_t(entry.folder)];
        return {JoinPath(folder, r.oldName), JoinPath(folder, r.newName)};
    }

    // The entries of the order from `k` on, newest first, on this thread (those not tried
    // yet).
    void oneByOne(size_t k, UndoOutcome& out)
    {
        for (; k < m_order.size(); ++k) {
            if (!m_results[k].tried) {
                if (m_observer.stopRequested()) {
                    out.stopped = true;
                    return;
                }
                attempt(k);
            }
            tell(k, out);
            m_pacer.tick();
        }
    }

    // A folder of the run, with what must be taken back in it and below it before the
    // rename of its own name can be.
    struct Node {
        int parent = -1;
        int pending = 0; // its entries not taken back yet, and its sub-folders not done
        bool done = false;
        std::vector<size_t> waiting; // the renames of its own name
        qint64 first = std::numeric_limits<qint64>::max(), last = -1; // its entries' and those below
    };

    // Lays out the order as work for several workers: every entry may go back at once
    // with any other, but the rename of a folder, which waits for everything in and
    // below it. That holds for journals whose folders were entered after their renames
    // (Rename All's); for any other false, and it goes one by one.
    bool planWork()
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
        for (size_t n = 0; n < files.size(); ++n)
            if (!files[n].empty())
                m_ready.push(std::move(files[n]));
        for (size_t n = 0; n < m_nodes.size(); ++n)
            if (m_nodes[n].pending == 0)
                finishNode(int(n));
        return true;
    }

    // With the scheduling lock held: the folder has nothing left in or below it.
    void finishNode(int n)
    {
        for (; n >= 0 && !m_nodes[size_t(n)].done; n = m_nodes[size_t(n)].parent) {
            Node& node = m_nodes[size_t(n)];
            node.done = true;
            for (const size_t k : node.waiting)
                m_ready.push({k});
            if (node.parent < 0 || --m_nodes[size_t(node.parent)].pending > 0)
                break;
        }
    }

    // The order, on workers, while this thread tells the observer what they did in order.
    // Renames in one folder wait for each other in the system, so a worker takes a
    // folder's names at a time.
    void together(UndoOutcome& out)
    {
        std::mutex lock;
        std::condition_variable wake, ended;
        size_t finished = 0;
        int running = m_workers, idle = 0;
        bool stuck = false;
        const auto work = [&] {
            std::unique_lock guard(lock);
            for (;;) {
                const auto over = [&] { return m_stop || stuck || finished == m_order.size(); };
                if (m_ready.empty() && !over() && ++idle == running) {
                    stuck = true; // never so for a plan that holds; then the rest go one by one
                    wake.notify_all();
                }
                wake.wait(guard, [&] { return over() || !m_ready.empty(); });
                if (over())
                    break;
                --idle;
                const std::vector<size_t> batch = m_ready.top();
                m_ready.pop();
                guard.unlock();
                size_t tried = 0;
                for (; tried < batch.size() && !m_stop.load(std::memory_order_relaxed); ++tried)
                    attempt(batch[tried]);
                guard.lock();
                for (size_t i = 0; i < tried; ++i) {
                    Node& node = m_nodes[size_t(m_nodeAt[batch[i]])];
                    if (--node.pending == 0)
                        finishNode(m_nodeAt[batch[i]]);
                }
                finished += tried;
                wake.notify_all();
            }
            if (--running == 0)
                ended.notify_all();
        };
        std::vector<std::thread> threads;
        threads.reserve(size_t(m_workers));
        for (int w = 0; w < m_workers; ++w)
            threads.emplace_back(work);
        size_t told = 0;
        for (bool last = false; !last;) {
            {
                std::unique_lock guard(lock);
                last = ended.wait_for(guard, std::chrono::milliseconds(EventPacer::IntervalMs / 2),
                                      [&] { return running == 0; });
            }
            // What is tried in an unbroken line from the last told is told.
            for (; told < m_order.size() && m_results[told].tried.load(std::memory_order_acquire); ++told)
                tell(told, out);
            flushRecords();
            m_pacer.tick();
            if (!m_stop && m_observer.stopRequested()) {
                const std::lock_guard guard(lock);
                m_stop = true;
                wake.notify_all();
            }
        }
        for (std::thread& thread : threads)
            thread.join();
        if (m_stop) { // what some worker had tried beyond a gap
            for (; told < m_order.size(); ++told)
                if (m_results[told].tried)
                    tell(told, out);
            out.stopped = true;
            return;
        }
        for (; told < m_order.size() && m_results[told].tried; ++told)
            tell(told, out);
        oneByOne(told, out);
    }

    // Takes the entry back, or finds why not; safe on any number of threads at once.
    void attempt(size_t k)
    {
        Result& result = m_results[k];
        const JournalReader::Entry& entry = m_journal.entries()[size_t(m_order[k])];
        if (entry.state != JournalReader::State::Failed) {
            const JournalReader::Rename r = m_journal.rename(entry);
            result.why = takeBack(entry, r, &result.putBack);
        }
        result.tried.store(true, std::memory_order_release);
    }

    // 0 when the name went back (`putBack`) or had nothing to take back, otherwise why it
    // was left.
    int takeBack(const JournalReader::Entry& entry, const JournalReader::Rename& r, bool* putBack)
    {
        const std::shared_ptr<OpenFolder> open = enter(entry.folder, r);
        if (!open)
            return LeftChanged;
        EntryIdentity now;
        const bool there = m_fs.identify(open->handle, r.newName, &now) == 0 && r.isEntry(now);
        // The very name the run gave it, not one that only matches it where letter case
        // is ignored.
        if (!there || !open->holds(r.newName)) {
            EntryIdentity before;
            // Never renamed (the run died first), or already put back.
            if (m_fs.identify(open->handle, r.oldName, &before) == 0 && r.isEntry(before) && open->holds(r.oldName))
                return 0;
            return LeftChanged;
        }
        const int error = m_fs.renameIn(open->handle, r.newName, r.oldName);
        if (error == EEXIST)
            return LeftTaken;
        if (error != 0)
            return error;
        open->moved(r.newName, r.oldName);
        *putBack = true;
        return 0;
    }

    // Tells the observer and the journal what became of the entry `k` of the order.
    void tell(size_t k, UndoOutcome& out)
    {
        Result& result = m_results[k];
        const qint64 index = m_order[k];
        const JournalReader::Entry& entry = m_journal.entries()[size_t(index)];
        const QString& folderPath = m_folderPaths[size_t(entry.folder)];
        if (m_file)
            RecordBuilder(m_records, RecordKind::Undone).number(index).number(result.why).end();
        // The names are read from the journal again, not kept from the attempt: a million
        // of them would take tens of megabytes.
        const JournalReader::Rename names =
            result.why != 0 || result.putBack ? m_journal.rename(entry) : JournalReader::Rename{};
        if (result.why != 0) {
            const QString reason = result.why == LeftChanged ? ChangedSinceText()
                : result.why == LeftTaken                    ? OldNameTakenText()
                                                             : ErrorText(result.why);
            out.notChanged.append({JoinPath(folderPath, names.newName), reason});
            m_observer.left(out.notChanged.back(), names.oldName);
            m_movesBefore.push_back(m_moves.size());
            ++out.left;
        } else if (result.putBack) {
            ++out.undone;
            m_observer.renamed(folderPath, names.newName, names.oldName);
            // Only a folder that holds folders of the run can have had one of them moved.
            const QString moved =
                m_heldNames[size_t(entry.folder)].isEmpty() ? QString() : JoinPath(folderPath, names.newName);
            if (!moved.isEmpty() && m_runFolders.contains(moved))
                m_moves.emplace_back(JoinPath(moved, {}), JoinPath(JoinPath(folderPath, names.oldName), {}));
        }
        m_observer.progressValue(++m_told);
        if (m_records.size() >= 1 << 16)
            flushRecords();
    }

    // The journal hears what was taken back in batches: an entry put back whose record
    // was lost to a crash is found at its old name by the next undo, and only recorded.
    void flushRecords()
    {
        if (m_file && !m_records.isEmpty())
            m_file->append(m_records);
        m_records.resize(0);
    }

    // An entry's folder, open, with the names it held when it was first entered, where
    // a name may be found under another case of its letters.
    struct OpenFolder {
        FolderHandle handle;
        std::once_flag opened;
        bool exact = false; // a name finds only itself: its names need not be read
        std::mutex lock;
        QSet<QString> names;

        bool holds(const QString& name)
        {
            if (exact)
                return true;
            const std::lock_guard guard(lock);
            return names.contains(name);
        }
        void moved(const QString& from, const QString& to)
        {
            if (exact)
                return;
            const std::lock_guard guard(lock);
            names.remove(from);
            names.insert(to);
        }
    };

    // Whether the folder tells names apart by the case of their letters: a name of the
    // run's is found there, and not with the case of its letters swapped. In doubt, no.
    bool distinguishesCase(const FolderHandle& folder, const JournalReader::Rename& r)
    {
        for (const QString* name : {&r.newName, &r.oldName}) {
            QString swapped = *name;
            for (QChar& c : swapped)
                if (c.unicode() < 0x80 && c.isLetter())
                    c = c.isUpper() ? c.toLower() : c.toUpper();
            EntryIdentity found;
            if (swapped != *name && m_fs.identify(folder, *name, &found) == 0)
                return m_fs.identify(folder, swapped, &found) == ENOENT;
        }
        return false;
    }
    static constexpr size_t KeptOpen = 32;

    // Opens the entry's folder (`r` is the entry's rename) and, where names may be found
    // under another case of their letters, reads the names it holds, unless that was
    // done; null when it cannot be. The renames of a run on several workers interleave
    // the folders of its journal, so the last few stay open, known by the path the
    // journal recorded them under.
    std::shared_ptr<OpenFolder> enter(qint32 folder, const JournalReader::Rename& r)
    {
        const QByteArray& key = m_folderKeys[size_t(folder)];
        std::shared_ptr<OpenFolder> open;
        {
            const std::lock_guard guard(m_openedLock);
            std::shared_ptr<OpenFolder>& known = m_opened[key];
            if (!known) {
                if (m_opened.size() > KeptOpen) { // a new start; those in use stay open while they are
                    m_opened.clear();
                    open = m_opened[key] = std::make_shared<OpenFolder>();
                } else {
                    open = known = std::make_shared<OpenFolder>();
                }
            } else {
                open = known;
            }
        }
        std::call_once(open->opened, [&] {
            open->handle = OpenRunFolder(m_fs, m_journal.folders()[size_t(folder)], nullptr);
            open->exact = open->handle.isOpen() && distinguishesCase(open->handle, r);
            if (open->handle.isOpen() && !open->exact
                && m_fs.listFolder(open->handle,
                                   [&](const QString& name, EntryType, quint64) { open->names.insert(name); })
                        .error
                    != 0)
                open->handle = FolderHandle();
        });
        return open->handle.isOpen() ? open : nullptr;
    }

    const JournalReader& m_journal;
    JournalFile* m_file;
    FileSystem& m_fs;
    RunObserver& m_observer;
    EventPacer m_pacer;
    const int m_workers;
    std::vector<QString> m_folderPaths; // each journal folder's path, as the run left it
    std::vector<QByteArray> m_folderKeys; // ... and as the journal recorded it
    QSet<QString> m_runFolders; // the folders the run renamed in, and those above them
    std::vector<QSet<QByteArray>> m_heldNames; // by journal folder: the names of those it holds
    std::vector<qint64> m_order; // the entries to take back, newest first
    std::vector<Node> m_nodes; // with several workers: the folders of the run
    std::vector<int> m_nodeAt; // ... each entry's, by place in the order
    // ... and what is ready to go back, a folder's names at a time, newest first
    struct NewestFirst {
        bool operator()(const std::vector<size_t>& a, const std::vector<size_t>& b) const { return a[0] > b[0]; }
    };
    std::priority_queue<std::vector<size_t>, std::vector<std::vector<size_t>>, NewestFirst> m_ready;
    std::unique_ptr<Result[]> m_results; // by place in the order
    qint64 m_told = 0;
    std::atomic<bool> m_stop = false;
    QByteArray m_records; // the journal records not yet handed to the system
    std::mutex m_openedLock;
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
    JournalFiles& store = *records.journals;
    // The run itself may be one that a crash cut: its journal has another name once closed.
    const QString name = job.plan ? job.journal : FinishInterruptedRuns(store, fs).value(job.journal, job.journal);
    std::unique_ptr<JournalFile> file = job.plan ? nullptr : store.reopen(name, nullptr);
    const std::optional<JournalReader> journal =
        whileEventsGoThrough(observer, [&] { return ReadJournal(store, name); });
    if ((!file && !job.plan) || !journal || (file && file->cutTo(journal->wholeLength()) != 0))
        return out;
    out.found = true;
    out.startFolder = journal->head().startFolder;
    if (journal->finalStartFolder() != out.startFolder)
        out.movedFrom = journal->finalStartFolder();
    std::unique_ptr<TreeLock> lock;
    const FolderHandle tree = fs.openFolder(journal->finalStartFolder());
    if (tree.isOpen() && !job.plan && records.locks) {
        lock = records.locks->lock(tree, &out.busyWith);
        if (!lock)
            return out;
    }
    const int workers = job.workers > 0 ? job.workers : tree.isOpen() ? WorkersFor(fs.volumeKind(tree)) : 1;
    observer.status(QStringLiteral("Undoing... Please wait."));
    Undo(*journal, file.get(), fs, observer, workers).go(out);
    return out;
}

} // namespace orvel
