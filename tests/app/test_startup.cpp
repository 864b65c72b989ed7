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

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void aSecondInstanceIsRefusedWithTheMessage()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("instance.lock"));
        SingleInstance first(lock);
        QVERIFY(first.tryAcquire());

        SingleInstance second(lock);
        RecordingMessageBoxes messages;
        QVERIFY(!StartUp(second, messages));
        QCOMPARE(messages.shown.size(), 1);
        const auto& m = messages.shown.first();
        QCOMPARE(m.text, QStringLiteral("This program is already running\r\n\r\nCheck the system tray or your taskbar"));
        QCOMPARE(m.title, QStringLiteral("Orvel File Rename"));
        QCOMPARE(m.icon, MessageBoxes::Icon::Information);
        QCOMPARE(m.buttons, int(MessageBoxes::Ok));
        // No window was loaded.
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<frmMain*>(w));
        // The first instance still holds its lock.
        SingleInstance third(lock);
        QVERIFY(!third.tryAcquire());
    }

    void theLockIsFreeOnceItsHolderIsGone()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("instance.lock"));
        {
            SingleInstance first(lock);
            QVERIFY(first.tryAcquire());
        }
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

    void startUpOpensTheMainWindow()
    {
        QTemporaryDir dir;
        SingleInstance instance(dir.filePath(QStringLiteral("instance.lock")));
        RecordingMessageBoxes messages;
        QVERIFY(StartUp(instance, messages));
        QVERIFY(messages.shown.isEmpty());
        frmMain* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<frmMain*>(w))
                window = m;
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        window->close();
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
