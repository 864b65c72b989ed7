// The lock that keeps two runs of one user off one folder tree at once, across processes.
#pragma once

#include "platform/PrivateFolder.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace orvel {

class FolderHandle;

// A tree locked for a run; the lock lasts while this lives.
class TreeLock {
public:
    TreeLock(int dir, int fd, QByteArray name); // takes `dir` and `fd` over
    TreeLock() = default; // a lock that could not be recorded: it guards nothing
    ~TreeLock();
    TreeLock(const TreeLock&) = delete;
    TreeLock& operator=(const TreeLock&) = delete;

private:
    int m_dir = -1;
    int m_fd = -1;
    QByteArray m_name;
};

// The locks of one user's runs, as files in a private folder: each holds the identities of
// its tree's folder and of every folder above it, and is flock()ed while its run lives.
// They are kept in the journal folder, where earlier versions keep theirs too, and where
// none can be made there (a read-only or missing journal folder) in a folder of the
// runtime folder, which every run looks into as well: a run that cannot be undone is
// guarded all the same.
class TreeLocks {
public:
    // The locks kept in the journal folder `folder` (made private when missing), or else
    // in `runtime` (made when a lock is first kept there).
    static std::unique_ptr<TreeLocks> open(const QString& folder, QString* error,
                                           const QString& runtime = RuntimeFolder()
                                               + QStringLiteral("/orvel-file-rename"));
    TreeLocks(int dir, QString runtime);
    ~TreeLocks();
    TreeLocks(const TreeLocks&) = delete;
    TreeLocks& operator=(const TreeLocks&) = delete;

    // Locks the tree of the open folder `start` (its own name included) for a run, so that
    // no two runs of this user, in this process or another, work on one tree at once.
    // Refused (nullptr, with the folder of the other run in `busyWith`) while a live run
    // holds a lock on a tree that holds `start` or lies inside it. Folders are compared by
    // identity, so a link or a bind mount leads to the same tree. Only a lock that neither
    // folder can record is granted unrecorded, and guards nothing.
    std::unique_ptr<TreeLock> lock(const FolderHandle& start, QString* busyWith);

private:
    int m_dir; // the journal folder; -1 when it cannot be opened
    QString m_runtime;
};

} // namespace orvel
