#include "tests/support/FaultyFileSystem.h"

namespace orvel {

std::optional<QList<DirEntry>> FaultyFileSystem::list(const QString& folder, const QString& pattern,
                                                      bool withFolders) const
{
    listings.append(folder);
    if (beforeList)
        beforeList(folder);
    if (failedListings.contains(folder))
        return std::nullopt;
    return m_inner.list(folder, pattern, withFolders);
}

EntryType FaultyFileSystem::entryType(const QString& path) const { return m_inner.entryType(path); }

bool FaultyFileSystem::rename(const QString& oldPath, const QString& newPath)
{
    renames.append({oldPath, newPath});
    if (beforeRename)
        beforeRename(oldPath, newPath);
    if (refusedRenames.contains(oldPath))
        return false;
    return m_inner.rename(oldPath, newPath);
}

} // namespace orvel
