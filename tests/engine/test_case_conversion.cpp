#include "engine/CaseConversion.h"
#include "engine/modTextSearchReplace.h"

#include <QLocale>
#include <QtTest>

using namespace orvel;

Q_DECLARE_METATYPE(orvel::CaseStyle)

namespace {

// In Turkish and Azeri the dotted and dotless i map differently; the expectations
// below hold for every other locale.
bool turkicLocale()
{
    const QLocale::Language l = QLocale::system().language();
    return l == QLocale::Turkish || l == QLocale::Azerbaijani;
}

} // namespace

class TestCaseConversion : public QObject {
    Q_OBJECT

private slots:
    void workedExamples_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<CaseStyle>("style");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("folder");

        struct Row {
            const char* listed;
            const char* lower;
            const char* upper;
            const char* properFile;
            const char* properFolder;
        };
        const Row rows[] = {
            {"Holiday PHOTO (copy).JPG", "holiday photo (copy).jpg", "HOLIDAY PHOTO (COPY).JPG",
             "Holiday Photo (Copy).jpg", "Holiday Photo (copy).jpg"},
            {"report(final)B.DOC", "report(final)b.doc", "REPORT(FINAL)B.DOC", "Report(Final)b.doc",
             "Report(final)b.doc"},
            {"my_file-name.TXT", "my_file-name.txt", "MY_FILE-NAME.TXT", "My_file-name.txt", "My_file-name.txt"},
            {"2ND TRY.txt", "2nd try.txt", "2ND TRY.TXT", "2nd Try.txt", "2nd Try.txt"},
            {"(a)(b) c.txt", "(a)(b) c.txt", "(A)(B) C.TXT", "(A)(B) C.txt", "(a)(b) C.txt"},
            {"[abc] x.txt", "[abc] x.txt", "[ABC] X.TXT", "[abc] X.txt", "[abc] X.txt"},
        };
        for (const Row& r : rows) {
            const QString listed = QString::fromUtf8(r.listed);
            QTest::addRow("%s | lower", r.listed) << listed << CaseStyle::Lower << QString(r.lower) << QString(r.lower);
            QTest::addRow("%s | upper", r.listed) << listed << CaseStyle::Upper << QString(r.upper) << QString(r.upper);
            QTest::addRow("%s | proper", r.listed)
                << listed << CaseStyle::Proper << QString(r.properFile) << QString(r.properFolder);
            QTest::addRow("%s | none", r.listed) << listed << CaseStyle::None << listed << listed;
        }
    }

    void workedExamples()
    {
        if (turkicLocale())
            QSKIP("the examples assume the i/I mapping of non-Turkic locales");
        QFETCH(QString, listed);
        QFETCH(CaseStyle, style);
        QFETCH(QString, file);
        QFETCH(QString, folder);
        QCOMPARE(ConvertFileName(listed, style), file);
        QCOMPARE(ConvertFolderName(listed, style), folder);
    }

    void properCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blank") << "ab cD" << "Ab Cd";
        QTest::newRow("tab") << "ab\tcd" << "Ab\tCd";
        QTest::newRow("line feed") << "ab\ncd" << "Ab\nCd";
        QTest::newRow("vertical tab") << "ab\vcd" << "Ab\vCd";
        QTest::newRow("form feed") << "ab\fcd" << "Ab\fCd";
        QTest::newRow("carriage return") << "ab\rcd" << "Ab\rCd";
        QTest::newRow("NUL") << (QString("ab") + QChar(0) + "cd") << (QString("Ab") + QChar(0) + "Cd");
        QTest::newRow("no other separators") << "one.two-three_four'five(six)7x"
                                             << "One.two-three_four'five(six)7x";
        QTest::newRow("leading and trailing blanks") << "  MIXED  case  " << "  Mixed  Case  ";
        QTest::newRow("non-break space is no separator") << QString("ab\u00A0CD") << QString("Ab\u00A0cd");
        QTest::newRow("accented") << QString("ÉCOLE ÉTÉ") << QString("École Été");
        QTest::newRow("digit first") << "2ND" << "2nd";
        QTest::newRow("bracket first") << "(COPY)" << "(copy)";
        // Deseret letters lie outside the basic plane: one code point, two UTF-16 units.
        QTest::newRow("surrogate pair first") << QString("\U00010428\U00010428 x") << QString("\U00010400\U00010428 X");
        QTest::newRow("surrogate pair rest") << QString("a\U00010400\U00010400") << QString("A\U00010428\U00010428");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("separators only") << " \t " << " \t ";
    }

    void properCase()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ProperCaseForm(text), expected);
    }

    void mappingsMayChangeTheLength()
    {
        QCOMPARE(UpperCaseForm(QString("straße")), QString("STRASSE"));
        QCOMPARE(LowerCaseForm(QString("STRASSE")), QString("strasse"));
        QCOMPARE(LowerCaseForm(QString("straße")), QString("straße"));
        QCOMPARE(ProperCaseForm(QString("ßa straße")), QString("SSa Straße"));
        QCOMPARE(UpperCaseForm(QString("ärger")), QString("ÄRGER"));
    }

    void searchReplace_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty search") << "abc" << "" << "x" << "abc";
        QTest::newRow("bracket pair twice") << "(a(a" << "(a" << "(A" << "(A(A";
        QTest::newRow("not found") << "abc" << "x" << "y" << "abc";
        QTest::newRow("exact case only") << "(A" << "(a" << "(A" << "(A";
        QTest::newRow("to empty") << "a-b-c" << "-" << "" << "abc";
        // Starting again from the beginning finds what a replacement completes.
        QTest::newRow("shrinks repeatedly") << "aaaa" << "aa" << "a" << "a";
        QTest::newRow("completed on the left") << "aabb" << "ab" << "a" << "aa";
        // A replacement holding the search text: one pass, and it ends.
        QTest::newRow("replacement holds search") << "aXa" << "a" << "aa" << "aaXaa";
        QTest::newRow("replacement equals search") << "abab" << "ab" << "ab" << "abab";
        QTest::newRow("replacement grows around search") << "(a" << "(a" << "(a(a" << "(a(a";
    }

    void searchReplace()
    {
        QFETCH(QString, field);
        QFETCH(QString, search);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        SearchReplace(field, search, replacement);
        QCOMPARE(field, expected);
    }

    void fixBracketCase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every letter") << "(a(b(c(d(e(f(g(h(i(j(k(l(m(n(o(p(q(r(s(t(u(v(w(x(y(z"
                                      << "(A(B(C(D(E(F(G(H(I(J(K(L(M(N(O(P(Q(R(S(T(U(V(W(X(Y(Z";
        QTest::newRow("only right after the bracket") << "(copy) (old)" << "(Copy) (Old)";
        QTest::newRow("doubled bracket") << "((a))" << "((A))";
        QTest::newRow("accented letter untouched") << QString("(élan)") << QString("(élan)");
        QTest::newRow("other brackets untouched") << "[a] {b} <c>" << "[a] {b} <c>";
        QTest::newRow("digit after bracket") << "(1a)" << "(1a)";
        QTest::newRow("blank after bracket") << "( a)" << "( a)";
    }

    void fixBracketCase()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        FixBracketCase(name);
        QCOMPARE(name, expected);
    }

    void namesWithLineBreaksAreConvertedLikeAnyOther()
    {
        QCOMPARE(ConvertFileName("first LINE\nsecond (line).TXT", CaseStyle::Proper),
                 QString("First Line\nSecond (Line).txt"));
        QCOMPARE(ConvertFileName(" Lead and trail ", CaseStyle::Upper), QString(" LEAD AND TRAIL "));
    }
};

QTEST_GUILESS_MAIN(TestCaseConversion)
#include "test_case_conversion.moc"
