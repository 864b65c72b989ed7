// Rename All as the window runs it: what the controls put into the run, what the
// outcome puts on the labels, the controls locked for the whole run however it ends,
// the system-folder question, the cancel link and a close mid-run.

#include "main_window/frmChangeNot.h"
#include "tests/main_window/MainWindowFixture.h"
#include "tests/support/FaultyFileSystem.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <cerrno>

using namespace orvel;
using namespace orvel::test;

namespace {

// The controls a run locks, as "name:enabled" (1 or 0) in one text.
QString lockable(const frmMain& w)
{
    QString states;
    for (QObject* c : std::initializer_list<QObject*>{w.cmdUpLevel, w.Drive1, w.Dir1, w.File1, w.cmdALL, w.cmdSELECTED,
                                                      w.Frame1, w.Check1, w.mnuRenamedAll, w.mnuFileSub->menuAction(),
                                                      w.mnuMRUClear})
        states += c->property("enabled").toBool() ? QLatin1Char('1') : QLatin1Char('0');
    return states;
}

} // namespace

class TestRenameAll : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { delete frmChangeNot::loaded(); }

    void controlsIntoTheRunAndTheOutcomeOntoTheLabels()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        frmMain& w = fx.open({"my PICS/b ONE.txt", "my PICS/sub/c TWO.TXT", "my PICS/a KEEP.txt"}, "my PICS");
        w.chkRenameFolder->setChecked(true);
        w.Check1->setChecked(true);
        w.optCASES[0]->setChecked(true);
        fs.refusedRenames = {fx.path("my PICS/a KEEP.txt")};
        QString statusAtQuestion;
        fx.messages.onShow = [&](const auto&) { statusAtQuestion = w.lblStatus->text(); };
        fx.messages.answers << MessageBoxes::No;
        w.cmdALL->click();

        QCOMPARE(fx.tree(), (QStringList{"my pics", "my pics/a KEEP.txt", "my pics/b one.txt", "my pics/sub",
                                         "my pics/sub/c two.txt"}));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 2"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files : 3"));
        QVERIFY(w.lblFolder->isVisibleTo(&w));
        QVERIFY(w.lblFiles->isVisibleTo(&w));
        QCOMPARE(w.ProgressBar1->Max(), Currency(3));
        QCOMPARE(w.ProgressBar1->Value(), Currency(3));
        QCOMPARE(w.txtNAME->text(), QStringLiteral("c two.txt"));
        // The window and the recent entry follow the start folder's new name.
        QCOMPARE(w.Dir1->Path(), fx.path("my pics"));
        QCOMPARE(w.txtDirectory->text(), fx.path("my pics/"));
        QCOMPARE(w.txtSubDirectory, fx.path("my pics"));
        QCOMPARE(fx.recent(1), fx.path("my pics/"));
        // The failure, with its reason, and the question after "Renamed done !!".
        QCOMPARE(w.lstCantRename, (QList<NotChanged>{{fx.path("my pics/a KEEP.txt"), ErrorText(EBUSY)}}));
        QCOMPARE(fx.messages.shown.size(), 1);
        QVERIFY(fx.messages.shown[0].text.startsWith("1  file(s) was not changed."));
        QCOMPARE(statusAtQuestion, QStringLiteral("Renamed done !!"));
    }

    // Navigation, both commands, the options and the recent folders stay locked while
    // the run works, and come back as they were however it ends.
    void lockedForTheWholeRun_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("done") << "" << QStringList{"start/A.TXT", "start/sub/B.TXT"};
        QTest::newRow("early exit") << "" << QStringList{"start/sub/"};
        QTest::newRow("cancel link") << "cancel" << QStringList{"start/A.TXT", "start/sub/B.TXT"};
        QTest::newRow("nothing ticked") << "untick" << QStringList{"start/A.TXT"};
    }
    void lockedForTheWholeRun()
    {
        QFETCH(QString, end);
        QFETCH(QStringList, files);
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        for (const QString& f : files)
            f.endsWith('/') ? void(QDir().mkpath(fx.path(f))) : fx.touch(f);
        frmMain& w = fx.open({}, "start");
        w.Check1->setChecked(true);
        w.chkRenameFolder->setChecked(true);
        w.LoadRecentMenu();
        w.AddRecentFolder("/elsewhere/");
        w.LoadRecentMenu();
        if (end == "untick") {
            w.chkRenameFile->setChecked(false);
            w.chkRenameFolder->setChecked(false);
        }
        const QString idle = lockable(w);
        QStringList during;
        fs.beforeList = [&](const QString& folder) {
            if (w.isRunning())
                during << lockable(w);
            if (end == "cancel" && folder.endsWith("/sub"))
                QTest::mouseClick(w.lblCancel, Qt::LeftButton);
        };
        w.cmdALL->click();
        QCOMPARE(during.isEmpty(), end == "untick");
        for (const QString& state : during)
            QCOMPARE(state, QString(idle.size(), '0'));
        QCOMPARE(lockable(w), idle);
        // The cancel link ends the search: only the start folder is renamed.
        QCOMPARE(QFileInfo::exists(fx.path("Start/Sub/B.txt")), end.isEmpty() && files.size() == 2);
    }

    void theSystemsFoldersAskFirst()
    {
        // "/" is served from the temporary folder: nothing real is ever touched.
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fs.root = fx.dir.path();
        fx.services.startFolder = "/";
        frmMain& w = fx.open({"ONE.TXT"});
        QCOMPARE(w.Dir1->Path(), QStringLiteral("/"));
        w.File1->setSelected(0, true);
        fx.messages.answers << MessageBoxes::No << MessageBoxes::No << MessageBoxes::Yes;
        w.cmdALL->click();
        w.cmdSELECTED->click();
        QVERIFY(fs.renames.isEmpty());
        QCOMPARE(fx.messages.shown.size(), 2);
        const auto& question = fx.messages.shown[0];
        QCOMPARE(question.text, QStringLiteral("The folder / belongs to the operating system. Changing the names in it "
                                               "can stop the system from working.   Do you want to rename them anyway ?"));
        QCOMPARE(question.defaultButton, MessageBoxes::No);
        QCOMPARE(question.buttons, MessageBoxes::Yes | MessageBoxes::No);
        w.cmdALL->click();
        QCOMPARE(fx.tree(), QStringList{"One.txt"});
    }

    // A close request while the run renames: the rename in hand ends, nothing after
    // it starts, no question is asked, and the window closes.
    void closeDuringTheRenames()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        frmMain& w = fx.open({"start/A ONE.TXT", "start/B TWO.TXT", "start/C THREE.TXT"}, "start");
        w.show();
        fs.refusedRenames = {fx.path("start/C THREE.TXT")};
        fs.beforeRename = [&](const QString&, const QString&) {
            // Clicks meanwhile start nothing new.
            w.cmdALL_Click();
            w.cmdSELECTED_Click();
            w.close();
        };
        w.cmdALL->click();
        QCOMPARE(fs.renames.size(), 1);
        QCOMPARE(fx.tree(), (QStringList{"start", "start/A One.txt", "start/B TWO.TXT", "start/C THREE.TXT"}));
        QVERIFY(!w.isVisible());
        QVERIFY(!w.isRunning());
        QVERIFY(fx.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestRenameAll)
#include "test_rename_all.moc"
