// The case styles of a name (lower, UPPER, Proper), the bracket fix-up, and the file list's order.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace orvel {

// The case styles of the option group, by their index there; None when no option
// is selected.
enum class CaseStyle { None = -1, Lower = 0, Upper = 1, Proper = 2 };

// Letter case by the rules of the user's locale (QLocale::system()), for every
// letter, not only A to Z. A mapping may change the length ("ß" -> "SS").
QString LowerCaseForm(const QString& text);
QString UpperCaseForm(const QString& text);

// Every word's first character (a whole code point, so letters outside the basic
// plane work too) in upper case, the rest of the word in lower case. Words are
// separated by NUL, tab, line feed, vertical tab, form feed, carriage return and
// blank only: a dot, hyphen, underscore, digit or bracket is part of the word, so
// "(copy)" stays "(copy)" and "2ND" becomes "2nd".
QString ProperCaseForm(const QString& text);

// Makes every letter a to z that directly follows "(" upper case ("(copy)" ->
// "(Copy)"); other letters and other punctuation are left alone.
void FixBracketCase(QString& workingName);

// The new name of a file: the whole listed name (the dot is an ordinary
// character) in the style, with the bracket fix-up after Proper Case. None leaves
// the name as listed.
QString ConvertFileName(const QString& listedName, CaseStyle style);

// The new name of a folder: as for a file, without the bracket fix-up.
QString ConvertFolderName(const QString& name, CaseStyle style);

// The order of a file list: by name without regard to letter case, names that differ
// only in case by their characters, so a rename that changes only the case of a name
// never moves it to another position.
bool ListsBefore(QStringView a, QStringView b);
void SortNames(QList<QStringView>& names);
void SortNames(QStringList& names);

} // namespace orvel
