// The two rename commands and the report that ends them.

#include "main_window/frmMain.h"

#include "engine/CancelRequested.h"
#include "engine/DirRecurse.h"
#include "engine/RenameAll.h"
#include "engine/RenameSelected.h"
#include "engine/frmChangeNot.h"
#include "platform/MessageBoxes.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvel {

namespace {
const QString kCheckboxText = QStringLiteral("Please checked Rename folder, Rename file or both.");
const QString kCheckboxTitle = QStringLiteral("Checkbox must select");
} // namespace

void frmMain::ReportNotChanged()
{
    const QString question = QString::number(lstCantRename.size())
        + QStringLiteral("  file(s) was not changed. The reasons for this are either that the file(s) is open or "
                         "being written to.   ")
        + QStringLiteral("Do you want to view these files ?");
    const auto answer = m_services.messages->show(this, question, QStringLiteral("File not renamed"),
                                                  MessageBoxes::Icon::None, MessageBoxes::Yes | MessageBoxes::No,
                                                  MessageBoxes::Yes);
    if (answer == MessageBoxes::Yes)
        frmChangeNot::ShowList(lstCantRename);
}

void frmMain::cmdSELECTED_Click()
{
    // Refused while Rename All lets window events through: the two runs share the
    // window's lists and the not-changed list.
    if (m_running)
        return;
    lstCantRename.clear();
    if (!chkRenameFile->isChecked() && !chkRenameFolder->isChecked()) {
        m_services.messages->show(this, kCheckboxText, kCheckboxTitle, MessageBoxes::Icon::Information,
                                  MessageBoxes::Ok, MessageBoxes::Ok);
        return;
    }

    RenameSelectedJob job;
    job.folder = File1->Path();
    const int count = File1->ListCount();
    job.names.reserve(count);
    job.selected.reserve(count);
    for (int i = 0; i < count; ++i) {
        job.names.append(File1->List(i));
        job.selected.append(File1->Selected(i));
    }
    job.subDirectory = txtSubDirectory;
    job.options = CurrentOptions();

    const RenameSelectedOutcome out = RenameSelected(job, *m_services.fs, lstCantRename, [this](const QString& folder) {
        AddRecentFolder(DirectoryText(folder));
    });
    if (out.anySelected)
        txtNAME->setText(out.workingName);

    // Show the new names; where the open folder itself was renamed, at its new name.
    followRenamedFolder(out.renamedFolder.value_or(Dir1->Path()));
    UpdateSelectedState();
    if (!lstCantRename.isEmpty())
        ReportNotChanged();
}

// ---------------------------------------------------------------- Rename All

