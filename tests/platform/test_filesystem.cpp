#include "platform/FileSystem.h"
#include "platform/Wildcard.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orvel;

namespace {

QByteArray bytes(const QString& path) { return path.toUtf8(); }

void makeFile(const QString& path, const QByteArray& content = {})
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(content);
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every name in the folder, dot-names and names that are not UTF-8 included
// (QDir skips those), sorted.
QStringList rawNames(const QString& folder)
{
    QStringList names;
    if (DIR* dir = ::opendir(bytes(folder).constData())) {
        while (const dirent* e = ::readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << QString::fromUtf8(e->d_name);
        ::closedir(dir);
    }
    names.sort();
    return names;
}

QSet<QString> namesOf(const std::optional<QList<DirEntry>>& entries)
{
    QSet<QString> names;
    if (entries)
        for (const DirEntry& e : *entries)
            names.insert(e.name);
    return names;
}

EntryType typeIn(const QList<DirEntry>& entries, const QString& name)
{
    for (const DirEntry& e : entries)
        if (e.name == name)
            return e.type;
    return EntryType::Missing;
}

bool makeSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray p = bytes(path);
    if (fd < 0 || size_t(p.size()) >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, p.constData(), size_t(p.size()));
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

struct stat statOf(const QString& path)
{
    struct stat st{};
    ::lstat(bytes(path).constData(), &st);
    return st;
}

} // namespace

class TestFileSystem : public QObject {
    Q_OBJECT

    FileSystem& fs = hostFileSystem();

private slots:
    void wildcard_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("star-dot-star, no dot") << "*.*" << "README" << true;
        QTest::newRow("star-dot-star, dot") << "*.*" << "a.b.c" << true;
        QTest::newRow("star") << "*" << ".x" << true;
        QTest::newRow("extension") << "*.txt" << "notes.txt" << true;
        QTest::newRow("extension ignores case") << "*.txt" << "NOTES.TxT" << true;
        QTest::newRow("extension, longer") << "*.txt" << "notes.txtx" << false;
        QTest::newRow("extension, other") << "*.txt" << "notes.doc" << false;
        QTest::newRow("question mark") << "?.doc" << "a.doc" << true;
        QTest::newRow("question mark, two") << "?.doc" << "ab.doc" << false;
        QTest::newRow("question mark, surrogate pair") << "?.doc" << QString("\U0001F600.doc") << true;
        QTest::newRow("star in the middle") << "a*z.txt" << "abcz.txt" << true;
        QTest::newRow("star needs a retry") << "*ab" << "aab" << true;
        QTest::newRow("dot-star also without dot") << "a*.*" << "abc" << true;
        QTest::newRow("dot-star, wrong start") << "a*.*" << "bc" << false;
        QTest::newRow("exact, other case") << "Report.DOC" << "report.doc" << true;
        QTest::newRow("non-ASCII ignores case") << "ÄRGER.*" << "ärger.txt" << true;
        QTest::newRow("empty matches nothing") << "" << "a" << false;
    }

