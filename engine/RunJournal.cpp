#include "engine/RunJournal.h"

#include "platform/JournalFiles.h"
#include "platform/NameCodec.h"

#include <QDateTime>
#include <QHash>

#include <atomic>
#include <mutex>

#include <array>
#include <charconv>
#include <ctime>
#include <zlib.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace orvel {

namespace {

constexpr int FormatVersion = 1;
constexpr qint64 SyncIntervalNs = 1000000000;
constexpr qint64 MostRoom = 4096; // that a lane takes ahead for its records

// The bytes that stand for themselves in a field: printable ASCII but the escape's own
// '%'. The rest is escaped: the record's tab and line feed, NUL (which reading takes for
// unwritten room), the other controls, and every byte beyond ASCII, so that a journal
// stays text whatever the names' bytes.
constexpr std::array<bool, 256> Unreserved = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[size_t(c)] = c != '%';
    return plain;
}();

constexpr char kHex[] = "0123456789ABCDEF";

// Writes `byte` at `out`, escaped when it is not unreserved; returns the end.
char* putByte(char* out, unsigned char byte)
{
    if (Unreserved[byte]) {
        *out++ = char(byte);
    } else {
        *out++ = '%';
        *out++ = kHex[byte >> 4];
        *out++ = kHex[byte & 15];
    }
    return out;
}

// The most room a field of `text` takes: a unit is at most three bytes on the disk,
// and an escaped byte three characters.
qsizetype fieldRoom(QStringView text)
{
    return 9 * text.size();
}

// Every field is percent-encoded: names are bytes, and no byte of one (a tab, a line
// feed, a NUL) can be taken for the record's own punctuation. Written at `out`, which
// has `fieldRoom` for it; returns the end. This runs twice for each name a run renames.
char* putField(char* out, QStringView text)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    qsizetype i = 0;
    for (; i < size && units[i] < 0x80; ++i)
        out = putByte(out, uchar(units[i]));
    if (i == size)
        return out;
    // Beyond ASCII: the rest of the name's bytes, as the disk holds them. What came
    // before is ASCII, the same bytes in any encoding the names may have.
    const QByteArray bytes = EncodeName(text.toString());
    for (qsizetype b = i; b < bytes.size(); ++b)
        out = putByte(out, uchar(bytes[b]));
    return out;
}

