// The about box, the quick-help window and the opening of links, on a private desktop
// where the only program registered for web pages is a shell-script stand-in.

#include "about/AboutDialog.h"
#include "about/AboutTexts.h"
#include "about/AboutWindows.h"
#include "about/LinkLabel.h"
#include "about/OpenWebLink.h"
#include "about/QuickHelpWindow.h"
#include "tests/support/AccessibleTree.h"
#include "tests/support/XdgSandbox.h"

#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QWidget>

using namespace orvel;
using orvel::test::screenReaderFaults;
using orvel::test::XdgSandbox;

class TestAbout : public QObject {
    Q_OBJECT
public Q_SLOTS:
    // Stands in for the desktop's handler of mailto: addresses.
    void mailto(const QUrl& url) { m_mailed << url; }

private:
    QList<QUrl> m_mailed;

    static QStringList blink(AboutDialog* box, int ticks)
    {
        QStringList seen{box->lbAppVersionorg->text()};
        for (int i = 0; i < ticks; ++i) {
            box->blinkVersion();
            seen << box->lbAppVersionorg->text();
        }
        return seen;
    }
    static AboutDialog* showAbout()
    {
        ShowAbout();
        AboutDialog* box = CurrentAboutDialog();
        return box && QTest::qWaitForWindowExposed(box) ? box : nullptr;
    }

private Q_SLOTS:
    void cleanup() { QApplication::closeAllWindows(); }

    // The about box: its texts and pictures, the version line that blinks, one box at a
    // time; then the quick help.
    void theAboutBoxAndQuickHelp()
    {
        AboutDialog* box = showAbout();
        QVERIFY(box);
        QCOMPARE(
            QStringList({box->lbAppTitle->text(), box->lbAppVersion[0]->text(), box->isModal() ? "modal" : "modeless"}),
            QStringList({"Orvel File Rename", "Version 1.1.0", "modeless"}));
        // Both pictures come from resources in static libraries.
        QCOMPARE(QList<QSize>({box->imgIcon->pixmap().size(), box->lpAppImage->pixmap().size()}),
                 QList<QSize>({{32, 32}, {77, 201}}));
        QCOMPARE(blink(box, 3), QStringList({"", "Version 1.1.0", "", "Version 1.1.0"}));
        // Shown again while open: the same box, not loaded again, so the blink goes on.
        QCOMPARE(showAbout(), box);
        QCOMPARE(blink(box, 1), QStringList({"Version 1.1.0", ""}));
        QTRY_COMPARE_WITH_TIMEOUT(box->lbAppVersionorg->text(), QString("Version 1.1.0"), 5000); // the timer ticks
        // Shown again after "Ok" but before the closed box is destroyed: a new box,
        // which starts with the empty phase.
        QPointer<AboutDialog> closed(box);
        QTest::mouseClick(box->cmdExit, Qt::LeftButton);
        QVERIFY(!CurrentAboutDialog());
        box = showAbout();
        QTRY_VERIFY(closed.isNull());
        QVERIFY(box);
        QCOMPARE(blink(box, 2), QStringList({"", "Version 1.1.0", ""}));
        // The quick help, likewise one at a time, not modal, its text read-only and shown
        // line for line, block by block, a no-break space included.
        ShowQuickHelp();
        QuickHelpWindow* help = CurrentQuickHelpWindow();
        QVERIFY(help);
        ShowQuickHelp();
        QCOMPARE(CurrentQuickHelpWindow(), help);
        QCOMPARE(QString::number(help->isModal()) + QString::number(help->Text1->isReadOnly()), QStringLiteral("01"));
        QCOMPARE(help->Image1->pixmap().size(), QSize(32, 32));
        QStringList shown;
        for (QTextBlock b = help->Text1->document()->begin(); b.isValid(); b = b.next())
            shown << b.text();
        QCOMPARE(shown, HelpTextLines() << QString()); // after the last line end
    }

