// The desktop's program registry: which program opens web pages, and how its Exec line becomes a command.

#include "platform/XdgLookup.h"
#include "tests/support/XdgSandbox.h"

#include <QTest>

using namespace orvel;
using orvel::test::XdgSandbox;

using Files = QList<QPair<QString, QString>>; // sandbox path, text appended to it

namespace {
const QString kUrl = QStringLiteral("https://www.example.com/a b?x=1&y=%41");

// Only the [Desktop Entry] group of an entry counts.
QString entry(const QString& extra = {}, const QString& exec = "sh %u")
{
    return "[Other]\nExec=wrong\n[Desktop Entry]\nType=Application\nName=Two\\sWords\nIcon=web-browser\nExec=" + exec
        + "\n" + extra;
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
    // it stands (the address would go last without one).
    void commandForUrl_data()
    {
        QTest::addColumn<QString>("exec"); // as the file holds it
        QTest::addColumn<QStringList>("arguments"); // empty: nothing can be started; "@": the entry's path
        QTest::newRow("blanks and tabs between words") << "sh\t%U   --new-window" << QStringList{kUrl, "--new-window"};
        QTest::newRow("quoted words and their escapes") << "\"sh\" %f \"a \\\"b\\\" \\$c \\`d\\` \\\\\\\\e\" \\\\\\\\x"
                                                        << QStringList{kUrl, "a \"b\" $c `d` \\e", "\\\\x"};
        QTest::newRow("quotes join a word") << "sh %F --o=\"a b\"c" << QStringList{kUrl, "--o=a bc"};
        QTest::newRow("no code: address goes last") << "sh --private" << QStringList{"--private", kUrl};
        QTest::newRow("code inside a word") << "sh --url=%u" << QStringList{"--url=" + kUrl};
        QTest::newRow("an empty quoted argument stays") << "sh %u --profile \"\"" << QStringList{kUrl, "--profile", ""};
        QTest::newRow("%i, %c, %k") << "sh %i %c %k %u" << QStringList{"--icon", "web-browser", "Two Words", "@", kUrl};
        QTest::newRow("deprecated codes vanish, %% stays")
            << "sh %d %D %n %N %v %m 100%% %u" << QStringList{"100%", kUrl};
        QTest::newRow("unterminated quote, backslash last") << "sh \"abc %u\\" << QStringList();
        QTest::newRow("program missing") << "/nonexistent/browser %u" << QStringList();
    }
    void commandForUrl()
    {
        QFETCH(QString, exec);
        QFETCH(QStringList, arguments);
        XdgSandbox box;
        const QString file = box.write("e.desktop", entry({}, exec));
        const auto command = CommandForUrl(ReadDesktopEntry(file).value_or(DesktopEntry{}), kUrl);
        QCOMPARE(command ? command->arguments : QStringList(), arguments.replaceInStrings("@", file));
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
        row("user data beats system data, an id in a sub-folder",
            {{sys, defaults("a.desktop;")}, {usr, defaults("vendor-sub.desktop")}}, "vendor-sub.desktop");
        row("configuration beats data", {{usr, defaults("b.desktop")}, {etc, defaults("c.desktop")}}, "c.desktop");
        row("user configuration first", {{etc, defaults("c.desktop")}, {home, defaults("d.desktop")}}, "d.desktop");
        const Files perDesktop{{home, defaults("a.desktop")}, {"config/somedesk-mimeapps.list", defaults("b.desktop")}};
        row("desktop's own list first", perDesktop, "b.desktop", "Other:SomeDesk");
        row("other desktop's list ignored", perDesktop, "a.desktop", "Other");
        const Files unusable{
            {apps + "gone.desktop", entry({}, "/nonexistent/browser %u")},
            {apps + "tryexec.desktop", entry("TryExec=/nonexistent/check\n")},
            {apps + "hidden.desktop", entry("Hidden=true\n")},
            {apps + "link.desktop", "[Desktop Entry]\nType=Link\nURL=https://x.org\nExec=sh\n"},
            {"data/applications/a.desktop", entry("Hidden=true\n")}, // hides the system's a.desktop
            {home, defaults("missing.desktop;gone.desktop;tryexec.desktop;hidden.desktop;link.desktop;a.desktop")}};
        row("unusable entries skipped", unusable + Files{{sys, defaults("b.desktop")}}, "b.desktop");
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
