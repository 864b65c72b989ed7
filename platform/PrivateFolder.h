// Files in a folder private to the user: the folder and each file checked to be the
// user's own, nothing opened through a link, nothing that could hang the caller.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <sys/types.h>

namespace orvel {

// Opens `folder` (made 0700, with the folders on the way, when it is missing) for the
// files of one user: a descriptor, or -1 with the reason in `error` when it is a link,
// is no folder, or belongs to another user. Its permissions are narrowed to 0700.
int OpenPrivateFolder(const QString& folder, QString* error);

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
