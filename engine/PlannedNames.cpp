// The renames a dry run planned in one folder: each entry's name on disk and its planned name.
#include "engine/PlannedNames.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <functional>

namespace orvel {

PlannedNames::Span PlannedNames::keep(Name name)
{
    // The table's own bytes would move under the copy.
    Q_ASSERT(m_bytes.empty() || name.bytes.empty()
             || !(std::less_equal<const char*>()(m_bytes.data(), name.bytes.data())
                  && std::less<const char*>()(name.bytes.data(), m_bytes.data() + m_bytes.size())));
    const size_t at = m_bytes.size();
    m_bytes.resize(at + size_t(name.bytes.size()));
    if (!name.bytes.empty())
        std::memcpy(m_bytes.data() + at, name.bytes.data(), size_t(name.bytes.size()));
    return {name.hash, quint32(at), quint32(name.bytes.size())};
}

qsizetype PlannedNames::find(const std::vector<quint32>& index, Name name, Span Entry::*field) const
{
    if (index.empty())
        return -1;
    const size_t mask = index.size() - 1;
    for (size_t i = name.hash & mask;; i = (i + 1) & mask) {
        const quint32 slot = index[i];
        if (slot == 0)
            return -1;
        if (slot == Gone)
            continue;
        const Span& span = m_entries[slot - 1].*field;
        if (span.hash == name.hash && nameOf(span).bytes == name.bytes)
            return qsizetype(slot - 1);
    }
}

size_t PlannedNames::slotOf(const std::vector<quint32>& index, quint64 hash, qsizetype entry) const
{
    const size_t mask = index.size() - 1;
    size_t i = hash & mask;
    while (index[i] != quint32(entry + 1))
        i = (i + 1) & mask;
    return i;
}

void PlannedNames::place(std::vector<quint32>& index, size_t& used, quint64 hash, qsizetype entry)
{
    const size_t mask = index.size() - 1;
    size_t i = hash & mask;
    while (index[i] != 0)
        i = (i + 1) & mask;
    index[i] = quint32(entry + 1);
    ++used;
}

bool PlannedNames::hasRoom() const
{
    return (std::max(m_usedDisk, m_usedPlanned) + 1) * 2 <= m_byDisk.size();
}

void PlannedNames::layOut(size_t entries)
{
    std::vector<char> bytes;
    std::vector<Entry> kept;
    kept.reserve(std::max(entries, m_live));
    size_t size = 0;
    for (const Entry& entry : m_entries)
        size += entry.live ? entry.disk.size + entry.planned.size : 0;
    bytes.reserve(size);
    const auto copy = [&](const Span& span) {
        const Span moved{span.hash, quint32(bytes.size()), span.size};
        bytes.insert(bytes.end(), m_bytes.begin() + span.at, m_bytes.begin() + span.at + span.size);
        return moved;
    };
    for (const Entry& entry : m_entries)
        if (entry.live)
            kept.push_back({copy(entry.disk), copy(entry.planned)});
    m_bytes = std::move(bytes);
    m_entries = std::move(kept);

    size_t slots = 16;
    while (slots < 2 * std::max(entries, m_live) + 2)
        slots *= 2;
    m_byDisk.assign(slots, 0);
    m_byPlanned.assign(slots, 0);
    m_usedDisk = m_usedPlanned = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        place(m_byDisk, m_usedDisk, m_entries[i].disk.hash, qsizetype(i));
        place(m_byPlanned, m_usedPlanned, m_entries[i].planned.hash, qsizetype(i));
    }
}

void PlannedNames::reserve(size_t entries)
{
    if (2 * entries + 2 > m_byDisk.size())
        layOut(entries);
}

void PlannedNames::add(Name disk, Name planned)
{
    Q_ASSERT(byDisk(disk) < 0 && byPlanned(planned) < 0);
    m_entries.push_back({keep(disk), keep(planned)});
    ++m_live;
    if (!hasRoom())
        return layOut(2 * m_live); // places the new entry too
    const qsizetype entry = qsizetype(m_entries.size() - 1);
    place(m_byDisk, m_usedDisk, disk.hash, entry);
    place(m_byPlanned, m_usedPlanned, planned.hash, entry);
}

void PlannedNames::replan(qsizetype entry, Name planned)
{
    Q_ASSERT(m_entries[size_t(entry)].live && byPlanned(planned) < 0);
    Entry& it = m_entries[size_t(entry)];
    m_byPlanned[slotOf(m_byPlanned, it.planned.hash, entry)] = Gone;
    it.planned = keep(planned);
    if (!hasRoom())
        return layOut(2 * m_live);
    place(m_byPlanned, m_usedPlanned, planned.hash, entry);
}

void PlannedNames::erase(qsizetype entry)
{
    Entry& it = m_entries[size_t(entry)];
    Q_ASSERT(it.live);
    m_byDisk[slotOf(m_byDisk, it.disk.hash, entry)] = Gone;
    m_byPlanned[slotOf(m_byPlanned, it.planned.hash, entry)] = Gone;
    it.live = false;
    --m_live;
}

} // namespace orvel
