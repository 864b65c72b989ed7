// What the benchmarks share: the generated trees they time their runs on, and measuring
// in a process of its own.
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <sys/resource.h>

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

// The most memory this process has held, in KiB.
inline long peakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The most memory a process this one started and waited for has held, in KiB: the
// program itself, where it is timed from outside.
inline long childPeakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The fields a measurement made in a process of its own printed: this program started
// again with `mode` and `folder`. Every measurement starts on a disk with nothing left to
// write back: the trees made just before, or the run before, would otherwise be paid for
// by whichever comes next.
inline QStringList measuredApart(const QString& mode, const QString& folder)
{
    ::sync();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), {mode, folder});
    p.waitForFinished(-1);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed().split(u' ');
}

} // namespace orvel::bench
