// Files in a folder private to the user: the folder and each file checked to be the
// user's own, nothing opened through a link, nothing that could hang the caller.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace orvel {

// Opens `folder` (made 0700, with the folders on the way, when it is missing) for the
// files of one user: a descriptor, or -1 with the reason in `error` when it is a link,
// is no folder, or belongs to another user. Its permissions are narrowed to 0700.
int OpenPrivateFolder(const QString& folder, QString* error);

// 0 when the open file `fd` is a regular file of this user's own; otherwise EINVAL (not a
// regular file), EPERM (another user's) or the error of fstat.
int CheckOwnFile(int fd);

// Everything that is left to read of the open file `fd`, appended to `content`. 0 or the
// errno value.
int ReadWhole(int fd, QByteArray& content);

// The names in the open folder `dir` that begin with `prefix`.
QByteArrayList NamesIn(int dir, const QByteArray& prefix);

} // namespace orvel
