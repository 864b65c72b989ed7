// The about box's and the quick help's texts, kept in one place.

#include "about/AboutTexts.h"

namespace orvel {

QString ApplicationTitle()
{
    return QStringLiteral("Orvel File Rename");
}

QString VersionText()
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(ORVEL_VERSION_MAJOR)
        .arg(ORVEL_VERSION_MINOR)
        .arg(ORVEL_VERSION_PATCH);
}

QString ReleaseDateText()
{
    return QStringLiteral("20th April 2008");
}

QStringList HelpTextLines()
{
    return {
        QStringLiteral("With this utility you can rename your files fast and easy. You may "),
        QStringLiteral("change filename to lower, upper or Proper case."),
        QString(),
        QStringLiteral("A flexible and powerful user interface.") + QChar(0x00A0),
        QStringLiteral("Can recursively process sub-folders."),
        QStringLiteral("Can automate thousands of file renames in a single click."),
        QStringLiteral("Support for files on network."),
        QStringLiteral("Drag and drop folder from Windows Explorer."),
        QString(),
        QStringLiteral("How do I Install?"),
        QStringLiteral("Orvel File Rename is a standalone software.  No installation "),
        QStringLiteral("are needed , just open and run."),
        QString(),
        QStringLiteral("How do I Uninstall?"),
        QStringLiteral("Since there is no installation ,no uninstall require .Just delete the "),
        QStringLiteral("main exe."),
        QString(),
    };
}

QString HelpText()
{
    QString text;
    for (const QString& line : HelpTextLines())
        text += line + QStringLiteral("\r\n");
    return text;
}

QString MakerWebAddress()
{
    return QStringLiteral("https://www.example.com/orvel/");
}

QString MakerMailAddress()
{
    return QStringLiteral("orvel@example.com");
}

} // namespace orvel
