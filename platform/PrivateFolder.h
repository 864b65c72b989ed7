// Files in a folder private to the user: the folder and each file checked to be the
// user's own, nothing opened through a link, nothing that could hang the caller.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <sys/types.h>

namespace orvel {

// Opens `folder` (with `make`, made 0700 with the folders on the way when it is missing)
// for the files of one user: a descriptor, or -1 with the reason in `error` when it is
// missing, a link, no folder, or another user's. Its permissions are narrowed to 0700.
int OpenPrivateFolder(const QString& folder, QString* error, bool make = true);

// This user's folder for what lasts as long as the session: $XDG_RUNTIME_DIR, when it is
// an absolute path to a folder of the user's own closed to others; otherwise (su, sudo,
// ssh, cron) orvel-file-rename-<uid> in the temporary folder, which may be missing.
QString RuntimeFolder();

// Opens the file `name` of the open folder `dir` with `flags` (with O_CREAT, made with
// `mode`): a descriptor of a regular file of this user's own, which reads and writes as
// usual; otherwise -1 with errno set: EINVAL when something else stands there (a FIFO, a
// socket, a device, a folder), ELOOP for a link, EPERM when it is another user's. Whatever
// stands at the name, the call returns at once: a FIFO is never waited on.
int OpenOwnFile(int dir, const QByteArray& name, int flags, mode_t mode = 0600);

// What OpenOwnFile's `error` means for the file `name`, in words that name it.
QString OwnFileProblem(const QString& name, int error);

// Everything that is left to read of the open file `fd`, appended to `content`. 0 or the
// errno value.
int ReadWhole(int fd, QByteArray& content);

// The names in the open folder `dir` that begin with `prefix`.
QByteArrayList NamesIn(int dir, const QByteArray& prefix);

} // namespace orvel