QByteArray field(QStringView text)
{
    QByteArray out(fieldRoom(text), Qt::Uninitialized);
    out.truncate(putField(out.data(), text) - out.constData());
    return out;
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

// A number written at `out`, in base 10 or 16; returns the end. Room: 20 characters.
template <typename Number>
char* putNumber(char* out, Number value, int base = 10)
{
    return std::to_chars(out, out + 20, value, base).ptr;
}

template <typename Number>
void putNumber(QByteArray& line, Number value, int base = 10)
{
    char digits[20];
    line.append(digits, putNumber(digits, value, base) - digits);
}

constexpr qsizetype ChecksumRoom = 18; // a tab, sixteen digits and the line's end

// Ends the record that starts at `from` and ends at `end`: a checksum of its fields, so
// that a record that a power cut left half written (or filled with zeros) is seen as
// such. XXH3, for its speed: a run writes a record for every name it renames.
char* endRecord(const char* from, char* end)
{
    static constexpr char hex[] = "0123456789abcdef";
    const quint64 sum = XXH3_64bits(from, size_t(end - from));
    *end = '\t';
    for (int i = 0; i < 16; ++i)
        end[16 - i] = hex[(sum >> (4 * i)) & 15];
    end[17] = '\n';
    return end + ChecksumRoom;
}

void endRecord(QByteArray& line, qsizetype from)
{
    const qsizetype end = line.size();
    line.resize(end + ChecksumRoom);
    endRecord(line.constData() + from, line.data() + end);
}

// Whether `digits` are the checksum of `fields`: sixteen digits of XXH3; journals of
// earlier versions have eight of CRC-32 or four of CRC-16.
bool checksumFits(QByteArrayView fields, QByteArrayView digits)
{
    bool ok = false;
    const quint64 sum = digits.toULongLong(&ok, 16);
    if (!ok)
        return false;
    switch (digits.size()) {
    case 16: return sum == XXH3_64bits(fields.data(), size_t(fields.size()));
    case 8:
        return sum
            == ::crc32(::crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(fields.data()), uInt(fields.size()));
    case 4: return sum == qChecksum(fields);
    default: return false;
    }
}

QByteArray record(std::initializer_list<QByteArray> fields)
{
    QByteArray line;
    for (const QByteArray& f : fields) {
        if (!line.isEmpty())
            line += '\t';
        line += f;
    }
    endRecord(line, 0);
    return line;
}

// Nanoseconds on `clock`. Whether a second has passed is asked at every record: the
// coarse clock answers that without reading the processor's counter.
qint64 clockNs(clockid_t clock = CLOCK_REALTIME)
{
    struct timespec now {};
    ::clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Undoes the escapes of a field into `out`, which has room for the field; returns the end.
char* unfield(QByteArrayView field, char* out)
{
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'  ? c - 'a' + 10
            : c >= 'A' && c <= 'F'  ? c - 'A' + 10
                                    : -1;
    };
    for (qsizetype i = 0; i < field.size(); ++i) {
        const int high = field[i] == '%' && i + 2 < field.size() ? hex(field[i + 1]) : -1;
        const int low = high >= 0 ? hex(field[i + 2]) : -1;
        if (low >= 0) {
            *out++ = char(high * 16 + low);
            i += 2;
        } else {
            *out++ = field[i];
        }
    }
    return out;
}

QByteArray unfield(QByteArrayView field)
{
    QByteArray bytes(field.size(), Qt::Uninitialized);
    bytes.truncate(unfield(field, bytes.data()) - bytes.constData());
    return bytes;
}

// A name field as text: read for every entry an undo takes back, without a copy of its
// bytes on the heap.
QString unfieldName(QByteArrayView field)
{
    std::array<char, 1024> room;
    if (field.size() > qsizetype(room.size()))
        return DecodeName(unfield(field));
    return DecodeName(QByteArrayView(room.data(), unfield(field, room.data()) - room.data()));
}

// A record's fields, where they stand in the text; never more than a record has.
class Fields {
public:
    // One more than any record of this version has, for a record of more fields.
    qsizetype size() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    QByteArrayView operator[](qsizetype i) const { return value(i); }
    QByteArrayView value(qsizetype i) const
    {
        return i < qsizetype(m_fields.size()) ? m_fields[size_t(i)] : QByteArrayView();
    }
    void add(QByteArrayView field)
    {
        if (m_count < qsizetype(m_fields.size()))
            m_fields[size_t(m_count)] = field;
        m_count = qMin(m_count + 1, qsizetype(m_fields.size()) + 1);
    }

private:
    std::array<QByteArrayView, 12> m_fields;
    qsizetype m_count = 0;
};

// The fields of the record that starts at `from`, without its checksum; empty when it
// is no whole record. A record read once is not checked again (`checked`).
Fields fieldsAt(const QByteArray& text, qint64 from, qint64* next, bool checked = false)
{
    const qint64 end = text.indexOf('\n', from);
    if (end < 0)
        return {};
    const QByteArrayView line(text.constData() + from, end - from);
    const qsizetype cut = line.lastIndexOf('\t');
    if (cut < 0)
        return {};
    if (!checked && !checksumFits(line.first(cut), line.sliced(cut + 1)))
        return {};
    if (next)
        *next = end + 1;
    Fields fields;
    qsizetype start = 0;
    for (;;) {
        const qsizetype tab = line.first(cut).indexOf('\t', start);
        if (tab < 0) {
            fields.add(line.sliced(start, cut - start));
            break;
        }
        fields.add(line.sliced(start, tab - start));
        start = tab + 1;
    }
    return fields;
}

} // namespace

// ---------------------------------------------------------------- writing

// What the lanes of one journal share: its file, which they append to at once.
struct RunJournal::Shared {
    Shared(JournalFiles& store, JournalHead head, std::function<void(const QString&)> failed)
        : store(store)
        , head(std::move(head))
        , failed(std::move(failed))
    {
    }

    JournalFiles& store;
    JournalHead head;
    std::function<void(const QString&)> failed;
    std::mutex making; // over making the file and writing its head
    std::unique_ptr<JournalFile> file; // made at the first rename of any lane
    std::atomic<JournalFile*> ready = nullptr; // the file, once its head is in it
    std::atomic<qint64> nextSync = 0; // when a lane next waits for the disk
    std::atomic<bool> broken = false;
    std::atomic<bool> anyDone = false; // a rename went through
    bool sealed = false;
};

