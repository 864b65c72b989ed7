// Moving through volumes and folders, "Up One Level", and the drop target.

#include "main_window/modPathOnly.h"
#include "tests/main_window/MainWindowFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

namespace {

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
    QDropEvent dropEvent(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.Label1, &dropEvent);
}

QMimeData* urls(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> list;
    for (const QString& p : paths)
        list << QUrl::fromLocalFile(p);
    data->setUrls(list);
    return data;
}

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT

private slots:
    void parentPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("parent");
        QTest::newRow("deep") << "C:\\Windows\\System32" << true << "C:\\Windows";
        QTest::newRow("below root") << "C:\\Windows" << true << "C:\\";
        QTest::newRow("root") << "C:\\" << true << "C:\\";
        QTest::newRow("trailing separator") << "C:\\Data\\" << true << "C:\\Data";
        QTest::newRow("no separator") << "Data" << true << "";
        QTest::newRow("posix deep") << "/usr/share" << false << "/usr";
        QTest::newRow("posix below root") << "/usr" << false << "/";
        QTest::newRow("posix root") << "/" << false << "/";
        QTest::newRow("posix trailing separator") << "/data/" << false << "/data";
        QTest::newRow("posix no separator") << "data" << false << "";
    }
    void parentPath()
    {
        QFETCH(QString, path);
        QFETCH(bool, windows);
        QFETCH(QString, parent);
        QCOMPARE(ParentPath(path, windows ? PathSyntax::windows() : PathSyntax::posix()), parent);
    }

    void doubleClickOpensTheFolderEverywhere()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("Sub/inner.txt"));
        fx.touch(QStringLiteral("top.txt"));
        frmMain& w = fx.open();
        w.show();
        w.chkRenameFolder->setChecked(true);
        w.mnuRenameSelected->setEnabled(false);
        QCOMPARE(w.File1->ListCount(), 1);

        QListWidgetItem* sub = dirItem(w, fx.path(QStringLiteral("Sub")));
        QVERIFY(sub);
        const QRect r = w.Dir1->visualItemRect(sub);
        // A real double click: the press of its first click, then the double click.
        QTest::mousePress(w.Dir1->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(w.Dir1->viewport(), Qt::LeftButton, {}, r.center());

        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Sub")));
        QCOMPARE(w.File1->Path(), fx.path(QStringLiteral("Sub")));
        QCOMPARE(w.File1->ListCount(), 1);
        QCOMPARE(w.File1->List(0), QStringLiteral("inner.txt"));
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("Sub")) + QLatin1Char('/'));
        QCOMPARE(w.txtSubDirectory, fx.path(QStringLiteral("Sub")));
        // "Rename Selected" was evaluated again.
        QVERIFY(w.mnuRenameSelected->isEnabled());
    }

    void singleClickKeepsTheFolderButReadsItsFilesAgain()
    {
        MainWindowFixture fx;
        fx.mkdir(QStringLiteral("Sub"));
        fx.touch(QStringLiteral("one.txt"));
        frmMain& w = fx.open();
        w.show();
        w.chkRenameFolder->setChecked(true);
        w.mnuRenameSelected->setEnabled(false);
        fx.touch(QStringLiteral("two.txt"));

        QListWidgetItem* sub = dirItem(w, fx.path(QStringLiteral("Sub")));
        QVERIFY(sub);
        QTest::mouseClick(w.Dir1->viewport(), Qt::LeftButton, {}, w.Dir1->visualItemRect(sub).center());

        QCOMPARE(w.Dir1->Path(), fx.dir.path());
        QCOMPARE(w.File1->ListCount(), 2); // the new file appears
        QCOMPARE(w.txtSubDirectory, fx.dir.path());
        QVERIFY(!w.mnuRenameSelected->isEnabled()); // not re-evaluated by a single click
    }

    void upOneLevel()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("A/B/x.txt"));
        fx.services.startFolder = fx.path(QStringLiteral("A/B"));
        frmMain& w = fx.open();
        w.cmdUpLevel->click();
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("A")));
        QCOMPARE(w.txtSubDirectory, fx.path(QStringLiteral("A")));
        QCOMPARE(w.File1->ListCount(), 0);

        // At the root the list stays where it is.
        QVERIFY(w.Dir1->setPath(QStringLiteral("/")));
        w.cmdUpLevel->click();
        QCOMPARE(w.Dir1->Path(), QStringLiteral("/"));
        QCOMPARE(w.txtDirectory->text(), QStringLiteral("/"));
    }

    void clickingAFileShowsItsName()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("Report.TXT"));
        frmMain& w = fx.open();
        w.show();
        QTest::mouseClick(w.File1->viewport(), Qt::LeftButton, {}, w.File1->visualItemRect(w.File1->item(0)).center());
        QCOMPARE(w.txtNAME->text(), QStringLiteral("Report.TXT"));
        QVERIFY(w.cmdSELECTED->isEnabled());
        QVERIFY(w.mnuRenameSelected->isEnabled());
    }

    void fileListsSortWithoutRegardToCase()
    {
        MainWindowFixture fx;
        for (const char* n : {"b.txt", "A.txt", "C.txt", "a2.txt", ".hidden"})
            fx.touch(QString::fromLatin1(n));
        fx.mkdir(QStringLiteral("folder"));
        frmMain& w = fx.open();
        QStringList names;
        for (int i = 0; i < w.File1->ListCount(); ++i)
            names << w.File1->List(i);
        QCOMPARE(names, (QStringList{"A.txt", "a2.txt", "b.txt", "C.txt"}));
        w.File1->setSelected(1, true);
        w.File1->setPath(fx.dir.path());
        QVERIFY(!w.File1->Selected(1)); // setting the path clears the selection
    }

    void droppingAFolderOpensIt_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one folder") << 1;
        QTest::newRow("several folders: the first counts") << 3;
    }
    void droppingAFolderOpensIt()
    {
        QFETCH(int, count);
        MainWindowFixture fx;
        fx.touch(QStringLiteral("Drop 1/in.txt"));
        fx.mkdir(QStringLiteral("Drop 2"));
        fx.mkdir(QStringLiteral("Drop 3"));
        frmMain& w = fx.open();
        w.lblStatus->setText(QStringLiteral("Renamed done !!"));
        QStringList paths;
        for (int i = 1; i <= count; ++i)
            paths << fx.path(QStringLiteral("Drop %1").arg(i));
        std::unique_ptr<QMimeData> data(urls(paths));
        drop(w, data.get());
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(w.Dir1->Path(), paths.first());
        QCOMPARE(w.File1->ListCount(), 1);
        QCOMPARE(w.txtDirectory->text(), paths.first() + QLatin1Char('/'));
        QVERIFY(w.lblStatus->text().isEmpty());
    }

    void droppingAnythingElseAsksForAFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a file") << "file";
        QTest::newRow("text") << "text";
        QTest::newRow("a web address") << "remote";
        QTest::newRow("a vanished folder") << "vanished";
    }
    void droppingAnythingElseAsksForAFolder()
    {
        QFETCH(QString, kind);
        MainWindowFixture fx;
        fx.touch(QStringLiteral("Sub/file.txt"));
        fx.services.startFolder = fx.path(QStringLiteral("Sub"));
        fx.services.programFolder = fx.dir.path();
        frmMain& w = fx.open();
        w.lblStatus->setText(QStringLiteral("Renamed done !!"));

        std::unique_ptr<QMimeData> data;
        if (kind == QLatin1String("file"))
            data.reset(urls({fx.path(QStringLiteral("Sub/file.txt"))}));
        else if (kind == QLatin1String("vanished"))
            data.reset(urls({fx.path(QStringLiteral("gone"))}));
        else if (kind == QLatin1String("remote")) {
            data.reset(new QMimeData);
            data->setUrls({QUrl(QStringLiteral("https://example.org/folder/"))});
        } else {
            data.reset(new QMimeData);
            data->setText(fx.path(QStringLiteral("Sub")));
        }
        drop(w, data.get());
        QCOMPARE(fx.messages.shown.size(), 1);
        QCOMPARE(fx.messages.shown[0].text, QStringLiteral("Select folder only ."));
        QCOMPARE(fx.messages.shown[0].title, QString());
        QCOMPARE(fx.messages.shown[0].icon, MessageBoxes::Icon::Information);
        QCOMPARE(fx.messages.shown[0].buttons, int(MessageBoxes::Ok));
        // The lists stay on the volume that holds the program.
        QCOMPARE(w.Drive1->Drive(), QStringLiteral("/"));
        QCOMPARE(w.File1->Path(), w.Dir1->Path());
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Renamed done !!"));
    }

    void aVolumeThatIsNotReadyIsRefusedWithItsName()
    {
        MainWindowFixture fx;
        fx.volumes.roots << QStringLiteral("/media/card");
        fx.volumes.unavailable << QStringLiteral("/media/card");
        frmMain& w = fx.open();
        QCOMPARE(w.Drive1->Drive(), QStringLiteral("/"));
        w.Drive1->setCurrentIndex(w.Drive1->findText(QStringLiteral("/media/card")));

        QCOMPARE(fx.messages.shown.size(), 1);
        QCOMPARE(fx.messages.shown[0].text, QStringLiteral("The drive you have selected cannot be accessed."));
        QCOMPARE(fx.messages.shown[0].title, QStringLiteral("Problems with drive /MEDIA/CARD"));
        QCOMPARE(fx.messages.shown[0].icon, MessageBoxes::Icon::Critical);
        QCOMPARE(w.Drive1->Drive(), QStringLiteral("/"));
        QCOMPARE(w.Dir1->Path(), fx.dir.path());
    }

    void otherVolumeFailuresAreSilent()
    {
        MainWindowFixture fx;
        fx.volumes.roots << QStringLiteral("/media/locked");
        fx.volumes.failing << QStringLiteral("/media/locked");
        frmMain& w = fx.open();
        w.Drive1->setCurrentIndex(w.Drive1->findText(QStringLiteral("/media/locked")));
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(w.Drive1->Drive(), QStringLiteral("/"));
        QCOMPARE(w.Dir1->Path(), fx.dir.path());
    }

    void aVolumeOpensAtItsCurrentFolder()
    {
        MainWindowFixture fx;
        fx.mkdir(QStringLiteral("vol/deep"));
        const QString volume = fx.path(QStringLiteral("vol"));
        fx.volumes.roots << volume;
        frmMain& w = fx.open();
        // First visit: the volume's root; then the last folder opened on it.
        w.Drive1->setDrive(volume);
        QCOMPARE(w.Dir1->Path(), volume);
        QVERIFY(w.Dir1->setPath(fx.path(QStringLiteral("vol/deep"))));
        QCOMPARE(w.Drive1->Drive(), volume); // the folder list does not move the drive list
        w.Drive1->setDrive(QStringLiteral("/"));
        QCOMPARE(w.Dir1->Path(), fx.dir.path()); // the start volume's current folder
        w.Drive1->setDrive(volume);
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("vol/deep")));
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("vol/deep/")));
    }
};

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"
