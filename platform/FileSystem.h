#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace orvel {

enum class EntryType {
    Missing,    // nothing there (or it could not be examined)
    File,       // a regular file, or a link to one
    Folder,     // a real folder
    FolderLink, // a symbolic link to a folder: listed, never entered by a walk
    Other,      // sockets, FIFOs, devices, dangling links: the "system" entries
};

struct DirEntry {
    QString name;   // without folder; bytes that are not UTF-8 show as U+FFFD
    EntryType type; // File, Folder or FolderLink: listings never hold the others
};

// Every file-system call the program makes. One real implementation per platform;
// tests wrap it to produce faults that a root-run test machine cannot.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Entries of `folder` whose names match `pattern` (wildcards * and ?, compared
    // without regard to case; "*.*" and "*" match every name), in the order the file
    // system gives them. Hidden entries (names starting with '.') and system entries
    // are never listed; folders (and folder links) only when `withFolders` is true.
    // The listing is complete before the call returns. std::nullopt when the folder
    // cannot be opened.
    virtual std::optional<QList<DirEntry>> list(const QString& folder, const QString& pattern,
                                                bool withFolders) const = 0;

    // What is at `path`, without following a final symbolic link to a folder.
    virtual EntryType entryType(const QString& path) const = 0;

    // Renames `oldPath` to `newPath` in one step within the same folder. Never
    // replaces or destroys another entry and never copies; an identical path succeeds
    // without touching anything; a change of letter case alone works on file systems
    // that ignore case too. False when anything refuses it.
    virtual bool rename(const QString& oldPath, const QString& newPath) = 0;
};

// The file system of the machine the program runs on.
FileSystem& hostFileSystem();

} // namespace orvel
