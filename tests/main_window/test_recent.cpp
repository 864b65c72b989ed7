// The recent-folders list: the store, the File > Recents menu and clearing it.

#include "platform/NameCodec.h"
#include "tests/main_window/MainWindowFixture.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

class TestRecent : public QObject {
    Q_OBJECT

private slots:
    void orderAndUniqueness()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.LoadRecentMenu();
        QVERIFY(!w.mnuFileSub->menuAction()->isEnabled());
        QVERIFY(!w.mnuMRUClear->isEnabled());

        // The first folder fills entry one; the others are stored as empty strings.
        w.AddRecentFolder(QStringLiteral("/Photos/"));
        QSettings ini(fx.settings.fileOf(QStringLiteral("Orvel Rename")), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("recent/file3")), QVariant(QString()));
        w.LoadRecentMenu();
        QVERIFY(w.mnuFileSub->menuAction()->isEnabled());
        QVERIFY(w.mnuMRUClear->isEnabled());
        QVERIFY(w.mnuRecentSub[1]->isVisible());
        QVERIFY(!w.mnuRecentSub[2]->isVisible());

        // Newest first; a known folder keeps its place whatever its letter case; a
        // missing trailing separator makes another text; a fourth pushes the oldest out.
        for (const char* f : {"/b/", "/PHOTOS/", "/c/"})
            w.AddRecentFolder(QString::fromLatin1(f));
        QCOMPARE((QStringList{fx.recent(1), fx.recent(2), fx.recent(3)}), (QStringList{"/c/", "/b/", "/Photos/"}));
        w.AddRecentFolder(QStringLiteral("/c"));
        QCOMPARE((QStringList{fx.recent(1), fx.recent(2), fx.recent(3)}), (QStringList{"/c", "/c/", "/b/"}));
        w.LoadRecentMenu();
        QCOMPARE(w.mnuRecentSub[3]->text(), QStringLiteral("/b/"));
        QVERIFY(w.mnuRecentSub[3]->isVisible());
        // Two folders whose names differ in bytes that are not UTF-8 are two folders,
        // and each is stored with its bytes.
        w.AddRecentFolder(DecodeName("/CAF\xc9/"));
        w.AddRecentFolder(DecodeName("/caf\xe9/"));
        QCOMPARE(fx.recent(1), DecodeName("/caf\xe9/"));
        QCOMPARE(fx.recent(2), DecodeName("/CAF\xc9/"));
    }

    void choosingARecentFolder()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open({"Tom & Jerry/one.txt"});
        w.AddRecentFolder(fx.path(QStringLiteral("Tom & Jerry/")));
        w.AddRecentFolder(fx.path(QStringLiteral("Gone/")));
        w.LoadRecentMenu();
        QCOMPARE(w.mnuRecentSub[2]->iconText(), fx.path(QStringLiteral("Tom & Jerry/"))); // '&' shown as it is
        // A folder that no longer exists: nothing visible happens, the entry stays.
        w.mnuRecentSub[1]->trigger();
        QCOMPARE(w.Dir1->Path(), fx.dir.path());
        QCOMPARE(fx.recent(1), fx.path(QStringLiteral("Gone/")));
        w.mnuRecentSub[2]->trigger();
        QCOMPARE(w.Dir1->Path(), fx.path(QStringLiteral("Tom & Jerry")));
        QCOMPARE(w.File1->ListCount(), 1);
        QCOMPARE(w.txtDirectory->text(), fx.path(QStringLiteral("Tom & Jerry/")));
        QVERIFY(fx.messages.shown.isEmpty());
    }

    void clearingAsksFirst()
    {
        MainWindowFixture fx;
        frmMain& w = fx.open();
        w.AddRecentFolder(QStringLiteral("/a/"));
        fx.messages.answers << MessageBoxes::No << MessageBoxes::Yes;
        w.mnuMRUClear->trigger();
        QVERIFY(fx.shownOnce(QStringLiteral("Are you sure you wish to clear your recent files list ?"),
                             QStringLiteral("Orvel Software"), MessageBoxes::Icon::None, MessageBoxes::Yes | MessageBoxes::No));
        QCOMPARE(fx.recent(1), QStringLiteral("/a/"));
        w.mnuMRUClear->trigger();
        QVERIFY(!QFile::exists(fx.settings.fileOf(QStringLiteral("Orvel Rename"))));
        QCOMPARE(w.mnuRecentSub[1]->text(), QStringLiteral("/a/")); // until the File menu opens again
        emit w.mnuFile->aboutToShow();
        QVERIFY(w.mnuRecentSub[1]->text().isEmpty());
        QVERIFY(!w.mnuFileSub->menuAction()->isEnabled());
        QVERIFY(!w.mnuMRUClear->isEnabled());
    }

    void aBrokenStoreReadsAsEmpty()
    {
        MainWindowFixture fx;
        {
            QFile f(fx.settings.fileOf(QStringLiteral("Orvel Rename")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("\x00\xff[recent\nfile1=@ByteArray(\xfe\n=\n[[[", 30);
        }
        frmMain& w = fx.open();
        w.LoadRecentMenu();
        QVERIFY(!w.mnuMRUClear->isEnabled());
        w.AddRecentFolder(QStringLiteral("/x/"));
        // A store whose folder cannot be made: nothing is kept, nothing stops.
        fx.touch(QStringLiteral("file-not-folder"));
        IniSettingsStore blocked(fx.path(QStringLiteral("file-not-folder/sub")));
        fx.services.settings = &blocked;
        frmMain& again = fx.open();
        again.AddRecentFolder(QStringLiteral("/y/"));
        again.LoadRecentMenu();
        QVERIFY(!again.mnuMRUClear->isEnabled());
    }
};

QTEST_MAIN(TestRecent)
#include "test_recent.moc"