    void wildcard()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(Wildcard(pattern).matches(name), matches);
    }

    void listShowsFilesAndFoldersOnlyAndNothingHidden()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        makeFile(d + "/a.txt");
        makeFile(d + "/.hidden");
        QVERIFY(QDir(d).mkdir(".hiddenFolder"));
        QVERIFY(QDir(d).mkdir("sub"));
        QCOMPARE(::mkfifo(bytes(d + "/fifo").constData(), 0600), 0);
        QVERIFY(makeSocket(d + "/sock"));
        QCOMPARE(::symlink("nowhere", bytes(d + "/dangling").constData()), 0);
        QCOMPARE(::symlink("a.txt", bytes(d + "/fileLink").constData()), 0);
        QCOMPARE(::symlink("sub", bytes(d + "/folderLink").constData()), 0);

        const auto files = fs.list(d, "*.*", false);
        QVERIFY(files);
        QCOMPARE(namesOf(files), (QSet<QString>{"a.txt", "fileLink"}));
        QCOMPARE(typeIn(*files, "fileLink"), EntryType::File);

        const auto all = fs.list(d, "*", true);
        QVERIFY(all);
        QCOMPARE(namesOf(all), (QSet<QString>{"a.txt", "fileLink", "sub", "folderLink"}));
        QCOMPARE(typeIn(*all, "sub"), EntryType::Folder);
        QCOMPARE(typeIn(*all, "folderLink"), EntryType::FolderLink);
        QCOMPARE(typeIn(*all, "a.txt"), EntryType::File);
    }

    void listKeepsTheDirectoryOrder()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 50; ++i)
            makeFile(dir.path() + QStringLiteral("/f%1").arg(i));
        QStringList expected; // readdir order, as the directory gives it
        QDir::Filters filters = QDir::Files;
        expected = QDir(dir.path()).entryList(filters, QDir::Unsorted);
        const auto listed = fs.list(dir.path(), "*", false);
        QVERIFY(listed);
        QStringList names;
        for (const DirEntry& e : *listed)
            names << e.name;
        QCOMPARE(names, expected);
    }

    void listMatchesThePatternWithoutCase()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/one.TXT");
        makeFile(dir.path() + "/two.txt");
        makeFile(dir.path() + "/three.doc");
        QVERIFY(QDir(dir.path()).mkdir("folder.txt"));
        QCOMPARE(namesOf(fs.list(dir.path(), "*.txt", false)), (QSet<QString>{"one.TXT", "two.txt"}));
        QCOMPARE(namesOf(fs.list(dir.path(), "*.txt", true)),
                 (QSet<QString>{"one.TXT", "two.txt", "folder.txt"}));
        const auto none = fs.list(dir.path(), "", false);
        QVERIFY(none);
        QVERIFY(none->isEmpty());
    }

    void listFailsOnMissingFolderOrFile()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/file");
        QVERIFY(!fs.list(dir.path() + "/nothing", "*", true));
        QVERIFY(!fs.list(dir.path() + "/file", "*", true));
        QVERIFY(!fs.list(QString(), "*", true));
    }

    void nonUtf8NameIsListedButNeverRenamed()
    {
        QTemporaryDir dir;
        const QByteArray raw = bytes(dir.path()) + "/bad\xff\xfeName.TXT";
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "keep", 4), ssize_t(4));
        ::close(fd);

        const auto listed = fs.list(dir.path(), "*.*", false);
        QVERIFY(listed);
        QCOMPARE(listed->size(), 1);
        const QString shown = listed->first().name;
        QVERIFY(shown.contains(QChar(QChar::ReplacementCharacter)));
        QVERIFY(shown.startsWith("bad") && shown.endsWith("Name.TXT"));

        const QString oldPath = dir.path() + "/" + shown;
        QVERIFY(!fs.rename(oldPath, dir.path() + "/" + shown.toLower()));
        QVERIFY(!fs.rename(oldPath, oldPath)); // not even "unchanged": it is not reachable
        struct stat st;
        QCOMPARE(::lstat(raw.constData(), &st), 0); // the real file is where it was
        QCOMPARE(rawNames(dir.path()).size(), 1);
        ::unlink(raw.constData()); // QTemporaryDir cannot see it to remove it
    }

    void entryTypes()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        makeFile(d + "/f");
        QVERIFY(QDir(d).mkdir("sub"));
        QCOMPARE(::mkfifo(bytes(d + "/fifo").constData(), 0600), 0);
        QCOMPARE(::symlink("nowhere", bytes(d + "/dangling").constData()), 0);
        QCOMPARE(::symlink("f", bytes(d + "/fileLink").constData()), 0);
        QCOMPARE(::symlink("sub", bytes(d + "/folderLink").constData()), 0);

        QCOMPARE(fs.entryType(d + "/f"), EntryType::File);
        QCOMPARE(fs.entryType(d + "/sub"), EntryType::Folder);
        QCOMPARE(fs.entryType(d + "/fifo"), EntryType::Other);
        QCOMPARE(fs.entryType(d + "/dangling"), EntryType::Other);
        QCOMPARE(fs.entryType(d + "/fileLink"), EntryType::File);
        QCOMPARE(fs.entryType(d + "/folderLink"), EntryType::FolderLink);
        QCOMPARE(fs.entryType(d + "/none"), EntryType::Missing);
        QCOMPARE(fs.entryType(QString()), EntryType::Missing);
    }

    void renameMovesAFile()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/Old Name.TXT", "payload");
        QVERIFY(fs.rename(dir.path() + "/Old Name.TXT", dir.path() + "/old name.txt"));
        QCOMPARE(rawNames(dir.path()), QStringList{"old name.txt"});
        QCOMPARE(contentOf(dir.path() + "/old name.txt"), QByteArray("payload"));
    }

    void renameOntoTheSamePathTouchesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/same.txt";
        makeFile(path, "x");
        struct timespec old[2] = {{1000000, 0}, {1000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, bytes(path).constData(), old, 0), 0);
        const struct stat before = statOf(path);

        QVERIFY(fs.rename(path, path));
        const struct stat after = statOf(path);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        // A rename, even onto itself, would update the change time.
        QCOMPARE(after.st_ctim.tv_sec, before.st_ctim.tv_sec);
        QCOMPARE(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    }

    void renameOfAMissingEntryFails()
    {
        QTemporaryDir dir;
        QVERIFY(!fs.rename(dir.path() + "/gone.txt", dir.path() + "/Gone.txt"));
        QVERIFY(!fs.rename(dir.path() + "/gone.txt", dir.path() + "/gone.txt"));
        QVERIFY(rawNames(dir.path()).isEmpty());
    }

    void renameNeverReplaces_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("case only, both exist") << "A.TXT" << "a.txt";
        QTest::newRow("other name exists") << "one.txt" << "two.txt";
    }

    void renameNeverReplaces()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QTemporaryDir dir;
        makeFile(dir.path() + "/" + from, "first");
        makeFile(dir.path() + "/" + to, "second");
        QVERIFY(!fs.rename(dir.path() + "/" + from, dir.path() + "/" + to));
        QCOMPARE(contentOf(dir.path() + "/" + from), QByteArray("first"));
        QCOMPARE(contentOf(dir.path() + "/" + to), QByteArray("second"));
        QCOMPARE(rawNames(dir.path()).size(), 2); // and no temporary name left behind
    }

    void renameNeverWritesThroughADanglingLink()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/a.txt", "data");
        QCOMPARE(::symlink("target.txt", bytes(dir.path() + "/b.txt").constData()), 0);
        QVERIFY(!fs.rename(dir.path() + "/a.txt", dir.path() + "/b.txt"));
        QVERIFY(!QFileInfo::exists(dir.path() + "/target.txt"));
        QCOMPARE(contentOf(dir.path() + "/a.txt"), QByteArray("data"));
    }

    void renameFolders()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("OLD stuff/inner"));
        makeFile(dir.path() + "/OLD stuff/inner/f.txt", "deep");
        QVERIFY(fs.rename(dir.path() + "/OLD stuff", dir.path() + "/Old Stuff"));
        QCOMPARE(contentOf(dir.path() + "/Old Stuff/inner/f.txt"), QByteArray("deep"));

        QVERIFY(QDir(dir.path()).mkdir("old stuff"));
        QVERIFY(!fs.rename(dir.path() + "/Old Stuff", dir.path() + "/old stuff"));
        QCOMPARE(contentOf(dir.path() + "/Old Stuff/inner/f.txt"), QByteArray("deep"));
    }

    void renameOfAFolderLinkMovesTheLinkOnly()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("REAL"));
        QCOMPARE(::symlink("REAL", bytes(dir.path() + "/LINK").constData()), 0);
        QVERIFY(fs.rename(dir.path() + "/LINK", dir.path() + "/link"));
        QCOMPARE(fs.entryType(dir.path() + "/link"), EntryType::FolderLink);
        QCOMPARE(fs.entryType(dir.path() + "/REAL"), EntryType::Folder);
    }

    void unrepresentableTargetsAreRefused()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/a");
        // A NUL would cut the name short at the system call.
        QVERIFY(!fs.rename(dir.path() + "/a", dir.path() + "/b" + QChar(0) + "c"));
        QVERIFY(!fs.rename(dir.path() + "/a", dir.path() + "/b" + QChar(QChar::ReplacementCharacter)));
        QCOMPARE(rawNames(dir.path()), QStringList{"a"});
    }

    void nameTooLongFailsCleanly()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/short", "s");
        QVERIFY(!fs.rename(dir.path() + "/short", dir.path() + "/" + QString(256, QLatin1Char('x'))));
        QCOMPARE(rawNames(dir.path()), QStringList{"short"});
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "test_filesystem.moc"
