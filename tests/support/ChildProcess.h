#pragma once

#include <QtCore>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <linux/capability.h>
#include <optional>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvel::test {

// Runs `work` in a child process of the test and hands back what it wrote, or nothing
// when the child failed or outlived `deadline`. For what a test must not do to itself:
// lower its open-file limit, or give up root's power over file permissions.
inline std::optional<QByteArray> inChildProcess(const std::function<void(QDataStream&)>& work,
                                                std::chrono::milliseconds deadline = std::chrono::seconds(60))
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return std::nullopt;
    std::fflush(stdout), std::fflush(stderr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        work(out);
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(pipe[1], bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0)
                ::_exit(1);
            done += n;
        }
        ::_exit(0);
    }
    ::close(pipe[1]);
    QByteArray got;
    bool ended = false; // the child closed its end: it wrote all it had
    for (QDeadlineTimer timer(deadline); child > 0 && !timer.hasExpired();) {
        pollfd ready{pipe[0], POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(qMax<qint64>(timer.remainingTime(), 1)));
        if (polled < 0 && errno != EINTR)
            break;
        if (polled <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
        if (n <= 0) {
            ended = n == 0;
            break;
        }
        got.append(buffer, n);
    }
    ::close(pipe[0]);
    if (child < 0)
        return std::nullopt;
    if (!ended)
        ::kill(child, SIGKILL);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return got;
}

// Takes from this process root's power to read, write and search any folder: the
// permission bits of the test's own folders then count for it as they do for a user.
// Without that power in the first place nothing changes.
inline bool dropFileOverrides()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    data[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace orvel::test
