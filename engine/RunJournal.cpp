#include "engine/RunJournal.h"

#include "platform/JournalStore.h"
#include "platform/NameCodec.h"

#include <QDateTime>
#include <QHash>

#include <atomic>
#include <mutex>

#include <array>
#include <charconv>
#include <ctime>
#include <zlib.h>

namespace orvel {

namespace {

constexpr int FormatVersion = 1;
constexpr qint64 SyncIntervalMs = 1000;

bool isUnreserved(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.'
        || c == u'_' || c == u'~';
}

constexpr char kHex[] = "0123456789ABCDEF";

// Writes `byte` at `out`, escaped when it is not unreserved; returns the end.
char* putByte(char* out, unsigned char byte)
{
    if (isUnreserved(byte)) {
        *out++ = char(byte);
    } else {
        *out++ = '%';
        *out++ = kHex[byte >> 4];
        *out++ = kHex[byte & 15];
    }
    return out;
}

// Every field is percent-encoded: names are bytes, and no byte of one (a tab, a line
// feed, a NUL) can be taken for the record's own punctuation. Written straight into the
// line's room: this runs twice for each name a run renames.
void putField(QByteArray& line, QStringView text)
{
    const qsizetype at = line.size();
    const char16_t* units = text.utf16();
    bool ascii = true;
    for (qsizetype i = 0; i < text.size() && ascii; ++i)
        ascii = units[i] < 0x80;
    // Beyond ASCII: the name's bytes, as the disk holds them.
    const QByteArray bytes = ascii ? QByteArray() : EncodeName(text.toString());
    const qsizetype count = ascii ? text.size() : bytes.size();
    line.resize(at + 3 * count); // the most it can take
    char* out = line.data() + at;
    for (qsizetype i = 0; i < count; ++i)
        out = putByte(out, ascii ? uchar(units[i]) : uchar(bytes[i]));
    line.resize(out - line.constData());
}

QByteArray field(const QString& text)
{
    QByteArray out;
    putField(out, text);
    return out;
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

// A number written straight into the line, in base 10 or 16.
template <typename Number>
void putNumber(QByteArray& line, Number value, int base = 10)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, base).ptr;
    line.append(digits, end - digits);
}

quint32 checksum(QByteArrayView bytes)
{
    return quint32(::crc32(::crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

// Ends the record that starts at `from` in `line`: a checksum of its fields, so that a
// record that a power cut left half written (or filled with zeros) is seen as such.
void endRecord(QByteArray& line, qsizetype from)
{
    static constexpr char hex[] = "0123456789abcdef";
    const quint32 sum = checksum(QByteArrayView(line).sliced(from));
    char end[10] = {'\t'};
    for (int i = 0; i < 8; ++i)
        end[8 - i] = hex[(sum >> (4 * i)) & 15];
    end[9] = '\n';
    line.append(end, sizeof end);
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

qint64 nowNs()
{
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

QByteArray unfield(QByteArrayView bytes)
{
    return QByteArray::fromPercentEncoding(bytes.toByteArray());
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
    // Eight digits of CRC-32; journals of earlier versions have four of CRC-16.
    const QByteArrayView digits = line.sliced(cut + 1);
    bool ok = checked;
    const uint sum = checked ? 0 : digits.toUInt(&ok, 16);
    if (!ok
        || (!checked
            && (digits.size() == 8 ? sum != checksum(line.first(cut))
                                   : digits.size() != 4 || sum != qChecksum(line.first(cut)))))
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
    JournalStore& store;
    JournalHead head;
    std::function<void(const QString&)> failed;
    std::mutex making; // over making the file and writing its head
    std::unique_ptr<JournalFile> file; // made at the first rename of any lane
    std::atomic<JournalFile*> ready = nullptr; // the file, once its head is in it
    std::atomic<qint64> nextSync = 0; // when a lane next waits for the disk
    std::atomic<bool> broken = false;
};

RunJournal::RunJournal(JournalStore& store, JournalHead head, std::function<void(const QString&)> failed)
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

QByteArray RunJournal::tag(char letter) const
{
    return letter + m_lane;
}

void RunJournal::inFolder(const QString& relative)
{
    // With the time: whatever its files' listing found was born before it.
    m_folder = record({tag('D'), field(relative), number(nowNs())});
}

void RunJournal::inOutsideFolder(const QString& path)
{
    m_folder = record({tag('P'), field(path)});
}

void RunJournal::startFolderMoved(const QString& path)
{
    // At once: every lane's folders from here on lie below the new path.
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
    const qsizetype from = line.size();
    line += 'R';
    line += m_lane;
    line += '\t';
    putField(line, oldName);
    line += '\t';
    putField(line, newName);
    line += '\t';
    putNumber(line, identity.device, 16);
    line += '\t';
    putNumber(line, identity.inode, 16);
    line += '\t';
    putNumber(line, identity.born);
    endRecord(line, from);
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
}

void RunJournal::finish(bool stopped)
{
    Shared& s = *m_shared;
    if (!s.file || isBroken())
        return;
    m_pending += RunEndedRecord(stopped ? QStringLiteral("stopped") : QStringLiteral("done"));
    write(); // every lane is done: nothing appends any more
    if (isBroken())
        return;
    if (const int error = s.file->finish()) {
        fail(ErrorText(error));
        return;
    }
    s.store.seal(s.file->name());
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
            s.nextSync = nowNs() + SyncIntervalMs * 1000000;
            s.ready.store(s.file.get(), std::memory_order_release);
            return;
        }
        if (!file)
            return;
    }
    if (const int error = file->append(m_pending)) {
        fail(ErrorText(error));
        return;
    }
    m_pending.resize(0); // keeps its room for the next record
    // Once a second, one lane waits for the disk; the others go on appending.
    const qint64 now = nowNs();
    qint64 due = s.nextSync.load(std::memory_order_relaxed);
    if (now >= due && s.nextSync.compare_exchange_strong(due, now + SyncIntervalMs * 1000000))
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
    m_head.startFolder = DecodeName(unfield(f[3]));
    m_head.options.style = CaseStyle(f[4].toInt());
    m_head.options.renameFile = f[5] == "1";
    m_head.options.renameFolder = f[6] == "1";
    m_head.includeSubfolders = f[7] == "1";
    QByteArray start = unfield(f[3]);
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
    r.oldName = DecodeName(unfield(f.value(1)));
    r.newName = DecodeName(unfield(f.value(2)));
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
