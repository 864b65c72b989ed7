// The journal's records: their kinds, the one way a record is built and the one way it is
// read back.
#include "engine/JournalFormat.h"

#include "platform/NameCodec.h"

#include <charconv>
#include <cstring>
#include <zlib.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace orvel {

namespace {

// What this version knows of each kind: how many fields follow its tag, and whether any
// writer of a run's may write it (its number then follows the letter) or only the first.
struct KindRule {
    RecordKind kind;
    qsizetype fewest, most;
    bool anyWriter;
};
constexpr KindRule Kinds[] = {
    {RecordKind::Head, 7, RecordFields::Most, false}, // a later version may add fields
    {RecordKind::Folder, 1, 2, true}, // its time came later: older journals have none
    {RecordKind::OutsideFolder, 1, 1, true},
    {RecordKind::StartFolderMoved, 1, 1, true},
    {RecordKind::Rename, 5, 5, true},
    {RecordKind::Temporary, 1, 1, true},
    {RecordKind::Failed, 1, 1, true},
    {RecordKind::Completed, 0, 0, true},
    {RecordKind::Ended, 1, 1, false},
    {RecordKind::Undone, 2, 2, false},
    {RecordKind::UndoTemporary, 2, 2, false},
    {RecordKind::WholeRunUndone, 0, 0, false},
};

// The bytes that stand for themselves in a field: printable ASCII but the escape's own
// '%'. The rest is escaped: the record's tab and line feed, NUL (which reading takes for
// space reserved but never written), the other controls, and every byte beyond ASCII, so
// that a journal stays text whatever the names' bytes.
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

constexpr qsizetype ChecksumSize = 18; // a tab, sixteen digits and the line's end

// Whether `digits` are the checksum of `fields`: sixteen digits of XXH3, for its speed (a
// run writes a record for every name it renames); journals of earlier versions have eight
// of CRC-32 or four of CRC-16.
bool checksumFits(QByteArrayView fields, QByteArrayView digits)
{
    // Digits alone (read for every record, so not through the locale-aware parsers).
    quint64 sum = 0;
    const char* const end = digits.data() + digits.size();
    if (digits.isEmpty() || std::from_chars(digits.data(), end, sum, 16).ptr != end)
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

// Undoes the escapes of a field into `out`, which has space for the field; returns the end.
// A '%' without two hex digits after it stands for itself.
char* unescape(QByteArrayView field, char* out)
{
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'  ? c - 'a' + 10
            : c >= 'A' && c <= 'F'  ? c - 'A' + 10
                                    : -1;
    };
    // Most names have no escape at all: the bytes between two are copied whole.
    const char* at = field.data();
    const char* const end = at + field.size();
    while (at != end) {
        const auto* percent = static_cast<const char*>(std::memchr(at, '%', size_t(end - at)));
        const char* const plain = percent ? percent : end;
        out = std::copy(at, plain, out);
        if (!percent)
            break;
        const int high = end - percent > 2 ? hex(percent[1]) : -1;
        const int low = high >= 0 ? hex(percent[2]) : -1;
        *out++ = low >= 0 ? char(high * 16 + low) : '%';
        at = percent + (low >= 0 ? 3 : 1);
    }
    return out;
}

} // namespace

void RecordFields::add(QByteArrayView field)
{
    if (m_count < Most)
        m_fields[size_t(m_count)] = field;
    m_count = qMin(m_count + 1, Most + 1);
}

bool Record::isKnown() const
{
    if (writer < 0)
        return false;
    for (const KindRule& rule : Kinds)
        if (char(rule.kind) == letter)
            return (writer == 0 || rule.anyWriter) && fields.size() >= rule.fewest && fields.size() <= rule.most;
    return false;
}

std::optional<Record> ReadRecord(const QByteArray& text, qint64 at, qint64* next, bool checked)
{
    const char* const begin = text.constData() + at;
    const auto* const end = static_cast<const char*>(std::memchr(begin, '\n', size_t(text.size() - at)));
    if (!end)
        return std::nullopt;
    const char* cut = end; // the checksum's tab: a few digits back
    while (cut != begin && cut[-1] != '\t')
        --cut;
    if (cut-- == begin)
        return std::nullopt;
    const QByteArrayView body(begin, cut);
    if (!checked && !checksumFits(body, QByteArrayView(cut + 1, end)))
        return std::nullopt;
    if (next)
        *next = at + (end - begin) + 1;
    // Each field ends at the next tab, the last at the checksum's.
    const auto fieldEnd = [&](const char* from) {
        const auto* tab = static_cast<const char*>(std::memchr(from, '\t', size_t(cut - from)));
        return tab ? tab : cut;
    };
    std::optional<Record> record(std::in_place);
    const char* field = fieldEnd(begin);
    const QByteArrayView tag(begin, field);
    record->letter = tag.isEmpty() ? '\0' : tag[0];
    if (tag.size() > 1) {
        const char* digits = tag.data() + 1;
        if (std::from_chars(digits, field, record->writer).ptr != field || record->writer <= 0)
            record->writer = -1; // no tag of this version's
    }
    while (field != cut) {
        const char* const start = field + 1;
        field = fieldEnd(start);
        record->fields.add(QByteArrayView(start, field));
    }
    return record;
}

