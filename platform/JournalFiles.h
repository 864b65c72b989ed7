// The journal files of the runs, one per run, in the user's private journal folder.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

namespace orvel {

// One journal file held open for appending. The process holds an exclusive lock on it
// while it is open, so that another process can tell a journal that is still being
// written from one whose writer died. Closes (and unlocks) itself.
class JournalFile {
public:
    virtual ~JournalFile() = default;
    // The name of the file in its folder.
    virtual QString name() const = 0;
    // Reserves `size` bytes at the end of the file, for `write`; returns where they start.
    // Space that is never written reads as zeros.
    virtual qint64 reserve(qint64 size) = 0;
    // Hands `bytes` to the system at `at`, in space reserved before: once it returns, a
    // crash of the program loses none of them. 0 or the errno value. Several threads may
    // reserve and write at once, each in its own space; a crash amid a write may leave
    // zeros in place of some of its bytes.
    virtual int write(qint64 at, QByteArrayView bytes) = 0;
    int append(QByteArrayView bytes) { return write(reserve(bytes.size()), bytes); }
    // Waits until what was appended is on the disk (fdatasync). 0 or the errno value.
    virtual int sync() = 0;
    // Nothing more is appended: the file ends with what was, and that is on the disk.
    virtual int finish() { return sync(); }
    // Drops everything after the first `length` bytes, before more is appended.
    virtual int cutTo(qint64 length) = 0;
};

// The most a journal grows to: the program writes none larger (a run that would is told
// its journal failed), so a larger file is none of its journals and is not read.
constexpr qint64 LargestJournal = qint64(1) << 36; // 64 GiB

// A journal open for reading, a piece at a time at any place: one of a million renames
// is near a hundred megabytes, which its reader need not hold. Several threads may read
// at once.
class JournalText {
public:
    virtual ~JournalText() = default;
    // Its length when it was opened.
    virtual qint64 size() const = 0;
    // Up to `size` bytes from `at` into `into`, fewer only at the end: how many were read,
    // or -1 on a read error.
    virtual qint64 readAt(qint64 at, char* into, qint64 size) const = 0;
};

// The folder where the runs' journals live, one file per run. Everything in it is the
// user's own: the folder is 0700 and the files 0600, nothing is opened through a link,
// and a folder or file that another user owns is refused.
class JournalFiles {
public:
    virtual ~JournalFiles() = default;

    // Where the journals are kept (for messages).
    virtual QString folder() const = 0;
    // A new, empty journal, numbered after every journal in the folder. It is
    // open (see IsOpenJournalName) until sealed. Until it is finished its file may hold
    // zeros after what was appended: a crash leaves them there. nullptr with the system's
    // words in `error` when it cannot be made.
    virtual std::unique_ptr<JournalFile> create(QString* error) = 0;
    // Marks a journal as written to its end; returns its new name (empty on failure).
    virtual QString seal(const QString& name) = 0;
    // Marks a sealed journal as being written again, as an undo appends to it: a crash on
    // the way leaves it open, for the recovery, as it leaves a run's. `seal` ends that.
    // Returns its new name (empty on failure).
    virtual QString unseal(const QString& name) = 0;
    // An existing journal opened for appending; nullptr when it is gone, is no plain
    // file of the user's own, or is still open in a live process (`error` says which).
    virtual std::unique_ptr<JournalFile> reopen(const QString& name, QString* error) = 0;
    // The journals' names, oldest first: by their numbers, never by the clock; those of
    // earlier versions, which have none, before the others.
    virtual QStringList names() const = 0;
    // A journal opened for reading; nullptr, with why in `error`, when it cannot be read as
    // the user's own file or is larger than LargestJournal.
    virtual std::unique_ptr<JournalText> openToRead(const QString& name, QString* error = nullptr) const = 0;
    // Whether some live process holds the journal open for appending.
    virtual bool inUse(const QString& name) const = 0;
    // Removes a journal; false when it is still there.
    virtual bool remove(const QString& name) = 0;
};

// Whether a journal's name says it was never sealed: still being written, or its writer
// died.
bool IsOpenJournalName(const QString& name);

// The short name of a run, for a person and a script to pass back: its journal's name
// without "run-", the number's "n" and leading zeros, and the ending ("42-1207" for
// "run-n00000000000000000042-1207.journal").
QString RunIdOfJournal(const QString& name);

// The user's journal folder: $XDG_STATE_HOME/orvel-file-rename, by default
// ~/.local/state/orvel-file-rename.
QString JournalFolder();

// The journals in `folder`, made (0700) when it is missing. nullptr with the reason in
// `error` when it is a link, is no folder, or belongs to another user.
std::unique_ptr<JournalFiles> OpenJournalFiles(const QString& folder, QString* error);

} // namespace orvel
