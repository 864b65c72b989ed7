#include "tests/support/FaultyFileSystem.h"

#include <cerrno>

namespace orvel {

QString FaultyFileSystem::join(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString FaultyFileSystem::real(const QString& path) const
{
    if (root.isEmpty() || !path.startsWith(u'/'))
        return path;
    return path == QLatin1String("/") ? root : root + path;
}

FolderHandle FaultyFileSystem::openFolder(const QString& path, int* error) const
{
    return m_inner.openFolder(real(path), error).withPath(path);
}

FolderHandle FaultyFileSystem::openSubFolder(const FolderHandle& parent, const QString& name, int* error) const
{
    if (beforeEnter)
        beforeEnter(join(parent.path(), name));
    return m_inner.openSubFolder(parent, name, error);
}

Listing FaultyFileSystem::listFolder(const FolderHandle& folder, const EntrySink& each) const
{
    listings.append(folder.path());
    if (beforeList)
        beforeList(folder.path());
    Listing listing = m_inner.listFolder(folder, each);
    if (failedListings.contains(folder.path()))
        listing.error = EIO;
    return listing;
}

int FaultyFileSystem::renameIn(const FolderHandle& folder, const QString& oldName, const QString& newName)
{
    const QString oldPath = join(folder.path(), oldName);
    renames.append({oldPath, join(folder.path(), newName)});
    if (beforeRename)
        beforeRename(oldPath, join(folder.path(), newName));
    if (refusedRenames.contains(oldPath))
        return EBUSY;
    return m_inner.renameIn(folder, oldName, newName);
}

EntryType FaultyFileSystem::entryType(const QString& path) const
{
    return m_inner.entryType(real(path));
}

} // namespace orvel
