#include "platform/FileSystem.h"
#include "tests/support/TempTree.h"

#include <QtTest>

using namespace orvel;
using namespace orvel::test;

// Renames on a real file system that ignores letter case: a small exFAT image,
// mounted through the FUSE driver, which also refuses the no-replace flag and hard
// links. Needs root, /dev/fuse, a free loop device and the exFAT tools; skipped
// where any of them is missing.
class TestCaseInsensitiveRename : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_loop, m_mount;

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

private Q_SLOTS:
    void initTestCase()
    {
        const QString image = m_work.filePath("volume.img");
        m_mount = m_work.filePath("mnt");
        QVERIFY(QDir().mkdir(m_mount));
        if (::geteuid() != 0 || !QFileInfo::exists("/dev/fuse") || !run("truncate", {"-s", "8M", image})
            || !run("mkfs.exfat", {image}) || !run("losetup", {"-f", "--show", image}, &m_loop) || m_loop.isEmpty())
            QSKIP("needs root, /dev/fuse, mkfs.exfat (exfatprogs) and a free loop device");
        if (!run("mount.exfat-fuse", {m_loop, m_mount}))
            QSKIP("the exFAT volume could not be mounted (exfat-fuse)");
        QTRY_VERIFY_WITH_TIMEOUT(isMounted(), 10000);
    }

    void cleanupTestCase() // runs after a skipped initTestCase too
    {
        if (isMounted() && !run("umount", {m_mount}))
            run("fusermount3", {"-u", m_mount});
        QTRY_VERIFY_WITH_TIMEOUT(!isMounted(), 10000);
        if (!m_loop.isEmpty())
            run("losetup", {"-d", m_loop});
    }

    void rename_data()
    {
        renameColumns();
        const QStringList twoFiles{"A.TXT=first", "B.TXT=second"};
        renameRow("file, case only", {"HOLIDAY PHOTO.JPG=jpeg"}, "HOLIDAY PHOTO.JPG", "Holiday Photo.jpg",
                  {"Holiday Photo.jpg=jpeg"});
        renameRow("folder, case only", {"OLD STUFF/inner/f.txt=deep"}, "OLD STUFF", "Old Stuff",
                  {"Old Stuff/", "Old Stuff/inner/", "Old Stuff/inner/f.txt=deep"});
        renameRow("identical name", {"same.txt=x"}, "same.txt", "same.txt", {"same.txt=x"});
        renameRow("file, new name", {"one.txt=1"}, "one.txt", "two.txt", {"two.txt=1"});
        renameRow("folder, new name", {"folder/"}, "folder", "other", {"other/"});
        renameRow("onto another file", twoFiles, "A.TXT", "B.TXT", {});
        renameRow("onto another file in other case", twoFiles, "A.TXT", "b.txt", {});
        renameRow("onto another folder in other case", {"A/", "B/"}, "A", "b", {});
    }

    void rename()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, after);
        const QString d = m_mount + '/' + QTest::currentDataTag();
        QVERIFY(makeTree(d, before));
        const QStringList unchanged = readTree(d);
        QCOMPARE(hostFileSystem().rename(d + '/' + from, d + '/' + to) == 0, !after.isEmpty());
        // The whole folder, dot-names included: no temporary name is left behind.
        QCOMPARE(readTree(d), after.isEmpty() ? unchanged : after);
    }
};

QTEST_GUILESS_MAIN(TestCaseInsensitiveRename)
#include "test_case_insensitive_rename.moc"