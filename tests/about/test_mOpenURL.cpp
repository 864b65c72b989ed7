#include "about/mOpenURL.h"

#include "tests/support/XdgSandbox.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace orvel;
using orvel::test::XdgSandbox;

// The web link on a private desktop: the only programs registered for web pages are
// the shell-script stand-ins each test puts there.
class TestOpenURL : public QObject {
    Q_OBJECT
private:
    static QString probeIn(const XdgSandbox& box) { return box.tempDir() + QStringLiteral("/dummy.html"); }

    static void registerBrowser(XdgSandbox& box, const QString& exec)
    {
        box.addDesktopEntry(box.dataHome(), QStringLiteral("stand-in.desktop"), exec);
        XdgSandbox::addMimeappsLine(box.configHome() + QStringLiteral("/mimeapps.list"),
                                    QStringLiteral("Default Applications"),
                                    QStringLiteral("text/html"), QStringLiteral("stand-in.desktop"));
    }

private slots:
    void trimAtNull_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("no NUL") << "C:\\Temp\\" << "C:\\Temp\\";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("NUL in the middle") << QString("/tmp/") + QChar(0) + "   " << "/tmp/";
        QTest::newRow("NUL first") << QString(QChar(0)) + "abc" << "";
        QTest::newRow("two NULs: cut at the first") << QString("ab") + QChar(0) + "cd" + QChar(0) << "ab";
        QTest::newRow("trailing blanks kept") << "ab  " << "ab  ";
    }
    void trimAtNull()
    {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(TrimAtNull(text), trimmed);
    }

    void tempFolderEndsWithASeparator()
    {
        XdgSandbox box;
        QCOMPARE(TempFolder(), box.tempDir() + u'/');
    }

    void noRegisteredBrowser()
    {
        XdgSandbox box;
        long result = 999;
        QCOMPARE(FindBrowser(result), QString());
        QVERIFY(result < 32);
        QVERIFY(!QFile::exists(probeIn(box)));

        QVERIFY(!OpenURL(QStringLiteral("https://www.example.com/")));
        QVERIFY(!QFile::exists(probeIn(box)));
        QCOMPARE(QDir(box.tempDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList());
    }

    void registeredProgramIsMissing()
    {
        XdgSandbox box;
        registerBrowser(box, box.root() + QStringLiteral("/bin/uninstalled-browser %u"));
        long result = 999;
        QCOMPARE(FindBrowser(result), QString());
        QVERIFY(result < 32);
        QVERIFY(!OpenURL(QStringLiteral("https://www.example.com/")));
        QVERIFY(!QFile::exists(probeIn(box)));
    }

    void registeredStandInIsStartedWithTheAddress()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("browser"));
        registerBrowser(box, prog + QStringLiteral(" %u"));

        long result = 0;
        QCOMPARE(FindBrowser(result), prog);
        QVERIFY(result >= 32);
        QVERIFY(!QFile::exists(probeIn(box)));

        // Blanks and shell characters must reach the program as one argument.
        const QString address = QStringLiteral("https://www.example.com/a page?q=1&r=$HOME;x");
        QVERIFY(OpenURL(address));
        QVERIFY(!QFile::exists(probeIn(box)));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(box.argsFile(QStringLiteral("browser"))), 10000);
        QCOMPARE(box.recordedArgs(QStringLiteral("browser")), QStringList{address});
    }

    void execLineArgumentsAreKept()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("browser"));
        registerBrowser(box, QStringLiteral("\"%1\" --new-window %U").arg(prog));
        QVERIFY(OpenURL(QStringLiteral("https://www.example.com/")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(box.argsFile(QStringLiteral("browser"))), 10000);
        QCOMPARE(box.recordedArgs(QStringLiteral("browser")),
                 QStringList({"--new-window", "https://www.example.com/"}));
    }

    void existingProbeFileIsReplacedAndRemoved()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("browser"));
        registerBrowser(box, prog + QStringLiteral(" %u"));
        XdgSandbox::writeFile(probeIn(box), "left over");
        long result = 0;
        QCOMPARE(FindBrowser(result), prog);
        QVERIFY(!QFile::exists(probeIn(box)));
    }

    void unwritableTemporaryFolder_data()
    {
        QTest::addColumn<QString>("tmpdir");
        QTest::newRow("folder missing") << QStringLiteral("/missing/tmp");
        QTest::newRow("a file, not a folder") << QStringLiteral("/plain-file");
    }
    void unwritableTemporaryFolder()
    {
        QFETCH(QString, tmpdir);
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("browser"));
        registerBrowser(box, prog + QStringLiteral(" %u"));
        XdgSandbox::writeFile(box.root() + QStringLiteral("/plain-file"), "x");
        box.setEnv("TMPDIR", QFile::encodeName(box.root() + tmpdir));

        long result = 0;
        QCOMPARE(FindBrowser(result), QString());
        QVERIFY(result < 32);
        QVERIFY(!OpenURL(QStringLiteral("https://www.example.com/")));
        // Nothing was started: give a started stand-in the chance to show up by
        // starting a second, known one and waiting for that.
        const QString marker = box.addStandIn(QStringLiteral("marker"));
        registerBrowser(box, marker + QStringLiteral(" %u"));
        box.setEnv("TMPDIR", QFile::encodeName(box.tempDir()));
        QVERIFY(OpenURL(QStringLiteral("marker")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(box.argsFile(QStringLiteral("marker"))), 10000);
        QVERIFY(!QFile::exists(box.argsFile(QStringLiteral("browser"))));
        QVERIFY(!QFile::exists(QStringLiteral("/dummy.html")));
    }

    void probeNameTakenByALink()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("browser"));
        registerBrowser(box, prog + QStringLiteral(" %u"));
        const QString victim = XdgSandbox::writeFile(box.root() + QStringLiteral("/victim"), "keep");
        QVERIFY(QFile::link(victim, probeIn(box)));
        QVERIFY(!OpenURL(QStringLiteral("https://www.example.com/")));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::ReadOnly));
        QCOMPARE(v.readAll(), QByteArray("keep"));
    }
};

QTEST_MAIN(TestOpenURL)
#include "test_mOpenURL.moc"
