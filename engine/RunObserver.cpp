// What a run tells the window (or the command line) that hosts it, and asks of it.
#include "engine/RunObserver.h"

namespace orvel {

FolderRole StartFolderRole(const SystemFolders& known, const QString& folder, const FileId& id, bool itself,
                           const FileId& parent)
{
    if (RenamesSystemEntries(folder, itself) || known.roleOf(id) == FolderRole::System
        || (itself && known.roleOf(parent) == FolderRole::System))
        return FolderRole::System;
    // A home of its own is what the user chose to work in; only its name is asked about.
    return itself && known.roleOf(id) == FolderRole::Home ? FolderRole::Home : FolderRole::Ordinary;
}

} // namespace orvel
