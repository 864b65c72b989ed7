// The journal files of the runs, in the user's private journal folder: made, written
// through a shared mapping, sealed, read back and removed.
#include "platform/JournalFiles.h"

#include "platform/FileSystem.h"
#include "platform/FileSystemTraits.h"
#include "platform/NameCodec.h"
#include "platform/PrivateFolder.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
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

QString why(int error)
{
    return ErrorText(error);
}

// Runs are numbered, one more than the newest journal's, in their journals' names:
// "run-n", the number (20 digits), "-", the process id. Earlier versions named a journal
// by the clock ("run-", its time in nanoseconds), which goes back when it is set back.
const QByteArray kNumbered = kPrefix + 'n';
constexpr qint64 kMostNumber = 999999999999999999; // 18 nines: one more still fits

// A journal's number; -1 for a name of an earlier version (or none the program makes).
qint64 numberOf(const QByteArray& name)
{
    if (!name.startsWith(kNumbered))
        return -1;
    const qsizetype end = name.indexOf('-', kNumbered.size());
    bool ok = false;
    const qint64 number = name.mid(kNumbered.size(), end - kNumbered.size()).toLongLong(&ok);
    return ok && number >= 0 && number <= kMostNumber && end > kNumbered.size() ? number : -1;
}

// One journal file. A run's new journal is written through a shared mapping of the
// file, so that a record costs a copy and no system call: once copied it is in the
// system's page cache, which a crash of the program cannot undo. Space is reserved
// ahead (fallocate), a chunk at a time, so a full disk shows here as an error and never
// as a fault on a page; the file is cut to what was written when it is finished or
// closed (a crash leaves zeros after the last record, which reading skips). A journal
// opened again, or one on a file system that cannot reserve space ahead, is written with
// plain writes.
//
// Several threads append at once without waiting for each other: each reserves its
// place in the file first and copies its bytes there. A crash in the middle of a copy leaves
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
        // The first chunk is reserved at once: where that cannot be, plain writes from the
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

    qint64 reserve(qint64 size) override { return m_length.fetch_add(size, std::memory_order_relaxed); }

    int write(qint64 at, QByteArrayView bytes) override
    {
        const qint64 end = at + bytes.size();
        const char* data = bytes.data();
        if (!m_base)
            return writeAt(at, data, bytes.size());
        if (end > m_mapped.load(std::memory_order_acquire))
            if (const int error = grow(end))
                return error;
        std::memcpy(m_base + at, data, size_t(bytes.size()));
        // This thread's next record most likely follows: its lines of memory are fetched
        // now, while the rename in between runs, not when the thread writes there and
        // then waits for them at its next atomic or system call.
        const qint64 mapped = m_mapped.load(std::memory_order_relaxed);
        for (qint64 line = end; line < end + 192 && line < mapped; line += 64)
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
    static constexpr qint64 MostSpan = LargestJournal;

    // Reserves and maps chunks until the file has space up to `end`.
    int grow(qint64 end)
    {
        const std::lock_guard guard(m_growing);
        for (qint64 at = m_mapped.load(std::memory_order_relaxed); at < end; at += Chunk) {
            if (at + Chunk > m_span)
                return EFBIG;
            int error = ::fallocate(m_fd, 0, at, Chunk) == 0 ? writeZeros(at) : errno;
            if (error == 0
                && ::mmap(m_base + at, size_t(Chunk), PROT_WRITE, MAP_SHARED | MAP_FIXED, m_fd, at) == MAP_FAILED)
                error = errno;
            if (error != 0) {
                (void)!::ftruncate(m_fd, at); // nothing of a failed reserve stays
                // A mapping that failed may have taken the reserved addresses with it:
                // they are reserved again, or else never released, since something
                // else may be placed there now.
                if (::mmap(m_base + at, size_t(Chunk), PROT_NONE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0)
                    == MAP_FAILED)
                    m_span = at;
                return error;
            }
            // The pages of the chunk two behind are released: they stay the file's, not the
            // program's. A copy still under way there only brings its page back. They
            // start on their way to the disk, so that a sync has only the newest to wait for.
            if (at >= 2 * Chunk) {
                ::madvise(m_base + at - 2 * Chunk, size_t(Chunk), MADV_DONTNEED);
                ::sync_file_range(m_fd, at - 2 * Chunk, Chunk, SYNC_FILE_RANGE_WRITE);
            }
            m_mapped.store(at + Chunk, std::memory_order_release);
        }
        return 0;
    }

    // Zeros over the chunk reserved at `at`. Its pages then wait in the page cache, put
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
        if (at + size > LargestJournal)
            return EFBIG;
        for (qint64 done = 0; done < size;) {
            const ssize_t written = ::pwrite(m_fd, data + done, size_t(size - done), at + done);
            if (written < 0 && errno != EINTR)
                return errno;
            done += qMax<ssize_t>(written, 0);
        }
        return 0;
    }

    // Closes the mapping and gives back the space reserved beyond what was written. Only
    // when no thread appends; what follows, if anything, is plain writes.
    int release()
    {
        const qint64 mapped = m_mapped.exchange(0);
        if (m_base)
            ::munmap(std::exchange(m_base, nullptr), size_t(m_span));
        if (mapped <= m_length)
            return 0;
        return ::ftruncate(m_fd, m_length) == 0 ? 0 : errno;
    }

    int m_fd;
    QString m_name;
    // Alone on its line of the cache: every append of every thread changes it.
    alignas(64) std::atomic<qint64> m_length; // the places taken: the journal's content ends here
    alignas(64) std::atomic<qint64> m_mapped = 0; // reserved and mapped up to here
    char* m_base = nullptr; // the span the chunks are mapped into; none with plain writes
    qint64 m_span = 0;
    std::mutex m_growing;
};

