// A run's journal as read back: its head, the folders it renamed in, and each rename with
// what became of it.
#include "engine/JournalReader.h"

#include "engine/JournalFormat.h"
#include "platform/NameCodec.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace orvel {

namespace {

// The longest line read as a record. A record holds at most three paths or names, each
// byte of them escaped to three at most: a path of more than 300 000 bytes is far beyond
// any a run reaches (4096 is the longest the system takes whole).
constexpr qint64 LongestRecord = qint64(1) << 20;
constexpr qint64 PieceSize = 4 * LongestRecord; // read from the file at a time

// A journal's bytes in memory.
class BytesText final : public JournalText {
public:
    explicit BytesText(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
    }
    qint64 size() const override { return m_bytes.size(); }
    qint64 readAt(qint64 at, char* into, qint64 size) const override
    {
        const qint64 count = qBound<qint64>(0, m_bytes.size() - at, size);
        if (count > 0)
            std::memcpy(into, m_bytes.constData() + at, size_t(count));
        return count;
    }

private:
    QByteArray m_bytes;
};

// The part of a journal that a reader has in hand, moved along the file as it reads.
class Piece {
public:
    explicit Piece(const JournalText& text)
        : m_text(text)
    {
    }
    // Holds the bytes from `at` on, `want` of them where the text has them; false on a read
    // error. What is held from `at` on already is kept, the rest read.
    bool hold(qint64 at, qint64 want)
    {
        const qint64 end = m_start + m_bytes.size();
        if (at >= m_start && (at + want <= end || end >= m_text.size()))
            return true;
        const qint64 kept = at >= m_start && at < end ? end - at : 0;
        if (kept > 0)
            std::memmove(m_bytes.data(), m_bytes.constData() + (at - m_start), size_t(kept));
        m_bytes.resize(qMax(want, PieceSize));
        const qint64 got = m_text.readAt(at + kept, m_bytes.data() + kept, m_bytes.size() - kept);
        m_bytes.resize(kept + qMax<qint64>(got, 0));
        m_start = at;
        return got >= 0;
    }
    const QByteArray& bytes() const { return m_bytes; }
    qint64 start() const { return m_start; }
    qint64 end() const { return m_start + m_bytes.size(); }
    bool atEnd() const { return end() >= m_text.size(); }

private:
    const JournalText& m_text;
    QByteArray m_bytes;
    qint64 m_start = 0;
};

// Whether `path` lies below the folder `folder` (absolute paths, as bytes).
bool isBelow(const QByteArray& path, const QByteArray& folder)
{
    return path.size() > folder.size() && path.startsWith(folder)
        && (folder.endsWith('/') || path.at(folder.size()) == '/');
}

// Whether two names or paths differ in the letter case of their letters only.
bool sameButCase(const QByteArray& a, const QByteArray& b)
{
    return DecodeName(a).toCaseFolded() == DecodeName(b).toCaseFolded();
}

// How a line of the journal reads at `at`.
enum class Line { Whole, Zeros, Torn, TooLong };

// Reads the record at `at` (its fields view the piece, until it moves), with where the
// next line starts in `next`; or says why there is none: zeros (`next` then after them),
// a torn record, or a line too long for a record.
Line readLine(Piece& piece, qint64 at, std::optional<Record>& record, qint64& next)
{
    record.reset();
    if (!piece.hold(at, LongestRecord + 1))
        return Line::Torn;
    // Whether the piece holds more than a record's length: the same whatever it held before.
    const qsizetype line = piece.bytes().indexOf('\n', at - piece.start());
    const bool tooLong = line < 0 ? !piece.atEnd() : piece.start() + line - at > LongestRecord;
    if (line >= 0 && !tooLong && (record = ReadRecord(piece.bytes(), at - piece.start(), &next))) {
        next += piece.start();
        return Line::Whole;
    }
    // Not whole: zeros when a NUL comes before the line's end, or the file's.
    for (qint64 from = at;; from = piece.end()) {
        if (!piece.hold(from, 1) || piece.end() <= from)
            return Line::Torn;
        const char* begin = piece.bytes().constData() + (from - piece.start());
        const char* end = piece.bytes().constData() + piece.bytes().size();
        const char* stop = std::find_if(begin, end, [](char c) { return c == '\0' || c == '\n'; });
        if (stop == end)
            continue;
        if (*stop == '\n')
            return tooLong ? Line::TooLong : Line::Torn;
        next = piece.start() + (stop - piece.bytes().constData());
        break;
    }
    for (;;) {
        if (!piece.hold(next, 1) || piece.end() <= next)
            return Line::Zeros;
        const char* begin = piece.bytes().constData() + (next - piece.start());
        const char* end = piece.bytes().constData() + piece.bytes().size();
        const char* other = std::find_if(begin, end, [](char c) { return c != '\0'; });
        next += other - begin;
        if (other != end)
            return Line::Zeros;
    }
}

} // namespace

