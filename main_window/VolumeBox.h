// The drive list control: one entry per mounted volume.
#pragma once

#include <QComboBox>

namespace orvel {

class Volumes;

// The drive list: one entry per mounted volume, its text the mount point.
class VolumeBox : public QComboBox {
    Q_OBJECT
public:
    explicit VolumeBox(const Volumes& volumes, QWidget* parent = nullptr);

    QString Drive() const { return currentText(); }
    // Selects the volume that holds `path` (a mount point or any path below one).
    // When the selection changes, volumeChanged has run to its end before this returns.
    void setDrive(const QString& path);
    // Re-reads the mounted volumes; the selection stays, and no volumeChanged is raised.
    void Refresh();
    // Re-reads them first, so a volume mounted meanwhile can be chosen.
    void showPopup() override;

Q_SIGNALS:
    void volumeChanged();

private:
    const Volumes* m_volumes;
    bool m_loading = false;
};

} // namespace orvel
