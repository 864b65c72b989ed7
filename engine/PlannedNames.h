// The renames a dry run planned in one folder: each entry's name on disk and its planned name.
#pragma once

#include "engine/JournalFormat.h"

#include <QByteArrayView>

#include <vector>

namespace orvel {

// A folder's planned renames, found by the name on disk or by the planned name. A plan
// notes a rename for nearly every name of a folder, so this keeps the names in one block
// of bytes and finds them by a hash the caller works out once per name: a name is hashed
// once, not once for each of the several looks a rename takes. Not locked: its folder's
// plan is.
class PlannedNames {
public:
    // A name and its hash (NameHash).
    struct Name {
        QByteArrayView bytes;
        quint64 hash = 0;
    };
    static Name named(QByteArrayView name) { return {name, NameHash(name)}; }

    // The entry whose planned name is `name`, or -1.
    qsizetype byPlanned(Name name) const { return find(m_byPlanned, name, &Entry::planned); }
    // The entry whose name on disk is `name`, or -1.
    qsizetype byDisk(Name name) const { return find(m_byDisk, name, &Entry::disk); }
    // Valid until the next change.
    Name disk(qsizetype entry) const { return nameOf(m_entries[size_t(entry)].disk); }
    Name planned(qsizetype entry) const { return nameOf(m_entries[size_t(entry)].planned); }

    // Plans `planned` for the entry called `disk` on disk, which has no plan yet.
    void add(Name disk, Name planned);
    // Plans `planned` instead for an entry that has a plan.
    void replan(qsizetype entry, Name planned);
    void erase(qsizetype entry);

    bool isEmpty() const { return m_live == 0; }
    size_t size() const { return m_live; }
    void reserve(size_t entries);
    // Calls `each(disk, planned)` for every entry.
    template <typename Each>
    void forEach(const Each& each) const
    {
        for (const Entry& entry : m_entries)
            if (entry.live)
                each(nameOf(entry.disk), nameOf(entry.planned));
    }

private:
    struct Span {
        quint64 hash = 0;
        quint32 at = 0; // into m_bytes
        quint32 size = 0;
    };
    struct Entry {
        Span disk, planned;
        bool live = true;
    };
    // An index slot holds an entry's number plus one; 0 is empty, Gone held one once.
    static constexpr quint32 Gone = ~quint32(0);

    Name nameOf(const Span& span) const { return {QByteArrayView(m_bytes.data() + span.at, span.size), span.hash}; }
    Span keep(Name name);
    qsizetype find(const std::vector<quint32>& index, Name name, Span Entry::*field) const;
    // The slot of `index` that holds `entry`.
    size_t slotOf(const std::vector<quint32>& index, quint64 hash, qsizetype entry) const;
    // Puts `entry` in a free slot of `index`, counted in `used`.
    static void place(std::vector<quint32>& index, size_t& used, quint64 hash, qsizetype entry);
    // Whether each index stays at most half full with one slot more, counting the slots of
    // entries gone.
    bool hasRoom() const;
    // Lays the table out again for `entries`, without the entries gone and their bytes:
    // their numbers change.
    void layOut(size_t entries);

    std::vector<char> m_bytes;
    std::vector<Entry> m_entries;
    std::vector<quint32> m_byDisk, m_byPlanned; // a power of two slots each
    size_t m_live = 0;
    size_t m_usedDisk = 0, m_usedPlanned = 0; // slots not empty, those of entries gone included
};

} // namespace orvel
