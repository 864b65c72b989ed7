#include "platform/FileSystem.h"
#include "platform/Wildcard.h"
#include "tests/support/TempTree.h"

#include <QtTest>

using namespace orvel;

// Listing and typing of real entries. Renames of real entries are exercised through
// RenameFile in the engine tests, and on a case-ignoring volume next door.
class TestFileSystem : public QObject {
    Q_OBJECT

    FileSystem& fs = hostFileSystem();
    orvel::test::TempDir m_dir;
    const QString d = m_dir.path();

    // One letter per type, in declaration order: Missing, File, Folder, FolderLink, Other.
    static QChar letter(EntryType t) { return QStringLiteral("MFDLO")[int(t)]; }

private slots:
    // Every system entry is named *.txt, so that only its type keeps it out.
    void initTestCase()
    {
        QVERIFY(orvel::test::makeTree(d, {"a.txt=", "B.TXT=", "c.doc=", ".hidden.txt=", ".hiddenFolder/", "sub.txt/",
                                          "fileLink->a.txt", "folderLink->sub.txt", "dangling.txt->nowhere",
                                          "latin1:LATIN1 ÉTÉ.TXT="}));
        QCOMPARE(::mknod(QFile::encodeName(d + "/fifo.txt").constData(), S_IFIFO | 0600, 0), 0);
        QCOMPARE(::mknod(QFile::encodeName(d + "/sock.txt").constData(), S_IFSOCK | 0600, 0), 0);
    }

    void wildcard_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("star-dot-star, no dot") << "*.*" << "README" << true;
        QTest::newRow("extension ignores case") << "*.txt" << "NOTES.TxT" << true;
        QTest::newRow("extension, longer") << "*.txt" << "notes.txtx" << false;
        QTest::newRow("question mark, two") << "?.doc" << "ab.doc" << false;
        QTest::newRow("question mark, surrogate pair") << "?.doc" << QString("\U0001F600.doc") << true;
        QTest::newRow("star needs a retry") << "*ab" << "aab" << true;
        QTest::newRow("dot-star also without dot") << "a*.*" << "abc" << true;
        QTest::newRow("dot-star, wrong start") << "a*.*" << "bc" << false;
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

    void list_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("withFolders");
        QTest::addColumn<QStringList>("expected"); // name:type, sorted
        // A name that is not UTF-8 is shown with U+FFFD for its stray bytes.
        const QStringList files{"B.TXT:F", "LATIN1 \uFFFDT\uFFFD.TXT:F", "a.txt:F", "c.doc:F", "fileLink:F"};
        QTest::newRow("files") << "*.*" << false << files;
        QTest::newRow("with folders") << "*" << true << files + QStringList{"folderLink:L", "sub.txt:D"};
        QTest::newRow("pattern ignores case") << "*.txt" << true
                                              << QStringList{files[0], files[1], "a.txt:F", "sub.txt:D"};
        QTest::newRow("empty pattern") << "" << true << QStringList{};
    }

    void list()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, withFolders);
        QFETCH(QStringList, expected);
        const auto listed = fs.list(d, pattern, withFolders);
        QVERIFY(listed);
        QStringList names;
        for (const DirEntry& e : *listed)
            names << e.name + ':' + letter(e.type);
        names.sort();
        QCOMPARE(names, expected);
        QVERIFY(!fs.list(d + "/nothing", pattern, withFolders));
        QVERIFY(!fs.list(d + "/a.txt", pattern, withFolders));
    }

    void listKeepsTheDirectoryOrder()
    {
        orvel::test::TempDir dir;
        for (int i = 0; i < 50; ++i)
            QVERIFY(orvel::test::makeTree(dir.path(), {QStringLiteral("f%1=").arg(i)}));
        QStringList names;
        for (const DirEntry& e : fs.list(dir.path(), "*", false).value_or(QList<DirEntry>{}))
            names << e.name;
        QCOMPARE(names, QDir(dir.path()).entryList(QDir::Files, QDir::Unsorted));
    }

    void entryType()
    {
        QString types;
        for (const char* name : {"a.txt", "sub.txt", ".hiddenFolder", "fileLink", "folderLink", "fifo.txt", "sock.txt",
                                 "dangling.txt", "none"})
            types += letter(fs.entryType(d + '/' + name));
        QCOMPARE(types, QString("FDDFLOOOM"));
        QCOMPARE(fs.entryType(QString()), EntryType::Missing);
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "test_filesystem.moc"