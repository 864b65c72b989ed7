// Reading XDG key files, mimeapps.list files and desktop entries, and expanding Exec lines.

#include "platform/XdgLookup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>

namespace orvel {

namespace {

using IniGroups = QHash<QString, QHash<QString, QString>>;

// Desktop entries and mimeapps.list are XDG key files, not QSettings INI files (";" and "\"
// mean something else there), so they get their own small reader. Later duplicates
// of a key are ignored, as desktop-file-validate requires them to be absent anyway.
IniGroups readKeyFile(const QString& path)
{
    IniGroups groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (group.isEmpty() || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        auto& values = groups[group];
        if (!values.contains(key))
            values.insert(key, line.mid(eq + 1).trimmed());
    }
    return groups;
}

// Resolves the escapes of a desktop-entry string value.
QString unescapeValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value.at(++i);
        switch (n.unicode()) {
        case 's': out += u' '; break;
        case 'n': out += u'\n'; break;
        case 't': out += u'\t'; break;
        case 'r': out += u'\r'; break;
        case '\\': out += u'\\'; break;
        default:
            out += c;
            out += n;
            break; // "\;" in lists and unknown escapes stay
        }
    }
    return out;
}

// A ";"-separated list value; "\;" is a literal semicolon inside an item.
QStringList splitList(const QString& value)
{
    QStringList items;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size() && value.at(i + 1) == u';') {
            current += u';';
            ++i;
        } else if (c == u';') {
            if (!current.trimmed().isEmpty())
                items << current.trimmed();
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.trimmed().isEmpty())
        items << current.trimmed();
    return items;
}

QStringList dirsFromEnv(const char* homeVar, const QString& homeDefault, const char* dirsVar,
                        const QString& dirsDefault)
{
    QStringList dirs;
    // Relative paths are invalid in these variables and are skipped.
    auto addDir = [&dirs](const QString& d) {
        if (QDir::isAbsolutePath(d) && !dirs.contains(QDir::cleanPath(d)))
            dirs << QDir::cleanPath(d);
    };
    const QString home = qEnvironmentVariable(homeVar);
    addDir(home.isEmpty() ? homeDefault : home);
    QString list = qEnvironmentVariable(dirsVar);
    if (list.isEmpty())
        list = dirsDefault;
    for (const QString& d : list.split(u':', Qt::SkipEmptyParts))
        addDir(d);
    return dirs;
}

// The mimeapps.list files in the order the XDG rules give them weight, with the
// desktop-specific variants ahead of the generic one in each folder.
QStringList mimeappsFiles()
{
    QStringList desktops;
    for (const QString& d : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts))
        desktops << d.toLower();

    QStringList folders = XdgConfigDirs();
    for (const QString& d : XdgDataDirs())
        folders << d + QStringLiteral("/applications");

    QStringList files;
    for (const QString& folder : folders) {
        for (const QString& desktop : desktops)
            files << folder + u'/' + desktop + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
    }
    // The older name for the defaults, still read by xdg-mime.
    for (const QString& d : XdgDataDirs())
        files << d + QStringLiteral("/applications/defaults.list");
    return files;
}

bool isLaunchable(const DesktopEntry& entry)
{
    if (!entry.tryExec.isEmpty() && ResolveExecutable(entry.tryExec).isEmpty())
        return false;
    const auto words = SplitExecLine(entry.exec);
    return words && !words->isEmpty() && !ResolveExecutable(words->first()).isEmpty();
}

std::optional<DesktopEntry> findLaunchable(const QString& id)
{
    auto entry = FindDesktopEntry(id);
    if (entry && isLaunchable(*entry))
        return entry;
    return std::nullopt;
}

// Every installed desktop entry, an id found in a more important folder hiding the
// same id further down; sorted by id within a folder so the answer is stable.
QList<QPair<QString, QString>> allDesktopEntries()
{
    QList<QPair<QString, QString>> result; // id, file
    QSet<QString> seen;
    for (const QString& d : XdgDataDirs()) {
        const QString root = d + QStringLiteral("/applications");
        QList<QPair<QString, QString>> here;
        QDirIterator it(root, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QString id = QDir(root).relativeFilePath(file);
            id.replace(u'/', u'-');
            if (!seen.contains(id))
                here.append({id, file});
        }
        std::sort(here.begin(), here.end());
        for (const auto& p : here)
            seen.insert(p.first);
        result += here;
    }
    return result;
}

} // namespace

QStringList XdgConfigDirs()
{
    return dirsFromEnv("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"), "XDG_CONFIG_DIRS",
                       QStringLiteral("/etc/xdg"));
}

QStringList XdgDataDirs()
{
    return dirsFromEnv("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"), "XDG_DATA_DIRS",
                       QStringLiteral("/usr/local/share:/usr/share"));
}

std::optional<DesktopEntry> ReadDesktopEntry(const QString& filePath, const QString& id)
{
    const IniGroups groups = readKeyFile(filePath);
    const auto group = groups.constFind(QStringLiteral("Desktop Entry"));
    if (group == groups.constEnd())
        return std::nullopt;
    const auto& keys = *group;
    if (keys.value(QStringLiteral("Type")) != QLatin1String("Application"))
        return std::nullopt;
    if (keys.value(QStringLiteral("Hidden")) == QLatin1String("true"))
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id.isEmpty() ? QFileInfo(filePath).fileName() : id;
    entry.filePath = QFileInfo(filePath).absoluteFilePath();
    entry.name = unescapeValue(keys.value(QStringLiteral("Name")));
    entry.icon = unescapeValue(keys.value(QStringLiteral("Icon")));
    entry.exec = unescapeValue(keys.value(QStringLiteral("Exec")));
    entry.tryExec = unescapeValue(keys.value(QStringLiteral("TryExec")));
    if (entry.exec.trimmed().isEmpty())
        return std::nullopt;
    return entry;
}

