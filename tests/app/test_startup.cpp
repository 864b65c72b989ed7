// Start-up: the folder the command line names, the program's pictures, one instance at
// a time, and what a second start shows and does.

#include "app/modStartup.h"
#include "main_window/frmMain.h"
#include "platform/AppIcon.h"
#include "platform/NameCodec.h"
#include "platform/SingleInstance.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/TempTree.h"

#include <QApplication>
#include <QtTest>

using namespace orvel;

static QList<frmMain*> mainWindows()
{
    QList<frmMain*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<frmMain*>(w))
            found << m;
    return found;
}

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    // The pictures live in a static library; this fails when the linker drops its
    // resource code or a file is missing from it.
    void picturesLoad()
    {
        QCOMPARE(ApplicationIcon32().size(), QSize(32, 32));
        QCOMPARE(UpLevelPicture().size(), QSize(16, 16));
        for (int s : {16, 22, 24, 32, 48, 64, 128, 256}) // every size a desktop may ask for
            QVERIFY2(ApplicationIcon().availableSizes().contains(QSize(s, s)), qPrintable(QString::number(s)));
    }

    void aSecondStartIsRefusedAndBringsTheFirstForward()
    {
        test::TempDir dir;
        const QString lock = dir.filePath(QStringLiteral("instance.lock"));
        test::RecordingMessageBoxes messages;
        {
            SingleInstance first(lock), second(lock);
            QVERIFY(StartUp(first, messages, dir.path()));
            QVERIFY(messages.shown.isEmpty());
            QCOMPARE(mainWindows().size(), 1);
            frmMain* window = mainWindows().first();
            QVERIFY(window->isVisible());
            QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
            QCOMPARE(window->Dir1->Path(), dir.path());
            window->showMinimized();

            QVERIFY(!StartUp(second, messages, dir.path()));
            QCOMPARE(messages.shown.size(), 1);
            QCOMPARE(messages.shown[0].text, QStringLiteral("This program is already running\r\n\r\nCheck the system tray or your taskbar"));
            QCOMPARE(messages.shown[0].title, QStringLiteral("Orvel File Rename"));
            QCOMPARE(messages.shown[0].icon, MessageBoxes::Icon::Information);
            QCOMPARE(messages.shown[0].buttons, int(MessageBoxes::Ok));
            QTRY_VERIFY(!window->isMinimized());
            QTRY_VERIFY(window->isActiveWindow());
            QCOMPARE(mainWindows().size(), 1);
            window->close();
        }
        // Once its holder is gone, the lock is free again.
        QCOMPARE(SingleInstance(lock).tryAcquire(), SingleInstance::Result::Acquired);
    }

    // The working folder is "R\xe9SUM\xe9", which is not UTF-8; "@" in an argument
    // stands for its full path, and `opens` is relative to it.
    void startFolder_data()
    {
        QTest::addColumn<bool>("given");
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("opens");
        QTest::addColumn<bool>("complains");
        auto row = [](const char* name, bool given, const QByteArray& arg, const QByteArray& opens, bool complains) {
            QTest::newRow(name) << given << arg << opens << complains;
        };
        row("none: the working folder", false, "", "", false);
        row("relative, dots and a slash", true, "./my sub/../\xe9/", "\xe9", false);
        row("absolute", true, "@/my sub", "my sub", false);
        row("file URL, escaped", true, "file://@/%E9/..%2Fmy%20sub", "my sub", false);
        row("file URL, raw bytes and a blank", true, "file://localhost@/\xe9/../my sub", "my sub", false);
        row("file URL of another host", true, "file://elsewhere.example@/my sub", "", true);
        row("web address", true, "https://example.com/my sub", "", true);
        row("a file", true, "file.txt", "", true);
    }
    void startFolder()
    {
        QFETCH(bool, given);
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, opens);
        QFETCH(bool, complains);
        test::TempDir dir;
        const QByteArray working = QFile::encodeName(dir.path()) + "/R\xe9SUM\xe9";
        for (const QByteArray& folder : {working, working + "/my sub", working + "/\xe9"})
            QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        QVERIFY(std::ofstream((working + "/file.txt").constData()));
        const QByteArray before = QFile::encodeName(QDir::currentPath());
        QVERIFY(::chdir(working.constData()) == 0);
        QByteArray complaint;
        const QString folder = StartFolder(given ? std::optional(argument.replace('@', working)) : std::nullopt, &complaint);
        QVERIFY(::chdir(before.constData()) == 0);
        QCOMPARE(folder, DecodeName(working + (opens.isEmpty() ? "" : "/" + opens)));
        QCOMPARE(complaint.count('\n'), complains ? 1 : 0);
        QVERIFY2(complaint.endsWith('\n') == complains, complaint.constData());
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
