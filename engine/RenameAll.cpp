#include "engine/RenameAll.h"

#include "engine/FolderTree.h"
#include "engine/JournalRecovery.h"
#include "engine/JournalWriter.h"
#include "engine/RunObserver.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/TreeLock.h"

#include <QScopeGuard>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace orvel {

namespace {

// How many parent folders the queue may hold open for the folders waiting below them;
// beyond it, a waiting folder is found again from the start folder down.
constexpr int HeldParentsLimit = 128;

// A folder of the tree as the run has come to know it. Its parent's task writes it
// before the folder is queued, its own task reads it afterwards: the queue's lock
// orders the two.
// A rename done or an entry left, kept for an observer that hears of each name.
struct NameEvent {
    bool renamed;
    QString folder; // renamed: the folder's path
    QString oldName;
    QString newName; // the name it has now, or was to have
    NotChanged item; // left: what the outcome lists
};

struct FolderState {
    QString name; // its name in its parent now: the new one when it was renamed
    QString path; // its whole path now
    QString relative; // the same from the start folder down ("" for the start folder)
    // What became of its own name and of entering it: reported before its files.
    QList<NotChanged> itself;
    QList<NotChanged> files;
    QString lastWorking; // the new name of its last file converted
    std::vector<NameEvent> events; // its own name's and its files', in the order they came
    bool complete = false; // nothing more comes for it (under the queue's lock)
};

// A folder ready to be worked on, with its parent held open unless too many are.
struct Ready {
    size_t index;
    std::shared_ptr<const FolderHandle> parent;
};

class Run {
public:
    Run(const RenameAllJob& job, FileSystem& fs, RunObserver& observer)
        : m_job(job)
        , m_fs(fs)
        , m_observer(observer)
        , m_pacer(observer)
    {
    }

    RenameAllOutcome go()
    {
        QString start = NormalizePath(m_job.startFolder, m_syntax);
        if (start.size() <= m_syntax.designatorLength)
            start = m_job.startFolder.left(m_syntax.rootLength); // a root keeps its separator
        m_out.openFolder = start;
        // A run that died left its last rename half done: finish it first, so that this
        // run finds every name where the journal says it is.
        if (m_job.records.journals)
            FinishInterruptedRuns(*m_job.records.journals, m_fs);
        const FolderHandle top = m_fs.openFolder(start, &m_out.startError);
        std::unique_ptr<TreeLock> lock;
        if (m_job.records.locks && top.isOpen()) {
            lock = m_job.records.locks->lock(top, &m_out.busyWith);
            if (!lock)
                return m_out;
        }
        if (m_job.records.journals)
            m_journal = std::make_unique<RunJournal>(
                *m_job.records.journals,
                JournalHead{QStringLiteral("all"), start, m_job.options, m_job.includeSubfolders},
                [this](const QString& reason) { journalFailed(reason); });

        m_observer.status(QStringLiteral("Searching... Please wait."));
        m_tree = FindTree(top, m_job.includeSubfolders, m_fs, m_observer, m_pacer);
        if (top.isOpen())
            m_out.startError = m_tree.startError;
        m_observer.status(QStringLiteral("Renaming... Please wait."));
        const qsizetype startFiles = m_tree.folders.front().fileCount;
        if (startFiles == 0)
            m_observer.status(QString());
        if (m_job.includeSubfolders ? m_tree.fileCount == 0 : startFiles == 0)
            return m_out; // nothing at all is renamed, not even the folder

        // A cancelled search leaves the renaming to the start folder alone.
        const size_t count = m_tree.cancelled ? 1 : m_tree.folders.size();
        int parentError = 0;
        const FolderHandle parent =
            renamesStartFolder(start) ? m_fs.openFolder(parentOf(start), &parentError) : FolderHandle();
        if (!confirmed(count, start, parent)) {
            m_observer.status(QString());
            return m_out;
        }
        m_out.renamed = true;
        m_out.found = m_tree.fileCount;
        m_observer.progressMax(m_tree.fileCount);
        m_observer.progressValue(0);
        renameTree(count, top, start, parent, parentError);
        if (m_journal) {
            m_writers.clear();
            m_journal->finish(m_out.stopped);
            m_out.undoable = m_journal->holdsUndoableRename();
        }
        if (!m_out.stopped)
            m_observer.status(QStringLiteral("Renamed done !!"));
        return m_out;
    }

private:
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
        return role == FolderRole::Ordinary || m_observer.confirmSystemFolder(path, role);
    }

