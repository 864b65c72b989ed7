#include "engine/RenameAll.h"

#include "engine/FolderTree.h"
#include "engine/RunJournal.h"
#include "engine/RunObserver.h"
#include "engine/UndoRun.h"
#include "platform/FileSystem.h"
#include "platform/JournalStore.h"

#include <memory>

namespace orvel {

namespace {

// A folder of the run that is entered, for the folders below it.
struct Level {
    QString path; // as it stands now, its new name included
    QString relative; // the same, from the start folder down ("" for the start folder)
    int index;
};

class Run {
public:
    Run(const RenameAllJob& job, FileSystem& fs, RunObserver& observer)
        : m_job(job)
        , m_fs(fs)
        , m_observer(observer)
        , m_pacer(observer)
    {
    }

    RenameAllOutcome go()
    {
        QString start = NormalizePath(m_job.startFolder, m_syntax);
        if (start.size() <= m_syntax.designatorLength)
            start = m_job.startFolder.left(m_syntax.rootLength); // a root keeps its separator
        m_out.openFolder = start;
        // A run that died left its last rename half done: finish it first, so that this
        // run finds every name where the journal says it is.
        if (m_job.journal)
            FinishInterruptedRuns(*m_job.journal, m_fs);
        const FolderHandle top = m_fs.openFolder(start, &m_out.startError);
        std::unique_ptr<TreeClaim> claim;
        if (m_job.journal && top.isOpen()) {
            claim = m_job.journal->claimTree(top, &m_out.busyWith);
            if (!claim)
                return m_out;
        }
        if (m_job.journal)
            m_journal = std::make_unique<RunJournal>(
                *m_job.journal, JournalHead{QStringLiteral("all"), start, m_job.options, m_job.includeSubfolders},
                [this](const QString& reason) { m_observer.journalFailed(reason); });

        m_observer.status(QStringLiteral("Searching... Please wait."));
        FolderTree tree = FindTree(top, m_job.includeSubfolders, m_fs, m_observer, m_pacer);
        if (top.isOpen())
            m_out.startError = tree.startError;
        m_observer.status(QStringLiteral("Renaming... Please wait."));
        const qsizetype startFiles = tree.folders.front().fileCount;
        if (startFiles == 0)
            m_observer.status(QString());
        if (m_job.includeSubfolders ? tree.fileCount == 0 : startFiles == 0)
            return m_out; // nothing at all is renamed, not even the folder

        // A cancelled search leaves the renaming to the start folder alone.
        const size_t count = tree.cancelled ? 1 : tree.folders.size();
        int parentError = 0;
        const FolderHandle parent =
            renamesStartFolder(start) ? m_fs.openFolder(parentOf(start), &parentError) : FolderHandle();
        if (!confirmed(tree, count, start, parent)) {
            m_observer.status(QString());
            return m_out;
        }
        m_out.renamed = true;
        m_out.found = tree.fileCount;
        for (const NotChanged& item : std::as_const(tree.skipped))
            leave(item);
        m_observer.progressMax(tree.fileCount);
        m_observer.progressValue(0);
        renameTree(tree, count, top, start, parent, parentError);
        if (m_journal)
            m_journal->finish(m_out.stopped);
        if (!m_out.stopped)
            m_observer.status(QStringLiteral("Renamed done !!"));
        return m_out;
    }

private:
    // Asks before a run that would rename in or rename a system folder or a user's home:
    // the start folder (and its parent for its own name), then every folder below it.
    bool confirmed(const FolderTree& tree, size_t count, const QString& start, const FolderHandle& parent)
    {
        const SystemFolders& known = m_job.systemFolders;
        FolderRole role =
            StartFolderRole(known, start, tree.folders.front().id, renamesStartFolder(start), parent.id());
        QString path = start;
        for (size_t i = 1; role == FolderRole::Ordinary && i < count; ++i) {
            role = known.roleOf(tree.folders[i].id);
            path = tree.pathOf(i, start);
        }
        return role == FolderRole::Ordinary || m_observer.confirmSystemFolder(path, role);
    }

