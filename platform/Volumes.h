// Mounted volumes, which the drive list shows as drives.
#pragma once

#include <QString>
#include <QStringList>

namespace orvel {

// Mounted volumes stand for drives: a volume's text is its mount point.
class Volumes {
public:
    virtual ~Volumes() = default;

    // Mount points of the volumes that hold real file systems, sorted. Examines every
    // mounted volume: call it to fill a list, not on every change of folder.
    virtual QStringList mountPoints() const = 0;

    // The mount point of the volume that holds `path`.
    virtual QString volumeOf(const QString& path) const;

    // Opens the root of a volume to see whether it can be used: 0 when it can,
    // PlatformError::DeviceUnavailable (68) when its device is not ready (no medium,
    // gone), another non-zero number for any other failure.
    virtual int probe(const QString& mountPoint) const = 0;
};

Volumes& hostVolumes();

// The mount point among `mountPoints` that holds `path`: the longest one that is a
// prefix of it on a separator boundary. Empty when none does.
QString volumeHolding(const QStringList& mountPoints, const QString& path);

} // namespace orvel
