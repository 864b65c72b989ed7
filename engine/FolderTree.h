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
#include <memory>
#include <mutex>
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

// The folders a walk holds open for the sub-folders that wait below them, so that each of
// those is entered through its parent, in one step rather than from the start folder down.
// Each folder held is one open file: no more than `Limit` are held at once, and fewer from
// the moment the process ran out of open files. Shared by the workers of one walk: the
// search's, or the renames' that go down the tree it found.
class HeldParents {
    struct Parent;

public:
    static constexpr int Limit = 128;

    // A folder held for the sub-folders that wait below it, each of which takes it once.
    // An empty one holds nothing: they are entered from the start folder down.
    class Hold {
    public:
        Hold() = default;

    private:
        friend class HeldParents;
        explicit Hold(std::shared_ptr<Parent> parent)
            : m_parent(std::move(parent))
        {
        }
        std::shared_ptr<Parent> m_parent;
    };

    // Holds `folder` open for its `waiting` sub-folders, unless as many as the limit are held.
    Hold hold(std::shared_ptr<const FolderHandle> folder, qsizetype waiting);
    // For one of the sub-folders: the folder held for it, open while the caller keeps it;
    // null when none is held (any more).
    std::shared_ptr<const FolderHandle> take(const Hold& hold);
    // Lets go of half of the folders held, those held longest first, and holds no more than
    // that from then on: what EnterFolder asks of `closeSome`. False when none was held.
    bool closeSome();
    // closeSome() as EnterFolder and EnterFromTop take it.
    const std::function<bool()>& closer() const { return m_closer; }

private:
    struct Parent {
        std::shared_ptr<const FolderHandle> folder; // null once let go of
        qsizetype waiting; // the sub-folders that have not taken it yet
    };

    void forgetDone(const std::unique_lock<std::mutex>& held);

    // Over the folders held and how many wait for each, the list of them and the limit:
    // the workers hold, take and let go of them at once.
    std::mutex m_lock;
    std::deque<std::shared_ptr<Parent>> m_parents; // the longest held first; some let go of
    int m_held = 0;
    int m_limit = Limit;
    const std::function<bool()> m_closer = [this] { return closeSome(); };
};

// One step of a way down from a walk's start folder: a folder's name, and which folder it
// must be (null: any folder, but never a link).
struct FolderStep {
    QByteArray name;
    FileId id;
};

// Opens the folder that `steps` (at least one) lead to from `top`, each through the one
// before it as EnterFolder enters it (`closeSome` too): how a walk finds a folder again
// whose parent it no longer holds open. 0, or why not.
int EnterFromTop(const FileSystem& fs, const FolderHandle& top, const std::vector<FolderStep>& steps,
                 FolderHandle* entered, const std::function<bool()>& closeSome = {});

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
// observer asks to cancel or to stop, no further folder is listed. The folders are
// listed on `workers` workers (one: on the calling thread), each entered through its
// parent while that is held open for it (HeldParents); the tree is the same however their
// listings interleave.
FolderTree FindTree(const FolderHandle& start, bool subfolders, bool crossMounts, const FileSystem& fs, int workers,
                    RunObserver& observer, RunPace& pace, const WalkFilter& filter = {});

} // namespace orvel
