#include "platform/JournalStore.h"

#include "platform/FileSystem.h"
#include "platform/FileSystemTraits.h"
#include "platform/NameCodec.h"

#include <QRandomGenerator>
#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

namespace {

const QByteArray kPrefix = QByteArrayLiteral("run-");
const QByteArray kSuffix = QByteArrayLiteral(".journal");
const QByteArray kOpenSuffix = QByteArrayLiteral(".open");
const QByteArray kClaimPrefix = QByteArrayLiteral("claim-");
constexpr char kClaimsLock[] = "claims.lock";

QString why(int error)
{
    return ErrorText(error);
}

// A file of the store, checked to be a plain file of this user's own.
int checkOwnFile(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    if (st.st_uid != ::geteuid())
        return EPERM;
    return 0;
}

// The whole content of an open file. 0 or the errno value.
int readWhole(int fd, QByteArray& content)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        content.append(buffer, got);
    }
}

// The names in the folder `dir` that begin with `prefix`.
QByteArrayList namesIn(int dir, const QByteArray& prefix)
{
    QByteArrayList found;
    const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* stream = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!stream) {
        if (fd >= 0)
            ::close(fd);
        return found;
    }
    while (const dirent* entry = ::readdir(stream))
        if (const QByteArray name(entry->d_name); name.startsWith(prefix))
            found << name;
    ::closedir(stream);
    return found;
}

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

// A claim file of the store, held locked while its run lives; its first line is the
// folder chain of its tree, the rest the tree's path. It lives no longer than its store
// (`dir`), as a run lives no longer than the store it writes its journal to.
class PosixTreeClaim final : public TreeClaim {
public:
    PosixTreeClaim(int dir, int fd, QByteArray name)
        : m_dir(dir)
        , m_fd(fd)
        , m_name(std::move(name))
    {
    }
    ~PosixTreeClaim() override
    {
        ::unlinkat(m_dir, m_name.constData(), 0);
        ::close(m_fd);
    }
    PosixTreeClaim(const PosixTreeClaim&) = delete;
    PosixTreeClaim& operator=(const PosixTreeClaim&) = delete;

private:
    int m_dir;
    int m_fd;
    QByteArray m_name;
};

