#pragma once

#include <QChar>
#include <QString>

namespace orvel {

// The rules about paths were made for drive paths ("C:\Data"). They are written
// once against this description so the same routine serves both syntaxes:
// the Windows one keeps its examples testable word for word, the POSIX one is what
// the program uses on Linux.
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

} // namespace orvel
