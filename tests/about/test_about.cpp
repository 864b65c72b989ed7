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
#include <QTextDocument>
#include <QWidget>

using namespace orvel;
using namespace orvel::test;

class TestAbout : public QObject {
    Q_OBJECT
    QList<QUrl> m_mailed;

public Q_SLOTS:
    // Stands in for the desktop's handler of mailto: addresses.
    void mailto(const QUrl& url) { m_mailed << url; }

private Q_SLOTS:
    void cleanup() { QApplication::closeAllWindows(); }

    // The about box: its title and pictures, one box at a time, the version line that
    // blinks; then the quick help; and both as a screen reader finds them.
    void theAboutBoxAndQuickHelp()
    {
        ShowAbout();
        AboutDialog* box = CurrentAboutDialog();
        QVERIFY(box);
        QVERIFY(!box->isModal());
        // Both pictures come from resources in static libraries.
        QCOMPARE(box->imgIcon->pixmap().size(), QSize(32, 32));
        QCOMPARE(box->lpAppImage->pixmap().size(), QSize(77, 201));
        // Shown again while open: the same box, not loaded again; its timer ticks.
        ShowAbout();
        QCOMPARE(CurrentAboutDialog(), box);
        QTRY_COMPARE_WITH_TIMEOUT(box->lbAppVersionorg->text(), QString("Version 1.1.0"), 5000);
        // Shown again after "Ok" but before the closed box is destroyed: a new box, whose
        // line starts empty and then blinks.
        QPointer<AboutDialog> closed(box);
        QTest::mouseClick(box->cmdExit, Qt::LeftButton);
        ShowAbout();
        QTRY_VERIFY(closed.isNull());
        box = CurrentAboutDialog();
        QVERIFY(box);
        for (const QString shown : {"", "Version 1.1.0", ""}) {
            QCOMPARE(box->lbAppVersionorg->text(), shown);
            box->blinkVersion();
        }
        // The quick help, likewise one at a time, not modal, its text read-only and shown
        // line for line, block by block, a no-break space included.
        ShowQuickHelp();
        QuickHelpWindow* help = CurrentQuickHelpWindow();
        QVERIFY(help);
        ShowQuickHelp();
        QCOMPARE(CurrentQuickHelpWindow(), help);
        QVERIFY(!help->isModal());
        QVERIFY(help->Text1->isReadOnly());
        QCOMPARE(help->Text1->document()->toRawText().split(QChar::ParagraphSeparator),
                 HelpTextLines() << QString()); // after the last line end
        // To a screen reader: dialogs whose every part has a name; the quick help's title
        // one text, the about box's links links named by their addresses that can be opened.
        QCOMPARE(screenReaderFaults(help).join(';') + screenReaderFaults(box).join(';'), QString());
        const QAccessibleInterface* title =
            QAccessible::queryAccessibleInterface(help->findChild<QWidget*>("lblTitle"));
        QCOMPARE(title->role(), QAccessible::StaticText);
        QCOMPARE(title->childCount(), 0);
        for (const auto& [link, address] :
             {std::pair{box->lblMyweb, MakerWebAddress()}, {box->lblEmailme, MakerMailAddress()}}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(link);
            QCOMPARE(a->role(), QAccessible::Link);
            QCOMPARE(a->text(QAccessible::Name), address);
            QVERIFY(a->actionInterface()
                    && a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        }
    }

    // The mail link (clicked) goes to the desktop's mail handler; the web link (reached
    // and opened from the keyboard) to the program registered for web pages, found
    // through a probe file in the temporary folder that is made (over one left behind)
    // and removed again.
    void linksOpen()
    {
        XdgSandbox sandbox;
        ShowAbout();
        AboutDialog* box = CurrentAboutDialog();
        QVERIFY(box && QTest::qWaitForWindowActive(box));
        QDesktopServices::setUrlHandler("mailto", this, "mailto");
        QTest::mouseClick(box->lblEmailme, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(m_mailed, QList<QUrl>{QUrl("mailto:" + MakerMailAddress())});
        sandbox.registerBrowser('"' + sandbox.standIn("browser") + "\" --new-window %U");
        sandbox.write("tmp/dummy.html", "left over");
        const qsizetype open = QDir("/proc/self/fd").count();
        QVERIFY(FindWebBrowser());
        QCOMPARE(QDir("/proc/self/fd").count(), open); // nothing left open by the probe
        QVERIFY(!QFile::exists(sandbox.path("tmp/dummy.html")));
        // From the keyboard: Tab reaches the link, Enter opens it.
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
