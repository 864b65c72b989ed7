#pragma once

#include "main_window/FileList.h"
#include "platform/PathSyntax.h"

#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QListWidget>

class QMimeData;

namespace orvel {

class FileSystem;
class Volumes;

// The visible file list: extended multi-selection over a FileList.
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    FileListBox(const FileSystem& fs, QWidget* parent = nullptr);

    const QString& Path() const { return m_list.Path(); }
    // Re-reads the folder before returning; the selection is cleared.
    void setPath(const QString& path);
    void Refresh();

    int ListCount() const { return m_list.ListCount(); }
    QString List(int i) const { return m_list.List(i); }
    const QStringList& names() const { return m_list.names(); }
    bool Selected(int i) const;
    void setSelected(int i, bool selected);
    // The name of the entry that has the focus (empty when none has).
    QString value() const;

Q_SIGNALS:
    void Click();
    void DblClick();

private:
    void reload();

    FileList m_list;
    bool m_loading = false;
};

// The folder list: the open folder's ancestors, the open folder and its sub-folders.
// A double click (or Enter) opens a folder; a single click only highlights it.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    DirListBox(const FileSystem& fs, const Volumes& volumes, QWidget* parent = nullptr);

    const QString& Path() const { return m_path; }
    // Opens `path`. False, with the open folder unchanged, when it is not a folder.
    // When the open folder changes, Change has run to its end before this returns.
    bool setPath(const QString& path);
    // Opens the current folder of the volume `mountPoint`: the last folder opened on
    // it, at first its root. 0 on success, otherwise the volume's failure number
    // (PlatformError::DeviceUnavailable when its device is not ready).
    int setDrive(const QString& mountPoint);
    // Re-reads the tree shown, so renamed folders show their new names.
    void Refresh();

Q_SIGNALS:
    void Change();
    void Click();

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

// The drive list: one entry per mounted volume, its text the mount point.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(const Volumes& volumes, QWidget* parent = nullptr);

    QString Drive() const { return currentText(); }
    // Selects the volume that holds `path` (a mount point or any path below one).
    // When the selection changes, Change has run to its end before this returns.
    void setDrive(const QString& path);
    // Re-reads the mounted volumes; the selection stays, and no Change is raised.
    void Refresh();
    // Re-reads them first, so a volume mounted meanwhile can be chosen.
    void showPopup() override;

Q_SIGNALS:
    void Change();

private:
    const Volumes* m_volumes;
    bool m_loading = false;
};

// A label that reports mouse clicks.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
Q_SIGNALS:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A label that takes what is dropped on it.
class DropLabel : public QLabel {
    Q_OBJECT
public:
    explicit DropLabel(const QString& text, QWidget* parent = nullptr);
Q_SIGNALS:
    void OLEDragDrop(const QMimeData* data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace orvel
