// A folder tree as one walk lists it, and the one way a walk enters a folder.
#include "engine/FolderTree.h"

#include "engine/CaseConversion.h"
#include "engine/Paths.h"
#include "engine/RunObserver.h"
#include "engine/RunOptions.h"
#include "engine/WorkerPool.h"
#include "platform/FileSystem.h"
#include "platform/FolderNames.h"
#include "platform/NameCodec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>

namespace orvel {

QList<FolderTree::Folder::File> FolderTree::Folder::sortedFiles() const
{
    QList<File> found;
    found.reserve(fileCount);
    size_t index = 0;
    for (qsizetype from = 0; from < files.size(); ++index) {
        const qsizetype end = files.indexOf('\0', from);
        found.append({QByteArrayView(files).sliced(from, end - from), index < serials.size() ? serials[index] : 0});
        from = end + 1;
    }
    std::sort(found.begin(), found.end(), [](const File& a, const File& b) { return ListsBefore(a.name, b.name); });
    return found;
}

QString FolderTree::pathOf(size_t index, const QString& start) const
{
    QList<QByteArrayView> names;
    for (size_t i = index; i > 0; i = size_t(folders[i].parent))
        names.prepend(folders[i].name);
    QString path = start;
    for (const QByteArrayView name : std::as_const(names))
        path = JoinPath(path, DecodeName(name));
    return path;
}

int EnterFolder(const FileSystem& fs, const FolderHandle& parent, QByteArrayView name, const FileId& expected,
                FolderHandle* entered, const std::function<bool()>& closeSome)
{
    int error = 0;
    do {
        *entered = fs.openSubFolder(parent, name, &error);
    } while (!entered->isOpen() && IsOutOfOpenFiles(error) && closeSome && closeSome());
    if (!entered->isOpen())
        return error;
    if (!expected.isNull() && entered->id() != expected) {
        *entered = FolderHandle();
        return FolderChanged;
    }
    return 0;
}

HeldParents::Hold HeldParents::hold(std::shared_ptr<const FolderHandle> folder, qsizetype waiting)
{
    if (waiting == 0)
        return {};
    const std::unique_lock guard(m_lock);
    if (m_held >= m_limit)
        return {};
    m_parents.push_back(std::make_shared<Parent>(Parent{std::move(folder), waiting}));
    ++m_held;
    return Hold(m_parents.back());
}

std::shared_ptr<const FolderHandle> HeldParents::take(const Hold& hold)
{
    if (!hold.m_parent)
        return nullptr;
    const std::unique_lock guard(m_lock);
    Parent& parent = *hold.m_parent;
    std::shared_ptr<const FolderHandle> folder = parent.folder;
    if (--parent.waiting == 0 && parent.folder) {
        parent.folder.reset();
        --m_held;
        forgetDone(guard);
    }
    return folder;
}

bool HeldParents::closeSome()
{
    const std::unique_lock guard(m_lock);
    const int before = m_held;
    const int keep = m_held / 2;
    for (const std::shared_ptr<Parent>& parent : m_parents) {
        if (m_held <= keep)
            break;
        if (parent->folder) {
            parent->folder.reset(); // open until a worker that took it is done with it
            --m_held;
        }
    }
    forgetDone(guard);
    m_limit = qMax(1, keep);
    return m_held < before;
}

// Drops the folders let go of from the list; those in its middle wait for their turn at
// an end, which comes soon as the walk takes the newest first.
void HeldParents::forgetDone(const std::unique_lock<std::mutex>& held)
{
    Q_ASSERT(held.owns_lock() && held.mutex() == &m_lock);
    while (!m_parents.empty() && !m_parents.front()->folder)
        m_parents.pop_front();
    while (!m_parents.empty() && !m_parents.back()->folder)
        m_parents.pop_back();
}

int EnterFromTop(const FileSystem& fs, const FolderHandle& top, const std::vector<FolderStep>& steps,
                 FolderHandle* entered, const std::function<bool()>& closeSome)
{
    Q_ASSERT(!steps.empty());
    FolderHandle at;
    for (const FolderStep& step : steps) {
        FolderHandle next;
        if (const int error = EnterFolder(fs, at.isOpen() ? at : top, step.name, step.id, &next, closeSome))
            return error;
        at = std::move(next);
    }
    *entered = std::move(at);
    return 0;
}

bool FolderMatcher::keeps(QByteArrayView name)
{
    if (m_patterns.isEmpty())
        return true;
    if (!m_caseApart)
        m_caseApart = TellsCaseApart(m_fs, m_folder, name);
    return m_patterns.matches(DecodeName(name), m_caseApart == false);
}

namespace {

// A folder the walk listed, as the task that listed it found it, until the tree puts each
// one in its place.
struct Found {
    FolderTree::Folder folder; // its parent's index is the tree's to give
    const Found* up = nullptr; // the folder it was listed in; null for the start folder
    QList<QByteArray> subfolders; // as its listing gave them
    // One per sub-folder, each written by that sub-folder's own task, which the pool starts
    // after this folder's task queued it; read once the pool's run is over. What was found
    // there, or why it could not be entered; neither when the search ended before it.
    struct Below {
        std::unique_ptr<Found> found;
        int error = 0;
    };
    std::vector<Below> below;
};

// One walk: every folder a task on the pool, which lists it and queues its sub-folders.
class Walk {
public:
    Walk(const FolderHandle& start, bool subfolders, bool crossMounts, const FileSystem& fs, const WalkFilter& filter,
         WorkerPool& pool)
        : m_start(start)
        , m_subfolders(subfolders)
        , m_crossMounts(crossMounts)
        , m_fs(fs)
        , m_filter(filter)
        , m_pool(pool)
    {
    }

