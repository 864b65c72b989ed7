// The two things the program keeps outside its window: the instance lock and the
// settings store. Neither may stop a start or stall the window, whatever lies at its path.

#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"
#include "tests/support/XdgSandbox.h"

#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace orvel;
using Result = SingleInstance::Result;

namespace {
const QString kApp = QStringLiteral("Orvel Rename");

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

class TestLockAndSettings : public QObject {
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
        test::XdgSandbox box;
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
        // Without a runtime folder the lock goes to the temporary folder, named for the user.
        box.setEnv("XDG_RUNTIME_DIR", std::nullopt);
        const QFileInfo inTemp(SingleInstance::defaultLockPath());
        QCOMPARE(inTemp.absolutePath(), QFileInfo(box.path("tmp")).absoluteFilePath());
        QVERIFY2(inTemp.fileName().contains(QString::number(::getuid())), qPrintable(inTemp.fileName()));
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
};

QTEST_MAIN(TestLockAndSettings)
#include "test_lock_and_settings.moc"
