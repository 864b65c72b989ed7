// Opening folders in the folder list, and building its entries.

#include "main_window/FolderListBox.h"

#include "engine/CaseConversion.h"
#include "engine/Paths.h"
#include "platform/FileSystem.h"
#include "platform/Volumes.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStyle>

namespace orvel {

FolderListBox::FolderListBox(const FileSystem& fs, const Volumes& volumes, QWidget* parent)
    : QListWidget(parent)
    , m_fs(&fs)
    , m_volumes(&volumes)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    // Not on activation: desktops set to single-click activation would open a folder
    // on the click that is only meant to highlight it.
    connect(this, &QListWidget::itemDoubleClicked, this, &FolderListBox::open);
    connect(this, &QListWidget::itemClicked, this, [this] { Q_EMIT folderClicked(); });
}

void FolderListBox::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        open(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderListBox::open(const QListWidgetItem* item)
{
    setPath(item->data(Qt::UserRole).toString());
}

bool FolderListBox::setPath(const QString& path)
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
        Q_EMIT folderChanged();
    return true;
}

int FolderListBox::setDrive(const QString& mountPoint)
{
    if (const int failure = m_volumes->probe(mountPoint))
        return failure;
    const QString remembered = m_driveFolder.value(mountPoint);
    if (!remembered.isEmpty() && setPath(remembered))
        return 0;
    return setPath(mountPoint) ? 0 : -1;
}

void FolderListBox::Refresh()
{
    rebuild();
}

void FolderListBox::rebuild()
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

} // namespace orvel
