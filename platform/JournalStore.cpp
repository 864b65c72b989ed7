#include "platform/JournalStore.h"

#include "platform/FileSystem.h"
#include "platform/NameCodec.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

class PosixJournalFile final : public JournalFile {
public:
    PosixJournalFile(int fd, QString name)
        : m_fd(fd)
        , m_name(std::move(name))
    {
    }
    ~PosixJournalFile() override { ::close(m_fd); }
    PosixJournalFile(const PosixJournalFile&) = delete;
    PosixJournalFile& operator=(const PosixJournalFile&) = delete;

    QString name() const override { return m_name; }

    int append(const QByteArray& bytes) override
    {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, data, size_t(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            data += written;
            left -= written;
        }
        return 0;
    }

    int sync() override { return ::fdatasync(m_fd) == 0 ? 0 : errno; }

private:
    int m_fd;
    QString m_name;
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
        const int fd =
            ::openat(m_dir, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return fail(error, errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int lockError = errno;
            ::close(fd);
            ::unlinkat(m_dir, name.constData(), 0);
            return fail(error, lockError);
        }
        ::fsync(m_dir); // the new file's name survives a power cut, not only its content
        return std::make_unique<PosixJournalFile>(fd, QString::fromLatin1(name));
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
        const int fd = ::openat(m_dir, bytes.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return fail(error, errno);
        int problem = checkOwnFile(fd);
        if (problem == 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            problem = errno == EWOULDBLOCK ? EBUSY : errno;
        if (problem != 0) {
            ::close(fd);
            return fail(error, problem);
        }
        return std::make_unique<PosixJournalFile>(fd, name);
    }

    QStringList names() const override
    {
        QStringList found;
        const int fd = ::openat(m_dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* stream = fd < 0 ? nullptr : ::fdopendir(fd);
        if (!stream) {
            if (fd >= 0)
                ::close(fd);
            return found;
        }
        while (const dirent* entry = ::readdir(stream)) {
            const QByteArray name(entry->d_name);
            if (name.startsWith(kPrefix) && (name.endsWith(kSuffix) || name.endsWith(kOpenSuffix)))
                found << QString::fromLatin1(name);
        }
        ::closedir(stream);
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
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                const int readError = errno;
                ::close(fd);
                return failRead(error, readError);
            }
            if (got == 0)
                break;
            content.append(buffer, got);
        }
        ::close(fd);
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
