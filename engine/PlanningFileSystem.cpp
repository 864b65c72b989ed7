#include "engine/PlanningFileSystem.h"

#include "engine/Paths.h"

#include <QStringList>

#include <cerrno>

namespace orvel {

namespace {

// What the real file system refuses before it looks: a name that could step outside
// its folder.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

} // namespace

std::optional<QString> PlanningFileSystem::diskName(const FolderHandle& folder, const QString& name) const
{
    const std::lock_guard guard(m_lock);
    const auto moves = m_moves.constFind(folder.id());
    return moves == m_moves.cend() ? std::optional(name) : moves->diskName(name);
}

std::optional<QString> PlanningFileSystem::diskPath(const QString& path) const
{
    {
        const std::lock_guard guard(m_lock);
        if (m_moves.isEmpty() || !path.startsWith(u'/'))
            return path;
    }
    // Component by component from the root: each folder on the way is known to the plan
    // by what it is, not by its path.
    QString disk = QStringLiteral("/");
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        const FolderHandle folder = m_real.openFolder(disk);
        const std::optional<QString> name = folder.isOpen() ? diskName(folder, part) : part;
        if (!name)
            return std::nullopt;
        disk = JoinPath(disk, *name);
    }
    return disk;
}

FolderHandle PlanningFileSystem::openFolder(const QString& path, int* error) const
{
    const std::optional<QString> disk = diskPath(path);
    if (!disk) {
        if (error)
            *error = ENOENT;
        return {};
    }
    FolderHandle folder = m_real.openFolder(*disk, error);
    return folder.isOpen() ? std::move(folder).withPath(path) : FolderHandle();
}

FolderHandle PlanningFileSystem::openSubFolder(const FolderHandle& parent, const QString& name, int* error) const
{
    const std::optional<QString> disk = diskName(parent, name);
    if (!disk) {
        if (error)
            *error = ENOENT;
        return {};
    }
    FolderHandle folder = m_real.openSubFolder(parent, *disk, error);
    if (*disk == name || !folder.isOpen())
        return folder;
    return std::move(folder).withPath(JoinPath(parent.path(), name));
}

Listing PlanningFileSystem::listFolder(const FolderHandle& folder, const EntrySink& each) const
{
    QHash<QString, QString> to;
    {
        const std::lock_guard guard(m_lock);
        if (const auto moves = m_moves.constFind(folder.id()); moves != m_moves.cend())
            to = moves->to; // shared, not copied
    }
    if (to.isEmpty())
        return m_real.listFolder(folder, each);
    // Each entry in the place the disk gives it, under the name the plan gave it.
    return m_real.listFolder(folder, [&](const QString& name, auto&&... rest) {
        const auto planned = to.constFind(name);
        each(planned == to.cend() ? name : *planned, std::forward<decltype(rest)>(rest)...);
    });
}

int PlanningFileSystem::renameIn(const FolderHandle& folder, const QString& oldName, const QString& newName,
                                 const TemporaryNotice&)
{
    if (!folder.isOpen())
        return EBADF;
    if (!isPlainName(oldName) || !isPlainName(newName))
        return EINVAL;
    const std::lock_guard guard(m_lock);
    Moves& moves = m_moves[folder.id()];
    const std::optional<QString> disk = moves.diskName(oldName);
    if (!disk)
        return ENOENT;
    EntryIdentity entry;
    if (const int error = m_real.identify(folder, *disk, &entry))
        return error;
    if (oldName == newName)
        return 0;
    if (const int error = takenError(folder, moves, *disk, newName))
        return error;
    if (const int error = m_real.mayRename(folder, *disk))
        return error;
    moves.from.remove(oldName);
    if (newName == *disk) {
        moves.to.remove(*disk);
    } else {
        moves.to.insert(*disk, newName);
        moves.from.insert(newName, *disk);
    }
    return 0;
}

int PlanningFileSystem::takenError(const FolderHandle& folder, Moves& moves, const QString& diskName,
                                   const QString& newName) const
{
    if (moves.from.contains(newName))
        return EEXIST; // an earlier rename of the plan made it
    EntryIdentity there;
    if (const int error = m_real.identify(folder, newName, &there))
        return error == ENOENT ? 0 : error;
    // Something answers to the new name: which entry of the listing is it? The one of
    // that very name, or where case is ignored, the one that differs in case alone.
    if (!moves.onDisk) {
        QHash<QString, QString> names;
        const Listing listing = m_real.listFolder(folder, [&](const QString& name, auto&&...) {
            names.insert(name, name);
            names.insert(name.toCaseFolded(), name);
        });
        if (listing.error != 0)
            return listing.error;
        moves.onDisk = std::move(names);
    }
    const QString exact = moves.onDisk->value(newName);
    const QString answering = exact.isNull() ? moves.onDisk->value(newName.toCaseFolded()) : exact;
    // The entry itself (a change of case where case is ignored), or one the plan moved
    // away, leaves the name free; any other is in the way, as a hard link of the same
    // file is.
    return !answering.isNull() && (answering == diskName || moves.to.contains(answering)) ? 0 : EEXIST;
}

int PlanningFileSystem::identify(const FolderHandle& folder, const QString& name, EntryIdentity* identity) const
{
    const std::optional<QString> disk = diskName(folder, name);
    return disk ? m_real.identify(folder, *disk, identity) : ENOENT;
}

int PlanningFileSystem::mayRename(const FolderHandle& folder, const QString& name) const
{
    const std::optional<QString> disk = diskName(folder, name);
    return disk ? m_real.mayRename(folder, *disk) : ENOENT;
}

EntryType PlanningFileSystem::entryType(const QString& path) const
{
    const std::optional<QString> disk = diskPath(path);
    return disk ? m_real.entryType(*disk) : EntryType::Missing;
}

} // namespace orvel