namespace {

// Marks the window as running for the life of one Rename All.
class RunScope {
public:
    explicit RunScope(bool& running) : m_running(running) { m_running = true; }
    ~RunScope() { m_running = false; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    bool& m_running;
};

} // namespace

void frmMain::cmdALL_Click()
{
    if (m_running)
        return; // a click that arrived while this run let window events through
    {
        RunScope scope(m_running);
        CancelRequested = false;
        const bool files = chkRenameFile->isChecked();
        const bool folders = chkRenameFolder->isChecked();
        const bool subfolders = Check1->isChecked();
        if (!files && !folders) {
            m_services.messages->show(this, kCheckboxText, kCheckboxTitle, MessageBoxes::Icon::Information,
                                      MessageBoxes::Ok, MessageBoxes::Ok);
            EnableNavigation();
            return;
        }
        ResetRunDisplay();
        m_files = 0;
        m_folders = 0;
        SearchFiles();
        if (!m_closePending) {
            if (File1->ListCount() == 0)
                lblStatus->setText(QString());
            if ((subfolders && List2.isEmpty()) || (!subfolders && File1->ListCount() == 0)) {
                EnableNavigation();
            } else {
                ProgressBar1->setMax(Currency(List2.size()));
                ProgressBar1->setValue(Currency(0));
                File1->Refresh();
                AddRecentFolder(txtDirectory->text());
                if (!subfolders) {
                    RenameCurrentFolder();
                } else {
                    const QString directory = txtDirectory->text();
                    if (directory.size() == PathSyntax::host().rootLength) {
                        txtSubDirectory = File1->Path();
                        RenameCurrentFolder();
                    } else {
                        txtSubDirectory = directory.left(directory.size() - 1);
                    }
                    RenameFolderTree();
                }
                if (!m_closePending && !lstCantRename.isEmpty())
                    ReportNotChanged();
            }
        }
    }
    if (m_closePending) {
        m_closePending = false;
        EnableNavigation();
        close();
    }
}

void frmMain::SearchFiles()
{
    CancelRequested = false;
    lblStatus->setText(QStringLiteral("Searching... Please wait."));
    List2.clear();
    // The navigation is locked from here on, not only once the renames start: the
    // search lets window events through, and a folder change meanwhile would make the
    // run rename another tree than the one it searched and counted.
    DisableNavigation();
    const QString folder = txtDirectory->text();
    if (Check1->isChecked())
        FindFilesRecursive(List2, folder, QStringLiteral("*.*"), *m_services.fs);
    else
        FindFiles(List2, folder, QStringLiteral("*.*"), *m_services.fs);
    lblStatus->setText(QStringLiteral("Renaming... Please wait."));
}

void frmMain::countFile()
{
    ++m_files;
    ProgressBar1->setValue(Currency(m_files));
}

void frmMain::showCounts()
{
    txtFiles = QString::number(m_files);
    txtFolders = QString::number(m_folders);
    lblFolder->setText(QStringLiteral("Sub Folders  : ") + txtFolders);
    lblFiles->setText(QStringLiteral("Files : ") + txtFiles);
}

void frmMain::followRenamedFolder(const QString& newPath)
{
    // Where letter case matters the old name no longer exists: the lists, the texts
    // and the recent-folders entry move to the new one (the folder list's change
    // re-reads the lists and texts).
    const QString oldPath = Dir1->Path();
    if (newPath != oldPath && Dir1->setPath(newPath)) {
        RenameRecentFolder(DirectoryText(oldPath), DirectoryText(newPath));
        return;
    }
    File1->Refresh();
    Dir1->Refresh();
}

void frmMain::RenameCurrentFolder()
{
    const RunOptions options = CurrentOptions();
    QString folder = File1->Path();
    std::optional<QString> renamed;
    if (options.renameFolder) {
        renamed = SplitPath(txtSubDirectory);
        if (renamed && folder == txtSubDirectory)
            folder = *renamed;
    }
    const QString working = RenameFilesIn(folder, File1->names(), options, *m_services.fs, lstCantRename,
                                          [this] { countFile(); });
    if (File1->ListCount() > 0)
        txtNAME->setText(working);
    showCounts();
    if (!Check1->isChecked()) {
        lblFolder->show();
        lblFiles->show();
        lblStatus->setText(QStringLiteral("Renamed done !!"));
        EnableNavigation();
    }
    if (renamed && File1->Path() == txtSubDirectory)
        txtSubDirectory = *renamed;
    followRenamedFolder(folder);
}

void frmMain::RenameFolderTree()
{
    QStringList folders;
    FindFolders(folders, txtDirectory->text(), *m_services.fs);
    if (m_closePending)
        return;

    const RunOptions options = CurrentOptions();
    QString openFolder = Dir1->Path();
    QString working;
    bool anyFile = false;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        txtSubDirectory = folders[i];
        if (options.renameFolder) {
            if (const auto renamed = SplitPath(txtSubDirectory)) {
                if (openFolder == folders[i])
                    openFolder = *renamed;
                CarryOverFolderRename(folders, i, *renamed);
                txtSubDirectory = *renamed;
            }
        }
        ++m_folders;
        // One listing per folder, complete before its first rename; each entry is
        // renamed from exactly the name that was listed for it.
        File2.setPath(txtSubDirectory);
        if (File2.ListCount() > 0) {
            working = RenameFilesIn(txtSubDirectory, File2.names(), options, *m_services.fs, lstCantRename,
                                    [this] { countFile(); });
            anyFile = true;
        }
    }
    if (anyFile)
        txtNAME->setText(working);
    showCounts();
    lblFolder->show();
    lblFiles->show();
    EnableNavigation();
    lblStatus->setText(QStringLiteral("Renamed done !!"));
    followRenamedFolder(openFolder);
    txtSubDirectory = Dir1->Path();
}

void frmMain::DisableNavigation()
{
    setNavigationEnabled(false);
}

void frmMain::EnableNavigation()
{
    setNavigationEnabled(true);
}

void frmMain::setNavigationEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{cmdUpLevel, Drive1, Dir1, File1})
        w->setEnabled(enabled);
}

} // namespace orvel
