// The frame every journaled run starts and ends in: interrupted runs finished, the folder
// opened and its tree locked, the question about system folders, the journal opened, and
// at the end sealed.
#include "engine/RunSession.h"

#include "engine/JournalRecovery.h"
#include "engine/RunObserver.h"
#include "engine/WorkerPool.h"
#include "platform/JournalFiles.h"
#include "platform/TreeLock.h"

namespace orvel {

RunSession::RunSession(const RunRecords& records, FileSystem& fs, RunObserver& observer)
    : m_records(records)
    , m_fs(fs)
    , m_observer(observer)
{
}

RunSession::~RunSession()
{
    if (m_reopened && !m_reopenedName.isEmpty())
        m_records.journals->seal(m_reopenedName); // before the file, and its lock, is let go
}

void RunSession::take(Step next)
{
    Q_ASSERT_X(m_step < next, "RunSession", "a run takes its steps in order, each once");
    m_step = next;
}

QHash<QString, QString> RunSession::finishInterruptedRuns()
{
    take(Step::Finished);
    return m_records.journals ? FinishInterruptedRuns(*m_records.journals, m_fs) : QHash<QString, QString>();
}

JournalFile* RunSession::reopenJournal(QString* name)
{
    take(Step::Reopened);
    if (!m_records.journals)
        return nullptr;
    m_reopened = m_records.journals->reopen(*name, nullptr);
    if (m_reopened)
        m_reopenedName = m_records.journals->unseal(*name);
    if (!m_reopenedName.isEmpty())
        *name = m_reopenedName;
    return m_reopened.get();
}

int RunSession::open(const QString& folder)
{
    take(Step::Opened);
    int error = 0;
    m_folder = m_fs.openFolder(folder, &error);
    return m_folder.isOpen() ? 0 : error;
}

bool RunSession::lock(QString* busyWith)
{
    take(Step::Locked);
    if (!m_records.locks || !m_folder.isOpen())
        return true;
    m_lock = m_records.locks->lock(m_folder, busyWith);
    return m_lock != nullptr;
}

bool RunSession::confirm(const QString& folder, FolderRole role)
{
    take(Step::Confirmed);
    return role == FolderRole::Ordinary || m_observer.confirmSystemFolder(folder, role);
}

void RunSession::openJournal(const JournalHead& head, int writers)
{
    take(Step::Journaled);
    if (!m_records.journals)
        return;
    JournalHead partOf = head;
    partOf.group = m_records.group;
    m_journal = std::make_unique<RunJournal>(*m_records.journals, partOf, [this](const QString& reason) {
        const std::lock_guard guard(m_failureLock);
        m_failure = reason;
    });
    for (int number = 0; number < writers; ++number)
        m_writers.push_back(std::make_unique<JournalWriter>(*m_journal, number));
}

JournalWriter* RunSession::writer(int number) const
{
    return size_t(number) < m_writers.size() ? m_writers[size_t(number)].get() : nullptr;
}

void RunSession::tellJournalFailure()
{
    if (!m_journal || !m_journal->isBroken())
        return; // the common case, asked at every pass: no lock taken
    QString failure;
    {
        const std::lock_guard guard(m_failureLock);
        if (m_failureTold || m_failure.isNull())
            return;
        failure = m_failure;
        m_failureTold = true;
    }
    m_observer.journalFailed(failure);
}

bool RunSession::end(bool stopped, RunPace& pace, QString* journal)
{
    take(Step::Ended);
    if (!m_journal)
        return false;
    m_writers.clear();
    WorkerPool::aside(m_observer, pace, [&] { m_journal->finish(stopped); });
    tellJournalFailure();
    if (journal)
        *journal = m_journal->name();
    return m_journal->holdsUndoableRename();
}

} // namespace orvel
