// A run's write-ahead journal: every rename recorded before it is tried, by one writer per
// worker thread.
#pragma once

#include "engine/RunOptions.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace orvel {

class JournalFile;
class JournalFiles;

// What a journal says about its run, before its first rename.
struct JournalHead {
    QString kind; // "all" or "selected"
    QString startFolder; // as it stood when the run began
    RunOptions options;
    bool includeSubfolders = false;
    QString made = {}; // read back: when the journal was made, as it says (written: now)
    // The id of the run this journal is a part of, when a run from the command line over
    // several paths writes one journal for each; empty when the journal is a run of its own.
    QString group = {};
};

// The journal of one run: names and folders as exact bytes, so that the run can be undone
// later, even after a crash between two renames or between the two steps of one. The file
// is made at the first rename, so a run that renames nothing leaves none. A journal that
// cannot be written never stops the run: `failed` is told once, on whichever writer's
// thread found it, and the run goes on without one.
class RunJournal {
public:
    RunJournal(JournalFiles& files, JournalHead head, std::function<void(const QString& reason)> failed);
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    bool isBroken() const { return m_broken.load(std::memory_order_relaxed); }
    // The run is over: every writer is done. Ends the journal (`stopped` when a stop
    // request ended the run early), seals it, and deletes the oldest journals beyond the
    // kept ones.
    void finish(bool stopped);
    // After `finish`: the journal is whole and holds a rename that went through, so the
    // run can be undone. False when it may not (nothing went through, or it failed).
    bool holdsUndoableRename() const { return m_sealed && m_anyDone && !isBroken(); }
    // After `finish`: the sealed journal's name; empty when none was sealed.
    const QString& name() const { return m_name; }

private:
    friend class JournalWriter;

    // The file; null once broken. The first call makes it, and writes the head record
    // with `first`, the records of the writer that asked, which it empties.
    JournalFile* file(QByteArray& first);
    // Once, on whichever writer fails first.
    void fail(const QString& reason);

    JournalFiles& m_files;
    const JournalHead m_head;
    const std::function<void(const QString&)> m_failed;
    std::mutex m_making; // over making the file and writing its head, which one writer does
    std::unique_ptr<JournalFile> m_file; // made at the first rename of any writer
    std::atomic<JournalFile*> m_ready = nullptr; // the file, once its head is in it
    std::atomic<qint64> m_nextSync = 0; // when a writer next waits for the disk
    std::atomic<bool> m_broken = false;
    std::atomic<bool> m_anyDone = false; // a rename went through
    bool m_sealed = false;
    QString m_name;
};

// One thread's writer of a run's journal. Each writer's records carry its number, so that
// every rename keeps its own folder and outcome, whatever the order the writers' records
// were written in. The writers of one journal write at once; one writer is used by one
// thread at a time.
class JournalWriter {
public:
    JournalWriter(RunJournal& journal, int number);

    // The renames that follow happen in the folder `relative` to the start folder ("" for
    // the start folder itself), as it stands now.
    void inFolder(QByteArrayView relative);
    // ... or in the folder `path`, outside the start folder (its parent, for the start
    // folder's own name).
    void inOutsideFolder(const QString& path);
    // The start folder now stands at `path` (after its own rename or an ancestor's).
    void startFolderMoved(const QString& path);

    // Before each rename: the entry `oldName`, whose identity is `identity`, is about to
    // become `newName`.
    void willRename(QByteArrayView oldName, QByteArrayView newName, const EntryIdentity& identity);
    // A case-only rename is about to pass through `temporaryName`.
    void willPassThrough(QByteArrayView temporaryName);
    // How the rename went: 0 or the errno value.
    void renamed(int error);

    bool isBroken() const { return m_journal.isBroken(); }

private:
    // Hands m_pending to the system in one write.
    void write();
    // What this writer writes from now on follows, in the file, whatever any writer wrote
    // before: the rest of the space it reserved stays zeros.
    void startAfterOthers();

    RunJournal& m_journal;
    const int m_number;
    QByteArray m_pending; // records to write; it keeps its size for the next ones
    QByteArray m_folder; // the folder record for the next rename, when it changed
    // The space in the file that this writer reserved for its records and has not filled.
    qint64 m_spaceAt = 0;
    qint64 m_spaceEnd = 0;
    qint64 m_inFolder = 0; // bytes written since the writer came to its folder
};

} // namespace orvel