    FolderTree run()
    {
        auto top = std::make_unique<Found>();
        top->folder.id = m_start.id();
        if (m_start.isOpen()) {
            m_queued.fetch_add(1, std::memory_order_relaxed);
            m_pool.post(0, [this, &top](int) {
                m_begun.fetch_add(1, std::memory_order_relaxed);
                list(*top, m_start);
                queueBelow(*top, nullptr);
            });
        }
        m_pool.run([] {});
        return place(std::move(top));
    }

private:
    // One listing gives the folder's files and, for the walk, its sub-folders; one that
    // fails part way is no listing at all.
    void list(Found& found, const FolderHandle& folder)
    {
        QByteArray files;
        std::vector<quint64> serials;
        qsizetype count = 0;
        Listing listing;
        do {
            files.clear(), found.subfolders.clear(), serials.clear(), count = 0;
            FolderMatcher matcher(m_filter.files, m_fs, folder);
            const auto each = [&](QByteArrayView name, EntryType type, quint64 serial) {
                if (type == EntryType::File && matcher.keeps(name)) {
                    files.append(name).append('\0');
                    serials.push_back(serial);
                    ++count;
                } else if (type == EntryType::Folder && m_subfolders) {
                    found.subfolders.append(name.toByteArray());
                }
                // With one worker the window's turn comes here, at the pace; the listing in
                // hand ends whatever was asked meanwhile.
                m_pool.stopRequested();
            };
            listing = m_fs.listFolder(folder, each, m_filter.hidden);
        } while (IsOutOfOpenFiles(listing.error) && m_held.closeSome());
        if (listing.error != 0) {
            found.folder.listError = listing.error;
            found.subfolders.clear();
            return;
        }
        files.squeeze();
        serials.shrink_to_fit();
        found.folder.files = std::move(files);
        found.folder.serials = std::move(serials);
        found.folder.fileCount = count;
    }

    // Queues a task for each sub-folder of `found`, with `folder` held open for them (none
    // for the start folder, which stays open throughout) while not too many are held.
    void queueBelow(Found& found, std::shared_ptr<const FolderHandle> folder)
    {
        const qsizetype count = found.subfolders.size();
        found.below.resize(size_t(count));
        const HeldParents::Hold hold = folder ? m_held.hold(std::move(folder), count) : HeldParents::Hold();
        // The newest first, and of one folder's sub-folders the first listed first: one
        // worker lists the folders in the order of the tree, and several keep few of them
        // waiting, each with its parent held open.
        for (qsizetype i = count; i-- > 0;)
            m_pool.post(-1 - m_queued.fetch_add(1, std::memory_order_relaxed),
                        [this, &found, i, hold](int) { enter(found, size_t(i), hold); });
    }

