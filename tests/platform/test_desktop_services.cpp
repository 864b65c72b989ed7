#include "platform/DesktopServices.h"

#include "tests/support/XdgSandbox.h"

#include <QFile>
#include <QtTest>

using namespace orvel;
using orvel::test::XdgSandbox;

Q_DECLARE_METATYPE(std::optional<QStringList>)

class TestDesktopServices : public QObject {
    Q_OBJECT
private:
    static QString idOf(const std::optional<DesktopEntry>& e) { return e ? e->id : QString(); }

private slots:
    void splitExecLine_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<std::optional<QStringList>>("words");
        QTest::newRow("plain") << "firefox %u" << std::optional<QStringList>({"firefox", "%u"});
        QTest::newRow("blanks between words") << "a   b\tc" << std::optional<QStringList>({"a", "b", "c"});
        QTest::newRow("quoted path with blanks")
            << "\"/opt/My Browser/run\" --new %U"
            << std::optional<QStringList>({"/opt/My Browser/run", "--new", "%U"});
        QTest::newRow("escapes inside quotes")
            << "sh \"a \\\"b\\\" \\$c \\`d\\` \\\\e\""
            << std::optional<QStringList>({"sh", "a \"b\" $c `d` \\e"});
        QTest::newRow("quotes join a word") << "x --opt=\"a b\"c" << std::optional<QStringList>({"x", "--opt=a bc"});
        QTest::newRow("empty quoted word") << "x \"\"" << std::optional<QStringList>({"x", ""});
        QTest::newRow("unterminated quote") << "x \"abc" << std::optional<QStringList>();
    }
    void splitExecLine()
    {
        QFETCH(QString, exec);
        QFETCH(std::optional<QStringList>, words);
        QCOMPARE(SplitExecLine(exec), words);
    }

    void commandForUrl_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("arguments");
        const QString u = QStringLiteral("https://www.example.com/a b?x=1&y=%41");
        QTest::newRow("single url code") << "sh %u" << QStringList{u};
        QTest::newRow("list code after an option") << "sh --new-window %U" << QStringList{"--new-window", u};
        QTest::newRow("file code") << "sh %f" << QStringList{u};
        QTest::newRow("no code: address goes last") << "sh --private" << QStringList{"--private", u};
        QTest::newRow("code inside a word") << "sh --url=%u" << QStringList{"--url=" + u};
        QTest::newRow("icon code") << "sh %i %u" << QStringList{"--icon", "web-browser", u};
        QTest::newRow("deprecated codes vanish") << "sh %d %D %n %N %v %m %u" << QStringList{u};
        QTest::newRow("percent sign") << "sh 100%% %u" << QStringList{"100%", u};
        QTest::newRow("name and entry path") << "sh %c %k" << QStringList{"Stand-in", "/x/stand-in.desktop", u};
    }
    void commandForUrl()
    {
        QFETCH(QString, exec);
        QFETCH(QStringList, arguments);
        DesktopEntry entry;
        entry.name = QStringLiteral("Stand-in");
        entry.filePath = QStringLiteral("/x/stand-in.desktop");
        entry.icon = QStringLiteral("web-browser");
        entry.exec = exec;
        const auto command = CommandForUrl(entry, QStringLiteral("https://www.example.com/a b?x=1&y=%41"));
        QVERIFY(command);
        QCOMPARE(command->program, ResolveExecutable(QStringLiteral("sh")));
        QVERIFY(command->program.startsWith(u'/'));
        QCOMPARE(command->arguments, arguments);
    }

    void commandForUrlNeedsAnExistingProgram()
    {
        DesktopEntry entry;
        entry.exec = QStringLiteral("/nonexistent/browser %u");
        QVERIFY(!CommandForUrl(entry, QStringLiteral("https://example.com")));
        entry.exec = QStringLiteral("no-such-program-anywhere %u");
        QVERIFY(!CommandForUrl(entry, QStringLiteral("https://example.com")));
        entry.exec = QStringLiteral("\"unterminated %u");
        QVERIFY(!CommandForUrl(entry, QStringLiteral("https://example.com")));
    }

    void nothingRegistered()
    {
        XdgSandbox box;
        QVERIFY(box.isValid());
        QVERIFY(!DefaultApplicationForMimeType(QStringLiteral("text/html")));
    }

    void defaultsFollowTheOrderOfTheFiles()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("web"));
        box.addDesktopEntry(box.dataDir(), "system.desktop", prog + " %u");
        box.addDesktopEntry(box.dataHome(), "mine.desktop", prog + " %u");
        box.addDesktopEntry(box.dataDir(), "shared.desktop", prog + " %u");

        // Data folders only: the user's data folder ranks above the system's.
        XdgSandbox::addMimeappsLine(box.dataDir() + "/applications/mimeapps.list",
                                    "Default Applications", "text/html", "system.desktop;");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("system.desktop"));
        XdgSandbox::addMimeappsLine(box.dataHome() + "/applications/mimeapps.list",
                                    "Default Applications", "text/html", "mine.desktop");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("mine.desktop"));
        // Configuration beats data; the system configuration folder comes after the user's.
        XdgSandbox::addMimeappsLine(box.configDir() + "/mimeapps.list",
                                    "Default Applications", "text/html", "shared.desktop");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("shared.desktop"));
        XdgSandbox::addMimeappsLine(box.configHome() + "/mimeapps.list",
                                    "Default Applications", "text/html", "system.desktop");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("system.desktop"));
        // Another type is not affected.
        QVERIFY(!DefaultApplicationForMimeType("text/plain"));
    }

    void desktopSpecificListComesFirst()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("web"));
        box.addDesktopEntry(box.dataDir(), "generic.desktop", prog + " %u");
        box.addDesktopEntry(box.dataDir(), "special.desktop", prog + " %u");
        XdgSandbox::addMimeappsLine(box.configHome() + "/mimeapps.list",
                                    "Default Applications", "text/html", "generic.desktop");
        XdgSandbox::addMimeappsLine(box.configHome() + "/somedesk-mimeapps.list",
                                    "Default Applications", "text/html", "special.desktop");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("generic.desktop"));
        box.setEnv("XDG_CURRENT_DESKTOP", "Other:SomeDesk");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("special.desktop"));
    }

    void unusableEntriesAreSkipped()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("web"));
        box.addDesktopEntry(box.dataDir(), "gone.desktop", "/nonexistent/browser %u");
        box.addDesktopEntry(box.dataDir(), "tryexec.desktop", prog + " %u", "TryExec=/nonexistent/check\n");
        box.addDesktopEntry(box.dataDir(), "hidden.desktop", prog + " %u", "Hidden=true\n");
        box.writeFile(box.dataDir() + "/applications/link.desktop",
                      "[Desktop Entry]\nType=Link\nURL=https://example.com\nExec=" + prog.toUtf8() + "\n");
        box.addDesktopEntry(box.dataDir(), "good.desktop", prog + " %u");
        XdgSandbox::addMimeappsLine(box.configHome() + "/mimeapps.list", "Default Applications",
                                    "text/html", "missing.desktop;gone.desktop;tryexec.desktop;hidden.desktop;link.desktop");
        QVERIFY(!DefaultApplicationForMimeType("text/html"));
        // A less important file still gets its say when the first one names nothing usable.
        XdgSandbox::addMimeappsLine(box.dataDir() + "/applications/mimeapps.list",
                                    "Default Applications", "text/html", "good.desktop");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("good.desktop"));
    }

    void userEntryHidesSystemEntryOfTheSameId()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("web"));
        box.addDesktopEntry(box.dataDir(), "browser.desktop", prog + " %u");
        XdgSandbox::addMimeappsLine(box.configHome() + "/mimeapps.list", "Default Applications",
                                    "text/html", "browser.desktop");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("browser.desktop"));
        box.addDesktopEntry(box.dataHome(), "browser.desktop", prog + " %u", "Hidden=true\n");
        QVERIFY(!DefaultApplicationForMimeType("text/html"));
    }

    void idOfAnEntryInASubFolder()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("web"));
        box.addDesktopEntry(box.dataDir(), "vendor/browser.desktop", prog + " --x %u");
        XdgSandbox::addMimeappsLine(box.configHome() + "/mimeapps.list", "Default Applications",
                                    "text/html", "vendor-browser.desktop");
        const auto entry = DefaultApplicationForMimeType("text/html");
        QCOMPARE(idOf(entry), QString("vendor-browser.desktop"));
        QCOMPARE(entry->exec, prog + " --x %u");
    }

    void withoutDefaultsAssociationsAndDeclaredTypesCount()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("web"));
        box.addDesktopEntry(box.dataDir(), "declares.desktop", prog + " %u", "MimeType=text/plain;text/html;\n");
        box.addDesktopEntry(box.dataDir(), "other.desktop", prog + " %u", "MimeType=image/png;\n");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("declares.desktop"));

        XdgSandbox::addMimeappsLine(box.configHome() + "/mimeapps.list", "Removed Associations",
                                    "text/html", "declares.desktop");
        QVERIFY(!DefaultApplicationForMimeType("text/html"));

        box.addDesktopEntry(box.dataDir(), "added.desktop", prog + " %u");
        XdgSandbox::addMimeappsLine(box.dataHome() + "/applications/mimeapps.list", "Added Associations",
                                    "text/html", "added.desktop");
        QCOMPARE(idOf(DefaultApplicationForMimeType("text/html")), QString("added.desktop"));
    }

    void desktopEntryValuesAreUnescaped()
    {
        XdgSandbox box;
        const QString file = box.writeFile(box.root() + "/e.desktop",
            "# comment\n[Other Group]\nExec=wrong\n[Desktop Entry]\nType=Application\n"
            "Name=Two\\sWords\nName[de]=Zwei\nExec=\"/opt/a b/run\" \\\\\\\\x %u\nIcon=web\n");
        const auto entry = ReadDesktopEntry(file);
        QVERIFY(entry);
        QCOMPARE(entry->id, QString("e.desktop"));
        QCOMPARE(entry->name, QString("Two Words"));
        QCOMPARE(entry->exec, QString("\"/opt/a b/run\" \\\\x %u"));
        QCOMPARE(SplitExecLine(entry->exec), std::optional<QStringList>({"/opt/a b/run", "\\\\x", "%u"}));
    }

    void temporaryFolderFollowsTmpdir()
    {
        XdgSandbox box;
        QCOMPARE(TemporaryFolder(), box.tempDir() + u'/');
        box.setEnv("TMPDIR", QFile::encodeName(box.root() + "/does-not-exist/"));
        QCOMPARE(TemporaryFolder(), box.root() + "/does-not-exist/");
        box.unsetEnv("TMPDIR");
        QCOMPARE(TemporaryFolder(), QString("/tmp/"));
    }

    void probeFileReplacesAFileButNeverFollowsALink()
    {
        XdgSandbox box;
        const QString probe = box.tempDir() + "/dummy.html";
        QVERIFY(CreateProbeFile(probe));
        QVERIFY(QFileInfo(probe).isFile());
        QVERIFY(RemoveProbeFile(probe));
        QVERIFY(!QFileInfo::exists(probe));

        box.writeFile(probe, "old content");
        QVERIFY(CreateProbeFile(probe));
        QCOMPARE(QFileInfo(probe).size(), 0);
        QVERIFY(RemoveProbeFile(probe));

        const QString victim = box.writeFile(box.root() + "/victim.txt", "keep me");
        QVERIFY(QFile::link(victim, probe));
        QVERIFY(!CreateProbeFile(probe));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::ReadOnly));
        QCOMPARE(v.readAll(), QByteArray("keep me"));

        QVERIFY(!CreateProbeFile(box.root() + "/no-such-folder/dummy.html"));
        QVERIFY(RemoveProbeFile(box.root() + "/never-made.html"));
    }

    void startDetachedRunsTheProgramWithItsArguments()
    {
        XdgSandbox box;
        const QString prog = box.addStandIn(QStringLiteral("tool"));
        QVERIFY(StartDetached({prog, {"one arg", "two"}}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(box.argsFile("tool")), 10000);
        QCOMPARE(box.recordedArgs("tool"), QStringList({"one arg", "two"}));
        QVERIFY(!StartDetached({box.root() + "/missing", {}}));
        QVERIFY(!StartDetached({}));
    }
};

QTEST_MAIN(TestDesktopServices)
#include "test_desktop_services.moc"
