#include "platform/FileSystem.h"
#include "platform/NameCodec.h"
#include "platform/SystemFolders.h"
#include "platform/Volumes.h"
#include "tests/support/TempTree.h"

#include <QRandomGenerator>
#include <QTest>

#include <cerrno>
#include <sys/mount.h>

using namespace orvel;

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

// Names as bytes, and the listing and typing of real entries. Renames of real entries
// are exercised through RenameFile in the engine tests, and on a case-ignoring volume
// next door.
class TestFileSystem : public QObject {
    Q_OBJECT

    FileSystem& fs = hostFileSystem();
    orvel::test::TempDir m_dir;
    const QString d = m_dir.path();

    // One letter per type, in declaration order: Missing, File, Folder, FolderLink, Other.
    static QChar letter(EntryType t) { return QStringLiteral("MFDLO")[int(t)]; }

private Q_SLOTS:
    // Every system entry is named *.txt, so that only its type keeps it out.
    void initTestCase()
    {
        QVERIFY(orvel::test::makeTree(d,
                                      {"a.txt=", "B.TXT=", "c.doc=", ".hidden.txt=", ".hiddenFolder/", "sub.txt/",
                                       "fileLink->a.txt", "folderLink->sub.txt", "dangling.txt->nowhere",
                                       orvel::DecodeName("LATIN1 \xc9T\xc9.TXT=")}));
        QCOMPARE(::mknod(QFile::encodeName(d + "/fifo.txt").constData(), S_IFIFO | 0600, 0), 0);
        QCOMPARE(::mknod(QFile::encodeName(d + "/sock.txt").constData(), S_IFSOCK | 0600, 0), 0);
    }

    void list_data()
    {
        QTest::addColumn<bool>("withFolders");
        QTest::addColumn<QStringList>("expected"); // name:type, sorted
        // A name that is not UTF-8 keeps its bytes.
        const QStringList files{"B.TXT:F", orvel::DecodeName("LATIN1 \xc9T\xc9.TXT:F"), "a.txt:F", "c.doc:F",
                                "fileLink:F"};
        QTest::newRow("files") << false << files;
        QTest::newRow("with folders") << true << files + QStringList{"folderLink:L", "sub.txt:D"};
    }

    void list()
    {
        QFETCH(bool, withFolders);
        QFETCH(QStringList, expected);
        const auto listed = fs.list(d, withFolders);
        QVERIFY(listed);
        QStringList names;
        for (const DirEntry& e : *listed)
            names << e.name + ':' + letter(e.type);
        names.sort();
        QCOMPARE(names, expected);
        QVERIFY(!fs.list(d + "/nothing", withFolders));
        QVERIFY(!fs.list(d + "/a.txt", withFolders));
        // A listing cut short by a read error is no listing at all.
        g_readsBeforeFailure = 4;
        const auto cut = fs.list(d, withFolders);
        g_readsBeforeFailure = -1;
        QVERIFY(!cut);
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
        QCOMPARE(fs.openSubFolder(top, "sub.txt").path(), d + "/sub.txt");
        // A handle given another folder lets go of the one it held.
        const auto open = [] { return QDir("/proc/self/fd").count(); };
        const qsizetype before = open();
        FolderHandle moved = fs.openFolder(d);
        moved = fs.openSubFolder(top, "sub.txt");
        QCOMPARE(open(), before + 1);
    }

    // A case-only rename through a temporary name: the old name comes back when the
    // second step fails. The hidden name is short and the program's own: nothing of the
    // names it stands for is in it.
    void twoStepRename()
    {
        QStringList steps;
        const auto move = [&](int failAt) {
            return [&steps, failAt](const QByteArray& from, const QByteArray& to) {
                steps << QString::fromUtf8(from + '>' + to);
                return steps.size() == failAt ? EACCES : 0;
            };
        };
        QCOMPARE(RenameThroughTemporary("A.TXT", "a.txt", ".orvel~t", move(0)), 0);
        QCOMPARE(steps, (QStringList{"A.TXT>.orvel~t", ".orvel~t>a.txt"}));
        steps.clear();
        QCOMPARE(RenameThroughTemporary("A.TXT", "a.txt", ".orvel~t", move(2)), EACCES);
        QCOMPARE(steps.last(), QStringLiteral(".orvel~t>A.TXT")); // put back
        steps.clear();
        QCOMPARE(RenameThroughTemporary("A.TXT", "a.txt", ".orvel~t", move(1)), EACCES);
        QCOMPARE(steps.size(), 1); // nothing moved, nothing to put back

        const QByteArray made = NewTemporaryName();
        QVERIFY(IsTemporaryName(made) && made.size() < 32 && made != NewTemporaryName());
        QVERIFY(!IsTemporaryName(".orvel~notes.txt"));
    }

