// What the program relies on of a file system, by its kind.
#pragma once

#include "platform/FileSystem.h"

namespace orvel {

// What the program relies on of the file system that holds the open file `fd`. Known
// local file systems only; for any other, and when it cannot be told, nothing.
struct FileSystemTraits {
    // A folder's listing gives each entry the inode number that stat gives it (FAT and
    // exFAT make one up for the listing, FUSE may too, and a mount point shows what lies
    // under it).
    bool listsTrueNumbers = false;
    // Space reserved with fallocate stays reserved, so a page of a shared mapping inside it
    // can be written without a fault for want of space.
    bool keepsReservedSpace = false;
    // Several renames in flight at once: FAT and exFAT take one change of a volume at a
    // time; network and FUSE file systems answer each after a round trip.
    VolumeKind kind = VolumeKind::Local;
};
FileSystemTraits TraitsOf(int fd);

} // namespace orvel
