// The journal's records: their kinds, the one way a record is built and the one way it is
// read back (docs/journal-format.md describes them for a reader without this code).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace orvel {

// The version in the head record; a journal of another version is not read.
constexpr int JournalFormatVersion = 1;

// How many journals are kept: the newest ones; older ones are deleted.
constexpr int KeptJournals = 10;

// The kinds of record, by the letter that starts each.
enum class RecordKind : char {
    Head = 'H', // version, "all" or "selected", start folder, style, files, folders, subfolders, UTC time,
                // keep extensions, keep capitals
    Folder = 'D', // a folder relative to the start folder, and when it was entered (ns)
    OutsideFolder = 'P', // a folder outside the start folder by its path: the start folder's parent
    StartFolderMoved = 'B', // the start folder's path from now on
    Rename = 'R', // old name, new name, device (hex), inode (hex), birth time (ns, or 0)
    Temporary = 'T', // the hidden name the writer's last rename passes through
    Failed = 'F', // the writer's last rename failed: the errno value
    Completed = 'C', // the writer's last rename, cut between its two steps, was finished
    Ended = 'E', // "done", "stopped", or "crashed" (closed by the recovery)
    Undone = 'U', // an undo dealt with the entry: its number, 0 or why it was left
    UndoTemporary = 'V', // an undo's case-only rename of the entry passes through a hidden name
    WholeRunUndone = 'X', // an undo went through the whole run
};

// A record's fields, as they stand in the text (escaped); at most a record of this version
// has, and a count that says when a record had more.
class RecordFields {
public:
    static constexpr qsizetype Most = 12;
    // How many fields the record had, one more than Most when it had more than that.
    qsizetype size() const { return m_count; }
    QByteArrayView operator[](qsizetype i) const { return value(i); }
    QByteArrayView value(qsizetype i) const
    {
        return i < qsizetype(m_fields.size()) ? m_fields[size_t(i)] : QByteArrayView();
    }
    void add(QByteArrayView field);

private:
    std::array<QByteArrayView, Most> m_fields;
    qsizetype m_count = 0;
};

// One record as read back. Its tag is the kind's letter, followed by the number of the
// writer that wrote it when that is not 0.
struct Record {
    char letter = 0; // of a kind this version may not know
    int writer = 0;
    RecordFields fields; // after the tag
    RecordKind kind() const { return RecordKind(letter); }
    // A record whose tag or number of fields this version does not know: reading stops there.
    bool isKnown() const;
};

// The record that starts at `at` in `text`, with where the next one starts (`next`);
// nullopt when none whole starts there (torn, zeros, a checksum that does not fit). A
// record read once may be read again without its checksum (`checked`).
std::optional<Record> ReadRecord(const QByteArray& text, qint64 at, qint64* next, bool checked = false);

// Builds one record at the end of a buffer: its tag, each field escaped, the checksum and
// the line's end. Fields are written in place, without a copy of their own.
class RecordBuilder {
public:
    RecordBuilder(QByteArray& out, RecordKind kind, int writer = 0);
    // A name, as the bytes it stands for on disk.
    RecordBuilder& name(QStringView text);
    // Bytes as they are (escaped where they must be).
    RecordBuilder& bytes(QByteArrayView bytes);
    RecordBuilder& number(qint64 value, int base = 10);
    RecordBuilder& unsignedNumber(quint64 value, int base = 10);
    // Ends the record; the buffer then ends with it.
    void end();

private:
    char* reserve(qsizetype most);
    void startField();

    QByteArray& m_out;
    qsizetype m_start; // where the record starts in m_out
    qsizetype m_at; // where its next byte goes
};

// A field's bytes with its escapes undone.
QByteArray FieldBytes(QByteArrayView field);
// A name field as text, decoded as names on disk are.
QString FieldName(QByteArrayView field);
// A name's bytes hashed (XXH3, as the records' checksums are): what finds a name in a
// table of names.
quint64 NameHash(QByteArrayView bytes);
// The same, short: enough to pass over most names without reading them again. NameHint
// of the bytes equals FieldHint of the field they were written as.
inline quint16 NameHint(QByteArrayView bytes)
{
    return quint16(NameHash(bytes));
}
quint16 FieldHint(QByteArrayView field);

} // namespace orvel
