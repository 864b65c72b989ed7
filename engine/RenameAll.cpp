// The Rename All run: every file of a folder or a whole tree, and the folders too if asked.
#include "engine/RenameAll.h"

#include "engine/FolderTree.h"
#include "engine/RenameStep.h"
#include "engine/RunObserver.h"
#include "engine/WorkerPool.h"
#include "platform/FileSystem.h"
#include "platform/NameCodec.h"

#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace orvel {

namespace {

// How many names may wait to be told to an observer that hears of each one before the
// workers wait for the calling thread: a plan renames far faster than a host takes names
// in, and a million names waiting would hold hundreds of megabytes.
constexpr size_t UntoldLimit = 16384;
// How many of a folder's names a worker keeps to itself before it hands them over: the
// run's lock is taken once for them, not once a name.
constexpr size_t NamesPerHandOver = 256;

// A rename done or a name not changed, kept for an observer that hears of each name: the
// names as bytes, decoded only when they are told.
struct NameEvent {
    NameEvent(bool renamed, EntryKind kind, QString folder, QByteArrayView oldName, QByteArrayView newName,
              NotChanged item)
        : renamed(renamed)
        , kind(kind)
        , folder(std::move(folder))
        , oldSize(oldName.size())
        , names(oldName.size() + newName.size(), Qt::Uninitialized)
        , item(std::move(item))
    {
        std::copy(oldName.begin(), oldName.end(), names.begin());
        std::copy(newName.begin(), newName.end(), names.begin() + oldSize);
    }
    QByteArrayView oldName() const { return QByteArrayView(names).first(oldSize); }
    // The name it has now, or was to have.
    QByteArrayView newName() const { return QByteArrayView(names).sliced(oldSize); }

    bool renamed; // or left as it was, when it already was what the style makes of it
    EntryKind kind;
    QString folder; // renamed: the folder's path
    qsizetype oldSize;
    QByteArray names; // the old name and the new one after it: one block for the two
    NotChanged item; // not changed: what the outcome lists
};

// A folder of the tree as the run has come to know it. Its parent's task writes it before
// the folder's own task is queued, which reads it afterwards: the pool's queue orders the
// two.
struct FolderState {
    QByteArray name; // its name in its parent now: the new one when it was renamed
    QString path; // its whole path now
    QByteArray relative; // the same from the start folder down ("" for the start folder)
    // What became of its own name and of entering it: reported before its files.
    QList<NotChanged> itself;
    QList<NotChanged> files;
    QByteArray lastWorking; // the new name of its last file converted
    std::optional<NotChanged> unread; // entered, but its names could not be read
    HeldParents::Hold parent; // its parent, held open while it waits
    // Under the run's lock: its own name's events and its files', in the order they came;
    // whether a worker has begun it, and whether nothing more comes for it.
    std::vector<NameEvent> events;
    bool started = false; // a worker has taken its task
    bool complete = false;
};

class Run {
public:
    Run(const RenameAllJob& job, FileSystem& fs, RunObserver& observer)
        : m_job(job)
        , m_fs(fs)
        , m_observer(observer)
        , m_session(job.records, fs, observer)
    {
    }

