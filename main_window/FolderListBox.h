// The folder list control: the open folder's ancestors and its sub-folders.
#pragma once

#include <QHash>
#include <QListWidget>

namespace orvel {

class FileSystem;
class Volumes;

// The folder list: the open folder's ancestors, the open folder and its sub-folders.
// A double click (or Enter) opens a folder; a single click only highlights it.
class FolderListBox : public QListWidget {
    Q_OBJECT
public:
    FolderListBox(const FileSystem& fs, const Volumes& volumes, QWidget* parent = nullptr);

    const QString& Path() const { return m_path; }
    // Opens `path`. False, with the open folder unchanged, when it is not a folder.
    // When the open folder changes, folderChanged has run to its end before this returns.
    bool setPath(const QString& path);
    // Opens the current folder of the volume `mountPoint`: the last folder opened on
    // it, at first its root. 0 on success, otherwise the volume's failure number
    // (PlatformError::DeviceUnavailable when its device is not ready).
    int setDrive(const QString& mountPoint);
    // Re-reads the tree shown, so renamed folders show their new names.
    void Refresh();

Q_SIGNALS:
    void folderChanged();
    void folderClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void rebuild();
    void open(const QListWidgetItem* item);

    const FileSystem* m_fs;
    const Volumes* m_volumes;
    QString m_path;
    QHash<QString, QString> m_driveFolder; // mount point -> last folder opened on it
};

} // namespace orvel
