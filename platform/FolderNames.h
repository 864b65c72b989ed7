// The names a folder holds byte for byte, and whether it tells names apart by letter case.
#pragma once

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <atomic>
#include <list>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <time.h>

namespace orvel {

// The names of the folders asked about last, as their own listings hold them, hidden
// names included. Where letter case is ignored a lookup by name finds an entry under any
// case of its letters: only the listing says which name it stands under. A folder's names
// are kept while it stays as it was (the same folder, the same change time), and kept up
// to date for the renames made through it, so that renaming a whole folder costs one
// listing, not one a name. A listing serves the one opening of the folder that read it:
// where a volume goes and comes back (a card taken out and put back), another folder may
// have the same numbers and time. Safe to use from several threads at once.
class FolderNames {
public:
    // `name` as the listing of the open folder `dir` holds it: itself when it stands
    // there byte for byte, otherwise the listed name that equals it case-folded; null when
    // none does. 0, or the error that kept the folder from being listed.
    int listedAs(int dir, quint64 opening, QByteArrayView name, QByteArray* listed);
    // A rename made through `dir`; nothing to do while no folder is kept.
    void renamed(int dir, QByteArrayView from, QByteArrayView to);

private:
    struct Folder {
        dev_t device = 0;
        ino_t inode = 0;
        quint64 opening = 0; // the folder handle's
        struct timespec changed {};
        QSet<QByteArray> names;
        std::optional<QHash<QString, QByteArray>> folded; // made at the first need
    };
    static constexpr size_t Kept = 4; // folders: the workers of a run each work in one

    // The kept folder `dir` is, read anew when it is not kept or has changed; null when it
    // cannot be listed (`error`).
    Folder* find(const std::unique_lock<std::mutex>& held, int dir, quint64 opening, int* error);

    std::mutex m_lock; // over m_folders: every worker's renames ask and update them
    std::list<Folder> m_folders; // the one asked about last first
    std::atomic<bool> m_keepsAny = false; // so that a run that never asks pays nothing
};

// Whether `folder` tells names apart by letter case: `present`, a name it holds, is
// found, and the same name with the case of its ASCII letters swapped is not. nullopt
// when this name cannot tell (it holds no such letter, or is not there).
std::optional<bool> TellsCaseApart(const FileSystem& fs, const FolderHandle& folder, QByteArrayView present);

} // namespace orvel
