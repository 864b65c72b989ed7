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

// Stands in for the desktop's handler of mailto: addresses.
class MailCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class TestAboutBox : public QObject {
    Q_OBJECT
private:
    static QColor textColour(QLabel* l) { return l->palette().color(QPalette::WindowText); }
    // A move with no button held, delivered the way the application delivers it
    // (an ignored move goes on to the parent), without depending on where the
    // pointer of the test platform last was.
    static void moveMouse(QWidget* w, const QPoint& pos)
    {
        QMouseEvent e(QEvent::MouseMove, QPointF(pos), QPointF(w->mapToGlobal(pos)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    static QStringList blinkSequence(frmAbout* box, int ticks)
    {
        QStringList seen{box->lbAppVersionorg->text()};
        for (int i = 0; i < ticks; ++i) {
            box->Timer1_Timer();
            seen << box->lbAppVersionorg->text();
        }
        return seen;
    }

private slots:
    void cleanup()
    {
        if (AboutWindow())
            AboutWindow()->close();
        QTRY_VERIFY(!AboutWindow());
    }

    void loadFillsTitleVersionAndIcon()
    {
        frmAbout box;
        QCOMPARE(box.windowTitle(), QString("About This Software ..."));
        QCOMPARE(box.lbAppTitle->text(), QString("Orvel File Rename"));
        QCOMPARE(box.lbAppTitle->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QVERIFY(box.lbAppTitle->font().bold());
        QCOMPARE(box.lbAppVersion[0]->text(), QString("Version 1.1.0"));
        QCOMPARE(VersionText(), QString("Version %1.%2.%3").arg(ORVEL_VERSION_MAJOR).arg(ORVEL_VERSION_MINOR).arg(ORVEL_VERSION_PATCH));
        QVERIFY(box.lbAppVersion[0]->isHidden());
        QVERIFY(!box.lbAppVersion[1]->isHidden());
        QCOMPARE(box.lbAppVersion[1]->text(), QString());
        QCOMPARE(box.lbAppVersionorg->text(), QString());
        QCOMPARE(box.imgIcon->pixmap().size(), QSize(32, 32));
        QCOMPARE(box.lpAppImage->pixmap().size(), QSize(77, 201));
        QCOMPARE(box.cmdExit->text(), QString("&Ok"));
        QCOMPARE(box.cmdSysinfo->text(), QString("&System Info..."));
        QCOMPARE(box.lblMyweb->text(), MakerWebAddress());
        QCOMPARE(box.lblEmailme->text(), MakerMailAddress());
        QVERIFY(box.lblMyweb->text().contains("example.com"));
        QVERIFY(box.lblEmailme->text().endsWith("@example.com"));
        QCOMPARE(box.size(), QSize(349, 327));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        QCOMPARE(box.font().family(), QString("Tahoma"));
        bool urlCaption = false, mailCaption = false;
        for (QLabel* l : box.findChildren<QLabel*>()) {
            urlCaption |= l->text() == "URL      :";
            mailCaption |= l->text() == "Email    :";
        }
        QVERIFY(urlCaption);
        QVERIFY(mailCaption);
    }

    void timerBlinksEveryHalfSecond()
    {
        frmAbout box;
        QVERIFY(box.Timer1.isActive());
        QCOMPARE(box.Timer1.interval(), 500);
        QCOMPARE(blinkSequence(&box, 5),
                 QStringList({"", "Version 1.1.0", "", "Version 1.1.0", "", "Version 1.1.0"}));
    }

    void timerDrivesTheLineByItself()
    {
        ShowAbout();
        frmAbout* box = AboutWindow();
        QVERIFY(box);
        QCOMPARE(box->lbAppVersionorg->text(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(box->lbAppVersionorg->text(), QString("Version 1.1.0"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(box->lbAppVersionorg->text(), QString(), 5000);
    }

    void reopenedBoxStartsWithTheEmptyPhase()
    {
        ShowAbout();
        frmAbout* first = AboutWindow();
        QVERIFY(first);
        blinkSequence(first, 3); // ends showing the version, next tick would empty it
        QCOMPARE(first->lbAppVersionorg->text(), QString("Version 1.1.0"));
        QPointer<frmAbout> watch(first);
        QTest::mouseClick(first->cmdExit, Qt::LeftButton);
        QVERIFY(!AboutWindow());
        QTRY_VERIFY(watch.isNull());

        ShowAbout();
        frmAbout* second = AboutWindow();
        QVERIFY(second);
        QCOMPARE(blinkSequence(second, 2), QStringList({"", "Version 1.1.0", ""}));
    }

    void loadedOnceAndWithoutModality()
    {
        ShowAbout();
        frmAbout* box = AboutWindow();
        QVERIFY(box && box->isVisible() && !box->isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        box->BlinkPhase = 1;
        ShowAbout();
        QCOMPARE(AboutWindow(), box);
        QCOMPARE(box->BlinkPhase, 1); // not loaded again
        QVERIFY(box->windowFlags() & Qt::Tool); // kept out of the task bar
    }

    void linkColoursFollowTheMouse()
    {
        ShowAbout();
        frmAbout* box = AboutWindow();
        QVERIFY(QTest::qWaitForWindowExposed(box));
        const QColor navy(0, 0, 128), black(0, 0, 0);
        QCOMPARE(textColour(box->lblMyweb), black);
        QCOMPARE(textColour(box->lblEmailme), black);

        moveMouse(box->lblMyweb, box->lblMyweb->rect().center());
        QCOMPARE(textColour(box->lblMyweb), navy);
        QCOMPARE(textColour(box->lblEmailme), black);

        // From one link straight onto the other: both stay navy until the background.
        moveMouse(box->lblEmailme, box->lblEmailme->rect().center());
        QCOMPARE(textColour(box->lblEmailme), navy);
        QCOMPARE(textColour(box->lblMyweb), navy);

        const QPoint background(box->width() - 5, 5);
        QVERIFY(box->childAt(background) == nullptr);
        moveMouse(box, background);
        QCOMPARE(textColour(box->lblMyweb), black);
        QCOMPARE(textColour(box->lblEmailme), black);
    }

    void mailLinkAsksTheDesktop()
    {
        MailCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
        frmAbout box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::mouseClick(box.lblEmailme, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl("mailto:" + MakerMailAddress())});
        // A desktop without a mail handler: the click is simply lost.
        QTest::mouseClick(box.lblEmailme, Qt::LeftButton);
        QVERIFY(box.isVisible());
    }

    void webLinkStartsTheRegisteredProgram()
    {
        XdgSandbox sandbox;
        const QString prog = sandbox.addStandIn(QStringLiteral("browser"));
        sandbox.addDesktopEntry(sandbox.dataDir(), QStringLiteral("b.desktop"), prog + QStringLiteral(" %u"));
        XdgSandbox::addMimeappsLine(sandbox.configHome() + QStringLiteral("/mimeapps.list"),
                                    QStringLiteral("Default Applications"), QStringLiteral("text/html"),
                                    QStringLiteral("b.desktop"));
        frmAbout box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::mouseClick(box.lblMyweb, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(sandbox.argsFile(QStringLiteral("browser"))), 10000);
        QCOMPARE(sandbox.recordedArgs(QStringLiteral("browser")), QStringList{MakerWebAddress()});
        QVERIFY(!QFile::exists(sandbox.tempDir() + QStringLiteral("/dummy.html")));
    }

    void webLinkWithoutBrowserDoesNothing()
    {
        XdgSandbox sandbox;
        frmAbout box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const int windows = QApplication::topLevelWidgets().size();
        QTest::mouseClick(box.lblMyweb, Qt::LeftButton);
        QVERIFY(box.isVisible());
        QCOMPARE(QApplication::topLevelWidgets().size(), windows); // no message
        QVERIFY(!QFile::exists(sandbox.tempDir() + QStringLiteral("/dummy.html")));
    }

    void systemInfoButtonLeavesTheBoxAsItIs()
    {
        frmAbout box;
        box.show();
        const int windows = QApplication::topLevelWidgets().size();
        QTest::mouseClick(box.cmdSysinfo, Qt::LeftButton);
        QVERIFY(box.isVisible());
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    }
};

QTEST_MAIN(TestAboutBox)
#include "test_frmAbout.moc"
