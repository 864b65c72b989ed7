// The instance lock: whether a start may run, where the lock lives, and what a later start is answered.

#include "platform/NameCodec.h"
#include "platform/SingleInstance.h"
#include "tests/support/XdgSandbox.h"

#include <QLocalServer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace orvel;
using Result = SingleInstance::Result;
using HandOver = SingleInstance::HandOver;
using orvel::test::XdgSandbox;

// A row of lockPerSession: WAYLAND_DISPLAY and DISPLAY of one start, then the other's;
// whether the first blocks the second; XDG_RUNTIME_DIR in the sandbox (run/ is private,
// tmp/ is not); where the lock is (empty: nowhere).
struct Session {
    QStringList displays;
    bool blocks;
    QString runtime = "run", folder = "run";
};

class TestSingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What a start finds at the lock's path, and whether it may run; only its own socket
    // ever answers it. A lock held by a live process is the start-up test's.
    void lockStates_data()
    {
        QTest::addColumn<Result>("result");
        QTest::newRow("left by a process that has ended") << Result::Acquired;
        QTest::newRow("left empty long ago") << Result::Unavailable;
        QTest::newRow("parent is a regular file") << Result::Unavailable;
        QTest::newRow("a FIFO") << Result::Unavailable;
        QTest::newRow("another user's lock and socket") << Result::Unavailable;
    }
    void lockStates()
    {
        QFETCH(Result, result);
        const QByteArray found = QTest::currentDataTag();
        QTemporaryDir dir;
        QString lock = dir.filePath("instance.lock");
        QFile f(lock);
        QLocalServer foreign;
        QVERIFY(found == "a FIFO" ? ::mkfifo(QFile::encodeName(lock).constData(), 0600) == 0
                                  : f.open(QIODevice::WriteOnly));
        if (found.startsWith("left by")) // no process has that id
            f.write("2147483647\norvel-file-rename\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        else if (found == "left empty long ago")
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        else if (found == "parent is a regular file")
            lock += "/instance.lock";
        else if (found.startsWith("another user's")) {
            QVERIFY(foreign.listen(dir.filePath("instance.socket")));
            if (::fchown(f.handle(), 65534, 65534) != 0
                || ::chown(QFile::encodeName(foreign.fullServerName()).constData(), 65534, 65534) != 0)
                QSKIP("only root can give a file to another user");
        }
        f.close();
        SingleInstance start(lock);
        QCOMPARE(start.tryAcquire(), result);
        QCOMPARE(start.activateRunningInstance(), result == Result::Acquired);
        QVERIFY(!foreign.waitForNewConnection(0));
    }

    // Where the lock and its socket live: in the session's runtime folder while that is the
    // user's and closed to others, else (su, sudo -i, ssh) in a folder of the user's own in
    // the temporary folder, never in one another user made under its name. The lock is the
    // display session's: a start on another display runs an instance of its own.
    void lockPerSession_data()
    {
        QTest::addColumn<Session>("session");
        const auto row = [](const char* name, const Session& session) { QTest::newRow(name) << session; };
        const QString own = QStringLiteral("tmp/orvel-file-rename-%1").arg(::getuid());
        const QStringList same{"", ":1", "", ":1"};
        row("runtime folder", {same, true});
        row("runtime folder open to others", {same, true, "tmp", own});
        row("no runtime folder", {same, true, "", own});
        row("another user's folder in place of the own", {same, true, "", ""});
        row("another X display", {{"", ":1", "", ":2"}, false});
        row("another screen of the same X server", {{"", "host:1", "", "host:1.1"}, true});
        row("Wayland decides over X", {{"wayland-0", ":0", "wayland-0", ":5"}, true});
        row("another Wayland display", {{"wayland-0", ":0", "/run/w/wayland-1", ":0"}, false});
    }
    void lockPerSession()
    {
        QFETCH(Session, session);
        const auto& [displays, blocks, runtime, folder] = session;
        XdgSandbox box;
        QVERIFY(QDir().mkdir(box.path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        box.setEnv("XDG_RUNTIME_DIR", runtime.isEmpty() ? std::nullopt : std::optional(box.path(runtime)));
        const QByteArray own = QFile::encodeName(box.path(QStringLiteral("tmp/orvel-file-rename-%1").arg(::getuid())));
        if (folder.isEmpty() && (::mkdir(own.constData(), 0700) != 0 || ::chown(own.constData(), 65534, 65534) != 0))
            QSKIP("only root can give a folder to another user");
        const auto restore = qScopeGuard([mask = ::umask(0)] { ::umask(mask); }); // whatever it lets others do
        box.setEnv("WAYLAND_DISPLAY", displays[0]);
        box.setEnv("DISPLAY", displays[1]);
        SingleInstance one;
        QCOMPARE(one.tryAcquire(), folder.isEmpty() ? Result::Unavailable : Result::Acquired);
        if (folder.isEmpty())
            return;
        const QString lock = SingleInstance::defaultLockPath();
        box.setEnv("WAYLAND_DISPLAY", displays[2]);
        box.setEnv("DISPLAY", displays[3]);
        QCOMPARE(SingleInstance().tryAcquire(), blocks ? Result::HeldByOther : Result::Acquired);
        QCOMPARE(QFileInfo(lock).absolutePath(), box.path(folder));
        // Only this user may ask the running window to come forward.
        const QFileInfo socket(QString(lock).replace(".lock", ".socket"));
        QCOMPARE(socket.permissions() & (QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther), QFile::WriteUser);
    }

    // A later start that names a folder (its bytes as they are, whatever they mean) is told
    // whether the running instance opened it, and brings the window forward either way;
    // with no instance listening, nobody answers. A plain start that only brings the window
    // forward is the start-up test's.
    void laterStarts()
    {
        QTemporaryDir dir;
        SingleInstance running(dir.filePath("instance.lock")), later(dir.filePath("instance.lock"));
        QCOMPARE(later.handOverFolder("/tmp"), HandOver::Unreachable);
        QCOMPARE(running.tryAcquire(), Result::Acquired);
        QStringList handed;
        running.setFolderHandler([&](const QString& folder) { return (handed << folder).size() == 1; });
        QSignalSpy forward(&running, &SingleInstance::activationRequested);
        const QString odd = DecodeName("/tmp/caf\xe9 and more");
        QCOMPARE(later.handOverFolder(odd), HandOver::Opened);
        QCOMPARE(later.handOverFolder("/tmp"), HandOver::Refused);
        QCOMPARE(handed, (QStringList{odd, "/tmp"}));
        QCOMPARE(forward.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
