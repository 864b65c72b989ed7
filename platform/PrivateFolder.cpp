// Files in a folder private to the user: opened without following links, checked to be
// the user's own.
#include "platform/PrivateFolder.h"

#include "platform/FileSystem.h"
#include "platform/NameCodec.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

int OpenPrivateFolder(const QString& folder, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return -1;
    };
    const QByteArray path = EncodeName(folder);
    // The folders on the way are made private too, as the XDG rules want them.
    for (qsizetype cut = path.indexOf('/', 1); cut > 0; cut = path.indexOf('/', cut + 1))
        ::mkdir(path.left(cut).constData(), 0700);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
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

int CheckOwnFile(int fd)
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
