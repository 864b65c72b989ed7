// The case styles of a name (lower, UPPER, Proper), the bracket fix-up, and the file list's order.
#include "engine/CaseConversion.h"

#include "engine/SearchReplace.h"
#include "platform/NameCodec.h"

#include <QLocale>

#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace orvel {

namespace {

bool isWordSeparator(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0 || (u >= 9 && u <= 13) || u == 32;
}

bool isLanguage(const QByteArray& locale, const char* language)
{
    const auto n = qsizetype(std::strlen(language));
    return locale.size() >= n && qstrnicmp(locale.constData(), language, size_t(n)) == 0
        && (locale.size() == n || locale[n] == '_' || locale[n] == '-');
}

// The locale whose rules apply, by its ICU name, and where its rules for plain ASCII
// names are not the ASCII ones: where a dotted and a dotless i make "i" and "I" no pair,
// and, for Proper Case, where "ij" starts a word as one letter. Other ASCII names skip
// ICU, which costs more than the rename itself on a fast disk.
struct CaseLocale {
    explicit CaseLocale(const QByteArray& locale)
        : name(locale)
        , turkic(isLanguage(locale, "tr") || isLanguage(locale, "az"))
        , dutch(isLanguage(locale, "nl"))
    {
    }
    QByteArray name;
    bool turkic;
    bool dutch;

    bool asciiRulesHold(const QString& text, bool proper) const
    {
        return !turkic && !(proper && dutch)
            && std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    }
    bool asciiRulesHold(QByteArrayView bytes, bool proper) const
    {
        return !turkic && !(proper && dutch) && IsAscii(bytes);
    }
};

// The locale asked for, or the user's.
template <typename Use>
auto withLocale(const QByteArray& asked, Use&& use)
{
    static const CaseLocale user(QLocale::system().name().toLatin1());
    return asked.isEmpty() ? use(user) : use(CaseLocale(asked));
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}
char16_t asciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

// A plain ASCII name in a style, where the ASCII rules hold, byte by byte (the fix-up after
// "(" too for a file's): the same as its conversion as text, which ICU would cost more than
// the rename itself.
QByteArray asciiConverted(QByteArrayView name, CaseStyle style, bool file)
{
    // On the bytes themselves: this runs once for every name of a tree.
    QByteArray converted(name.size(), Qt::Uninitialized);
    char* out = converted.data();
    const bool proper = style == CaseStyle::Proper;
    bool wordStart = true;
    char before = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char c = name[i];
        const bool up = style == CaseStyle::Upper || (proper && (wordStart || (file && before == '(')));
        if (up && c >= 'a' && c <= 'z')
            c = char(c - 32);
        else if (!up && c >= 'A' && c <= 'Z' && style != CaseStyle::None)
            c = char(c + 32);
        out[i] = c;
        wordStart = isWordSeparator(QChar(uchar(c)));
        before = c;
    }
    return converted;
}

// The same for a text of ASCII alone.
QString asciiConverted(const QString& text, CaseStyle style)
{
    return QString::fromLatin1(asciiConverted(text.toLatin1(), style, false));
}

const UChar* icuText(QStringView text)
{
    return reinterpret_cast<const UChar*>(text.utf16());
}

// Appends what an ICU mapping makes of `piece`. ICU takes a byte of a name that is not
// UTF-8 (a lone surrogate) for a code point without case, and leaves it as it is; should
// it fail all the same, the piece stays as written.
template <typename Map>
void appendMapped(QString& out, QStringView piece, Map&& map)
{
    if (piece.isEmpty())
        return;
    const qsizetype at = out.size();
    auto capacity = int32_t(piece.size() + 4);
    for (int attempt = 0; attempt < 2; ++attempt) {
        out.resize(at + capacity);
        UErrorCode error = U_ZERO_ERROR;
        const int32_t length =
            map(reinterpret_cast<UChar*>(out.data() + at), capacity, icuText(piece), int32_t(piece.size()), &error);
        if (error == U_BUFFER_OVERFLOW_ERROR) {
            capacity = length;
            continue;
        }
        if (U_FAILURE(error))
            break;
        out.resize(at + length);
        return;
    }
    out.resize(at);
    out += piece;
}

// A dot ends a word for the letters whose case depends on what follows (a Greek sigma is
// final before "." as before a blank), though not for Proper Case's word rule, so the
// mappings that look at the context see a name piece by piece between its dots.
template <typename MapPiece>
void eachDotPiece(QStringView text, MapPiece&& map)
{
    qsizetype start = 0;
    for (qsizetype dot = text.indexOf(u'.', 1); dot >= 0; dot = text.indexOf(u'.', dot + 1)) {
        map(text.sliced(start, dot - start), start == 0);
        start = dot;
    }
    map(text.sliced(start), start == 0);
}

void appendLower(QString& out, QStringView text, const char* locale)
{
    eachDotPiece(text, [&](QStringView piece, bool) {
        appendMapped(out, piece, [locale](UChar* d, int32_t n, const UChar* s, int32_t l, UErrorCode* e) {
            return u_strToLower(d, n, s, l, locale, e);
        });
    });
}

