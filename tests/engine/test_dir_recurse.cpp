#include "engine/CancelRequested.h"
#include "engine/DirRecurse.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempTree.h"

#include <QAbstractEventDispatcher>
#include <QTimer>
#include <QtTest>

#include <algorithm>

using namespace orvel;

namespace {

// The real test tree, listed in name order so that a walk's order is known. A walk
// from a root ("C:\" or "/") is served from the test tree as well.
class WalkFileSystem : public FaultyFileSystem {
public:
    QString top;

    std::optional<QList<DirEntry>> list(const QString& folder, const QString& pattern, bool withFolders) const override
    {
        QString real = folder.startsWith(top) ? folder : top + folder.mid(folder.startsWith("C:") ? 2 : 0);
        auto entries = FaultyFileSystem::list(real.replace('\\', '/'), pattern, withFolders);
        if (entries)
            std::sort(entries->begin(), entries->end(), [](auto& a, auto& b) { return a.name < b.name; });
        return entries;
    }
};

// `call`: "folders" for FindFolders, "files <patterns>" for FindFiles, "tree <patterns>" for FindFilesRecursive.
void row(const char* name, const char* call, const char* start, const char* fault, int yields,
         const QStringList& expected)
{
    QTest::newRow(name) << QString(call) << QString(start) << QString(fault) << yields << expected;
}

} // namespace

class TestDirRecurse : public QObject {
    Q_OBJECT

    orvel::test::TempDir m_dir;
    const QString m_top = m_dir.path() + "/Top";
    int m_yields = 0;

private slots:
    // Top holds A (holding A1) and B, files of two kinds, and what a walk must leave
    // alone: hidden entries, a FIFO, a dangling link, a link to a folder and a loop.
    void initTestCase()
    {
        QVERIFY(orvel::test::makeTree(m_top, {"t1.txt=", "b2.doc=", "T3.TXT=", "notes=", ".hidden.txt=", "A/a.txt=",
                                              "A/a.doc=", "A/A1/deep.txt=", "B/b.doc=", "B/.hid=", ".git/objects/o=",
                                              "A/up->..", "linkToA->A", "dangling.txt->nowhere"}));
        QCOMPARE(::mkfifo(QFile::encodeName(m_top + "/pipe.txt").constData(), 0600), 0);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this, [this] { ++m_yields; });
    }

    void normalizePath_data()
    {
        QTest::addColumn<QString>("path"); // in Windows syntax unless it starts with '/'
        QTest::addColumn<QString>("expected");
        QTest::newRow("win: trailing backslash") << R"(C:\Data\)" << R"(C:\Data)";
        QTest::newRow("win: root to designator") << R"(C:\)" << "C:";
        QTest::newRow("win: doubled inside") << R"(C:\Data\\Sub\\)" << R"(C:\Data\Sub)";
        QTest::newRow("win: forward slashes") << "C:/Data/Sub/" << R"(C:\Data\Sub\)";
        QTest::newRow("win: network path") << R"(\\server\share\)" << R"(\\server\share)";
        QTest::newRow("win: three become two") << R"(C:\a\\\b)" << R"(C:\a\\b)";
        QTest::newRow("win: designator") << "C:" << "C:";
        QTest::newRow("posix: trailing slash") << "/data/" << "/data";
        QTest::newRow("posix: root to empty designator") << "/" << "";
        QTest::newRow("posix: doubled inside") << "/data//sub//" << "/data/sub";
        QTest::newRow("posix: backslash is a name character") << "/data\\sub\\" << "/data\\sub\\";
        QTest::newRow("posix: leading pair folds") << "//server/share/" << "/server/share";
        QTest::newRow("posix: three become two") << "/a///b" << "/a//b";
    }

    void normalizePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(NormalizePath(path, path.startsWith('/') ? PathSyntax::posix() : PathSyntax::windows()), expected);
    }

    // Expected paths are written with '/' and "~" for the start folder's designator.
    void walk_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("yields");
        QTest::addColumn<QStringList>("expected");
        const QStringList folders{"~", "~/A", "~/A/A1", "~/B"}, topFiles{"~/T3.TXT", "~/b2.doc", "~/notes", "~/t1.txt"};
        const QStringList allFiles = topFiles + QStringList{"~/A/a.doc", "~/A/a.txt", "~/A/A1/deep.txt", "~/B/b.doc"};
        row("pre-order folders", "folders", "~/", "", 4, folders);
        row("pre-order files", "tree *.*", "~", "", 4, allFiles);
        const QStringList txt{"~/T3.TXT", "~/t1.txt"};
        row("pattern items in turn", "files *.txt;*.doc", "~", "", 0, txt + QStringList{"~/b2.doc"});
        row("twice when both match", "files *.txt;*.TXT", "~", "", 0, txt + txt);
        row("empty item matches nothing", "files *.doc;", "~", "", 0, {"~/b2.doc"});
        row("blank is not trimmed", "files  *.doc", "~", "", 0, {});
        row("cancel set: folders", "folders", "~", "cancel set", 1, {"~"});
        row("cancel set: files", "tree *.*", "~", "cancel set", 1, {});
        row("cancel at first yield: folders", "folders", "~", "cancel at yield", 1, {"~"});
        row("cancel at first yield: files", "tree *.*", "~", "cancel at yield", 1, topFiles);
        // A's listing is done, A1 is appended, and its yield brings the cancel.
        row("cancel while A is listed", "folders", "~", "cancel in A", 3, {"~", "~/A", "~/A/A1"});
        row("unreadable folder: folders", "folders", "~", "A unreadable", 3, {"~", "~/A", "~/B"});
        row("unreadable folder: files", "tree *.*", "~", "A unreadable", 3, topFiles + QStringList{"~/B/b.doc"});
        row("folders from C:\\", "folders", "C:\\", "", 4, folders);
        row("folders from /", "folders", "/", "", 4, folders);
        row("files from C:\\", "tree *.*", "C:\\", "", 4, allFiles);
    }

    void walk()
    {
        QFETCH(QString, call);
        QFETCH(QString, start);
        QFETCH(QString, fault);
        QFETCH(int, yields);
        QFETCH(QStringList, expected);
        const bool windows = start.startsWith("C:"), inTree = start.startsWith('~');
        const PathSyntax syntax = windows ? PathSyntax::windows() : PathSyntax::posix();
        for (QString& path : expected)
            path.replace('/', syntax.separator).replace('~', windows ? "C:" : inTree ? m_top : "");

        WalkFileSystem fs;
        fs.top = m_top;
        const auto cancelSoon = [] { QTimer::singleShot(0, [] { CancelRequested = true; }); };
        fs.beforeList = [&](const QString& folder) {
            if (fault == "cancel in A" && folder == m_top + "/A/")
                cancelSoon();
        };
        fs.failedListings.insert(fault == "A unreadable" ? m_top + "/A/" : QString());
        CancelRequested = fault == "cancel set";
        if (fault == "cancel at yield")
            cancelSoon();

        const QString from = inTree ? m_top + start.mid(1) : start;
        QStringList result{"kept"};
        m_yields = 0;
        const QString patterns = call.mid(call.indexOf(' ') + 1);
        if (call == "folders")
            FindFolders(result, from, fs, syntax);
        else if (call.startsWith("files"))
            FindFiles(result, from, patterns, fs, syntax);
        else
            FindFilesRecursive(result, from, patterns, fs, syntax);
        QCOMPARE(result, QStringList{"kept"} + expected);
        QCOMPARE(m_yields, yields); // once per folder, none for a single folder's files
    }
};

QTEST_GUILESS_MAIN(TestDirRecurse)
#include "test_dir_recurse.moc"