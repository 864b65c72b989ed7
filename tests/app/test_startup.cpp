// Start-up: one instance per user, and the message that a second start shows.

#include "app/modStartup.h"
#include "main_window/frmMain.h"
#include "platform/SingleInstance.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace orvel;
using namespace orvel::test;

namespace {
QList<frmMain*> mainWindows()
{
    QList<frmMain*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<frmMain*>(w))
            found << m;
    return found;
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void oneInstanceAtATime()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("instance.lock"));
        RecordingMessageBoxes messages;
        {
            SingleInstance first(lock);
            QVERIFY(StartUp(first, messages));
            QVERIFY(messages.shown.isEmpty());
            QCOMPARE(mainWindows().size(), 1);
            frmMain* window = mainWindows().first();
            QVERIFY(window->isVisible() && window->testAttribute(Qt::WA_DeleteOnClose));

            // A second start shows the message, loads no window and leaves the first alone.
            SingleInstance second(lock);
            QVERIFY(!StartUp(second, messages));
            QCOMPARE(messages.shown.size(), 1);
            QCOMPARE(messages.shown[0].text, QStringLiteral("This program is already running\r\n\r\nCheck the system tray or your taskbar"));
            QCOMPARE(messages.shown[0].title, QStringLiteral("Orvel File Rename"));
            QCOMPARE(messages.shown[0].icon, MessageBoxes::Icon::Information);
            QCOMPARE(messages.shown[0].buttons, int(MessageBoxes::Ok));
            QCOMPARE(mainWindows().size(), 1);
            window->close();
        }
        // Once its holder is gone, the lock is free again.
        SingleInstance next(lock);
        QVERIFY(next.tryAcquire());
    }

    void aLockLeftByACrashedInstanceDoesNotBlock()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("instance.lock"));
        // The id of a process that has ended (free now, or reused by an unrelated program).
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile f(lock);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::number(pid) + "\norvel-file-rename\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        f.close();
        SingleInstance next(lock);
        QVERIFY(next.tryAcquire());
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