    // Each folder is a task: its files in file-list order, then the names of its
    // sub-folders, each of which is a task of its own from then on. So every path is
    // renamed top down and every folder's renames keep their order, while the tasks of
    // different folders may run at once, one per worker.
    void renameTree(size_t count, const FolderHandle& top, const QString& start, const FolderHandle& parent,
                    int parentError)
    {
        // The cancel link clicked as the search ended: the start folder alone.
        if (count > 1 && m_observer.cancelRequested())
            count = 1;
        m_count = count;
        m_top = &top;
        m_eachName = m_observer.hearsEachName();
        for (const NotChanged& item : std::as_const(m_tree.skipped))
            if (m_eachName)
                m_observer.left(item, {});
        m_states.resize(count);
        m_subtree.assign(count, 1);
        for (size_t i = count; i-- > 1;)
            m_subtree[size_t(m_tree.folders[i].parent)] += m_subtree[i];
        m_states[0].path = start;
        // A window closed during the search stops the run before its first rename.
        if (m_observer.stopRequested()) {
            m_stop = true;
            report();
            return;
        }
        if (renamesStartFolder(start))
            m_states[0].path = renameStartFolder(start, parent, parentError);

        const int workers = workerCount(top);
        m_inline = workers == 1;
        m_ready.push_back({0, nullptr});
        if (m_inline) {
            work(writer(0));
        } else {
            std::vector<std::thread> threads;
            for (int w = 0; w < workers; ++w)
                threads.emplace_back([this, w, writer = this->writer(w)] { work(writer); });
            watch();
            for (std::thread& thread : threads)
                thread.join();
        }
        tellNames(true);
        report();
    }

    int workerCount(const FolderHandle& top) const
    {
        if (m_job.workers > 0)
            return m_job.workers;
        if (m_count == 1)
            return 1; // one folder: nothing to overlap
        return WorkersFor(m_fs.volumeKind(top));
    }

    // The window's thread, while workers rename: lets events through, shows progress,
    // and passes stop and cancel on.
    void watch()
    {
        std::unique_lock lock(m_lock);
        for (bool last = false; !last;) {
            m_progressed.wait_for(lock, std::chrono::milliseconds(EventPacer::IntervalMs / 2));
            last = m_finished; // one pass more after the end, for the counts as they end
            const QString working = m_working;
            const QString failure = std::exchange(m_journalFailure, QString());
            lock.unlock();
            tellNames(false);
            m_observer.progressValue(m_files.load(std::memory_order_relaxed));
            if (!working.isNull())
                m_observer.workingName(working);
            if (!failure.isNull())
                m_observer.journalFailed(failure);
            m_pacer.tick();
            const bool stop = m_observer.stopRequested();
            const bool cancel = !stop && m_observer.cancelRequested();
            lock.lock();
            if (stop)
                m_stop = true;
            if (cancel)
                m_cancel = true;
            if (stop || cancel)
                m_wake.notify_all();
        }
    }

    // A worker: takes ready folders, newest first (so the queue stays short and few
    // parents are held open), until none is left and none is being worked on.
    void work(JournalWriter* journal)
    {
        std::unique_lock lock(m_lock);
        for (;;) {
            if (m_inline && m_busy == 0 && !m_ready.empty() && m_ready.back().index > 0) {
                lock.unlock();
                cancelled(); // no further folder is started once the cancel link was clicked
                lock.lock();
            }
            m_wake.wait(lock, [this] { return m_stop || m_cancel || !m_ready.empty() || m_busy == 0; });
            if (m_stop || m_cancel || m_ready.empty()) {
                if (m_busy == 0) {
                    m_finished = true;
                    m_progressed.notify_all();
                }
                m_wake.notify_all();
                return;
            }
            Ready next = std::move(m_ready.back());
            m_ready.pop_back();
            m_heldParents -= next.parent != nullptr;
            ++m_busy;
            lock.unlock();
            renameFolder(std::move(next), journal);
            if (m_inline)
                tellNames(false);
            lock.lock();
            --m_busy;
            m_wake.notify_all();
        }
    }

