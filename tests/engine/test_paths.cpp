// Every rule about path texts, in Windows and in POSIX syntax.

#include "engine/Paths.h"

#include <QTest>

using namespace orvel;

class TestPaths : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every path routine, one row each: routine, path, result. Paths that start with a
    // drive or a backslash are in Windows syntax, the others in POSIX syntax.
    void paths()
    {
        const QStringList rows[] = {{"normalize", R"(C:\)", "C:"}, // the root to its designator
                                    {"normalize", R"(C:\Data\\Sub\\)", R"(C:\Data\Sub)"},
                                    {"normalize", "C:/Data/Sub/", R"(C:\Data\Sub\)"},
                                    {"normalize", R"(\\server\share\)", R"(\\server\share)"},
                                    {"normalize", R"(C:\a\\\b)", R"(C:\a\\b)"}, // three become two
                                    {"normalize", "C:", "C:"},
                                    {"normalize", "/", ""},
                                    {"normalize", "/data//sub//", "/data/sub"},
                                    {"normalize", "/data\\sub\\", "/data\\sub\\"}, // a backslash is a name character
                                    {"normalize", "//server/share/", "/server/share"},
                                    {"normalize", "/a///b", "/a//b"},
                                    // Up One Level's target: the root keeps its one separator.
                                    {"parent", "/a/b", "/a"},
                                    {"parent", "/a", "/"},
                                    {"parent", "/", "/"},
                                    {"parent", "/a/", "/a"},
                                    {"parent", "a", ""},
                                    {"parent", R"(C:\a)", R"(C:\)"},
                                    // The folder as the window shows it: one trailing separator.
                                    {"directory", "/a", "/a/"},
                                    {"directory", "/", "/"},
                                    {"directory", R"(C:\)", R"(C:\)"},
                                    {"join", "/", "/x"},
                                    {"join", "/a", "/a/x"}};
        for (const QStringList& row : rows) {
            const bool windows = row[1].startsWith('\\') || row[1].mid(1, 1) == ":";
            const PathSyntax syntax = windows ? PathSyntax::windows() : PathSyntax::posix();
            const QString result = row[0] == "normalize" ? NormalizePath(row[1], syntax)
                : row[0] == "parent"                     ? ParentPath(row[1], syntax)
                : row[0] == "directory"                  ? DirectoryText(row[1], syntax)
                                                         : JoinPath(row[1], "x", syntax);
            QCOMPARE(row[0] + ' ' + row[1] + " -> " + result, row[0] + ' ' + row[1] + " -> " + row[2]);
        }
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
