// Starting processes through QProcess and the desktop, and the probe file through POSIX calls.

#include "platform/Launch.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvel {

bool StartDetached(const LaunchCommand& command)
{
    if (command.program.isEmpty())
        return false;
    return QProcess::startDetached(command.program, command.arguments);
}

bool OpenWithDesktop(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

QString TemporaryFolder()
{
    // Not QDir::tempPath(): it answers "" for a $TMPDIR that does not exist, and a
    // probe file would then land in the root folder.
    QString t = qEnvironmentVariable("TMPDIR");
    if (t.isEmpty())
        t = QStringLiteral("/tmp");
    t = QDir::cleanPath(QDir::current().absoluteFilePath(t));
    if (!t.endsWith(u'/'))
        t += u'/';
    return t;
}

bool CreateProbeFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool RemoveProbeFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::unlink(native.constData()) == 0 || errno == ENOENT)
        return true;
    return false;
}

} // namespace orvel
