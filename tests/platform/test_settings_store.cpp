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
        QTest::addColumn<QString>("reads");
        QTest::addColumn<bool>("writes");
        QTest::newRow("a store") << "/kept/" << true;
        QTest::newRow("a link to a store") << "/kept/" << true;
        QTest::newRow("a FIFO") << "" << false;
        QTest::newRow("a link to a FIFO") << "" << false;
        QTest::newRow("a device") << "" << false;
        QTest::newRow("a 300 MB file") << "" << false;
        QTest::newRow("a FIFO in place of the write lock") << "/kept/" << false;
    }
    void whatLiesAtTheStorePath()
    {
        QFETCH(QString, reads);
        QFETCH(bool, writes);
        const QByteArray found = QTest::currentDataTag();
        QTemporaryDir config;
        IniSettingsStore store(config.path()), elsewhere(config.filePath("elsewhere"));
        const QByteArray file = QFile::encodeName(store.fileOf("app")), fifo = file + "-fifo",
                         small = QFile::encodeName(elsewhere.fileOf("app"));
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        QVERIFY(elsewhere.write("app", "recent", "file1", "/kept/"));
        if (found == "a 300 MB file")
            QVERIFY(::truncate(small.constData(), 300 << 20) == 0);
        if (found == "a device") // a node of its own where allowed: a faulty store must not harm /dev
            QVERIFY(::mknod(file.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0
                    || ::symlink("/dev/null", file.constData()) == 0);
        else if (found.startsWith("a link to"))
            QVERIFY(::symlink(found.endsWith("FIFO") ? fifo.constData() : small.constData(), file.constData()) == 0);
        else
            QVERIFY(::rename(found == "a FIFO" ? fifo.constData() : small.constData(), file.constData()) == 0);
        if (found.endsWith("lock"))
            QVERIFY(::rename(fifo.constData(), file + ".lock") == 0);

        const QString plain = QString::fromUtf8("/home/caf\u00e9 \U0001F600/");
        QString read;
        bool written = true, removed = false;
        QVERIFY(endsPromptly(file, [&] {
            read = store.read("app", "recent", "file1");
            written = store.write("app", "recent", "file2", plain);
            removed = reads.isEmpty() && store.deleteApplication("app");
        }));
        QCOMPARE(std::pair(read, written), std::pair(reads, writes));
        QVERIFY(!removed && QFileInfo::exists(store.fileOf("app")));
        if (found == "a 300 MB file")
            QCOMPARE(QFileInfo(store.fileOf("app")).size(), 300 << 20);
        if (!writes)
            return;
        QCOMPARE(IniSettingsStore(config.path()).read("app", "recent", "file2"), plain);
        QCOMPARE(QSettings(store.fileOf("app"), QSettings::IniFormat).value("recent/file2").typeId(),
                 QMetaType::QString);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
