// The Rename All run: every file of a folder or a whole tree, and the folders too if asked.
#pragma once

#include "engine/FolderTree.h"
#include "engine/RunOptions.h"
#include "engine/RunOutcome.h"
#include "engine/RunSession.h"
#include "platform/SystemFolders.h"

#include <QString>

namespace orvel {

class FileSystem;
class RunObserver;

// What "Rename All" works on, as the window shows it when the command starts.
struct RenameAllJob {
    QString startFolder; // the open folder, with or without its trailing separator
    RunOptions options;
    bool includeSubfolders = false;
    RunRecords records; // none for a dry run
    SystemFolders systemFolders; // what is asked about before anything is renamed
    // How many folders are worked on at once; 0: as many as pay off on the file system
    // (one where it cannot help).
    int workers = 0;
    // Whether the walk goes into other file systems mounted below the start folder (bind
    // mounts too); without it they are reported as not entered.
    bool crossMounts = false;
    // The hidden entries it renames too, and the files it renames (the window: none, all).
    WalkFilter filter = {};
};

struct RenameAllOutcome : RunOutcome {
    // The run found something to rename and went through (the result labels show); false
    // for the early exits: nothing found, nothing renamed, not even the folder.
    bool renamed = false;
    qint64 found = 0; // files the search found (the progress bar's maximum)
    qint64 files = 0; // files visited, renamed or not
    qint64 folders = 0; // folders visited, the start folder included (0 without sub-folders)
    QString workingName; // new name of the last file converted; null when there was none
    QString openFolder; // the start folder's path now: its new name when it was renamed
    // The start folder could not be opened or read: the system's error; nothing was renamed.
    int startError = 0;
    // The folders below it whose names could not be read (no read permission, a listing cut
    // short), in the order of the walk, by their paths as they stand after the run, with
    // why: nothing in them was renamed or walked into. The window leaves them unsaid (such
    // a folder contributes nothing to its list); an observer that hears of each name is
    // told of them last, as names not changed.
    QList<NotChanged> notListed;
};

// The whole Rename All run. Search: the start folder's files, or with sub-folders the
// whole tree, each folder listed once. Nothing found (or, without sub-folders, no file in
// the start folder): nothing is renamed, not even the folder. When the run would rename in
// or rename a system folder or a user's home, the observer is asked once; No renames
// nothing either. Otherwise each folder, top down (a parent before everything below it),
// is renamed (with renameFolder) and then its files, in file-list order, each counted
// whether or not it is renamed. Every rename goes through the folder's handle, and a
// folder is entered only when it is still the one that was listed, so a folder renamed,
// swapped or mounted over during the run cannot redirect the renames below it, and nothing
// outside the start folder is touched but the start folder's own name. With records, the
// tree is locked for the run's length, and a tree another live run has locked is refused
// (busyWith).
//
// The renames of different folders may run on several workers at once; the observer is
// called on the calling thread only, and the outcome is the same, entry for entry, as the
// one a single worker gives.
RenameAllOutcome RenameAll(const RenameAllJob& job, FileSystem& fs, RunObserver& observer);

} // namespace orvel
