// The pieces of the rename runs that need no window.

#include "engine/RenameAll.h"
#include "tests/support/FaultyFileSystem.h"

#include <QtTest>

using namespace orvel;

class TestRunParts : public QObject {
    Q_OBJECT

private slots:
    void aFolderRenameCarriesOverToItsSubtreeOnly_data()
    {
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("renamed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("posix") << false << QStringList{"/x", "/x/A", "/x/A/B", "/x/A/B/C", "/x/AB", "/x/AB/A"} << 1
                               << "/x/a" << QStringList{"/x", "/x/a", "/x/a/B", "/x/a/B/C", "/x/AB", "/x/AB/A"};
        QTest::newRow("windows") << true << QStringList{"C:", "C:\\Top", "C:\\Top\\Sub", "C:\\Topper"} << 1
                                 << "C:\\top" << QStringList{"C:", "C:\\top", "C:\\top\\Sub", "C:\\Topper"};
        QTest::newRow("unchanged name") << false << QStringList{"/x", "/x/y"} << 0 << "/x" << QStringList{"/x", "/x/y"};
        QTest::newRow("last entry") << false << QStringList{"/x", "/x/Y"} << 1 << "/x/y" << QStringList{"/x", "/x/y"};
    }
    void aFolderRenameCarriesOverToItsSubtreeOnly()
    {
        QFETCH(bool, windows);
        QFETCH(QStringList, folders);
        QFETCH(int, index);
        QFETCH(QString, renamed);
        QFETCH(QStringList, expected);
        CarryOverFolderRename(folders, index, renamed, windows ? PathSyntax::windows() : PathSyntax::posix());
        QCOMPARE(folders, expected);
    }

    void filesAreCountedEvenWhereNothingIsRenamed()
    {
        FaultyFileSystem fs;
        fs.beforeRename = [&](const QString& oldPath, const QString&) { fs.refusedRenames.insert(oldPath); };
        QStringList failed;
        int counted = 0;
        const QStringList names{QStringLiteral("ONE.TXT"), QStringLiteral("two (a).txt")};
        RunOptions options;
        // The bare designator of a root: counted, never renamed.
        QString last = RenameFilesIn(QStringLiteral("C:"), names, options, fs, failed, [&] { ++counted; },
                                     PathSyntax::windows());
        QCOMPARE(counted, 2);
        QVERIFY(fs.renames.isEmpty());
        QCOMPARE(last, QStringLiteral("Two (A).txt"));
        // "Rename file" clear: counted and converted, not renamed.
        options.renameFile = false;
        RenameFilesIn(QStringLiteral("/data"), names, options, fs, failed, [&] { ++counted; }, PathSyntax::posix());
        QCOMPARE(counted, 4);
        QVERIFY(fs.renames.isEmpty());
        // A root keeps its one separator.
        options.renameFile = true;
        RenameFilesIn(QStringLiteral("C:\\"), names, options, fs, failed, {}, PathSyntax::windows());
        QCOMPARE(fs.renames.first(), qMakePair(QStringLiteral("C:\\ONE.TXT"), QStringLiteral("C:\\One.txt")));
        QCOMPARE(failed, (QStringList{"C:\\ONE.TXT", "C:\\two (a).txt"}));
    }
};

QTEST_MAIN(TestRunParts)
#include "test_run_parts.moc"