JournalReader::JournalReader(std::unique_ptr<const JournalText> text)
    : m_text(std::move(text))
{
    read();
}

JournalReader::JournalReader(QByteArray text)
    : m_text(std::make_unique<BytesText>(std::move(text)))
{
    read();
}

JournalHead JournalReader::HeadOf(const RecordFields& h)
{
    JournalHead head;
    head.kind = QString::fromLatin1(h[1]);
    head.startFolder = FieldName(h[2]);
    head.options.style = CaseStyle(h[3].toInt());
    head.options.renameFile = h[4] == "1";
    head.options.renameFolder = h[5] == "1";
    head.includeSubfolders = h[6] == "1";
    head.made = QString::fromLatin1(h[7]);
    head.group = QString::fromLatin1(h[8]);
    // Journals of earlier versions end before these: both options were off.
    head.options.keepExtension = h[9] == "1";
    head.options.keepCapitals = h[10] == "1";
    return head;
}

std::optional<JournalHead> JournalReader::ReadHead(const JournalText& text)
{
    // A head holds one path: escaped, three bytes for each of a long path's at most.
    QByteArray first(qMin<qint64>(text.size(), 64 * 1024), Qt::Uninitialized);
    first.resize(qMax<qint64>(text.readAt(0, first.data(), first.size()), 0));
    qint64 next = 0;
    const std::optional<Record> head = ReadRecord(first, 0, &next);
    if (!head || !head->isKnown() || head->kind() != RecordKind::Head
        || head->fields[0].toInt() != JournalFormatVersion)
        return std::nullopt;
    return HeadOf(head->fields);
}

void JournalReader::read()
{
    Piece piece(*m_text);
    std::optional<Record> head;
    qint64 at = 0, next = 0;
    if (readLine(piece, at, head, next) != Line::Whole || !head->isKnown() || head->kind() != RecordKind::Head
        || head->fields[0].toInt() != JournalFormatVersion)
        return;
    const RecordFields& h = head->fields;
    m_valid = true;
    m_whole = next;
    m_head = HeadOf(h);
    QByteArray start = FieldBytes(h[2]);
    // Each writer's folder and its last rename, whose fate is known once any later record
    // of the writer follows it.
    struct Writer {
        qint32 folder = -1;
        qint64 last = -1;
        qint64 temporary = -1; // the record of the hidden name its last rename passed through
    };
    QHash<int, Writer> writers;
    const auto settle = [this](Writer& writer) {
        if (writer.last >= 0 && m_entries[size_t(writer.last)].state == State::Unknown)
            m_entries[size_t(writer.last)].state = State::Done;
    };
    std::optional<Record> record;
    for (at = next; at < m_text->size(); at = next) {
        const Line line = readLine(piece, at, record, next);
        // Zeros: space reserved ahead, or a record whose copy a crash cut short while
        // other writers' records were placed after it. Those count.
        if (line == Line::Zeros)
            continue;
        if (line == Line::Torn)
            break; // nothing after it counts
        if (line == Line::TooLong) {
            m_whole = m_text->size(); // none of this version's: read no further, and keep it
            break;
        }
        m_whole = next;
        const RecordFields& f = record->fields;
        Writer& writer = writers[qMax(record->writer, 0)];
        bool known = record->isKnown();
        switch (known ? record->kind() : RecordKind::Head) {
        case RecordKind::Rename:
            known = writer.folder >= 0;
            if (known && m_folders[size_t(writer.folder)].outside) {
                // Only the start folder, or a folder above it, is renamed from outside it.
                const QByteArray& holder = m_folders[size_t(writer.folder)].path;
                const QByteArray renamed = holder + (holder.endsWith('/') ? "" : "/") + FieldBytes(f[0]);
                m_leavesTree |=
                    !sameButCase(FieldBytes(f[0]), FieldBytes(f[1])) || (renamed != start && !isBelow(start, renamed));
            }
            if (known) {
                settle(writer);
                writer.last = qint64(m_entries.size());
                writer.temporary = -1;
                m_entries.push_back({at, writer.folder, 0, quint16(record->writer), State::Unknown, false,
                                     FieldHint(f[0]), FieldHint(f[1])});
            }
            break;
        case RecordKind::Folder:
        case RecordKind::OutsideFolder:
            settle(writer);
            m_folders.push_back(
                {FieldBytes(f[0]), record->kind() == RecordKind::OutsideFolder, start, f.value(1).toLongLong()});
            m_leavesTree |= m_folders.back().outside && !isBelow(start, m_folders.back().path);
            writer.folder = qint32(m_folders.size() - 1);
            break;
        case RecordKind::StartFolderMoved:
            settle(writer);
            m_leavesTree |= !sameButCase(FieldBytes(f[0]), start);
            start = FieldBytes(f[0]);
            break;
        case RecordKind::Temporary:
            known = writer.last >= 0;
            if (known)
                writer.temporary = at;
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
                m_undoSteps.erase(index);
            }
            break;
        case RecordKind::UndoTemporary:
            if (const qint64 index = f[0].toLongLong(); index >= 0 && index < qint64(m_entries.size()))
                m_undoSteps[index] = at;
            break;
        case RecordKind::WholeRunUndone: m_undone = true; break;
        case RecordKind::Head: known = false; break; // only the first record is a head
        }
        if (!known) {
            m_whole = m_text->size(); // a record this version does not know: read no further,
            break; // and keep it
        }
    }
    for (const Writer& writer : std::as_const(writers))
        if (writer.temporary >= 0 && m_entries[size_t(writer.last)].state == State::Unknown)
            m_renameSteps.emplace(writer.last, writer.temporary);
    m_finalStart = DecodeName(start);
}

