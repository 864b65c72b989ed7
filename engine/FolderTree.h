// A folder tree as one walk lists it, and the one way a walk enters a folder.
#pragma once

#include "engine/RunOutcome.h"
#include "platform/FileSystem.h"
#include "platform/NamePatterns.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace orvel {

class RunObserver;
class RunPace;

// A folder tree as one walk found it. Every folder is listed once, and that one
// listing gives both its files and its sub-folders; the names are kept per folder in
// one block of text, so a tree of a million files costs tens of megabytes, not
// hundreds.
struct FolderTree {
    struct Folder {
        QByteArray name; // its name in its parent; empty for the start folder
        int parent = -1;
        int depth = 0; // the start folder is 0
        QByteArray files; // the names of its files, each followed by a NUL
        qsizetype fileCount = 0;
        FileId id; // which folder was listed
        std::vector<quint64> serials; // the listing's number of each file, in the order of `files`
        int listError = 0; // why its names could not be read (completely); 0 when they were

        struct File {
            QByteArrayView name; // followed by a NUL
            quint64 serial; // 0 when the listing's number cannot be trusted
        };
        // Its files in the order a file list shows them.
        QList<File> sortedFiles() const;
    };
    // Pre-order: a folder before everything below it, the sub-folders of a folder in
    // the order its listing gave them, each followed by its whole tree.
    std::vector<Folder> folders;
    qint64 fileCount = 0;
    bool cancelled = false; // the cancel link (or a stop request) ended the search early
    // Folders that were listed as folders but were something else when the walk came
    // to enter them (swapped for a link, say): never entered, and reported.
    QList<NotChanged> notEntered;

    // The path of folder `index` below `start`, by the names it was listed under.
    QString pathOf(size_t index, const QString& start) const;
};

// Opens the folder `name` inside `parent` into `entered`; it must be the folder `expected`
// (unless that is null): the folder a walk listed, not a link, nor another folder put in
// its place or mounted over it since. When the process has no open file to spare,
// `closeSome` is asked to close half of the folders the caller holds open (false when it
// holds none), and the folder is opened again while that closes any: the one way a walk
// meets a low limit on open files. 0, or why not (FolderChanged, or the system's error).
int EnterFolder(const FileSystem& fs, const FolderHandle& parent, QByteArrayView name, const FileId& expected,
                FolderHandle* entered, const std::function<bool()>& closeSome = {});

// The folders from a walk's start folder down to the one it stands in, each held by a
// handle. Only the deepest few are held open, so a tree of any depth needs no more open
// files than that: a folder closed is opened again by name from the nearest one still
// open, and must be the very folder it was.
class FolderChain {
public:
    static constexpr int OpenLimit = 64;

    FolderChain(const FileSystem& fs, const FolderHandle& start, int limit = OpenLimit);

    // How many folders below the start folder the walk stands.
    qsizetype depth() const { return qsizetype(m_links.size()); }

    // Steps into the folder `name` of the deepest one, which must be the folder
    // `expected` unless that is null. 0, or why not (FolderChanged or the system's error).
    int enter(QByteArrayView name, const FileId& expected = {});
    // Steps back up to the folder above.
    void leave();

    // The folder `level` steps below the start (0: the start folder), opened again if it
    // was closed; nullptr when that fails, with the reason in `error`. Valid until the
    // next call.
    const FolderHandle* at(qsizetype level, int* error = nullptr);
    // The folder entered last (the start folder before any). The deepest folder is never
    // closed, so right after enter() it is open.
    const FolderHandle& entered() const { return m_links.empty() ? m_start : m_links.back().handle; }

    // Closes the shallower half of the folders held open, for a call that failed for want
    // of an open file; false when there is nothing to close.
    bool closeSome();

private:
    struct Link {
        QByteArray name;
        FileId id;
        FolderHandle handle;
    };

    int open(qsizetype level);
    bool closeDownTo(qsizetype keep, int limit);

    const FileSystem& m_fs;
    const FolderHandle& m_start;
    std::deque<Link> m_links;
    int m_limit;
    int m_open = 0;
};

// Which entries a walk keeps besides the folders it walks.
struct WalkFilter {
    bool hidden = false; // hidden files and folders too
    NamePatterns files; // only the files that match one of them; all when there are none
};

// Which files of one folder a filter's patterns keep: all without patterns; otherwise those
// that match, without regard to letter case where the folder's file system ignores it. The
// folder is asked that of its files, when a pattern first needs it, until one tells.
class FolderMatcher {
public:
    FolderMatcher(const NamePatterns& patterns, const FileSystem& fs, const FolderHandle& folder)
        : m_patterns(patterns)
        , m_fs(fs)
        , m_folder(folder)
    {
    }
    bool keeps(QByteArrayView name);

private:
    const NamePatterns& m_patterns;
    const FileSystem& m_fs;
    const FolderHandle& m_folder;
    std::optional<bool> m_caseApart;
};

// Walks the tree below `start` (only `start` itself without `subfolders`). Hidden
// entries (unless the filter keeps them), files the filter leaves out, system entries
// and links to folders are left out: a link loop cannot trap the walk, and a run never
// renames through a link into another tree. A pattern matches without regard to letter
// case where the folder's file system ignores it. Sub-folders are
// entered through their parent's handle without following links. A folder that cannot
// be read (completely) is part of the tree but contributes no files and no folders, and
// keeps why in its `listError`; one that cannot be entered at all is left out and
// reported in `notEntered`, and so is a mount point (another file system, or a bind
// mount) unless `crossMounts`. Window events are let through at the run's pace; once the
// observer asks to cancel or to stop, no further folder is listed.
FolderTree FindTree(const FolderHandle& start, bool subfolders, bool crossMounts, const FileSystem& fs,
                    RunObserver& observer, RunPace& pace, const WalkFilter& filter = {});

} // namespace orvel
