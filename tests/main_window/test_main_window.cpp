// The main window as it opens, its enable rules, its run display reset and its end.

#include "tests/main_window/MainWindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void opensWithItsInitialState()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvel File Rename"));
        QCOMPARE(w.findChild<QWidget*>(QStringLiteral("clientArea"))->size(), QSize(523, 327));

        QVERIFY(!w.cmdSELECTED->isEnabled());
        QVERIFY(!w.mnuRenameSelected->isEnabled());
        QVERIFY(w.chkRenameFile->isChecked());
        QVERIFY(w.optCASES[2]->isChecked());
        QVERIFY(!w.optCASES[0]->isChecked() && !w.optCASES[1]->isChecked());
        QVERIFY(!w.chkRenameFolder->isChecked());
        QVERIFY(!w.Check1->isChecked());
        QVERIFY(!w.ckTop->isChecked());
        QCOMPARE(w.SelectedCase(), CaseStyle::Proper);

        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 0"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files  : 0"));
        QVERIFY(w.lblStatus->text().isEmpty());
        QVERIFY(w.txtNAME->text().isEmpty() && !w.txtNAME->isEnabled());
        QVERIFY(w.txtDirectory->isReadOnly());
        QCOMPARE(w.txtFiles, QStringLiteral("0"));
        QCOMPARE(w.txtFolders, QStringLiteral("0"));
        QVERIFY(w.List2.isEmpty() && w.lstCantRename.isEmpty());

        // The menu items and their initial states.
        QVERIFY(w.mnuRecentSub[1]->isVisible());
        QVERIFY(!w.mnuRecentSub[2]->isVisible() && !w.mnuRecentSub[3]->isVisible());
        QVERIFY(w.mnuRecentSub[1]->text().isEmpty());
        QStringList fileMenu;
        for (QAction* a : w.mnuFile->actions())
            fileMenu << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(fileMenu, (QStringList{"Rename Selected", "Rename All", "-", "Recents", "-",
                                        "Clear recent files list", "-", "Exit"}));
        QCOMPARE(w.mnuHelp->actions().size(), 1);
        QCOMPARE(w.mnuAbout->text(), QStringLiteral("About"));

        // The cancel link exists but lies outside the visible client area.
        QVERIFY(w.lblCancel->geometry().top() >= 327);
        QCOMPARE(w.lblCancel->text(), QStringLiteral("Click Here To Cancel At Any Time"));
    }

    void controlsSitAtTheirRectangles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        // Twips divided by 15.
        QTest::newRow("Drive1") << "Drive1" << QRect(0, 8, 150, 21);
        QTest::newRow("File1") << "File1" << QRect(184, 8, 183, 149);
        QTest::newRow("cmdALL") << "cmdALL" << QRect(192, 216, 168, 21);
        QTest::newRow("txtDirectory") << "txtDirectory" << QRect(8, 304, 497, 19);
        QTest::newRow("optCASES(1) in Frame1") << "optCASES(1)" << QRect(16, 35, 88, 14);
        QTest::newRow("Label1 in frameDrop") << "Label1" << QRect(8, 16, 113, 81);
    }
    void controlsSitAtTheirRectangles()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        MainWindowFixture fx;
        frmMain& w = fx.open();
        QWidget* c = w.findChild<QWidget*>(name);
        QVERIFY(c);
        QCOMPARE(c->geometry(), rect);
    }

    void directoryTextsShowTheOpenFolder()
    {
        MainWindowFixture fx;
        fx.mkdir(QStringLiteral("Sub"));
        frmMain& w = fx.open();
        QCOMPARE(w.txtDirectory->text(), fx.dir.path() + QLatin1Char('/'));
        QCOMPARE(w.txtSubDirectory, fx.dir.path());

        // At the root the separator is not doubled.
        QVERIFY(w.Dir1->setPath(QStringLiteral("/")));
        QCOMPARE(w.txtDirectory->text(), QStringLiteral("/"));
        QCOMPARE(w.txtSubDirectory, QStringLiteral("/"));
        QCOMPARE(DirectoryText(QStringLiteral("C:\\"), PathSyntax::windows()), QStringLiteral("C:\\"));
        QCOMPARE(DirectoryText(QStringLiteral("C:\\Data"), PathSyntax::windows()), QStringLiteral("C:\\Data\\"));
    }

    void renameFolderEnablesTheButtonButNotTheMenu()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("a.txt"));
        frmMain& w = fx.open();
        w.chkRenameFolder->click();
        QVERIFY(w.cmdSELECTED->isEnabled());
        QVERIFY(!w.mnuRenameSelected->isEnabled());
        // The menu item follows at the next update, with a non-empty file list.
        w.UpdateSelectedState();
        QVERIFY(w.mnuRenameSelected->isEnabled());
        // Unticking disables the button even while files are selected.
        w.File1->setSelected(0, true);
        w.chkRenameFolder->click();
        QVERIFY(!w.cmdSELECTED->isEnabled());
    }

    void emptyFileListKeepsTheMenuItemDisabled()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.chkRenameFolder->click();
        w.UpdateSelectedState();
        QVERIFY(!w.mnuRenameSelected->isEnabled());
        QVERIFY(w.cmdSELECTED->isEnabled()); // left as the check box made it
    }

    void aClickThatSelectsNothingDisablesOnlyTheMenuItem()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("a.txt"));
        fx.touch(QStringLiteral("b.txt"));
        frmMain& w = fx.open();
        w.File1->setSelected(1, true); // the click handler enables both
        QVERIFY(w.cmdSELECTED->isEnabled() && w.mnuRenameSelected->isEnabled());
        w.File1->setCurrentRow(1, QItemSelectionModel::NoUpdate);
        w.File1->clearSelection();
        QVERIFY(!w.mnuRenameSelected->isEnabled());
        QVERIFY(w.cmdSELECTED->isEnabled());
        QCOMPARE(w.txtNAME->text(), QStringLiteral("b.txt"));

        // Both boxes clear: the next update turns the button off, unless a file is
        // still selected (the selection alone enables it again).
        w.chkRenameFile->setChecked(false);
        w.File1->setSelected(0, true);
        QVERIFY(w.cmdSELECTED->isEnabled());
        w.File1->clearSelection();
        QVERIFY(!w.cmdSELECTED->isEnabled());
        QVERIFY(!w.mnuRenameSelected->isEnabled());
    }

    void resetRunDisplayClearsTheCountersAndHidesTheLabels()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.show();
        w.List2 << QStringLiteral("x");
        w.lstCantRename << QStringLiteral("y");
        w.txtFiles = QStringLiteral("12");
        w.txtFolders = QStringLiteral("3");
        w.lblStatus->setText(QStringLiteral("Renamed done !!"));
        fx.touch(QStringLiteral("new.txt"));
        w.ResetRunDisplay();
        QVERIFY(w.List2.isEmpty() && w.lstCantRename.isEmpty());
        QCOMPARE(w.txtFiles, QStringLiteral("0"));
        QCOMPARE(w.txtFolders, QStringLiteral("0"));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Folders  : 0"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files  : 0"));
        QVERIFY(w.lblStatus->text().isEmpty());
        QVERIFY(w.lblFolder->isHidden() && w.lblFiles->isHidden());
        QCOMPARE(w.File1->ListCount(), 1); // re-read: the new file shows
    }

    void onTopSetsTheStackingHintOnly()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QSize size = w.size();
        w.ckTop->click();
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(w.isVisible());
        QCOMPARE(w.size(), size);
        w.ckTop->click();
        QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(w.isVisible());
    }

    void exitClosesEveryWindowAndEndsTheProcess()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.show();
        QWidget other;
        other.show();
        w.mnuExit->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(!other.isVisible());
        QCOMPARE(fx.endProcessCalls, 1);
    }

    void closingTheWindowLeavesOtherWindowsOpen()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.show();
        QWidget other;
        other.show();
        QVERIFY(w.close());
        QVERIFY(other.isVisible());
        QCOMPARE(fx.endProcessCalls, 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