    RenameAllOutcome go()
    {
        run();
        // The window's report leaves out a folder it could not read; a host that hears of
        // each name is told, as nothing in it was looked at.
        if (m_observer.hearsEachName())
            for (const NotChanged& item : std::as_const(m_out.notListed))
                m_observer.notChanged(item, {}, EntryKind::Folder);
        return m_out;
    }

private:
    void run()
    {
        QString start = NormalizePath(m_job.startFolder, m_syntax);
        if (start.size() <= m_syntax.designatorLength)
            start = m_job.startFolder.left(m_syntax.rootLength); // a root keeps its separator
        m_out.openFolder = start;
        // A run that died left its last rename half done: finished first, so that this run
        // finds every name where the journal says it is.
        m_session.finishInterruptedRuns();
        m_out.startError = m_session.open(start);
        if (!m_session.lock(&m_out.busyWith))
            return;
        const FolderHandle& top = m_session.folder();

        m_observer.status(QStringLiteral("Searching... Please wait."));
        const int treeWorkers = m_job.workers > 0 ? m_job.workers : WorkersFor(m_fs.volumeKind(top));
        m_tree = FindTree(top, m_job.includeSubfolders, m_job.crossMounts, m_fs, treeWorkers, m_observer, m_pace,
                          m_job.filter);
        if (top.isOpen())
            m_out.startError = m_tree.folders.front().listError;
        m_observer.status(QStringLiteral("Renaming... Please wait."));
        const qsizetype startFiles = m_tree.folders.front().fileCount;
        if (startFiles == 0)
            m_observer.status(QString());
        if (m_job.includeSubfolders ? m_tree.fileCount == 0 : startFiles == 0) {
            // Nothing at all is renamed, not even the folder; the paths are still those the
            // walk found.
            for (size_t i = 1; i < m_tree.folders.size(); ++i)
                if (const int error = m_tree.folders[i].listError)
                    m_out.notListed.append({m_tree.pathOf(i, start), NotListedText(error)});
            return;
        }

        // A cancelled search leaves the renaming to the start folder alone.
        size_t count = m_tree.cancelled ? 1 : m_tree.folders.size();
        int parentError = 0;
        const FolderHandle parent =
            renamesStartFolder(start) ? m_fs.openFolder(parentOf(start), &parentError) : FolderHandle();
        if (!confirmed(count, start, parent)) {
            m_observer.status(QString());
            return;
        }
        // The cancel link clicked as the search ended: the start folder alone.
        if (count > 1 && m_observer.cancelRequested())
            count = 1;
        // One folder has nothing to overlap.
        const int workers = count == 1 && m_job.workers <= 0 ? 1 : treeWorkers;
        m_session.openJournal({QStringLiteral("all"), start, m_job.options, m_job.includeSubfolders}, workers);
        m_out.renamed = true;
        m_out.found = m_tree.fileCount;
        m_observer.progressMax(m_tree.fileCount);
        m_observer.progressValue(0);
        renameTree(count, workers, top, start, parent, parentError);
        m_out.undoable = m_session.end(m_out.stopped, m_pace, &m_out.journal);
        if (!m_out.stopped)
            m_observer.status(QStringLiteral("Renamed done !!"));
    }

    // Asks before a run that would rename in or rename a system folder or a user's home:
    // the start folder (and its parent for its own name), then every folder below it.
    bool confirmed(size_t count, const QString& start, const FolderHandle& parent)
    {
        const SystemFolders& known = m_job.systemFolders;
        FolderRole role =
            StartFolderRole(known, start, m_tree.folders.front().id, renamesStartFolder(start), parent.id());
        QString path = start;
        for (size_t i = 1; role == FolderRole::Ordinary && i < count; ++i) {
            role = known.roleOf(m_tree.folders[i].id);
            path = m_tree.pathOf(i, start);
        }
        return m_session.confirm(path, role);
    }

    // Each folder is a task: its files in file-list order, then the names of its
    // sub-folders, each of which is a task of its own from then on. So every path is
    // renamed top down and every folder's renames keep their order, while the tasks of
    // different folders may run at once, one per worker.
    void renameTree(size_t count, int workers, const FolderHandle& top, const QString& start,
                    const FolderHandle& parent, int parentError)
    {
        m_count = count;
        m_top = &top;
        m_eachName = m_observer.hearsEachName();
        m_eachUnchanged = m_eachName && m_observer.hearsUnchangedNames();
        for (const NotChanged& item : std::as_const(m_tree.notEntered))
            if (m_eachName)
                m_observer.notChanged(item, {}, EntryKind::Folder);
        m_states.resize(count);
        findTwice(count);
        m_subtree.assign(count, 1);
        for (size_t i = count; i-- > 1;)
            m_subtree[size_t(m_tree.folders[i].parent)] += m_subtree[i];
        m_states[0].path = start;
        // A window closed during the search stops the run before its first rename.
        if (m_observer.stopRequested()) {
            m_out.stopped = true;
            report();
            return;
        }
        if (renamesStartFolder(start))
            m_states[0].path = renameStartFolder(start, parent, parentError);
        m_pool = WorkerPool::make(workers, m_observer, m_pace);
        m_pool->post(0, [this](int worker) { renameFolder(0, worker); });
        m_pool->run([this] { pass(); });
        m_out.stopped = m_pool->stopped();
        tellNames(true);
        report();
    }