RunJournal::RunJournal(JournalFiles& store, JournalHead head, std::function<void(const QString&)> failed)
    : m_shared(std::make_shared<Shared>(store, std::move(head), std::move(failed)))
{
}

RunJournal::RunJournal(const RunJournal& first, int lane)
    : m_shared(first.m_shared)
    , m_lane(lane == 0 ? QByteArray() : QByteArray::number(lane))
{
}

RunJournal::~RunJournal() = default;

bool RunJournal::isBroken() const
{
    return m_shared->broken.load(std::memory_order_relaxed);
}

bool RunJournal::holdsUndoableRename() const
{
    return m_shared->sealed && m_shared->anyDone && !isBroken();
}

QByteArray RunJournal::tag(char letter) const
{
    return letter + m_lane;
}

void RunJournal::leaveRoom()
{
    m_roomEnd = m_roomAt;
    m_inFolder = 0;
}

void RunJournal::inFolder(const QString& relative)
{
    // A folder's renames come after the rename of the folder's own name, which another
    // lane may have written: the undo takes them back in the file's order.
    leaveRoom();
    // With the time: whatever its files' listing found was born before it.
    m_folder = record({tag('D'), field(relative), number(clockNs())});
}

void RunJournal::inOutsideFolder(const QString& path)
{
    leaveRoom();
    m_folder = record({tag('P'), field(path)});
}

void RunJournal::startFolderMoved(const QString& path)
{
    // At once: every lane's folders from here on lie below the new path.
    leaveRoom();
    m_pending += record({tag('B'), field(path)});
    write();
}

void RunJournal::willRename(const QString& oldName, const QString& newName, const EntryIdentity& identity)
{
    if (isBroken())
        return;
    QByteArray& line = m_pending;
    line += m_folder;
    m_folder.resize(0);
    // Written into room claimed once: this is the record of every name a run renames.
    // Its tag, its two names, five tabs, three numbers and the checksum.
    const qsizetype from = line.size();
    line.resize(from + 1 + m_lane.size() + fieldRoom(oldName) + fieldRoom(newName) + 5 + 3 * 20 + ChecksumRoom);
    char* const start = line.data() + from;
    char* out = start;
    *out++ = 'R';
    out = std::copy(m_lane.cbegin(), m_lane.cend(), out);
    *out++ = '\t';
    out = putField(out, oldName);
    *out++ = '\t';
    out = putField(out, newName);
    *out++ = '\t';
    out = putNumber(out, identity.device, 16);
    *out++ = '\t';
    out = putNumber(out, identity.inode, 16);
    *out++ = '\t';
    out = putNumber(out, identity.born);
    line.resize(endRecord(start, out) - line.constData());
    write();
}

void RunJournal::willPassThrough(const QString& temporaryName)
{
    m_pending += record({tag('T'), field(temporaryName)});
    write();
}

void RunJournal::renamed(int error)
{
    // A rename that went through needs no record: the lane's next one, or the end, says so.
    if (error != 0 && !isBroken())
        m_pending += FailedRecord(error, m_lane);
    else if (error == 0 && !m_shared->anyDone.load(std::memory_order_relaxed))
        m_shared->anyDone = true; // once: the lanes do not write to one line at every rename
}

void RunJournal::finish(bool stopped)
{
    Shared& s = *m_shared;
    if (!s.file || isBroken())
        return;
    leaveRoom();
    m_pending += RunEndedRecord(stopped ? QStringLiteral("stopped") : QStringLiteral("done"));
    write(); // every lane is done: nothing appends any more
    if (isBroken())
        return;
    if (const int error = s.file->finish()) {
        fail(ErrorText(error));
        return;
    }
    s.store.seal(s.file->name());
    s.sealed = true;
    // Only the newest runs are kept: the oldest go once this one is whole, not while
    // its renames wait for their records.
    const QStringList names = s.store.names();
    for (qsizetype i = 0; i + KeptJournals < names.size(); ++i)
        if (!s.store.inUse(names[i]))
            s.store.remove(names[i]);
}

