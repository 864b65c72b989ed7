#include "engine/CancelRequested.h"
#include "engine/DirRecurse.h"
#include "platform/FileSystem.h"
#include "platform/Wildcard.h"
#include "tests/support/FaultyFileSystem.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvel;

namespace {

// A tree held in memory, keyed by the folder text exactly as a search asks for it.
class TreeFileSystem : public FileSystem {
public:
    QHash<QString, QList<DirEntry>> folders;

    std::optional<QList<DirEntry>> list(const QString& folder, const QString& pattern,
                                        bool withFolders) const override
    {
        const auto it = folders.find(folder);
        if (it == folders.end())
            return std::nullopt;
        const Wildcard wildcard(pattern);
        QList<DirEntry> out;
        for (const DirEntry& e : *it)
            if ((withFolders || e.type == EntryType::File) && wildcard.matches(e.name))
                out.append(e);
        return out;
    }
    EntryType entryType(const QString&) const override { return EntryType::Missing; }
    bool rename(const QString&, const QString&) override { return false; }
};

void makeFile(const QString& path)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
}

// The visible entries of a folder in the order the directory gives them, read
// without the code under test.
QStringList rawEntries(const QString& folder, bool folders)
{
    QStringList names;
    DIR* dir = ::opendir(folder.toUtf8().constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        struct stat st;
        if (::lstat((folder + "/" + QString::fromUtf8(e->d_name)).toUtf8().constData(), &st) != 0)
            continue;
        if (folders ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode))
            names << QString::fromUtf8(e->d_name);
    }
    ::closedir(dir);
    return names;
}

QStringList expectedFolders(const QString& folder)
{
    QStringList out{folder};
    for (const QString& name : rawEntries(folder, true))
        out += expectedFolders(folder + "/" + name);
    return out;
}

QStringList expectedFiles(const QString& folder, const QString& suffix = {})
{
    QStringList out;
    for (const QString& name : rawEntries(folder, false))
        if (name.endsWith(suffix))
            out << folder + "/" + name;
    for (const QString& name : rawEntries(folder, true))
        out += expectedFiles(folder + "/" + name, suffix);
    return out;
}

} // namespace

class TestDirRecurse : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_top;
    FileSystem& host = hostFileSystem();

