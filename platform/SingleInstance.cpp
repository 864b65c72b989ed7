// The instance's lock file, and the local socket through which later starts reach its holder.

#include "platform/SingleInstance.h"

#include "platform/PrivateFolder.h"

#include "platform/NameCodec.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel {

namespace {

// The display session the program shows its window in: ":0" and ":0.1" are screens of
// one X server and so one session.
QString sessionDisplay()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
        const qsizetype colon = display.lastIndexOf(u':');
        const qsizetype dot = colon < 0 ? -1 : display.indexOf(u'.', colon);
        if (dot > colon)
            display.truncate(dot);
    }
    // A Wayland display may be a socket path and an X display holds a colon: keep
    // only what any file system takes in a name.
    for (QChar& c : display)
        if (!(c.unicode() < 0x80 && c.isLetterOrNumber()) && c != u'.' && c != u'-' && c != u'_')
            c = u'_';
    return display.isEmpty() ? QStringLiteral("none") : display;
}

bool isAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// A later start that names a folder sends "open ", the folder's bytes and a NUL, and
// reads one byte back: '1' opened, '0' refused. One that only wants the window forward
// says nothing and hangs up, as every start did before folders were handed over.
const QByteArray OpenRequest = "open ";
constexpr qsizetype LongestRequest = 64 * 1024; // a path is at most 4 KiB; more is no request of ours

// Whether `path` is a folder of this user's (not a link to one), which no one else may
// change; with `makeOwn`, made so if it is missing or open to others.
bool isOwnFolder(const QString& path, bool makeOwn)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (makeOwn && ::mkdir(bytes.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (::lstat(bytes.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 077) == 0 || (makeOwn && ::chmod(bytes.constData(), 0700) == 0);
}

// Where this user's lock and socket live: the session's runtime folder, or without one
// (su, sudo -i, ssh) a folder of the user's own in the temporary folder, trusted only
// while it is the user's and closed to others, as Qt treats its runtime folder. Empty
// when there is none: in a shared folder another user could take the socket's path.
QString privateFolder()
{
    const QString folder = RuntimeFolder();
    return isOwnFolder(folder, true) ? folder : QString();
}

} // namespace

SingleInstance::SingleInstance(const QString& lockPath, QObject* parent)
    : QObject(parent)
{
    const QString path = lockPath.isEmpty() ? defaultLockPath() : lockPath;
    if (path.isEmpty())
        return; // no place of its own: the program runs without the lock
    m_lock = std::make_unique<QLockFile>(path);
    // Never treat a lock as stale because of its age: a long-running instance must
    // keep it. A lock whose process is gone is still recognised and taken over.
    m_lock->setStaleLockTime(0);
    m_socketPath = m_lock->fileName();
    if (m_socketPath.endsWith(QLatin1String(".lock")))
        m_socketPath.chop(5);
    m_socketPath += QLatin1String(".socket");
}

SingleInstance::~SingleInstance()
{
    // The socket goes before the lock: once the lock is released, a new instance may put
    // its own socket at the same path, and closing ours then would remove it.
    delete m_server;
}

SingleInstance::Result SingleInstance::tryAcquire()
{
    // Only a regular file of this user can be a lock of ours. Anything else at the
    // path is no lock to trust or take over: a folder, a FIFO (reading who holds it
    // would stall the start), another user's file in a shared temporary folder.
    struct stat st;
    if (!m_lock
        || (::lstat(QFile::encodeName(m_lock->fileName()).constData(), &st) == 0
            && (!S_ISREG(st.st_mode) || st.st_uid != ::getuid())))
        return Result::Unavailable;

    if (m_lock->tryLock(0)) {
        listenForLaterStarts();
        return Result::Acquired;
    }
    if (m_lock->error() != QLockFile::LockFailedError)
        return Result::Unavailable;

    // QLockFile takes over the lock of a process that has ended, unless it cannot
    // remove the file; such a lock must not keep the program from starting.
    qint64 pid = 0;
    if (m_lock->getLockInfo(&pid, nullptr, nullptr))
        return isAlive(pid) ? Result::HeldByOther : Result::Unavailable;
    // No holder written in it yet: another instance is starting this very moment,
    // unless the file has been like that for a while.
    const QDateTime written = QFileInfo(m_lock->fileName()).lastModified();
    return written.isValid() && qAbs(written.secsTo(QDateTime::currentDateTime())) < 10 ? Result::HeldByOther
                                                                                        : Result::Unavailable;
}

void SingleInstance::listenForLaterStarts()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // This process holds the lock, so a socket left at the path belongs to an
    // instance that has ended.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath)) {
        // Later starts are still refused; they only cannot bring this window forward.
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection())
            serveLaterStart(socket);
    });
}

void SingleInstance::serveLaterStart(QLocalSocket* socket)
{
    const auto received = std::make_shared<QByteArray>();
    const auto answered = std::make_shared<bool>(false);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, received, answered] {
        received->append(socket->readAll());
        const qsizetype end = received->indexOf('\0');
        if (*answered || end < 0) {
            if (received->size() > LongestRequest)
                socket->abort();
            return;
        }
        *answered = true;
        const QByteArray request = received->left(end);
        const bool opened = request.startsWith(OpenRequest) && m_folderHandler
            && m_folderHandler(DecodeName(request.mid(OpenRequest.size())));
        socket->write(opened ? "1" : "0");
        socket->disconnectFromServer();
        Q_EMIT activationRequested();
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, answered] {
        if (!*answered)
            Q_EMIT activationRequested();
        socket->deleteLater();
    });
}

SingleInstance::HandOver SingleInstance::handOverFolder(const QString& folder)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(1000))
        return HandOver::Unreachable;
    socket.write(OpenRequest + EncodeName(folder) + '\0');
    // Events run meanwhile, so that an instance in this same process can answer too.
    QEventLoop wait;
    QTimer::singleShot(10000, &wait, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::readyRead, &wait, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::disconnected, &wait, &QEventLoop::quit);
    wait.exec();
    const QByteArray reply = socket.read(1);
    if (reply == "1")
        return HandOver::Opened;
    return reply == "0" ? HandOver::Refused : HandOver::Unreachable;
}

bool SingleInstance::activateRunningInstance()
{
    // Only a socket of this user's is the running instance.
    struct stat st;
    if (m_socketPath.isEmpty() || ::lstat(QFile::encodeName(m_socketPath).constData(), &st) != 0
        || !S_ISSOCK(st.st_mode) || st.st_uid != ::getuid())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(1000))
        return false;
    socket.disconnectFromServer();
    return true;
}

QString SingleInstance::defaultLockPath()
{
    const QString folder = privateFolder();
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(QStringLiteral("orvel-file-rename-%1-%2.lock").arg(::getuid()).arg(sessionDisplay()));
}

} // namespace orvel
