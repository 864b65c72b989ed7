// The case styles of a name in several languages, with and without the options, the word
// rule of Proper Case, the fix-up after "(" and the search-replace it is made with.

#include "engine/CaseConversion.h"
#include "engine/SearchReplace.h"
#include "platform/NameCodec.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QTest>

using namespace orvel;

namespace {

// A name's new name as text, once its bytes are checked to convert to the very same.
QString convertedFile(const QString& name, const CaseRules& rules)
{
    const QString text = ConvertFileName(name, rules);
    [&] { QCOMPARE(ConvertFileName(QByteArrayView(EncodeName(name)), rules), EncodeName(text)); }();
    return text;
}
QString convertedFolder(const QString& name, const CaseRules& rules)
{
    const QString text = ConvertFolderName(name, rules);
    [&] { QCOMPARE(ConvertFolderName(QByteArrayView(EncodeName(name)), rules), EncodeName(text)); }();
    return text;
}

} // namespace

class TestCaseConversion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void workedExamples_data()
    {
        QTest::addColumn<QString>("names");
        QTest::newRow("holiday") << "Holiday PHOTO (copy).JPG|holiday photo (copy).jpg|HOLIDAY PHOTO (COPY).JPG|"
                                    "Holiday Photo (Copy).jpg|Holiday Photo (copy).jpg";
        QTest::newRow("report") << "report(final)B.DOC|report(final)b.doc|REPORT(FINAL)B.DOC|Report(Final)b.doc|"
                                   "Report(final)b.doc";
        QTest::newRow("2ND") << "2ND TRY.txt|2nd try.txt|2ND TRY.TXT|2nd Try.txt|2nd Try.txt";
        QTest::newRow("(a)(b)") << "(a)(b) c.txt|(a)(b) c.txt|(A)(B) C.TXT|(A)(B) C.txt|(a)(b) C.txt";
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
        QFETCH(QString, names);
        const QStringList n = names.split('|');
        QStringList got; // file and folder for each style, the style None last
        for (CaseStyle style : {CaseStyle::Lower, CaseStyle::Upper, CaseStyle::Proper, CaseStyle::None})
            got << convertedFile(n[0], {style, false, false, "en"})
                << convertedFolder(n[0], {style, false, false, "en"});
        QCOMPARE(got, (QStringList{n[1], n[1], n[2], n[2], n[3], n[4], n[0], n[0]}));
    }

    // Unicode's rules as each language tailors them, and the two options: a file's
    // extension kept, and words in capitals kept by Proper Case. Every example of the
    // manual page's table, then what it does not show; the folder column where a folder's
    // name (no extension, no fix-up after "(") comes out otherwise than a file's.
    void languagesAndOptions_data()
    {
        QTest::addColumn<QString>("rules"); // locale, style, "+ext", "+caps"
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file"); // none: not checked
        QTest::addColumn<QString>("folder");
        QFile manual(QStringLiteral(ORVEL_SOURCE_DIR "/packaging/orvel-file-rename.1"));
        QVERIFY(manual.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(manual.readAll()).replace("\\-", "-");
        const QHash<QString, QString> locales{{"English", "en"}, {"German", "de"}, {"Greek", "el"},
                                              {"Turkish", "tr"}, {"Dutch", "nl"},  {"Croatian", "hr"},
                                              {"Serbian", "sr"}};
        const QStringList table = page.section("\n_\n", 1).section("\n.TE", 0, 0).split('\n');
        QVERIFY(table.size() > 10);
        for (const QString& line : table) {
            const QStringList cell = line.split('\t'); // [language] style [folder], keep, name, new name
            const QStringList how = cell[0].split(' ');
            const bool folder = how.last() == "folder", any = !locales.contains(how[0]);
            QVERIFY2(cell.size() == 4 && how.size() == 1 + !any + folder, qPrintable(line));
            const QString keep = cell[1] == "both" ? "+ext +caps" : cell[1] == "-" ? "" : '+' + cell[1];
            QTest::newRow(qPrintable(cell.first(3).join(", ")))
                << (any ? "en" : locales[how[0]]) + ' ' + how[!any].toLower() + ' ' + keep << cell[2]
                << (folder ? QString() : cell[3]) << (folder ? cell[3] : QString());
        }
        const auto row = [](const char* what, const QString& rules, const QString& name, const QString& file,
                            const QString& folder = {}) {
            QTest::newRow(what) << rules << name << file << (folder.isEmpty() ? file : folder);
        };
        row("el lower, folder", "el lower", "ΑΛΛΟΣ.ΣΟΦΟΣ.TXT", "αλλος.σοφος.txt");
        row("sh UPPER", "sh upper", "ǆungla ǉubav.txt", "ǄUNGLA ǇUBAV.TXT");
        // Dutch "ij" starts a word as one letter; elsewhere it is two.
        row("nl Proper, capital J kept", "nl proper", "IJSSELMEER.txt", "IJsselmeer.txt");
        row("en Proper ij", "en proper", "ijsselmeer.txt", "Ijsselmeer.txt");
        row("tr UPPER", "tr upper", "istanbul ılık.txt", "İSTANBUL ILIK.TXT");
        row("az lower", "az lower", "İLİN.TXT", "ilin.txt");
        row("lt lower keeps the dot", "lt lower", "ÌRAŠAS.TXT", "i\u0307\u0300rašas.txt");
        // The extension: after the last dot, never a leading one, never one with a blank.
        row("lower +ext: no extension", "en lower +ext", ".BASHRC|VOL. 2 NOTES", ".bashrc|vol. 2 notes");
        row("lower +ext, not UTF-8", "en lower +ext", DecodeName("R\xe9SUM\xe9.DOC"), DecodeName("r\xe9sum\xe9.DOC"),
            DecodeName("r\xe9sum\xe9.doc"));
        // A folder has no extension to set apart from a word in capitals.
        row("Proper +caps", "en proper +caps", "the art of war (vol. II).TXT|mcdonald's BBQ.txt|D'ANGELO mcq",
            "The Art Of War (Vol. II).txt|McDonald's BBQ.txt|D'ANGELO Mcq",
            "The Art Of War (vol. II).TXT|McDonald's Bbq.txt|D'ANGELO Mcq");
        row("Proper +caps +ext", "en proper +caps +ext", "USB a XIV|x.PDF", "USB A XIV|X.PDF", "USB A XIV|X.pdf");
        row("Proper +caps, Greek", "el proper +caps", "ΣΟΦΟΣ και ΑΛΛΟΣ.txt", "ΣΟΦΟΣ Και ΑΛΛΟΣ.txt",
            "ΣΟΦΟΣ Και Αλλος.txt");
    }

    void languagesAndOptions()
    {
        QFETCH(QString, rules);
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(QString, folder);
        const QStringList r = rules.split(' ');
        const CaseStyle style = r[1] == "lower" ? CaseStyle::Lower
            : r[1] == "upper"                   ? CaseStyle::Upper
                                                : CaseStyle::Proper;
        const CaseRules how{style, r.contains("+ext"), r.contains("+caps"), r[0].toLatin1()};
        QStringList files, folders;
        for (const QString& each : name.split('|')) {
            files << convertedFile(each, how);
            folders << convertedFolder(each, how);
        }
        if (!file.isNull())
            QCOMPARE(files.join('|'), file);
        if (!folder.isNull())
            QCOMPARE(folders.join('|'), folder);
    }

    // The file list's order: without regard to letter case, names that differ in case
    // alone by their characters; the same for names as bytes, which a run sorts.
    void fileListOrder()
    {
        QStringList names{"b.txt", "B.txt", "a.TXT", "ab",    "aB", "A",
                          "_x",    "Z",     "Ä.txt", "ä.txt", "é",  DecodeName("\xff")};
        SortNames(names);
        QCOMPARE(names.mid(0, 7), (QStringList{"_x", "A", "a.TXT", "aB", "ab", "B.txt", "b.txt"}));
        // Long names alike at their start, which bytes pass over a word at a time: they
        // differ in case alone or further on, within and past the first words, and some
        // are alike beyond ASCII, where a byte that is not UTF-8 sorts apart from the
        // letter it begins in the other name.
        names << "holiday photo 10.jpg"
              << "Holiday Photo 10.jpg"
              << "holiday photo 1.jpg"
              << "holiday photo 10.JPG"
              << "holiday photo 10.jpgx"
              << "holiday photo 2.jpg"
              << "holiday photo 10.jpeg"
              << "holidayPhoto"
              << "holiday"
              << "Übersicht 2026 a.txt"
              << "Übersicht 2026 B.txt"
              << "übersicht 2026 b.txt"
              << "longname ä.txt"
              << "longname Ä.txt" << DecodeName("longname\xff\xfe 1") << "longname z.txt" << DecodeName("abcdefg\xc3")
              << "abcdefgé";
        SortNames(names);
        QList<QByteArray> bytes;
        for (const QString& name : std::as_const(names))
            bytes.prepend(EncodeName(name));
        std::sort(bytes.begin(), bytes.end(), [](const QByteArray& a, const QByteArray& b) {
            return ListsBefore(QByteArrayView(a), QByteArrayView(b));
        });
        QStringList sorted;
        for (const QByteArray& name : std::as_const(bytes))
            sorted << DecodeName(name);
        QCOMPARE(sorted, names);
    }

    // Turkish pairs "i" with a dotted capital and "I" with a dotless small letter: plain
    // ASCII names too must take the locale's mapping there. CTest runs this once more
    // under a Turkish locale.
    void dottedAndDotlessI()
    {
        const bool turkish = QLocale::system().language() == QLocale::Turkish;
        QCOMPARE(convertedFile("file IN.txt", {CaseStyle::Upper}), turkish ? "FİLE IN.TXT" : "FILE IN.TXT");
        QCOMPARE(convertedFolder("FILE IN", {CaseStyle::Lower}), turkish ? "fıle ın" : "file in");
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
        row("first letter in its title-case form", false, "ßa ﬁle", "Ssa File");
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

QTEST_GUILESS_MAIN(TestCaseConversion)
#include "test_case_conversion.moc"