std::optional<DesktopEntry> FindDesktopEntry(const QString& desktopFileId)
{
    if (desktopFileId.isEmpty() || desktopFileId.contains(u'/'))
        return std::nullopt;
    for (const QString& d : XdgDataDirs()) {
        const QString root = d + QStringLiteral("/applications");
        QString file = root + u'/' + desktopFileId;
        if (!QFileInfo(file).isFile()) {
            file.clear();
            // "a-b.desktop" may live at a/b.desktop.
            if (desktopFileId.contains(u'-')) {
                QDirIterator it(root, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
                while (it.hasNext() && file.isEmpty()) {
                    const QString candidate = it.next();
                    if (QDir(root).relativeFilePath(candidate).replace(u'/', u'-') == desktopFileId)
                        file = candidate;
                }
            }
        }
        // The first folder that has the id decides, even when it hides the entry.
        if (!file.isEmpty())
            return ReadDesktopEntry(file, desktopFileId);
    }
    return std::nullopt;
}

std::optional<DesktopEntry> DefaultApplicationForMimeType(const QString& mimeType)
{
    const QStringList files = mimeappsFiles();
    QList<IniGroups> parsed;
    parsed.reserve(files.size());
    for (const QString& f : files)
        parsed << readKeyFile(f);

    for (const IniGroups& groups : parsed) {
        const QString value = groups.value(QStringLiteral("Default Applications")).value(mimeType);
        for (const QString& id : splitList(value))
            if (auto entry = findLaunchable(id))
                return entry;
    }

    // No default: the associations that a more important file has not removed.
    QSet<QString> removed;
    for (const IniGroups& groups : parsed) {
        const QString added = groups.value(QStringLiteral("Added Associations")).value(mimeType);
        for (const QString& id : splitList(added))
            if (!removed.contains(id))
                if (auto entry = findLaunchable(id))
                    return entry;
        const QString gone = groups.value(QStringLiteral("Removed Associations")).value(mimeType);
        for (const QString& id : splitList(gone))
            removed.insert(id);
    }

    // Last, any installed entry that says it handles the type.
    for (const auto& [id, file] : allDesktopEntries()) {
        if (removed.contains(id))
            continue;
        const IniGroups groups = readKeyFile(file);
        const QString types = groups.value(QStringLiteral("Desktop Entry")).value(QStringLiteral("MimeType"));
        if (!splitList(types).contains(mimeType))
            continue;
        auto entry = ReadDesktopEntry(file, id);
        if (entry && isLaunchable(*entry))
            return entry;
    }
    return std::nullopt;
}

std::optional<QStringList> SplitExecLine(const QString& exec)
{
    // Words are separated by blanks; a double-quoted word may hold blanks and uses
    // a backslash before ", `, $ and \. Outside quotes characters are taken as they
    // are: real entries are not always strict about reserved characters.
    QStringList words;
    QString current;
    bool inWord = false;
    bool inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (inQuotes) {
            if (c == u'\\' && i + 1 < exec.size()) {
                const QChar n = exec.at(i + 1);
                if (n == u'"' || n == u'`' || n == u'$' || n == u'\\') {
                    current += n;
                    ++i;
                    continue;
                }
            }
            if (c == u'"')
                inQuotes = false;
            else
                current += c;
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inWord)
                words << current;
            current.clear();
            inWord = false;
        } else if (c == u'"') {
            inQuotes = true;
            inWord = true;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (inWord)
        words << current;
    return words;
}

QString ResolveExecutable(const QString& program)
{
    if (program.isEmpty())
        return {};
    if (program.contains(u'/')) {
        const QFileInfo fi(program);
        return fi.isFile() && fi.isExecutable() ? fi.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

std::optional<LaunchCommand> CommandForUrl(const DesktopEntry& entry, const QString& url)
{
    const auto words = SplitExecLine(entry.exec);
    if (!words || words->isEmpty())
        return std::nullopt;

    QStringList expanded;
    bool urlPlaced = false;
    for (const QString& word : *words) {
        if (word == QLatin1String("%i")) {
            if (!entry.icon.isEmpty())
                expanded << QStringLiteral("--icon") << entry.icon;
            continue;
        }
        // The file and URL codes (%u, %U, %f, %F) become the address, as a word of their
        // own or inside one. A word made only of deprecated codes (%d, %n, %m, ...)
        // disappears. An explicitly quoted empty word is an argument of its own.
        QString out;
        bool keep = word.isEmpty();
        for (qsizetype i = 0; i < word.size(); ++i) {
            const QChar c = word.at(i);
            if (c != u'%' || i + 1 == word.size()) {
                out += c;
                keep = true;
                continue;
            }
            switch (word.at(++i).unicode()) {
            case '%':
                out += u'%';
                keep = true;
                break;
            case 'u':
            case 'U':
            case 'f':
            case 'F':
                out += url;
                urlPlaced = true;
                keep = true;
                break;
            case 'c':
                out += entry.name;
                keep = true;
                break;
            case 'k':
                out += entry.filePath;
                keep = true;
                break;
            default: break;
            }
        }
        if (keep)
            expanded << out;
    }
    if (expanded.isEmpty())
        return std::nullopt;

    LaunchCommand command;
    command.program = ResolveExecutable(expanded.takeFirst());
    if (command.program.isEmpty())
        return std::nullopt;
    command.arguments = expanded;
    if (!urlPlaced)
        command.arguments << url;
    return command;
}

} // namespace orvel
