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

FolderChain::FolderChain(const FileSystem& fs, const FolderHandle& start, int limit)
    : m_fs(fs)
    , m_start(start)
    , m_limit(limit)
{
}

int FolderChain::enter(QByteArrayView name, const FileId& expected)
{
    int error = 0;
    if (!at(depth(), &error))
        return error;
    m_links.push_back({name.toByteArray(), expected, {}});
    error = open(depth());
    if (error != 0)
        m_links.pop_back();
    return error;
}

void FolderChain::leave()
{
    if (m_links.back().handle.isOpen())
        --m_open;
    m_links.pop_back();
}

const FolderHandle* FolderChain::at(qsizetype level, int* error)
{
    if (level == 0)
        return &m_start;
    qsizetype held = level; // the nearest folder at or above `level` that is still open
    while (held > 0 && !m_links[size_t(held - 1)].handle.isOpen())
        --held;
    for (qsizetype next = held + 1; next <= level; ++next) {
        if (const int failed = open(next)) {
            if (error)
                *error = failed;
            return nullptr;
        }
    }
    return &m_links[size_t(level - 1)].handle;
}

// Opens the folder at `level`, whose parent is open.
int FolderChain::open(qsizetype level)
{
    Link& link = m_links[size_t(level - 1)];
    const FolderHandle& parent = level == 1 ? m_start : m_links[size_t(level - 2)].handle;
    // Out of open files, the parent of the one to open stays open.
    if (const int error = EnterFolder(m_fs, parent, link.name, link.id, &link.handle,
                                      [&] { return closeDownTo(level - 2, m_open / 2); }))
        return error;
    link.id = link.handle.id();
    ++m_open;
    // The walk goes on below this one and comes back up to the others one by one: the
    // shallowest are closed first.
    closeDownTo(level - 1, m_limit);
    return 0;
}

bool FolderChain::closeSome()
{
    return closeDownTo(-1, m_open / 2);
}

// Closes the shallowest open folders but the one at `keep` (an index into the links)
// and the deepest until no more than `limit` are open, which stays the limit from then
// on when it is lower. False when nothing could be closed.
bool FolderChain::closeDownTo(qsizetype keep, int limit)
{
    const int before = m_open;
    m_limit = qMin(m_limit, qMax(limit, 1));
    for (qsizetype i = 0; m_open > m_limit && i < depth() - 1; ++i) {
        if (i != keep && m_links[size_t(i)].handle.isOpen()) {
            m_links[size_t(i)].handle = FolderHandle();
            --m_open;
        }
    }
    return m_open < before;
}

bool FolderMatcher::keeps(QByteArrayView name)
{
    if (m_patterns.isEmpty())
        return true;
    if (!m_caseApart)
        m_caseApart = TellsCaseApart(m_fs, m_folder, name);
    return m_patterns.matches(DecodeName(name), m_caseApart == false);
}

FolderTree FindTree(const FolderHandle& start, bool subfolders, bool crossMounts, const FileSystem& fs,
                    RunObserver& observer, RunPace& pace, const WalkFilter& filter)
{
    FolderTree tree;
    FolderChain chain(fs, start);
    // One listing gives the folder's files and, for the walk, its sub-folders; one that
    // fails part way is no listing at all.
    const auto listDeepest = [&](size_t index, QList<QByteArray>& folders) {
        QByteArray files;
        std::vector<quint64> serials;
        qsizetype count = 0;
        Listing listing;
        do {
            files.clear(), folders.clear(), serials.clear(), count = 0;
            FolderMatcher matcher(filter.files, fs, chain.entered());
            const auto each = [&](QByteArrayView name, EntryType type, quint64 serial) {
                if (type == EntryType::File && matcher.keeps(name)) {
                    files.append(name).append('\0');
                    serials.push_back(serial);
                    ++count;
                } else if (type == EntryType::Folder && subfolders) {
                    folders.append(name.toByteArray());
                }
                if (pace.due())
                    observer.letEventsThrough();
            };
            listing = fs.listFolder(chain.entered(), each, filter.hidden);
        } while (IsOutOfOpenFiles(listing.error) && chain.closeSome());
        if (listing.error != 0) {
            tree.folders[index].listError = listing.error;
            folders.clear();
            return;
        }
        files.squeeze();
        serials.shrink_to_fit();
        tree.folders[index].files = std::move(files);
        tree.folders[index].serials = std::move(serials);
        tree.folders[index].fileCount = count;
        tree.fileCount += count;
    };

    // A folder of the walk whose sub-folders are still to be entered, one per level.
    struct Level {
        size_t index;
        QList<QByteArray> subfolders;
        qsizetype next = 0;
    };
    tree.folders.push_back({});
    tree.folders.front().id = start.id();
    std::vector<Level> levels;
    levels.push_back({0, {}});
    if (start.isOpen())
        listDeepest(0, levels.back().subfolders);
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.subfolders.size()) {
            levels.pop_back();
            if (!levels.empty())
                chain.leave();
            continue;
        }
        if (pace.due())
            observer.letEventsThrough();
        if (observer.cancelRequested() || observer.stopRequested()) {
            tree.cancelled = true;
            break;
        }
        const QByteArray name = level.subfolders[level.next++];
        const size_t parent = level.index;
        int error = chain.enter(name);
        // A mount point is another tree, a bind mount of this one's too: it is entered only
        // when asked for.
        const quint64 mount = error == 0 ? chain.entered().mount() : 0;
        if (!crossMounts && mount != 0 && start.mount() != 0 && mount != start.mount()) {
            chain.leave();
            error = EXDEV;
        }
        if (error != 0) {
            tree.notEntered.append(
                {JoinPath(tree.pathOf(parent, start.path()), DecodeName(name)), NotEnteredText(error)});
            continue;
        }
        const size_t index = tree.folders.size();
        const int depth = tree.folders[parent].depth + 1;
        tree.folders.push_back({name, int(parent), depth, {}, 0, chain.entered().id(), {}});
        QList<QByteArray> below;
        listDeepest(index, below);
        levels.push_back({index, std::move(below)});
    }
    return tree;
}

} // namespace orvel
