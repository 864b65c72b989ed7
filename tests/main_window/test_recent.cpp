// The recent-folders list: the store, the File > Recents menu and clearing it.

#include "tests/main_window/MainWindowFixture.h"

#include <QAction>
#include <QSettings>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

namespace {

QStringList stored(const MainWindowFixture& fx)
{
    QStringList entries;
    for (int i = 1; i <= 3; ++i)
        entries << fx.settings->read(QStringLiteral("Orvel Rename"), QStringLiteral("recent"), QStringLiteral("file%1").arg(i));
    return entries;
}

} // namespace

class TestRecent : public QObject {
    Q_OBJECT

private slots:
    void theFirstFolderFillsEntryOne()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.LoadRecentMenu();
        QVERIFY(!w.mnuFileSub->menuAction()->isEnabled());
        QVERIFY(!w.mnuMRUClear->isEnabled());

        w.AddRecentFolder(QStringLiteral("/data/photos/"));
        QCOMPARE(stored(fx), (QStringList{"/data/photos/", "", ""}));
        // The store holds empty strings for the free entries, not absent keys.
        QSettings ini(fx.settings->fileOf(QStringLiteral("Orvel Rename")), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("recent/file3")), QVariant(QString()));

        w.LoadRecentMenu();
        QVERIFY(w.mnuFileSub->menuAction()->isEnabled());
        QVERIFY(w.mnuMRUClear->isEnabled());
        QVERIFY(w.mnuRecentSub[1]->isVisible());
        QCOMPARE(w.mnuRecentSub[1]->text(), QStringLiteral("/data/photos/"));
        QVERIFY(!w.mnuRecentSub[2]->isVisible() && !w.mnuRecentSub[3]->isVisible());
    }

    void newestFirstAndAFourthPushesTheOldestOut()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        for (const char* f : {"/a/", "/b/", "/c/", "/d/"})
            w.AddRecentFolder(QString::fromLatin1(f));
        QCOMPARE(stored(fx), (QStringList{"/d/", "/c/", "/b/"}));
        w.LoadRecentMenu();
        for (int i = 1; i <= 3; ++i)
            QVERIFY(w.mnuRecentSub[i]->isVisible());
        QCOMPARE(w.mnuRecentSub[3]->text(), QStringLiteral("/b/"));
    }

    void aKnownFolderKeepsItsPlaceWhateverItsCase()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        for (const char* f : {"/Photos/", "/b/", "/c/"})
            w.AddRecentFolder(QString::fromLatin1(f));
        w.AddRecentFolder(QStringLiteral("/PHOTOS/"));
        QCOMPARE(stored(fx), (QStringList{"/c/", "/b/", "/Photos/"}));
        // Without the trailing separator it is another text.
        w.AddRecentFolder(QStringLiteral("/c"));
        QCOMPARE(stored(fx), (QStringList{"/c", "/c/", "/b/"}));
    }

    void menuCaptionsShowAmpersandsAsTheyAre()
    {
        MainWindowFixture fx;
        fx.mkdir(QStringLiteral("Tom & Jerry"));
        frmMain& w = fx.open();
        const QString folder = fx.path(QStringLiteral("Tom & Jerry")) + QLatin1Char('/');
        w.AddRecentFolder(folder);
        w.LoadRecentMenu();
        QCOMPARE(w.mnuRecentSub[1]->iconText(), folder);
        w.mnuRecentSub[1]->trigger();
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Tom & Jerry")));
    }

    void choosingARecentFolderOpensIt()
    {
        MainWindowFixture fx;
        fx.touch(QStringLiteral("Old/one.txt"));
        frmMain& w = fx.open();
        w.AddRecentFolder(fx.path(QStringLiteral("Old/")));
        w.AddRecentFolder(fx.path(QStringLiteral("Gone/")));
        w.LoadRecentMenu();

        // A folder that no longer exists: nothing visible happens, the entry stays.
        w.mnuRecentSub[1]->trigger();
        QCOMPARE(w.Dir1->Path(), fx.dir.path());
        QVERIFY(fx.messages.shown.isEmpty());
        QCOMPARE(stored(fx).first(), fx.path(QStringLiteral("Gone/")));

        w.mnuRecentSub[2]->trigger();
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Old")));
        QCOMPARE(w.File1->ListCount(), 1);
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("Old/")));
    }

    void clearingAsksFirst()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.AddRecentFolder(QStringLiteral("/a/"));
        w.LoadRecentMenu();

        fx.messages.answers << MessageBoxes::No;
        w.mnuMRUClear->trigger();
        QCOMPARE(fx.messages.shown.size(), 1);
        QCOMPARE(fx.messages.shown[0].text, QStringLiteral("Are you sure you wish to clear your recent files list ?"));
        QCOMPARE(fx.messages.shown[0].title, QStringLiteral("Orvel Software"));
        QCOMPARE(fx.messages.shown[0].icon, MessageBoxes::Icon::None);
        QCOMPARE(fx.messages.shown[0].buttons, int(MessageBoxes::Yes | MessageBoxes::No));
        QCOMPARE(stored(fx).first(), QStringLiteral("/a/"));

        fx.messages.answers << MessageBoxes::Yes;
        w.mnuMRUClear->trigger();
        QVERIFY(!QFile::exists(fx.settings->fileOf(QStringLiteral("Orvel Rename"))));
        // The captions wait for the next opening of the File menu.
        QCOMPARE(w.mnuRecentSub[1]->text(), QStringLiteral("/a/"));
        emit w.mnuFile->aboutToShow();
        QVERIFY(w.mnuRecentSub[1]->text().isEmpty());
        QVERIFY(!w.mnuFileSub->menuAction()->isEnabled());
        QVERIFY(!w.mnuMRUClear->isEnabled());
    }

    void aCorruptOrUnwritableStoreNeverStopsTheProgram()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        {
            QFile f(fx.settings->fileOf(QStringLiteral("Orvel Rename")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("\x00\xff[recent\nfile1=@ByteArray(\xfe\n=\n[[[", 30);
        }
        w.LoadRecentMenu();
        QVERIFY(!w.mnuMRUClear->isEnabled());
        w.AddRecentFolder(QStringLiteral("/x/"));

        // A store whose folder cannot be created.
        IniSettingsStore blocked(fx.path(QStringLiteral("file-not-folder/sub")));
        fx.touch(QStringLiteral("file-not-folder"));
        fx.services.settings = &blocked;
        frmMain& again = fx.open();
        again.AddRecentFolder(QStringLiteral("/y/"));
        again.LoadRecentMenu();
        QVERIFY(!again.mnuMRUClear->isEnabled());
        QCOMPARE(blocked.read(QStringLiteral("Orvel Rename"), QStringLiteral("recent"), QStringLiteral("file1")), QString());
    }
};

QTEST_MAIN(TestRecent)
#include "test_recent.moc"
