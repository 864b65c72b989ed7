// A run made on paper, and its entries kept compactly enough to list a million of them.
#include "engine/RunPlan.h"

#include "engine/Paths.h"
#include "engine/PlanningFileSystem.h"

#include <cstring>

namespace orvel {

RenameAllOutcome PlanRenameAll(RenameAllJob job, const FileSystem& real, RunObserver& observer)
{
    job.records = {};
    PlanningFileSystem plan(real);
    return RenameAll(job, plan, observer);
}

RenameSelectedOutcome PlanRenameSelected(RenameSelectedJob job, const FileSystem& real, RunObserver& observer)
{
    job.records = {};
    PlanningFileSystem plan(real);
    return RenameSelected(job, plan, observer);
}

void PlanEntries::addRenamed(const QString& folder, const QString& oldName, const QString& newName, EntryKind kind)
{
    add(folder, oldName, newName, 0, kind);
    ++m_renamed;
}

void PlanEntries::addNotChanged(const NotChanged& item, const QString& newName, EntryKind kind)
{
    const QString folder = ParentPath(item.path);
    const QStringView name = QStringView(item.path).sliced(qMin(JoinPath(folder, {}).size(), item.path.size()));
    auto reason = m_reasonIndex.constFind(item.reason);
    if (reason == m_reasonIndex.cend()) {
        reason = m_reasonIndex.insert(item.reason, quint32(m_reasons.size()));
        m_reasons.append(item.reason);
    }
    add(folder, name, newName, *reason, kind);
}

QStringView PlanEntries::oldName(qsizetype i) const
{
    const Entry& e = m_entries[size_t(i)];
    return {m_blocks[e.block].get() + e.at, e.oldLength};
}

QStringView PlanEntries::newName(qsizetype i) const
{
    const Entry& e = m_entries[size_t(i)];
    return {m_blocks[e.block].get() + e.at + e.oldLength, e.newLength};
}

void PlanEntries::add(const QString& folder, QStringView oldName, QStringView newName, quint32 reason, EntryKind kind)
{
    // A name is at most a few hundred characters; nothing longer is ever told.
    oldName = oldName.first(qMin<qsizetype>(oldName.size(), 0xFFFF));
    newName = newName.first(qMin<qsizetype>(newName.size(), 0xFFFF));
    const qsizetype length = oldName.size() + newName.size();
    if (m_used + length > BlockSize) {
        m_blocks.push_back(std::make_unique<char16_t[]>(size_t(BlockSize)));
        m_used = 0;
    }
    char16_t* at = m_blocks.back().get() + m_used;
    std::memcpy(at, oldName.utf16(), size_t(oldName.size()) * sizeof(char16_t));
    std::memcpy(at + oldName.size(), newName.utf16(), size_t(newName.size()) * sizeof(char16_t));
    m_entries.push_back({folderIndex(folder), reason, quint32(m_blocks.size() - 1), quint32(m_used),
                         quint16(oldName.size()), quint16(newName.size()), kind});
    m_used += length;
}

quint32 PlanEntries::folderIndex(const QString& folder)
{
    // A plan tells of its names folder by folder: most entries are in the folder of the
    // one before.
    if (!m_entries.empty() && m_folders[m_entries.back().folder] == folder)
        return m_entries.back().folder;
    auto index = m_folderIndex.constFind(folder);
    if (index == m_folderIndex.cend()) {
        index = m_folderIndex.insert(folder, quint32(m_folders.size()));
        m_folders.append(folder);
    }
    return *index;
}

} // namespace orvel
