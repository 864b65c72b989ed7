#include "main_window/VolumeBox.h"

#include "platform/Volumes.h"

#include <QSignalBlocker>

namespace orvel {

VolumeBox::VolumeBox(const Volumes& volumes, QWidget* parent)
    : QComboBox(parent)
    , m_volumes(&volumes)
{
    Refresh();
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_loading)
            Q_EMIT volumeChanged();
    });
}

void VolumeBox::Refresh()
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

void VolumeBox::showPopup()
{
    Refresh();
    QComboBox::showPopup();
}

void VolumeBox::setDrive(const QString& path)
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
        setCurrentIndex(index); // raises volumeChanged
}

} // namespace orvel
