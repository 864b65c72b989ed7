// What the program relies on of the file system that holds an open file.
#pragma once

#include "platform/FileSystem.h"

namespace orvel {

// What the program relies on of the file system that holds the open file `fd`. Known
// local file systems only; for any other, and when it cannot be told, nothing.
FileSystemTraits TraitsOf(int fd);

} // namespace orvel