    // Listing only reads: hidden entries that look like an interrupted rename (files, a
    // folder, a link, also in the old form that carried the name) stay as they are. The
    // number it gives a file, where it gives one, is the one identify() gives.
    void listingChangesNothing()
    {
        orvel::test::TempDir dir;
        const QString tag = QString::fromLatin1(NewTemporaryName());
        QVERIFY(orvel::test::makeTree(dir.path(),
                                      {".orvel-rename~.bashrc=rc", ".orvel-rename~notes.txt=n",
                                       ".orvel-rename~Secret DIR/f=", tag + "=x", "plain.txt="}));
        QVERIFY(QFile::link("plain.txt", dir.filePath(".orvel-rename~shadow link")));
        const QStringList before = orvel::test::readTree(dir.path());
        QStringList listed;
        quint64 serial = 0;
        const FolderHandle folder = fs.openFolder(dir.path());
        const Listing listing = fs.listFolder(folder, [&](const QString& name, EntryType t, quint64 number) {
            listed << name + ':' + letter(t);
            serial = number;
        });
        QCOMPARE(listing.error, 0);
        QCOMPARE(listed, QStringList{"plain.txt:F"});
        EntryIdentity id;
        QCOMPARE(fs.identify(folder, "plain.txt", &id), 0);
        QVERIFY2(serial == 0 || serial == id.inode, qPrintable(QString::number(serial)));
        QCOMPARE(orvel::test::readTree(dir.path()), before);
    }

    // Two names of one file (hard links) differ only in case where case counts: they are
    // two entries, and the rename fails at once, with no temporary name ever made.
    void hardLinksAreTwoEntries()
    {
        orvel::test::TempDir dir;
        QVERIFY(orvel::test::makeTree(dir.path(), {"README=text"}));
        QVERIFY(::link(QFile::encodeName(dir.filePath("README")), QFile::encodeName(dir.filePath("readme"))) == 0);
        int notices = 0;
        const FolderHandle folder = fs.openFolder(dir.path());
        QCOMPARE(fs.renameIn(folder, "README", "readme", [&](const QString&) { ++notices; }), EEXIST);
        QCOMPARE(notices, 0);
        QCOMPARE(orvel::test::readTree(dir.path()), (QStringList{"README=text", "readme=text"}));
    }

    // A working folder longer than the first buffer the system is asked to fill.
    void deepWorkingFolder()
    {
        const QByteArray start = QFile::encodeName(QDir::currentPath()), name(200, 'x');
        QVERIFY(::chdir(QFile::encodeName(d).constData()) == 0);
        QString deep = d;
        int levels = 0;
        while (levels < 25 && ::mkdir(name, 0700) == 0 && ::chdir(name) == 0)
            deep += '/' + QString(name), ++levels;
        const QString found = CurrentFolder();
        for (; levels > 0 && ::chdir("..") == 0; --levels)
            ::rmdir(name);
        QVERIFY(::chdir(start.constData()) == 0);
        QCOMPARE(deep.size(), d.size() + 25 * 201);
        QCOMPARE(found, deep);
    }

    // Where a run is asked about by its path: in the root or a system folder, or its own
    // name in the root; as written (a separator at its end or not) and with links resolved.
    void systemFoldersByPath()
    {
        const orvel::test::TempDir dir;
        QVERIFY(::symlink("/usr/share", QFile::encodeName(dir.filePath("shared")).constData()) == 0);
        QString asked;
        for (const auto& [folder, itself] : {std::pair{"/", false},
                                             {"/usr/share/", false},
                                             {"/lib64x", false},
                                             {"/home", true},
                                             {"/home", false},
                                             {"/home/u", true},
                                             {"/optical", false}})
            asked += RenamesSystemEntries(folder, itself) ? u'1' : u'0';
        QCOMPARE(asked + (RenamesSystemEntries(dir.filePath("shared"), false) ? "+" : "-"), QStringLiteral("1111000+"));
    }