    // The folders the tree holds more than once (a bind mount of one inside the tree, or a
    // volume whose numbers do not tell folders apart): never left, as the run comes back.
    void findTwice(size_t count)
    {
        std::vector<FileId> ids;
        ids.reserve(count);
        for (size_t i = 0; i < count; ++i)
            ids.push_back(m_tree.folders[i].id);
        std::sort(ids.begin(), ids.end(), [](const FileId& a, const FileId& b) {
            return std::pair(a.device, a.inode) < std::pair(b.device, b.inode);
        });
        for (size_t k = 1; k < ids.size(); ++k)
            if (ids[k] == ids[k - 1])
                m_twice.insert(ids[k]);
    }

    // On the calling thread, at the pool's pace: what the workers did so far.
    void pass()
    {
        tellNames(false);
        m_observer.progressValue(m_files.load(std::memory_order_relaxed));
        QByteArray working;
        {
            // Taken, not shared: a worker's next name never frees what this thread holds.
            const std::lock_guard guard(m_lock);
            working = std::exchange(m_working, QByteArray());
        }
        if (!working.isNull())
            m_observer.workingName(DecodeName(working));
        m_session.tellJournalFailure();
    }

    void renameFolder(size_t i, int worker)
    {
        FolderState& state = m_states[i];
        FolderTree::Folder& folder = m_tree.folders[i];
        std::shared_ptr<const FolderHandle> parent = m_held.take(std::exchange(state.parent, {}));
        {
            const std::lock_guard guard(m_lock);
            state.started = true;
        }
        // No further folder is started once the cancel link was clicked.
        if (i > 0 && m_pool->cancelRequested()) {
            complete(i, i + m_subtree[i]);
            return;
        }
        std::shared_ptr<const FolderHandle> own;
        if (i > 0) {
            FolderHandle opened;
            const int error = parent ? EnterFolder(m_fs, *parent, state.name, folder.id, &opened, m_held.closer())
                                     : openFromTop(i, &opened);
            parent.reset();
            if (error != 0) {
                notEntered(state, {state.path, NotEnteredText(error)});
                complete(i, i + m_subtree[i]);
                return;
            }
            own = std::make_shared<const FolderHandle>(std::move(opened));
            if (folder.listError != 0)
                state.unread = NotChanged{state.path, NotListedText(folder.listError)};
        }
        const FolderHandle& handle = own ? *own : *m_top;
        JournalWriter* journal = m_session.writer(worker);
        if (renameFiles(folder, handle, state, journal))
            renameSubfolderNames(i, handle, own, journal);
        if (!m_twice.contains(folder.id))
            m_fs.leftFolder(handle);
        complete(i, i + 1);
        if (i > 0)
            state.path.clear(), state.relative.clear(); // not needed any more: a large tree gives its memory back
    }

    // A folder whose parent is not held open: from the start folder down by the names the
    // run knows them by now, each the very folder that was listed.
    int openFromTop(size_t index, FolderHandle* opened) const
    {
        std::vector<FolderStep> steps;
        for (size_t i = index; i > 0; i = size_t(m_tree.folders[i].parent))
            steps.push_back({m_states[i].name, m_tree.folders[i].id});
        std::reverse(steps.begin(), steps.end());
        return EnterFromTop(m_fs, *m_top, steps, opened, m_held.closer());
    }