RecordBuilder::RecordBuilder(QByteArray& out, RecordKind kind, int writer)
    : m_out(out)
    , m_start(out.size())
    , m_at(out.size())
{
    char* at = reserve(12);
    *at++ = char(kind);
    if (writer != 0)
        at = std::to_chars(at, at + 11, writer).ptr;
    m_at = at - m_out.constData();
}

char* RecordBuilder::reserve(qsizetype most)
{
    // The buffer grows ahead and keeps its size between records: one that is reused costs
    // no allocation per record.
    if (m_out.size() < m_at + most)
        m_out.resize(qMax(m_at + most, 2 * m_out.size()));
    return m_out.data() + m_at;
}

void RecordBuilder::startField()
{
    *reserve(1) = '\t';
    ++m_at;
}

RecordBuilder& RecordBuilder::name(QStringView text)
{
    startField();
    // A unit of UTF-16 is at most three bytes on the disk, and an escaped byte three
    // characters.
    char* const begin = reserve(9 * text.size());
    char* out = begin;
    const char16_t* units = text.utf16();
    qsizetype i = 0;
    for (; i < text.size() && units[i] < 0x80; ++i)
        out = putByte(out, uchar(units[i]));
    if (i < text.size()) {
        // Beyond ASCII: the rest of the name's bytes, as the disk holds them. What came
        // before is ASCII, the same bytes in any encoding the names may have.
        const QByteArray bytes = EncodeName(text.toString());
        for (qsizetype b = i; b < bytes.size(); ++b)
            out = putByte(out, uchar(bytes[b]));
    }
    m_at += out - begin;
    return *this;
}

RecordBuilder& RecordBuilder::bytes(QByteArrayView bytes)
{
    startField();
    char* const begin = reserve(3 * bytes.size());
    char* out = begin;
    for (const char byte : bytes)
        out = putByte(out, uchar(byte));
    m_at += out - begin;
    return *this;
}

RecordBuilder& RecordBuilder::number(qint64 value, int base)
{
    startField();
    char* const begin = reserve(21);
    m_at += std::to_chars(begin, begin + 21, value, base).ptr - begin;
    return *this;
}

RecordBuilder& RecordBuilder::unsignedNumber(quint64 value, int base)
{
    startField();
    char* const begin = reserve(21);
    m_at += std::to_chars(begin, begin + 21, value, base).ptr - begin;
    return *this;
}

void RecordBuilder::end()
{
    // A checksum of its fields, so that a record that a power cut left half written (or
    // filled with zeros) is seen as such.
    static constexpr char hex[] = "0123456789abcdef";
    char* const end = reserve(ChecksumSize);
    const char* const from = m_out.constData() + m_start;
    const quint64 sum = XXH3_64bits(from, size_t(end - from));
    end[0] = '\t';
    for (int i = 0; i < 16; ++i)
        end[16 - i] = hex[(sum >> (4 * i)) & 15];
    end[17] = '\n';
    m_out.truncate(m_at + ChecksumSize);
}

QByteArray FieldBytes(QByteArrayView field)
{
    QByteArray bytes(field.size(), Qt::Uninitialized);
    bytes.truncate(unescape(field, bytes.data()) - bytes.constData());
    return bytes;
}

namespace {

// Calls `use` with a field's bytes, its escapes undone, and returns what it returns. Done
// for every entry read back or put back: a field without an escape is used as it stands,
// and the others are undone without a copy on the heap.
template <typename Use>
auto withFieldBytes(QByteArrayView field, const Use& use)
{
    if (!field.contains('%'))
        return use(field);
    std::array<char, 1024> buffer;
    if (field.size() > qsizetype(buffer.size()))
        return use(QByteArrayView(FieldBytes(field)));
    return use(QByteArrayView(buffer.data(), unescape(field, buffer.data()) - buffer.data()));
}

} // namespace

QString FieldName(QByteArrayView field)
{
    return withFieldBytes(field, [](QByteArrayView bytes) { return DecodeName(bytes); });
}

quint64 NameHash(QByteArrayView bytes)
{
    return XXH3_64bits(bytes.data(), size_t(bytes.size()));
}

quint16 FieldHint(QByteArrayView field)
{
    return withFieldBytes(field, NameHint);
}

} // namespace orvel
