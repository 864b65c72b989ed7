#include "engine/RunJournal.h"

#include "platform/JournalStore.h"
#include "platform/NameCodec.h"

#include <QDateTime>

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

void putEscaped(QByteArray& line, unsigned char byte)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const char escape[3] = {'%', hex[byte >> 4], hex[byte & 15]};
    line.append(escape, 3);
}

// Every field is percent-encoded: names are bytes, and no byte of one (a tab, a line
// feed, a NUL) can be taken for the record's own punctuation. Written straight into the
// line: this runs once for each name a run renames.
void putField(QByteArray& line, QStringView text)
{
    const char16_t* units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (units[i] >= 0x80) { // beyond ASCII: the name's bytes, as the disk holds them
            for (const char byte : EncodeName(text))
                isUnreserved(char16_t(uchar(byte))) ? void(line.append(byte)) : putEscaped(line, uchar(byte));
            return;
        }
    }
    for (qsizetype i = 0; i < text.size(); ++i)
        isUnreserved(units[i]) ? void(line.append(char(units[i]))) : putEscaped(line, uchar(units[i]));
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

// The fields of the record that starts at `from`, without its checksum; empty when it
// is no whole record.
QList<QByteArrayView> fieldsAt(const QByteArray& text, qint64 from, qint64* next)
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
    bool ok = false;
    const uint sum = digits.toUInt(&ok, 16);
    if (!ok
        || (digits.size() == 8 ? sum != checksum(line.first(cut))
                               : digits.size() != 4 || sum != qChecksum(line.first(cut))))
        return {};
    if (next)
        *next = end + 1;
    QList<QByteArrayView> fields;
    qsizetype start = 0;
    for (;;) {
        const qsizetype tab = line.first(cut).indexOf('\t', start);
        if (tab < 0) {
            fields << line.sliced(start, cut - start);
            break;
        }
        fields << line.sliced(start, tab - start);
        start = tab + 1;
    }
    return fields;
}

} // namespace

// ---------------------------------------------------------------- writing

RunJournal::RunJournal(JournalStore& store, JournalHead head, std::function<void(const QString&)> failed)
    : m_store(store)
    , m_head(std::move(head))
    , m_failed(std::move(failed))
{
}

RunJournal::~RunJournal() = default;

void RunJournal::inFolder(const QString& relative)
{
    // With the time: whatever its files' listing found was born before it.
    m_folder = record({"D", field(relative), number(nowNs())});
}

void RunJournal::inOutsideFolder(const QString& path)
{
    m_folder = record({"P", field(path)});
}

void RunJournal::startFolderMoved(const QString& path)
{
    m_pending += record({"B", field(path)});
}

void RunJournal::willRename(const QString& oldName, const QString& newName, const EntryIdentity& identity)
{
    if (m_broken)
        return;
    if (!m_file) {
        QString error;
        m_file = m_store.create(&error);
        if (!m_file) {
            fail(error);
            return;
        }
        m_sinceSync.start();
        const RunOptions& o = m_head.options;
        m_pending.prepend(
            record({"H", number(FormatVersion), m_head.kind.toLatin1(), field(m_head.startFolder), number(int(o.style)),
                    number(o.renameFile), number(o.renameFolder), number(m_head.includeSubfolders),
                    QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1()}));
        // Only the newest runs are kept.
        const QStringList names = m_store.names();
        for (qsizetype i = 0; i + KeptJournals < names.size(); ++i)
            if (!m_store.inUse(names[i]))
                m_store.remove(names[i]);
    }
    QByteArray& line = m_pending;
    line += m_folder;
    m_folder.resize(0);
    const qsizetype from = line.size();
    line += "R\t";
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
    m_pending += record({"T", field(temporaryName)});
    write();
}

void RunJournal::renamed(int error)
{
    // A rename that went through needs no record: the next one, or the end, says so.
    if (error != 0 && !m_broken)
        m_pending += FailedRecord(error);
}

void RunJournal::finish(bool stopped)
{
    if (!m_file || m_broken)
        return;
    m_pending += RunEndedRecord(stopped ? QStringLiteral("stopped") : QStringLiteral("done"));
    write();
    if (m_broken)
        return;
    if (const int error = m_file->finish())
        fail(ErrorText(error));
    else
        m_store.seal(m_file->name());
}

