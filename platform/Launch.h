// Starting other programs without waiting for them.
#pragma once

#include <QString>
#include <QStringList>

class QUrl;

namespace orvel {

// A program with its arguments, ready for QProcess.
struct LaunchCommand {
    QString program; // full path of an existing executable file
    QStringList arguments;
};

// Starts the command as an independent process that this program neither waits
// for nor keeps a handle to. True when the process was started.
bool StartDetached(const LaunchCommand& command);

// Asks the desktop to open a URL (a mailto: address opens the mail client). True
// when the desktop accepted the request.
bool OpenWithDesktop(const QUrl& url);

// The user's temporary folder ($TMPDIR, else /tmp), always with a trailing "/".
QString TemporaryFolder();

// A short-lived empty marker file, which stands for a web page while the program for
// web pages is looked up: created, or emptied when it exists, without following a
// symbolic link of that name (a link planted in a shared temporary folder must not make
// us truncate its target). False when it cannot be written.
bool CreateProbeFile(const QString& path);

// Removes the marker file again; false when it is still there afterwards.
bool RemoveProbeFile(const QString& path);

} // namespace orvel