    // Between two renames: on the window's thread (one worker) the events go through and
    // the stop request is asked for here; with workers, the watching thread does that.
    bool stopped()
    {
        if (m_inline) {
            m_pacer.tick();
            if (m_observer.stopRequested())
                m_stop = true;
        }
        return m_stop.load(std::memory_order_relaxed);
    }

    bool cancelled()
    {
        if (m_inline && m_observer.cancelRequested())
            m_cancel = true;
        return m_cancel.load(std::memory_order_relaxed);
    }

    void renameFolder(Ready ready, JournalWriter* journal)
    {
        const size_t i = ready.index;
        FolderState& state = m_states[i];
        FolderTree::Folder& folder = m_tree.folders[i];
        std::shared_ptr<const FolderHandle> own;
        if (i > 0) {
            int error = 0;
            FolderHandle opened;
            do {
                opened = ready.parent ? m_fs.openSubFolder(*ready.parent, state.name, &error) : openFromTop(i, &error);
            } while (!opened.isOpen() && IsOutOfOpenFiles(error) && makeRoom());
            ready.parent.reset();
            if (opened.isOpen() && opened.id() != folder.id)
                opened = FolderHandle(), error = FolderChanged;
            if (!opened.isOpen()) {
                leave(state, {state.path, NotEnteredText(error)});
                complete(i, i + m_subtree[i]);
                return;
            }
            own = std::make_shared<const FolderHandle>(std::move(opened));
        }
        const FolderHandle& handle = own ? *own : *m_top;
        if (renameFiles(folder, handle, state, journal))
            renameSubfolderNames(i, handle, own, journal);
        complete(i, i + 1);
        if (i > 0)
            state.path.clear(), state.relative.clear(); // not needed any more: a large tree gives its memory back
    }

    // Lets go of the parents held open for the folders that wait, for a folder that
    // could not be opened for want of an open file; false when none was held.
    bool makeRoom()
    {
        const std::lock_guard lock(m_lock);
        m_heldLimit = qMax(1, m_heldParents / 2);
        const bool held = m_heldParents > 0;
        for (Ready& ready : m_ready)
            ready.parent.reset();
        m_heldParents = 0;
        return held;
    }

    // A folder whose parent is not held open: from the start folder down by the names
    // the run knows them by now, each the very folder that was listed.
    FolderHandle openFromTop(size_t index, int* error) const
    {
        std::vector<size_t> chain;
        for (size_t i = index; i > 0; i = size_t(m_tree.folders[i].parent))
            chain.push_back(i);
        FolderHandle handle;
        const FolderHandle* at = m_top;
        for (size_t k = chain.size(); k-- > 0;) {
            handle = m_fs.openSubFolder(*at, m_states[chain[k]].name, error);
            if (!handle.isOpen())
                return {};
            if (k > 0 && handle.id() != m_tree.folders[chain[k]].id) {
                *error = FolderChanged;
                return {};
            }
            at = &handle;
        }
        return handle;
    }

