// Real entries listed, typed, entered and renamed in two steps; the system folders and volumes a run asks about.

#include "platform/FileSystem.h"
#include "platform/NameCodec.h"
#include "platform/SystemFolders.h"
#include "platform/Volumes.h"
#include "tests/support/TempTree.h"

#include <QTest>

#include <cerrno>
#include <sys/mount.h>

using namespace orvel;
using namespace orvel::test;

// The system's readdir, wrapped at link time so that a test can make a listing fail part
// way, as a failing disk or network would.
extern "C" {
struct dirent* __real_readdir(DIR* dir); // NOLINT(bugprone-reserved-identifier): the linker's name
static int g_readsBeforeFailure = -1; // -1: never fail
struct dirent* __wrap_readdir(DIR* dir) // NOLINT(bugprone-reserved-identifier)
{
    if (g_readsBeforeFailure == 0) {
        errno = EIO;
        return nullptr;
    }
    if (g_readsBeforeFailure > 0)
        --g_readsBeforeFailure;
    return __real_readdir(dir);
}
}

class TestFileSystem : public QObject {
    Q_OBJECT

    FileSystem& fs = hostFileSystem();
    TempDir m_dir;
    const QString d = m_dir.path();

    // One letter per type, in declaration order: Missing, File, Folder, FolderLink, Other.
    static QChar letter(EntryType t) { return QStringLiteral("MFDLO")[int(t)]; }

private Q_SLOTS:
    // Every system entry is named *.txt, so that only its type keeps it out. The hidden
    // entries look like an interrupted rename: files, a folder, a link, also in the old
    // form that carried the name.
    void initTestCase()
    {
        QVERIFY(makeTree(d,
                         {"a.txt=", "B.TXT=", "c.doc=", ".hidden.txt=", ".hiddenFolder/", "sub.txt/", "fileLink->a.txt",
                          "folderLink->sub.txt", "dangling.txt->nowhere", DecodeName("LATIN1 \xc9T\xc9.TXT="),
                          ".orvel-rename~.bashrc=rc", ".orvel-rename~Secret DIR/f=", ".orvel-rename~shadow link->a.txt",
                          QString::fromLatin1(NewTemporaryName()) + "=x"}));
        QCOMPARE(::mknod(QFile::encodeName(d + "/fifo.txt").constData(), S_IFIFO | 0600, 0), 0);
        QCOMPARE(::mknod(QFile::encodeName(d + "/sock.txt").constData(), S_IFSOCK | 0600, 0), 0);
    }

    // A listing with folders or of files only; a name that is not UTF-8 keeps its bytes. A
    // folder that cannot be opened, or read to its end, gives no listing at all. Listing
    // only reads: nothing on disk changes. The number it gives a file, where it gives one,
    // is the one identify() gives.
    void list()
    {
        const QStringList before = readTree(d);
        const QString files = "B.TXT:F|" + DecodeName("LATIN1 \xc9T\xc9.TXT:F") + "|a.txt:F|c.doc:F|fileLink:F";
        for (const bool withFolders : {false, true}) {
            const auto listed = fs.list(d, withFolders);
            QVERIFY(listed);
            QStringList names;
            for (const DirEntry& e : *listed)
                names << e.name + ':' + letter(e.type);
            names.sort();
            QCOMPARE(names.join('|'), files + (withFolders ? "|folderLink:L|sub.txt:D" : ""));
        }
        QVERIFY(!fs.list(d + "/nothing", true) && !fs.list(d + "/a.txt", true));
        g_readsBeforeFailure = 4;
        const auto cut = fs.list(d, true);
        g_readsBeforeFailure = -1;
        QVERIFY(!cut);
        const FolderHandle folder = fs.openFolder(d);
        quint64 number = 0;
        EntryIdentity id;
        fs.listFolder(folder,
                      [&](const QString& name, EntryType, quint64 n) { number = name == "a.txt" ? n : number; });
        QVERIFY(fs.identify(folder, "a.txt", &id) == 0 && (number == 0 || number == id.inode));
        QCOMPARE(readTree(d), before);
    }

    void entryType()
    {
        QString types;
        for (const char* name : {"a.txt", "sub.txt", ".hiddenFolder", "fileLink", "folderLink", "fifo.txt", "sock.txt",
                                 "dangling.txt", "none"})
            types += letter(fs.entryType(d + '/' + name));
        QCOMPARE(types, QString("FDDFLOOOM"));
        QCOMPARE(fs.entryType(QString()), EntryType::Missing);
        QCOMPARE(fs.entryType(d + "/a.txt" + QChar(0) + "x"), EntryType::Missing); // never cut short at a NUL
    }

