// One rename of an entry, by path or in its folder, on real entries and in either syntax of
// paths: what it renames, what it refuses, and what it reports.

#include "engine/RenameStep.h"
#include "platform/FileSystem.h"
#include "platform/NameCodec.h"
#include "tests/support/TempTree.h"

#include <QTest>

#include <cerrno>
#include <sys/stat.h>

using namespace orvel;
using namespace orvel::test;

namespace {

// Takes paths of any syntax, renames nothing, remembers what it was asked.
class RecordingFileSystem : public FileSystem {
public:
    bool answer = true;
    QList<QPair<QString, QString>> renames;

    FolderHandle openFolder(const QString&, int*) const override { return {}; }
    FolderHandle openSubFolder(const FolderHandle&, QByteArrayView, int*) const override { return {}; }
    Listing listFolder(const FolderHandle&, const EntrySink&, bool) const override { return {EBADF}; }
    int renameIn(const FolderHandle&, QByteArrayView, QByteArrayView, const TemporaryNotice&) override { return EBADF; }
    int identify(const FolderHandle&, QByteArrayView, EntryIdentity*) const override { return EBADF; }
    int listedAs(const FolderHandle&, QByteArrayView, QByteArray*) const override { return EBADF; }
    EntryType entryType(const QString&) const override { return EntryType::Missing; }
    int rename(const QString& oldPath, const QString& newPath) override
    {
        renames.append({oldPath, newPath});
        return answer ? 0 : EACCES;
    }
};

QStringList pathsOf(const QList<NotChanged>& items)
{
    QStringList paths;
    for (const NotChanged& item : items)
        paths << item.path;
    return paths;
}

// Inode and change time: even a rename onto itself would update the change time.
QString stamp(const QString& path)
{
    struct stat st {};
    ::lstat(EncodeName(path).constData(), &st);
    return QStringLiteral("%1 %2.%3").arg(st.st_ino).arg(st.st_ctim.tv_sec).arg(st.st_ctim.tv_nsec);
}

} // namespace

class TestRenameStep : public QObject {
    Q_OBJECT

    FileSystem& host = hostFileSystem();

private Q_SLOTS:
    void renameRealEntries_data()
    {
        renameColumns();
        // U+0250 takes two bytes in UTF-8, its capital U+2C6F three: 244 bytes grow to 364.
        const QString longName = QString(120, QChar(0x0250)) + ".txt";
        renameRow("case-only change", {"Old Name.TXT=payload"}, "Old Name.TXT", "old name.txt",
                  {"old name.txt=payload"});
        renameRow("identical name", {"same.txt=x"}, "same.txt", "same.txt", {"same.txt=x"});
        renameRow("collision A.TXT a.txt", {"A.TXT=upper", "a.txt=lower"}, "A.TXT", "a.txt", {});
        // The old path is recorded exactly as passed, odd spelling and all.
        renameRow("vanished file", {}, ".//GONE.TXT", "gone.txt", {});
        renameRow("vanished file, identical name", {}, "gone.txt", "gone.txt", {});
        renameRow("never through a dangling link", {"a.txt=data", "b.txt->target.txt"}, "a.txt", "b.txt", {});
        renameRow("folder with contents", {"OLD stuff/inner/f.txt=deep"}, "OLD stuff", "Old Stuff",
                  {"Old Stuff/", "Old Stuff/inner/", "Old Stuff/inner/f.txt=deep"});
        renameRow("folder link moves the link only", {"REAL/", "LINK->REAL"}, "LINK", "link", {"REAL/", "link->REAL"});
        // A NUL would cut the name short at the system call.
        renameRow("NUL in the new name", {"a=x"}, "a", QString("b") + QChar(0) + "c", {});
        renameRow("U+FFFD in the new name", {"a=x"}, "a", "b\uFFFD", {"b\uFFFD=x"});
        renameRow("name too long", {longName + "=kept"}, longName, QString(120, QChar(0x2C6F)) + ".TXT", {});
        // Bytes that are not UTF-8 are kept as they are.
        const QString latin1 = DecodeName("LATIN1 \xc9T\xc9.TXT");
        renameRow("name not UTF-8", {latin1 + "=keep"}, latin1, DecodeName("Latin1 \xc9t\xc9.txt"),
                  {DecodeName("Latin1 \xc9t\xc9.txt=keep")});
    }

    void renameRealEntries()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, after);
        TempDir dir;
        const QString oldPath = dir.path() + '/' + from;
        QVERIFY(makeTree(dir.path(), before));
        const QStringList unchanged = readTree(dir.path());
        const QString oldStamp = stamp(oldPath);
        QList<NotChanged> notChanged{{"earlier entry", {}}};

        QCOMPARE(RenameFile(host, notChanged, oldPath, dir.path() + '/' + to), !after.isEmpty());
        QCOMPARE(pathsOf(notChanged).join('|'), after.isEmpty() ? "earlier entry|" + oldPath : "earlier entry");
        QCOMPARE(readTree(dir.path()), after.isEmpty() ? unchanged : after);
        // Neither a rename onto itself nor a refused one touches the entry: no detour
        // through a temporary name either.
        if (from == to || after.isEmpty())
            QCOMPARE(stamp(oldPath), oldStamp);
    }

    // A path in Windows syntax when it starts with a drive; no new path: no rename asked for.
    void renameLastComponent()
    {
        const auto P = CaseStyle::Proper, L = CaseStyle::Lower;
        const struct {
            QString path;
            CaseStyle style;
            bool accepted;
            QString newPath;
        } rows[] = {{R"(C:\Data\OLD stuff)", P, true, R"(C:\Data\Old Stuff)"},
                    {R"(C:\DATA\Sub)", L, true, R"(C:\DATA\sub)"}, // the head is kept
                    {"/DATA/Sub", L, true, "/DATA/sub"},
                    {R"(C:\my (old))", P, true, R"(C:\My (old))"}, // no bracket fix-up
                    {"C:\\a/B c", L, true, "C:\\a/b c"}, // no separators of the other syntax
                    {"/a\\B c", L, true, "/a\\b c"},
                    {R"(C:\)", P, true, R"(C:\)"}, // the root onto itself
                    {"/", P, true, "/"},
                    {"C:", P, true, ""}, // a bare designator
                    {"", P, true, ""},
                    {R"(C:\Data\OLD)", CaseStyle::None, true, ""},
                    {R"(C:\Data\Sub)", CaseStyle::Upper, false, R"(C:\Data\SUB)"}};
        for (const auto& [path, style, accepted, newPath] : rows) {
            RecordingFileSystem fs;
            fs.answer = accepted;
            QList<NotChanged> notChanged;
            const PathSyntax syntax = path.startsWith("C:") ? PathSyntax::windows() : PathSyntax::posix();
            const auto result = RenameLastComponent(path, {style}, fs, notChanged, syntax);
            using Renames = QList<QPair<QString, QString>>;
            QCOMPARE(fs.renames, (newPath.isEmpty() ? Renames{} : Renames{{path, newPath}}));
            // Only a real change is handed back, for the caller to carry over to the paths below.
            const bool changed = accepted && !newPath.isEmpty() && newPath != path;
            QCOMPARE(result, changed ? std::optional<QString>(newPath) : std::nullopt);
            QCOMPARE(pathsOf(notChanged), accepted ? QStringList{} : QStringList{path});
        }
    }
};

QTEST_GUILESS_MAIN(TestRenameStep)
#include "test_rename_step.moc"
