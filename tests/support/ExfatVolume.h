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
        if (!run("mount.exfat-fuse", {m_loop, m_mount})) {
            m_skip = "the exFAT volume could not be mounted (exfat-fuse)";
            return;
        }
        QDeadlineTimer deadline(10000);
        while (!isMounted() && !deadline.hasExpired())
            QThread::msleep(10);
        if (!isMounted())
            m_skip = "the exFAT volume did not appear";
    }

    ~ExfatVolume()
    {
        if (isMounted() && !run("umount", {m_mount}))
            run("fusermount3", {"-u", m_mount});
        QDeadlineTimer deadline(10000);
        while (isMounted() && !deadline.hasExpired())
            QThread::msleep(10);
        if (!m_loop.isEmpty())
            run("losetup", {"-d", m_loop});
    }

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

    QTemporaryDir m_work;
    QString m_loop, m_mount;
    const char* m_skip = nullptr;
};

} // namespace orvel::test
