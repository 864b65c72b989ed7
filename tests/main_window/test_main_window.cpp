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
        frmMain& w = fx.open({"a.txt"});
        // What a run started at once would do: rename files, not the folder, in Proper Case.
        const RunOptions options = w.CurrentOptions();
        QVERIFY(options.renameFile);
        QVERIFY(!options.renameFolder);
        QCOMPARE(options.style, CaseStyle::Proper);
        QVERIFY(!w.Check1->isChecked());
        QVERIFY(!w.cmdSELECTED->isEnabled());
        QVERIFY(!w.mnuRenameSelected->isEnabled());
        // The cancel link exists, below the visible client area.
        QVERIFY(w.lblCancel->geometry().top() >= w.findChild<QWidget*>(QStringLiteral("clientArea"))->height());
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
        // A start folder that is gone opens the home folder, never the root.
        fx.services.homeFolder = fx.path("home");
        QVERIFY(QDir().mkpath(fx.services.homeFolder));
        QCOMPARE(fx.open({}, "gone").Dir1->Path(), fx.services.homeFolder);
    }

    void enableRulesOfRenameSelected()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open({"a.txt", "b.txt"});
        // "Rename folder" enables the button at once, the menu item only at the next update.
        w.chkRenameFolder->click();
        QVERIFY(w.cmdSELECTED->isEnabled());
        QVERIFY(!w.mnuRenameSelected->isEnabled());
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
        QVERIFY(!w.mnuRenameSelected->isEnabled());
        QVERIFY(w.cmdSELECTED->isEnabled());
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
        QVERIFY(!w.mnuRenameSelected->isEnabled());
        QVERIFY(w.cmdSELECTED->isEnabled());
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
        QVERIFY(w.lblFolder->isHidden());
        QVERIFY(w.lblFiles->isHidden());
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
        QVERIFY(w.isVisible()); // re-creating the native window hides it
        QCOMPARE(w.size(), size);
        w.ckTop->click();
        QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(w.isVisible());
    }

    void closeAndExit()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        QWidget other;
        w.show();
        other.show();
        // Closing leaves the other windows open; Exit closes them all and ends the process.
        QVERIFY(w.close());
        QVERIFY(other.isVisible());
        QCOMPARE(fx.endProcessCalls, 0);
        w.show();
        w.mnuExit->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(!other.isVisible());
        QCOMPARE(fx.endProcessCalls, 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
