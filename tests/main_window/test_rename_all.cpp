// "Rename All" on real trees: what it renames, in which order, what it counts and
// shows, its early exits, the cancel link, a close in the middle, and the trees a
// case-sensitive file system makes hard.

#include "engine/CancelRequested.h"
#include "engine/frmChangeNot.h"
#include "tests/main_window/MainWindowFixture.h"
#include "tests/support/FaultyFileSystem.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace orvel;
using namespace orvel::test;

namespace {

// Every entry below `root`, relative, sorted: the whole tree as it stands on disk.
QStringList treeOf(const QString& root)
{
    QStringList all;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        all << QDir(root).relativeFilePath(it.next());
    all.sort();
    return all;
}

// Old paths of the renames that reached the file system, relative to `root`.
QStringList renamedFrom(const FaultyFileSystem& fs, const QString& root)
{
    QStringList paths;
    for (const auto& r : fs.renames)
        paths << QDir(root).relativeFilePath(r.first);
    return paths;
}

// A click on the window's cancel link, delivered at the run's next yield.
void clickCancelAtNextYield(frmMain& w)
{
    QMetaObject::invokeMethod(w.lblCancel, [&w] { QTest::mouseClick(w.lblCancel, Qt::LeftButton); },
                              Qt::QueuedConnection);
}

// A tree start/ONE.TXT with sub-folders, Rename folder and Include subfolders
// ticked, through a file system double.
frmMain& openTree(MainWindowFixture& fx, const QStringList& files)
{
    for (const QString& f : files)
        fx.touch(f);
    fx.services.startFolder = fx.path(QStringLiteral("start"));
    frmMain& w = fx.open();
    w.chkRenameFolder->setChecked(true);
    w.Check1->setChecked(true);
    return w;
}

} // namespace

