// One name at a time: its new case, its rename, and the paths around it.

#include "engine/CaseConversion.h"
#include "engine/FolderTree.h"
#include "engine/RenameStep.h"
#include "engine/SearchReplace.h"
#include "platform/FileSystem.h"
#include "tests/support/TempTree.h"

#include <QTest>

#include <cerrno>

using namespace orvel;
using namespace orvel::test;

namespace {

// Takes paths of any syntax, renames nothing, remembers what it was asked.
class RecordingFileSystem : public FileSystem {
public:
    bool answer = true;
    QList<QPair<QString, QString>> renames;

    FolderHandle openFolder(const QString&, int*) const override { return {}; }
    FolderHandle openSubFolder(const FolderHandle&, const QString&, int*) const override { return {}; }
    Listing listFolder(const FolderHandle&, const EntrySink&) const override { return {EBADF}; }
    int renameIn(const FolderHandle&, const QString&, const QString&, const TemporaryNotice&) override { return EBADF; }
    int identify(const FolderHandle&, const QString&, EntryIdentity*) const override { return EBADF; }
    int listedAs(const FolderHandle&, const QString&, QString*) const override { return EBADF; }
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

class TestRenameFile : public QObject {
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
        renameRow("name not UTF-8, identical", {latin1 + "=keep"}, latin1, latin1, {latin1 + "=keep"});
        // A leading U+FEFF is part of the name, not a mark to drop.
        renameRow("leading U+FEFF", {QStringLiteral("\uFEFF..=bom")}, QStringLiteral("\uFEFF.."),
                  QStringLiteral("\uFEFF.. Two"), {QStringLiteral("\uFEFF.. Two=bom")});
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
                    {"/data/OLD stuff", P, true, "/data/Old Stuff"},
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
            const auto result = RenameLastComponent(path, style, fs, notChanged, syntax);
            using Renames = QList<QPair<QString, QString>>;
            QCOMPARE(fs.renames, (newPath.isEmpty() ? Renames{} : Renames{{path, newPath}}));
            // Only a real change is handed back, for the caller to carry over to the paths below.
            const bool changed = accepted && !newPath.isEmpty() && newPath != path;
            QCOMPARE(result, changed ? std::optional<QString>(newPath) : std::nullopt);
            QCOMPARE(pathsOf(notChanged), accepted ? QStringList{} : QStringList{path});
        }
    }

    // Every path routine, one row each: routine, path, result. Paths that start with a
    // drive or a backslash are in Windows syntax, the others in POSIX syntax.
    void paths()
    {
        const QStringList rows[] = {{"normalize", R"(C:\Data\)", R"(C:\Data)"},
                                    {"normalize", R"(C:\)", "C:"}, // the root to its designator
                                    {"normalize", R"(C:\Data\\Sub\\)", R"(C:\Data\Sub)"},
                                    {"normalize", "C:/Data/Sub/", R"(C:\Data\Sub\)"},
                                    {"normalize", R"(\\server\share\)", R"(\\server\share)"},
                                    {"normalize", R"(C:\a\\\b)", R"(C:\a\\b)"}, // three become two
                                    {"normalize", "C:", "C:"},
                                    {"normalize", "/data/", "/data"},
                                    {"normalize", "/", ""},
                                    {"normalize", "/data//sub//", "/data/sub"},
                                    {"normalize", "/data\\sub\\", "/data\\sub\\"}, // a backslash is a name character
                                    {"normalize", "//server/share/", "/server/share"},
                                    {"normalize", "/a///b", "/a//b"},
                                    // Up One Level's target: the root keeps its one separator.
                                    {"parent", "/a/b", "/a"},
                                    {"parent", "/a", "/"},
                                    {"parent", "/", "/"},
                                    {"parent", "/a/", "/a"},
                                    {"parent", "a", ""},
                                    {"parent", R"(C:\a)", R"(C:\)"},
                                    // The folder as the window shows it: one trailing separator.
                                    {"directory", "/a", "/a/"},
                                    {"directory", "/", "/"},
                                    {"directory", R"(C:\)", R"(C:\)"},
                                    {"join", "/", "/x"},
                                    {"join", "/a", "/a/x"}};
        for (const QStringList& row : rows) {
            const bool windows = row[1].startsWith('\\') || row[1].mid(1, 1) == ":";
            const PathSyntax syntax = windows ? PathSyntax::windows() : PathSyntax::posix();
            const QString result = row[0] == "normalize" ? NormalizePath(row[1], syntax)
                : row[0] == "parent"                     ? ParentPath(row[1], syntax)
                : row[0] == "directory"                  ? DirectoryText(row[1], syntax)
                                                         : JoinPath(row[1], "x", syntax);
            QCOMPARE(row[0] + ' ' + row[1] + " -> " + result, row[0] + ' ' + row[1] + " -> " + row[2]);
        }
    }

