#include "main_window/ListControls.h"

#include "engine/CaseConversion.h"
#include "platform/FileSystem.h"
#include "platform/Volumes.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>

namespace orvel {

// ---------------------------------------------------------------- FileListBox

FileListBox::FileListBox(const FileSystem& fs, QWidget* parent)
    : QListWidget(parent)
    , m_list(fs)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true); // keeps lists of many thousand names quick
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_loading)
            Q_EMIT Click();
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Q_EMIT DblClick(); });
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

// ---------------------------------------------------------------- DirListBox

DirListBox::DirListBox(const FileSystem& fs, const Volumes& volumes, QWidget* parent)
    : QListWidget(parent)
    , m_fs(&fs)
    , m_volumes(&volumes)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    // Not on activation: desktops set to single-click activation would open a folder
    // on the click that is only meant to highlight it.
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::open);
    connect(this, &QListWidget::itemClicked, this, [this] { Q_EMIT Click(); });
}

void DirListBox::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        open(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListBox::open(const QListWidgetItem* item)
{
    setPath(item->data(Qt::UserRole).toString());
}

bool DirListBox::setPath(const QString& path)
{
    // A link to a folder is opened as the folder it names, but never walked into.
    const EntryType type = path.isEmpty() ? EntryType::Missing : m_fs->entryType(path);
    if (type != EntryType::Folder && type != EntryType::FolderLink)
        return false;
    QString open = path;
    while (open.size() > PathSyntax::host().rootLength && open.endsWith(PathSyntax::host().separator))
        open.chop(1);
    const QString volume = m_volumes->volumeOf(open);
    if (!volume.isEmpty())
        m_driveFolder.insert(volume, open);
    const bool changed = open != m_path;
    m_path = open;
    rebuild();
    if (changed)
        Q_EMIT Change();
    return true;
}

int DirListBox::setDrive(const QString& mountPoint)
{
    if (const int failure = m_volumes->probe(mountPoint))
        return failure;
    const QString remembered = m_driveFolder.value(mountPoint);
    if (!remembered.isEmpty() && setPath(remembered))
        return 0;
    return setPath(mountPoint) ? 0 : -1;
}

void DirListBox::Refresh()
{
    rebuild();
}

void DirListBox::rebuild()
{
    const PathSyntax syntax = PathSyntax::host();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirIcon);

    QSignalBlocker block(this);
    clear();

    // The chain from the root down to the open folder.
    QStringList chain;
    for (QString p = m_path; !p.isEmpty();) {
        chain.prepend(p);
        if (p.size() <= syntax.rootLength)
            break;
        const qsizetype cut = p.lastIndexOf(syntax.separator);
        if (cut < 0)
            break;
        p = cut < syntax.rootLength ? p.left(syntax.rootLength) : p.left(cut);
    }
    int depth = 0;
    QListWidgetItem* openItem = nullptr;
    for (const QString& p : chain) {
        const QString name = p.size() <= syntax.rootLength ? p : p.mid(p.lastIndexOf(syntax.separator) + 1);
        auto* item = new QListWidgetItem(openIcon, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(Qt::UserRole, p);
        openItem = item;
        ++depth;
    }

    QStringList subfolders;
    if (const auto entries = m_fs->list(m_path, true)) {
        for (const DirEntry& e : *entries)
            if (e.type == EntryType::Folder || e.type == EntryType::FolderLink)
                subfolders.append(e.name);
    }
    SortNames(subfolders);
    const QString base = m_path.endsWith(syntax.separator) ? m_path : m_path + syntax.separator;
    for (const QString& name : subfolders) {
        auto* item = new QListWidgetItem(closedIcon, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(Qt::UserRole, base + name);
    }
    if (openItem)
        setCurrentItem(openItem);
}

// ---------------------------------------------------------------- DriveListBox

DriveListBox::DriveListBox(const Volumes& volumes, QWidget* parent)
    : QComboBox(parent)
    , m_volumes(&volumes)
{
    Refresh();
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_loading)
            Q_EMIT Change();
    });
}

void DriveListBox::Refresh()
{
    const QString current = currentText();
    QStringList volumes = m_volumes->mountPoints();
    // A selected volume that has gone stays listed: the folder list still shows it,
    // and leaving it is the user's choice.
    if (!current.isEmpty() && !volumes.contains(current)) {
        volumes.append(current);
        volumes.sort();
    }
    QStringList listed;
    for (int i = 0; i < count(); ++i)
        listed.append(itemText(i));
    if (volumes == listed)
        return;
    m_loading = true;
    clear();
    addItems(volumes);
    const int keep = findText(current);
    if (keep >= 0)
        setCurrentIndex(keep);
    m_loading = false;
}

void DriveListBox::showPopup()
{
    Refresh();
    QComboBox::showPopup();
}

void DriveListBox::setDrive(const QString& path)
{
    const QString volume = m_volumes->volumeOf(path);
    if (volume.isEmpty())
        return;
    int index = findText(volume);
    if (index < 0) {
        Refresh(); // mounted since the list was filled
        index = findText(volume);
    }
    if (index >= 0 && index != currentIndex())
        setCurrentIndex(index); // raises Change
}

// ---------------------------------------------------------------- labels

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT Click();
}

DropLabel::DropLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setAcceptDrops(true);
}

void DropLabel::dragEnterEvent(QDragEnterEvent* event)
{
    event->acceptProposedAction();
}

void DropLabel::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
}

void DropLabel::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    Q_EMIT OLEDragDrop(event->mimeData());
}

} // namespace orvel