// One ICU case map per thread, opened for titlecasing exactly the first character of the
// text it is given and lowering the rest: the word rule is Proper Case's own, not ICU's.
UCaseMap* titleMap(const char* locale)
{
    struct Closer {
        void operator()(UCaseMap* map) const { ucasemap_close(map); }
    };
    thread_local std::unique_ptr<UCaseMap, Closer> map;
    thread_local QByteArray opened;
    if (!map || opened != locale) {
        UErrorCode error = U_ZERO_ERROR;
        map.reset(ucasemap_open(locale, U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_BREAK_ADJUSTMENT, &error));
        opened = locale;
        if (U_FAILURE(error))
            map.reset();
    }
    return map.get();
}

// The first character of `piece` in its title-case form ("ǆ" -> "ǅ", under Dutch rules
// "ij" -> "IJ"), the rest in lower case; by the ASCII rules where those hold.
void appendTitled(QString& out, QStringView piece, const char* locale, bool ascii)
{
    if (ascii) {
        for (qsizetype i = 0; i < piece.size(); ++i)
            out += QChar(i == 0 ? asciiUpper(piece[i].unicode()) : asciiLower(piece[i].unicode()));
        return;
    }
    UCaseMap* map = titleMap(locale);
    eachDotPiece(piece, [&](QStringView part, bool first) {
        if (!first || !map) {
            appendLower(out, part, locale);
            return;
        }
        appendMapped(out, part, [map](UChar* d, int32_t n, const UChar* s, int32_t l, UErrorCode* e) {
            return ucasemap_toTitle(map, d, n, s, l, e);
        });
    });
}

// A word written in capitals: two capital letters or more and no small one ("NASA",
// "XIV", "U.S.", "II)"). Characters without case (digits, marks) do not count either way.
bool writtenInCapitals(QStringView word)
{
    int capitals = 0;
    for (qsizetype i = 0; i < word.size();) {
        UChar32 c = 0;
        U16_NEXT(icuText(word), i, word.size(), c);
        if (u_isULowercase(c) || u_istitle(c))
            return false;
        capitals += u_isUUppercase(c);
    }
    return capitals >= 2;
}

// The length of a name's prefix after which a capital follows: "Mc" before two letters
// or more (McDonald), "O'" or "D'" before a letter (O'Neil, D'Angelo); 0 for none.
qsizetype namePrefix(QStringView word)
{
    const auto letters = [word](qsizetype from, int count) {
        for (qsizetype i = from; count > 0; --count) {
            if (i >= word.size())
                return false;
            UChar32 c = 0;
            U16_NEXT(icuText(word), i, word.size(), c);
            if (!u_isalpha(c))
                return false;
        }
        return true;
    };
    const auto is = [word](qsizetype at, char16_t a) { return at < word.size() && word[at].toLower() == a; };
    if (is(0, u'm') && is(1, u'c') && letters(2, 2))
        return 2;
    if ((is(0, u'o') || is(0, u'd')) && (is(1, u'\'') || is(1, u'\u2019')) && letters(2, 1))
        return 2;
    return 0;
}

} // namespace

QString LowerCaseForm(const QString& text, const QByteArray& locale)
{
    return withLocale(locale, [&text](const CaseLocale& rules) {
        if (rules.asciiRulesHold(text, false))
            return asciiConverted(text, CaseStyle::Lower);
        QString result;
        result.reserve(text.size());
        appendLower(result, text, rules.name.constData());
        return result;
    });
}

QString UpperCaseForm(const QString& text, const QByteArray& locale)
{
    return withLocale(locale, [&text](const CaseLocale& rules) {
        if (rules.asciiRulesHold(text, false))
            return asciiConverted(text, CaseStyle::Upper);
        QString result;
        result.reserve(text.size() + 4);
        const char* name = rules.name.constData();
        appendMapped(result, text, [name](UChar* d, int32_t n, const UChar* s, int32_t l, UErrorCode* e) {
            return u_strToUpper(d, n, s, l, name, e);
        });
        return result;
    });
}

QString ProperCaseForm(const QString& text, const CaseRules& rules)
{
    return withLocale(rules.locale, [&](const CaseLocale& caseLocale) {
        const bool ascii = caseLocale.asciiRulesHold(text, true);
        if (ascii && !rules.keepCapitals)
            return asciiConverted(text, CaseStyle::Proper);
        const char* locale = caseLocale.name.constData();
        QString result;
        result.reserve(text.size() + 4);
        const qsizetype n = text.size();
        qsizetype i = 0;
        while (i < n) {
            if (isWordSeparator(text[i])) {
                result += text[i++];
                continue;
            }
            qsizetype end = i + 1;
            while (end < n && !isWordSeparator(text[end]))
                ++end;
            const QStringView word = QStringView(text).sliced(i, end - i);
            i = end;
            if (rules.keepCapitals && writtenInCapitals(word)) {
                result += word;
                continue;
            }
            const qsizetype prefix = rules.keepCapitals ? namePrefix(word) : 0;
            if (prefix > 0)
                appendTitled(result, word.first(prefix), locale, ascii);
            appendTitled(result, word.sliced(prefix), locale, ascii);
        }
        return result;
    });
}

