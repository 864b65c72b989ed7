// The case styles of a name (lower, UPPER, Proper), the bracket fix-up, and the file list's order.
#include "engine/CaseConversion.h"

#include "engine/SearchReplace.h"

#include <QLocale>

#include <algorithm>

namespace orvel {

namespace {

bool isWordSeparator(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0 || (u >= 9 && u <= 13) || u == 32;
}

// Most names are plain ASCII, and for those the locale's rules are the ASCII ones -
// except where a dotted and a dotless i make "i" and "I" no pair. Such names skip the
// locale's full machinery, which costs more than the rename itself on a fast disk.
bool asciiRulesHold(const QString& text)
{
    static const bool plainLocale = [] {
        const QLocale::Language language = QLocale::system().language();
        return language != QLocale::Turkish && language != QLocale::Azerbaijani;
    }();
    if (!plainLocale)
        return false;
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}
char16_t asciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

QString asciiProper(const QString& text)
{
    QString result = text;
    bool wordStart = true;
    for (QChar& c : result) {
        c = QChar(wordStart ? asciiUpper(c.unicode()) : asciiLower(c.unicode()));
        wordStart = isWordSeparator(c);
    }
    return result;
}

template <char16_t (*Map)(char16_t)>
QString asciiMapped(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        c = QChar(Map(c.unicode()));
    return result;
}

// A surrogate without its partner: in a name, a byte that is not UTF-8.
bool isLoneSurrogate(const QString& text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate())
        return i + 1 == text.size() || !text[i + 1].isLowSurrogate();
    return c.isLowSurrogate() && (i == 0 || !text[i - 1].isHighSurrogate());
}

// Maps the text piece by piece between the bytes of a name that are not UTF-8: they
// are no letters, and no case mapping may turn them into anything else. Each piece is
// mapped whole, so rules that look at the neighbours (a Greek final sigma) still work.
QString mapLetters(const QString& text, QString (QLocale::*map)(const QString&) const)
{
    const QLocale locale = QLocale::system();
    QString result;
    result.reserve(text.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLoneSurrogate(text, i))
            continue;
        if (i > start)
            result += (locale.*map)(text.sliced(start, i - start));
        if (i < text.size())
            result += text[i];
        start = i + 1;
    }
    return result;
}

} // namespace

QString LowerCaseForm(const QString& text)
{
    return asciiRulesHold(text) ? asciiMapped<asciiLower>(text) : mapLetters(text, &QLocale::toLower);
}

QString UpperCaseForm(const QString& text)
{
    return asciiRulesHold(text) ? asciiMapped<asciiUpper>(text) : mapLetters(text, &QLocale::toUpper);
}

QString ProperCaseForm(const QString& text)
{
    if (asciiRulesHold(text))
        return asciiProper(text);
    QString result;
    result.reserve(text.size());
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
        const qsizetype first = (text[i].isHighSurrogate() && i + 1 < end && text[i + 1].isLowSurrogate()) ? 2 : 1;
        result += mapLetters(text.sliced(i, first), &QLocale::toUpper);
        if (end > i + first)
            result += mapLetters(text.sliced(i + first, end - i - first), &QLocale::toLower);
        i = end;
    }
    return result;
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

QString ConvertFileName(const QString& listedName, CaseStyle style)
{
    QString workingName = listedName;
    if (style == CaseStyle::Lower)
        workingName = LowerCaseForm(workingName);
    if (style == CaseStyle::Upper)
        workingName = UpperCaseForm(workingName);
    if (style == CaseStyle::Proper) {
        workingName = ProperCaseForm(workingName);
        FixBracketCase(workingName);
    }
    return workingName;
}

bool ListsBefore(QStringView a, QStringView b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

void SortNames(QList<QStringView>& names)
{
    std::sort(names.begin(), names.end(), ListsBefore);
}

void SortNames(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return ListsBefore(a, b); });
}

QString ConvertFolderName(const QString& name, CaseStyle style)
{
    switch (style) {
    case CaseStyle::Lower: return LowerCaseForm(name);
    case CaseStyle::Upper: return UpperCaseForm(name);
    case CaseStyle::Proper: return ProperCaseForm(name);
    case CaseStyle::None: break;
    }
    return name;
}

} // namespace orvel