    // The names of the folder's sub-folders, each entered first so that one swapped for a
    // link or another folder since the search is neither renamed nor walked into; then each
    // is queued, with this folder held open for it (`own`; none for the start folder, which
    // stays open throughout) while not too many are.
    void renameSubfolderNames(size_t index, const FolderHandle& handle, const std::shared_ptr<const FolderHandle>& own,
                              JournalWriter* journal)
    {
        const FolderState& parent = m_states[index];
        std::vector<size_t> children;
        for (size_t c = index + 1; c < index + m_subtree[index]; c += m_subtree[c]) {
            if (m_pool->cancelRequested())
                break;
            const FolderTree::Folder& child = m_tree.folders[c];
            FolderState& state = m_states[c];
            state.name = child.name;
            state.path = JoinPath(parent.path, DecodeName(child.name), m_syntax);
            FolderHandle entered;
            if (const int error = EnterFolder(m_fs, handle, child.name, child.id, &entered, m_held.closer())) {
                notEntered(state, {state.path, NotEnteredText(error)});
                complete(c, c + m_subtree[c]);
                continue;
            }
            entered = FolderHandle();
            if (renamesFolders()) {
                const QByteArray newName = ConvertFolderName(QByteArrayView(child.name), m_job.options.caseRules());
                if (journal)
                    journal->inFolder(parent.relative);
                if (rename(state, state.itself, handle, parent.path, child.name, newName, EntryKind::Folder, journal)) {
                    state.name = newName;
                    state.path = JoinPath(parent.path, DecodeName(newName), m_syntax);
                }
            }
            state.relative = parent.relative.isEmpty() ? state.name : parent.relative + '/' + state.name;
            children.push_back(c);
        }
        const HeldParents::Hold held = own ? m_held.hold(own, qsizetype(children.size())) : HeldParents::Hold();
        for (const size_t c : children) {
            m_states[c].parent = held;
            m_pool->post(qint64(c), [this, c](int worker) { renameFolder(c, worker); });
        }
    }

    // False when a stop request ended the run.
    bool renameFiles(FolderTree::Folder& folder, const FolderHandle& handle, FolderState& state, JournalWriter* journal)
    {
        if (m_job.includeSubfolders)
            m_folders.fetch_add(1, std::memory_order_relaxed);
        if (journal)
            journal->inFolder(state.relative);
        std::vector<NameEvent> batch; // the folder's names not handed over yet
        if (m_eachName)
            batch.reserve(std::min(NamesPerHandOver, size_t(folder.fileCount)));
        const auto handOver = qScopeGuard([&] { handOverNames(state, batch); });
        for (const FolderTree::Folder::File& listed : folder.sortedFiles()) {
            QByteArray working = ConvertFileName(listed.name, m_job.options.caseRules());
            // The window shows the name in hand at its next pass: on workers of their own one
            // in many is plenty; one worker makes a pass right here.
            const qint64 files = m_files.load(std::memory_order_relaxed) + 1;
            if (m_pool->workers() == 1 || files % 64 == 0 || files == m_tree.fileCount) {
                // A copy of its own: a name's bytes are never shared between two threads.
                QByteArray copy(working.constData(), working.size());
                const std::lock_guard guard(m_lock);
                m_working = std::move(copy);
            }
            if (m_pool->stopRequested())
                return false; // after the rename in hand, before the next
            m_files.fetch_add(1, std::memory_order_relaxed);
            if (m_job.options.renameFile) {
                rename(state, state.files, handle, state.path, listed.name, working, EntryKind::File, journal,
                       listed.serial, &batch);
                if (batch.size() >= NamesPerHandOver)
                    handOverNames(state, batch);
            }
            state.lastWorking = std::move(working);
        }
        // Done with: a large tree gives its memory back as it goes.
        folder.files = QByteArray();
        folder.serials = std::vector<quint64>(); // `= {}` would keep its room
        return true;
    }

    // One rename, told to an observer that hears of each name; false when it failed. The
    // name goes to `batch` when there is one, a name of the folder's own task that it hands
    // over with the next ones; otherwise it is handed over at once.
    bool rename(FolderState& state, QList<NotChanged>& failures, const FolderHandle& folder, const QString& folderPath,
                QByteArrayView name, QByteArrayView newName, EntryKind kind, JournalWriter* journal, quint64 serial = 0,
                std::vector<NameEvent>* batch = nullptr)
    {
        const bool done = RenameFile(m_fs, failures, folder, folderPath, name, newName, m_syntax, journal, serial);
        if (!m_eachName || (done && newName == name && !m_eachUnchanged))
            return done;
        std::vector<NameEvent> one;
        std::vector<NameEvent>& events = batch ? *batch : one;
        if (!done)
            events.emplace_back(false, kind, QString(), name, newName, failures.constLast());
        else
            events.emplace_back(true, kind, folderPath, name, newName, NotChanged());
        if (!batch)
            handOverNames(state, one, false);
        return done;
    }

