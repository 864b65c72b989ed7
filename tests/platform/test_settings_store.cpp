#include "platform/SettingsStore.h"

#include "platform/NameCodec.h"

#include <QSettings>
#include <QtTest>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace orvel;

namespace {
const QString kApp = QStringLiteral("Orvel Rename");

// Runs `work` and fails unless it ends within a few seconds. A store that waits on a
// FIFO at `file` or its lock for a writer is released by opening the FIFO's other end,
// so that the test ends.
template <typename F>
bool endsPromptly(const QByteArray& file, F work)
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

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    // Only a small regular file is a store; whatever else lies at its path reads as
    // empty, is never written and never stalls the caller.
    void whatLiesAtTheStorePath_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("reads");
        QTest::addColumn<bool>("writes");
        QTest::newRow("a FIFO") << "fifo" << "" << false;
        QTest::newRow("a link to a FIFO") << "link to fifo" << "" << false;
        QTest::newRow("a device") << "device" << "" << false;
        QTest::newRow("a folder") << "folder" << "" << false;
        QTest::newRow("a 300 MB file") << "huge" << "" << false;
        QTest::newRow("a FIFO in place of the write lock") << "fifo lock" << "/kept/" << false;
        QTest::newRow("a link to a store") << "link to store" << "/kept/" << true;
    }
    void whatLiesAtTheStorePath()
    {
        QFETCH(QString, found);
        QFETCH(QString, reads);
        QFETCH(bool, writes);
        QTemporaryDir config;
        IniSettingsStore store(config.path());
        const QByteArray file = QFile::encodeName(store.fileOf(kApp));
        const QByteArray fifo = config.filePath("fifo").toUtf8();
        QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
        IniSettingsStore elsewhere(config.filePath("elsewhere"));
        QVERIFY(elsewhere.write(kApp, "recent", "file1", "/kept/"));
        const QByteArray small = QFile::encodeName(elsewhere.fileOf(kApp));
        if (found == "fifo")
            QVERIFY(::rename(fifo.constData(), file.constData()) == 0);
        else if (found.startsWith("link to "))
            QVERIFY(::symlink(found == "link to fifo" ? fifo.constData() : small.constData(), file.constData()) == 0);
        else if (found == "device") // a node of its own where that is allowed: a faulty store must not harm /dev
            QVERIFY(::mknod(file.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0 || ::symlink("/dev/null", file.constData()) == 0);
        else if (found == "folder")
            QVERIFY(::mkdir(file.constData(), 0700) == 0);
        else if (found == "huge")
            QVERIFY(::truncate(small.constData(), 300 << 20) == 0);
        if (found == "huge" || found == "fifo lock")
            QVERIFY(::rename(small.constData(), file.constData()) == 0);
        if (found == "fifo lock")
            QVERIFY(::rename(fifo.constData(), file + ".lock") == 0);

        QString read;
        bool written = false;
        QVERIFY(endsPromptly(file, [&] { read = store.read(kApp, "recent", "file1"); }));
        QCOMPARE(read, reads);
        QVERIFY(endsPromptly(file, [&] { written = store.write(kApp, "recent", "file2", "/new/"); }));
        QCOMPARE(written, writes);
        // Nor is it removed as if it were a store.
        if (reads.isEmpty())
            QCOMPARE(store.deleteApplication(kApp), false);
        struct stat st;
        QVERIFY(::lstat(file.constData(), &st) == 0);
        if (found == "huge")
            QCOMPARE(st.st_size, 300 << 20);
    }

    void namesThatAreNotUtf8ComeBackWhole()
    {
        QTemporaryDir config;
        const QString odd = DecodeName("/home/R\xe9SUM\xe9/\xff/");
        const QString plain = QString::fromUtf8("/home/caf\u00e9 \U0001F600/");
        {
            IniSettingsStore store(config.path());
            QVERIFY(store.write(kApp, "recent", "file1", odd));
            QVERIFY(store.write(kApp, "recent", "file2", plain));
        }
        IniSettingsStore again(config.path());
        QCOMPARE(again.read(kApp, "recent", "file1"), odd);
        QCOMPARE(again.read(kApp, "recent", "file2"), plain);
        // A path in UTF-8 is kept as plain text, as every earlier version kept it.
        const QVariant stored = QSettings(again.fileOf(kApp), QSettings::IniFormat).value("recent/file2");
        QCOMPARE(stored.typeId(), QMetaType::QString);
        QCOMPARE(stored.toString(), plain);
    }
};

QTEST_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
