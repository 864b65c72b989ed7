// A directory stream of its own for a folder held open, that leaves its access time alone.
#pragma once

#include <dirent.h>

namespace orvel {

// A second, independent descriptor of the open folder `dir`, as a directory stream;
// nullptr with errno set when it cannot be opened. Close it with closedir.
DIR* OpenFolderStream(int dir);

} // namespace orvel
