// The file list control's reading of its folder and its selection.

#include "main_window/FileListBox.h"

namespace orvel {

FileListBox::FileListBox(const FileSystem& fs, QWidget* parent)
    : QListWidget(parent)
    , m_list(fs)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true); // keeps lists of many thousand names quick
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_loading)
            Q_EMIT fileClicked();
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Q_EMIT fileDoubleClicked(); });
}

void FileListBox::setPath(const QString& path)
{
    m_list.setPath(path);
    reload();
}

void FileListBox::Refresh()
{
    m_list.Refresh();
    reload();
}

void FileListBox::reload()
{
    m_loading = true;
    clear();
    addItems(m_list.names());
    m_loading = false;
}

bool FileListBox::Selected(int i) const
{
    const QListWidgetItem* it = item(i);
    return it && it->isSelected();
}

void FileListBox::setSelected(int i, bool selected)
{
    if (QListWidgetItem* it = item(i))
        it->setSelected(selected);
}

QString FileListBox::value() const
{
    const QListWidgetItem* it = currentItem();
    return it ? it->text() : QString();
}

} // namespace orvel
