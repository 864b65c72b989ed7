#include "engine/DirRecurse.h"

#include <QtTest>

using namespace orvel;

class TestDirRecurse : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalizePath_data()
    {
        QTest::addColumn<QString>("path"); // in Windows syntax unless it starts with '/'
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QString& path, const QString& expected) {
            QTest::newRow(name) << path << expected;
        };
        row("win: trailing backslash", R"(C:\Data\)", R"(C:\Data)");
        row("win: root to designator", R"(C:\)", "C:");
        row("win: doubled inside", R"(C:\Data\\Sub\\)", R"(C:\Data\Sub)");
        row("win: forward slashes", "C:/Data/Sub/", R"(C:\Data\Sub\)");
        row("win: network path", R"(\\server\share\)", R"(\\server\share)");
        row("win: three become two", R"(C:\a\\\b)", R"(C:\a\\b)");
        row("win: designator", "C:", "C:");
        row("posix: trailing slash", "/data/", "/data");
        row("posix: root to empty designator", "/", "");
        row("posix: doubled inside", "/data//sub//", "/data/sub");
        row("posix: backslash is a name character", "/data\\sub\\", "/data\\sub\\");
        row("posix: leading pair folds", "//server/share/", "/server/share");
        row("posix: three become two", "/a///b", "/a//b");
    }

    void normalizePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(NormalizePath(path, path.startsWith('/') ? PathSyntax::posix() : PathSyntax::windows()), expected);
    }
};

QTEST_GUILESS_MAIN(TestDirRecurse)
#include "test_dir_recurse.moc"
