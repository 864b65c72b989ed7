#include "engine/CaseConversion.h"

#include "engine/modTextSearchReplace.h"

#include <QLocale>

namespace orvel {

namespace {

bool isWordSeparator(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0 || (u >= 9 && u <= 13) || u == 32;
}

} // namespace

QString LowerCaseForm(const QString& text) { return QLocale::system().toLower(text); }

QString UpperCaseForm(const QString& text) { return QLocale::system().toUpper(text); }

QString ProperCaseForm(const QString& text)
{
    const QLocale locale = QLocale::system();
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
        const qsizetype first =
            (text[i].isHighSurrogate() && i + 1 < end && text[i + 1].isLowSurrogate()) ? 2 : 1;
        result += locale.toUpper(text.sliced(i, first));
        // The rest of the word in one piece, so that rules that look at the
        // neighbours (a Greek final sigma) still see them.
        if (end > i + first)
            result += locale.toLower(text.sliced(i + first, end - i - first));
        i = end;
    }
    return result;
}

void FixBracketCase(QString& workingName)
{
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
