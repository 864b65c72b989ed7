// A directory stream of its own for a folder held open, that leaves its access time alone.
#include "platform/FolderStream.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace orvel {

// A second, independent descriptor of the folder, for a directory stream of its own.
// It is opened through /proc, which asks for read permission on the folder and nothing
// else, as listing a folder by its path does ("." would ask for search permission too);
// without /proc, through ".". Reading it leaves the folder's access time alone where
// the system lets its owner ask for that: a listing changes nothing, not even a time.
DIR* OpenFolderStream(int dir)
{
    const std::string self = "/proc/self/fd/" + std::to_string(dir);
    int fd = ::open(self.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM) // not the folder's owner
        fd = ::open(self.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* stream = ::fdopendir(fd);
    if (!stream)
        ::close(fd);
    return stream;
}

} // namespace orvel
