// The generated trees the benchmarks time their runs on.
#pragma once

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvel::bench {

inline const char* const kWords[] = {"holiday PHOTO", "REPORT final", "my_file-name", "2ND try",
                                     "(copy) notes",  "Budget DRAFT", "scan",         "INVOICE"};

// A tree of `files` files, four levels of six sub-folders each, every name in mixed case.
inline void makeTree(const std::string& root, int files)
{
    std::vector<std::string> folders{root};
    std::vector<std::string> level{root};
    ::mkdir(root.c_str(), 0755);
    for (int depth = 1; depth <= 4; ++depth) {
        std::vector<std::string> next;
        for (const std::string& parent : level)
            for (int i = 0; i < 6; ++i) {
                std::string dir = parent + "/sub FOLDER " + std::to_string(depth) + char('A' + i);
                ::mkdir(dir.c_str(), 0755);
                next.push_back(dir);
            }
        folders.insert(folders.end(), next.begin(), next.end());
        level = std::move(next);
    }
    for (int n = 0; n < files; ++n) {
        const std::string path = folders[size_t(n) % folders.size()] + "/" + kWords[n % 8] + " " + std::to_string(n)
            + (n % 3 ? ".TXT" : ".jpg");
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace orvel::bench
