// The instance lock: whether a start may run, where the lock lives, and what a later start is answered.

#include "platform/NameCodec.h"
#include "platform/SingleInstance.h"
#include "tests/support/XdgSandbox.h"

#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvel;
using Result = SingleInstance::Result;
using HandOver = SingleInstance::HandOver;
using orvel::test::XdgSandbox;

class TestSingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What a start finds at the lock's path, and whether it may run; only its own socket
    // ever answers it. A lock held by a live process is the start-up test's.
    void lockStates_data()
    {
        QTest::addColumn<Result>("result");
        QTest::newRow("left by an ended process") << Result::Acquired;
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
        if (found == "left by an ended process") {
            // Its id is free now, or taken by an unrelated program.
            const pid_t pid = ::fork();
            if (pid == 0)
                ::_exit(0);
            QVERIFY(pid > 0 && ::waitpid(pid, nullptr, 0) == pid);
            f.write(QByteArray::number(pid) + "\norvel-file-rename\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        } else if (found == "left empty long ago") {
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        } else if (found == "parent is a regular file") {
            lock += "/instance.lock";
        } else if (found.startsWith("another user's")) {
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

    // The lock and the socket live in the session's runtime folder while it is the user's
    // and closed to others, else (su, sudo -i, ssh) in a folder of the user's own in the
    // temporary folder; never in a folder another user made under that name.
    void lockFolder_data()
    {
        QTest::addColumn<QString>("runtime"); // XDG_RUNTIME_DIR in the sandbox: run/ is private
        QTest::addColumn<QString>("folder"); // where the lock is; empty: nowhere
        const QString own = QStringLiteral("tmp/orvel-file-rename-%1").arg(::getuid());
        QTest::newRow("runtime folder") << "run"
                                        << "run";
        QTest::newRow("runtime folder open to others") << "tmp" << own;
        QTest::newRow("no runtime folder") << "" << own;
        QTest::newRow("another user's folder in place of the own") << ""
                                                                   << "";
    }
    void lockFolder()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, folder);
        XdgSandbox box;
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
            | QFile::WriteUser | QFile::ExeUser;
        QVERIFY(QDir().mkdir(box.path("run"), ownerOnly));
        box.setEnv("XDG_RUNTIME_DIR", runtime.isEmpty() ? std::nullopt : std::optional(box.path(runtime)));
        const QByteArray own = QFile::encodeName(box.path(QStringLiteral("tmp/orvel-file-rename-%1").arg(::getuid())));
        if (folder.isEmpty() && (::mkdir(own.constData(), 0700) != 0 || ::chown(own.constData(), 65534, 65534) != 0))
            QSKIP("only root can give a folder to another user");
        const mode_t mask = ::umask(0); // whatever the user's mask lets others do
        SingleInstance one, two;
        const Result first = one.tryAcquire(), second = two.tryAcquire();
        ::umask(mask);
        QCOMPARE(first, folder.isEmpty() ? Result::Unavailable : Result::Acquired);
        if (folder.isEmpty())
            return;
        QCOMPARE(second, Result::HeldByOther);
        const QString lock = SingleInstance::defaultLockPath();
        QCOMPARE(QFileInfo(lock).absolutePath(), box.path(folder));
        QCOMPARE(QFileInfo(box.path(folder)).permissions(), ownerOnly);
        // Only this user may ask the running window to come forward.
        const QFileInfo socket(QString(lock).replace(".lock", ".socket"));
        QCOMPARE(socket.permissions() & (QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther), QFile::WriteUser);
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
        box.setEnv("XDG_RUNTIME_DIR", std::nullopt);
        box.setEnv("WAYLAND_DISPLAY", displays[0]);
        box.setEnv("DISPLAY", displays[1]);
        SingleInstance one;
        QCOMPARE(one.tryAcquire(), Result::Acquired);
        box.setEnv("WAYLAND_DISPLAY", displays[2]);
        box.setEnv("DISPLAY", displays[3]);
        SingleInstance two;
        QCOMPARE(two.tryAcquire(), blocks ? Result::HeldByOther : Result::Acquired);
    }

    // What a later start that names a folder (its bytes as they are, whatever they mean)
    // is answered: the folder opened or refused, and the window comes forward either way;
    // with no instance listening, nobody answers. A plain start that only brings the
    // window forward is the start-up test's.
    void laterStarts_data()
    {
        QTest::addColumn<HandOver>("answer");
        QTest::newRow("opened") << HandOver::Opened;
        QTest::newRow("refused") << HandOver::Refused;
        QTest::newRow("no instance") << HandOver::Unreachable;
    }
    void laterStarts()
    {
        QFETCH(HandOver, answer);
        QTemporaryDir dir;
        SingleInstance running(dir.filePath("instance.lock")), later(dir.filePath("instance.lock"));
        if (answer != HandOver::Unreachable)
            QCOMPARE(running.tryAcquire(), Result::Acquired);
        QString handed;
        running.setFolderHandler([&](const QString& folder) {
            handed = folder;
            return answer == HandOver::Opened;
        });
        QSignalSpy forward(&running, &SingleInstance::activationRequested);
        const QString odd = DecodeName("/tmp/caf\xe9 and more");
        QCOMPARE(later.handOverFolder(odd), answer);
        QCOMPARE(forward.count(), answer == HandOver::Unreachable ? 0 : 1);
        QCOMPARE(handed, answer == HandOver::Unreachable ? QString() : odd);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
