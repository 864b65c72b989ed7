// The slow file system of the rename benchmark, mounted for as long as one of these
// lives: slow_passthrough (built next to the benchmarks) mirrors a backing folder at a
// mount point and waits in each rename. A mount that cannot be made (no /dev/fuse, no
// right to mount, libfuse3 missing at build time) leaves mounted() false and says why.
#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <sys/mount.h>
#include <sys/statfs.h>

namespace orvel::bench {

class SlowMount {
public:
    SlowMount(const QString& backing, const QString& mountPoint, int renameDelayUs)
        : m_mountPoint(mountPoint)
    {
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/slow_passthrough");
        if (!QFileInfo(program).isExecutable()) {
            m_why = QStringLiteral("slow_passthrough was not built (libfuse3 missing)");
            return;
        }
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        // It returns once the mount stands, and serves it from the background.
        p.start(program,
                {backing, mountPoint, QStringLiteral("-o"),
                 QStringLiteral("fsname=orvel-slow,subtype=slow,rename_delay_us=%1").arg(renameDelayUs)});
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            m_why = QStringLiteral("slow_passthrough did not come back within 30 s");
        } else if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_why = QString::fromLocal8Bit(p.readAll()).trimmed();
            if (m_why.isEmpty())
                m_why = QStringLiteral("slow_passthrough failed with code %1").arg(p.exitCode());
        }
        struct statfs fs;
        m_mounted = ::statfs(QFile::encodeName(mountPoint).constData(), &fs) == 0 && fs.f_type == 0x65735546;
        if (!m_mounted && m_why.isEmpty())
            m_why = QStringLiteral("nothing was mounted at ") + mountPoint;
    }
    ~SlowMount() { unmount(); }
    SlowMount(const SlowMount&) = delete;
    SlowMount& operator=(const SlowMount&) = delete;

    bool mounted() const { return m_mounted; }
    QString whyNot() const { return m_why; }

    // Ends the mount; one still busy is detached, so nothing stays behind in the tree.
    void unmount()
    {
        if (!m_mounted)
            return;
        m_mounted = false;
        if (QProcess::execute(QStringLiteral("fusermount3"), {QStringLiteral("-u"), m_mountPoint}) == 0)
            return;
        if (QProcess::execute(QStringLiteral("fusermount3"), {QStringLiteral("-u"), QStringLiteral("-z"), m_mountPoint})
            == 0)
            return;
        ::umount2(QFile::encodeName(m_mountPoint).constData(), MNT_DETACH);
    }

private:
    QString m_mountPoint;
    QString m_why;
    bool m_mounted = false;
};

} // namespace orvel::bench
