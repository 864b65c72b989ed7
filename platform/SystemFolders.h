// The folders a run asks about first: the system's own folders and the users' homes.
#pragma once

#include "platform/FileSystem.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace orvel {

// Whether a run in `folder` would rename entries that belong to the operating system:
// the files and folders of the root or of the system's own folders (/bin, /boot, /dev,
// /etc, /lib*, /opt, /proc, /run, /sbin, /srv, /sys, /usr, /var), or, with
// `folderItself`, the folder's own name where it lies in one of them (a folder right
// below the root). The folder is judged both as written and with its links resolved.
bool RenamesSystemEntries(const QString& folder, bool folderItself);

enum class FolderRole {
    Ordinary,
    System, // the root or one of the system's own folders
    Home, // the home folder of a user
};

// The folders a run asks about before it renames in them or renames them, known by
// identity: a link, a bind mount or a container's root that leads to one anywhere in a
// tree is known as well as the folder itself.
class SystemFolders {
public:
    SystemFolders() = default;
    // The folders at these paths (tests name stand-ins); those that cannot be reached are
    // left out.
    SystemFolders(const QStringList& system, const QStringList& homes);

    // The host's: the root and the system's own folders; this user's home folder and every
    // home folder of the password database.
    static SystemFolders host();

    FolderRole roleOf(const FileId& id) const { return m_roles.value(id, FolderRole::Ordinary); }

private:
    QHash<FileId, FolderRole> m_roles;
};

} // namespace orvel
