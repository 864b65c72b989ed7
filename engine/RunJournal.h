#pragma once

#include "engine/RunOptions.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orvel {

class JournalFile;
class JournalFiles;

// What a journal says about its run, before its first rename.
struct JournalHead {
    QString kind; // "all" or "selected"
    QString startFolder; // as it stood when the run began
    RunOptions options;
    bool includeSubfolders = false;
};

// The write-ahead journal of one run: every rename is recorded before it is tried,
// names and folders as exact bytes, so that the run can be taken back later, even
// after a crash between two renames or between the two steps of one. The file is made
// at the first rename, so a run that renames nothing leaves none. A journal that
// cannot be written never stops the run: `failed` is told once, and the run goes on
// without one.
//
// A run that renames on several threads at once writes one lane per thread: each
// lane's records say which lane they belong to, so that every rename keeps its own
// folder and outcome, whatever the order the lanes' records were written in. The lanes
// of one journal may be used at the same time; one lane only by one thread at a time.
// `failed` is called on whichever lane's thread found the failure.
class RunJournal {
public:
    RunJournal(JournalFiles& store, JournalHead head, std::function<void(const QString& reason)> failed);
    // Another lane (1, 2, ...) of the journal that `first` writes.
    RunJournal(const RunJournal& first, int lane);
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // The renames that follow happen in the folder `relative` to the start folder
    // ("" for the start folder itself), as it stands now.
    void inFolder(const QString& relative);
    // ... or in the folder `path`, outside the start folder (its parent, for the start
    // folder's own name).
    void inOutsideFolder(const QString& path);
    // The start folder now stands at `path` (after its own rename or an ancestor's).
    void startFolderMoved(const QString& path);

    // Before each rename: the entry `oldName`, whose identity is `identity`, is about
    // to become `newName`.
    void willRename(const QString& oldName, const QString& newName, const EntryIdentity& identity);
    // A case-only rename is about to pass through `temporaryName`.
    void willPassThrough(const QString& temporaryName);
    // How the rename went: 0 or the errno value.
    void renamed(int error);
    // The run is over, on every lane; `stopped` when a stop request ended it early.
    void finish(bool stopped);

    bool isBroken() const;
    // After `finish`: the journal is whole and holds a rename that went through, so the
    // run can be taken back. False when it may not (nothing went through, or the
    // journal failed).
    bool holdsUndoableRename() const;

private:
    struct Shared;

    QByteArray tag(char letter) const;
    // Hands what is pending to the system in one write.
    void write();
    // What this lane writes from now on follows, in the file, whatever any lane wrote
    // before: the room it took is left as it is.
    void leaveRoom();
    void fail(const QString& reason);

    std::shared_ptr<Shared> m_shared;
    QByteArray m_lane; // its number in the records' tags; empty for the first lane
    QByteArray m_pending; // records that ride along with the next one written
    QByteArray m_folder; // the folder record for the next rename, when it changed
    // The room in the file that this lane took for its records and has not filled yet.
    qint64 m_roomAt = 0;
    qint64 m_roomEnd = 0;
    qint64 m_inFolder = 0; // bytes written since the lane came to its folder
};

// One journal as read back. Reading stops at the first record that is not whole (a
// write torn by a power cut): what came before it counts.
class JournalContent {
public:
    enum class State { Unknown, Done, Failed };
    struct Entry {
        qint64 record; // where its rename record starts in the text
        qint32 folder; // index into folders
        quint16 lane = 0; // the writer's lane it was renamed on
        qint32 error = 0; // with Failed: the errno value
        State state = State::Unknown; // Unknown: the run died before it could say
        qint64 temporary = -1; // where its temporary-name record starts, if it had one
        bool undone = false; // an undo took it back, or found it left for good
    };
    struct Folder {
        QByteArray path; // relative to the start folder, or absolute when outside
        bool outside = false;
        QByteArray startFolder; // the start folder's path at that moment
        qint64 listedBy = 0; // the run had listed it by then (nanoseconds); 0 when unknown
    };
    struct Rename {
        QString oldName;
        QString newName;
        EntryIdentity identity; // its birth time 0 when the number came from a listing
        qint64 bornBy = 0; // ... which the entry was born before (0: unknown)
        // Whether `now` is the entry the run renamed.
        bool isEntry(const EntryIdentity& now) const;
    };

    explicit JournalContent(QByteArray text);

    bool isValid() const { return m_valid; }
    const JournalHead& head() const { return m_head; }
    // Where the run left its start folder (its path when the run renamed it).
    const QString& finalStartFolder() const { return m_finalStart; }
    const std::vector<Entry>& entries() const { return m_entries; }
    const std::vector<Folder>& folders() const { return m_folders; }
    Rename rename(const Entry& entry) const;
    QString temporaryName(const Entry& entry) const;
    // The old and the new name of its record as the disk's bytes, without reading more.
    std::pair<QByteArray, QByteArray> nameBytes(const Entry& entry) const;
    // Where the last whole record ends: what follows is torn (or the zeros of a file
    // that was never cut to its length) and may be cut off before records are added.
    qint64 wholeLength() const { return m_whole; }
    // The run wrote its end, or a recovery closed it.
    bool isEnded() const { return m_ended; }
    // An undo went through all of it.
    bool isUndone() const { return m_undone; }
    // The renames that were done (or may have been: the last of a run that died) and
    // are not taken back yet.
    qint64 undoableCount() const;

private:
    QByteArray m_text;
    qint64 m_whole = 0;
    bool m_valid = false;
    JournalHead m_head;
    QString m_finalStart;
    std::vector<Entry> m_entries;
    std::vector<Folder> m_folders;
    bool m_ended = false;
    bool m_undone = false;
};

// Record texts that the undo appends to the journal it takes back.
void AppendUndoneRecord(QByteArray& records, qint64 entry, int error);
QByteArray WholeRunUndoneRecord();
QByteArray RunEndedRecord(const QString& how);
QByteArray FailedRecord(int error, const QByteArray& lane = {});
QByteArray CompletedRecord(const QByteArray& lane = {});

// How many journals are kept: the newest ones; older ones are deleted.
constexpr int KeptJournals = 10;

} // namespace orvel
