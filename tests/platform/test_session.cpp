// What the program finds in the user's session: the instance lock and the settings
// store, neither of which may stop a start or stall the window, whatever lies at its
// path; and the program registered for web pages, from the desktop's own files.

#include "platform/NameCodec.h"
#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"
#include "platform/XdgLookup.h"
#include "tests/support/XdgSandbox.h"

#include <QLocalServer>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace orvel;
using Result = SingleInstance::Result;
using orvel::test::XdgSandbox;

using Files = QList<QPair<QString, QString>>; // sandbox path, text appended to it
Q_DECLARE_METATYPE(Files)

namespace {
const QString kApp = QStringLiteral("Orvel Rename");

QString entry(const QString& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=sh %u\n" + extra;
}
QString defaults(const QString& ids)
{
    return "[Default Applications]\ntext/html=" + ids + "\n";
}

// Runs `work`; false unless it ends within a few seconds. Work that waits on a FIFO at
// `file` or at its lock for a writer is released by opening the FIFO's other end.
bool endsPromptly(const QByteArray& file, const std::function<void()>& work)
{
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        for (const QByteArray& fifo : {file, file + ".lock"})
            if (const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                ::close(fd);
    return false;
}
} // namespace

class TestSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What a start finds at the lock's path, and whether it may run. A lock held by a
    // live process is the start-up test's.
    void lockStates_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<Result>("result");
        QTest::newRow("left by an ended process") << "ended" << Result::Acquired;
        QTest::newRow("left empty long ago") << "old empty" << Result::Unavailable;
        QTest::newRow("parent is a regular file") << "parent file" << Result::Unavailable;
        QTest::newRow("a FIFO") << "fifo" << Result::Unavailable;
        QTest::newRow("another user's file") << "foreign" << Result::Unavailable;
    }
    void lockStates()
    {
        QFETCH(QString, found);
        QFETCH(Result, result);
        QTemporaryDir dir;
        QString lock = dir.filePath(QStringLiteral("instance.lock"));
        QFile f(lock);
        if (found == "fifo")
            QVERIFY(::mkfifo(QFile::encodeName(lock).constData(), 0600) == 0);
        else
            QVERIFY(f.open(QIODevice::WriteOnly));
        if (found == "ended") {
            // The id of a process that has ended (free now, or reused by an unrelated program).
            QProcess gone;
            gone.start(QStringLiteral("true"));
            QVERIFY(gone.waitForStarted());
            const qint64 pid = gone.processId();
            QVERIFY(gone.waitForFinished());
            f.write(QByteArray::number(pid) + "\norvel-file-rename\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        } else if (found == "old empty") {
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        } else if (found == "parent file") {
            lock += QStringLiteral("/instance.lock");
        } else if (found == "foreign" && ::fchown(f.handle(), 65534, 65534) != 0) {
            QSKIP("only root can give a file to another user");
        }
        f.close();
        SingleInstance start(lock);
        QCOMPARE(start.tryAcquire(), result);
    }

    // The lock belongs to one display session: another display starts its own instance.
    void oneInstancePerDisplay_data()
    {
        QTest::addColumn<QStringList>("displays"); // WAYLAND_DISPLAY and DISPLAY of each start
        QTest::addColumn<bool>("blocks");
        QTest::newRow("same X display") << QStringList{"", ":1", "", ":1"} << true;
        QTest::newRow("another X display") << QStringList{"", ":1", "", ":2"} << false;
        QTest::newRow("another screen of the same X server") << QStringList{"", "host:1", "", "host:1.1"} << true;
        QTest::newRow("Wayland decides over X") << QStringList{"wayland-0", ":0", "wayland-0", ":5"} << true;
        QTest::newRow("another Wayland display") << QStringList{"wayland-0", ":0", "/run/w/wayland-1", ":0"} << false;
    }
    void oneInstancePerDisplay()
    {
        QFETCH(QStringList, displays);
        QFETCH(bool, blocks);
        XdgSandbox box;
        box.setEnv("XDG_RUNTIME_DIR", box.path("tmp"));
        box.setEnv("WAYLAND_DISPLAY", displays[0]);
        box.setEnv("DISPLAY", displays[1]);
        SingleInstance one;
        const mode_t mask = ::umask(0); // whatever the user's mask lets others do
        QCOMPARE(one.tryAcquire(), Result::Acquired);
        ::umask(mask);
        // Only this user may ask the running window to come forward.
        const QFileInfo socket(SingleInstance::defaultLockPath().replace(".lock", ".socket"));
        QCOMPARE(socket.permissions() & (QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther), QFile::WriteUser);
        box.setEnv("WAYLAND_DISPLAY", displays[2]);
        box.setEnv("DISPLAY", displays[3]);
        SingleInstance two;
        QCOMPARE(two.tryAcquire(), blocks ? Result::HeldByOther : Result::Acquired);
    }

    // Without a runtime folder (su, sudo -i, ssh) the lock and the socket live in a folder
    // of the user's own in the temporary folder. What another user put there is never
    // used or connected to: a socket and a lock where a shared folder would have held
    // them, or a folder under the private one's name.
    void aPrivateFolderWithoutRuntimeFolder()
    {
        XdgSandbox box;
        box.setEnv("XDG_RUNTIME_DIR", std::nullopt);
        box.setEnv("WAYLAND_DISPLAY", std::nullopt);
        box.setEnv("DISPLAY", ":7");
        const QString shared = box.path(QStringLiteral("tmp/orvel-file-rename-%1-7.").arg(::getuid()));
        QLocalServer foreign;
        QVERIFY(foreign.listen(shared + "socket"));
        QVERIFY(QFile(shared + "lock").open(QIODevice::WriteOnly));
        for (const QString& taken : {shared + "socket", shared + "lock"})
            if (::chown(QFile::encodeName(taken).constData(), 65534, 65534) != 0)
                QSKIP("only root can give a file to another user");
        QVERIFY(!SingleInstance(shared + "lock").activateRunningInstance());

        const QString own = box.path(QStringLiteral("tmp/orvel-file-rename-%1").arg(::getuid()));
        {
            SingleInstance first, second;
            QSignalSpy asked(&first, &SingleInstance::activationRequested);
            QCOMPARE(first.tryAcquire(), Result::Acquired);
            QCOMPARE(QFileInfo(SingleInstance::defaultLockPath()).absolutePath(), own);
            QCOMPARE(QFileInfo(own).permissions(),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser
                         | QFile::ExeUser);
            QCOMPARE(second.tryAcquire(), Result::HeldByOther);
            QVERIFY(second.activateRunningInstance());
            QTRY_COMPARE(asked.size(), 1);
        }
        QVERIFY(!foreign.waitForNewConnection(0));
        QVERIFY(QDir(own).removeRecursively() && QDir().mkdir(own));
        QVERIFY(::chown(QFile::encodeName(own).constData(), 65534, 65534) == 0);
        SingleInstance elsewhere;
        QCOMPARE(elsewhere.tryAcquire(), Result::Unavailable);
        QVERIFY(!elsewhere.activateRunningInstance());
    }

    // What a later start that names a folder (its bytes as they are, whatever they mean)
    // is answered: the folder opened or refused, and the window comes forward either way;
    // with no instance listening, nobody answers. A plain start that only brings the
    // window forward is the start-up test's.
    void laterStarts_data()
    {
        QTest::addColumn<QString>("handler"); // what the running instance does with a folder
        QTest::addColumn<QString>("answer");
        for (const auto& [handler, answer] :
             {std::pair{"opens", "Opened"}, {"refuses", "Refused"}, {"gone", "Unreachable"}})
            QTest::newRow(handler) << QString(handler) << QString(answer);
    }
    void laterStarts()
    {
        QFETCH(QString, handler);
        QFETCH(QString, answer);
        QTemporaryDir dir;
        SingleInstance running(dir.filePath("instance.lock")), later(dir.filePath("instance.lock"));
        if (handler != "gone")
            QCOMPARE(running.tryAcquire(), Result::Acquired);
        QString handed;
        running.setFolderHandler([&](const QString& folder) {
            handed = folder;
            return handler == "opens";
        });
        QSignalSpy forward(&running, &SingleInstance::activationRequested);
        const QString odd = DecodeName("/tmp/caf\xe9 and more");
        const auto result = later.handOverFolder(odd);
        const QString got = result == SingleInstance::HandOver::Opened ? "Opened"
            : result == SingleInstance::HandOver::Refused              ? "Refused"
                                                                       : "Unreachable";
        QCOMPARE(forward.count(), handler == "gone" ? 0 : 1);
        QCOMPARE(got, answer);
        QCOMPARE(handed, handler == "gone" ? QString() : odd);
    }

    // Only a small regular file is a store; whatever else lies at its path reads as
    // empty, is never written or removed, and never stalls the caller.
    void whatLiesAtTheStorePath_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("reads");
        QTest::addColumn<bool>("writes");
        const auto row = [](const char* name, const char* found, const char* reads, bool writes) {
            QTest::newRow(name) << QString(found) << QString(reads) << writes;
        };
        row("a FIFO", "fifo", "", false);
        row("a link to a FIFO", "link to fifo", "", false);
        row("a device", "device", "", false);
        row("a 300 MB file", "huge", "", false);
        row("a FIFO in place of the write lock", "fifo lock", "/kept/", false);
        row("a link to a store", "link to store", "/kept/", true);
    }
    void whatLiesAtTheStorePath()
    {
        QFETCH(QString, found);
        QFETCH(QString, reads);
        QFETCH(bool, writes);
        QTemporaryDir config;
        IniSettingsStore store(config.path()), elsewhere(config.filePath("elsewhere"));
        const QByteArray file = QFile::encodeName(store.fileOf(kApp)),
                         fifo = QFile::encodeName(config.filePath("fifo"));
        const QByteArray small = QFile::encodeName(elsewhere.fileOf(kApp));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        QVERIFY(elsewhere.write(kApp, "recent", "file1", "/kept/"));
        if (found == "huge")
            QVERIFY(::truncate(small.constData(), 300 << 20) == 0);
        if (found == "fifo")
            QVERIFY(::rename(fifo.constData(), file.constData()) == 0);
        else if (found.startsWith("link to "))
            QVERIFY(::symlink(found == "link to fifo" ? fifo.constData() : small.constData(), file.constData()) == 0);
        else if (found == "device") // a node of its own where allowed: a faulty store must not harm /dev
            QVERIFY(::mknod(file.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0
                    || ::symlink("/dev/null", file.constData()) == 0);
        else
            QVERIFY(::rename(small.constData(), file.constData()) == 0);
        if (found == "fifo lock")
            QVERIFY(::rename(fifo.constData(), file + ".lock") == 0);

        QString read;
        bool written = true, removed = false;
        QVERIFY(endsPromptly(file, [&] { read = store.read(kApp, "recent", "file1"); }));
        QVERIFY(endsPromptly(file, [&] { written = store.write(kApp, "recent", "file2", "/new/"); }));
        QVERIFY(reads.size() || endsPromptly(file, [&] { removed = store.deleteApplication(kApp); }));
        QCOMPARE(read, reads);
        QCOMPARE(written, writes);
        QVERIFY(!removed);
        struct stat st;
        QVERIFY(::lstat(file.constData(), &st) == 0);
        if (found == "huge")
            QCOMPARE(st.st_size, 300 << 20);
    }

    // Names that are not UTF-8 come back whole (the window's recent folders show it); a
    // path in UTF-8 is kept as plain text, as every earlier version kept it.
    void utf8PathsStayPlainText()
    {
        QTemporaryDir config;
        const QString plain = QString::fromUtf8("/home/caf\u00e9 \U0001F600/");
        QVERIFY(IniSettingsStore(config.path()).write(kApp, "recent", "file2", plain));
        IniSettingsStore again(config.path());
        QCOMPARE(again.read(kApp, "recent", "file2"), plain);
        const QVariant stored = QSettings(again.fileOf(kApp), QSettings::IniFormat).value("recent/file2");
        QCOMPARE(stored.typeId(), QMetaType::QString);
        QCOMPARE(stored.toString(), plain);
    }

    // How an Exec line becomes a program and its arguments: quoting, then field codes,
    // each file or URL code where it stands (the address would go last without one).
    void commandForUrl_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("arguments"); // empty: nothing can be started
        const QString u = QStringLiteral("https://www.example.com/a b?x=1&y=%41");
        QTest::newRow("single url code") << "sh %u" << QStringList{u};
        QTest::newRow("blanks and tabs between words") << "sh\t%U   --new-window" << QStringList{u, "--new-window"};
        QTest::newRow("quoted words and their escapes")
            << "\"sh\" %f \"a \\\"b\\\" \\$c \\`d\\` \\\\e\"" << QStringList{u, "a \"b\" $c `d` \\e"};
        QTest::newRow("quotes join a word") << "sh %F --o=\"a b\"c" << QStringList{u, "--o=a bc"};
        QTest::newRow("no code: address goes last") << "sh --private" << QStringList{"--private", u};
        QTest::newRow("code inside a word") << "sh --url=%u" << QStringList{"--url=" + u};
        QTest::newRow("an empty quoted argument stays") << "sh %u --profile \"\"" << QStringList{u, "--profile", ""};
        QTest::newRow("icon, name and entry path")
            << "sh %i %c %k %u" << QStringList{"--icon", "web-browser", "Stand-in", "/x/stand-in.desktop", u};
        QTest::newRow("deprecated codes vanish, %% stays") << "sh %d %D %n %N %v %m 100%% %u" << QStringList{"100%", u};
        QTest::newRow("unterminated quote, backslash last") << "sh \"abc %u\\" << QStringList();
        QTest::newRow("program missing") << "/nonexistent/browser %u" << QStringList();
    }
    void commandForUrl()
    {
        QFETCH(QString, exec);
        QFETCH(QStringList, arguments);
        DesktopEntry e{"stand-in.desktop", "/x/stand-in.desktop", "Stand-in", "web-browser", exec, {}};
        const auto command = CommandForUrl(e, QStringLiteral("https://www.example.com/a b?x=1&y=%41"));
        QCOMPARE(command ? command->arguments : QStringList(), arguments);
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
        row("nothing registered", {}, "");
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

    void desktopEntryValuesAreUnescaped()
    {
        XdgSandbox box;
        const auto e = ReadDesktopEntry(
            box.write("e.desktop",
                      "# note\n[Other]\nExec=wrong\n[Desktop Entry]\n"
                      "Type=Application\nName=Two\\sWords\nName[de]=Zwei\nExec=\"/opt/a b/run\" \\\\\\\\x \"\" %u\n"));
        QVERIFY(e);
        QCOMPARE(e->name, QString("Two Words"));
        // The value escape goes first, the Exec quoting second.
        QCOMPARE(SplitExecLine(e->exec).value_or(QStringList()), QStringList({"/opt/a b/run", "\\\\x", "", "%u"}));
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
