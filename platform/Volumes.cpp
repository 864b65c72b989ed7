// The host's mounted volumes, without pseudo and system file systems.

#include "platform/Volumes.h"

#include "platform/PlatformError.h"

#include <QFile>
#include <QSet>
#include <QStorageInfo>

#include <cerrno>
#include <dirent.h>

namespace orvel {
namespace {

// Kernel and pseudo file systems: nothing a user keeps files on.
bool isPseudoFileSystem(const QByteArray& type)
{
    static const QSet<QByteArray> pseudo = {
        "proc",     "sysfs",  "devtmpfs",    "devpts",          "cgroup",      "cgroup2",   "securityfs",
        "pstore",   "bpf",    "tracefs",     "debugfs",         "mqueue",      "hugetlbfs", "configfs",
        "fusectl",  "autofs", "binfmt_misc", "rpc_pipefs",      "nsfs",        "efivarfs",  "ramfs",
        "squashfs", "nfsd",   "selinuxfs",   "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"};
    return pseudo.contains(type);
}

bool isSystemMountPoint(const QString& root)
{
    auto under = [&](const char* top) {
        const QString t = QString::fromLatin1(top);
        return root == t || root.startsWith(t + QLatin1Char('/'));
    };
    if (under("/proc") || under("/sys") || under("/dev") || under("/snap"))
        return true;
    // /run holds runtime state, except removable media that desktops mount there.
    return under("/run") && !under("/run/media");
}

class HostVolumes final : public Volumes {
public:
    QStringList mountPoints() const override
    {
        QStringList roots;
        for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
            const QString root = info.rootPath();
            if (!info.isValid() || isPseudoFileSystem(info.fileSystemType()) || isSystemMountPoint(root))
                continue;
            if (!roots.contains(root))
                roots.append(root);
        }
        if (!roots.contains(QStringLiteral("/")))
            roots.append(QStringLiteral("/"));
        roots.sort();
        return roots;
    }

    // Only the path itself is examined: a volume that hangs elsewhere (a network
    // mount gone away) cannot stall a change of folder.
    QString volumeOf(const QString& path) const override
    {
        QStorageInfo info(path);
        return info.isValid() ? info.rootPath() : Volumes::volumeOf(path);
    }

    int probe(const QString& mountPoint) const override
    {
        QStorageInfo info(mountPoint);
        if (info.isValid() && !info.isReady())
            return PlatformError::DeviceUnavailable;
        DIR* dir = ::opendir(QFile::encodeName(mountPoint).constData());
        if (dir) {
            ::closedir(dir);
            return 0;
        }
        switch (errno) {
        case ENOMEDIUM:
        case ENODEV:
        case ENXIO:
        case EIO: return PlatformError::DeviceUnavailable;
        default: return errno ? errno + 1000 : 1000;
        }
    }
};

} // namespace

QString Volumes::volumeOf(const QString& path) const
{
    return volumeHolding(mountPoints(), path);
}

Volumes& hostVolumes()
{
    static HostVolumes volumes;
    return volumes;
}

QString volumeHolding(const QStringList& mountPoints, const QString& path)
{
    QString best;
    for (const QString& root : mountPoints) {
        const bool holds = path == root
            || (path.startsWith(root)
                && (root.endsWith(QLatin1Char('/')) || root.endsWith(QLatin1Char('\\'))
                    || path.at(root.size()) == QLatin1Char('/') || path.at(root.size()) == QLatin1Char('\\')));
        if (holds && root.size() > best.size())
            best = root;
    }
    return best;
}

} // namespace orvel