void FixBracketCase(QString& workingName)
{
    if (!workingName.contains(u'('))
        return; // most names: nothing to look for, 26 times over
    QString search = QStringLiteral("(a");
    QString replacement = QStringLiteral("(A");
    for (char16_t letter = u'a'; letter <= u'z'; ++letter) {
        search[1] = QChar(letter);
        replacement[1] = QChar(char16_t(letter - u'a' + u'A'));
        SearchReplace(workingName, search, replacement);
    }
}

qsizetype ExtensionStart(QStringView fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot <= 0 || std::any_of(fileName.begin() + dot, fileName.end(), isWordSeparator))
        return fileName.size();
    return dot;
}

QString ConvertFileName(const QString& listedName, const CaseRules& rules)
{
    // The extension is set apart only when an option asks for it: otherwise the whole
    // name is one text, its dot an ordinary character.
    const qsizetype cut = rules.style != CaseStyle::None && (rules.keepExtension || rules.keepCapitals)
        ? ExtensionStart(listedName)
        : listedName.size();
    QString workingName =
        cut < listedName.size() ? ConvertFolderName(listedName.left(cut), rules) : ConvertFolderName(listedName, rules);
    const QString extension = listedName.mid(cut);
    // In Proper Case the extension lies inside the last word, or starts one with its dot:
    // either way its letters are small.
    if (!rules.keepExtension && !extension.isEmpty())
        workingName += rules.style == CaseStyle::Upper ? UpperCaseForm(extension, rules.locale)
                                                       : LowerCaseForm(extension, rules.locale);
    if (rules.style == CaseStyle::Proper)
        FixBracketCase(workingName);
    if (rules.keepExtension)
        workingName += extension;
    return workingName;
}

bool ListsBefore(QStringView a, QStringView b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

bool ListsBefore(QByteArrayView a, QByteArrayView b)
{
    // Byte by byte while both are ASCII, which folds as text does (A to Z onto a to z): the
    // first difference of the folded bytes decides, or else the length, or else the first
    // difference of the bytes themselves. A byte beyond ASCII before that sends both names
    // to the comparison of their text.
    const auto fold = [](uchar c) { return c >= 'A' && c <= 'Z' ? uchar(c + 32) : c; };
    const qsizetype n = qMin(a.size(), b.size());
    // The names of one folder often start alike, and a sort compares each name many times:
    // their common ASCII start is passed over eight bytes at a time. (A byte beyond ASCII
    // may begin a letter that the other name ends in the bytes to come: the text decides.)
    qsizetype i = 0;
    for (quint64 x = 0, y = 0; i + 8 <= n; i += 8) {
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y || (x & 0x8080808080808080u) != 0)
            break;
    }
    int exact = 0;
    for (; i < n; ++i) {
        const uchar x = uchar(a[i]), y = uchar(b[i]);
        if ((x | y) >= 0x80)
            return ListsBefore(QStringView(DecodeName(a)), QStringView(DecodeName(b)));
        if (x == y)
            continue;
        if (fold(x) != fold(y))
            return fold(x) < fold(y);
        if (exact == 0)
            exact = x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return exact < 0;
}

QByteArray ConvertFileName(QByteArrayView listedName, const CaseRules& rules)
{
    const bool plain = !rules.keepCapitals && !rules.keepExtension;
    if (plain && withLocale(rules.locale, [&](const CaseLocale& locale) {
            return locale.asciiRulesHold(listedName, rules.style == CaseStyle::Proper);
        }))
        return asciiConverted(listedName, rules.style, true);
    return EncodeName(ConvertFileName(DecodeName(listedName), rules));
}

QByteArray ConvertFolderName(QByteArrayView name, const CaseRules& rules)
{
    if (!rules.keepCapitals && withLocale(rules.locale, [&](const CaseLocale& locale) {
            return locale.asciiRulesHold(name, rules.style == CaseStyle::Proper);
        }))
        return asciiConverted(name, rules.style, false);
    return EncodeName(ConvertFolderName(DecodeName(name), rules));
}

void SortNames(QList<QStringView>& names)
{
    std::sort(names.begin(), names.end(), [](QStringView a, QStringView b) { return ListsBefore(a, b); });
}

void SortNames(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return ListsBefore(a, b); });
}

QString ConvertFolderName(const QString& name, const CaseRules& rules)
{
    switch (rules.style) {
    case CaseStyle::Lower: return LowerCaseForm(name, rules.locale);
    case CaseStyle::Upper: return UpperCaseForm(name, rules.locale);
    case CaseStyle::Proper: return ProperCaseForm(name, rules);
    case CaseStyle::None: break;
    }
    return name;
}

} // namespace orvel
