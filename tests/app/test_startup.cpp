// Start-up: the folder the command line names, one instance at a time, and what a
// second start shows and does. The options as the program reads them are the command
// line test's.

#include "app/Startup.h"
#include "main_window/MainWindow.h"
#include "platform/NameCodec.h"
#include "platform/SingleInstance.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/TempTree.h"

#include <QApplication>
#include <QTest>

using namespace orvel;

static QList<MainWindow*> mainWindows()
{
    QList<MainWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<MainWindow*>(w))
            found << m;
    return found;
}

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A second start is refused with a message and brings the first forward, minimized
    // as it was. (One that names a folder, which the first window opens instead, is
    // started for real in check_startup.sh.)
    void aSecondStartIsRefusedAndBringsTheFirstForward()
    {
        test::TempDir dir;
        test::RecordingMessageBoxes messages;
        SingleInstance first(dir.filePath("instance.lock")), second(dir.filePath("instance.lock"));
        QVERIFY(StartUp(first, messages, dir.path()));
        QCOMPARE(mainWindows().size(), 1);
        MainWindow* window = mainWindows().first();
        QVERIFY(window->isVisible());
        QCOMPARE(window->findChild<FolderListBox*>(QStringLiteral("Dir1"))->Path(), dir.path());
        window->showMinimized();
        QVERIFY(!StartUp(second, messages, dir.path()));
        QCOMPARE(mainWindows().size(), 1);
        QCOMPARE(messages.shown,
                 QStringList{test::box("This program is already running\r\n\r\nCheck the system tray or your taskbar",
                                       "Orvel File Rename", MessageBoxes::Icon::Information, MessageBoxes::Ok,
                                       MessageBoxes::Ok)});
        QTRY_VERIFY(!window->isMinimized());
        QTRY_VERIFY(window->isActiveWindow());
        window->close();
    }

    // The working folder is "R\xe9SUM\xe9", which is not UTF-8; "@" in an argument stands
    // for its full path, and `opens` is relative to it. A null argument is none given;
    // one that names no folder earns one line on standard error.
    void startFolder_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("opens");
        QTest::newRow("none: the working folder") << QByteArray() << QByteArray("");
        QTest::newRow("relative, dots and a slash") << QByteArray("./my sub/../\xe9/") << QByteArray("\xe9");
        QTest::newRow("absolute") << QByteArray("@/my sub") << QByteArray("my sub");
        QTest::newRow("file URL, escaped") << QByteArray("file://@/%E9/..%2Fmy%20sub") << QByteArray("my sub");
        QTest::newRow("file URL, raw bytes and a blank")
            << QByteArray("file://localhost@/\xe9/../my sub") << QByteArray("my sub");
        QTest::newRow("file URL of another host") << QByteArray("file://elsewhere.example@/my sub") << QByteArray();
        QTest::newRow("web address") << QByteArray("https://example.com/my sub") << QByteArray();
        QTest::newRow("a file") << QByteArray("file.txt") << QByteArray();
    }
    void startFolder()
    {
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, opens);
        test::TempDir dir;
        const QByteArray working = QFile::encodeName(dir.path()) + "/R\xe9SUM\xe9";
        for (const QByteArray& folder : {working, working + "/my sub", working + "/\xe9"})
            QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        QVERIFY(std::ofstream((working + "/file.txt").constData()));
        const QByteArray before = QFile::encodeName(QDir::currentPath());
        QVERIFY(::chdir(working.constData()) == 0);
        QByteArray complaint;
        const QString folder =
            StartFolder(argument.isNull() ? std::nullopt : std::optional(argument.replace('@', working)), &complaint);
        QVERIFY(::chdir(before.constData()) == 0);
        QCOMPARE(folder, DecodeName(working + (opens.isEmpty() ? "" : "/" + opens)));
        QCOMPARE(
            QStringLiteral("%1 lines, %2").arg(complaint.count('\n')).arg(complaint.endsWith('\n') ? "ended" : "open"),
            opens.isNull() ? "1 lines, ended" : "0 lines, open");
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