private slots:
    // Top holds A (holding A1) and B, files of two kinds, and the things a walk
    // must leave alone: hidden entries, a FIFO, a link to a folder and a link loop.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_top = m_dir.path() + "/Top";
        QDir d;
        QVERIFY(d.mkpath(m_top + "/A/A1"));
        QVERIFY(d.mkpath(m_top + "/B"));
        QVERIFY(d.mkpath(m_top + "/.git/objects"));
        for (const char* f : {"t1.txt", "t2.doc", "t3.txt", "T4.TXT", "notes", ".hidden.txt", "A/a.txt",
                              "A/a.doc", "A/A1/deep.txt", "B/b.doc", ".git/objects/o.txt", "B/.hid"})
            makeFile(m_top + "/" + f);
        QCOMPARE(::mkfifo((m_top + "/pipe.txt").toUtf8().constData(), 0600), 0);
        QCOMPARE(::symlink("..", (m_top + "/A/up").toUtf8().constData()), 0);
        QCOMPARE(::symlink("A", (m_top + "/linkToA").toUtf8().constData()), 0);
        QCOMPARE(::symlink("nowhere", (m_top + "/dangling.txt").toUtf8().constData()), 0);
    }

    void init() { CancelRequested = false; }
    void cleanup() { CancelRequested = false; }

    void normalizePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("expected");
        QTest::newRow("win: trailing backslash") << R"(C:\Data\)" << true << R"(C:\Data)";
        QTest::newRow("win: root to designator") << R"(C:\)" << true << "C:";
        QTest::newRow("win: doubled inside") << R"(C:\Data\\Sub\\)" << true << R"(C:\Data\Sub)";
        QTest::newRow("win: forward slashes") << "C:/Data/Sub/" << true << R"(C:\Data\Sub\)";
        QTest::newRow("win: network path") << R"(\\server\share\)" << true << R"(\\server\share)";
        QTest::newRow("win: three become two") << R"(C:\a\\\b)" << true << R"(C:\a\\b)";
        QTest::newRow("win: two characters") << "ab" << true << "ab";
        QTest::newRow("win: designator") << "C:" << true << "C:";
        QTest::newRow("win: empty") << "" << true << "";

        QTest::newRow("posix: trailing slash") << "/data/" << false << "/data";
        QTest::newRow("posix: root to empty designator") << "/" << false << "";
        QTest::newRow("posix: doubled inside") << "/data//sub//" << false << "/data/sub";
        QTest::newRow("posix: backslash is a name character") << "/data\\sub\\" << false << "/data\\sub\\";
        QTest::newRow("posix: leading pair folds") << "//server/share/" << false << "/server/share";
        QTest::newRow("posix: three become two") << "/a///b" << false << "/a//b";
        QTest::newRow("posix: relative") << "ab" << false << "ab";
        QTest::newRow("posix: only slashes") << "///" << false << "";
        QTest::newRow("posix: empty") << "" << false << "";
    }

    void normalizePath()
    {
        QFETCH(QString, path);
        QFETCH(bool, windows);
        QFETCH(QString, expected);
        QCOMPARE(NormalizePath(path, windows ? PathSyntax::windows() : PathSyntax::posix()), expected);
    }

    void findFoldersIsPreOrderWithoutHiddenOrLinks()
    {
        QStringList result{"kept"};
        FindFolders(result, m_top + "/", host);
        QCOMPARE(result, QStringList{"kept"} + expectedFolders(m_top));
        // Whatever the directory order, A1 follows A directly and nothing else is there.
        QCOMPARE(result.size(), 5);
        QCOMPARE(result.indexOf(m_top + "/A/A1"), result.indexOf(m_top + "/A") + 1);
        QCOMPARE(QSet<QString>(result.begin(), result.end()),
                 (QSet<QString>{"kept", m_top, m_top + "/A", m_top + "/A/A1", m_top + "/B"}));
    }

    void findFilesRecursiveIsPreOrder()
    {
        QStringList result;
        FindFilesRecursive(result, m_top, "*.*", host);
        QCOMPARE(result, expectedFiles(m_top));
        QCOMPARE(result.size(), 9); // 5 in Top (no FIFO, hidden file or dangling link), 2 + 1 + 1 below
    }

    void findFilesTakesThePatternItemsInTurn()
    {
        QStringList result;
        FindFiles(result, m_top, "*.txt;*.doc", host);
        QStringList expected; // every .txt (any case), then every .doc
        for (const QString& n : rawEntries(m_top, false))
            if (n.endsWith(".txt", Qt::CaseInsensitive))
                expected << m_top + "/" + n;
        for (const QString& n : rawEntries(m_top, false))
            if (n.endsWith(".doc"))
                expected << m_top + "/" + n;
        QCOMPARE(result, expected);
        QCOMPARE(result.size(), 4);
    }

    void patternItems_data()
    {
        QTest::addColumn<QString>("patterns");
        QTest::addColumn<int>("count");
        QTest::newRow("twice when both match") << "*.txt;*.TXT" << 6;
        QTest::newRow("empty item matches nothing") << "*.doc;" << 1;
        QTest::newRow("empty list") << "" << 0;
        QTest::newRow("blank is no trim") << " *.doc" << 0;
        QTest::newRow("no dot, with dot-star") << "no*.*" << 1;
    }

    void patternItems()
    {
        QFETCH(QString, patterns);
        QFETCH(int, count);
        QStringList result;
        FindFiles(result, m_top, patterns, host);
        QCOMPARE(result.size(), count);
    }

    void alreadyCancelled()
    {
        CancelRequested = true;
        QStringList folders, files, single;
        FindFolders(folders, m_top, host);
        FindFilesRecursive(files, m_top, "*.*", host);
        FindFiles(single, m_top, "*.*", host);
        QCOMPARE(folders, QStringList{m_top});
        QVERIFY(files.isEmpty());
        QVERIFY(single.isEmpty());
    }

    void cancelHeardAtTheFirstYield()
    {
        QStringList folders;
        QTimer::singleShot(0, [] { CancelRequested = true; });
        FindFolders(folders, m_top, host);
        QCOMPARE(folders, QStringList{m_top});

        CancelRequested = false;
        QStringList files;
        QTimer::singleShot(0, [] { CancelRequested = true; });
        FindFilesRecursive(files, m_top, "*.*", host);
        QCOMPARE(files, QStringList(expectedFiles(m_top).mid(0, 5)));
    }

    void cancelMidWalkKeepsWhatWasFound()
    {
        FaultyFileSystem fs;
        fs.beforeList = [this](const QString& folder) {
            if (folder == m_top + "/A/")
                QTimer::singleShot(0, [] { CancelRequested = true; });
        };
        QStringList folders;
        FindFolders(folders, m_top, fs);
        // A's listing is done, A1 is appended, and its yield brings the cancel.
        const QStringList all = expectedFolders(m_top);
        QCOMPARE(folders, all.mid(0, all.indexOf(m_top + "/A/A1") + 1));
    }

    void unreadableFolderIsSkipped()
    {
        FaultyFileSystem fs;
        fs.failedListings.insert(m_top + "/A/");
        QStringList folders;
        FindFolders(folders, m_top, fs);
        QStringList expected = expectedFolders(m_top);
        expected.removeAll(m_top + "/A/A1");
        QCOMPARE(folders, expected);

        QStringList files;
        FindFilesRecursive(files, m_top, "*.*", fs);
        QStringList expectedFileList = expectedFiles(m_top);
        expectedFileList.removeIf([this](const QString& p) { return p.startsWith(m_top + "/A/"); });
        QCOMPARE(files, expectedFileList);
    }

    void yieldsOncePerFolderAtItsPlace()
    {
        FaultyFileSystem fs;
        QStringList log;
        fs.beforeList = [&log](const QString& folder) { log << "list " + folder; };
        const auto connection = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                                        this, [&log] { log << "yield"; });

        QStringList result;
        FindFolders(result, m_top, fs);
        QStringList expected;
        for (const QString& folder : expectedFolders(m_top))
            expected << "yield" << "list " + folder + "/";
        QCOMPARE(log, expected);

        log.clear();
        result.clear();
        FindFilesRecursive(result, m_top, "*.txt;*.doc", fs);
        expected.clear();
        for (const QString& folder : expectedFolders(m_top))
            expected << "list " + folder + "/" << "list " + folder + "/" << "yield" << "list " + folder + "/";
        QCOMPARE(log, expected);

        log.clear();
        FindFiles(result, m_top, "*.*", fs);
        QCOMPARE(log, QStringList{"list " + m_top + "/"});
        disconnect(connection);
    }

    void walkFromARoot_data()
    {
        QTest::addColumn<bool>("windows");
        QTest::newRow("windows") << true;
        QTest::newRow("posix") << false;
    }

    void walkFromARoot()
    {
        QFETCH(bool, windows);
        const PathSyntax syntax = windows ? PathSyntax::windows() : PathSyntax::posix();
        const QString root = windows ? R"(C:\)" : "/";
        const QString sep = syntax.separator;
        TreeFileSystem fs;
        fs.folders[root] = {{"Sub", EntryType::Folder}, {"boot.ini", EntryType::File}};
        fs.folders[root + "Sub" + sep] = {{"Inner", EntryType::Folder}, {"x.txt", EntryType::File}};
        fs.folders[root + "Sub" + sep + "Inner" + sep] = {};

        QStringList folders;
        FindFolders(folders, root, fs, syntax);
        const QString designator = windows ? "C:" : "";
        QCOMPARE(folders, (QStringList{designator, root + "Sub", root + "Sub" + sep + "Inner"}));

        QStringList files;
        FindFilesRecursive(files, root, "*.*", fs, syntax);
        QCOMPARE(files, (QStringList{root + "boot.ini", root + "Sub" + sep + "x.txt"}));
    }

    void entryVanishingMidWalkIsSkipped()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.path() + "/T/gone/deeper"));
        QVERIFY(QDir().mkpath(dir.path() + "/T/stays"));
        makeFile(dir.path() + "/T/stays/f.txt");
        FaultyFileSystem fs;
        fs.beforeList = [&dir](const QString& folder) {
            if (folder == dir.path() + "/T/gone/")
                QDir(dir.path() + "/T/gone").removeRecursively();
        };
        QStringList folders, files;
        FindFolders(folders, dir.path() + "/T", fs);
        QCOMPARE(folders.size(), 3); // T, gone (found before it went), stays
        QVERIFY(folders.contains(dir.path() + "/T/stays"));
        QVERIFY(!folders.contains(dir.path() + "/T/gone/deeper"));
        FindFilesRecursive(files, dir.path() + "/T", "*.*", fs);
        QCOMPARE(files, QStringList{dir.path() + "/T/stays/f.txt"});
    }
};

QTEST_GUILESS_MAIN(TestDirRecurse)
#include "test_dir_recurse.moc"