    // Sub-folders are entered without following a link, and names never step outside.
    void openSubFolder()
    {
        const FolderHandle top = fs.openFolder(d);
        QVERIFY(top.isOpen());
        QString opened;
        for (const char* name : {"sub.txt", "folderLink", "a.txt", "..", ".", "sub.txt/..", "none"}) {
            int error = 0;
            const FolderHandle h = fs.openSubFolder(top, name, &error);
            opened += h.isOpen() ? QStringLiteral("+") : QString::number(error) + ' ';
        }
        // A link is refused as not being a folder (ENOTDIR, ELOOP on some systems).
        QCOMPARE(opened, QStringLiteral("+%1 %1 %2 %2 %2 %3 ").arg(ENOTDIR).arg(EINVAL).arg(ENOENT));
        // A handle given another folder lets go of the one it held.
        const qsizetype before = QDir("/proc/self/fd").count();
        FolderHandle moved = fs.openFolder(d);
        moved = fs.openSubFolder(top, "sub.txt");
        QCOMPARE(QDir("/proc/self/fd").count(), before + 1);
        QCOMPARE(moved.path(), d + "/sub.txt");
    }

    // A case-only rename through a temporary name: the old name comes back when the
    // second step fails. The hidden name is short and the program's own: nothing of the
    // names it stands for is in it.
    void twoStepRename()
    {
        // The step that fails (0: none), what the rename returns, the steps taken.
        for (const auto& [failAt, error, taken] :
             {std::tuple{0, 0, " A>t t>a"}, {1, EACCES, " A>t"}, {2, EACCES, " A>t t>a t>A"}}) {
            QString steps;
            const auto move = [&steps, fail = failAt](const QByteArray& from, const QByteArray& to) {
                steps += ' ' + from + '>' + to;
                return steps.count('>') == fail ? EACCES : 0;
            };
            const int result = RenameThroughTemporary("A", "a", "t", move);
            QCOMPARE(QString::number(result) + ':' + steps, QString::number(error) + ':' + taken);
        }
        const QByteArray made = NewTemporaryName();
        QVERIFY(IsTemporaryName(made) && made.size() < 32 && made != NewTemporaryName());
        QVERIFY(!IsTemporaryName(".orvel~notes.txt"));
    }

    // Two names of one file (hard links) differ only in case where case counts: they are
    // two entries, and the rename fails at once, with no temporary name ever made.
    void hardLinksAreTwoEntries()
    {
        TempDir dir;
        QVERIFY(makeTree(dir.path(), {"README=text"}));
        QVERIFY(::link(QFile::encodeName(dir.filePath("README")), QFile::encodeName(dir.filePath("readme"))) == 0);
        bool noticed = false;
        const auto notice = [&](const QString&) { noticed = true; };
        QCOMPARE(fs.renameIn(fs.openFolder(dir.path()), "README", "readme", notice), EEXIST);
        QVERIFY(!noticed);
        QCOMPARE(readTree(dir.path()), (QStringList{"README=text", "readme=text"}));
    }

    // Where a run is asked about by its path: in the root or a system folder, or its own
    // name in the root; as written (a separator at its end or not) and with links resolved.
    void systemFoldersByPath()
    {
        const TempDir dir;
        QVERIFY(::symlink("/usr/share", QFile::encodeName(dir.filePath("shared")).constData()) == 0);
        // The folder, "+" where its own name is asked about too, and the answer.
        for (const QString& row : QStringList{"/ - 1", "/usr/share/ - 1", "/lib64x - 1", "/home + 1", "/home - 0",
                                              "/home/u + 0", "/optical - 0", dir.filePath("shared") + " - 1"}) {
            const QStringList words = row.split(' ');
            QVERIFY2(RenamesSystemEntries(words[0], words[1] == "+") == (words[2] == "1"), qPrintable(row));
        }
    }

    // Volumes mounted while the program runs are offered, sorted; runtime state under /run
    // is not, and does not hide the volumes mounted after it.
    void hostVolumes()
    {
        const QStringList points{"/run/orvel-test-" + QString::number(::getpid()), d + "/vol b", d + "/vol a"};
        int mounted = 0;
        for (const QString& point : points)
            mounted +=
                QDir().mkpath(point) && ::mount("none", QFile::encodeName(point).constData(), "tmpfs", 0, nullptr) == 0;
        const QStringList listed = orvel::hostVolumes().mountPoints();
        for (const QString& point : points)
            ::umount(QFile::encodeName(point).constData());
        QDir().rmdir(points[0]);
        if (mounted == 0)
            QSKIP("mounting needs root");
        QCOMPARE(mounted, 3);
        QVERIFY(!listed.contains(points[0]) && listed.contains(points[2]));
        QCOMPARE(listed.indexOf(points[1]), listed.indexOf(points[2]) + 1); // not in the order mounted
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "test_filesystem.moc"