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
// way, as a failing disk or network would: once, after the given number of reads.
extern "C" {
struct dirent* __real_readdir(DIR* dir); // NOLINT(bugprone-reserved-identifier): the linker's name
static int g_readsBeforeFailure = -1; // -1: never fail
struct dirent* __wrap_readdir(DIR* dir) // NOLINT(bugprone-reserved-identifier)
{
    if (g_readsBeforeFailure >= 0 && g_readsBeforeFailure-- == 0) {
        errno = EIO;
        return nullptr;
    }
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
                          "folderLink->sub.txt", "dangling.txt->nowhere", DecodeName("L\xc9T\xc9="),
                          ".orvel-rename~.bashrc=rc", ".orvel-rename~Secret DIR/f=", ".orvel-rename~shadow link->a.txt",
                          QString::fromLatin1(NewTemporaryName()) + "=x", "DOC=text"}));
        QCOMPARE(::link(QFile::encodeName(d + "/DOC"), QFile::encodeName(d + "/doc")), 0);
        QCOMPARE(::mknod(QFile::encodeName(d + "/fifo.txt").constData(), S_IFIFO | 0600, 0), 0);
    }

    // A listing with folders or of files only; a name that is not UTF-8 keeps its bytes. A
    // folder that cannot be opened, or read to its end, gives no listing at all. Listing
    // only reads: nothing on disk changes.
    void list()
    {
        const QStringList before = readTree(d);
        const QString files = "B.TXT:F|DOC:F|" + DecodeName("L\xc9T\xc9:F") + "|a.txt:F|c.doc:F|doc:F|fileLink:F";
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
        QVERIFY(!fs.list(d, true));
        QCOMPARE(readTree(d), before);
    }

    // What entryType() says of each entry; sub-folders are entered without following a link
    // (refused as not being a folder: ENOTDIR, ELOOP on some systems), and names never step
    // outside.
    void entryTypeAndSubFolders()
    {
        QString types, opened;
        for (const char* name :
             {"a.txt", "sub.txt", ".hiddenFolder", "fileLink", "folderLink", "fifo.txt", "dangling.txt", "none"})
            types += letter(fs.entryType(d + '/' + name));
        QCOMPARE(types, QString("FDDFLOOM"));
        QCOMPARE(fs.entryType(d + "/a.txt" + QChar(0) + "x"), EntryType::Missing); // never cut short at a NUL
        const FolderHandle top = fs.openFolder(d);
        for (const char* name : {"sub.txt", "folderLink", "a.txt", "..", ".", "sub.txt/..", "none"}) {
            int error = 0;
            opened += fs.openSubFolder(top, name, &error).isOpen() ? QStringLiteral("+") : QString::number(error) + ' ';
        }
        QCOMPARE(opened, QStringLiteral("+%1 %1 %2 %2 %2 %3 ").arg(ENOTDIR).arg(EINVAL).arg(ENOENT));
    }

    // A case-only rename through a temporary name: the old name comes back when the
    // second step fails. The hidden name is short and the program's own: nothing of the
    // names it stands for is in it. Two names of one file (hard links) that differ only in
    // case where case counts are two entries: that rename fails at once, with no temporary
    // name ever made.
    void caseOnlyRenames()
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
        bool noticed = false;
        QCOMPARE(fs.renameIn(fs.openFolder(d), "DOC", "doc", [&](QByteArrayView) { noticed = true; }), EEXIST);
        QVERIFY(!noticed && fs.entryType(d + "/DOC") == EntryType::File);
    }

    // Where a run is asked about by its path: in the root or a system folder, or its own
    // name in the root; as written (a separator at its end or not) and with links resolved.
    void systemFoldersByPath()
    {
        QVERIFY(::symlink("/usr/share", QFile::encodeName(d + "/shared").constData()) == 0);
        // The folder, "+" where its own name is asked about too, and the answer.
        for (const QString& row : QStringList{"/ - 1", "/usr/share/ - 1", "/lib64x - 1", "/home + 1", "/home - 0",
                                              "/home/u + 0", "/optical - 0", d + "/shared - 1"}) {
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
                QDir().mkpath(point) && !::mount("none", QFile::encodeName(point).constData(), "tmpfs", 0, nullptr);
        const QStringList listed = orvel::hostVolumes().mountPoints();
        for (const QString& point : points)
            ::umount(QFile::encodeName(point).constData());
        QDir().rmdir(points[0]);
        if (mounted < 3)
            QSKIP("mounting needs root");
        QVERIFY(!listed.contains(points[0]) && listed.contains(points[2]));
        QCOMPARE(listed.indexOf(points[1]), listed.indexOf(points[2]) + 1); // not in the order mounted
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "test_filesystem.moc"
