// Every rule the program has about path texts, for Windows and POSIX syntax alike.
#pragma once

#include <QChar>
#include <QString>

namespace orvel {

// Every rule the program has about path texts. The rules were made for drive paths
// ("C:\Data"); they are written once against this description of a syntax, so the
// same routine serves both: the Windows one keeps its examples testable word for
// word, the POSIX one is what the program uses on Linux.
struct PathSyntax {
    QChar separator; // '\\' or '/'
    int rootLength; // "C:\" is 3 characters, "/" is 1
    int designatorLength; // "C:" is 2 characters; POSIX has no designator (0)

    static PathSyntax windows() { return {QLatin1Char('\\'), 3, 2}; }
    static PathSyntax posix() { return {QLatin1Char('/'), 1, 0}; }
    static PathSyntax host()
    {
#ifdef Q_OS_WIN
        return windows();
#else
        return posix();
#endif
    }

    bool operator==(const PathSyntax&) const = default;
};

// `folder` and `name` joined with one separator: a root already ends in one.
inline QString JoinPath(const QString& folder, const QString& name, const PathSyntax& syntax = PathSyntax::host())
{
    return folder.endsWith(syntax.separator) ? folder + name : folder + syntax.separator + name;
}

// A folder path with exactly one trailing separator, as the window shows the
// folder that a run works on: "C:\Data" gives "C:\Data\", a root keeps its one
// separator ("C:\" stays "C:\", "/" stays "/").
inline QString DirectoryText(const QString& folderPath, const PathSyntax& syntax = PathSyntax::host())
{
    QString text = folderPath + syntax.separator;
    if (text.size() == syntax.rootLength + 1)
        text.truncate(syntax.rootLength);
    return text;
}

// Trims trailing separators and folds doubled ones:
// 1. longer than the designator: separators are removed from the end, one at a
//    time, as long as it ends in one (a root "C:\" becomes its designator "C:",
//    "/" becomes ""); then every '/' becomes the separator;
// 2. still longer than the designator: past the designator's characters, each
//    pair of consecutive separators becomes one, in one left-to-right pass
//    ("\\server\share" keeps its two leading backslashes; a run of three becomes
//    two). POSIX has no designator, so a leading "//" folds to "/" as well, and the
//    same one pass leaves "/a///b" as "/a//b", which still names the same folder.
QString NormalizePath(const QString& path, const PathSyntax& syntax = PathSyntax::host());

// The folder above `path`: a folder just below a root gives the root with its
// separator, a root gives itself, a deeper folder gives its parent without a
// trailing separator, and a text without any separator gives an empty text.
QString ParentPath(const QString& path, const PathSyntax& syntax = PathSyntax::host());

} // namespace orvel
