// One instance of the program per user and display session, and folders handed over to it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
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

    enum class HandOver {
        Opened, // the running instance opened the folder and came forward
        Refused, // it came forward but did not open the folder
        Unreachable, // it did not answer (or is a version that takes no folders)
    };
    // Asks the instance that holds the lock to open `folder` (a file manager's "Open With"
    // while the program runs) and come forward.
    HandOver handOverFolder(const QString& folder);

    // What this instance, the holder of the lock, does with a folder that a later start
    // hands over: true when it opened it. Without a handler every folder is refused.
    void setFolderHandler(std::function<bool(const QString& folder)> handler) { m_folderHandler = std::move(handler); }

    // In $XDG_RUNTIME_DIR, else in a folder of the user's own in the temporary folder
    // (made when missing); empty when neither is the user's. The name carries the user
    // id and the display ($WAYLAND_DISPLAY, else $DISPLAY without its screen number).
    static QString defaultLockPath();

Q_SIGNALS:
    // A later start asked this instance, the holder of the lock, to come forward.
    void activationRequested();

private:
    void listenForLaterStarts();
    void serveLaterStart(QLocalSocket* socket);

    std::unique_ptr<QLockFile> m_lock;
    QString m_socketPath;
    QLocalServer* m_server = nullptr;
    std::function<bool(const QString&)> m_folderHandler;
};

} // namespace orvel
