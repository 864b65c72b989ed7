// "Rename Selected" from the window, and the report that ends a run with failures.

#include "engine/RenameSelected.h"
#include "engine/frmChangeNot.h"
#include "tests/main_window/MainWindowFixture.h"
#include "tests/support/FaultyFileSystem.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

namespace {

QStringList listed(const frmMain& w)
{
    QStringList names;
    for (int i = 0; i < w.File1->ListCount(); ++i)
        names << w.File1->List(i);
    return names;
}

QString question(int count)
{
    return QString::number(count)
        + QStringLiteral("  file(s) was not changed. The reasons for this are either that the file(s) is open or being "
                         "written to.   Do you want to view these files ?");
}

} // namespace

class TestRenameSelected : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        if (frmChangeNot* dialog = frmChangeNot::loaded())
            delete dialog;
    }

    void threeOfFiveSelected()
    {
        MainWindowFixture fx;
        for (const char* n : {"alpha ONE.txt", "beta TWO.txt", "gamma three.TXT", "delta.TXT", "EPSILON.txt"})
            fx.touch(QString::fromLatin1(n));
        frmMain& w = fx.open();
        w.optCASES[1]->setChecked(true);
        QCOMPARE(listed(w), (QStringList{"alpha ONE.txt", "beta TWO.txt", "delta.TXT", "EPSILON.txt", "gamma three.TXT"}));
        for (int i : {0, 2, 4})
            w.File1->setSelected(i, true);
        const QString status = w.lblStatus->text();
        w.cmdSELECTED->click();

        QCOMPARE(fx.filesOnDisk(), (QStringList{"ALPHA ONE.TXT", "DELTA.TXT", "EPSILON.txt", "GAMMA THREE.TXT", "beta TWO.txt"}));
        QCOMPARE(w.txtNAME->text(), QStringLiteral("GAMMA THREE.TXT")); // the last selected one
        QVERIFY(fx.messages.shown.isEmpty());
        QVERIFY(w.lstCantRename.isEmpty());
        // The folder keeps its name; no counter, label or status changes.
        QVERIFY(QFileInfo::exists(fx.dir.path()));
        QCOMPARE(w.txtFiles, QStringLiteral("0"));
        QCOMPARE(w.lblStatus->text(), status);
        // The lists show the new names, the selection is gone, the folder is remembered.
        QCOMPARE(listed(w), (QStringList{"ALPHA ONE.TXT", "beta TWO.txt", "DELTA.TXT", "EPSILON.txt", "GAMMA THREE.TXT"}));
        for (int i = 0; i < 5; ++i)
            QVERIFY(!w.File1->Selected(i));
        QVERIFY(!w.mnuRenameSelected->isEnabled());
        QCOMPARE(fx.settings->read("Orvel Rename", "recent", "file1"), fx.dir.path() + QLatin1Char('/'));
    }

    void onlyRenameFolder()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("my PHOTOS/b ONE.jpg"));
        fx.touch(QStringLiteral("my PHOTOS/a TWO.jpg"));
        fx.services.startFolder = fx.path(QStringLiteral("my PHOTOS"));
        frmMain& w = fx.open();
        w.chkRenameFile->setChecked(false);
        w.chkRenameFolder->setChecked(true);
        w.File1->setSelected(0, true);
        w.File1->setSelected(1, true);
        w.cmdSELECTED->click();

        QVERIFY(QFileInfo(fx.path(QStringLiteral("My Photos"))).isDir());
        QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("my PHOTOS"))));
        QCOMPARE(fx.filesOnDisk(QStringLiteral("My Photos")), (QStringList{"a TWO.jpg", "b ONE.jpg"}));
        QVERIFY(w.lstCantRename.isEmpty()); // the second attempt finds nothing to change
        QVERIFY(fx.messages.shown.isEmpty());
        // The window follows the folder's new name.
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("My Photos")));
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("My Photos/")));
        QCOMPARE(w.txtSubDirectory, fx.path(QStringLiteral("My Photos")));
        QCOMPARE(w.File1->ListCount(), 2);
    }

    void folderAndFilesTogetherWhereCaseMatters()
    {
        // Once the folder is renamed its old path is gone: the files must be reached
        // through the new one, or every one of them would fail.
        MainWindowFixture fx;
        fx.touch(QStringLiteral("OLD stuff/FIRST file.txt"));
        fx.touch(QStringLiteral("OLD stuff/second FILE.txt"));
        fx.services.startFolder = fx.path(QStringLiteral("OLD stuff"));
        frmMain& w = fx.open();
        w.chkRenameFolder->setChecked(true);
        w.File1->setSelected(0, true);
        w.File1->setSelected(1, true);
        w.cmdSELECTED->click();

        QVERIFY(w.lstCantRename.isEmpty());
        QCOMPARE(fx.filesOnDisk(QStringLiteral("Old Stuff")), (QStringList{"First File.txt", "Second File.txt"}));
        QCOMPARE(fx.settings->read("Orvel Rename", "recent", "file1"), fx.path(QStringLiteral("Old Stuff/")));
        QCOMPARE(listed(w), (QStringList{"First File.txt", "Second File.txt"}));
    }

    void nothingSelected()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("some FILE.txt"));
        fx.touch(QStringLiteral("later/x.txt"));
        fx.services.startFolder = fx.path(QStringLiteral("later"));
        frmMain& w = fx.open();
        w.chkRenameFolder->setChecked(true);
        fx.touch(QStringLiteral("later/new.txt"));
        w.cmdSELECTED->click();
        QVERIFY(QFileInfo::exists(fx.path(QStringLiteral("later/x.txt"))));
        QVERIFY(QFileInfo(fx.path(QStringLiteral("later"))).isDir()); // not renamed without a selection
        QCOMPARE(w.File1->ListCount(), 2);                            // reloaded
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(fx.settings->read("Orvel Rename", "recent", "file1"), QString());
    }

    void bothBoxesClearAsksForOne()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("a FILE.txt"));
        frmMain& w = fx.open();
        w.lstCantRename << QStringLiteral("from an earlier run");
        w.chkRenameFile->setChecked(false);
        w.File1->setSelected(0, true);
        w.cmdSELECTED->click();
        QVERIFY(w.lstCantRename.isEmpty());
        QCOMPARE(fx.messages.shown.size(), 1);
        QCOMPARE(fx.messages.shown[0].text, QStringLiteral("Please checked Rename folder, Rename file or both."));
        QCOMPARE(fx.messages.shown[0].title, QStringLiteral("Checkbox must select"));
        QCOMPARE(fx.messages.shown[0].icon, MessageBoxes::Icon::Information);
        QCOMPARE(fx.filesOnDisk(), QStringList{"a FILE.txt"});
    }

    void doubleClickRenamesTheFile()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("one TWO.txt"));
        frmMain& w = fx.open();
        w.show();
        const QPoint at = w.File1->visualItemRect(w.File1->item(0)).center();
        QTest::mousePress(w.File1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w.File1->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(fx.filesOnDisk(), QStringList{"One Two.txt"});
    }

    void atTheRootPathsHaveOneSeparator_data()
    {
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("root");
        QTest::newRow("drive root") << true << "C:\\";
        QTest::newRow("posix root") << false << "/";
    }
    void atTheRootPathsHaveOneSeparator()
    {
        QFETCH(bool, windows);
        QFETCH(QString, root);
        const PathSyntax syntax = windows ? PathSyntax::windows() : PathSyntax::posix();
        QTemporaryDir empty;
        // Nothing must reach the real root: every rename goes to a double that refuses it.
        FaultyFileSystem fs;
        fs.beforeRename = [&](const QString& oldPath, const QString&) { fs.refusedRenames.insert(oldPath); };
        RenameSelectedJob job;
        job.folder = root;
        job.subDirectory = root;
        job.names = {QStringLiteral("ONE.TXT"), QStringLiteral("two.txt")};
        job.selected = {true, false};
        job.renameFolder = true;
        job.style = CaseStyle::Lower;
        QStringList failed;
        RenameSelected(job, fs, failed, {}, syntax);
        QCOMPARE(fs.renames.size(), 2);
        QCOMPARE(fs.renames[0], qMakePair(root, root)); // the root onto itself
        QCOMPARE(fs.renames[1], qMakePair(root + QStringLiteral("ONE.TXT"), root + QStringLiteral("one.txt")));
        QCOMPARE(failed, (QStringList{root, root + QStringLiteral("ONE.TXT")}));
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
        for (const char* n : {"a ONE.txt", "b TWO.txt", "c THREE.txt"})
            fx.touch(QString::fromLatin1(n));
        fs.refusedRenames.insert(fx.path(QStringLiteral("a ONE.txt")));
        if (refused == 2)
            fs.refusedRenames.insert(fx.path(QStringLiteral("c THREE.txt")));
        frmMain& w = fx.open();
        for (int i = 0; i < 3; ++i)
            w.File1->setSelected(i, true);
        fx.messages.answers << MessageBoxes::No;
        w.cmdSELECTED->click();

        QCOMPARE(fx.messages.shown.size(), 1);
        QCOMPARE(fx.messages.shown[0].text, question(refused));
        QCOMPARE(fx.messages.shown[0].title, QStringLiteral("File not renamed"));
        QCOMPARE(fx.messages.shown[0].icon, MessageBoxes::Icon::None);
        QCOMPARE(fx.messages.shown[0].buttons, int(MessageBoxes::Yes | MessageBoxes::No));
        QCOMPARE(fx.messages.shown[0].defaultButton, MessageBoxes::Yes);
        QCOMPARE(w.lstCantRename.size(), refused);
        QCOMPARE(w.lstCantRename.first(), fx.path(QStringLiteral("a ONE.txt")));
        QVERIFY(!frmChangeNot::loaded()); // No: no list window
        QVERIFY(fx.filesOnDisk().contains(QStringLiteral("B Two.txt")));
    }

    void theListWindowIsLoadedOnceAndKeepsItsList()
    {
        FaultyFileSystem fs;
        MainWindowFixture fx(&fs);
        fx.touch(QStringLiteral("first ONE.txt"));
        fx.touch(QStringLiteral("second TWO.txt"));
        fs.refusedRenames.insert(fx.path(QStringLiteral("first ONE.txt")));
        frmMain& w = fx.open();
        w.File1->setSelected(0, true);
        fx.messages.answers << MessageBoxes::Yes;
        w.cmdSELECTED->click();

        frmChangeNot* dialog = frmChangeNot::loaded();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Changes Not Made"));
        QCOMPARE(dialog->lstCantRename->count(), 1);
        QCOMPARE(dialog->lstCantRename->item(0)->text(), fx.path(QStringLiteral("first ONE.txt")));

        // A second run with another failure only brings the open window forward.
        fs.refusedRenames = {fx.path(QStringLiteral("second TWO.txt"))};
        w.File1->setSelected(1, true);
        fx.messages.answers << MessageBoxes::Yes;
        w.cmdSELECTED->click();
        QCOMPARE(frmChangeNot::loaded(), dialog);
        QCOMPARE(dialog->lstCantRename->count(), 1);
        QCOMPARE(dialog->lstCantRename->item(0)->text(), fx.path(QStringLiteral("first ONE.txt")));

        // Ok unloads it; the next Yes loads the new list.
        QPointer<frmChangeNot> watched(dialog);
        dialog->cmdOK->click();
        QTRY_VERIFY(watched.isNull());
        fx.messages.answers << MessageBoxes::Yes;
        w.File1->setSelected(1, true);
        w.cmdSELECTED->click();
        QVERIFY(frmChangeNot::loaded());
        QCOMPARE(frmChangeNot::loaded()->lstCantRename->item(0)->text(), fx.path(QStringLiteral("second TWO.txt")));
    }
};

QTEST_MAIN(TestRenameSelected)
#include "test_rename_selected.moc"