    // The names of the folder's sub-folders, each entered first so that one swapped for
    // a link or another folder since the search is neither renamed nor walked into;
    // then each is queued, with this folder held open for it (`own`; none for the start
    // folder, which stays open throughout) while not too many are.
    void renameSubfolderNames(size_t index, const FolderHandle& handle, const std::shared_ptr<const FolderHandle>& own,
                              JournalWriter* journal)
    {
        const FolderState& parent = m_states[index];
        std::vector<size_t> children;
        for (size_t c = index + 1; c < index + m_subtree[index]; c += m_subtree[c]) {
            if (cancelled() || m_stop.load(std::memory_order_relaxed))
                break;
            const FolderTree::Folder& child = m_tree.folders[c];
            FolderState& state = m_states[c];
            state.name = child.name;
            state.path = JoinPath(parent.path, child.name, m_syntax);
            int error = 0;
            FolderHandle entered;
            do {
                entered = m_fs.openSubFolder(handle, child.name, &error);
            } while (!entered.isOpen() && IsOutOfOpenFiles(error) && makeRoom());
            if (entered.isOpen() && entered.id() != child.id)
                entered = FolderHandle(), error = FolderChanged;
            if (!entered.isOpen()) {
                leave(state, {state.path, NotEnteredText(error)});
                complete(c, c + m_subtree[c]);
                continue;
            }
            entered = FolderHandle();
            if (renamesFolders()) {
                const QString newName = ConvertFolderName(child.name, m_job.options.style);
                if (journal)
                    journal->inFolder(parent.relative);
                if (rename(state, state.itself, handle, parent.path, child.name, newName, journal)) {
                    state.name = newName;
                    state.path = JoinPath(parent.path, newName, m_syntax);
                }
            }
            state.relative = parent.relative.isEmpty() ? state.name : parent.relative + u'/' + state.name;
            children.push_back(c);
        }
        if (children.empty())
            return;
        const std::lock_guard lock(m_lock);
        // In reverse, so that the first sub-folder is taken first.
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            const bool hold = own && m_heldParents < m_heldLimit;
            m_heldParents += hold;
            m_ready.push_back({*it, hold ? own : nullptr});
        }
        m_wake.notify_all();
    }

    // False when a stop request ended the run.
    bool renameFiles(FolderTree::Folder& folder, const FolderHandle& handle, FolderState& state, JournalWriter* journal)
    {
        if (m_job.includeSubfolders)
            m_folders.fetch_add(1, std::memory_order_relaxed);
        if (journal)
            journal->inFolder(state.relative);
        for (const FolderTree::Folder::File& listed : folder.sortedFiles()) {
            const QString name = listed.name.toString();
            QString working = ConvertFileName(name, m_job.options.style);
            const qint64 files = m_files.fetch_add(1, std::memory_order_relaxed) + 1;
            if (m_inline) {
                m_observer.progressValue(files);
                m_observer.workingName(working);
            }
            if (m_job.options.renameFile)
                rename(state, state.files, handle, state.path, name, working, journal, listed.serial);
            state.lastWorking = std::move(working);
            // The window shows the name at its next pass, every 50 ms: one in many is plenty.
            if (!m_inline && (files % 64 == 0 || files == m_tree.fileCount)) {
                const std::lock_guard lock(m_lock);
                m_working = state.lastWorking;
            }
            if (stopped())
                return false;
        }
        // Done with: a large tree gives its memory back as it goes.
        folder.files = QString();
        folder.serials = {};
        return true;
    }

    // One rename, told to an observer that hears of each name; false when it failed.
    bool rename(FolderState& state, QList<NotChanged>& failures, const FolderHandle& folder, const QString& folderPath,
                const QString& name, const QString& newName, JournalWriter* journal, quint64 serial = 0)
    {
        const bool done = RenameFile(m_fs, failures, folder, folderPath, name, newName, m_syntax, journal, serial);
        if (m_eachName) {
            const std::lock_guard lock(m_lock); // the window's thread may be telling them
            if (!done)
                state.events.push_back({false, {}, name, newName, failures.constLast()});
            else if (newName != name)
                state.events.push_back({true, folderPath, name, newName, {}});
        }
        return done;
    }

    void leave(FolderState& state, const NotChanged& item)
    {
        state.itself.append(item);
        if (m_eachName) {
            const std::lock_guard lock(m_lock);
            state.events.push_back({false, {}, {}, {}, item});
        }
    }

    // Marks the folders from `first` to before `end` as having nothing more to come.
    void complete(size_t first, size_t end)
    {
        const std::lock_guard lock(m_lock);
        for (size_t i = first; i < end; ++i)
            m_states[i].complete = true;
    }

    // Tells the observer of each name, folder by folder in the order of the walk: the
    // folders that are complete, and what the first one that is not has told so far;
    // on the calling thread.
    void tellNames(bool all)
    {
        if (!m_eachName)
            return;
        std::vector<NameEvent> events;
        {
            const std::lock_guard lock(m_lock);
            for (; m_told < m_count; ++m_told, m_toldInFolder = 0) {
                std::vector<NameEvent>& kept = m_states[m_told].events;
                std::move(kept.begin() + qsizetype(m_toldInFolder), kept.end(), std::back_inserter(events));
                m_toldInFolder = kept.size();
                if (!all && !m_states[m_told].complete)
                    break;
                kept = {};
            }
        }
        for (const NameEvent& e : events)
            tell(e);
    }

    void tell(const NameEvent& e)
    {
        e.renamed ? m_observer.renamed(e.folder, e.oldName, e.newName) : m_observer.left(e.item, e.newName);
    }

    // The outcome in the order of the walk, however the workers' tasks interleaved.
    void report()
    {
        m_out.stopped = m_stop;
        m_out.files = m_files;
        m_out.folders = m_folders;
        m_out.notChanged = m_tree.skipped + m_startFolderNotChanged;
        for (size_t i = 0; i < m_count; ++i) {
            FolderState& state = m_states[i];
            m_out.notChanged += state.itself;
            m_out.notChanged += state.files;
            if (!state.lastWorking.isNull())
                m_out.workingName = state.lastWorking;
        }
    }

    void journalFailed(const QString& reason)
    {
        if (m_inline) {
            m_observer.journalFailed(reason);
            return;
        }
        // On a worker's thread, with the journal's lock held: the window hears of it at
        // its next pass.
        const std::lock_guard lock(m_lock);
        m_journalFailure = reason;
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
        const QString name = start.mid(start.lastIndexOf(m_syntax.separator) + 1);
        const QString newName = ConvertFolderName(name, m_job.options.style);
        FolderState state;
        const auto told = qScopeGuard([&] {
            for (const NameEvent& e : state.events)
                tell(e);
        });
        if (!parent.isOpen()) {
            m_startFolderNotChanged.append({start, ErrorText(parentError)});
            if (m_eachName)
                state.events.push_back({false, {}, name, newName, m_startFolderNotChanged.constLast()});
            return start;
        }
        JournalWriter* journal = writer(0);
        if (journal)
            journal->inOutsideFolder(parentPath);
        if (!rename(state, m_startFolderNotChanged, parent, parentPath, name, newName, journal))
            return start;
        m_out.openFolder = JoinPath(parentPath, newName, m_syntax);
        if (journal && newName != name)
            journal->startFolderMoved(m_out.openFolder);
        return m_out.openFolder;
    }

    bool renamesFolders() const { return m_job.options.renameFolder && m_job.options.style != CaseStyle::None; }

    const RenameAllJob& m_job;
    FileSystem& m_fs;
    RunObserver& m_observer;
    EventPacer m_pacer;
    const PathSyntax m_syntax = PathSyntax::host();
    RenameAllOutcome m_out;
    std::unique_ptr<RunJournal> m_journal;
    std::vector<std::unique_ptr<JournalWriter>> m_writers; // one a worker, made as needed

    JournalWriter* writer(int number)
    {
        if (!m_journal)
            return nullptr;
        while (int(m_writers.size()) <= number)
            m_writers.push_back(std::make_unique<JournalWriter>(*m_journal, int(m_writers.size())));
        return m_writers[size_t(number)].get();
    }
    FolderTree m_tree;
    size_t m_count = 0;
    const FolderHandle* m_top = nullptr;
    std::vector<FolderState> m_states;
    std::vector<size_t> m_subtree; // how many folders each folder's tree holds, itself included
    QList<NotChanged> m_startFolderNotChanged;
    bool m_inline = true; // the renames run on the calling thread
    bool m_eachName = false; // the observer hears of each name
    size_t m_told = 0; // the folders whose names the observer has heard of
    size_t m_toldInFolder = 0; // ... and of the next one, the names told so far

    std::mutex m_lock;
    std::condition_variable m_wake; // for the workers: a folder is ready, or the run ends
    std::condition_variable m_progressed; // for the watching thread: the run ended
    std::vector<Ready> m_ready;
    int m_busy = 0;
    int m_heldParents = 0;
    int m_heldLimit = HeldParentsLimit;
    bool m_finished = false;
    QString m_working;
    QString m_journalFailure;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_cancel = false;
    std::atomic<qint64> m_files = 0;
    std::atomic<qint64> m_folders = 0;
};

} // namespace

int WorkersFor(VolumeKind kind)
{
    switch (kind) {
    case VolumeKind::OneRenameAtATime: return 1;
    case VolumeKind::Remote: return 16; // each rename waits a round trip: keep many in flight
    case VolumeKind::Local: break;
    }
    return qMax(2, QThread::idealThreadCount());
}

RenameAllOutcome RenameAll(const RenameAllJob& job, FileSystem& fs, RunObserver& observer)
{
    return Run(job, fs, observer).go();
}

} // namespace orvel
