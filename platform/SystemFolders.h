#pragma once

#include <QString>

namespace orvel {

// Whether a run in `folder` would rename entries that belong to the operating system:
// the files and folders of the root or of the system's own folders (/bin, /boot, /dev,
// /etc, /lib*, /opt, /proc, /run, /sbin, /srv, /sys, /usr, /var), or, with
// `folderItself`, the folder's own name where it lies in one of them (a folder right
// below the root). The folder is judged both as written and with its links resolved.
bool RenamesSystemEntries(const QString& folder, bool folderItself);

} // namespace orvel