    // Hands the names a worker kept to the calling thread, which tells them in their turn.
    // Where `mayWait`, the worker is held while too many wait (the names of a folder's own
    // files; never those of its sub-folders, which belong to folders the observer is told
    // of later, so that a worker never waits for the very folder it works in).
    void handOverNames(FolderState& state, std::vector<NameEvent>& batch, bool mayWait = true)
    {
        if (batch.empty())
            return;
        {
            const std::unique_lock held(m_lock); // the calling thread may be telling them
            for (NameEvent& event : batch)
                keep(held, state, std::move(event));
        }
        batch.clear();
        if (m_pool && mayWait)
            awaitTelling(state);
    }

    void keep(const std::unique_lock<std::mutex>& held, FolderState& state, NameEvent&& event)
    {
        Q_ASSERT(held.owns_lock() && held.mutex() == &m_lock);
        state.events.push_back(std::move(event));
        m_untold += m_pool != nullptr;
    }

    // Holds the worker while too many names wait to be told. The folder the observer is
    // being told of waits only for its own names and those the calling thread has in
    // hand; a folder further on, whose names cannot be told before that one's, for all of
    // them. A pass is asked for at once when it would tell something, otherwise it comes
    // at the pool's pace.
    void awaitTelling(const FolderState& state)
    {
        while (!m_pool->stopRequested()) {
            bool soon = false;
            {
                const std::lock_guard guard(m_lock);
                const bool first = m_told < m_count && &m_states[m_told] == &state;
                if (m_telling + (first ? state.events.size() : m_untold) < UntoldLimit)
                    return;
                // A folder further on waits only while a worker renames in the one being
                // told: otherwise every worker could wait for names that no worker renames
                // (that folder queued behind them, or not even queued by its parent yet).
                if (!first && (m_told >= m_count || !m_states[m_told].started))
                    return;
                soon = first || m_telling > 0 || (m_told < m_count && m_states[m_told].complete);
            }
            m_pool->awaitPass(soon);
        }
    }

    void notEntered(FolderState& state, const NotChanged& item)
    {
        state.itself.append(item);
        if (m_eachName) {
            const std::unique_lock held(m_lock);
            keep(held, state, {false, EntryKind::Folder, {}, {}, {}, item});
        }
    }

    // Marks the folders from `first` to before `end` as having nothing more to come.
    void complete(size_t first, size_t end)
    {
        const std::lock_guard guard(m_lock);
        for (size_t i = first; i < end; ++i)
            m_states[i].complete = true;
    }

    // Tells the observer of each name, folder by folder in the order of the walk: the
    // folders that are complete, and what the first one that is not has told so far; on
    // the calling thread.
    void tellNames(bool all)
    {
        if (!m_eachName)
            return;
        if (m_tellingAt == m_tellingNow.size() || all) {
            const std::lock_guard guard(m_lock);
            const size_t before = m_tellingNow.size();
            for (; m_told < m_count; ++m_told) {
                std::vector<NameEvent>& kept = m_states[m_told].events;
                std::move(kept.begin(), kept.end(), std::back_inserter(m_tellingNow));
                if (!all && !m_states[m_told].complete) {
                    kept.clear(); // its room is used again by the names to come
                    break;
                }
                kept = std::vector<NameEvent>(); // its room too
            }
            m_untold -= m_tellingNow.size() - before;
        }
        // No longer than until the window's turn: the rest at the next pass.
        for (; m_tellingAt < m_tellingNow.size() && (all || m_pace.remainingMs() > 0); ++m_tellingAt)
            tell(m_tellingNow[m_tellingAt]);
        if (m_tellingAt == m_tellingNow.size())
            m_tellingNow.clear(), m_tellingAt = 0;
        const std::lock_guard guard(m_lock);
        m_telling = m_tellingNow.size() - m_tellingAt;
    }

    void tell(const NameEvent& e)
    {
        e.renamed ? m_observer.renamed(e.folder, e.oldName(), e.newName(), e.kind)
                  : m_observer.notChanged(e.item, e.newName(), e.kind);
    }

