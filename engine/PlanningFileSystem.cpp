// The file system of a dry run: every read goes to the real one, every rename is only noted.
#include "engine/PlanningFileSystem.h"

#include "engine/Paths.h"
#include "platform/FolderNames.h"
#include "platform/NameCodec.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace orvel {

namespace {

// What the real file system refuses before it looks: a name that could step outside
// its folder.
bool isPlainName(QByteArrayView name)
{
    const auto lacks = [name](char c) { return !std::memchr(name.data(), c, size_t(name.size())); };
    return !name.isEmpty() && name != "." && name != ".." && lacks('/') && lacks('\0');
}

} // namespace

struct PlanningFileSystem::Moves {
    std::mutex lock; // over all of the folder's plan
    PlannedNames names;
    // The names the folder's listing gave, kept from the run's own listing of it (by
    // their hashes, a few bytes each for a million names): an entry listed there needs
    // no further look to be known present.
    struct Listed {
        std::vector<quint64> hashes; // sorted
        std::vector<quint64> folders; // sorted: those of the names listed as folders
        bool mayHold(PlannedNames::Name name) const
        {
            return std::binary_search(hashes.cbegin(), hashes.cend(), name.hash);
        }
        bool mayBeFolder(PlannedNames::Name name) const
        {
            return std::binary_search(folders.cbegin(), folders.cend(), name.hash);
        }
    };
    std::optional<Listed> listed;
    // Whether the folder tells names apart by letter case; unknown until a name
    // renamed in it could tell.
    std::optional<bool> caseApart;

    // The name on disk of what the folder holds as `name` in the plan; nullopt when the
    // plan moved that entry away.
    std::optional<QByteArray> diskName(QByteArrayView name) const
    {
        const PlannedNames::Name named = PlannedNames::named(name);
        if (const qsizetype entry = names.byPlanned(named); entry >= 0)
            return names.disk(entry).bytes.toByteArray();
        if (names.byDisk(named) >= 0)
            return std::nullopt;
        return name.toByteArray();
    }
};

std::shared_ptr<PlanningFileSystem::Moves> PlanningFileSystem::movesOf(const FolderHandle& folder, bool make) const
{
    const std::lock_guard guard(m_lock);
    if (const auto it = m_moves.constFind(folder.id()); it != m_moves.cend())
        return *it;
    if (!make)
        return nullptr;
    auto made = std::make_shared<Moves>();
    m_moves.insert(folder.id(), made);
    return made;
}

