#pragma once

#include "engine/modFileRename.h"
#include "platform/PathSyntax.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace orvel {

class EventPacer;
class FileSystem;
class FolderHandle;
class RunObserver;

// Module DirRecurse: the path normaliser and the search that finds what a rename run
// works on.

// Trims trailing separators and folds doubled ones, for a path of `syntax`:
// 1. longer than the designator: separators are removed from the end, one at a
//    time, as long as it ends in one (a root "C:\" becomes its designator "C:",
//    "/" becomes ""); then every '/' becomes the separator;
// 2. still longer than the designator: past the designator's characters, each
//    pair of consecutive separators becomes one, in one left-to-right pass
//    ("\\server\share" keeps its two leading backslashes; a run of three becomes
//    two). POSIX has no designator, so a leading "//" folds to "/" as well, and the
//    same one pass leaves "/a///b" as "/a//b", which still names the same folder.
QString NormalizePath(const QString& path, const PathSyntax& syntax = PathSyntax::host());

// A folder tree as one walk found it. Every folder is listed once, and that one
// listing gives both its files and its sub-folders; the names are kept per folder in
// one block of text, so a tree of a million files costs tens of megabytes, not
// hundreds.
struct FolderTree {
    struct Folder {
        QString name; // its name in its parent; empty for the start folder
        int parent = -1;
        int depth = 0; // the start folder is 0
        QString files; // the names of its files, each followed by a NUL
        qsizetype fileCount = 0;

        // Its file names in the order a file list shows them.
        QList<QStringView> sortedFiles() const;
    };
    // Pre-order: a folder before everything below it, the sub-folders of a folder in
    // the order its listing gave them, each followed by its whole tree.
    std::vector<Folder> folders;
    qint64 fileCount = 0;
    bool cancelled = false; // the cancel link ended the search early
    // Folders that were listed as folders but were something else when the walk came
    // to enter them (swapped for a link, say): never entered, and reported.
    QList<NotChanged> skipped;
};

// Walks the tree below `start` (only `start` itself without `subfolders`). Hidden
// entries, system entries and links to folders are left out: a link loop cannot trap
// the walk, and a run never renames through a link into another tree. Sub-folders are
// entered through their parent's handle without following links. A folder that cannot
// be opened or read completely contributes nothing; one that is no longer a folder is
// reported in `skipped`. Window events are let through by
// the clock; once the observer asks to cancel, no further folder is listed.
FolderTree FindTree(const FolderHandle& start, bool subfolders, const FileSystem& fs, RunObserver& observer,
                    EventPacer& pacer);

} // namespace orvel
