#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace orvel {

// A per-user lock that tells whether another instance of the program is running.
// A lock left behind by a crashed instance does not block a new start.
class SingleInstance {
public:
    // `lockPath` defaults to a file in the user's runtime folder.
    explicit SingleInstance(const QString& lockPath = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the lock (it keeps it until destroyed); false
    // when another running process holds it.
    bool tryAcquire();

    static QString defaultLockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace orvel