class PosixJournalText final : public JournalText {
public:
    PosixJournalText(int fd, qint64 size)
        : m_fd(fd)
        , m_size(size)
    {
    }
    ~PosixJournalText() override { ::close(m_fd); }
    PosixJournalText(const PosixJournalText&) = delete;
    PosixJournalText& operator=(const PosixJournalText&) = delete;

    qint64 size() const override { return m_size; }

    qint64 readAt(qint64 at, char* into, qint64 size) const override
    {
        qint64 done = 0;
        while (done < size) {
            const ssize_t got = ::pread(m_fd, into + done, size_t(size - done), at + done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return -1;
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }

private:
    int m_fd;
    qint64 m_size;
};

class PosixJournalFiles final : public JournalFiles {
public:
    PosixJournalFiles(int dir, QString folder)
        : m_dir(dir)
        , m_folder(std::move(folder))
    {
    }
    ~PosixJournalFiles() override { ::close(m_dir); }
    PosixJournalFiles(const PosixJournalFiles&) = delete;
    PosixJournalFiles& operator=(const PosixJournalFiles&) = delete;

    QString folder() const override { return m_folder; }

    std::unique_ptr<JournalFile> create(QString* error) override
    {
        // One more than the newest, whatever the clock says. Two processes that make
        // their journals at the same moment may take one number: their names still
        // differ, and so do two of this process by the retry.
        const std::lock_guard making(m_making);
        qint64 number = 0;
        for (const QString& each : names())
            number = qMax(number, numberOf(each.toLatin1()));
        QByteArray name;
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 100; ++tries) {
            number = qMin(number + 1, kMostNumber);
            // Zero-padded, so that names sort as the runs were made.
            name = kNumbered + QByteArray::number(number).rightJustified(20, '0') + '-'
                + QByteArray::number(qint64(::getpid())) + kOpenSuffix;
            // Read and write: a shared mapping that is written to asks for both.
            fd = OpenOwnFile(m_dir, name, O_RDWR | O_CREAT | O_EXCL);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        if (fd < 0)
            return fail(error, errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int lockError = errno;
            ::close(fd);
            ::unlinkat(m_dir, name.constData(), 0);
            return fail(error, lockError);
        }
        ::fsync(m_dir); // the new file's name survives a power cut, not only its content
        return std::make_unique<PosixJournalFile>(fd, QString::fromLatin1(name), 0, TraitsOf(fd).keepsReservedSpace);
    }

    QString seal(const QString& name) override
    {
        if (!IsOpenJournalName(name))
            return name;
        return renameTo(name.toLatin1(), kOpenSuffix, kSuffix);
    }

    QString unseal(const QString& name) override
    {
        if (IsOpenJournalName(name))
            return name;
        return renameTo(name.toLatin1(), kSuffix, kOpenSuffix);
    }

    std::unique_ptr<JournalFile> reopen(const QString& name, QString* error) override
    {
        const int fd = OpenOwnFile(m_dir, name.toLatin1(), O_WRONLY);
        if (fd < 0)
            return fail(error, errno, name);
        int problem = ::flock(fd, LOCK_EX | LOCK_NB) != 0 ? (errno == EWOULDBLOCK ? EBUSY : errno) : 0;
        struct stat st;
        if (problem == 0 && ::fstat(fd, &st) != 0)
            problem = errno;
        if (problem != 0) {
            ::close(fd);
            return fail(error, problem, name);
        }
        return std::make_unique<PosixJournalFile>(fd, name, qint64(st.st_size), false);
    }

    // The journal `from`, its suffix `suffix` changed to `to`, for good once it returns.
    QString renameTo(const QByteArray& from, const QByteArray& suffix, const QByteArray& to)
    {
        const QByteArray renamed = from.chopped(suffix.size()) + to;
        if (!from.endsWith(suffix) || ::renameat(m_dir, from.constData(), m_dir, renamed.constData()) != 0)
            return {};
        ::fsync(m_dir);
        return QString::fromLatin1(renamed);
    }

    QStringList names() const override
    {
        QStringList found;
        for (const QByteArray& name : NamesIn(m_dir, kPrefix))
            if (name.endsWith(kSuffix) || name.endsWith(kOpenSuffix))
                found << QString::fromLatin1(name);
        // By number, and those of earlier versions, which have none, first, by the time
        // in their names.
        std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
            const qint64 x = numberOf(a.toLatin1()), y = numberOf(b.toLatin1());
            return x != y ? x < y : a < b;
        });
        return found;
    }