    // The task of the sub-folder `position` of `parent`.
    void enter(Found& parent, size_t position, const HeldParents::Hold& hold)
    {
        m_begun.fetch_add(1, std::memory_order_relaxed);
        std::shared_ptr<const FolderHandle> through = m_held.take(hold);
        // No further folder is listed once the cancel link was clicked.
        if (m_pool.cancelRequested()) {
            m_skipped.store(true, std::memory_order_relaxed);
            return;
        }
        const QByteArray& name = parent.subfolders[qsizetype(position)];
        FolderHandle entered;
        int error = through ? EnterFolder(m_fs, *through, name, {}, &entered, m_held.closer())
                            : openFromTop(parent, name, &entered);
        through.reset();
        // A mount point is another tree, a bind mount of this one's too: it is entered only
        // when asked for.
        const quint64 mount = entered.mount();
        if (error == 0 && !m_crossMounts && mount != 0 && m_start.mount() != 0 && mount != m_start.mount()) {
            entered = FolderHandle();
            error = EXDEV;
        }
        if (error != 0) {
            parent.below[position].error = error;
            return;
        }
        auto found = std::make_unique<Found>();
        found->folder.name = name;
        found->folder.depth = parent.folder.depth + 1;
        found->folder.id = entered.id();
        found->up = &parent;
        list(*found, entered);
        Found& listed = *found;
        parent.below[position].found = std::move(found);
        m_entered.fetch_add(1, std::memory_order_relaxed);
        queueBelow(listed, std::make_shared<const FolderHandle>(std::move(entered)));
    }

    // A sub-folder whose parent is not held open: from the start folder down, each folder
    // on the way the very one that was listed.
    int openFromTop(const Found& parent, const QByteArray& name, FolderHandle* entered) const
    {
        std::vector<FolderStep> steps{{name, {}}};
        for (const Found* at = &parent; at->up; at = at->up)
            steps.push_back({at->folder.name, at->folder.id});
        std::reverse(steps.begin(), steps.end());
        return EnterFromTop(m_fs, m_start, steps, entered, m_held.closer());
    }

    // The folders found, in the order a walk of one worker comes to them: a folder before
    // everything below it, its sub-folders in the order its listing gave them; a sub-folder
    // that could not be entered is reported where the walk came to it.
    FolderTree place(std::unique_ptr<Found> top)
    {
        FolderTree tree;
        tree.cancelled = m_skipped || m_begun < m_queued; // some never began: a stop ended the queue
        tree.folders.reserve(size_t(m_entered) + 1);
        const auto put = [&](Found& found, int parent) {
            found.folder.parent = parent;
            tree.fileCount += found.folder.fileCount;
            tree.folders.push_back(std::move(found.folder));
            return tree.folders.size() - 1;
        };
        // A folder whose sub-folders are still to be placed, and where it stands in the tree.
        struct Placing {
            std::unique_ptr<Found>* found;
            size_t index;
            size_t next = 0;
        };
        std::vector<Placing> placing{{&top, put(*top, -1)}};
        while (!placing.empty()) {
            Found& found = **placing.back().found;
            const size_t index = placing.back().index;
            const size_t i = placing.back().next++;
            if (i == found.below.size()) {
                placing.back().found->reset(); // what is left of it is no longer needed
                placing.pop_back();
                continue;
            }
            Found::Below& below = found.below[i];
            if (below.error != 0)
                tree.notEntered.append(
                    {JoinPath(tree.pathOf(index, m_start.path()), DecodeName(found.subfolders[qsizetype(i)])),
                     NotEnteredText(below.error)});
            else if (below.found)
                placing.push_back({&below.found, put(*below.found, int(index))});
        }
        return tree;
    }

    const FolderHandle& m_start;
    const bool m_subfolders;
    const bool m_crossMounts;
    const FileSystem& m_fs;
    const WalkFilter& m_filter;
    WorkerPool& m_pool;
    HeldParents m_held;
    std::atomic<qint64> m_queued = 0; // the folders queued, which numbers them too
    std::atomic<qint64> m_begun = 0; // ... and those whose task began
    std::atomic<qint64> m_entered = 0;
    std::atomic<bool> m_skipped = false; // a sub-folder was not entered for a cancel
};

} // namespace

FolderTree FindTree(const FolderHandle& start, bool subfolders, bool crossMounts, const FileSystem& fs, int workers,
                    RunObserver& observer, RunPace& pace, const WalkFilter& filter)
{
    // Without sub-folders there is one folder to list: nothing to overlap.
    const std::unique_ptr<WorkerPool> pool = WorkerPool::make(subfolders ? workers : 1, observer, pace);
    return Walk(start, subfolders, crossMounts, fs, filter, *pool).run();
}

} // namespace orvel
