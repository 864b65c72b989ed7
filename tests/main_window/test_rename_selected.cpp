// "Rename Selected" from the window, and the report that ends a run with failures.

#include "main_window/frmChangeNot.h"
#include "tests/main_window/MainWindowFixture.h"
#include "tests/support/FaultyFileSystem.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QClipboard>
#include <QtTest>

#include <cerrno>

using namespace orvel;
using namespace orvel::test;

class TestRenameSelected : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { delete frmChangeNot::loaded(); }

    void threeOfFiveSelected()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open({"alpha ONE.txt", "beta TWO.txt", "delta.TXT", "EPSILON.txt", "gamma three.TXT"});
        w.optCASES[1]->setChecked(true);
        for (int i : {0, 2, 4})
            w.File1->setSelected(i, true);
        w.cmdSELECTED->click();
        QCOMPARE(fx.tree(), (QStringList{"ALPHA ONE.TXT", "DELTA.TXT", "EPSILON.txt", "GAMMA THREE.TXT", "beta TWO.txt"}));
        QCOMPARE(w.txtNAME->text(), QStringLiteral("GAMMA THREE.TXT")); // the last one converted
        QVERIFY(fx.messages.shown.isEmpty() && w.lblStatus->text().isEmpty());
        QCOMPARE(w.txtFiles, QStringLiteral("0"));
        QCOMPARE(entriesOf(w.File1), (QStringList{"ALPHA ONE.TXT", "beta TWO.txt", "DELTA.TXT", "EPSILON.txt", "GAMMA THREE.TXT"}));
        QVERIFY(!w.File1->Selected(0) && !w.mnuRenameSelected->isEnabled());
        QCOMPARE(fx.recent(1), fx.dir.path() + QLatin1Char('/'));
    }

    void theFolderToo_data()
    {
        QTest::addColumn<bool>("files");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("only Rename folder") << false << QStringList{"My Photos", "My Photos/a TWO.jpg", "My Photos/b ONE.jpg"};
        // Once the folder is renamed its old path is gone where case matters: the
        // files must be reached through the new one.
        QTest::newRow("folder and files") << true << QStringList{"My Photos", "My Photos/A Two.jpg", "My Photos/B One.jpg"};
    }
    void theFolderToo()
    {
        QFETCH(bool, files);
        QFETCH(QStringList, after);
        MainWindowFixture fx;
        frmMain& w = fx.open({"my PHOTOS/b ONE.jpg", "my PHOTOS/a TWO.jpg"}, QStringLiteral("my PHOTOS"));
        w.chkRenameFile->setChecked(files);
        w.chkRenameFolder->setChecked(true);
        w.File1->setSelected(0, true);
        w.File1->setSelected(1, true);
        w.cmdSELECTED->click();
        QCOMPARE(fx.tree(), after);
        QVERIFY(w.lstCantRename.isEmpty()); // the second folder attempt finds nothing to change
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("My Photos")));
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("My Photos/")));
        QCOMPARE(w.txtSubDirectory, fx.path(QStringLiteral("My Photos")));
        QCOMPARE(fx.recent(1), fx.path(QStringLiteral("My Photos/")));
        QCOMPARE(w.File1->ListCount(), 2);
    }

    void nothingSelectedOrNothingTicked()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open({"later/x.txt"}, QStringLiteral("later"));
        w.chkRenameFolder->setChecked(true);
        fx.touch(QStringLiteral("later/new.txt"));
        w.cmdSELECTED->click();
        QCOMPARE(fx.tree(), (QStringList{"later", "later/new.txt", "later/x.txt"})); // not even the folder
        QCOMPARE(w.File1->ListCount(), 2); // reloaded
        QVERIFY(fx.messages.shown.isEmpty() && fx.recent(1).isEmpty());

        w.lstCantRename << NotChanged{QStringLiteral("from an earlier run"), {}};
        w.chkRenameFile->setChecked(false);
        w.chkRenameFolder->setChecked(false);
        w.File1->setSelected(0, true);
        w.cmdSELECTED->click();
        QVERIFY(w.lstCantRename.isEmpty()); // cleared before the check
        QVERIFY(fx.shownOnce(QStringLiteral("Please checked Rename folder, Rename file or both."),
                             QStringLiteral("Checkbox must select"), MessageBoxes::Icon::Information, MessageBoxes::Ok));
        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("later/new.txt"))));
    }

    void doubleClickRenamesTheFile()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open({"one TWO.txt"});
        w.show();
        const QPoint at = w.File1->visualItemRect(w.File1->item(0)).center();
        QTest::mousePress(w.File1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w.File1->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(fx.tree(), QStringList{"One Two.txt"});
    }

    void refusedRenamesEndInTheQuestion_data()
    {
        QTest::addColumn<int>("refused");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
    }
    void refusedRenamesEndInTheQuestion()
    {
        QFETCH(int, refused);
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fs.refusedRenames = {fx.path(QStringLiteral("a ONE.txt"))};
        if (refused == 2)
            fs.refusedRenames << fx.path(QStringLiteral("c THREE.txt"));
        frmMain& w = fx.open({"a ONE.txt", "b TWO.txt", "c THREE.txt"});
        for (int i = 0; i < 3; ++i)
            w.File1->setSelected(i, true);
        fx.messages.answers << MessageBoxes::No;
        w.cmdSELECTED->click();
        QVERIFY(fx.shownOnce(QString::number(refused)
                                 + QStringLiteral("  file(s) was not changed. The reasons for this are either that the "
                                                  "file(s) is open or being written to.   Do you want to view these files ?"),
                             QStringLiteral("File not renamed"), MessageBoxes::Icon::None, MessageBoxes::Yes | MessageBoxes::No));
        QCOMPARE(fx.messages.shown[0].defaultButton, MessageBoxes::Yes);
        QCOMPARE(w.lstCantRename.size(), refused);
        QCOMPARE(w.lstCantRename.first().path, fx.path(QStringLiteral("a ONE.txt")));
        QVERIFY(!frmChangeNot::loaded()); // No: no list window
    }

    void theListWindowIsLoadedOnceAndKeepsItsList()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        frmMain& w = fx.open({"first ONE.txt", "second TWO.txt"});
        auto runWithRefused = [&](int row) {
            fs.refusedRenames = {fx.path(w.File1->List(row))};
            w.File1->setSelected(row, true);
            fx.messages.answers << MessageBoxes::Yes;
            w.cmdSELECTED->click();
            return frmChangeNot::loaded();
        };
        frmChangeNot* dialog = runWithRefused(0);
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Changes Not Made"));
        QCOMPARE(dialog->lstCantRename->item(0)->text(), fx.path(QStringLiteral("first ONE.txt")));
        // Each entry tells the system's reason; Ctrl+C copies the selected ones with theirs.
        QCOMPARE(dialog->lstCantRename->item(0)->toolTip(), ErrorText(EBUSY));
        dialog->lstCantRename->item(0)->setSelected(true);
        QTest::keyClick(dialog->lstCantRename, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), fx.path(QStringLiteral("first ONE.txt")) + '\t' + ErrorText(EBUSY) + '\n');
        // While it is open, another run only brings it forward with its earlier list.
        QCOMPARE(runWithRefused(1), dialog);
        QCOMPARE(dialog->lstCantRename->count(), 1);
        QCOMPARE(dialog->lstCantRename->item(0)->text(), fx.path(QStringLiteral("first ONE.txt")));
        // Ok unloads it; the next Yes loads the new list.
        QPointer<frmChangeNot> watched(dialog);
        dialog->cmdOK->click();
        QTRY_VERIFY(watched.isNull());
        QCOMPARE(runWithRefused(1)->lstCantRename->item(0)->text(), fx.path(QStringLiteral("second TWO.txt")));
    }
};

QTEST_MAIN(TestRenameSelected)
#include "test_rename_selected.moc"
