#include "engine/CaseConversion.h"
#include "engine/SplitPath.h"
#include "engine/modFileRename.h"
#include "platform/FileSystem.h"
#include "tests/support/FaultyFileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

using namespace orvel;

Q_DECLARE_METATYPE(orvel::CaseStyle)

namespace {

// Takes paths of any syntax, renames nothing, remembers what it was asked.
class RecordingFileSystem : public FileSystem {
public:
    bool answer = true;
    QList<QPair<QString, QString>> renames;

    std::optional<QList<DirEntry>> list(const QString&, const QString&, bool) const override
    {
        return std::nullopt;
    }
    EntryType entryType(const QString&) const override { return EntryType::Missing; }
    bool rename(const QString& oldPath, const QString& newPath) override
    {
        renames.append({oldPath, newPath});
        return answer;
    }
};

void makeFile(const QString& path, const QByteArray& content = {})
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(content);
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The names in a folder as the directory holds them (QDir skips names that are not
// UTF-8), sorted.
QStringList rawNames(const QString& folder)
{
    QStringList names;
    if (DIR* dir = ::opendir(folder.toUtf8().constData())) {
        while (const dirent* e = ::readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << QString::fromUtf8(e->d_name);
        ::closedir(dir);
    }
    names.sort();
    return names;
}

} // namespace

class TestRenameFile : public QObject {
    Q_OBJECT

    FileSystem& host = hostFileSystem();

private slots:
    void refusedRenameRecordsTheOldPathOnce()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/LOCKED.TXT", "held");
        makeFile(dir.path() + "/FREE.TXT", "free");
        FaultyFileSystem fs;
        fs.refusedRenames.insert(dir.path() + "/LOCKED.TXT");
        QStringList lstCantRename{"earlier entry"};

        QVERIFY(!RenameFile(fs, lstCantRename, dir.path() + "/LOCKED.TXT", dir.path() + "/locked.txt"));
        QVERIFY(RenameFile(fs, lstCantRename, dir.path() + "/FREE.TXT", dir.path() + "/free.txt"));

        QCOMPARE(lstCantRename, (QStringList{"earlier entry", dir.path() + "/LOCKED.TXT"}));
        QCOMPARE(rawNames(dir.path()), (QStringList{"LOCKED.TXT", "free.txt"}));
    }

    void theOldPathIsRecordedExactlyAsPassed()
    {
        QTemporaryDir dir;
        QStringList lstCantRename;
        const QString odd = dir.path() + "//./gone.txt";
        QVERIFY(!RenameFile(host, lstCantRename, odd, dir.path() + "/Gone.txt"));
        QCOMPARE(lstCantRename, QStringList{odd});
    }

    void unchangedNameIsNoFailure()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/already.txt";
        makeFile(path);
        QStringList lstCantRename;
        QVERIFY(RenameFile(host, lstCantRename, path, path));
        QVERIFY(lstCantRename.isEmpty());
    }

