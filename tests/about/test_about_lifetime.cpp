#include "about/AboutWindows.h"
#include "about/frmAbout.h"
#include "about/frmhelp.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace orvel;

// The program ends when its last window closes. The about box and the quick help
// have no owner, so either one keeps it running after the main window is gone, and
// closing it then ends the program.
class TestAboutLifetime : public QObject {
    Q_OBJECT
private:
    struct Outcome {
        int exitCode = -1;
        int lastClosedAfterMain = -1; // "last window closed" signals once the main window was closed
        int lastClosedAtEnd = -1;
    };

    // Runs the event loop, closes `mainWindow`, then `survivor`.
    static Outcome runAndClose(QWidget* mainWindow, QWidget* survivor)
    {
        Outcome outcome;
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QTimer::singleShot(0, mainWindow, [=, &outcome, &lastClosed] {
            mainWindow->close();
            QMetaObject::invokeMethod(
                survivor, [=, &outcome, &lastClosed] {
                    outcome.lastClosedAfterMain = int(lastClosed.count());
                    survivor->close();
                },
                Qt::QueuedConnection);
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(2); });
        guard.start(20000);
        outcome.exitCode = QApplication::exec();
        outcome.lastClosedAtEnd = int(lastClosed.count());
        return outcome;
    }

private slots:
    void initTestCase() { QVERIFY(QApplication::quitOnLastWindowClosed()); }

    void aboutBoxOutlivesTheMainWindow()
    {
        QWidget mainWindow;
        mainWindow.show();
        ShowAbout();
        QVERIFY(AboutWindow());
        const Outcome o = runAndClose(&mainWindow, AboutWindow());
        QCOMPARE(o.lastClosedAfterMain, 0);
        QCOMPARE(o.lastClosedAtEnd, 1);
        QCOMPARE(o.exitCode, 0);
    }

    void quickHelpOutlivesTheMainWindow()
    {
        QWidget mainWindow;
        mainWindow.show();
        ShowQuickHelp();
        QVERIFY(QuickHelpWindow());
        const Outcome o = runAndClose(&mainWindow, QuickHelpWindow());
        QCOMPARE(o.lastClosedAfterMain, 0);
        QCOMPARE(o.lastClosedAtEnd, 1);
        QCOMPARE(o.exitCode, 0);
    }
};

QTEST_MAIN(TestAboutLifetime)
#include "test_about_lifetime.moc"
