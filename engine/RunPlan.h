// A run made on paper, and its entries kept compactly enough to list a million of them.
#pragma once

#include "engine/RenameAll.h"
#include "engine/RenameSelected.h"
#include "engine/RunObserver.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

namespace orvel {

class FileSystem;

// Rename All as it would go now, renamed on paper (PlanningFileSystem) over `real`,
// without records: nothing on disk changes and no journal is written. The observer hears
// each name as the real run would tell it, then each folder whose names could not be read.
RenameAllOutcome PlanRenameAll(RenameAllJob job, const FileSystem& real, RunObserver& observer);
// Rename Selected the same way.
RenameSelectedOutcome PlanRenameSelected(RenameSelectedJob job, const FileSystem& real, RunObserver& observer);

// The entries a plan tells of, in the order told: a rename, or a name that could not be
// changed with its reason. A few bytes an entry besides its two names: the folders and
// the reasons are kept once each, the names in large blocks of characters.
class PlanEntries {
public:
    void addRenamed(const QString& folder, const QString& oldName, const QString& newName, EntryKind kind);
    void addNotChanged(const NotChanged& item, const QString& newName, EntryKind kind);

    qsizetype size() const { return qsizetype(m_entries.size()); }
    qint64 renamedCount() const { return m_renamed; }
    qint64 notChangedCount() const { return size() - m_renamed; }

    bool isRenamed(qsizetype i) const { return m_entries[size_t(i)].reason == 0; }
    EntryKind kind(qsizetype i) const { return m_entries[size_t(i)].kind; }
    // The folder the entry is in, its path as it stands in the plan.
    const QString& folder(qsizetype i) const { return m_folders[m_entries[size_t(i)].folder]; }
    QStringView oldName(qsizetype i) const;
    // Empty where no rename was tried (a folder that could not be entered).
    QStringView newName(qsizetype i) const;
    // Empty for a rename.
    const QString& reason(qsizetype i) const { return m_reasons[m_entries[size_t(i)].reason]; }

private:
    struct Entry {
        quint32 folder;
        quint32 reason; // 0: renamed
        quint32 block;
        quint32 at; // where the old name starts in its block; the new one follows it
        quint16 oldLength;
        quint16 newLength;
        EntryKind kind;
    };
    static constexpr qsizetype BlockSize = 1 << 20; // characters

    void add(const QString& folder, QStringView oldName, QStringView newName, quint32 reason, EntryKind kind);
    quint32 folderIndex(const QString& folder);

    std::vector<Entry> m_entries;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    qsizetype m_used = BlockSize; // characters used in the last block
    QStringList m_folders;
    QHash<QString, quint32> m_folderIndex;
    QStringList m_reasons{QString()};
    QHash<QString, quint32> m_reasonIndex;
    qint64 m_renamed = 0;
};

} // namespace orvel
