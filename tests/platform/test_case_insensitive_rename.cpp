// Renames on a real file system that ignores letter case (see ExfatVolume); skipped where it cannot be mounted.

#include "platform/FileSystem.h"
#include "tests/support/ExfatVolume.h"
#include "tests/support/TempTree.h"

#include <QTest>

using namespace orvel;
using namespace orvel::test;

class TestCaseInsensitiveRename : public QObject {
    Q_OBJECT

    ExfatVolume m_volume;

private Q_SLOTS:
    void initTestCase()
    {
        if (m_volume.skipReason())
            QSKIP(m_volume.skipReason());
    }

    void rename_data()
    {
        renameColumns();
        const QStringList twoFiles{"A.TXT=first", "B.TXT=second"};
        renameRow("file, case only", {"HOLIDAY PHOTO.JPG=jpeg"}, "HOLIDAY PHOTO.JPG", "Holiday Photo.jpg",
                  {"Holiday Photo.jpg=jpeg"});
        renameRow("folder, case only", {"OLD STUFF/inner/f.txt=deep"}, "OLD STUFF", "Old Stuff",
                  {"Old Stuff/", "Old Stuff/inner/", "Old Stuff/inner/f.txt=deep"});
        renameRow("file, new name", {"one.txt=1"}, "one.txt", "two.txt", {"two.txt=1"});
        renameRow("folder, new name", {"folder/"}, "folder", "other", {"other/"});
        renameRow("onto another file", twoFiles, "A.TXT", "B.TXT", {});
        renameRow("onto another file in other case", twoFiles, "A.TXT", "b.txt", {});
        renameRow("onto another folder in other case", {"A/", "B/"}, "A", "b", {});
    }

    void rename()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, after);
        const QString d = m_volume.path() + '/' + QTest::currentDataTag();
        QVERIFY(makeTree(d, before));
        const QStringList unchanged = readTree(d);
        QCOMPARE(hostFileSystem().rename(d + '/' + from, d + '/' + to) == 0, !after.isEmpty());
        // The whole folder, dot-names included: no temporary name is left behind.
        QCOMPARE(readTree(d), after.isEmpty() ? unchanged : after);
    }
};

QTEST_GUILESS_MAIN(TestCaseInsensitiveRename)
#include "test_case_insensitive_rename.moc"