    void workedExamples_data()
    {
        QTest::addColumn<QString>("names");
        QTest::newRow("holiday") << "Holiday PHOTO (copy).JPG|holiday photo (copy).jpg|HOLIDAY PHOTO (COPY).JPG|"
                                    "Holiday Photo (Copy).jpg|Holiday Photo (copy).jpg";
        QTest::newRow("report") << "report(final)B.DOC|report(final)b.doc|REPORT(FINAL)B.DOC|Report(Final)b.doc|"
                                   "Report(final)b.doc";
        QTest::newRow("my_file") << "my_file-name.TXT|my_file-name.txt|MY_FILE-NAME.TXT|My_file-name.txt|"
                                    "My_file-name.txt";
        QTest::newRow("2ND") << "2ND TRY.txt|2nd try.txt|2ND TRY.TXT|2nd Try.txt|2nd Try.txt";
        QTest::newRow("(a)(b)") << "(a)(b) c.txt|(a)(b) c.txt|(A)(B) C.TXT|(A)(B) C.txt|(a)(b) C.txt";
        QTest::newRow("[abc]") << "[abc] x.txt|[abc] x.txt|[ABC] X.TXT|[abc] X.txt|[abc] X.txt";
        // A mapping may change the length.
        QTest::newRow("ß") << "Straße.txt|straße.txt|STRASSE.TXT|Straße.txt|Straße.txt";
        // Bytes that are not UTF-8 (U+DC80..U+DCFF) are no letters and never change;
        // neither does a U+FEFF.
        QTest::newRow("not UTF-8") << orvel::DecodeName(
            "R\xe9SUM\xe9 (a).DOC|r\xe9sum\xe9 (a).doc|R\xe9SUM\xe9 (A).DOC|"
            "R\xe9sum\xe9 (A).doc|R\xe9sum\xe9 (a).doc");
        QTest::newRow("not UTF-8 first") << orvel::DecodeName("\xe9T\xc9 \xffx|\xe9t\xc9 \xffx|\xe9T\xc9 \xffX|"
                                                              "\xe9t\xc9 \xffx|\xe9t\xc9 \xffx");
        QTest::newRow("U+FEFF") << QStringLiteral("\uFEFFab CD|\uFEFFab cd|\uFEFFAB CD|\uFEFFab Cd|\uFEFFab Cd");
    }

    void workedExamples()
    {
        // Turkish and Azeri map the dotted and dotless i differently.
        const QLocale::Language language = QLocale::system().language();
        if (language == QLocale::Turkish || language == QLocale::Azerbaijani)
            QSKIP("the examples assume the i/I mapping of non-Turkic locales");
        QFETCH(QString, names);
        const QStringList n = names.split('|');
        QStringList got; // file and folder for each style, the style None last
        for (CaseStyle style : {CaseStyle::Lower, CaseStyle::Upper, CaseStyle::Proper, CaseStyle::None})
            got << ConvertFileName(n[0], style) << ConvertFolderName(n[0], style);
        QCOMPARE(got, (QStringList{n[1], n[1], n[2], n[2], n[3], n[4], n[0], n[0]}));
    }

    // Turkish pairs "i" with a dotted capital and "I" with a dotless small letter: plain
    // ASCII names too must take the locale's mapping there. CTest runs this once more
    // under a Turkish locale.
    void dottedAndDotlessI()
    {
        const bool turkish = QLocale::system().language() == QLocale::Turkish;
        QCOMPARE(ConvertFileName("file IN.txt", CaseStyle::Upper), turkish ? "FİLE IN.TXT" : "FILE IN.TXT");
        QCOMPARE(ConvertFolderName("FILE IN", CaseStyle::Lower), turkish ? "fıle ın" : "file in");
    }

    // The word rule of Proper Case, and the fix-up after "(" that files get on top.
    void properCaseAndBracketFixUp_data()
    {
        QTest::addColumn<bool>("bracket");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, bool bracket, const QString& text, const QString& expected) {
            QTest::newRow(name) << bracket << text << expected;
        };
        row("every separator", false, QString("ab cD\tef\ngh\vuv\fkl\rmn") + QChar(0) + "op",
            QString("Ab Cd\tEf\nGh\vUv\fKl\rMn") + QChar(0) + "Op");
        row("no other separators", false, "one.two-three_four'five(six)7x", "One.two-three_four'five(six)7x");
        row("non-break space is no separator", false, "ab\u00A0CD", "Ab\u00A0cd");
        row("accented", false, "ÉCOLE ÉTÉ", "École Été");
        row("first letter grows", false, "ßa straße", "SSa Straße");
        // Deseret letters lie outside the basic plane: one code point, two UTF-16 units.
        row("surrogate pairs", false, "\U00010428\U00010428 a\U00010400", "\U00010400\U00010428 A\U00010428");
        row("empty", false, {}, {});
        row("bracket: every letter", true, "(a(b(c(d(e(f(g(h(i(j(k(l(m(n(o(p(q(r(s(t(u(v(w(x(y(z",
            "(A(B(C(D(E(F(G(H(I(J(K(L(M(N(O(P(Q(R(S(T(U(V(W(X(Y(Z");
        row("bracket: right after it only", true, "(copy) ((old))", "(Copy) ((Old))");
        row("bracket: left alone", true, "(élan) [a] {b} <c> (1a) ( a)", "(élan) [a] {b} <c> (1a) ( a)");
    }

    void properCaseAndBracketFixUp()
    {
        QFETCH(bool, bracket);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        if (bracket)
            FixBracketCase(text);
        QCOMPARE(bracket ? text : ProperCaseForm(text), expected);
    }

    // Field | search | replacement | result.
    void searchReplace_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::newRow("empty search") << "abc||x|abc";
        QTest::newRow("bracket pair twice") << "(a(a|(a|(A|(A(A";
        QTest::newRow("exact case only") << "(A|(a|(A|(A";
        // Starting again from the beginning finds what a replacement completes.
        QTest::newRow("shrinks repeatedly") << "aaaa|aa|a|a";
        QTest::newRow("completed on the left") << "aabb|ab|a|aa";
        // A replacement holding the search text: one pass, and it ends.
        QTest::newRow("replacement holds search") << "aXa|a|aa|aaXaa";
    }

    void searchReplace()
    {
        QFETCH(QString, cells);
        const QStringList c = cells.split('|');
        QString field = c[0];
        SearchReplace(field, c[1], c[2]);
        QCOMPARE(field, c[3]);
    }
};

QTEST_GUILESS_MAIN(TestRenameFile)
#include "test_rename_file.moc"