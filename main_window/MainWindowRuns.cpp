// The window's side of a run: the two rename commands and the undo, and what they report.
// Here too the window observes a run, and keeps controls disabled while the run works.

#include "main_window/MainWindow.h"

#include "engine/Paths.h"
#include "engine/RenameAll.h"
#include "engine/RenameSelected.h"
#include "engine/RunPlan.h"
#include "engine/UndoRun.h"
#include "main_window/NotChangedDialog.h"
#include "main_window/PreviewDialog.h"
#include "platform/JournalFiles.h"
#include "platform/MessageBoxes.h"
#include "platform/SystemFolders.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

namespace orvel {

namespace {
const QString kCheckboxText = QStringLiteral("Please checked Rename folder, Rename file or both.");
const QString kCheckboxTitle = QStringLiteral("Checkbox must select");
} // namespace

void MainWindow::reportNotChanged()
{
    const QString question = QString::number(m_notChanged.size())
        + QStringLiteral("  file(s) was not changed. The reasons for this are either that the file(s) is open or "
                         "being written to.   ")
        + QStringLiteral("Do you want to view these files ?");
    const auto answer =
        m_services.messages->show(this, question, QStringLiteral("File not renamed"), MessageBoxes::Icon::None,
                                  MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::Yes);
    if (answer == MessageBoxes::Yes)
        NotChangedDialog::showList(m_notChanged);
}

bool MainWindow::refusedAsBusy(const QString& busyWith)
{
    if (busyWith.isEmpty())
        return false;
    m_services.messages->show(this,
                              QStringLiteral("The folder ") + QDir::toNativeSeparators(busyWith)
                                  + QStringLiteral(" is being renamed by another run.   Please try again when it is "
                                                   "done."),
                              QStringLiteral("Orvel File Rename"), MessageBoxes::Icon::Information, MessageBoxes::Ok,
                              MessageBoxes::Ok);
    return true;
}

bool MainWindow::confirmSystemFolder(const QString& folder, FolderRole role)
{
    const QString question = QStringLiteral("The folder ") + folder
        + (role == FolderRole::Home
               ? QStringLiteral(" is the home folder of a user. Changing its name or the names in it can keep that "
                                "user from logging in.   Do you want to rename them anyway ?")
               : QStringLiteral(" belongs to the operating system. Changing the names in it can stop the system "
                                "from working.   Do you want to rename them anyway ?"));
    return m_services.messages->show(this, question, QStringLiteral("Orvel File Rename"), MessageBoxes::Icon::Warning,
                                     MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::No)
        == MessageBoxes::Yes;
}

bool MainWindow::somethingTicked()
{
    if (chkRenameFile->isChecked() || chkRenameFolder->isChecked())
        return true;
    m_services.messages->show(this, kCheckboxText, kCheckboxTitle, MessageBoxes::Icon::Information, MessageBoxes::Ok,
                              MessageBoxes::Ok);
    return false;
}

RenameSelectedJob MainWindow::renameSelectedJob() const
{
    RenameSelectedJob job;
    job.folder = File1->Path();
    const int count = File1->ListCount();
    job.names.reserve(count);
    job.selected.reserve(count);
    for (int i = 0; i < count; ++i) {
        job.names.append(File1->List(i));
        job.selected.append(File1->Selected(i));
    }
    job.folderToRename = m_folderToRename;
    job.options = currentOptions();
    job.systemFolders = SystemFolders::host();
    job.records = m_services.records;
    return job;
}

RenameAllJob MainWindow::renameAllJob() const
{
    return {txtDirectory->text(), currentOptions(), Check1->isChecked(), m_services.records, SystemFolders::host()};
}

void MainWindow::renameSelected()
{
    // Refused while Rename All lets window events through: the two runs share the
    // window's lists and the not-changed list.
    if (m_running)
        return;
    m_notChanged.clear();
    if (!somethingTicked())
        return;

    const RenameSelectedJob job = renameSelectedJob();
    if (job.selected.contains(true) && !job.records.journals && !m_services.journalProblem.isEmpty())
        journalFailed(m_services.journalProblem);
    const RenameSelectedOutcome out = RenameSelected(job, *m_services.fs, *this);
    if (out.declined || refusedAsBusy(out.busyWith))
        return;
    m_notChanged = out.notChanged;
    if (out.anySelected) {
        txtNAME->setText(out.workingName);
        addRecentFolder(DirectoryText(out.renamedFolder.value_or(job.folder)));
    }
    // Show the new names; where the open folder itself was renamed, at its new name.
    followRenamedFolder(out.renamedFolder.value_or(Dir1->Path()));
    updateSelectedState();
    updateUndoState(false, out.undoable);
    // The focus stays with the command for the next selection, or goes to the list when
    // the command has nothing left to rename.
    (cmdSELECTED->isEnabled() ? static_cast<QWidget*>(cmdSELECTED) : File1)->setFocus();
    if (out.anySelected) {
        if (m_notChanged.isEmpty())
            announceStatus(QStringLiteral("Renamed done !!"));
        else if (m_notChanged.size() == 1)
            announceStatus(QStringLiteral("Not renamed: ") + m_notChanged.constFirst().reason);
        else
            announceStatus(QStringLiteral("%1 names not renamed.").arg(m_notChanged.size()));
    }
    if (!m_notChanged.isEmpty())
        reportNotChanged();
}

// ---------------------------------------------------------------- Preview

void MainWindow::previewRenameAll()
{
    if (m_running || !somethingTicked())
        return;
    const RenameAllJob job = renameAllJob();
    const QString open = NormalizePath(job.startFolder);
    PreviewDialog preview(QStringLiteral("Rename &All"), open.isEmpty() ? job.startFolder : open, this);
    if (preview.planAndAsk([&](RunObserver& plan) { PlanRenameAll(job, *m_services.fs, plan); }))
        renameAll();
}

void MainWindow::previewRenameSelected()
{
    if (m_running || !somethingTicked())
        return;
    const RenameSelectedJob job = renameSelectedJob();
    PreviewDialog preview(QStringLiteral("Rename &Selected"), job.folder, this);
    if (preview.planAndAsk([&](RunObserver& plan) { PlanRenameSelected(job, *m_services.fs, plan); }))
        renameSelected();
}

// ---------------------------------------------------------------- Rename All

void MainWindow::renameAll()
{
    if (m_running)
        return; // a click that arrived while this run let window events through
    m_cancelRequested = false;
    if (!somethingTicked()) {
        enableNavigation();
        return;
    }

    beginRun();
    if (!m_services.records.journals && !m_services.journalProblem.isEmpty())
        journalFailed(m_services.journalProblem);
    const RenameAllOutcome out = RenameAll(renameAllJob(), *m_services.fs, *this);
    if (endRun() || refusedAsBusy(out.busyWith))
        return;
    cmdALL->setFocus();
    // The run's last status is new to the line (it was cleared as the run began), so a
    // screen reader hears it as it is set.
    if (out.stopped)
        setStatusText(QStringLiteral("Stopped: %1 of %2 files renamed.").arg(out.files).arg(out.found));
    showOutcome(out);
    updateUndoState(false, out.undoable);
}

// ---------------------------------------------------------------- Undo Last Rename

void MainWindow::undoLastRename()
{
    if (m_running || !m_services.records.journals)
        return;
    const std::optional<UndoCandidate> run = NewestUndoableRun(*m_services.records.journals);
    if (!run) {
        updateUndoState(true);
        return;
    }
    const QString question = QStringLiteral("Undo the renaming of %1 names in %2 ?")
                                 .arg(QString::number(run->renames), QDir::toNativeSeparators(run->startFolder));
    if (m_services.messages->show(this, question, QStringLiteral("Orvel File Rename"), MessageBoxes::Icon::Question,
                                  MessageBoxes::Yes | MessageBoxes::No, MessageBoxes::No)
        != MessageBoxes::Yes)
        return;

    m_cancelRequested = false;
    beginRun();
    const UndoOutcome out = UndoWholeRun(run->journals, {}, m_services.records, *m_services.fs, *this);
    if (endRun() || refusedAsBusy(out.busyWith))
        return;
    showProgress();
    announceStatus(out.stopped ? QStringLiteral("Stopped: %1 of %2 names undone.").arg(out.undone).arg(m_progressMax)
                               : QStringLiteral("Undo done !!"));
    // The open folder may have its old name back: the lists go with it.
    const QString open = Dir1->Path();
    if (!out.movedFrom.isEmpty() && (open == out.movedFrom || open.startsWith(JoinPath(out.movedFrom, {}))))
        followRenamedFolder(out.startFolder + open.mid(out.movedFrom.size()));
    else
        followRenamedFolder(open);
    m_folderToRename = Dir1->Path();
    updateSelectedState();
    updateUndoState(true); // the journal says what was undone; its name stays the same
    m_notChanged = out.notChanged;
    if (!m_notChanged.isEmpty())
        reportNotChanged();
}

void MainWindow::updateUndoState(bool journalsChanged, bool runUndoable)
{
    // Reading the journals can mean reading megabytes (a hundred after a run of a
    // million names): they are read again only when the store holds other ones than
    // last time, or one of them was written to, and the run that just wrote one cannot
    // say that it is there to be undone.
    if (m_services.records.journals) {
        const QStringList names = m_services.records.journals->names();
        if (runUndoable) {
            m_journalsSeen = names;
            m_undoable = true;
        } else if (journalsChanged || names != m_journalsSeen) {
            m_journalsSeen = names;
            m_undoable = NewestUndoableRun(*m_services.records.journals).has_value();
        }
    }
    mnuUndo->setEnabled(!m_running && m_undoable);
}

void MainWindow::journalFailed(const QString& reason)
{
    m_services.messages->show(this, QStringLiteral("This rename cannot be undone: ") + reason,
                              QStringLiteral("Orvel File Rename"), MessageBoxes::Icon::Warning, MessageBoxes::Ok,
                              MessageBoxes::Ok);
}

void MainWindow::showOutcome(const RenameAllOutcome& out)
{
    if (!out.renamed)
        return; // an early exit: the result labels stay hidden
    m_progressValue = out.files;
    showProgress();
    if (!out.workingName.isNull())
        txtNAME->setText(out.workingName);
    m_filesCounted = out.files;
    m_foldersCounted = out.folders;
    lblFolder->setText(QStringLiteral("Sub Folders  : ") + QString::number(m_foldersCounted));
    lblFiles->setText(QStringLiteral("Files : ") + QString::number(m_filesCounted));
    lblFolder->show();
    lblFiles->show();
    m_notChanged = out.notChanged;
    addRecentFolder(DirectoryText(out.openFolder));
    followRenamedFolder(out.openFolder);
    m_folderToRename = Dir1->Path();
    if (!m_notChanged.isEmpty())
        reportNotChanged();
}

void MainWindow::followRenamedFolder(const QString& newPath)
{
    // Where letter case matters the old name no longer exists: the lists, the texts
    // and the recent-folders entry move to the new one (the folder list's change
    // re-reads the lists and texts).
    const QString oldPath = Dir1->Path();
    if (newPath != oldPath && Dir1->setPath(newPath)) {
        renameRecentFolder(DirectoryText(oldPath), DirectoryText(newPath));
        return;
    }
    File1->Refresh();
    Dir1->Refresh();
}

void MainWindow::beginRun()
{
    // Nothing the user does meanwhile may change what the run works on.
    m_running = true;
    m_stopRequested = m_renaming = false;
    m_progressMax = 0;
    setRunLocked(true);
    resetRunDisplay();
    m_progressValue = m_progressShown = 0;
    m_workingName = QString();
}

bool MainWindow::endRun()
{
    setRunLocked(false);
    m_running = false;
    if (!m_closePending)
        return false;
    // The close arrived while the run let window events through; it is carried out now.
    m_closePending = false;
    close();
    return true;
}

void MainWindow::setRunLocked(bool locked)
{
    m_cancelKey->setEnabled(locked);
    if (locked) {
        m_lockedControls.clear();
        for (QObject* control : std::initializer_list<QObject*>{
                 cmdUpLevel, Drive1, Dir1, File1, cmdALL, cmdSELECTED, Frame1, Check1, mnuRenameSelected, mnuRenamedAll,
                 mnuPreviewAll, mnuPreviewSelected, mnuFileSub->menuAction(), mnuMRUClear, mnuUndo,
                 mnuOptions->menuAction()}) {
            m_lockedControls.append({control, control->property("enabled").toBool()});
            control->setProperty("enabled", false);
        }
        return;
    }
    // Back as they were: the navigation always enabled, "Rename Selected" as its
    // rules left it.
    for (const auto& [control, enabled] : std::as_const(m_lockedControls))
        control->setProperty("enabled", enabled);
    m_lockedControls.clear();
}

void MainWindow::enableNavigation()
{
    for (QWidget* w : std::initializer_list<QWidget*>{cmdUpLevel, Drive1, Dir1, File1})
        w->setEnabled(true);
}

// ---------------------------------------------------------------- the runs' observer

void MainWindow::status(const QString& text)
{
    setStatusText(text);
    // On screen at once: the run may not let events through before it ends.
    lblStatus->repaint();
}

void MainWindow::progressMax(qint64 max)
{
    // The search is over: from here on Escape stops the run.
    m_renaming = true;
    m_progressMax = max;
    ProgressBar1->setMax(Currency(max));
    // The bar cannot show more steps than it has pixels; setting its value more often
    // only costs time.
    m_progressStep = qMax<qint64>(1, max / qMax(ProgressBar1->width(), 100));
}

void MainWindow::progressValue(qint64 value)
{
    m_progressValue = value;
    if (value == 0 || value - m_progressShown >= m_progressStep)
        showProgress();
}

void MainWindow::showProgress()
{
    ProgressBar1->setValue(Currency(m_progressValue));
    m_progressShown = m_progressValue;
}

void MainWindow::workingName(const QString& name)
{
    m_workingName = name;
}

void MainWindow::letEventsThrough()
{
    if (m_progressShown != m_progressValue)
        showProgress();
    if (!m_workingName.isNull() && txtNAME->text() != m_workingName)
        txtNAME->setText(m_workingName);
    QCoreApplication::processEvents();
}

} // namespace orvel