// One journal file. A run's new journal is written through a shared mapping of the
// file, so that a record costs a copy and no system call: once copied it is in the
// system's page cache, which a crash of the program cannot take back. Room is claimed
// ahead, a chunk at a time, so a full disk shows here as an error and never as a fault
// on a page; the file is cut to what was written when it is finished or closed (a
// crash leaves zeros after the last record, which reading skips). A journal opened
// again, or one on a file system that cannot claim room ahead, is written with plain
// writes.
//
// Several threads append at once without waiting for each other: each takes its place
// in the file first and copies its bytes there. A crash in the middle of a copy leaves
// a record cut short by zeros, with the records that others placed after it whole.
// The chunks are mapped one after the other into one span of addresses reserved at the
// start, so that a place in the file is a place in memory, and an append touches no
// memory that another thread writes but the place counter.
class PosixJournalFile final : public JournalFile {
public:
    PosixJournalFile(int fd, QString name, qint64 length, bool mapped)
        : m_fd(fd)
        , m_name(std::move(name))
        , m_length(length)
    {
        if (!mapped)
            return;
        // Less where a limit on the program's addresses allows less.
        for (qint64 span = MostSpan; !m_base && span >= 64 * Chunk; span /= 16) {
            void* at = ::mmap(nullptr, size_t(span), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (at != MAP_FAILED) {
                m_base = static_cast<char*>(at);
                m_span = span;
            }
        }
        if (!m_base)
            return;
        // The first chunk is claimed at once: where that cannot be, plain writes from the
        // start, before any thread appends.
        if (grow(Chunk) != 0)
            release();
    }
    ~PosixJournalFile() override
    {
        release();
        ::close(m_fd);
    }
    PosixJournalFile(const PosixJournalFile&) = delete;
    PosixJournalFile& operator=(const PosixJournalFile&) = delete;

    QString name() const override { return m_name; }

    qint64 claim(qint64 size) override { return m_length.fetch_add(size, std::memory_order_relaxed); }

    int write(qint64 at, QByteArrayView bytes) override
    {
        const qint64 end = at + bytes.size();
        const char* data = bytes.data();
        if (!m_base)
            return writeAt(at, data, bytes.size());
        if (end > m_room.load(std::memory_order_acquire))
            if (const int error = grow(end))
                return error;
        std::memcpy(m_base + at, data, size_t(bytes.size()));
        // This thread's next record most likely follows: its lines of memory are fetched
        // now, while the rename in between runs, not when the thread writes there and
        // then waits for them at its next atomic or system call.
        const qint64 room = m_room.load(std::memory_order_relaxed);
        for (qint64 line = end; line < end + 192 && line < room; line += 64)
            __builtin_prefetch(m_base + line, 1);
        return 0;
    }

    // fdatasync writes what was copied into the mapping too: the pages are the file's.
    int sync() override { return ::fdatasync(m_fd) == 0 ? 0 : errno; }

    int finish() override
    {
        if (const int error = release())
            return error;
        return sync();
    }

    int cutTo(qint64 length) override
    {
        if (release() != 0 || ::ftruncate(m_fd, length) != 0)
            return errno;
        m_length = length;
        return 0;
    }

private:
    static constexpr qint64 Chunk = qint64(1) << 20;
    static constexpr qint64 MostSpan = qint64(1) << 36; // 64 GiB of journal

    // Claims and maps chunks until the file has room up to `end`.
    int grow(qint64 end)
    {
        const std::lock_guard guard(m_growing);
        for (qint64 room = m_room.load(std::memory_order_relaxed); room < end; room += Chunk) {
            if (room + Chunk > m_span)
                return EFBIG;
            int error = ::fallocate(m_fd, 0, room, Chunk) == 0 ? writeZeros(room) : errno;
            if (error == 0
                && ::mmap(m_base + room, size_t(Chunk), PROT_WRITE, MAP_SHARED | MAP_FIXED, m_fd, room) == MAP_FAILED)
                error = errno;
            if (error != 0) {
                (void)!::ftruncate(m_fd, room); // nothing of a failed claim stays
                // A mapping that failed may have taken the reserved addresses with it:
                // they are reserved again, or else never let go of, since something
                // else may be placed there now.
                if (::mmap(m_base + room, size_t(Chunk), PROT_NONE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0)
                    == MAP_FAILED)
                    m_span = room;
                return error;
            }
            // The pages of the chunk two behind are let go: they stay the file's, not the
            // program's. A copy still under way there only brings its page back. They
            // start on their way to the disk, so that a sync has only the newest to wait for.
            if (room >= 2 * Chunk) {
                ::madvise(m_base + room - 2 * Chunk, size_t(Chunk), MADV_DONTNEED);
                ::sync_file_range(m_fd, room - 2 * Chunk, Chunk, SYNC_FILE_RANGE_WRITE);
            }
            m_room.store(room + Chunk, std::memory_order_release);
        }
        return 0;
    }

    // Zeros over the chunk claimed at `at`. Its pages then wait in the page cache, put
    // there by a few system calls, where each would otherwise cost a page fault that
    // reads it in (zeros too) at the first copy into it: those faults cost more than
    // making the journal's records.
    int writeZeros(qint64 at)
    {
        static const std::array<char, 1 << 16> zeros{};
        static_assert(Chunk % zeros.size() == 0);
        for (qint64 done = 0; done < Chunk; done += qint64(zeros.size()))
            if (const int error = writeAt(at + done, zeros.data(), qint64(zeros.size())))
                return error;
        return 0;
    }

    // The `size` bytes at `data`, written whole at `at`. 0 or the errno value.
    int writeAt(qint64 at, const char* data, qint64 size)
    {
        for (qint64 done = 0; done < size;) {
            const ssize_t written = ::pwrite(m_fd, data + done, size_t(size - done), at + done);
            if (written < 0 && errno != EINTR)
                return errno;
            done += qMax<ssize_t>(written, 0);
        }
        return 0;
    }

    // Lets go of the mapping and of the room claimed beyond what was written. Only
    // when no thread appends; what follows, if anything, is plain writes.
    int release()
    {
        const qint64 room = m_room.exchange(0);
        if (m_base)
            ::munmap(std::exchange(m_base, nullptr), size_t(m_span));
        if (room <= m_length)
            return 0;
        return ::ftruncate(m_fd, m_length) == 0 ? 0 : errno;
    }

    int m_fd;
    QString m_name;
    // Alone on its line of the cache: every append of every thread changes it.
    alignas(64) std::atomic<qint64> m_length; // the places taken: the journal's content ends here
    alignas(64) std::atomic<qint64> m_room = 0; // mapped up to here
    char* m_base = nullptr; // the span the chunks are mapped into; none with plain writes
    qint64 m_span = 0;
    std::mutex m_growing;
};

class PosixJournalStore final : public JournalStore {
public:
    PosixJournalStore(int dir, QString folder)
        : m_dir(dir)
        , m_folder(std::move(folder))
    {
    }
    ~PosixJournalStore() override { ::close(m_dir); }
    PosixJournalStore(const PosixJournalStore&) = delete;
    PosixJournalStore& operator=(const PosixJournalStore&) = delete;