    void renameTree(FolderTree& tree, size_t count, const FolderHandle& top, const QString& start,
                    const FolderHandle& parent, int parentError)
    {
        FolderChain chain(m_fs, top);
        std::vector<Level> levels;
        int skipBelow = -1; // the depth of a folder that could not be entered
        for (size_t i = 0; i < count; ++i) {
            FolderTree::Folder& folder = tree.folders[i];
            // A window closed during the search stops the run before its first rename.
            if (m_observer.stopRequested()) {
                m_out.stopped = true;
                return;
            }
            if (i > 0 && m_observer.cancelRequested())
                break;
            if (skipBelow >= 0 && folder.depth > skipBelow)
                continue;
            skipBelow = -1;
            while (!levels.empty() && levels.back().index != folder.parent) {
                levels.pop_back();
                chain.leave();
            }

            if (i == 0) {
                levels.push_back({renameStartFolder(start, parent, parentError), QString(), 0});
            } else {
                const QString parentPath = levels.back().path;
                const QString parentRelative = levels.back().relative;
                if (const int error = chain.enter(folder.name, folder.id)) {
                    leave({JoinPath(parentPath, folder.name, m_syntax), NotEnteredText(error)});
                    skipBelow = folder.depth;
                    continue;
                }
                QString name = folder.name;
                if (renamesFolders()) {
                    const QString newName = ConvertFolderName(name, m_job.options.style);
                    int error = 0;
                    const FolderHandle* above = chain.at(chain.depth() - 1, &error);
                    if (m_journal)
                        m_journal->inFolder(parentRelative);
                    if (!above)
                        leave({JoinPath(parentPath, name, m_syntax), NotEnteredText(error)}, newName);
                    else if (rename(*above, parentPath, name, newName))
                        name = newName, chain.renamed(newName);
                }
                levels.push_back({JoinPath(parentPath, name, m_syntax),
                                  parentRelative.isEmpty() ? name : parentRelative + u'/' + name, int(i)});
            }
            if (m_job.includeSubfolders)
                ++m_out.folders;
            if (!renameFiles(folder, chain.entered(), levels.back()))
                return;
            m_pacer.tick();
        }
    }

    bool renamesStartFolder(const QString& start) const
    {
        return renamesFolders() && start.size() > m_syntax.rootLength && start.contains(m_syntax.separator);
    }

    QString parentOf(const QString& start) const
    {
        return start.left(qMax<qsizetype>(start.lastIndexOf(m_syntax.separator), m_syntax.rootLength));
    }

    // The start folder's own name is renamed in its parent, the one step the run takes
    // outside the start folder. Returns its path as it stands afterwards.
    QString renameStartFolder(const QString& start, const FolderHandle& parent, int parentError)
    {
        if (!renamesStartFolder(start))
            return start; // a root has no name to change
        const QString parentPath = parentOf(start);
        const QString name = start.mid(start.lastIndexOf(m_syntax.separator) + 1);
        const QString newName = ConvertFolderName(name, m_job.options.style);
        if (!parent.isOpen()) {
            leave({start, ErrorText(parentError)}, newName);
            return start;
        }
        if (m_journal)
            m_journal->inOutsideFolder(parentPath);
        if (!rename(parent, parentPath, name, newName))
            return start;
        m_out.openFolder = JoinPath(parentPath, newName, m_syntax);
        if (m_journal && newName != name)
            m_journal->startFolderMoved(m_out.openFolder);
        return m_out.openFolder;
    }

    // False when a stop request ended the run.
    bool renameFiles(FolderTree::Folder& folder, const FolderHandle& handle, const Level& level)
    {
        if (m_journal)
            m_journal->inFolder(level.relative);
        for (const QStringView listed : folder.sortedFiles()) {
            const QString name = listed.toString();
            QString working = ConvertFileName(name, m_job.options.style);
            m_observer.progressValue(++m_out.files);
            m_observer.workingName(working);
            if (m_job.options.renameFile)
                rename(handle, level.path, name, working);
            m_out.workingName = std::move(working);
            m_pacer.tick();
            if (m_observer.stopRequested()) {
                m_out.stopped = true;
                return false;
            }
        }
        folder.files = QString(); // done with: a large tree gives its memory back as it goes
        return true;
    }

    // One rename of the run, told to the observer as it ends.
    bool rename(const FolderHandle& folder, const QString& folderPath, const QString& name, const QString& newName)
    {
        if (!RenameFile(m_fs, m_out.notChanged, folder, folderPath, name, newName, m_syntax, m_journal.get())) {
            m_observer.left(m_out.notChanged.back(), newName);
            return false;
        }
        if (newName != name)
            m_observer.renamed(folderPath, name, newName);
        return true;
    }

    void leave(const NotChanged& item, const QString& newName = {})
    {
        m_out.notChanged.append(item);
        m_observer.left(item, newName);
    }

    bool renamesFolders() const { return m_job.options.renameFolder && m_job.options.style != CaseStyle::None; }

    const RenameAllJob& m_job;
    FileSystem& m_fs;
    RunObserver& m_observer;
    EventPacer m_pacer;
    const PathSyntax m_syntax = PathSyntax::host();
    RenameAllOutcome m_out;
    std::unique_ptr<RunJournal> m_journal;
};

} // namespace

RenameAllOutcome RenameAll(const RenameAllJob& job, FileSystem& fs, RunObserver& observer)
{
    return Run(job, fs, observer).go();
}

} // namespace orvel
