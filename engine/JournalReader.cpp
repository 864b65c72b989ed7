// A run's journal as read back: its head, the folders it renamed in, and each rename with
// what became of it.
#include "engine/JournalReader.h"

#include "engine/JournalFormat.h"
#include "platform/NameCodec.h"

#include <QHash>

namespace orvel {

JournalReader::JournalReader(QByteArray text)
    : m_text(std::move(text))
{
    qint64 at = 0, next = 0;
    const std::optional<Record> head = ReadRecord(m_text, at, &next);
    if (!head || !head->isKnown() || head->kind() != RecordKind::Head
        || head->fields[0].toInt() != JournalFormatVersion)
        return;
    const RecordFields& h = head->fields;
    m_valid = true;
    m_whole = next;
    m_head.kind = QString::fromLatin1(h[1]);
    QByteArray start = FieldBytes(h[2]);
    m_head.startFolder = DecodeName(start);
    m_head.options.style = CaseStyle(h[3].toInt());
    m_head.options.renameFile = h[4] == "1";
    m_head.options.renameFolder = h[5] == "1";
    m_head.includeSubfolders = h[6] == "1";
    // Each writer's folder and its last rename, whose fate is known once any later record
    // of the writer follows it.
    struct Writer {
        qint32 folder = -1;
        qint64 last = -1;
    };
    QHash<int, Writer> writers;
    const auto settle = [this](Writer& writer) {
        if (writer.last >= 0 && m_entries[size_t(writer.last)].state == State::Unknown)
            m_entries[size_t(writer.last)].state = State::Done;
    };
    for (at = next; at < m_text.size(); at = next) {
        const std::optional<Record> record = ReadRecord(m_text, at, &next);
        if (!record) {
            // Zeros: space reserved ahead, or a record whose copy a crash cut short while
            // other writers' records were placed after it. Those count.
            const qsizetype zero = m_text.indexOf('\0', at);
            const qsizetype line = m_text.indexOf('\n', at);
            if (zero < 0 || (line >= 0 && line < zero))
                break; // torn: nothing after it counts
            for (next = zero; next < m_text.size() && m_text[next] == '\0';)
                ++next;
            continue;
        }
        m_whole = next;
        const RecordFields& f = record->fields;
        Writer& writer = writers[qMax(record->writer, 0)];
        bool known = record->isKnown();
        switch (known ? record->kind() : RecordKind::Head) {
        case RecordKind::Rename:
            known = writer.folder >= 0;
            if (known) {
                settle(writer);
                writer.last = qint64(m_entries.size());
                m_entries.push_back({at, writer.folder, quint16(record->writer)});
            }
            break;
        case RecordKind::Folder:
        case RecordKind::OutsideFolder:
            settle(writer);
            m_folders.push_back(
                {FieldBytes(f[0]), record->kind() == RecordKind::OutsideFolder, start, f.value(1).toLongLong()});
            writer.folder = qint32(m_folders.size() - 1);
            break;
        case RecordKind::StartFolderMoved:
            settle(writer);
            start = FieldBytes(f[0]);
            break;
        case RecordKind::Temporary:
            known = writer.last >= 0;
            if (known)
                m_entries[size_t(writer.last)].temporary = at;
            break;
        case RecordKind::Failed:
            known = writer.last >= 0;
            if (known) {
                m_entries[size_t(writer.last)].state = State::Failed;
                m_entries[size_t(writer.last)].error = f[0].toInt();
            }
            break;
        case RecordKind::Completed: settle(writer); break;
        case RecordKind::Ended:
            // After a crash the last renames' fate is for the disk to tell.
            if (f[0] != "crashed")
                for (Writer& each : writers)
                    settle(each);
            m_ended = true;
            break;
        case RecordKind::Undone:
            if (const qint64 index = f[0].toLongLong(); index >= 0 && index < qint64(m_entries.size())) {
                m_entries[size_t(index)].undone = true;
                m_entries[size_t(index)].undoTemporary = -1;
            }
            break;
        case RecordKind::UndoTemporary:
            if (const qint64 index = f[0].toLongLong(); index >= 0 && index < qint64(m_entries.size())) {
                m_entries[size_t(index)].undoTemporary = at;
                m_undoCut.emplace_back(index, at);
            }
            break;
        case RecordKind::WholeRunUndone: m_undone = true; break;
        case RecordKind::Head: known = false; break; // only the first record is a head
        }
        if (!known) {
            m_whole = m_text.size(); // a record this version does not know: read no further,
            break; // and keep it
        }
    }
    m_finalStart = DecodeName(start);
}

JournalReader::Rename JournalReader::rename(const Entry& entry) const
{
    const RecordFields f = ReadRecord(m_text, entry.record, nullptr, true)->fields;
    Rename r;
    r.oldName = FieldName(f[0]);
    r.newName = FieldName(f[1]);
    r.identity = {f[2].toULongLong(nullptr, 16), f[3].toULongLong(nullptr, 16), f[4].toLongLong()};
    r.bornBy = m_folders[size_t(entry.folder)].listedBy;
    return r;
}

std::pair<QByteArray, QByteArray> JournalReader::nameBytes(const Entry& entry) const
{
    const RecordFields f = ReadRecord(m_text, entry.record, nullptr, true)->fields;
    return {FieldBytes(f[0]), FieldBytes(f[1])};
}

QString JournalReader::temporaryName(const Entry& entry) const
{
    if (entry.temporary < 0)
        return {};
    return FieldName(ReadRecord(m_text, entry.temporary, nullptr, true)->fields[0]);
}

std::vector<qint64> JournalReader::undoStepsCut() const
{
    std::vector<qint64> cut;
    for (const auto& [index, at] : m_undoCut)
        if (m_entries[size_t(index)].undoTemporary == at) // its last, and no undo record after it
            cut.push_back(index);
    return cut;
}

QString JournalReader::undoTemporaryName(const Entry& entry) const
{
    if (entry.undoTemporary < 0)
        return {};
    return FieldName(ReadRecord(m_text, entry.undoTemporary, nullptr, true)->fields[1]);
}

bool JournalReader::Rename::isEntry(const EntryIdentity& now) const
{
    if (now.device != identity.device || now.inode != identity.inode)
        return false;
    if (identity.born != 0)
        return now.born == identity.born;
    // Its number came from a listing: one born after that took the number of a deleted
    // file.
    return now.born == 0 || bornBy == 0 || now.born <= bornBy;
}

qint64 JournalReader::undoableCount() const
{
    if (m_undone)
        return 0;
    qint64 count = 0;
    for (const Entry& e : m_entries)
        count += !e.undone && e.state != State::Failed;
    return count;
}

} // namespace orvel
