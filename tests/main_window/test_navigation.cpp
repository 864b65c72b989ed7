// Moving through volumes and folders, "Up One Level", and the drop target.

#include "main_window/modPathOnly.h"
#include "tests/main_window/MainWindowFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

namespace {

// What desktops set to open items on a single click tell the toolkit.
class SingleClickActivation : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* data) const override
    {
        return hint == SH_ItemView_ActivateItemOnSingleClick ? 1 : QProxyStyle::styleHint(hint, option, widget, data);
    }
};

void clickItem(QListWidget* list, QListWidgetItem* item, bool twice)
{
    const QPoint at = list->visualItemRect(item).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    else
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

QListWidgetItem* dirItem(const frmMain& w, const QString& path)
{
    for (int i = 0; i < w.Dir1->count(); ++i)
        if (w.Dir1->item(i)->data(Qt::UserRole).toString() == path)
            return w.Dir1->item(i);
    return nullptr;
}

void drop(frmMain& w, QMimeData* data)
{
    const QPoint at = w.Label1->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.Label1, &enter);
    QDropEvent dropped(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.Label1, &dropped);
}

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT

private slots:
    void parentPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("parent");
        QTest::newRow("deep") << "C:\\Windows\\System32" << "C:\\Windows";
        QTest::newRow("below root") << "C:\\Windows" << "C:\\";
        QTest::newRow("root") << "C:\\" << "C:\\";
        QTest::newRow("trailing separator") << "C:\\Data\\" << "C:\\Data";
        QTest::newRow("no separator") << "Data" << "";
    }
    void parentPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, parent);
        QCOMPARE(ParentPath(path, PathSyntax::windows()), parent);
        // The Linux twin: the same path with '/' and no drive letter.
        auto posix = [](QString p) { return p.replace(QStringLiteral("C:"), QString()).replace(QLatin1Char('\\'), QLatin1Char('/')); };
        QCOMPARE(ParentPath(posix(path), PathSyntax::posix()), parent.isEmpty() ? QString() : posix(parent));
    }

    void foldersOpenOnDoubleClickOrEnter_data()
    {
        QTest::addColumn<bool>("singleClickDesktop");
        QTest::newRow("double-click desktop") << false;
        QTest::newRow("single-click desktop") << true;
    }
    void foldersOpenOnDoubleClickOrEnter()
    {
        QFETCH(bool, singleClickDesktop);
        SingleClickActivation singleClick; // outlives the window that uses it
        MainWindowFixture fx;
        frmMain& w = fx.open({"Sub/inner.txt", "top.txt"});
        if (singleClickDesktop)
            w.Dir1->setStyle(&singleClick);
        w.show();
        w.chkRenameFolder->setChecked(true);
        // A single click keeps the open folder but reads its files again.
        fx.touch(QStringLiteral("second.txt"));
        w.mnuRenameSelected->setEnabled(false);
        clickItem(w.Dir1, dirItem(w, fx.path(QStringLiteral("Sub"))), false);
        QCOMPARE(w.Dir1->Path(), fx.dir.path());
        QCOMPARE(w.File1->ListCount(), 2);
        QVERIFY(!w.mnuRenameSelected->isEnabled()); // not re-evaluated by a single click
        // A double click opens the folder in every list and text.
        clickItem(w.Dir1, dirItem(w, fx.path(QStringLiteral("Sub"))), true);
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Sub")));
        QCOMPARE(entriesOf(w.File1), QStringList{"inner.txt"});
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("Sub/")));
        QCOMPARE(w.txtSubDirectory, fx.path(QStringLiteral("Sub")));
        QVERIFY(w.mnuRenameSelected->isEnabled());
        // Up One Level goes back, Enter opens the highlighted folder.
        w.cmdUpLevel->click();
        QCOMPARE(w.Dir1->Path(), fx.dir.path());
        w.Dir1->setCurrentItem(dirItem(w, fx.path(QStringLiteral("Sub"))));
        QTest::keyClick(w.Dir1, Qt::Key_Return);
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Sub")));
    }

    void theFileList()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open({"b.txt", "A.txt", "C.txt", "a2.txt", ".hidden", "folder/x"});
        w.show();
        // Sorted without regard to case; no hidden entries, no folders.
        QCOMPARE(entriesOf(w.File1), (QStringList{"A.txt", "a2.txt", "b.txt", "C.txt"}));
        clickItem(w.File1, w.File1->item(3), false);
        QCOMPARE(w.txtNAME->text(), QStringLiteral("C.txt"));
        QVERIFY(w.cmdSELECTED->isEnabled());
        QVERIFY(w.mnuRenameSelected->isEnabled());
        w.File1->setPath(fx.dir.path());
        QVERIFY(!w.File1->Selected(3)); // a new path clears the selection
    }

    void dropping_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opens");
        QTest::newRow("folders: the first opens") << "folders" << true;
        for (const char* kind : {"file", "text", "remote", "vanished"})
            QTest::newRow(kind) << QString::fromLatin1(kind) << false;
    }
    void dropping()
    {
        QFETCH(QString, kind);
        QFETCH(bool, opens);
        MainWindowFixture fx;
        frmMain& w = fx.open({"Sub/file.txt", "Drop 1/in.txt", "Drop 2/x"}, QStringLiteral("Sub"));
        w.lblStatus->setText(QStringLiteral("Renamed done !!"));
        QMimeData data;
        if (kind == QLatin1String("folders"))
            data.setUrls({QUrl::fromLocalFile(fx.path(QStringLiteral("Drop 1"))), QUrl::fromLocalFile(fx.path(QStringLiteral("Drop 2")))});
        else if (kind == QLatin1String("text"))
            data.setText(fx.path(QStringLiteral("Sub")));
        else if (kind == QLatin1String("remote"))
            data.setUrls({QUrl(QStringLiteral("https://example.org/folder/"))});
        else
            data.setUrls({QUrl::fromLocalFile(fx.path(kind == QLatin1String("file") ? "Sub/file.txt" : "gone"))});
        drop(w, &data);
        QCOMPARE(w.File1->Path(), w.Dir1->Path());
        if (!opens) {
            QVERIFY(fx.shownOnce(QStringLiteral("Select folder only ."), QString(), MessageBoxes::Icon::Information, MessageBoxes::Ok));
            QCOMPARE(w.Drive1->Drive(), QStringLiteral("/")); // the volume holding the program
            return;
        }
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Drop 1")));
        QCOMPARE(entriesOf(w.File1), QStringList{"in.txt"});
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("Drop 1/")));
        QVERIFY(w.lblStatus->text().isEmpty());
    }

    void aVolumeThatCannotBeOpened_data()
    {
        QTest::addColumn<bool>("notReady");
        QTest::newRow("not ready: message") << true;
        QTest::newRow("other failure: silent") << false;
    }
    void aVolumeThatCannotBeOpened()
    {
        QFETCH(bool, notReady);
        MainWindowFixture fx;
        fx.volumes.roots << QStringLiteral("/media/card");
        (notReady ? fx.volumes.unavailable : fx.volumes.failing) << QStringLiteral("/media/card");
        frmMain& w = fx.open();
        w.Drive1->setCurrentIndex(w.Drive1->findText(QStringLiteral("/media/card")));
        if (notReady)
            QVERIFY(fx.shownOnce(QStringLiteral("The drive you have selected cannot be accessed."),
                                 QStringLiteral("Problems with drive /MEDIA/CARD"), MessageBoxes::Icon::Critical, MessageBoxes::Ok));
        else
            QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(w.Drive1->Drive(), QStringLiteral("/"));
        QCOMPARE(w.Dir1->Path(), fx.dir.path());
    }

    void aVolumeOpensAtItsCurrentFolder()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("vol/deep/x"));
        const QString volume = fx.path(QStringLiteral("vol"));
        fx.volumes.roots << volume;
        frmMain& w = fx.open();
        w.Drive1->setDrive(volume); // first visit: its root
        QCOMPARE(w.Dir1->Path(), volume);
        QVERIFY(w.Dir1->setPath(fx.path(QStringLiteral("vol/deep"))));
        w.Drive1->setDrive(QStringLiteral("/"));
        QCOMPARE(w.Dir1->Path(), fx.dir.path()); // the start volume's current folder
        w.Drive1->setDrive(volume);
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("vol/deep")));
    }

    void theDriveListIsReReadWhenItDropsDown()
    {
        MainWindowFixture fx;
        fx.volumes.roots << QStringLiteral("/media/old");
        frmMain& w = fx.open();
        QSignalSpy changes(w.Drive1, &DriveListBox::Change);
        // A stick plugged in, another volume and the selected one gone meanwhile.
        fx.volumes.roots = {QStringLiteral("/media/stick")};
        w.Drive1->showPopup();
        QStringList listed;
        for (int i = 0; i < w.Drive1->count(); ++i)
            listed << w.Drive1->itemText(i);
        w.Drive1->hidePopup();
        QCOMPARE(listed, (QStringList{"/", "/media/stick"}));
        QCOMPARE(w.Drive1->Drive(), QStringLiteral("/"));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(w.Dir1->Path(), fx.dir.path());
    }
};

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"
