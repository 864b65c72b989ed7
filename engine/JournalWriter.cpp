// A run's write-ahead journal: every rename recorded before it is tried, by one writer per
// worker thread.
#include "engine/JournalWriter.h"

#include "engine/JournalFormat.h"
#include "engine/JournalReader.h"
#include "platform/JournalFiles.h"

#include <QDateTime>
#include <QSet>

#include <ctime>

namespace orvel {

namespace {

constexpr qint64 SyncIntervalNs = 1000000000;
constexpr qint64 MostSpace = 4096; // that a writer reserves ahead for its records

// Nanoseconds on `clock`. Whether a second has passed is asked at every record: the coarse
// clock answers that without reading the processor's counter.
qint64 clockNs(clockid_t clock = CLOCK_REALTIME)
{
    struct timespec now {};
    ::clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

RunJournal::RunJournal(JournalFiles& files, JournalHead head, std::function<void(const QString&)> failed)
    : m_files(files)
    , m_head(std::move(head))
    , m_failed(std::move(failed))
{
}

RunJournal::~RunJournal() = default;

JournalFile* RunJournal::file(QByteArray& first)
{
    if (JournalFile* ready = m_ready.load(std::memory_order_acquire))
        return ready;
    const std::lock_guard guard(m_making);
    if (JournalFile* ready = m_ready.load(std::memory_order_relaxed); ready || isBroken())
        return ready;
    QString error;
    m_file = m_files.create(&error);
    if (!m_file) {
        fail(error);
        return nullptr;
    }
    const RunOptions& o = m_head.options;
    QByteArray head;
    {
        RecordBuilder builder(head, RecordKind::Head);
        builder.number(JournalFormatVersion)
            .bytes(m_head.kind.toLatin1())
            .name(m_head.startFolder)
            .number(int(o.style))
            .number(o.renameFile)
            .number(o.renameFolder)
            .number(m_head.includeSubfolders)
            .bytes(QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1());
        // Each field after the time only when it or one after it says something.
        const bool kept = o.keepExtension || o.keepCapitals;
        if (!m_head.group.isEmpty() || kept)
            builder.bytes(m_head.group.toLatin1());
        if (kept)
            builder.number(o.keepExtension).number(o.keepCapitals);
        builder.end();
    }
    head += first;
    first.resize(0);
    if (const int error = m_file->append(head)) {
        fail(ErrorText(error));
        return nullptr;
    }
    m_nextSync = clockNs(CLOCK_MONOTONIC_COARSE) + SyncIntervalNs;
    m_ready.store(m_file.get(), std::memory_order_release);
    return m_file.get();
}

void RunJournal::fail(const QString& reason)
{
    if (m_broken.exchange(true))
        return;
    if (m_failed)
        m_failed(reason);
}

void RunJournal::finish(bool stopped)
{
    if (!m_file || isBroken())
        return;
    QByteArray end;
    RecordBuilder(end, RecordKind::Ended).bytes(stopped ? "stopped" : "done").end();
    int error = m_file->append(end); // after everything every writer reserved
    if (error == 0)
        error = m_file->finish();
    if (error != 0) {
        fail(ErrorText(error));
        return;
    }
    m_name = m_files.seal(m_file->name());
    m_sealed = true;
    // Only the newest runs are kept, every journal of each: the oldest go once this one is
    // whole, not while its renames wait for their records.
    const QStringList names = m_files.names();
    QSet<QString> runs;
    for (qsizetype i = names.size(); i-- > 0;) {
        const QString run = RunIdOf(m_files, names[i]);
        if (runs.size() < KeptJournals)
            runs.insert(run);
        if (!runs.contains(run) && !m_files.inUse(names[i]))
            m_files.remove(names[i]);
    }
}

JournalWriter::JournalWriter(RunJournal& journal, int number)
    : m_journal(journal)
    , m_number(number)
{
}

void JournalWriter::startAfterOthers()
{
    m_spaceEnd = m_spaceAt;
    m_inFolder = 0;
}

void JournalWriter::inFolder(QByteArrayView relative)
{
    // A folder's renames come after the rename of the folder's own name, which another
    // writer may have written: the undo takes them back in the file's order.
    startAfterOthers();
    // With the time: whatever its files' listing found was born before it.
    m_folder.resize(0);
    RecordBuilder(m_folder, RecordKind::Folder, m_number).bytes(relative).number(clockNs()).end();
}

void JournalWriter::inOutsideFolder(const QString& path)
{
    startAfterOthers();
    m_folder.resize(0);
    RecordBuilder(m_folder, RecordKind::OutsideFolder, m_number).name(path).end();
}

void JournalWriter::startFolderMoved(const QString& path)
{
    // At once: every writer's folders from here on lie below the new path.
    startAfterOthers();
    RecordBuilder(m_pending, RecordKind::StartFolderMoved, m_number).name(path).end();
    write();
}

void JournalWriter::willRename(QByteArrayView oldName, QByteArrayView newName, const EntryIdentity& identity)
{
    if (isBroken())
        return;
    m_pending += m_folder;
    m_folder.resize(0);
    RecordBuilder(m_pending, RecordKind::Rename, m_number)
        .bytes(oldName)
        .bytes(newName)
        .unsignedNumber(identity.device, 16)
        .unsignedNumber(identity.inode, 16)
        .number(identity.born)
        .end();
    write();
}

void JournalWriter::willPassThrough(QByteArrayView temporaryName)
{
    RecordBuilder(m_pending, RecordKind::Temporary, m_number).bytes(temporaryName).end();
    write();
}

void JournalWriter::renamed(int error)
{
    // A rename that went through needs no record: the writer's next one, or the end, says
    // so. A failure is written at once, so that no writer's last one is lost.
    if (error != 0 && !isBroken()) {
        RecordBuilder(m_pending, RecordKind::Failed, m_number).number(error).end();
        write();
    } else if (error == 0 && !m_journal.m_anyDone.load(std::memory_order_relaxed)) {
        m_journal.m_anyDone = true; // once: the writers do not write to one line at every rename
    }
}

void JournalWriter::write()
{
    JournalFile* file = isBroken() ? nullptr : m_journal.file(m_pending);
    if (!file || m_pending.isEmpty()) { // broken, or written with the head
        m_pending.resize(0);
        return;
    }
    // Each writer writes in space of its own, reserved ahead: the writers seldom wait for
    // each other to reserve, and never write to the same page. The space grows with the
    // records of the writer's folder, so that a folder of few names leaves little of it
    // unwritten when the writer moves on.
    const qint64 size = m_pending.size();
    if (m_spaceEnd - m_spaceAt < size) {
        const qint64 space = std::max(size, std::min(m_inFolder, MostSpace));
        m_spaceAt = file->reserve(space);
        m_spaceEnd = m_spaceAt + space;
    }
    if (const int error = file->write(m_spaceAt, m_pending)) {
        m_pending.resize(0);
        m_journal.fail(ErrorText(error));
        return;
    }
    m_spaceAt += size;
    m_inFolder += size;
    m_pending.resize(0); // keeps its size for the next record
    // Once a second, one writer waits for the disk; the others go on appending.
    const qint64 now = clockNs(CLOCK_MONOTONIC_COARSE);
    qint64 due = m_journal.m_nextSync.load(std::memory_order_relaxed);
    if (now >= due && m_journal.m_nextSync.compare_exchange_strong(due, now + SyncIntervalNs))
        if (const int error = file->sync())
            m_journal.fail(ErrorText(error));
}

} // namespace orvel
