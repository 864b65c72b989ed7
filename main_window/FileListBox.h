// The file list control: the open folder's files, several of them selectable.
#pragma once

#include "main_window/FileList.h"

#include <QListWidget>

namespace orvel {

class FileSystem;

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
    void fileClicked();
    void fileDoubleClicked();

private:
    void reload();

    FileList m_list;
    bool m_loading = false;
};

} // namespace orvel
