// Files in a folder private to the user: opened without following links, checked to be
// the user's own.
#include "platform/PrivateFolder.h"

#include "platform/FileSystem.h"
#include "platform/NameCodec.h"

#include <QDir>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

int OpenPrivateFolder(const QString& folder, QString* error, bool make)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return -1;
    };
    const QByteArray path = EncodeName(folder);
    // The folders on the way are made private too, as the XDG rules want them.
    for (qsizetype cut = path.indexOf('/', 1); make && cut > 0; cut = path.indexOf('/', cut + 1))
        ::mkdir(path.left(cut).constData(), 0700);
    if (make && ::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return fail(ErrorText(errno));
    const int dir = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        return fail(errno == ELOOP || errno == ENOTDIR ? QStringLiteral("%1 is not a folder").arg(folder)
                                                       : ErrorText(errno));
    struct stat st;
    if (::fstat(dir, &st) != 0 || st.st_uid != ::geteuid()) {
        ::close(dir);
        return fail(QStringLiteral("%1 belongs to another user").arg(folder));
    }
    if ((st.st_mode & 077) != 0)
        ::fchmod(dir, 0700);
    return dir;
}

QString RuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    struct stat st;
    // A relative runtime folder is invalid and ignored, as the base-directory rules say.
    if (runtime.startsWith(u'/') && ::lstat(EncodeName(runtime).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0)
        return runtime;
    return QDir(QDir::tempPath()).filePath(QStringLiteral("orvel-file-rename-%1").arg(::geteuid()));
}

int OpenOwnFile(int dir, const QByteArray& name, int flags, mode_t mode)
{
    // Without O_NONBLOCK, opening a FIFO waits for its other end, for ever when nobody
    // comes; the type is only known once it is open.
    const int fd = ::openat(dir, name.constData(), flags | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == ENXIO) // a FIFO with no reader, opened for writing, or a socket
            errno = EINVAL;
        return -1;
    }
    struct stat st;
    int problem = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? EINVAL : st.st_uid != ::geteuid() ? EPERM : 0;
    if (problem == 0 && (flags & O_NONBLOCK) == 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        problem = errno;
    if (problem != 0) {
        ::close(fd);
        errno = problem;
        return -1;
    }
    return fd;
}

QString OwnFileProblem(const QString& name, int error)
{
    switch (error) {
    case EINVAL: return QStringLiteral("%1 is not a regular file").arg(name);
    case ELOOP: return QStringLiteral("%1 is a symbolic link").arg(name);
    default: return QStringLiteral("%1: %2").arg(name, ErrorText(error));
    }
}

int ReadWhole(int fd, QByteArray& content)
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

QByteArrayList NamesIn(int dir, const QByteArray& prefix)
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

} // namespace orvel