void RunJournal::write()
{
    Shared& s = *m_shared;
    if (isBroken())
        return;
    JournalFile* file = s.ready.load(std::memory_order_acquire);
    if (!file) {
        const std::lock_guard guard(s.making);
        file = s.ready.load(std::memory_order_relaxed);
        if (!file && !isBroken()) { // this lane's records follow the head
            QString error;
            s.file = s.store.create(&error);
            if (!s.file) {
                fail(error);
                return;
            }
            const RunOptions& o = s.head.options;
            m_pending.prepend(record({"H", number(FormatVersion), s.head.kind.toLatin1(), field(s.head.startFolder),
                                      number(int(o.style)), number(o.renameFile), number(o.renameFolder),
                                      number(s.head.includeSubfolders),
                                      QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1()}));
            if (const int error = s.file->append(m_pending)) {
                fail(ErrorText(error));
                return;
            }
            m_pending.resize(0);
            s.nextSync = clockNs(CLOCK_MONOTONIC_COARSE) + SyncIntervalNs;
            s.ready.store(s.file.get(), std::memory_order_release);
            return;
        }
        if (!file)
            return;
    }
    // Each lane writes in room of its own, taken ahead: the lanes seldom wait for each
    // other to take their places, and never write to the same page. Room grows with
    // the records of the lane's folder, so that a folder of few names leaves little of
    // it unwritten when the lane moves on.
    const qint64 size = m_pending.size();
    if (m_roomEnd - m_roomAt < size) {
        const qint64 room = std::max(size, std::min(m_inFolder, MostRoom));
        m_roomAt = file->reserve(room);
        m_roomEnd = m_roomAt + room;
    }
    if (const int error = file->write(m_roomAt, m_pending)) {
        fail(ErrorText(error));
        return;
    }
    m_roomAt += size;
    m_inFolder += size;
    m_pending.resize(0); // keeps its room for the next record
    // Once a second, one lane waits for the disk; the others go on appending.
    const qint64 now = clockNs(CLOCK_MONOTONIC_COARSE);
    qint64 due = s.nextSync.load(std::memory_order_relaxed);
    if (now >= due && s.nextSync.compare_exchange_strong(due, now + SyncIntervalNs))
        if (const int error = file->sync())
            fail(ErrorText(error));
}

// Once, on whichever lane fails first.
void RunJournal::fail(const QString& reason)
{
    m_pending.clear();
    if (m_shared->broken.exchange(true))
        return;
    if (m_shared->failed)
        m_shared->failed(reason);
}

void AppendUndoneRecord(QByteArray& records, qint64 entry, int error)
{
    const qsizetype from = records.size();
    records += "U\t";
    putNumber(records, entry);
    records += '\t';
    putNumber(records, error);
    endRecord(records, from);
}

QByteArray WholeRunUndoneRecord()
{
    return record({"X"});
}

QByteArray RunEndedRecord(const QString& how)
{
    return record({"E", how.toLatin1()});
}

QByteArray FailedRecord(int error, const QByteArray& lane)
{
    return record({'F' + lane, number(error)});
}

QByteArray CompletedRecord(const QByteArray& lane)
{
    return record({'C' + lane});
}

// ---------------------------------------------------------------- reading