    // Both windows as a screen reader finds them: dialogs whose every part has a name;
    // the quick help's title one text, the about box's links links that are named by
    // their addresses and can be opened.
    void whatAScreenReaderFinds()
    {
        ShowQuickHelp();
        QuickHelpWindow* help = CurrentQuickHelpWindow();
        AboutDialog* box = showAbout();
        QVERIFY(help && box && QTest::qWaitForWindowExposed(help));
        QCOMPARE(screenReaderFaults(help).join(';') + screenReaderFaults(box).join(';'), QString());
        const auto face = [](QObject* object) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(object);
            QStringList actions;
            if (QAccessibleActionInterface* act = a->actionInterface())
                actions = act->actionNames();
            return QStringLiteral("%1 %2 %3 [%4]")
                .arg(int(a->role()), 0, 16)
                .arg(a->text(QAccessible::Name))
                .arg(a->childCount())
                .arg(actions.contains(QAccessibleActionInterface::pressAction()) ? "press" : "");
        };
        QCOMPARE(face(help->findChild<QWidget*>("lblTitle")), "29 Orvel File Rename 0 []");
        QCOMPARE(face(box->lblMyweb), "1e " + MakerWebAddress() + " 0 [press]");
        QCOMPARE(face(box->lblEmailme), "1e " + MakerMailAddress() + " 0 [press]");
    }

    // The mail link (clicked) goes to the desktop's mail handler; the web link (reached
    // and opened from the keyboard) to the program registered for web pages, found through a probe file in the
    // temporary folder that is made (over one left behind) and removed again.
    void linksOpen()
    {
        XdgSandbox sandbox;
        AboutDialog* box = showAbout();
        QVERIFY(box);
        QDesktopServices::setUrlHandler("mailto", this, "mailto");
        QTest::mouseClick(box->lblEmailme, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(m_mailed, QList<QUrl>{QUrl("mailto:" + MakerMailAddress())});
        const QString exec = '"' + sandbox.standIn("browser") + "\" --new-window %U";
        sandbox.registerBrowser(exec);
        sandbox.write("tmp/dummy.html", "left over");
        const qsizetype open = QDir("/proc/self/fd").count();
        const auto found = FindWebBrowser();
        QCOMPARE(QDir("/proc/self/fd").count(), open); // nothing left open by the probe
        QCOMPARE(found ? found->exec : QString(), exec);
        QVERIFY(!QFile::exists(sandbox.path("tmp/dummy.html")));
        // From the keyboard: Tab reaches the link, Enter opens it.
        QVERIFY(QTest::qWaitForWindowActive(box));
        for (int i = 0; i < 4 && QApplication::focusWidget() != box->lblMyweb; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box->lblMyweb);
        QTest::keyClick(box->lblMyweb, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(sandbox.recordedArgs("browser"), QStringList({"--new-window", MakerWebAddress()}),
                                  10000);
    }

    // Each row: TMPDIR in the sandbox (one missing, one a file), then what stands in the
    // way: nothing registered, or a planted link where the probe goes, whose target must
    // not be truncated. Nothing is found, nothing started, no probe left.
    void nothingStarted()
    {
        for (const QString row : {"tmp: nothing registered", "missing/tmp", "victim", "tmp: link"}) {
            XdgSandbox box;
            if (!row.endsWith("nothing registered"))
                box.registerBrowser(box.standIn("browser") + " %u");
            const QString victim = box.write("victim", "keep");
            if (row.endsWith("link"))
                QVERIFY(QFile::link(victim, box.path("tmp/dummy.html")));
            box.setEnv("TMPDIR", box.path(row.section(':', 0, 0)));
            QVERIFY2(!FindWebBrowser(), qPrintable(row));
            QVERIFY2(!OpenWebLink(QStringLiteral("https://www.example.com/")), qPrintable(row));
            QCOMPARE(QDir(box.path("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                     row.endsWith("link") ? QStringList{"dummy.html"} : QStringList());
            QVERIFY2(!QFile::exists("/dummy.html"), qPrintable(row));
            QCOMPARE(QFileInfo(victim).size(), 4); // "keep", not truncated
        }
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