    QString folder() const override { return m_folder; }

    std::unique_ptr<JournalFile> create(QString* error) override
    {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const qint64 stamp = qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
        // Zero-padded, so that names sort as the runs were made.
        const QByteArray name = kPrefix + QByteArray::number(stamp).rightJustified(20, '0') + '-'
            + QByteArray::number(qint64(::getpid())) + kOpenSuffix;
        // Read and write: a shared mapping that is written to asks for both.
        const int fd = ::openat(m_dir, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return fail(error, errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int lockError = errno;
            ::close(fd);
            ::unlinkat(m_dir, name.constData(), 0);
            return fail(error, lockError);
        }
        ::fsync(m_dir); // the new file's name survives a power cut, not only its content
        return std::make_unique<PosixJournalFile>(fd, QString::fromLatin1(name), 0, TraitsOf(fd).keepsClaimedRoom);
    }

    QString seal(const QString& name) override
    {
        if (!IsOpenJournalName(name))
            return name;
        const QByteArray from = name.toLatin1();
        const QByteArray to = from.chopped(kOpenSuffix.size()) + kSuffix;
        if (::renameat(m_dir, from.constData(), m_dir, to.constData()) != 0)
            return {};
        ::fsync(m_dir);
        return QString::fromLatin1(to);
    }

    std::unique_ptr<JournalFile> reopen(const QString& name, QString* error) override
    {
        const QByteArray bytes = name.toLatin1();
        const int fd = ::openat(m_dir, bytes.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return fail(error, errno);
        int problem = checkOwnFile(fd);
        if (problem == 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            problem = errno == EWOULDBLOCK ? EBUSY : errno;
        struct stat st;
        if (problem == 0 && ::fstat(fd, &st) != 0)
            problem = errno;
        if (problem != 0) {
            ::close(fd);
            return fail(error, problem);
        }
        return std::make_unique<PosixJournalFile>(fd, name, qint64(st.st_size), false);
    }

    QStringList names() const override
    {
        QStringList found;
        for (const QByteArray& name : namesIn(m_dir, kPrefix))
            if (name.endsWith(kSuffix) || name.endsWith(kOpenSuffix))
                found << QString::fromLatin1(name);
        std::sort(found.begin(), found.end());
        return found;
    }

    std::optional<QByteArray> read(const QString& name, QString* error) const override
    {
        const int fd = ::openat(m_dir, name.toLatin1().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return failRead(error, errno);
        if (const int problem = checkOwnFile(fd)) {
            ::close(fd);
            return failRead(error, problem);
        }
        QByteArray content;
        const int readError = readWhole(fd, content);
        ::close(fd);
        if (readError != 0)
            return failRead(error, readError);
        return content;
    }

    bool inUse(const QString& name) const override
    {
        const int fd = ::openat(m_dir, name.toLatin1().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        return locked;
    }

    bool remove(const QString& name) override
    {
        return ::unlinkat(m_dir, name.toLatin1().constData(), 0) == 0 || errno == ENOENT;
    }

    std::unique_ptr<TreeClaim> claimTree(const FolderHandle& start, QString* busyWith) override
    {
        const QByteArrayList mine = folderChain(start.descriptor());
        // One run at a time looks and claims, so two that start together cannot both see
        // the other's tree free.
        const int lock = ::openat(m_dir, kClaimsLock, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        const auto unlock = qScopeGuard([lock] {
            if (lock >= 0)
                ::close(lock);
        });
        if (mine.isEmpty() || lock < 0 || ::flock(lock, LOCK_EX) != 0)
            return std::make_unique<TreeClaim>();
        for (const QByteArray& name : namesIn(m_dir, kClaimPrefix)) {
            const int fd = ::openat(m_dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0)
                continue;
            QByteArray content;
            // A claim whose lock nobody holds is one whose run is gone.
            const bool live = checkOwnFile(fd) == 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
            if (!live)
                ::unlinkat(m_dir, name.constData(), 0);
            else
                readWhole(fd, content);
            ::close(fd);
            const qsizetype cut = content.indexOf('\n');
            const QByteArrayList theirs = content.left(cut).split(' ');
            if (cut > 0 && (mine.contains(theirs.front()) || theirs.contains(mine.front()))) {
                if (busyWith)
                    *busyWith = DecodeName(content.mid(cut + 1));
                return nullptr;
            }
        }
        const QByteArray name = kClaimPrefix + QByteArray::number(qint64(::getpid())) + '-'
            + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
        const int fd = ::openat(m_dir, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return std::make_unique<TreeClaim>();
        auto claim = std::make_unique<PosixTreeClaim>(m_dir, fd, name);
        const QByteArray content = mine.join(' ') + '\n' + EncodeName(start.path());
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0
            || ::write(fd, content.constData(), size_t(content.size())) != content.size())
            return std::make_unique<TreeClaim>(); // the file goes with the claim
        return claim;
    }

private:
    static std::unique_ptr<JournalFile> fail(QString* error, int value)
    {
        if (error)
            *error = why(value);
        return nullptr;
    }
    static std::optional<QByteArray> failRead(QString* error, int value)
    {
        if (error)
            *error = why(value);
        return std::nullopt;
    }

    int m_dir;
    QString m_folder;
};

} // namespace

bool IsOpenJournalName(const QString& name)
{
    return name.endsWith(QLatin1String(kOpenSuffix));
}

QString JournalFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // Only an absolute path counts, as for every XDG variable.
    if (!state.startsWith(u'/'))
        state = HomeFolder() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/orvel-file-rename");
}

std::unique_ptr<JournalStore> OpenJournalStore(const QString& folder, QString* error)
{
    const auto fail = [error](const QString& text) -> std::unique_ptr<JournalStore> {
        if (error)
            *error = text;
        return nullptr;
    };
    const QByteArray path = EncodeName(folder);
    // The folders on the way are made private too, as the XDG rules want them.
    for (qsizetype cut = path.indexOf('/', 1); cut > 0; cut = path.indexOf('/', cut + 1))
        ::mkdir(path.left(cut).constData(), 0700);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return fail(why(errno));
    const int dir = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return fail(errno == ELOOP || errno == ENOTDIR ? QStringLiteral("%1 is not a folder").arg(folder) : why(errno));
    struct stat st;
    if (::fstat(dir, &st) != 0 || st.st_uid != ::geteuid()) {
        ::close(dir);
        return fail(QStringLiteral("%1 belongs to another user").arg(folder));
    }
    if ((st.st_mode & 077) != 0)
        ::fchmod(dir, 0700);
    return std::make_unique<PosixJournalStore>(dir, folder);
}

} // namespace orvel
