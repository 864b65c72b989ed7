// The two rename commands and the report that ends them.

#include "main_window/frmMain.h"

#include "engine/RenameSelected.h"
#include "engine/frmChangeNot.h"
#include "platform/MessageBoxes.h"

#include <QCheckBox>
#include <QLineEdit>

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
    job.renameFile = chkRenameFile->isChecked();
    job.renameFolder = chkRenameFolder->isChecked();
    job.style = SelectedCase();

    const RenameSelectedOutcome out = RenameSelected(job, *m_services.fs, lstCantRename, [this](const QString& folder) {
        AddRecentFolder(DirectoryText(folder));
    });
    if (out.anySelected)
        txtNAME->setText(out.workingName);

    // Show the new names. Where the open folder itself was renamed, the lists and
    // texts move to its new name: the old one no longer exists where case matters.
    if (out.renamedFolder && *out.renamedFolder != Dir1->Path() && Dir1->setPath(*out.renamedFolder)) {
        // The folder list's change has re-read the file list and the texts.
    } else {
        File1->Refresh();
        Dir1->Refresh();
    }
    UpdateSelectedState();
    if (!lstCantRename.isEmpty())
        ReportNotChanged();
}

void frmMain::cmdALL_Click()
{
}

} // namespace orvel
