// The file system of a dry run: every read goes to the real one, every rename is only noted.
#pragma once

#include "engine/PlannedNames.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

namespace orvel {

// A file system that plans instead of renaming, for a dry run: every read goes to the
// real one, and a rename is answered as the real one would answer it, then only noted.
// The folders are then listed, entered and looked up as they would stand after the
// renames so far. So the very runs that rename can plan, and the plan cannot disagree
// with the run: a name is taken when the folder holds it now (looked up by the real
// file system, which ignores case where it does) or when an earlier rename of the plan
// made it, and free when the plan moved its entry away. Nothing on disk is changed.
// Safe to use from several threads at once.
class PlanningFileSystem final : public FileSystem {
public:
    // What the plan is of. One run enters each folder once: once it has left a folder,
    // the plan lets go of its files' new names (a million of them would otherwise be held
    // to the end) and keeps only its folders'. Several runs one after the other keep
    // everything, as a later run may rename again where an earlier one has been.
    enum class Runs { One, Several };

    explicit PlanningFileSystem(const FileSystem& real, Runs runs = Runs::One)
        : m_real(real)
        , m_runs(runs)
    {
    }

    FolderHandle openFolder(const QString& path, int* error = nullptr) const override;
    FolderHandle openSubFolder(const FolderHandle& parent, QByteArrayView name, int* error = nullptr) const override;
    Listing listFolder(const FolderHandle& folder, const EntrySink& each, bool withHidden) const override;
    int renameIn(const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
                 const TemporaryNotice& beforeTemporary = {}) override;
    int identify(const FolderHandle& folder, QByteArrayView name, EntryIdentity* identity) const override;
    int listedAs(const FolderHandle& folder, QByteArrayView name, QByteArray* listed) const override;
    EntryType entryType(const QString& path) const override;
    int mayRename(const FolderHandle& folder, QByteArrayView name) const override;
    // The real volume's: a plan goes on as many workers as the run, and knows where inode
    // numbers do not last.
    VolumeKind volumeKind(const FolderHandle& folder) const override { return m_real.volumeKind(folder); }
    void leftFolder(const FolderHandle& folder) override;

private:
    // The renames planned in one folder, and what its listing gave.
    struct Moves;

    // The plan of `folder`; made when `make` and there is none yet, otherwise null.
    std::shared_ptr<Moves> movesOf(const FolderHandle& folder, bool make) const;
    // The name on disk of what `folder` holds as `name` in the plan.
    std::optional<QByteArray> diskName(const FolderHandle& folder, QByteArrayView name) const;
    // A path as the disk has it, when the plan renamed folders on the way; nullopt when
    // the plan moved an entry on the way away.
    std::optional<QString> diskPath(const QString& path) const;
    // 0 when `newName` is free in the plan for the entry called `diskName` on disk,
    // otherwise the error the real rename would meet.
    int takenError(const FolderHandle& folder, Moves& moves, PlannedNames::Name diskName,
                   PlannedNames::Name newName) const;

    const FileSystem& m_real;
    const Runs m_runs;
    mutable std::mutex m_lock; // over the table, not over a folder's plan
    mutable QHash<FileId, std::shared_ptr<Moves>> m_moves;
};

} // namespace orvel