    // Volumes mounted while the program runs are offered, in order; runtime state under
    // /run is not, and does not hide the volumes mounted after it.
    void hostVolumes()
    {
        const QString runtime = "/run/orvel-test-" + QString::number(::getpid()), real = d + "/vol b",
                      other = d + "/vol a";
        QVERIFY(QDir().mkpath(real) && QDir().mkpath(other));
        if (!QDir().mkpath(runtime) || ::mount("none", QFile::encodeName(runtime).constData(), "tmpfs", 0, nullptr)) {
            QDir().rmdir(runtime);
            QSKIP("mounting needs root");
        }
        const int mounted = ::mount("none", QFile::encodeName(real).constData(), "tmpfs", 0, nullptr)
            | ::mount("none", QFile::encodeName(other).constData(), "tmpfs", 0, nullptr);
        const QStringList listed = orvel::hostVolumes().mountPoints();
        ::umount(QFile::encodeName(real).constData());
        ::umount(QFile::encodeName(other).constData());
        ::umount(QFile::encodeName(runtime).constData());
        QDir().rmdir(runtime);
        QCOMPARE(mounted, 0);
        QVERIFY(listed.contains(real));
        QVERIFY(!listed.contains(runtime));
        QVERIFY(listed.indexOf(other) == listed.indexOf(real) - 1); // sorted, not in the order mounted
    }

    void decodeAndEncode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const QByteArray& b, QStringView t) {
            QTest::newRow(name) << b << t.toString();
        };
        row("ascii", "Holiday PICTURE.JPG", u"Holiday PICTURE.JPG");
        row("byte-order mark alone", "\xEF\xBB\xBF", u"\xFEFF");
        row("literal replacement mark", "a\xEF\xBF\xBD", u"a\xFFFD");
        row("latin-1", "R\xe9SUM\xe9.DOC", u"R\xDCE9SUM\xDCE9.DOC");
        row("lone ff", "\xff", u"\xDCFF");
        row("truncated", "\xE2\x82\x41", u"\xDCE2\xDC82\x41");
        row("truncated at the end", "x\xF0\x9F\x98", u"x\xDCF0\xDC9F\xDC98");
        row("overlong nul", "\xC0\x80", u"\xDCC0\xDC80");
        row("overlong three-byte", "\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF");
        row("encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80");
        row("encoded escape look-alike", "\xED\xB3\xA9", u"\xDCED\xDCB3\xDCA9");
        row("past U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80");
        row("last code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF");
        row("two- and three-byte", "caf\xC3\xA9 \xE2\x82\xAC", u"caf\x00E9 \x20AC");
        row("emoji", "\xF0\x9F\x98\x80.txt", u"\xD83D\xDE00.txt");
    }
    void decodeAndEncode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(DecodeName(bytes), text);
        QCOMPARE(EncodeName(text), bytes);
    }

    // Random byte strings, weighted towards the bytes that start and continue UTF-8
    // sequences so that valid and broken sequences both turn up often.
    void roundTripOfRandomBytes()
    {
        QRandomGenerator random(20240611);
        const QByteArray pieces[] = {"a",        "/",    "\x80",         "\xBF", "\xC3", "\xE2\x82",
                                     "\xF0\x9F", "\xED", "\xEF\xBB\xBF", "\xF4", "\x90", "\xC0",
                                     "\xFF",     "\xE0", "\xA0",         "\xF0"};
        int valid = 0;
        for (int n = 0; n < 4000; ++n) {
            QByteArray b;
            for (int k = random.bounded(12); k > 0; --k)
                b += random.bounded(3) ? pieces[random.bounded(16)] : QByteArray(1, char(random.bounded(256)));
            const QString text = DecodeName(b);
            QCOMPARE(EncodeName(text), b);
            // Where Qt's own decoder accepts the bytes, both read them alike (Qt drops
            // a leading byte-order mark, which is why it is not used for names).
            if (QByteArrayView(b).isValidUtf8() && !b.startsWith("\xEF\xBB\xBF")) {
                ++valid;
                QCOMPARE(text, QString::fromUtf8(b));
            }
        }
        QVERIFY2(valid > 400, qPrintable(QString::number(valid)));
        // Surrogates that decoding never makes are written as a replacement mark.
        QCOMPARE(EncodeName(u"\xD800\x61\xDC7F\xDCE9\xD83D"),
                 QByteArray("\xEF\xBF\xBD\x61\xEF\xBF\xBD\xE9\xEF\xBF\xBD"));
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "test_filesystem.moc"