    // The outcome in the order of the walk, however the workers' tasks interleaved.
    void report()
    {
        m_out.files = m_files;
        m_out.folders = m_folders;
        m_out.notChanged = m_tree.notEntered + m_startFolderNotChanged;
        for (size_t i = 0; i < m_count; ++i) {
            FolderState& state = m_states[i];
            m_out.notChanged += state.itself;
            m_out.notChanged += state.files;
            if (!state.lastWorking.isNull())
                m_out.workingName = DecodeName(state.lastWorking);
            if (state.unread)
                m_out.notListed.append(*state.unread);
        }
    }

    bool renamesStartFolder(const QString& start) const
    {
        return renamesFolders() && start.size() > m_syntax.rootLength && start.contains(m_syntax.separator);
    }

    QString parentOf(const QString& start) const
    {
        return start.left(qMax<qsizetype>(start.lastIndexOf(m_syntax.separator), m_syntax.rootLength));
    }

    // The start folder's own name is renamed in its parent, the one step the run takes
    // outside the start folder. Returns its path as it stands afterwards.
    QString renameStartFolder(const QString& start, const FolderHandle& parent, int parentError)
    {
        const QString parentPath = parentOf(start);
        const QByteArray name = EncodeName(QStringView(start).sliced(start.lastIndexOf(m_syntax.separator) + 1));
        const QByteArray newName = ConvertFolderName(QByteArrayView(name), m_job.options.caseRules());
        FolderState state;
        const auto told = qScopeGuard([&] {
            for (const NameEvent& e : state.events)
                tell(e);
        });
        if (!parent.isOpen()) {
            m_startFolderNotChanged.append({start, ErrorText(parentError)});
            if (m_eachName)
                state.events.emplace_back(false, EntryKind::Folder, QString(), name, newName,
                                          m_startFolderNotChanged.constLast());
            return start;
        }
        JournalWriter* journal = m_session.writer(0);
        if (journal)
            journal->inOutsideFolder(parentPath);
        if (!rename(state, m_startFolderNotChanged, parent, parentPath, name, newName, EntryKind::Folder, journal))
            return start;
        m_out.openFolder = JoinPath(parentPath, DecodeName(newName), m_syntax);
        if (journal && newName != name)
            journal->startFolderMoved(m_out.openFolder);
        return m_out.openFolder;
    }

    bool renamesFolders() const { return m_job.options.renameFolder && m_job.options.style != CaseStyle::None; }

    const RenameAllJob& m_job;
    FileSystem& m_fs;
    RunObserver& m_observer;
    RunSession m_session;
    RunPace m_pace; // the window's events go through at it, from the search to the last rename
    const PathSyntax m_syntax = PathSyntax::host();
    RenameAllOutcome m_out;
    FolderTree m_tree;
    std::unique_ptr<WorkerPool> m_pool;
    size_t m_count = 0;
    const FolderHandle* m_top = nullptr;
    std::vector<FolderState> m_states;
    std::vector<size_t> m_subtree; // how many folders each folder's tree holds, itself included
    QList<NotChanged> m_startFolderNotChanged;
    bool m_eachName = false; // the observer hears of each name
    bool m_eachUnchanged = false; // ... also of those already in the style
    size_t m_told = 0; // the folders whose names the observer has heard of
    size_t m_untold = 0; // under the run's lock: the names the folders keep for the observer
    size_t m_telling = 0; // ... and those the calling thread is telling
    // On the calling thread: the names taken to be told, and how many of them are told.
    std::vector<NameEvent> m_tellingNow;
    size_t m_tellingAt = 0;
    QSet<FileId> m_twice; // the folders the tree holds more than once
    std::atomic<qint64> m_files = 0;
    std::atomic<qint64> m_folders = 0;

    // The parents held open for the folders that wait below them.
    HeldParents m_held;

    // Over what the workers hand to the calling thread and share among themselves: each
    // folder's events, whether it was begun and whether it is complete, and the working name.
    std::mutex m_lock;
    QByteArray m_working;
};

} // namespace

RenameAllOutcome RenameAll(const RenameAllJob& job, FileSystem& fs, RunObserver& observer)
{
    return Run(job, fs, observer).go();
}

} // namespace orvel