std::optional<QByteArray> PlanningFileSystem::diskName(const FolderHandle& folder, QByteArrayView name) const
{
    const std::shared_ptr<Moves> moves = movesOf(folder, false);
    if (!moves)
        return name.toByteArray();
    const std::lock_guard guard(moves->lock);
    return moves->diskName(name);
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
        const QByteArray bytes = EncodeName(part);
        const std::optional<QByteArray> name = folder.isOpen() ? diskName(folder, bytes) : bytes;
        if (!name)
            return std::nullopt;
        disk = JoinPath(disk, DecodeName(*name));
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

FolderHandle PlanningFileSystem::openSubFolder(const FolderHandle& parent, QByteArrayView name, int* error) const
{
    const std::optional<QByteArray> disk = diskName(parent, name);
    if (!disk) {
        if (error)
            *error = ENOENT;
        return {};
    }
    FolderHandle folder = m_real.openSubFolder(parent, *disk, error);
    if (*disk == name || !folder.isOpen())
        return folder;
    return std::move(folder).withPath(JoinPath(parent.path(), DecodeName(name)));
}

Listing PlanningFileSystem::listFolder(const FolderHandle& folder, const EntrySink& each, bool withHidden) const
{
    const std::shared_ptr<Moves> moves = movesOf(folder, true);
    PlannedNames planned;
    bool keep = false;
    {
        const std::lock_guard guard(moves->lock);
        if (!moves->names.isEmpty()) // only where a run lists a folder again
            planned = moves->names;
        keep = !moves->listed;
    }
    // The run lists each folder before it renames in it: what the disk holds is kept.
    Moves::Listed names;
    const Listing listing = m_real.listFolder(
        folder,
        [&](QByteArrayView name, EntryType type, quint64 serial) {
            if (!keep && planned.isEmpty())
                return each(name, type, serial);
            const PlannedNames::Name named = PlannedNames::named(name);
            if (keep) {
                names.hashes.push_back(named.hash);
                if (type == EntryType::Folder)
                    names.folders.push_back(named.hash);
            }
            // Each entry in the place the disk gives it, under the name the plan gave it.
            const qsizetype entry = planned.isEmpty() ? -1 : planned.byDisk(named);
            each(entry < 0 ? name : planned.planned(entry).bytes, type, serial);
        },
        withHidden);
    if (keep && listing.error == 0) {
        std::sort(names.hashes.begin(), names.hashes.end());
        std::sort(names.folders.begin(), names.folders.end());
        const std::lock_guard guard(moves->lock);
        if (!moves->listed)
            moves->listed = std::move(names);
    }
    return listing;
}

int PlanningFileSystem::renameIn(const FolderHandle& folder, QByteArrayView oldName, QByteArrayView newName,
                                 const TemporaryNotice&)
{
    if (!folder.isOpen())
        return EBADF;
    if (!isPlainName(oldName) || !isPlainName(newName))
        return EINVAL;
    const std::shared_ptr<Moves> shared = movesOf(folder, true);
    Moves& moves = *shared;
    const std::lock_guard guard(moves.lock);
    PlannedNames& names = moves.names;
    const PlannedNames::Name old = PlannedNames::named(oldName);
    const qsizetype planned = names.byPlanned(old);
    if (planned < 0 && names.byDisk(old) >= 0)
        return ENOENT; // the plan moved it away
    const PlannedNames::Name disk = planned < 0 ? old : names.disk(planned);
    // A listed entry is there: a plan is of the tree as it was listed.
    EntryIdentity entry;
    if (!moves.listed || !moves.listed->mayHold(disk))
        if (const int error = m_real.identify(folder, disk.bytes, &entry))
            return error;
    if (oldName == newName)
        return 0;
    const PlannedNames::Name renamed = PlannedNames::named(newName);
    if (const int error = takenError(folder, moves, disk, renamed))
        return error;
    if (const int error = m_real.mayRename(folder, disk.bytes))
        return error;
    if (planned >= 0) {
        if (newName == disk.bytes)
            names.erase(planned);
        else
            names.replan(planned, renamed);
        return 0;
    }
    if (names.isEmpty() && moves.listed) // most of the folder's names are to come
        names.reserve(moves.listed->hashes.size());
    names.add(old, renamed);
    return 0;
}

void PlanningFileSystem::leftFolder(const FolderHandle& folder)
{
    if (m_runs != Runs::One)
        return;
    const std::shared_ptr<Moves> moves = movesOf(folder, false);
    if (!moves)
        return;
    // Let go of outside the lock: a large folder's names take a while to free.
    PlannedNames all;
    bool emptied = false;
    {
        const std::lock_guard guard(moves->lock);
        // The run may still enter the folders in it by their new names. Without the
        // listing, which names are folders is not known: all stay.
        if (moves->listed) {
            PlannedNames kept;
            moves->names.forEach([&](PlannedNames::Name disk, PlannedNames::Name planned) {
                if (moves->listed->mayBeFolder(disk))
                    kept.add(disk, planned);
            });
            all = std::exchange(moves->names, std::move(kept));
            moves->listed.reset();
        }
        emptied = moves->names.isEmpty();
    }
    if (emptied) {
        const std::lock_guard guard(m_lock);
        if (const auto it = m_moves.find(folder.id()); it != m_moves.end() && *it == moves)
            m_moves.erase(it);
    }
}

int PlanningFileSystem::takenError(const FolderHandle& folder, Moves& moves, PlannedNames::Name diskName,
                                   PlannedNames::Name newName) const
{
    if (moves.names.byPlanned(newName) >= 0)
        return EEXIST; // an earlier rename of the plan made it
    if (!moves.caseApart)
        moves.caseApart = TellsCaseApart(m_real, folder, diskName.bytes);
    // Where the folder tells names that differ in case alone apart, a name its listing
    // lacks is free: no need to ask the disk for each one.
    if (moves.caseApart.value_or(false) && moves.listed && !moves.listed->mayHold(newName))
        return 0;
    EntryIdentity there;
    if (const int error = m_real.identify(folder, newName.bytes, &there))
        return error == ENOENT ? 0 : error;
    // Something answers to the new name: which entry of the listing is it? The one of
    // that very name, or where case is ignored, the one that differs in case alone. The
    // entry itself (a change of case where case is ignored), or one the plan moved away,
    // leaves the name free; any other is in the way, as a hard link of the same file is.
    QByteArray answering;
    if (const int error = m_real.listedAs(folder, newName.bytes, &answering))
        return error;
    return !answering.isNull()
            && (answering == diskName.bytes || moves.names.byDisk(PlannedNames::named(answering)) >= 0)
        ? 0
        : EEXIST;
}

int PlanningFileSystem::identify(const FolderHandle& folder, QByteArrayView name, EntryIdentity* identity) const
{
    const std::optional<QByteArray> disk = diskName(folder, name);
    return disk ? m_real.identify(folder, *disk, identity) : ENOENT;
}

int PlanningFileSystem::listedAs(const FolderHandle& folder, QByteArrayView name, QByteArray* listed) const
{
    const std::shared_ptr<Moves> moves = movesOf(folder, false);
    if (moves) {
        const std::lock_guard guard(moves->lock);
        if (moves->names.byPlanned(PlannedNames::named(name)) >= 0) { // the plan made it
            *listed = name.toByteArray();
            return 0;
        }
    }
    QByteArray onDisk;
    if (const int error = m_real.listedAs(folder, name, &onDisk))
        return error;
    if (moves && !onDisk.isNull()) {
        // What answers on disk may stand under another name in the plan.
        const std::lock_guard guard(moves->lock);
        if (const qsizetype entry = moves->names.byDisk(PlannedNames::named(onDisk)); entry >= 0) {
            const QByteArrayView planned = moves->names.planned(entry).bytes;
            onDisk = DecodeName(planned).toCaseFolded() == DecodeName(name).toCaseFolded() ? planned.toByteArray()
                                                                                           : QByteArray();
        }
    }
    *listed = onDisk;
    return 0;
}

int PlanningFileSystem::mayRename(const FolderHandle& folder, QByteArrayView name) const
{
    const std::optional<QByteArray> disk = diskName(folder, name);
    return disk ? m_real.mayRename(folder, *disk) : ENOENT;
}

EntryType PlanningFileSystem::entryType(const QString& path) const
{
    const std::optional<QString> disk = diskPath(path);
    return disk ? m_real.entryType(*disk) : EntryType::Missing;
}

} // namespace orvel