class TestRenameAll : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        delete frmChangeNot::loaded();
        CancelRequested = false;
    }

    void filesOfOneFolder()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("first FILE.TXT"));
        fx.touch(QStringLiteral("(draft) notes.doc"));
        fx.touch(QStringLiteral("sub/inner FILE.txt"));
        frmMain& w = fx.open();
        w.cmdALL->click();
        QCOMPARE(treeOf(fx.dir.path()), (QStringList{"(Draft) Notes.doc", "First File.txt", "sub", "sub/inner FILE.txt"}));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 0"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 2"));
        QVERIFY(w.lblFolder->isVisibleTo(&w) && w.lblFiles->isVisibleTo(&w));
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Renamed done !!"));
        QCOMPARE(w.ProgressBar1->Max(), Currency(2));
        QCOMPARE(w.ProgressBar1->Value(), Currency(2));
        QCOMPARE(w.txtNAME->text(), QStringLiteral("First File.txt"));
        QVERIFY(w.File1->isEnabled() && w.Dir1->isEnabled() && w.Drive1->isEnabled() && w.cmdUpLevel->isEnabled());
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(fx.settings->read("Orvel Rename", "recent", "file1"), fx.dir.path() + QLatin1Char('/'));
        QCOMPARE(w.File1->List(0), QStringLiteral("(Draft) Notes.doc"));
    }

    void wholeTreeTopDownInWalkOrder()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.touch(QStringLiteral("top/t.txt"));
        fx.touch(QStringLiteral("top/a/a.txt"));
        fx.touch(QStringLiteral("top/a/a1/x.txt"));
        fx.touch(QStringLiteral("top/b/b.txt"));
        fx.services.startFolder = fx.path(QStringLiteral("top"));
        frmMain& w = fx.open();
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(true);
        w.cmdALL->click();

        // Each folder before its files; a parent before everything below it. The two
        // sub-folders come in the order the file system lists them.
        const QStringList order = renamedFrom(fs, fx.dir.path());
        const bool aFirst = order.indexOf(QStringLiteral("Top/a")) < order.indexOf(QStringLiteral("Top/b"));
        QStringList expected{"top", "Top/t.txt"};
        const QStringList aTree{"Top/a", "Top/A/a.txt", "Top/A/a1", "Top/A/A1/x.txt"};
        const QStringList bTree{"Top/b", "Top/B/b.txt"};
        expected << (aFirst ? aTree : bTree) << (aFirst ? bTree : aTree);
        QCOMPARE(order, expected);
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(treeOf(fx.dir.path()), (QStringList{"Top", "Top/A", "Top/A/A.txt", "Top/A/A1", "Top/A/A1/X.txt",
                                                     "Top/B", "Top/B/B.txt", "Top/T.txt"}));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 4"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 4"));
        // The window follows the start folder's new name.
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Top")));
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("Top/")));
        QCOMPARE(w.txtSubDirectory, fx.path(QStringLiteral("Top")));
    }

    void everyNameNeedsANewCase()
    {
        // Where letter case matters, each folder rename makes the paths collected below
        // it stale; the whole tree must still come out renamed, nothing lost.
        MainWindowFixture fx;
        QStringList before;
        for (const char* d : {"ROOT DIR", "ROOT DIR/SUB ONE", "ROOT DIR/SUB ONE/DEEP ER", "ROOT DIR/SUB TWO"})
            fx.mkdir(QString::fromLatin1(d));
        for (const char* f : {"ROOT DIR/A FILE.TXT", "ROOT DIR/SUB ONE/B FILE.TXT", "ROOT DIR/SUB ONE/DEEP ER/C FILE.TXT",
                              "ROOT DIR/SUB ONE/DEEP ER/D FILE.TXT", "ROOT DIR/SUB TWO/E FILE.TXT"})
            fx.touch(QString::fromLatin1(f), QByteArray(f));
        fx.services.startFolder = fx.path(QStringLiteral("ROOT DIR"));
        frmMain& w = fx.open();
        w.optCASES[0]->setChecked(true);
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(true);
        w.cmdALL->click();
        QVERIFY2(w.lstCantRename.isEmpty(), qPrintable(w.lstCantRename.join(QLatin1Char('\n'))));
        QCOMPARE(treeOf(fx.dir.path()),
                 (QStringList{"root dir", "root dir/a file.txt", "root dir/sub one", "root dir/sub one/b file.txt",
                              "root dir/sub one/deep er", "root dir/sub one/deep er/c file.txt",
                              "root dir/sub one/deep er/d file.txt", "root dir/sub two", "root dir/sub two/e file.txt"}));
        QFile c(fx.path(QStringLiteral("root dir/sub one/deep er/c file.txt")));
        QVERIFY(c.open(QIODevice::ReadOnly));
        QCOMPARE(c.readAll(), QByteArray("ROOT DIR/SUB ONE/DEEP ER/C FILE.TXT"));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 4"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 5"));
    }

    void onlyRenameFolder()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("my DOCS/one FILE.txt"));
        fx.touch(QStringLiteral("my DOCS/two FILE.txt"));
        fx.services.startFolder = fx.path(QStringLiteral("my DOCS"));
        frmMain& w = fx.open();
        w.chkRenameFile->setChecked(false);
        w.chkRenameFolder->setChecked(true);
        w.cmdALL->click();
        QCOMPARE(treeOf(fx.dir.path()), (QStringList{"My Docs", "My Docs/one FILE.txt", "My Docs/two FILE.txt"}));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 2"));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 0"));
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("My Docs/")));
        QVERIFY(w.lstCantRename.isEmpty());
    }

    void earlyExits_data()
    {
        QTest::addColumn<QString>("tree");
        QTest::addColumn<bool>("subfolders");
        QTest::addColumn<QString>("status");
        QTest::newRow("empty folder") << "" << false << "";
        QTest::newRow("tree without files") << "dirs" << true << "";
        QTest::newRow("files only below, without subfolders") << "deep" << false << "";
    }
    void earlyExits()
    {
        QFETCH(QString, tree);
        QFETCH(bool, subfolders);
        QFETCH(QString, status);
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.mkdir(QStringLiteral("START"));
        if (tree == QLatin1String("dirs"))
            fx.mkdir(QStringLiteral("START/EMPTY ONE/EMPTY TWO"));
        if (tree == QLatin1String("deep"))
            fx.touch(QStringLiteral("START/SUB/FILE.TXT"));
        fx.services.startFolder = fx.path(QStringLiteral("START"));
        frmMain& w = fx.open();
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(subfolders);
        w.cmdALL->click();
        QVERIFY(fs.renames.isEmpty()); // not even the folder
        QCOMPARE(w.lblStatus->text(), status);
        QVERIFY(w.lblFolder->isHidden() && w.lblFiles->isHidden());
        QVERIFY(w.Dir1->isEnabled() && w.File1->isEnabled());
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(fx.settings->read("Orvel Rename", "recent", "file1"), QString());
    }

    void bothBoxesClearChangesNothingButTheMessage()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("A FILE.TXT"));
        frmMain& w = fx.open();
        w.lstCantRename << QStringLiteral("kept");
        w.txtFiles = QStringLiteral("7");
        w.lblFiles->setText(QStringLiteral("Files : 7"));
        w.chkRenameFile->setChecked(false);
        w.cmdALL->click();
        QCOMPARE(fx.messages.shown.size(), 1);
        QCOMPARE(fx.messages.shown[0].text, QStringLiteral("Please checked Rename folder, Rename file or both."));
        QCOMPARE(fx.messages.shown[0].title, QStringLiteral("Checkbox must select"));
        QCOMPARE(w.lstCantRename, QStringList{"kept"});
        QCOMPARE(w.txtFiles, QStringLiteral("7"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 7"));
        QCOMPARE(fx.filesOnDisk(), QStringList{"A FILE.TXT"});
    }

    void aRefusedFileIsReportedAfterTheRun()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.touch(QStringLiteral("keep OPEN.txt"));
        fx.touch(QStringLiteral("other ONE.txt"));
        fx.touch(QStringLiteral("sub/other TWO.txt"));
        fs.refusedRenames.insert(fx.path(QStringLiteral("keep OPEN.txt")));
        frmMain& w = fx.open();
        w.Check1->setChecked(true);
        QString statusDuringQuestion;
        fx.messages.onShow = [&](const auto&) { statusDuringQuestion = w.lblStatus->text(); };
        fx.messages.answers << MessageBoxes::Yes;
        w.cmdALL->click();
        QCOMPARE(treeOf(fx.dir.path()), (QStringList{"Other One.txt", "keep OPEN.txt", "sub", "sub/Other Two.txt"}));
        QCOMPARE(fx.messages.shown.size(), 1);
        QVERIFY(fx.messages.shown[0].text.startsWith(QStringLiteral("1  file(s) was not changed.")));
        QCOMPARE(statusDuringQuestion, QStringLiteral("Renamed done !!"));
        QCOMPARE(w.lstCantRename, QStringList{fx.path(QStringLiteral("keep OPEN.txt"))});
        QVERIFY(frmChangeNot::loaded());
    }

    void namesThatConvertAlikeNeverReplaceEachOther()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("REPORT.TXT"), "upper");
        fx.touch(QStringLiteral("report.txt"), "lower");
        frmMain& w = fx.open();
        w.optCASES[0]->setChecked(true);
        w.cmdALL->click();
        QCOMPARE(fx.filesOnDisk(), (QStringList{"REPORT.TXT", "report.txt"}));
        QFile upper(fx.path(QStringLiteral("REPORT.TXT")));
        QVERIFY(upper.open(QIODevice::ReadOnly));
        QCOMPARE(upper.readAll(), QByteArray("upper"));
        QCOMPARE(w.lstCantRename, QStringList{fx.path(QStringLiteral("REPORT.TXT"))});
        QCOMPARE(fx.messages.shown.size(), 1);
    }

    void hiddenFoldersAndLinkLoopsAreNotEntered()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.touch(QStringLiteral("tree/.hidden/SECRET.TXT"));
        fx.touch(QStringLiteral("tree/.dotfile"));
        fx.touch(QStringLiteral("tree/sub/FILE.TXT"));
        QVERIFY(::symlink("..", fx.path(QStringLiteral("tree/sub/loop")).toLocal8Bit().constData()) == 0);
        fx.services.startFolder = fx.path(QStringLiteral("tree"));
        frmMain& w = fx.open();
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(true);
        w.cmdALL->click();
        for (const QString& listed : fs.listings)
            QVERIFY2(!listed.contains(QStringLiteral(".hidden")) && !listed.contains(QStringLiteral("loop")), qPrintable(listed));
        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("Tree/.hidden/SECRET.TXT"))));
        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("Tree/Sub/File.txt"))));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 2"));
        QCOMPARE(w.List2.size(), 1);
    }

    void cancelDuringTheSearch()
    {
        // A click on the cancel link, handled at the search's first yield: the search
        // stops short, and the run renames the start folder and its own files only.
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        frmMain& w = openTree(fx, {"start/ONE.TXT", "start/a/TWO.TXT", "start/b/THREE.TXT"});
        bool posted = false;
        fs.beforeList = [&](const QString&) {
            if (!posted)
                clickCancelAtNextYield(w);
            posted = true;
        };
        w.cmdALL->click();
        QCOMPARE(w.List2.size(), 1);
        QCOMPARE(w.ProgressBar1->Max(), Currency(1));
        QCOMPARE(treeOf(fx.dir.path()), (QStringList{"Start", "Start/One.txt", "Start/a", "Start/a/TWO.TXT", "Start/b",
                                                     "Start/b/THREE.TXT"}));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 1"));
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Renamed done !!"));
    }

    void cancelDuringTheFolderCollection()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        frmMain& w = openTree(fx, {"start/ONE.TXT", "start/a/TWO.TXT", "start/a/deep/THREE.TXT"});
        // Once the search is over, the next yield is the folder collection's first.
        bool posted = false;
        fs.beforeList = [&](const QString&) {
            if (!posted && w.lblStatus->text() == QStringLiteral("Renaming... Please wait.")) {
                posted = true;
                clickCancelAtNextYield(w);
            }
        };
        w.cmdALL->click();
        QVERIFY(posted);
        QCOMPARE(w.List2.size(), 3);
        QCOMPARE(w.ProgressBar1->Max(), Currency(3));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 1"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 1"));
        QCOMPARE(treeOf(fx.dir.path()), (QStringList{"Start", "Start/One.txt", "Start/a", "Start/a/TWO.TXT", "Start/a/deep",
                                                     "Start/a/deep/THREE.TXT"}));
    }

    void closingDuringTheSearchStopsTheRunCleanly()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.touch(QStringLiteral("start/ONE.TXT"));
        fx.touch(QStringLiteral("start/a/TWO.TXT"));
        fx.services.startFolder = fx.path(QStringLiteral("start"));
        frmMain& w = fx.open();
        w.show();
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(true);
        bool posted = false;
        fs.beforeList = [&](const QString&) {
            if (!posted) {
                posted = true;
                QMetaObject::invokeMethod(&w, [&w] { w.close(); }, Qt::QueuedConnection);
            }
        };
        w.cmdALL->click();
        QVERIFY(fs.renames.isEmpty());
        QVERIFY(!w.isVisible());
        QVERIFY(!w.isRunning());
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(treeOf(fx.dir.path()), (QStringList{"start", "start/ONE.TXT", "start/a", "start/a/TWO.TXT"}));
    }

    void aSecondClickDuringARunIsRefused()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.touch(QStringLiteral("start/ONE.TXT"));
        fx.touch(QStringLiteral("start/a/TWO.TXT"));
        fx.services.startFolder = fx.path(QStringLiteral("start"));
        frmMain& w = fx.open();
        w.Check1->setChecked(true);
        bool posted = false;
        fs.beforeList = [&](const QString&) {
            if (!posted) {
                posted = true;
                QMetaObject::invokeMethod(&w, [&w] {
                    w.cmdALL->click();
                    w.cmdSELECTED_Click();
                }, Qt::QueuedConnection);
            }
        };
        w.cmdALL->click();
        QCOMPARE(fs.renames.size(), 2); // each file once
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 2"));
    }

    void strangeEntriesAreReportedAndKept()
    {
        // A name that is not UTF-8, an immutable file and an unreadable folder: the run
        // goes on, each refused item is reported, nothing is lost.
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.touch(QStringLiteral("tree/NORMAL.TXT"));
        fx.touch(QStringLiteral("tree/LOCKED.TXT"));
        fx.touch(QStringLiteral("tree/closed/HIDDEN AWAY.TXT"));
        const QByteArray raw = QFile::encodeName(fx.path(QStringLiteral("tree/"))) + "BAD\xff NAME.TXT";
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        const QByteArray locked = QFile::encodeName(fx.path(QStringLiteral("tree/LOCKED.TXT")));
        const bool immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), QString::fromLocal8Bit(locked)}) == 0;
        fs.failedListings.insert(fx.path(QStringLiteral("tree/closed")));
        fx.services.startFolder = fx.path(QStringLiteral("tree"));
        frmMain& w = fx.open();
        w.Check1->setChecked(true);
        w.cmdALL->click();
        if (immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), QString::fromLocal8Bit(locked)});

        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("tree/Normal.txt"))));
        QVERIFY(::access(raw.constData(), F_OK) == 0); // kept its bytes
        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("tree/closed/HIDDEN AWAY.TXT"))));
        QStringList expected{fx.path(QStringLiteral("tree/BAD\uFFFD NAME.TXT"))};
        if (immutable)
            expected << fx.path(QStringLiteral("tree/LOCKED.TXT"));
        QStringList reported = w.lstCantRename;
        reported.sort();
        expected.sort();
        QCOMPARE(reported, expected);
        QCOMPARE(fx.messages.shown.size(), 1);
        if (!immutable)
            QWARN("chattr +i is not available here: the immutable file was not tried");
    }

    void theRecentEntryFollowsARenamedStartFolder()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("my PROJECT/a.txt"));
        fx.services.startFolder = fx.path(QStringLiteral("my PROJECT"));
        frmMain& w = fx.open();
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(true);
        w.cmdALL->click();
        QCOMPARE(fx.settings->read("Orvel Rename", "recent", "file1"), fx.path(QStringLiteral("My Project/")));
        w.LoadRecentMenu();
        w.Dir1->setPath(fx.dir.path());
        w.mnuRecentSub[1]->trigger();
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("My Project")));
    }

    void aFileThatVanishesMidRunIsReported()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.touch(QStringLiteral("A ONE.TXT"));
        fx.touch(QStringLiteral("B TWO.TXT"));
        fs.beforeRename = [&](const QString& oldPath, const QString&) {
            if (oldPath.endsWith(QStringLiteral("A ONE.TXT")))
                QFile::remove(fx.path(QStringLiteral("B TWO.TXT")));
        };
        frmMain& w = fx.open();
        w.cmdALL->click();
        QCOMPARE(fx.filesOnDisk(), QStringList{"A One.txt"});
        QCOMPARE(w.lstCantRename, QStringList{fx.path(QStringLiteral("B TWO.TXT"))});
    }
};

QTEST_MAIN(TestRenameAll)
#include "test_rename_all.moc"
