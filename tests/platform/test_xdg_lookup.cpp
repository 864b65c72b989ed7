// The desktop's program registry: which program opens web pages, and how its Exec line becomes a command.

#include "platform/XdgLookup.h"
#include "tests/support/XdgSandbox.h"

#include <QStandardPaths>
#include <QTest>

using namespace orvel;
using orvel::test::XdgSandbox;

using Files = QList<QPair<QString, QString>>; // sandbox path, text appended to it
Q_DECLARE_METATYPE(Files)

namespace {
const QString kAddress = QStringLiteral("https://www.example.com/a b?x=1&y=%41");

QString entry(const QString& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=sh %u\n" + extra;
}
QString defaults(const QString& ids)
{
    return "[Default Applications]\ntext/html=" + ids + "\n";
}
} // namespace

class TestXdgLookup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // How a desktop entry becomes a program and its arguments: the escapes of the value
    // first, then the Exec line's quoting, then its field codes, each file or URL code where
    // it stands (the address would go last without one). Only the [Desktop Entry] group counts.
    void commandForUrl_data()
    {
        QTest::addColumn<QString>("exec"); // as the file holds it
        QTest::addColumn<QStringList>("arguments"); // empty: nothing can be started; "@": the entry's path
        const QString u = kAddress;
        QTest::newRow("blanks and tabs between words") << "sh\t%U   --new-window" << QStringList{u, "--new-window"};
        QTest::newRow("quoted words and their escapes") << "\"sh\" %f \"a \\\"b\\\" \\$c \\`d\\` \\\\\\\\e\" \\\\\\\\x"
                                                        << QStringList{u, "a \"b\" $c `d` \\e", "\\\\x"};
        QTest::newRow("quotes join a word") << "sh %F --o=\"a b\"c" << QStringList{u, "--o=a bc"};
        QTest::newRow("no code: address goes last") << "sh --private" << QStringList{"--private", u};
        QTest::newRow("code inside a word") << "sh --url=%u" << QStringList{"--url=" + u};
        QTest::newRow("an empty quoted argument stays") << "sh %u --profile \"\"" << QStringList{u, "--profile", ""};
        QTest::newRow("icon, name and entry path")
            << "sh %i %c %k %u" << QStringList{"--icon", "web-browser", "Two Words", "@", u};
        QTest::newRow("deprecated codes vanish, %% stays") << "sh %d %D %n %N %v %m 100%% %u" << QStringList{"100%", u};
        QTest::newRow("unterminated quote, backslash last") << "sh \"abc %u\\" << QStringList();
        QTest::newRow("program missing") << "/nonexistent/browser %u" << QStringList();
    }
    void commandForUrl()
    {
        QFETCH(QString, exec);
        QFETCH(QStringList, arguments);
        XdgSandbox box;
        const QString file = box.write("e.desktop",
                                       "# note\n[Other]\nExec=wrong\n[Desktop Entry]\nType=Application\n"
                                       "Name=Two\\sWords\nName[de]=Zwei\nIcon=web-browser\nExec="
                                           + exec + "\n");
        const auto entry = ReadDesktopEntry(file);
        QVERIFY(entry);
        const auto command = CommandForUrl(*entry, kAddress);
        QCOMPARE(command ? command->arguments : QStringList(), arguments.replaceInStrings("@", file));
        if (command)
            QCOMPARE(command->program, QStandardPaths::findExecutable("sh"));
    }

    // Which registration answers for text/html. Every row finds a.desktop to
    // d.desktop and vendor/sub.desktop installed in share/applications.
    void defaultApplication_data()
    {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QString>("id"); // empty: nothing registered
        QTest::addColumn<QString>("desktop"); // XDG_CURRENT_DESKTOP
        auto row = [](const char* name, const Files& f, const char* id, const char* desktop = "") {
            QTest::newRow(name) << f << QString(id) << QString(desktop);
        };
        const QString sys = "share/applications/mimeapps.list", usr = "data/applications/mimeapps.list",
                      etc = "etc-xdg/mimeapps.list", home = "config/mimeapps.list", apps = "share/applications/";
        row("user data beats system data", {{sys, defaults("a.desktop;")}, {usr, defaults("b.desktop")}}, "b.desktop");
        row("configuration beats data", {{usr, defaults("b.desktop")}, {etc, defaults("c.desktop")}}, "c.desktop");
        row("user configuration first", {{etc, defaults("c.desktop")}, {home, defaults("d.desktop")}}, "d.desktop");
        const Files perDesktop{{home, defaults("a.desktop")}, {"config/somedesk-mimeapps.list", defaults("b.desktop")}};
        row("desktop's own list first", perDesktop, "b.desktop", "Other:SomeDesk");
        row("other desktop's list ignored", perDesktop, "a.desktop", "Other");
        const Files unusable{
            {apps + "gone.desktop", entry().replace("sh %u", "/nonexistent/browser")},
            {apps + "tryexec.desktop", entry("TryExec=/nonexistent/check\n")},
            {apps + "hidden.desktop", entry("Hidden=true\n")},
            {apps + "link.desktop", "[Desktop Entry]\nType=Link\nURL=https://x.org\nExec=sh\n"},
            {home, defaults("missing.desktop;gone.desktop;tryexec.desktop;hidden.desktop;link.desktop")}};
        row("unusable entries skipped", unusable, "");
        row("then a less important file has its say", unusable + Files{{sys, defaults("b.desktop")}}, "b.desktop");
        row("user entry hides the system one",
            {{home, defaults("a.desktop")}, {"data/applications/a.desktop", entry("Hidden=true\n")}}, "");
        row("id of an entry in a sub-folder", {{home, defaults("vendor-sub.desktop")}}, "vendor-sub.desktop");
        const Files declares{{apps + "e.desktop", entry("MimeType=text/plain;text/html;\n")}};
        row("no default: a declared type", declares, "e.desktop");
        row("removed association", declares + Files{{home, "[Removed Associations]\ntext/html=e.desktop\n"}}, "");
        row("added association", {{usr, "[Added Associations]\ntext/html=b.desktop;\\\n"}}, "b.desktop");
    }
    void defaultApplication()
    {
        QFETCH(Files, files);
        QFETCH(QString, id);
        QFETCH(QString, desktop);
        XdgSandbox box;
        for (const char* name : {"a", "b", "c", "d", "vendor/sub"})
            box.write(QString("share/applications/%1.desktop").arg(name), entry());
        for (const auto& [path, text] : files)
            box.write(path, text);
        box.setEnv("XDG_CURRENT_DESKTOP", desktop);
        const auto found = DefaultApplicationForMimeType(QStringLiteral("text/html"));
        QCOMPARE(found ? found->id : QString(), id);
    }
};

QTEST_GUILESS_MAIN(TestXdgLookup)
#include "test_xdg_lookup.moc"
