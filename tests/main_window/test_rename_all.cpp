// "Rename All" on real trees: what it renames, in which order, what it counts and
// shows, its early exits and failures, the cancel link, and window events that
// arrive while it searches.

#include "engine/CancelRequested.h"
#include "engine/frmChangeNot.h"
#include "tests/main_window/MainWindowFixture.h"
#include "tests/support/FaultyFileSystem.h"

#include <QCheckBox>
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

// Opens the window on a tree below "start" with "Rename folder" and "Include
// subfolders" ticked.
frmMain& openTree(MainWindowFixture& fx, const QStringList& files)
{
    frmMain& w = fx.open(files, QStringLiteral("start"));
    w.chkRenameFolder->setChecked(true);
    w.Check1->setChecked(true);
    return w;
}

// Runs `action` at the first listing for which `when` holds; its queued effect
// arrives at the run's next yield.
void atNextYield(FaultyFileSystem& fs, std::function<bool()> when, std::function<void()> action)
{
    auto done = std::make_shared<bool>(false);
    fs.beforeList = [=](const QString&) {
        if (!*done && when()) {
            *done = true;
            QMetaObject::invokeMethod(qApp, action, Qt::QueuedConnection);
        }
    };
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
        frmMain& w = fx.open({"first FILE.TXT", "(draft) notes.doc", "sub/inner FILE.txt"});
        w.cmdALL->click();
        QCOMPARE(fx.tree(), (QStringList{"(Draft) Notes.doc", "First File.txt", "sub", "sub/inner FILE.txt"}));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 0"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 2"));
        QVERIFY(!w.lblFolder->isHidden() && !w.lblFiles->isHidden());
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Renamed done !!"));
        QCOMPARE(w.ProgressBar1->Max(), Currency(2));
        QCOMPARE(w.ProgressBar1->Value(), Currency(2));
        QCOMPARE(w.txtNAME->text(), QStringLiteral("First File.txt"));
        QVERIFY(w.File1->isEnabled() && w.Dir1->isEnabled() && w.Drive1->isEnabled() && w.cmdUpLevel->isEnabled());
        QCOMPARE(fx.recent(1), fx.dir.path() + QLatin1Char('/'));
        QCOMPARE(w.File1->List(0), QStringLiteral("(Draft) Notes.doc"));
    }

    void wholeTreeTopDownInWalkOrder()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        frmMain& w = openTree(fx, {"start/t.txt", "start/a/a.txt", "start/a/a1/x.txt", "start/b/b.txt"});
        w.cmdALL->click();
        // Each folder before its files, a parent before everything below it; the
        // sub-folders in the order the file system lists them.
        QStringList order;
        for (const auto& r : fs.renames)
            order << QDir(fx.dir.path()).relativeFilePath(r.first);
        const QStringList aTree{"Start/a", "Start/A/a.txt", "Start/A/a1", "Start/A/A1/x.txt"};
        const QStringList bTree{"Start/b", "Start/B/b.txt"};
        const bool aFirst = order.indexOf(aTree.first()) < order.indexOf(bTree.first());
        const QStringList expected = QStringList{"start", "Start/t.txt"} + (aFirst ? aTree + bTree : bTree + aTree);
        QCOMPARE(order, expected);
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 4"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 4"));
        QVERIFY(fx.messages.shown.isEmpty());
        // The window and the recent entry follow the start folder's new name.
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Start")));
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("Start/")));
        QCOMPARE(w.txtSubDirectory, fx.path(QStringLiteral("Start")));
        QCOMPARE(fx.recent(1), fx.path(QStringLiteral("Start/")));
    }

    void everyNameNeedsANewCase()
    {
        // Where letter case matters, each folder rename makes the paths collected below
        // it stale; the whole tree must still come out renamed, nothing lost.
        MainWindowFixture fx;
        frmMain& w = fx.open({"ROOT/A FILE.TXT", "ROOT/SUB ONE/B FILE.TXT", "ROOT/SUB ONE/DEEP ER/C FILE.TXT",
                              "ROOT/SUB TWO/D FILE.TXT"},
                             QStringLiteral("ROOT"));
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(true);
        w.optCASES[0]->setChecked(true);
        w.cmdALL->click();
        QVERIFY2(w.lstCantRename.isEmpty(), qPrintable(w.lstCantRename.join(QLatin1Char('\n'))));
        QCOMPARE(fx.tree(), (QStringList{"root", "root/a file.txt", "root/sub one", "root/sub one/b file.txt",
                                         "root/sub one/deep er", "root/sub one/deep er/c file.txt", "root/sub two",
                                         "root/sub two/d file.txt"}));
        QFile c(fx.path(QStringLiteral("root/sub one/deep er/c file.txt")));
        QVERIFY(c.open(QIODevice::ReadOnly));
        QCOMPARE(c.readAll(), QByteArray("ROOT/SUB ONE/DEEP ER/C FILE.TXT"));
    }

    void onlyRenameFolder()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open({"my DOCS/one FILE.txt", "my DOCS/two FILE.txt"}, QStringLiteral("my DOCS"));
        w.chkRenameFile->setChecked(false);
        w.chkRenameFolder->setChecked(true);
        w.cmdALL->click();
        QCOMPARE(fx.tree(), (QStringList{"My Docs", "My Docs/one FILE.txt", "My Docs/two FILE.txt"}));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 2"));
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("My Docs/")));
    }

    void earlyExits_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("subfolders");
        QTest::addColumn<bool>("boxes"); // "Rename file" and "Rename folder" ticked
        QTest::newRow("empty folder") << QStringList{"start/"} << false << true;
        QTest::newRow("tree without files") << QStringList{"start/ONE/TWO/"} << true << true;
        QTest::newRow("files only below, without subfolders") << QStringList{"start/SUB/FILE.TXT"} << false << true;
        QTest::newRow("both boxes clear") << QStringList{"start/FILE.TXT"} << true << false;
    }
    void earlyExits()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, subfolders);
        QFETCH(bool, boxes);
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        for (const QString& f : files)
            f.endsWith(QLatin1Char('/')) ? void(QDir().mkpath(fx.path(f))) : fx.touch(f);
        frmMain& w = openTree(fx, {});
        w.Check1->setChecked(subfolders);
        w.chkRenameFile->setChecked(boxes);
        w.chkRenameFolder->setChecked(boxes);
        w.lstCantRename << QStringLiteral("kept");
        w.cmdALL->click();
        QVERIFY(fs.renames.isEmpty()); // not even the folder
        QVERIFY(w.lblStatus->text().isEmpty());
        QVERIFY(w.lblFolder->isVisibleTo(&w) != boxes && w.lblFiles->isVisibleTo(&w) != boxes);
        QVERIFY(w.Dir1->isEnabled() && fx.recent(1).isEmpty());
        // Without a box ticked only the message comes; the last run's report stays.
        QCOMPARE(w.lstCantRename.isEmpty(), boxes);
        if (boxes)
            QVERIFY(fx.messages.shown.isEmpty());
        else
            QVERIFY(fx.shownOnce(QStringLiteral("Please checked Rename folder, Rename file or both."),
                                 QStringLiteral("Checkbox must select"), MessageBoxes::Icon::Information, MessageBoxes::Ok));
    }

    void failuresAreReportedAndNothingIsLost()
    {
        // A file held open, two names that convert alike, a name that is not UTF-8, an
        // immutable file, an unreadable folder and a file that vanishes mid-run.
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        const QByteArray bad = QFile::encodeName(fx.path(QStringLiteral("start/BAD"))) + "\xff NAME.TXT";
        frmMain& w = openTree(fx, {"start/keep OPEN.txt", "start/report.txt", "start/REPORT.TXT", "start/LOCKED.TXT",
                                   "start/GONE.TXT", "start/closed/AWAY.TXT", "start/sub/fine ONE.txt"});
        w.chkRenameFolder->setChecked(false);
        w.optCASES[0]->setChecked(true);
        ::close(::open(bad.constData(), O_CREAT | O_WRONLY, 0644));
        const QString locked = fx.path(QStringLiteral("start/LOCKED.TXT"));
        const bool immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), locked}) == 0;
        fs.refusedRenames = {fx.path(QStringLiteral("start/keep OPEN.txt"))};
        fs.failedListings = {fx.path(QStringLiteral("start/closed"))};
        fs.beforeRename = [&](const QString& oldPath, const QString&) {
            if (oldPath.endsWith(QStringLiteral("/BAD\uFFFD NAME.TXT")))
                QFile::remove(fx.path(QStringLiteral("start/GONE.TXT")));
        };
        QString statusDuringQuestion;
        fx.messages.onShow = [&](const auto&) { statusDuringQuestion = w.lblStatus->text(); };
        w.cmdALL->click();
        if (immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), locked});

        QStringList expected{"start/BAD\uFFFD NAME.TXT", "start/GONE.TXT", "start/REPORT.TXT", "start/keep OPEN.txt"};
        if (immutable)
            expected << QStringLiteral("start/LOCKED.TXT");
        QStringList reported;
        for (const QString& p : w.lstCantRename)
            reported << QDir(fx.dir.path()).relativeFilePath(p);
        reported.sort();
        expected.sort();
        QCOMPARE(reported, expected);
        QVERIFY(::access(bad.constData(), F_OK) == 0); // kept its bytes
        QFile upper(fx.path(QStringLiteral("start/REPORT.TXT")));
        QVERIFY(upper.open(QIODevice::ReadOnly) && upper.readAll() == "start/REPORT.TXT");
        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("start/sub/fine one.txt"))));
        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("start/closed/AWAY.TXT"))));
        QVERIFY(fx.messages.shown.size() == 1 && fx.messages.shown[0].text.startsWith(QString::number(expected.size()) + "  file(s)"));
        QCOMPARE(statusDuringQuestion, QStringLiteral("Renamed done !!"));
    }

    void cancelLink_data()
    {
        QTest::addColumn<bool>("duringSearch");
        QTest::addColumn<int>("found");
        QTest::addColumn<QStringList>("after");
        // Cancelled at the search's first yield: the search stops short, and the run
        // renames the start folder and its own files only.
        QTest::newRow("during the search") << true << 1
                                           << QStringList{"Start", "Start/One.txt", "Start/a", "Start/a/TWO.TXT", "Start/a/deep",
                                                          "Start/a/deep/THREE.TXT"};
        // Cancelled at the folder collection's first yield: the search found everything.
        QTest::newRow("during the folder collection") << false << 3
                                                      << QStringList{"Start", "Start/One.txt", "Start/a", "Start/a/TWO.TXT",
                                                                     "Start/a/deep", "Start/a/deep/THREE.TXT"};
    }
    void cancelLink()
    {
        QFETCH(bool, duringSearch);
        QFETCH(int, found);
        QFETCH(QStringList, after);
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        frmMain& w = openTree(fx, {"start/ONE.TXT", "start/a/TWO.TXT", "start/a/deep/THREE.TXT"});
        atNextYield(
            fs, [&] { return duringSearch || w.lblStatus->text() == QStringLiteral("Renaming... Please wait."); },
            [&w] { QTest::mouseClick(w.lblCancel, Qt::LeftButton); });
        w.cmdALL->click();
        QCOMPARE(w.List2.size(), found);
        QCOMPARE(w.ProgressBar1->Max(), Currency(found));
        QCOMPARE(fx.tree(), after);
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 1"));
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Renamed done !!"));
    }

    void windowEventsDuringTheSearch()
    {
        // A second click on either command is refused; a close stops the run before
        // anything is renamed and then closes the window.
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        frmMain& w = openTree(fx, {"start/ONE.TXT", "start/a/TWO.TXT"});
        w.show();
        atNextYield(fs, [] { return true; }, [&w] {
            w.cmdALL->click();
            w.cmdSELECTED_Click();
        });
        w.cmdALL->click();
        QCOMPARE(fs.renames.size(), 4); // two folders, two files, each once
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 2"));

        fs.renames.clear();
        atNextYield(fs, [] { return true; }, [&w] { w.close(); });
        w.optCASES[0]->setChecked(true);
        w.cmdALL->click();
        QVERIFY(fs.renames.isEmpty());
        QVERIFY(!w.isVisible() && !w.isRunning() && fx.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestRenameAll)
#include "test_rename_all.moc"
