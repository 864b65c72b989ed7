// A run's journal as read back: its head, the folders it renamed in, and each rename with
// what became of it.
#pragma once

#include "engine/JournalFormat.h"
#include "engine/JournalWriter.h"
#include "platform/JournalFiles.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace orvel {

// One journal as read back, a piece at a time: what is kept of it is an entry per rename
// and a record per folder, and a rename's names are read again from the text when asked.
// Space reserved but never written (zeros) is skipped, and so is a record that a crash cut
// short amid them; a record that is not whole otherwise (a write torn by a power cut) ends
// what counts. A record this version does not know ends what is read, and what follows it
// is kept; so does a line longer than any record of this version's.
class JournalReader {
public:
    enum class State : quint8 { Unknown, Done, Failed };
    // Kept for every rename of a run, so kept small: a name's records are read again when
    // asked for.
    struct Entry {
        qint64 record; // where its rename record starts in the text
        qint32 folder; // index into folders
        qint32 error = 0; // with Failed: the errno value
        quint16 writer = 0; // the number of the writer that wrote it
        State state = State::Unknown; // Unknown: the run died before it could say
        bool undone = false; // an undo dealt with it: put back, or left for good
        quint16 oldHint = 0, newHint = 0; // NameHint of its names: most looks need no more
    };
    struct Folder {
        QByteArray path; // relative to the start folder, or absolute when outside
        bool outside = false;
        QByteArray startFolder; // the start folder's path at that moment
        qint64 listedBy = 0; // the run had listed it by then (nanoseconds); 0 when unknown
    };
    struct Rename {
        QByteArray oldName; // as the disk's bytes
        QByteArray newName;
        EntryIdentity identity; // its birth time 0 when the number came from a listing
        qint64 bornBy = 0; // ... which the entry was born before (0: unknown)
        // Whether `now` is the entry the run renamed.
        bool isEntry(const EntryIdentity& now) const;
    };

    // Reads `text` through, and keeps it to read the renames' records again.
    explicit JournalReader(std::unique_ptr<const JournalText> text);
    // A journal's bytes held in memory.
    explicit JournalReader(QByteArray text);

    // The head of a journal, read alone; nullopt when it is no journal of this version.
    static std::optional<JournalHead> ReadHead(const JournalText& text);

    bool isValid() const { return m_valid; }
    const JournalHead& head() const { return m_head; }
    // Where the run left its start folder (its path when the run renamed it).
    const QString& finalStartFolder() const { return m_finalStart; }
    const std::vector<Entry>& entries() const { return m_entries; }
    const std::vector<Folder>& folders() const { return m_folders; }
    Rename rename(const Entry& entry) const;
    // The entries whose rename began through a hidden name, and of which no later record
    // says what became: a crash may have cut it between its two steps. Only the last rename
    // of a writer can be one.
    std::vector<qint64> renameStepsCut() const { return keysOf(m_renameSteps); }
    // The entries whose rename back an undo began through a hidden name and never said it
    // finished: a crash may have cut it between its two steps.
    std::vector<qint64> undoStepsCut() const { return keysOf(m_undoSteps); }
    // The hidden name that the entry's rename, or its rename back, passed through; empty
    // when it is not a step cut.
    QByteArray temporaryName(qint64 index) const;
    QByteArray undoTemporaryName(qint64 index) const;
    // The old and the new name of its record as the disk's bytes, without reading more.
    std::pair<QByteArray, QByteArray> nameBytes(const Entry& entry) const;
    // Where the last whole record ends: what follows is torn (or the zeros of a file that
    // was never cut to its length) and may be cut off before records are added.
    qint64 wholeLength() const { return m_whole; }
    // The run wrote its end, or a recovery closed it.
    bool isEnded() const { return m_ended; }
    // An undo went through all of it.
    bool isUndone() const { return m_undone; }
    // It asks for a rename outside its run's tree: anything but the start folder's names
    // and below, and the letter case of the start folder's own name or of one above it
    // (which a run renames through the folder that holds it). Only a journal edited by
    // hand does; an undo of it is refused.
    bool leavesItsTree() const { return m_leavesTree; }
    // The renames that were done (or may have been: the last of a run that died) and are
    // not undone yet.
    qint64 undoableCount() const;

private:
    static JournalHead HeadOf(const RecordFields& head);
    void read();
    // The record at `at`, known to be whole, read again into `buffer`, which its fields
    // view; no fields when it cannot be read.
    Record recordAt(qint64 at, QByteArray& buffer) const;

    static quint64 NextId();
    static std::vector<qint64> keysOf(const std::map<qint64, qint64>& steps);
    // The hidden name in the field `field` of the record of the step cut of `index`.
    QByteArray stepName(const std::map<qint64, qint64>& steps, qint64 index, int field) const;

    quint64 m_id = NextId(); // which reader a thread's block of text was read for
    std::unique_ptr<const JournalText> m_text;
    qint64 m_whole = 0;
    bool m_valid = false;
    JournalHead m_head;
    QString m_finalStart;
    std::vector<Entry> m_entries;
    std::vector<Folder> m_folders;
    // By entry: where the record of the hidden name of a step cut starts. Few are: one a
    // writer at most, and only those of a run or an undo that died.
    std::map<qint64, qint64> m_renameSteps;
    std::map<qint64, qint64> m_undoSteps;
    bool m_ended = false;
    bool m_undone = false;
    bool m_leavesTree = false;
};

// The id of the run whose journal `name` is: its own, or that of the run it is a part of,
// as its head (read from `files`, or given) says.
QString RunIdOf(const JournalHead& head, const QString& name);
QString RunIdOf(const JournalFiles& files, const QString& name);

} // namespace orvel
