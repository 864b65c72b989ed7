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
        renameRow("file, case only", {"PHOTO.JPG=jpeg"}, "PHOTO.JPG", "Photo.jpg", {"Photo.jpg=jpeg"});
        renameRow("folder, case only", {"OLD STUFF/f=x"}, "OLD STUFF", "Old Stuff", {"Old Stuff/", "Old Stuff/f=x"});
        renameRow("file, new name", {"one.txt=1"}, "one.txt", "two.txt", {"two.txt=1"});
        renameRow("folder, new name", {"folder/"}, "folder", "other", {"other/"});
        renameRow("onto another file", {"A.TXT=1", "B.TXT=2"}, "A.TXT", "B.TXT", {});
        renameRow("onto another file in other case", {"A.TXT=1", "B.TXT=2"}, "A.TXT", "b.txt", {});
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
        QCOMPARE(hostFileSystem().rename(d + '/' + from, d + '/' + to) == 0, !after.isEmpty());
        // The whole folder, dot-names included: no temporary name is left behind.
        QCOMPARE(readTree(d), after.isEmpty() ? before : after);
    }

    // Case-only renames of one file one after the other, faster than the folder's time of
    // change moves on: each finds the name the one before gave it.
    void caseOnlyRenamesInARow()
    {
        const QString d = m_volume.path() + "/InARow";
        QVERIFY(makeTree(d, {"photo.jpg=x"}));
        FileSystem& fs = hostFileSystem();
        const FolderHandle folder = fs.openFolder(d);
        QByteArray name = "photo.jpg";
        for (int i = 0; i < 20; ++i) {
            const QByteArray next = i % 2 ? "photo.jpg" : "PHOTO.JPG";
            QCOMPARE(fs.renameIn(folder, name, next), 0);
            name = next;
        }
        QCOMPARE(readTree(d), QStringList{"photo.jpg=x"});
    }

    // A walk that enters the volume from the local folder it is mounted on, each folder
    // opened inside the one before, takes the volume's ways, not those of the folder it
    // came from: its renames wait a round trip, and its listing's numbers are made up.
    void enteredFromALocalFolder()
    {
        FileSystem& fs = hostFileSystem();
        const QString mountPoint = m_volume.path();
        QVERIFY(makeTree(mountPoint + "/Entered", {"Inner/PHOTO.JPG=x"}));
        const FolderHandle work = fs.openFolder(QFileInfo(mountPoint).path());
        const FolderHandle volume = fs.openSubFolder(work, QFile::encodeName(QFileInfo(mountPoint).fileName()));
        const FolderHandle entered = fs.openSubFolder(volume, "Entered");
        const FolderHandle inner = fs.openSubFolder(entered, "Inner");
        QVERIFY(inner.isOpen());
        QCOMPARE(fs.volumeKind(work), VolumeKind::Local);
        QCOMPARE(fs.volumeKind(inner), VolumeKind::Remote);
        QStringList listed;
        fs.listFolder(
            inner,
            [&](QByteArrayView name, EntryType, quint64 serial) {
                listed << QString::fromUtf8(name) + '=' + QString::number(serial);
            },
            false);
        QCOMPARE(listed, QStringList{"PHOTO.JPG=0"});
    }
};

QTEST_GUILESS_MAIN(TestCaseInsensitiveRename)
#include "test_case_insensitive_rename.moc"