quint64 JournalReader::NextId()
{
    static std::atomic<quint64> last = 0;
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

Record JournalReader::recordAt(qint64 at, QByteArray& buffer) const
{
    // Records are read back near each other (an undo goes newest first, and a folder's
    // records stand together): each thread keeps the last block of text it read, so that
    // a record costs no read of its own. A block is never changed once read, so a record
    // read from it stays valid after the block is replaced.
    struct Block {
        quint64 reader = 0;
        qint64 from = 0;
        QByteArray bytes;
    };
    thread_local Block block;
    constexpr qint64 BlockSize = 1 << 16, After = 4096; // of the block, read past the record
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (block.reader == m_id && at >= block.from && at < block.from + block.bytes.size()) {
            buffer = block.bytes;
            if (std::optional<Record> record = ReadRecord(buffer, at - block.from, nullptr, true))
                return *record;
        }
        if (attempt == 0) {
            const qint64 from = qMax<qint64>(0, at + After - BlockSize);
            QByteArray bytes(qMin(BlockSize, m_whole - from), Qt::Uninitialized);
            const qint64 got = bytes.isEmpty() ? 0 : m_text->readAt(from, bytes.data(), bytes.size());
            bytes.resize(qMax<qint64>(got, 0));
            block = {m_id, from, std::move(bytes)};
        }
    }
    // Longer than a block holds past it: read alone. Most records are shorter than a first try.
    for (qint64 want = 512;; want = LongestRecord + 1) {
        buffer.resize(want);
        const qint64 got = m_text->readAt(at, buffer.data(), want);
        buffer.resize(qMax<qint64>(got, 0));
        if (std::optional<Record> record = ReadRecord(buffer, 0, nullptr, true))
            return *record;
        if (got < want || want > LongestRecord)
            return {};
    }
}

JournalReader::Rename JournalReader::rename(const Entry& entry) const
{
    QByteArray buffer;
    const RecordFields f = recordAt(entry.record, buffer).fields;
    Rename r;
    r.oldName = FieldBytes(f[0]);
    r.newName = FieldBytes(f[1]);
    r.identity = {f[2].toULongLong(nullptr, 16), f[3].toULongLong(nullptr, 16), f[4].toLongLong()};
    r.bornBy = m_folders[size_t(entry.folder)].listedBy;
    return r;
}

std::pair<QByteArray, QByteArray> JournalReader::nameBytes(const Entry& entry) const
{
    QByteArray buffer;
    const RecordFields f = recordAt(entry.record, buffer).fields;
    return {FieldBytes(f[0]), FieldBytes(f[1])};
}

std::vector<qint64> JournalReader::keysOf(const std::map<qint64, qint64>& steps)
{
    std::vector<qint64> keys;
    keys.reserve(steps.size());
    for (const auto& [index, at] : steps)
        keys.push_back(index);
    return keys;
}

static_assert(sizeof(JournalReader::Entry) <= 24, "an entry is kept for every rename of a run");

QByteArray JournalReader::temporaryName(qint64 index) const
{
    return stepName(m_renameSteps, index, 0);
}

QByteArray JournalReader::undoTemporaryName(qint64 index) const
{
    return stepName(m_undoSteps, index, 1);
}

QByteArray JournalReader::stepName(const std::map<qint64, qint64>& steps, qint64 index, int field) const
{
    const auto it = steps.find(index);
    if (it == steps.end())
        return {};
    QByteArray buffer;
    return FieldBytes(recordAt(it->second, buffer).fields[field]);
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

QString RunIdOf(const JournalHead& head, const QString& name)
{
    return head.group.isEmpty() ? RunIdOfJournal(name) : head.group;
}

QString RunIdOf(const JournalFiles& files, const QString& name)
{
    const std::unique_ptr<JournalText> text = files.openToRead(name);
    const std::optional<JournalHead> head = text ? JournalReader::ReadHead(*text) : std::nullopt;
    return head ? RunIdOf(*head, name) : RunIdOfJournal(name);
}

} // namespace orvel
