// The case styles of a name (lower, UPPER, Proper), the bracket fix-up, and the file list's order.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

namespace orvel {

// The case styles of the option group, by their index there; None when no option
// is selected.
enum class CaseStyle { None = -1, Lower = 0, Upper = 1, Proper = 2 };

// How a name is converted: the style, the two choices a user may add to it, and whose
// rules of letter case apply.
struct CaseRules {
    CaseStyle style = CaseStyle::Proper;
    // A file's extension (see ExtensionStart) stays exactly as written.
    bool keepExtension = false;
    // Proper Case leaves a word written in capitals, two letters or more, as it is
    // ("NASA", "XIV"), and capitalises the letter after a leading "Mc", "O'" or "D'"
    // ("McDonald", "O'Neil").
    bool keepCapitals = false;
    // The ICU name of the locale whose case rules apply ("tr", "nl_BE"); empty for the
    // user's (QLocale::system()).
    QByteArray locale = {};
};

// Letter case by Unicode's full rules as the locale tailors them, for every letter, not
// only A to Z: a mapping may change the length ("ß" -> "SS"), a Greek sigma at the end
// of a word is final, and a dot ends a word for that as a blank does. A byte of a name
// that is not UTF-8 (a lone surrogate) is no letter and stays as it is.
QString LowerCaseForm(const QString& text, const QByteArray& locale = {});
QString UpperCaseForm(const QString& text, const QByteArray& locale = {});

// Every word's first character in its title-case form ("ǆ" -> "ǅ"; "ij" -> "IJ" under
// Dutch rules), the rest of the word in lower case. Words are separated by NUL, tab,
// line feed, vertical tab, form feed, carriage return and blank only: a dot, hyphen,
// underscore, digit or bracket is part of the word, so "(copy)" stays "(copy)" and
// "2ND" becomes "2nd". Reads the rules' locale and keepCapitals.
QString ProperCaseForm(const QString& text, const CaseRules& rules = {});

// Makes every letter a to z that directly follows "(" upper case ("(copy)" ->
// "(Copy)"); other letters and other punctuation are left alone.
void FixBracketCase(QString& workingName);

// Where a file name's extension starts: at its last dot, unless that is the first
// character (".bashrc" has none) or a word separator comes after it ("Vol. 2 notes" has
// none). The name's length when it has none.
qsizetype ExtensionStart(QStringView fileName);

// The new name of a file: the whole listed name (the dot is an ordinary character) in
// the style, with the bracket fix-up after Proper Case. None leaves the name as listed.
// With keepCapitals the extension is no part of the last word's capitals; with
// keepExtension it is not converted at all.
QString ConvertFileName(const QString& listedName, const CaseRules& rules);

// The new name of a folder: as for a file, without the bracket fix-up; a folder has no
// extension.
QString ConvertFolderName(const QString& name, const CaseRules& rules);

// The same for a name as the bytes a folder holds it by: a plain ASCII name, where the
// ASCII rules hold and no option looks at its words, byte by byte; any other decoded
// once, converted as text and encoded again.
QByteArray ConvertFileName(QByteArrayView listedName, const CaseRules& rules);
QByteArray ConvertFolderName(QByteArrayView name, const CaseRules& rules);

// The order of a file list: by name without regard to letter case, names that differ
// only in case by their characters, so a rename that changes only the case of a name
// never moves it to another position.
bool ListsBefore(QStringView a, QStringView b);
bool ListsBefore(QByteArrayView a, QByteArrayView b); // names as bytes, in the same order
void SortNames(QList<QStringView>& names);
void SortNames(QStringList& names);

} // namespace orvel
