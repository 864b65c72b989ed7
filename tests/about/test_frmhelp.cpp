#include "about/AboutTexts.h"
#include "about/AboutWindows.h"
#include "about/frmhelp.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>

using namespace orvel;

class TestQuickHelp : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        if (QuickHelpWindow())
            QuickHelpWindow()->close();
        QTRY_VERIFY(!QuickHelpWindow());
    }

    void helpTextLineByLine_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        const QString nbsp(QChar(0x00A0));
        QTest::newRow("1") << 1 << "With this utility you can rename your files fast and easy. You may ";
        QTest::newRow("2") << 2 << "change filename to lower, upper or Proper case.";
        QTest::newRow("3") << 3 << "";
        QTest::newRow("4") << 4 << "A flexible and powerful user interface." + nbsp;
        QTest::newRow("5") << 5 << "Can recursively process sub-folders.";
        QTest::newRow("6") << 6 << "Can automate thousands of file renames in a single click.";
        QTest::newRow("7") << 7 << "Support for files on network.";
        QTest::newRow("8") << 8 << "Drag and drop folder from Windows Explorer.";
        QTest::newRow("9") << 9 << "";
        QTest::newRow("10") << 10 << "How do I Install?";
        QTest::newRow("11") << 11 << "Orvel File Rename is a standalone software.  No installation ";
        QTest::newRow("12") << 12 << "are needed , just open and run.";
        QTest::newRow("13") << 13 << "";
        QTest::newRow("14") << 14 << "How do I Uninstall?";
        QTest::newRow("15") << 15 << "Since there is no installation ,no uninstall require .Just delete the ";
        QTest::newRow("16") << 16 << "main exe.";
        QTest::newRow("17") << 17 << "";
    }
    void helpTextLineByLine()
    {
        QFETCH(int, line);
        QFETCH(QString, text);
        // The text as the program holds it, CR LF after every line ...
        const QStringList held = HelpText().split(QStringLiteral("\r\n"));
        QCOMPARE(held.size(), 18); // 17 lines, and nothing after the last line end
        QCOMPARE(held.last(), QString());
        QCOMPARE(held.at(line - 1), text);
        // ... and as the window shows it.
        frmhelp w;
        const QTextBlock block = w.Text1->document()->findBlockByNumber(line - 1);
        QVERIFY(block.isValid());
        QCOMPARE(block.text(), text);
    }

    void windowShowsNothingBeyondTheText()
    {
        frmhelp w;
        QCOMPARE(w.Text1->document()->blockCount(), 18);
        QVERIFY(w.Text1->document()->lastBlock().text().isEmpty());
        QVERIFY(!w.Text1->toPlainText().contains(u'\r'));
        QVERIFY(w.Text1->isReadOnly());
        QCOMPARE(w.Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(w.Text1->palette().color(QPalette::Base), QColor(Qt::white));
    }

    void windowFrame()
    {
        frmhelp w;
        QCOMPARE(w.windowTitle(), QString("Quick Help"));
        QCOMPARE(w.size(), QSize(371, 433));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!(w.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.cmdCLOSE->text(), QString("Ok"));
        QVERIFY(w.Image1->pixmap().size() == QSize(32, 32));
        QVERIFY(!w.windowIcon().isNull());
        QVERIFY(w.findChild<QLabel*>("lblVersion"));
        QCOMPARE(w.findChild<QLabel*>("lblVersion")->text(), QString("Version 1.1.0"));
        QCOMPARE(w.findChild<QLabel*>("lblDate")->text(), QString("20th April 2008"));
    }

    void titleBanner()
    {
        frmhelp w;
        const QStringList parts{"O", "rvel", "F", "ile", "R", "ename"};
        int right = -1;
        int baseline = -1;
        for (int i = 0; i < parts.size(); ++i) {
            auto* label = w.findChild<QLabel*>(QStringLiteral("lblTitle%1").arg(i));
            QVERIFY(label);
            QCOMPARE(label->text(), parts[i]);
            const bool initial = i % 2 == 0;
            QCOMPARE(label->palette().color(QPalette::WindowText),
                     initial ? QColor(0, 0, 255) : QColor(255, 0, 0));
            QCOMPARE(label->font().pointSizeF(), initial ? 26.25 : 14.25);
            QCOMPARE(label->font().family(), QString("Times New Roman"));
            // Left to right without overlap, all on one baseline.
            QVERIFY(label->x() >= right);
            right = label->geometry().right();
            const int b = label->y() + QFontMetrics(label->font()).ascent();
            if (baseline < 0)
                baseline = b;
            QCOMPARE(b, baseline);
            QVERIFY(label->geometry().right() < w.width());
        }
    }

    void shownWithoutModalityAndLoadedOnce()
    {
        QVERIFY(!QuickHelpWindow());
        ShowQuickHelp();
        frmhelp* first = QuickHelpWindow();
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QVERIFY(!first->isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        ShowQuickHelp();
        QCOMPARE(QuickHelpWindow(), first);

        // "Ok" closes and destroys it; the next call makes a new one.
        QPointer<frmhelp> watch(first);
        QTest::mouseClick(first->cmdCLOSE, Qt::LeftButton);
        QVERIFY(!QuickHelpWindow());
        QTRY_VERIFY(watch.isNull());
        ShowQuickHelp();
        QVERIFY(QuickHelpWindow());
        QVERIFY(QuickHelpWindow()->isVisible());
    }

    void showAgainRightAfterCloseGivesAnOpenWindow()
    {
        ShowQuickHelp();
        QuickHelpWindow()->close();
        ShowQuickHelp(); // before the closed one is destroyed
        QVERIFY(QuickHelpWindow());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(QuickHelpWindow());
        QVERIFY(QuickHelpWindow()->isVisible());
    }
};

QTEST_MAIN(TestQuickHelp)
#include "test_frmhelp.moc"
