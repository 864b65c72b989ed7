#pragma once

#include "engine/RenameFile.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace orvel {

class EventPacer;
class FileSystem;
class FolderHandle;
class RunObserver;

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