JournalContent::JournalContent(QByteArray text)
    : m_text(std::move(text))
{
    qint64 at = 0, next = 0;
    Fields f = fieldsAt(m_text, at, &next);
    if (f.size() < 8 || f[0] != "H" || f[1].toInt() != FormatVersion)
        return;
    m_valid = true;
    m_whole = next;
    m_head.kind = QString::fromLatin1(f[2]);
    QByteArray start = unfield(f[3]);
    m_head.startFolder = DecodeName(start);
    m_head.options.style = CaseStyle(f[4].toInt());
    m_head.options.renameFile = f[5] == "1";
    m_head.options.renameFolder = f[6] == "1";
    m_head.includeSubfolders = f[7] == "1";
    // Each lane's folder and its last rename, whose fate is known once any later record
    // of the lane follows it.
    struct Lane {
        qint32 folder = -1;
        qint64 last = -1;
    };
    QHash<int, Lane> lanes;
    const auto settle = [this](Lane& lane) {
        if (lane.last >= 0 && m_entries[size_t(lane.last)].state == State::Unknown)
            m_entries[size_t(lane.last)].state = State::Done;
    };
    for (at = next; at < m_text.size(); at = next) {
        f = fieldsAt(m_text, at, &next);
        if (f.isEmpty()) {
            // Zeros: room claimed ahead, or a record whose copy a crash cut short while
            // other lanes' records were placed after it. Those count.
            const qsizetype zero = m_text.indexOf('\0', at);
            const qsizetype line = m_text.indexOf('\n', at);
            if (zero < 0 || (line >= 0 && line < zero))
                break; // torn: nothing after it counts
            for (next = zero; next < m_text.size() && m_text[next] == '\0';)
                ++next;
            continue;
        }
        m_whole = next;
        const char letter = f[0].isEmpty() ? '\0' : f[0][0];
        bool plain = f[0].size() == 1;
        const int number = plain ? 0 : f[0].sliced(1).toInt(&plain);
        if (f[0].size() > 1 && (!plain || number <= 0)) {
            m_whole = m_text.size(); // a record this version does not know: read no further,
            break; // and keep it
        }
        Lane& lane = lanes[number];
        const qsizetype n = f.size();
        if (letter == 'R' && n == 6 && lane.folder >= 0) {
            settle(lane);
            lane.last = qint64(m_entries.size());
            m_entries.push_back({at, lane.folder, quint16(number)});
        } else if ((letter == 'D' && (n == 2 || n == 3)) || (letter == 'P' && n == 2)) {
            settle(lane);
            m_folders.push_back({unfield(f[1]), letter == 'P', start, f.value(2).toLongLong()});
            lane.folder = qint32(m_folders.size() - 1);
        } else if (letter == 'B' && n == 2) {
            settle(lane);
            start = unfield(f[1]);
        } else if (letter == 'T' && n == 2 && lane.last >= 0) {
            m_entries[size_t(lane.last)].temporary = at;
        } else if (letter == 'F' && n == 2 && lane.last >= 0) {
            m_entries[size_t(lane.last)].state = State::Failed;
            m_entries[size_t(lane.last)].error = f[1].toInt();
        } else if (letter == 'C' && n == 1) {
            settle(lane);
        } else if (f[0] == "E" && n == 2) {
            // After a crash the last renames' fate is for the disk to tell.
            if (f[1] != "crashed")
                for (Lane& each : lanes)
                    settle(each);
            m_ended = true;
        } else if (f[0] == "U" && n == 3) {
            const qint64 index = f[1].toLongLong();
            if (index >= 0 && index < qint64(m_entries.size()))
                m_entries[size_t(index)].undone = true;
        } else if (f[0] == "X" && n == 1) {
            m_undone = true;
        } else {
            m_whole = m_text.size(); // a record this version does not know: read no further,
            break; // and keep it
        }
    }
    m_finalStart = DecodeName(start);
}

JournalContent::Rename JournalContent::rename(const Entry& entry) const
{
    const Fields f = fieldsAt(m_text, entry.record, nullptr, true);
    Rename r;
    r.oldName = unfieldName(f.value(1));
    r.newName = unfieldName(f.value(2));
    r.identity = {f.value(3).toULongLong(nullptr, 16), f.value(4).toULongLong(nullptr, 16), f.value(5).toLongLong()};
    r.bornBy = m_folders[size_t(entry.folder)].listedBy;
    return r;
}

std::pair<QByteArray, QByteArray> JournalContent::nameBytes(const Entry& entry) const
{
    const Fields f = fieldsAt(m_text, entry.record, nullptr, true);
    return {unfield(f.value(1)), unfield(f.value(2))};
}

QString JournalContent::temporaryName(const Entry& entry) const
{
    if (entry.temporary < 0)
        return {};
    return DecodeName(unfield(fieldsAt(m_text, entry.temporary, nullptr, true).value(1)));
}

bool JournalContent::Rename::isEntry(const EntryIdentity& now) const
{
    if (now.device != identity.device || now.inode != identity.inode)
        return false;
    if (identity.born != 0)
        return now.born == identity.born;
    // Its number came from a listing: one born after that took the number of a deleted
    // file.
    return now.born == 0 || bornBy == 0 || now.born <= bornBy;
}

qint64 JournalContent::undoableCount() const
{
    if (m_undone)
        return 0;
    qint64 count = 0;
    for (const Entry& e : m_entries)
        count += !e.undone && e.state != State::Failed;
    return count;
}

} // namespace orvel