void RunJournal::write()
{
    if (m_broken || !m_file)
        return;
    if (const int error = m_file->append(m_pending)) {
        fail(ErrorText(error));
        return;
    }
    m_pending.resize(0); // keeps its room for the next record
    if (m_sinceSync.hasExpired(SyncIntervalMs)) {
        if (const int error = m_file->sync()) {
            fail(ErrorText(error));
            return;
        }
        m_sinceSync.restart();
    }
}

void RunJournal::fail(const QString& reason)
{
    m_broken = true;
    m_pending.clear();
    if (m_failed)
        m_failed(reason);
}

QByteArray UndoneRecord(qint64 entry, int error)
{
    return record({"U", number(entry), number(error)});
}

QByteArray WholeRunUndoneRecord()
{
    return record({"X"});
}

QByteArray RunEndedRecord(const QString& how)
{
    return record({"E", how.toLatin1()});
}

QByteArray FailedRecord(int error)
{
    return record({"F", number(error)});
}

QByteArray CompletedRecord()
{
    return record({"C"});
}

// ---------------------------------------------------------------- reading

JournalContent::JournalContent(QByteArray text)
    : m_text(std::move(text))
{
    qint64 at = 0, next = 0;
    QList<QByteArrayView> f = fieldsAt(m_text, at, &next);
    if (f.size() < 8 || f[0] != "H" || f[1].toInt() != FormatVersion)
        return;
    m_valid = true;
    m_whole = m_text.size();
    m_head.kind = QString::fromLatin1(f[2]);
    m_head.startFolder = DecodeName(unfield(f[3]));
    m_head.options.style = CaseStyle(f[4].toInt());
    m_head.options.renameFile = f[5] == "1";
    m_head.options.renameFolder = f[6] == "1";
    m_head.includeSubfolders = f[7] == "1";
    QByteArray start = unfield(f[3]);
    qint32 folder = -1;
    // The last rename's fate is known once any later record follows it.
    const auto settle = [this] {
        if (!m_entries.empty() && m_entries.back().state == State::Unknown)
            m_entries.back().state = State::Done;
    };
    for (at = next; at < m_text.size(); at = next) {
        f = fieldsAt(m_text, at, &next);
        if (f.isEmpty()) {
            m_whole = at;
            break; // torn: nothing after it counts
        }
        const QByteArrayView tag = f[0];
        if (tag == "R" && f.size() == 6 && folder >= 0) {
            settle();
            m_entries.push_back({at, folder});
        } else if (tag == "D" && (f.size() == 2 || f.size() == 3)) {
            settle();
            m_folders.push_back({unfield(f[1]), false, start, f.value(2).toLongLong()});
            folder = qint32(m_folders.size() - 1);
        } else if (tag == "P" && f.size() == 2) {
            settle();
            m_folders.push_back({unfield(f[1]), true, start});
            folder = qint32(m_folders.size() - 1);
        } else if (tag == "B" && f.size() == 2) {
            settle();
            start = unfield(f[1]);
        } else if (tag == "T" && f.size() == 2 && !m_entries.empty()) {
            m_entries.back().temporary = at;
        } else if (tag == "F" && f.size() == 2 && !m_entries.empty()) {
            m_entries.back().state = State::Failed;
            m_entries.back().error = f[1].toInt();
        } else if (tag == "C" && f.size() == 1) {
            settle();
        } else if (tag == "E" && f.size() == 2) {
            // After a crash the last rename's fate is for the disk to tell.
            if (f[1] != "crashed")
                settle();
            m_ended = true;
        } else if (tag == "U" && f.size() == 3) {
            const qint64 index = f[1].toLongLong();
            if (index >= 0 && index < qint64(m_entries.size()))
                m_entries[size_t(index)].undone = true;
        } else if (tag == "X" && f.size() == 1) {
            m_undone = true;
        } else {
            break; // a record this version does not know: read no further
        }
    }
    m_finalStart = DecodeName(start);
}

JournalContent::Rename JournalContent::rename(const Entry& entry) const
{
    const QList<QByteArrayView> f = fieldsAt(m_text, entry.record, nullptr);
    Rename r;
    r.oldName = DecodeName(unfield(f.value(1)));
    r.newName = DecodeName(unfield(f.value(2)));
    r.identity = {f.value(3).toULongLong(nullptr, 16), f.value(4).toULongLong(nullptr, 16), f.value(5).toLongLong()};
    r.bornBy = m_folders[size_t(entry.folder)].listedBy;
    return r;
}

QString JournalContent::temporaryName(const Entry& entry) const
{
    if (entry.temporary < 0)
        return {};
    return DecodeName(unfield(fieldsAt(m_text, entry.temporary, nullptr).value(1)));
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
