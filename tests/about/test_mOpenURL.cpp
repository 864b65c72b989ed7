#include "about/mOpenURL.h"

#include "tests/support/XdgSandbox.h"

#include <QtTest>

using namespace orvel;
using orvel::test::XdgSandbox;

// The web link on a private desktop: the only program registered for web pages is
// the shell-script stand-in a test puts there.
class TestOpenURL : public QObject {
    Q_OBJECT
private slots:
    void trimAtNull_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("no NUL, blanks kept") << "C:\\Temp\\  " << "C:\\Temp\\  ";
        QTest::newRow("NUL in the middle") << QString("/tmp/") + QChar(0) + "   " << "/tmp/";
        QTest::newRow("cut at the first of two") << QString("ab") + QChar(0) + "cd" + QChar(0) << "ab";
    }
    void trimAtNull()
    {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(TrimAtNull(text), trimmed);
    }

    void registeredProgramGetsTheAddress()
    {
        XdgSandbox box;
        const QString prog = box.standIn("browser");
        box.registerBrowser('"' + prog + "\" --new-window %U");
        box.write("tmp/dummy.html", "left over"); // replaced, then removed
        long result = 0;
        QCOMPARE(FindBrowser(result), prog);
        QVERIFY(result >= 32);
        // Blanks and shell characters reach the program as one argument.
        const QString address = QStringLiteral("https://www.example.com/a page?q=1&r=$HOME;x");
        QVERIFY(OpenURL(address));
        QVERIFY(!QFile::exists(box.path("tmp/dummy.html")));
        QTRY_COMPARE_WITH_TIMEOUT(box.recordedArgs("browser"), QStringList({"--new-window", address}), 10000);
    }

    void nothingStarted_data()
    {
        QTest::addColumn<QString>("exec");   // "" registers nothing; %1 is the stand-in
        QTest::addColumn<QString>("tmpdir"); // TMPDIR, in the sandbox
        QTest::addColumn<bool>("probeIsLink");
        QTest::newRow("nothing registered") << "" << "tmp" << false;
        QTest::newRow("registered program missing") << "%1-uninstalled %u" << "tmp" << false;
        QTest::newRow("temporary folder missing") << "%1 %u" << "missing/tmp" << false;
        QTest::newRow("temporary folder is a file") << "%1 %u" << "victim" << false;
        // A planted link must not make us truncate its target.
        QTest::newRow("probe name taken by a link") << "%1 %u" << "tmp" << true;
    }
    void nothingStarted()
    {
        QFETCH(QString, exec);
        QFETCH(QString, tmpdir);
        QFETCH(bool, probeIsLink);
        XdgSandbox box;
        if (!exec.isEmpty())
            box.registerBrowser(exec.arg(box.standIn("browser")));
        const QString victim = box.write("victim", "keep");
        if (probeIsLink)
            QVERIFY(QFile::link(victim, box.path("tmp/dummy.html")));
        box.setEnv("TMPDIR", box.path(tmpdir));
        long result = 99;
        QVERIFY(FindBrowser(result).isEmpty() && result < 32);
        QVERIFY(!OpenURL(QStringLiteral("https://www.example.com/")));
        QCOMPARE(QDir(box.path("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 probeIsLink ? QStringList{"dummy.html"} : QStringList()); // no probe left
        QVERIFY(!QFile::exists("/dummy.html"));
        QCOMPARE(QFileInfo(victim).size(), 4); // "keep", not truncated
    }
};

QTEST_MAIN(TestOpenURL)
#include "test_mOpenURL.moc"
