// Moving between volumes and folders: the three lists kept in step, Up One Level, the drop target.

#include "main_window/MainWindow.h"

#include "engine/Paths.h"
#include "platform/MessageBoxes.h"
#include "platform/NameCodec.h"
#include "platform/PlatformError.h"

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

namespace orvel {

void MainWindow::volumeChanged()
{
    const QString drive = Drive1->Drive();
    const int failure = Dir1->setDrive(drive);
    if (failure == 0)
        return;
    // Back to the volume of the folder that is still open; this runs volumeChanged
    // once more, for a volume that works.
    Drive1->setDrive(Dir1->Path());
    if (failure == PlatformError::DeviceUnavailable)
        m_services.messages->show(this, QStringLiteral("The drive you have selected cannot be accessed."),
                                  QStringLiteral("Problems with drive ") + drive.toUpper(),
                                  MessageBoxes::Icon::Critical, MessageBoxes::Ok, MessageBoxes::Ok);
}

void MainWindow::syncFolder()
{
    // Pointing the file list at the folder re-reads it, so the refresh that follows
    // each sync costs nothing extra.
    File1->setPath(Dir1->Path());
    txtDirectory->setText(DirectoryText(Dir1->Path()));
    m_folderToRename = Dir1->Path();
}

void MainWindow::folderChanged()
{
    syncFolder();
    updateSelectedState();
}

void MainWindow::folderClicked()
{
    syncFolder();
}

void MainWindow::upOneLevel()
{
    // A parent that has vanished meanwhile leaves the list where it is.
    Dir1->setPath(ParentPath(Dir1->Path()));
}

void MainWindow::fileClicked()
{
    txtNAME->setText(File1->value());
    updateSelectedState();
}

void MainWindow::fileDoubleClicked()
{
    renameSelected();
    File1->setFocus(); // for the next double click
}

void MainWindow::folderDropped(const QMimeData* data)
{
    // A run's folder must not change under it while it lets window events through.
    if (m_running)
        return;
    bool opened = false;
    if (data && data->hasUrls() && !data->urls().isEmpty()) {
        // The path's bytes as the file manager sent them: a name that is not UTF-8 stays
        // the name it is.
        const QString first = LocalPathOfUrl(data->urls().constFirst());
        if (!first.isEmpty()) {
            Drive1->setDrive(first);
            opened = Dir1->setPath(first);
        }
    }
    if (opened) {
        setStatusText(QString());
        return;
    }
    Drive1->setDrive(m_services.programFolder);
    m_services.messages->show(this, QStringLiteral("Select folder only ."), QString(), MessageBoxes::Icon::Information,
                              MessageBoxes::Ok, MessageBoxes::Ok);
}

bool MainWindow::openHandedOverFolder(const QString& folder)
{
    // Not under a run, which works on the open folder, nor under a question, which asks
    // about it: the folder it names must be the folder renamed.
    if (m_running || QApplication::activeModalWidget())
        return false;
    Drive1->setDrive(folder);
    if (!Dir1->setPath(folder))
        return false;
    setStatusText(QString());
    return true;
}

} // namespace orvel
