#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <dirent.h>
#include <unistd.h>

using namespace orvel;

// Renames on a real file system that ignores letter case: a small exFAT image,
// mounted through the FUSE driver, which also refuses the no-replace flag and hard
// links. Needs root, /dev/fuse, a free loop device and the exFAT tools; skipped
// where any of them is missing.
class TestCaseInsensitiveRename : public QObject {
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_loop;
    QString m_mount;
    bool m_mounted = false;
    int m_folderNo = 0;
    FileSystem& fs = hostFileSystem();

    static QString tool(const QString& name)
    {
        return QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    }

    static bool run(const QString& program, const QStringList& args, QString* out = nullptr)
    {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return false;
        if (out)
            *out = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        return true;
    }

    bool isMounted() const
    {
        QFile mounts("/proc/self/mounts");
        if (!mounts.open(QIODevice::ReadOnly))
            return false;
        return mounts.readAll().contains(' ' + m_mount.toUtf8() + ' ');
    }

    // A fresh folder on the mounted volume for each test.
    QString freshFolder()
    {
        const QString path = m_mount + QStringLiteral("/t%1").arg(++m_folderNo);
        if (!QDir().mkpath(path))
            return {};
        return path;
    }

    // Every name, dot-names included, straight from the directory.
    static QStringList rawNames(const QString& folder)
    {
        QStringList names;
        if (DIR* dir = ::opendir(folder.toUtf8().constData())) {
            while (const dirent* e = ::readdir(dir))
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    names << QString::fromUtf8(e->d_name);
            ::closedir(dir);
        }
        names.sort();
        return names;
    }

    static void makeFile(const QString& path, const QByteArray& content)
    {
        QFile f(path);
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
        f.write(content);
    }

    static QByteArray contentOf(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to mount a file system");
        if (!QFileInfo::exists("/dev/fuse"))
            QSKIP("no /dev/fuse");
        const QString mkfs = tool("mkfs.exfat"), mountExfat = tool("mount.exfat-fuse"),
                      losetup = tool("losetup");
        if (mkfs.isEmpty() || mountExfat.isEmpty() || losetup.isEmpty())
            QSKIP("exFAT tools (exfatprogs, exfat-fuse) or losetup missing");
        QVERIFY(m_work.isValid());

        const QString image = m_work.filePath("volume.img");
        {
            QFile img(image);
            QVERIFY(img.open(QIODevice::WriteOnly));
            QVERIFY(img.resize(8 * 1024 * 1024));
        }
        if (!run(mkfs, {image}))
            QSKIP("mkfs.exfat failed");
        if (!run(losetup, {"-f", "--show", image}, &m_loop) || m_loop.isEmpty())
            QSKIP("no free loop device");
        m_mount = m_work.filePath("mnt");
        QVERIFY(QDir().mkdir(m_mount));
        if (!run(mountExfat, {m_loop, m_mount})) {
            run(losetup, {"-d", m_loop});
            m_loop.clear();
            QSKIP("the exFAT volume could not be mounted");
        }
        QTRY_VERIFY_WITH_TIMEOUT(isMounted(), 10000);
        m_mounted = true;
    }

    void cleanupTestCase()
    {
        if (m_mounted) {
            if (!run(tool("umount"), {m_mount}))
                run(tool("fusermount3"), {"-u", m_mount});
            QTRY_VERIFY_WITH_TIMEOUT(!isMounted(), 10000);
        }
        if (!m_loop.isEmpty())
            run(tool("losetup"), {"-d", m_loop});
    }

    void caseOnlyRenameOfAFile()
    {
        const QString d = freshFolder();
        makeFile(d + "/HOLIDAY PHOTO.JPG", "jpeg");
        QVERIFY(fs.rename(d + "/HOLIDAY PHOTO.JPG", d + "/Holiday Photo.jpg"));
        QCOMPARE(rawNames(d), QStringList{"Holiday Photo.jpg"});
        QCOMPARE(contentOf(d + "/Holiday Photo.jpg"), QByteArray("jpeg"));
    }

    void caseOnlyRenameOfAFolder()
    {
        const QString d = freshFolder();
        QVERIFY(QDir().mkpath(d + "/OLD STUFF/inner"));
        makeFile(d + "/OLD STUFF/inner/f.txt", "deep");
        QVERIFY(fs.rename(d + "/OLD STUFF", d + "/Old Stuff"));
        QCOMPARE(rawNames(d), QStringList{"Old Stuff"});
        QCOMPARE(contentOf(d + "/Old Stuff/inner/f.txt"), QByteArray("deep"));
    }

    void identicalNameIsAccepted()
    {
        const QString d = freshFolder();
        makeFile(d + "/same.txt", "x");
        QVERIFY(fs.rename(d + "/same.txt", d + "/same.txt"));
        QCOMPARE(rawNames(d), QStringList{"same.txt"});
    }

    void ordinaryRenameWithoutTheNoReplaceFlag()
    {
        const QString d = freshFolder();
        makeFile(d + "/one.txt", "1");
        QVERIFY(QDir().mkdir(d + "/folder"));
        QVERIFY(fs.rename(d + "/one.txt", d + "/two.txt"));
        QVERIFY(fs.rename(d + "/folder", d + "/other"));
        QCOMPARE(rawNames(d), (QStringList{"other", "two.txt"}));
        QCOMPARE(contentOf(d + "/two.txt"), QByteArray("1"));
    }

    void anotherEntryIsNeverReplaced_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("other");
        QTest::newRow("exact name") << "A.TXT" << "B.TXT" << "B.TXT";
        QTest::newRow("other case of another file") << "A.TXT" << "b.txt" << "B.TXT";
    }

    void anotherEntryIsNeverReplaced()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, other);
        const QString d = freshFolder();
        makeFile(d + "/" + from, "first");
        makeFile(d + "/" + other, "second");
        QVERIFY(!fs.rename(d + "/" + from, d + "/" + to));
        QCOMPARE(rawNames(d), (QStringList{from, other}));
        QCOMPARE(contentOf(d + "/" + from), QByteArray("first"));
        QCOMPARE(contentOf(d + "/" + other), QByteArray("second"));
    }

    void aFolderIsNeverReplaced()
    {
        const QString d = freshFolder();
        QVERIFY(QDir().mkdir(d + "/A"));
        QVERIFY(QDir().mkdir(d + "/B"));
        QVERIFY(!fs.rename(d + "/A", d + "/b"));
        QCOMPARE(rawNames(d), (QStringList{"A", "B"}));
    }
};

QTEST_GUILESS_MAIN(TestCaseInsensitiveRename)
#include "test_case_insensitive_rename.moc"
