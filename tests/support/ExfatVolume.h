#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTest>

#include <unistd.h>

namespace orvel::test {

// A small exFAT image mounted through the FUSE driver: a real file system that ignores
// letter case, and refuses the no-replace flag and hard links too. Needs root,
// /dev/fuse, a free loop device and the exFAT tools; `skipReason` says which is missing.
class ExfatVolume {
public:
    ExfatVolume()
    {
        const QString image = m_work.filePath("volume.img");
        m_mount = m_work.filePath("mnt");
        QDir().mkdir(m_mount);
        if (::geteuid() != 0 || !QFileInfo::exists("/dev/fuse") || !run("truncate", {"-s", "8M", image})
            || !run("mkfs.exfat", {image}) || !run("losetup", {"-f", "--show", image}, &m_loop) || m_loop.isEmpty()) {
            m_skip = "needs root, /dev/fuse, mkfs.exfat (exfatprogs) and a free loop device";
            return;
        }
        if (!mount())
            m_skip = "the exFAT volume could not be mounted (exfat-fuse)";
    }

    ~ExfatVolume()
    {
        unmount();
        if (!m_loop.isEmpty())
            run("losetup", {"-d", m_loop});
    }

    // The card taken out and put back: the driver hands out new inode numbers.
    bool remount() { return unmount() && mount(); }

    ExfatVolume(const ExfatVolume&) = delete;
    ExfatVolume& operator=(const ExfatVolume&) = delete;

    // Empty when the volume is mounted at path().
    const char* skipReason() const { return m_skip; }
    const QString& path() const { return m_mount; }

private:
    static bool run(const QString& tool, const QStringList& args, QString* out = nullptr)
    {
        QProcess p;
        p.start(QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}), args);
        const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (out)
            *out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        return ok;
    }

    bool isMounted() const { return QStorageInfo(m_mount).rootPath() == m_mount; }

    bool mount() { return run("mount.exfat-fuse", {m_loop, m_mount}) && waitFor(true); }

    bool unmount()
    {
        if (isMounted() && !run("umount", {m_mount}))
            run("fusermount3", {"-u", m_mount});
        return waitFor(false);
    }

    bool waitFor(bool mounted) const
    {
        QDeadlineTimer deadline(10000);
        while (isMounted() != mounted && !deadline.hasExpired())
            QThread::msleep(10);
        return isMounted() == mounted;
    }

    QTemporaryDir m_work;
    QString m_loop, m_mount;
    const char* m_skip = nullptr;
};

} // namespace orvel::test
