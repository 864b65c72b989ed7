#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

namespace orvel {

// A lock per user and display session that tells whether another instance of the
// program is running there. A lock left behind by a crashed instance does not block a
// new start, and neither does a lock that cannot be made at all.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Acquired, // this process holds the lock now (until it is destroyed)
        HeldByOther, // a live process holds it: the program is running already
        Unavailable, // no lock could be made: the program runs without the guarantee
    };

    // `lockPath` defaults to defaultLockPath(); without one there is no lock.
    explicit SingleInstance(const QString& lockPath = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    Result tryAcquire();

    // Asks the instance that holds the lock to bring its window forward; false when it
    // could not be reached.
    bool activateRunningInstance();

    // In $XDG_RUNTIME_DIR, else in a folder of the user's own in the temporary folder
    // (made when missing); empty when neither is the user's. The name carries the user
    // id and the display ($WAYLAND_DISPLAY, else $DISPLAY without its screen number).
    static QString defaultLockPath();

Q_SIGNALS:
    // A later start asked this instance, the holder of the lock, to come forward.
    void activationRequested();

private:
    void listenForLaterStarts();

    std::unique_ptr<QLockFile> m_lock;
    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};

} // namespace orvel
