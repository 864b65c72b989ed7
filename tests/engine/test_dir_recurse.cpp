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
        QTest::newRow("win: trailing backslash") << R"(C:\Data\)"
                                                 << R"(C:\Data)";
        QTest::newRow("win: root to designator") << R"(C:\)"
                                                 << "C:";
        QTest::newRow("win: doubled inside") << R"(C:\Data\\Sub\\)"
                                             << R"(C:\Data\Sub)";
        QTest::newRow("win: forward slashes") << "C:/Data/Sub/"
                                              << R"(C:\Data\Sub\)";
        QTest::newRow("win: network path") << R"(\\server\share\)"
                                           << R"(\\server\share)";
        QTest::newRow("win: three become two") << R"(C:\a\\\b)"
                                               << R"(C:\a\\b)";
        QTest::newRow("win: designator") << "C:"
                                         << "C:";
        QTest::newRow("posix: trailing slash") << "/data/"
                                               << "/data";
        QTest::newRow("posix: root to empty designator") << "/"
                                                         << "";
        QTest::newRow("posix: doubled inside") << "/data//sub//"
                                               << "/data/sub";
        QTest::newRow("posix: backslash is a name character") << "/data\\sub\\"
                                                              << "/data\\sub\\";
        QTest::newRow("posix: leading pair folds") << "//server/share/"
                                                   << "/server/share";
        QTest::newRow("posix: three become two") << "/a///b"
                                                 << "/a//b";
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