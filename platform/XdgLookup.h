// The desktop's registry of programs: which one opens a file type, and how to start it.
#pragma once

#include "platform/Launch.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orvel {

// Everything is read from the XDG places (mimeapps.list files and desktop entries) at
// the time of the call, so the environment variables XDG_CONFIG_HOME, XDG_CONFIG_DIRS,
// XDG_DATA_HOME, XDG_DATA_DIRS and XDG_CURRENT_DESKTOP are honoured exactly as
// `xdg-mime` honours them.

// The fields of a desktop entry's [Desktop Entry] group that starting it needs.
struct DesktopEntry {
    QString id; // desktop file id, e.g. "org.example.Browser.desktop"
    QString filePath; // where it was found
    QString name;
    QString icon;
    QString exec; // the Exec value, its string escapes already resolved
    QString tryExec;
};

// The folders searched, most important first (defaults applied when unset).
QStringList XdgConfigDirs(); // $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
QStringList XdgDataDirs(); // $XDG_DATA_HOME, then $XDG_DATA_DIRS

// Reads a desktop entry file; nullopt when it is not a readable entry of type
// Application with an Exec line, or when it is marked Hidden.
std::optional<DesktopEntry> ReadDesktopEntry(const QString& filePath, const QString& id = {});

// Finds an installed desktop entry by its desktop file id (sub-folders of
// "applications" turn into "-" in the id); nullopt when none is installed.
std::optional<DesktopEntry> FindDesktopEntry(const QString& desktopFileId);

// The desktop entry that opens files of `mimeType` by default, as `xdg-mime query
// default` would answer: the first installed entry named under [Default
// Applications] in the mimeapps.list files, else under [Added Associations], else
// the first installed entry that lists the type itself. Entries whose program is
// missing do not count. nullopt when nothing is registered.
std::optional<DesktopEntry> DefaultApplicationForMimeType(const QString& mimeType);

// Splits an Exec value into its words following the desktop-entry quoting rules;
// nullopt on an unterminated quote.
std::optional<QStringList> SplitExecLine(const QString& exec);

// Full path of the program that an Exec or TryExec word names: an absolute path
// is taken as it is, a bare name is looked up on PATH. Empty when there is no such
// executable file.
QString ResolveExecutable(const QString& program);

// The command that opens `url` with `entry`: the field codes of its Exec line are
// expanded (the address goes where %u, %U, %f or %F stands, or last when the line
// has none of them). nullopt when the Exec line is malformed or its program is
// missing.
std::optional<LaunchCommand> CommandForUrl(const DesktopEntry& entry, const QString& url);

} // namespace orvel
