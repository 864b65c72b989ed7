#pragma once

#include "platform/PlatformError.h"
#include "platform/Volumes.h"

#include <QSet>
#include <QStringList>

namespace orvel::test {

// Volumes that a test lays out: real folders standing for mount points, some of
// which can be made "not ready".
class FakeVolumes final : public Volumes {
public:
    QStringList mountPoints() const override
    {
        QStringList sorted = roots;
        sorted.sort();
        return sorted;
    }
    int probe(const QString& mountPoint) const override
    {
        if (unavailable.contains(mountPoint))
            return PlatformError::DeviceUnavailable;
        if (failing.contains(mountPoint))
            return 1013;
        return 0;
    }

    QStringList roots{QStringLiteral("/")};
    QSet<QString> unavailable;
    QSet<QString> failing;
};

} // namespace orvel::test
