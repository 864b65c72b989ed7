// The main window as it opens, its enable rules, its run display reset and its end.

#include "tests/main_window/MainWindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
        QVERIFY(!w.cmdSELECTED->isEnabled() && !w.mnuRenameSelected->isEnabled());
        QVERIFY(w.chkRenameFile->isChecked() && !w.chkRenameFolder->isChecked());
        QVERIFY(!w.Check1->isChecked() && !w.ckTop->isChecked());
        QCOMPARE(w.SelectedCase(), CaseStyle::Proper);
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Sub Folders  : 0"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files  : 0"));
        QVERIFY(!w.txtNAME->isEnabled() && w.txtDirectory->isReadOnly());
        QVERIFY(w.mnuRecentSub[1]->isVisible() && !w.mnuRecentSub[2]->isVisible() && !w.mnuRecentSub[3]->isVisible());
        QStringList fileMenu;
        for (QAction* a : w.mnuFile->actions())
            fileMenu << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(fileMenu, (QStringList{"Rename Selected", "Rename All", "-", "Recents", "-", "Clear recent files list", "-", "Exit"}));
        // The cancel link exists, below the visible client area.
        QVERIFY(w.lblCancel->geometry().top() >= 327);
    }

    void controlsSitAtTheirRectangles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect"); // twips / 15
        QTest::newRow("Drive1") << "Drive1" << QRect(0, 8, 150, 21);
        QTest::newRow("File1") << "File1" << QRect(184, 8, 183, 149);
        QTest::newRow("txtDirectory") << "txtDirectory" << QRect(8, 304, 497, 19);
        QTest::newRow("optCASES(1) in Frame1") << "optCASES(1)" << QRect(16, 35, 88, 14);
        QTest::newRow("Label1 in frameDrop") << "Label1" << QRect(8, 16, 113, 81);
        QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(8, 248, 353, 17);
    }
    void controlsSitAtTheirRectangles()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        MainWindowFixture fx;
        QCOMPARE(fx.open().findChild<QWidget*>(name)->geometry(), rect);
    }

    void directoryTextsShowTheOpenFolder()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        QCOMPARE(w.txtDirectory->text(), fx.dir.path() + QLatin1Char('/'));
        QCOMPARE(w.txtSubDirectory, fx.dir.path());
        QVERIFY(w.Dir1->setPath(QStringLiteral("/")));
        QCOMPARE(w.txtDirectory->text(), QStringLiteral("/")); // a root is not doubled
        QCOMPARE(DirectoryText(QStringLiteral("C:\\"), PathSyntax::windows()), QStringLiteral("C:\\"));
        QCOMPARE(DirectoryText(QStringLiteral("C:\\Data"), PathSyntax::windows()), QStringLiteral("C:\\Data\\"));
    }

    void enableRulesOfRenameSelected()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open({"a.txt", "b.txt"});
        // "Rename folder" enables the button at once, the menu item only at the next update.
        w.chkRenameFolder->click();
        QVERIFY(w.cmdSELECTED->isEnabled() && !w.mnuRenameSelected->isEnabled());
        w.UpdateSelectedState();
        QVERIFY(w.mnuRenameSelected->isEnabled());
        // Unticking it disables the button even while a file is selected.
        w.File1->setSelected(1, true);
        w.chkRenameFolder->click();
        QVERIFY(!w.cmdSELECTED->isEnabled());
        // A click that leaves nothing selected disables the menu item, not the button.
        w.cmdSELECTED->setEnabled(true);
        w.File1->setCurrentRow(1, QItemSelectionModel::NoUpdate);
        w.File1->clearSelection();
        QVERIFY(!w.mnuRenameSelected->isEnabled() && w.cmdSELECTED->isEnabled());
        QCOMPARE(w.txtNAME->text(), QStringLiteral("b.txt"));
        // Both boxes clear and nothing selected: the button goes off too.
        w.chkRenameFile->setChecked(false);
        w.File1->clearSelection();
        w.File1_Click();
        QVERIFY(!w.cmdSELECTED->isEnabled());
        // An empty list keeps the menu item off whatever the boxes say.
        w.chkRenameFolder->setChecked(true);
        w.File1->setPath(fx.path(QStringLiteral("nowhere")));
        w.UpdateSelectedState();
        QVERIFY(!w.mnuRenameSelected->isEnabled() && w.cmdSELECTED->isEnabled());
    }

    void resetRunDisplay()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.lstCantRename << NotChanged{QStringLiteral("y"), {}};
        w.txtFiles = QStringLiteral("12");
        w.lblStatus->setText(QStringLiteral("Renamed done !!"));
        fx.touch(QStringLiteral("new.txt"));
        w.ResetRunDisplay();
        QVERIFY(w.lstCantRename.isEmpty());
        QVERIFY(w.lblStatus->text().isEmpty());
        QCOMPARE(w.txtFiles, QStringLiteral("0"));
        QCOMPARE(w.lblFolder->text(), QStringLiteral("Folders  : 0"));
        QCOMPARE(w.lblFiles->text(), QStringLiteral("Files  : 0"));
        QVERIFY(w.lblFolder->isHidden() && w.lblFiles->isHidden());
        QCOMPARE(w.File1->ListCount(), 1); // re-read
    }

    void onTopChangesOnlyTheStackingHint()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.show();
        const QSize size = w.size();
        w.ckTop->click();
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(w.isVisible() && w.size() == size);
        w.ckTop->click();
        QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint) && w.isVisible());
    }

    void closeAndExit()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        QWidget other;
        w.show();
        other.show();
        // Closing leaves the other windows open; Exit closes them all and ends the process.
        QVERIFY(w.close() && other.isVisible() && fx.endProcessCalls == 0);
        w.show();
        w.mnuExit->trigger();
        QVERIFY(!w.isVisible() && !other.isVisible());
        QCOMPARE(fx.endProcessCalls, 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
