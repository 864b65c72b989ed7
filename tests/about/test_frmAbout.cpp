#include "about/AboutTexts.h"
#include "about/AboutWindows.h"
#include "about/frmAbout.h"

#include "tests/support/XdgSandbox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace orvel;
using orvel::test::XdgSandbox;

class TestAboutBox : public QObject {
    Q_OBJECT
public slots:
    // Stands in for the desktop's handler of mailto: addresses.
    void mailto(const QUrl& url) { m_mailed << url; }

private:
    QList<QUrl> m_mailed;

    static QStringList blink(frmAbout* box, int ticks)
    {
        QStringList seen{box->lbAppVersionorg->text()};
        for (int i = 0; i < ticks; ++i) {
            box->Timer1_Timer();
            seen << box->lbAppVersionorg->text();
        }
        return seen;
    }
    static frmAbout* showAbout()
    {
        ShowAbout();
        return AboutWindow() && QTest::qWaitForWindowExposed(AboutWindow()) ? AboutWindow() : nullptr;
    }
    // A move with no button held, delivered as the application delivers it (an
    // ignored move goes on to the parent), wherever the pointer last was.
    static QList<QColor> moveMouse(frmAbout* box, QWidget* w, const QPoint& pos)
    {
        QMouseEvent e(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
        return {box->lblMyweb->palette().color(QPalette::WindowText),
                box->lblEmailme->palette().color(QPalette::WindowText)};
    }

private slots:
    void cleanup()
    {
        if (AboutWindow())
            AboutWindow()->close();
        QTRY_VERIFY(!AboutWindow());
    }

    void loadAndBlink()
    {
        frmAbout* box = showAbout();
        QVERIFY(box && !box->isModal());
        QCOMPARE(QStringList({box->windowTitle(), box->lbAppTitle->text(), box->lbAppVersion[0]->text()}),
                 QStringList({"About This Software ...", "Orvel File Rename", "Version 1.1.0"}));
        // Both pictures come from resources in static libraries.
        QCOMPARE(box->imgIcon->pixmap().size(), QSize(32, 32));
        QCOMPARE(box->lpAppImage->pixmap().size(), QSize(77, 201));

        QCOMPARE(box->Timer1.interval(), 500);
        QCOMPARE(blink(box, 3), QStringList({"", "Version 1.1.0", "", "Version 1.1.0"}));
        // Shown again while open: the same box, not loaded again, so the blink goes on.
        QCOMPARE(showAbout(), box);
        QCOMPARE(blink(box, 1), QStringList({"Version 1.1.0", ""}));
        QTRY_COMPARE_WITH_TIMEOUT(box->lbAppVersionorg->text(), QString("Version 1.1.0"), 5000); // the timer ticks
        // Shown again after "Ok" but before the closed box is destroyed: a new box,
        // which starts with the empty phase.
        QPointer<frmAbout> closed(box);
        QTest::mouseClick(box->cmdExit, Qt::LeftButton);
        QVERIFY(!AboutWindow());
        box = showAbout();
        QTRY_VERIFY(closed.isNull());
        QVERIFY(box && box == AboutWindow());
        QCOMPARE(blink(box, 2), QStringList({"", "Version 1.1.0", ""}));
    }

    void linkColoursFollowTheMouse()
    {
        frmAbout* box = showAbout();
        QVERIFY(box);
        const QColor navy(0, 0, 128), black(0, 0, 0);
        QCOMPARE(moveMouse(box, box->lblMyweb, box->lblMyweb->rect().center()), QList<QColor>({navy, black}));
        // From one link straight onto the other: both stay navy until the background.
        QCOMPARE(moveMouse(box, box->lblEmailme, box->lblEmailme->rect().center()), QList<QColor>({navy, navy}));
        QCOMPARE(moveMouse(box, box, QPoint(box->width() - 5, 5)), QList<QColor>({black, black})); // background
    }

    void linksOpen()
    {
        XdgSandbox sandbox;
        frmAbout* box = showAbout();
        QVERIFY(box);
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "mailto");
        QTest::mouseClick(box->lblEmailme, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
        QCOMPARE(m_mailed, QList<QUrl>{QUrl("mailto:" + MakerMailAddress())});
        sandbox.registerBrowser(sandbox.standIn("browser") + " %u");
        QTest::mouseClick(box->lblMyweb, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(sandbox.recordedArgs("browser"), QStringList{MakerWebAddress()}, 10000);
    }

    // The program ends when its last window closes. The about box has no owner, so
    // it keeps the program running after the main window is gone, and closing it
    // then ends the program.
    void outlivesTheMainWindow()
    {
        QWidget mainWindow;
        mainWindow.show();
        frmAbout* box = showAbout();
        QVERIFY(box);
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        qsizetype closedWithMainGone = -1;
        QTimer::singleShot(0, &mainWindow, [&] {
            mainWindow.close();
            QTimer::singleShot(0, box, [&] {
                closedWithMainGone = lastClosed.count();
                box->close();
            });
        });
        QTimer::singleShot(20000, &mainWindow, [] { QCoreApplication::exit(2); }); // not forever
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(closedWithMainGone, 0);
        QCOMPARE(lastClosed.count(), 1);
    }
};

QTEST_MAIN(TestAboutBox)
#include "test_frmAbout.moc"
