// The frame every journaled run starts and ends in: interrupted runs finished, the folder
// opened and its tree locked, the question about system folders, the journal opened, and
// at the end sealed.
#pragma once

#include "engine/JournalWriter.h"
#include "platform/FileSystem.h"
#include "platform/SystemFolders.h"

#include <QHash>
#include <QString>
#include <memory>
#include <mutex>
#include <vector>

namespace orvel {

class JournalFile;
class JournalFiles;
class RunObserver;
class RunPace;
class TreeLock;
class TreeLocks;

// Where a run is recorded so that it can be undone, and the locks that keep two runs off
// one tree. A run without them (a dry run) renames, or plans, on its own.
struct RunRecords {
    JournalFiles* journals = nullptr;
    TreeLocks* locks = nullptr;
    // The id of the run this one is a part of (a run from the command line over several
    // paths is one run, of a journal for each); empty for a run of its own.
    QString group = {};
};

// One run's frame. Rename All, Rename Selected and the undo take its steps in this order,
// each at most once, and leave out those they do not need; a run without records skips
// what needs them.
class RunSession {
public:
    RunSession(const RunRecords& records, FileSystem& fs, RunObserver& observer);
    ~RunSession();
    RunSession(const RunSession&) = delete;
    RunSession& operator=(const RunSession&) = delete;

    // 1. Closes the journals of runs that died, so that this run finds every name where
    // their journals say it is. The names the closed journals had and have.
    QHash<QString, QString> finishInterruptedRuns();
    // 2. For an undo: reopens the journal `*name` that it undoes, to append to, held
    // against any other undo of it until the session ends; nullptr when it cannot be (it
    // is gone, or held by a live process), or without records. It stays open (unsealed,
    // under the name `*name` then holds) while the session lasts, so that an undo cut
    // short is finished as a run is.
    JournalFile* reopenJournal(QString* name);
    // 3. Opens the run's folder; 0, or why it cannot be opened.
    int open(const QString& folder);
    const FolderHandle& folder() const { return m_folder; }
    // 4. Locks the tree of the open folder for the run's length; false, with the other
    // run's folder in `busyWith`, while a live run works on a tree that holds it or lies
    // inside it.
    bool lock(QString* busyWith);
    // 5. Asks whether to go on where the run would rename in or rename `folder`, a system
    // folder or a home (nothing is asked for Ordinary); false when the answer is No.
    bool confirm(const QString& folder, FolderRole role);
    // 6. Opens the run's journal (its file is made at the first rename) with one writer for
    // each of `writers` workers.
    void openJournal(const JournalHead& head, int writers);
    // The journal writer of worker `number`; nullptr without a journal.
    JournalWriter* writer(int number) const;
    // Tells the observer, on the calling thread, that the journal failed, when it did since
    // it was last asked (on any worker's thread); once a run.
    void tellJournalFailure();
    // 7. Ends the run: its journal is sealed, aside from the calling thread, which lets the
    // window's events through at `pace` meanwhile (a slow disk may take seconds to write it).
    // Whether the run can be undone; `journal`, when given, is told the sealed journal's name
    // (empty when there is none).
    bool end(bool stopped, RunPace& pace, QString* journal = nullptr);

private:
    enum class Step { Made, Finished, Reopened, Opened, Locked, Confirmed, Journaled, Ended };
    // Marks the step `next` as taken; the steps go in order.
    void take(Step next);

    const RunRecords m_records;
    FileSystem& m_fs;
    RunObserver& m_observer;
    Step m_step = Step::Made;
    FolderHandle m_folder;
    std::unique_ptr<TreeLock> m_lock;
    std::unique_ptr<JournalFile> m_reopened; // the undo's
    QString m_reopenedName; // ... and its name while the undo lasts
    std::unique_ptr<RunJournal> m_journal;
    std::vector<std::unique_ptr<JournalWriter>> m_writers;
    std::mutex m_failureLock; // over m_failure, which a worker finds and the calling thread tells
    QString m_failure; // null until the journal fails
    bool m_failureTold = false;
};

} // namespace orvel
