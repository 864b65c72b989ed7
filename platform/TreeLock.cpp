// The lock that keeps two runs of one user off one folder tree at once, across processes.
#include "platform/TreeLock.h"

#include "platform/FileSystem.h"
#include "platform/NameCodec.h"
#include "platform/PrivateFolder.h"

#include <QByteArrayList>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

namespace {

// The files' names are those of every earlier version, so that runs of two versions
// side by side still see each other.
const QByteArray kLockPrefix = QByteArrayLiteral("claim-");
const QByteArray kLookLock = QByteArrayLiteral("claims.lock");

// The folder `fd` and each folder above it up to the root, by identity ("device:inode"),
// the folder itself first; empty when it cannot be told.
QByteArrayList folderChain(int fd)
{
    QByteArrayList chain;
    int current = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    // The root is its own parent; a depth limit guards against anything stranger.
    for (int depth = 0; current >= 0 && depth < 4096; ++depth) {
        struct stat st;
        if (::fstat(current, &st) != 0) {
            chain.clear();
            break;
        }
        const QByteArray id = QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
        if (!chain.isEmpty() && chain.back() == id)
            break;
        chain << id;
        const int parent = ::openat(current, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(current);
        current = parent;
    }
    if (current >= 0)
        ::close(current);
    return chain;
}

} // namespace

TreeLock::TreeLock(int dir, int fd, QByteArray name)
    : m_dir(dir)
    , m_fd(fd)
    , m_name(std::move(name))
{
}

TreeLock::~TreeLock()
{
    if (m_fd < 0)
        return;
    ::unlinkat(m_dir, m_name.constData(), 0);
    ::close(m_fd);
    ::close(m_dir);
}

std::unique_ptr<TreeLocks> TreeLocks::open(const QString& folder, QString* error, const QString& runtime)
{
    return std::make_unique<TreeLocks>(OpenPrivateFolder(folder, error), runtime);
}

TreeLocks::TreeLocks(int dir, QString runtime)
    : m_dir(dir)
    , m_runtime(std::move(runtime))
{
}

TreeLocks::~TreeLocks()
{
    if (m_dir >= 0)
        ::close(m_dir);
}

std::unique_ptr<TreeLock> TreeLocks::lock(const FolderHandle& start, QString* busyWith)
{
    const QByteArrayList mine = folderChain(start.descriptor());
    if (mine.isEmpty())
        return std::make_unique<TreeLock>();
    // The runtime folder's locks are looked at where it exists; it is made only to keep
    // a lock that the journal folder cannot.
    int runtime = OpenPrivateFolder(m_runtime, nullptr, false);
    const auto closeRuntime = qScopeGuard([&runtime] {
        if (runtime >= 0)
            ::close(runtime);
    });
    const auto lookLock = [](int dir) {
        // Read only is enough for flock, and opens where the file may not be changed.
        const int fd = dir < 0 ? -1 : OpenOwnFile(dir, kLookLock, O_RDONLY | O_CREAT);
        return fd >= 0 || dir < 0 ? fd : OpenOwnFile(dir, kLookLock, O_RDONLY);
    };
    // One run at a time looks and locks, so two that start together cannot both see the
    // other's tree free: in the journal folder where its look lock can be had, as earlier
    // versions do, else in the runtime folder.
    int look = lookLock(m_dir);
    if (look < 0) {
        if (runtime < 0)
            runtime = OpenPrivateFolder(m_runtime, nullptr);
        look = lookLock(runtime);
    }
    const auto unlock = qScopeGuard([look] {
        if (look >= 0)
            ::close(look);
    });
    if (look < 0 || ::flock(look, LOCK_EX) != 0)
        return std::make_unique<TreeLock>();
    for (const int dir : {m_dir, runtime}) {
        if (dir < 0)
            continue;
        for (const QByteArray& name : NamesIn(dir, kLockPrefix)) {
            // What is not a lock file of the user's own is no lock: passed over, and left.
            const int fd = OpenOwnFile(dir, name, O_RDONLY);
            if (fd < 0)
                continue;
            QByteArray content;
            // A lock file that nobody holds is one whose run is gone.
            const bool live = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
            if (!live)
                ::unlinkat(dir, name.constData(), 0);
            else
                ReadWhole(fd, content);
            ::close(fd);
            const qsizetype cut = content.indexOf('\n');
            const QByteArrayList theirs = content.left(cut).split(' ');
            if (cut > 0 && (mine.contains(theirs.front()) || theirs.contains(mine.front()))) {
                if (busyWith)
                    *busyWith = DecodeName(content.mid(cut + 1));
                return nullptr;
            }
        }
    }
    const QByteArray name = kLockPrefix + QByteArray::number(qint64(::getpid())) + '-'
        + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    const QByteArray content = mine.join(' ') + '\n' + EncodeName(start.path());
    const auto keep = [&](int dir) -> std::unique_ptr<TreeLock> {
        const int fd = dir < 0 ? -1 : OpenOwnFile(dir, name, O_WRONLY | O_CREAT | O_EXCL);
        if (fd < 0)
            return nullptr;
        auto lock = std::make_unique<TreeLock>(::fcntl(dir, F_DUPFD_CLOEXEC, 0), fd, name);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0
            || ::write(fd, content.constData(), size_t(content.size())) != content.size())
            return nullptr; // the file goes with `lock`
        return lock;
    };
    // Kept where earlier versions look, when it can be.
    if (std::unique_ptr<TreeLock> lock = keep(m_dir))
        return lock;
    if (runtime < 0)
        runtime = OpenPrivateFolder(m_runtime, nullptr);
    if (std::unique_ptr<TreeLock> lock = keep(runtime))
        return lock;
    return std::make_unique<TreeLock>();
}

} // namespace orvel
