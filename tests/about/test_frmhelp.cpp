#include "about/AboutTexts.h"
#include "about/AboutWindows.h"
#include "about/frmhelp.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>

using namespace orvel;

class TestQuickHelp : public QObject {
    Q_OBJECT
private slots:
    void helpTextLineByLine()
    {
        const QStringList lines{
            "With this utility you can rename your files fast and easy. You may ",
            "change filename to lower, upper or Proper case.",
            "",
            "A flexible and powerful user interface." + QString(QChar(0x00A0)),
            "Can recursively process sub-folders.",
            "Can automate thousands of file renames in a single click.",
            "Support for files on network.",
            "Drag and drop folder from Windows Explorer.",
            "",
            "How do I Install?",
            "Orvel File Rename is a standalone software.  No installation ",
            "are needed , just open and run.",
            "",
            "How do I Uninstall?",
            "Since there is no installation ,no uninstall require .Just delete the ",
            "main exe.",
            "",
            "", // after the last line end
        };
        QCOMPARE(HelpText().split(QStringLiteral("\r\n")), lines);
        // The window shows the same lines; block by block, as plain text would turn
        // the no-break space into a blank.
        frmhelp w;
        QStringList shown;
        for (QTextBlock b = w.Text1->document()->begin(); b.isValid(); b = b.next())
            shown << b.text();
        QCOMPARE(shown, lines);
        QVERIFY(w.Text1->isReadOnly());
    }

    void shownOnceWithItsTexts()
    {
        ShowQuickHelp();
        frmhelp* w = QuickHelpWindow();
        QVERIFY(w && w->isVisible() && !w->isModal());
        ShowQuickHelp();
        QCOMPARE(QuickHelpWindow(), w);
        QCOMPARE(QStringList({w->windowTitle(), w->findChild<QLabel*>("lblVersion")->text(),
                              w->findChild<QLabel*>("lblDate")->text(), w->cmdCLOSE->text()}),
                 QStringList({"Quick Help", "Version 1.1.0", "20th April 2008", "Ok"}));
        QCOMPARE(w->Image1->pixmap().size(), QSize(32, 32));
    }
};

QTEST_MAIN(TestQuickHelp)
#include "test_frmhelp.moc"