    std::unique_ptr<JournalText> openToRead(const QString& name, QString* error) const override
    {
        const int fd = OpenOwnFile(m_dir, name.toLatin1(), O_RDONLY);
        if (fd < 0)
            return fail<JournalText>(error, errno, name);
        struct stat st {};
        if (const int problem = ::fstat(fd, &st) != 0 ? errno : st.st_size > LargestJournal ? EFBIG : 0) {
            ::close(fd);
            if (problem == EFBIG && error)
                *error = QStringLiteral("%1 is larger than any journal the program writes (%2 GiB)")
                             .arg(name)
                             .arg(LargestJournal >> 30);
            return problem == EFBIG ? nullptr : fail<JournalText>(error, problem, name);
        }
        return std::make_unique<PosixJournalText>(fd, qint64(st.st_size));
    }

    bool inUse(const QString& name) const override
    {
        const int fd = OpenOwnFile(m_dir, name.toLatin1(), O_RDONLY);
        if (fd < 0)
            return false;
        const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        return locked;
    }

    bool remove(const QString& name) override
    {
        // Only a journal goes: what else stands under a journal's name is not the
        // program's to delete.
        const QByteArray bytes = name.toLatin1();
        struct stat st;
        if (::fstatat(m_dir, bytes.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            return false;
        return ::unlinkat(m_dir, bytes.constData(), 0) == 0 || errno == ENOENT;
    }

private:
    // `name`, when given, is named in the words: the file there is the problem.
    template <typename T = JournalFile>
    static std::unique_ptr<T> fail(QString* error, int value, const QString& name = {})
    {
        if (error)
            *error = name.isEmpty() ? why(value) : OwnFileProblem(name, value);
        return nullptr;
    }

    int m_dir;
    QString m_folder;
    std::mutex m_making; // one journal of this process is numbered at a time
};

} // namespace

bool IsOpenJournalName(const QString& name)
{
    return name.endsWith(QLatin1String(kOpenSuffix));
}

QString RunIdOfJournal(const QString& name)
{
    QString id = name;
    for (const QByteArray& suffix : {kSuffix, kOpenSuffix})
        if (id.endsWith(QLatin1String(suffix)))
            id.chop(suffix.size());
    if (id.startsWith(QLatin1String(kNumbered))) {
        id.remove(0, kNumbered.size());
        while (id.size() > 1 && id.startsWith(u'0') && id[1] != u'-')
            id.remove(0, 1);
        return id;
    }
    return id.startsWith(QLatin1String(kPrefix)) ? id.mid(kPrefix.size()) : id;
}

QString JournalFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // Only an absolute path counts, as for every XDG variable.
    if (!state.startsWith(u'/'))
        state = HomeFolder() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/orvel-file-rename");
}

std::unique_ptr<JournalFiles> OpenJournalFiles(const QString& folder, QString* error)
{
    const int dir = OpenPrivateFolder(folder, error);
    return dir < 0 ? nullptr : std::make_unique<PosixJournalFiles>(dir, folder);
}

} // namespace orvel
