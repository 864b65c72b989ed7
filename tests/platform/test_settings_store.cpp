// The settings store: only a small regular file is one, and whatever else lies at its path never stalls a caller.

#include "platform/SettingsStore.h"

#include <QSettings>
#include <QTest>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace orvel;

// Runs `work`; false unless it ends within a few seconds. Work that waits on a FIFO at
// `file` or at its lock for a writer is released by opening the FIFO's other end.
static bool endsPromptly(const QByteArray& file, const std::function<void()>& work)
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

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Whatever is not a store reads as empty and is never written or removed. A path in
    // UTF-8 is kept as plain text, as every earlier version kept it; names that are not
    // UTF-8 come back whole (the window's recent folders show it).
    void whatLiesAtTheStorePath_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("reads");
        QTest::addColumn<bool>("writes");
        const auto row = [](const char* name, const char* found, const char* reads, bool writes) {
            QTest::newRow(name) << QString(found) << QString(reads) << writes;
        };
        row("a store", "store", "/kept/", true);
        row("a link to a store", "link to store", "/kept/", true);
        row("a FIFO", "fifo", "", false);
        row("a link to a FIFO", "link to fifo", "", false);
        row("a device", "device", "", false);
        row("a 300 MB file", "huge", "", false);
        row("a FIFO in place of the write lock", "fifo lock", "/kept/", false);
    }
    void whatLiesAtTheStorePath()
    {
        QFETCH(QString, found);
        QFETCH(QString, reads);
        QFETCH(bool, writes);
        QTemporaryDir config;
        IniSettingsStore store(config.path()), elsewhere(config.filePath("elsewhere"));
        const QByteArray file = QFile::encodeName(store.fileOf("app")),
                         fifo = QFile::encodeName(config.filePath("fifo")),
                         small = QFile::encodeName(elsewhere.fileOf("app"));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        QVERIFY(elsewhere.write("app", "recent", "file1", "/kept/"));
        if (found == "huge")
            QVERIFY(::truncate(small.constData(), 300 << 20) == 0);
        if (found == "device") // a node of its own where allowed: a faulty store must not harm /dev
            QVERIFY(::mknod(file.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0
                    || ::symlink("/dev/null", file.constData()) == 0);
        else if (found.startsWith("link to "))
            QVERIFY(::symlink(found.endsWith("fifo") ? fifo.constData() : small.constData(), file.constData()) == 0);
        else
            QVERIFY(::rename(found == "fifo" ? fifo.constData() : small.constData(), file.constData()) == 0);
        if (found == "fifo lock")
            QVERIFY(::rename(fifo.constData(), file + ".lock") == 0);

        const QString plain = QString::fromUtf8("/home/caf\u00e9 \U0001F600/");
        QString read;
        bool written = true, removed = false;
        QVERIFY(endsPromptly(file, [&] {
            read = store.read("app", "recent", "file1");
            written = store.write("app", "recent", "file2", plain);
            removed = reads.isEmpty() && store.deleteApplication("app");
        }));
        QCOMPARE(read, reads);
        QCOMPARE(written, writes);
        struct stat st;
        QVERIFY(!removed && ::lstat(file.constData(), &st) == 0);
        if (found == "huge")
            QCOMPARE(st.st_size, 300 << 20);
        if (!writes)
            return;
        QCOMPARE(IniSettingsStore(config.path()).read("app", "recent", "file2"), plain);
        QCOMPARE(QSettings(store.fileOf("app"), QSettings::IniFormat).value("recent/file2").typeId(),
                 QMetaType::QString);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
