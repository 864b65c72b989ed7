// The lock that keeps two runs of one user off one folder tree at once, across processes.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace orvel {

class FolderHandle;

// A tree locked for a run; the lock lasts while this lives.
class TreeLock {
public:
    TreeLock(int dir, int fd, QByteArray name);
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
class TreeLocks {
public:
    // The locks kept in `folder` (made private when missing); nullptr with the reason in
    // `error` when it is a link, no folder, or another user's.
    static std::unique_ptr<TreeLocks> open(const QString& folder, QString* error);
    explicit TreeLocks(int dir);
    ~TreeLocks();
    TreeLocks(const TreeLocks&) = delete;
    TreeLocks& operator=(const TreeLocks&) = delete;

    // Locks the tree of the open folder `start` (its own name included) for a run, so that
    // no two runs of this user, in this process or another, work on one tree at once.
    // Refused (nullptr, with the folder of the other run in `busyWith`) while a live run
    // holds a lock on a tree that holds `start` or lies inside it. Folders are compared by
    // identity, so a link or a bind mount leads to the same tree. A lock that cannot be
    // recorded is granted all the same: the journal, kept in the same folder, then fails
    // too, and says so.
    std::unique_ptr<TreeLock> lock(const FolderHandle& start, QString* busyWith);

private:
    int m_dir;
};

} // namespace orvel