    void collisionKeepsBothFiles()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/A.TXT", "upper");
        makeFile(dir.path() + "/a.txt", "lower");
        QStringList lstCantRename;
        const QString newName = ConvertFileName("A.TXT", CaseStyle::Lower);
        QVERIFY(!RenameFile(host, lstCantRename, dir.path() + "/A.TXT", dir.path() + "/" + newName));
        QCOMPARE(lstCantRename, QStringList{dir.path() + "/A.TXT"});
        QCOMPARE(contentOf(dir.path() + "/A.TXT"), QByteArray("upper"));
        QCOMPARE(contentOf(dir.path() + "/a.txt"), QByteArray("lower"));
        QCOMPARE(rawNames(dir.path()).size(), 2);
    }

    void vanishedFileIsRecorded()
    {
        QTemporaryDir dir;
        makeFile(dir.path() + "/SOON GONE.TXT");
        FaultyFileSystem fs;
        fs.beforeRename = [](const QString& oldPath, const QString&) { QFile::remove(oldPath); };
        QStringList lstCantRename;
        QVERIFY(!RenameFile(fs, lstCantRename, dir.path() + "/SOON GONE.TXT", dir.path() + "/Soon Gone.txt"));
        QCOMPARE(lstCantRename, QStringList{dir.path() + "/SOON GONE.TXT"});
        QVERIFY(rawNames(dir.path()).isEmpty());
    }

    void nameThatIsNotUtf8IsNeverRenamed()
    {
        QTemporaryDir dir;
        const QByteArray raw = dir.path().toUtf8() + "/LATIN1 \xC9T\xC9.TXT";
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);

        const auto listed = host.list(dir.path(), "*.*", false);
        QVERIFY(listed && listed->size() == 1);
        const QString name = listed->first().name;
        QStringList lstCantRename;
        for (CaseStyle style : {CaseStyle::Lower, CaseStyle::Upper, CaseStyle::Proper, CaseStyle::None}) {
            QVERIFY(!RenameFile(host, lstCantRename, dir.path() + "/" + name,
                                dir.path() + "/" + ConvertFileName(name, style)));
        }
        QCOMPARE(lstCantRename, QStringList(4, dir.path() + "/" + name));
        QCOMPARE(rawNames(dir.path()).size(), 1);
        QVERIFY(::access(raw.constData(), F_OK) == 0);
        ::unlink(raw.constData());
    }

    void nameGrowingPastTheLimitFailsCleanly()
    {
        QTemporaryDir dir;
        // U+0250 takes two bytes in UTF-8, its capital U+2C6F three: 240 bytes grow to 360.
        const QString name = QString(120, QChar(0x0250)) + ".txt";
        makeFile(dir.path() + "/" + name, "kept");
        const QString upper = ConvertFileName(name, CaseStyle::Upper);
        QVERIFY(upper.toUtf8().size() > 255);
        QStringList lstCantRename;
        QVERIFY(!RenameFile(host, lstCantRename, dir.path() + "/" + name, dir.path() + "/" + upper));
        QCOMPARE(lstCantRename, QStringList{dir.path() + "/" + name});
        QCOMPARE(contentOf(dir.path() + "/" + name), QByteArray("kept"));
    }

    void splitPathInWindowsSyntax_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<CaseStyle>("style");
        QTest::addColumn<QString>("newPath"); // empty: no rename asked for
        QTest::newRow("proper") << R"(C:\Data\OLD stuff)" << CaseStyle::Proper << R"(C:\Data\Old Stuff)";
        QTest::newRow("head kept") << R"(C:\DATA\Sub)" << CaseStyle::Lower << R"(C:\DATA\sub)";
        QTest::newRow("upper") << R"(C:\Data\Sub)" << CaseStyle::Upper << R"(C:\Data\SUB)";
        QTest::newRow("no bracket fix-up") << R"(C:\x\my folder (old))" << CaseStyle::Proper
                                           << R"(C:\x\My Folder (old))";
        QTest::newRow("forward slash is no separator") << "C:\\a/B c" << CaseStyle::Lower << "C:\\a/b c";
        QTest::newRow("root onto itself") << R"(C:\)" << CaseStyle::Proper << R"(C:\)";
        QTest::newRow("bare designator") << "C:" << CaseStyle::Proper << "";
        QTest::newRow("no style") << R"(C:\Data\OLD)" << CaseStyle::None << "";
    }

    void splitPathInWindowsSyntax()
    {
        QFETCH(QString, path);
        QFETCH(CaseStyle, style);
        QFETCH(QString, newPath);
        RecordingFileSystem fs;
        QStringList lstCantRename;
        const auto result = SplitPath(path, style, fs, lstCantRename, PathSyntax::windows());
        if (newPath.isEmpty()) {
            QVERIFY(fs.renames.isEmpty());
            QVERIFY(!result);
        } else {
            QCOMPARE(fs.renames, (QList<QPair<QString, QString>>{{path, newPath}}));
            QCOMPARE(result, newPath == path ? std::nullopt : std::optional<QString>(newPath));
        }
        QVERIFY(lstCantRename.isEmpty());
    }

    void splitPathRecordsARefusedRoot()
    {
        RecordingFileSystem fs;
        fs.answer = false;
        QStringList lstCantRename;
        QVERIFY(!SplitPath(R"(C:\)", CaseStyle::Lower, fs, lstCantRename, PathSyntax::windows()));
        QCOMPARE(lstCantRename, QStringList{R"(C:\)"});
    }

    void splitPathOnRealFolders()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("DATA/OLD stuff/inner"));
        makeFile(dir.path() + "/DATA/OLD stuff/inner/f.txt", "x");
        QStringList lstCantRename;

        const auto renamed = SplitPath(dir.path() + "/DATA/OLD stuff", CaseStyle::Proper, host, lstCantRename,
                                       PathSyntax::posix());
        QCOMPARE(renamed, std::optional<QString>(dir.path() + "/DATA/Old Stuff"));
        QCOMPARE(rawNames(dir.path() + "/DATA"), QStringList{"Old Stuff"});
        QCOMPARE(rawNames(dir.path()), QStringList{"DATA"}); // the head keeps its case
        QCOMPARE(contentOf(*renamed + "/inner/f.txt"), QByteArray("x"));

        // Already in the style: nothing to carry over, nothing recorded.
        QCOMPARE(SplitPath(*renamed, CaseStyle::Proper, host, lstCantRename, PathSyntax::posix()), std::nullopt);
        QVERIFY(lstCantRename.isEmpty());
    }

    void splitPathOnTheRootChangesNothing()
    {
        QStringList lstCantRename;
        QCOMPARE(SplitPath("/", CaseStyle::Upper, host, lstCantRename, PathSyntax::posix()), std::nullopt);
        QCOMPARE(SplitPath("", CaseStyle::Upper, host, lstCantRename, PathSyntax::posix()), std::nullopt);
        QVERIFY(lstCantRename.isEmpty());
    }

    void splitPathCollisionIsRecorded()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("Photos"));
        QVERIFY(QDir(dir.path()).mkdir("photos"));
        makeFile(dir.path() + "/photos/keep.jpg", "k");
        QStringList lstCantRename;
        QCOMPARE(SplitPath(dir.path() + "/Photos", CaseStyle::Lower, host, lstCantRename, PathSyntax::posix()),
                 std::nullopt);
        QCOMPARE(lstCantRename, QStringList{dir.path() + "/Photos"});
        QCOMPARE(rawNames(dir.path()), (QStringList{"Photos", "photos"}));
        QCOMPARE(contentOf(dir.path() + "/photos/keep.jpg"), QByteArray("k"));
    }
};

QTEST_GUILESS_MAIN(TestRenameFile)
#include "test_rename_file.moc"
