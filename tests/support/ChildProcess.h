#pragma once

#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <functional>
#include <linux/capability.h>
#include <optional>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvel::test {

// Runs `work` in a child process of the test and hands back what it wrote, or nothing
// when the child failed or outlived its minute. For what a test must not do to itself:
// lower its open-file limit, or give up root's power over file permissions.
inline std::optional<QByteArray> inChildProcess(const std::function<void(QDataStream&)>& work)
{
    QTemporaryFile carried;
    if (!carried.open())
        return std::nullopt;
    std::fflush(stdout), std::fflush(stderr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(60); // the deadline: a child that hangs is ended all the same
        QDataStream out(&carried);
        work(out);
        ::_exit(carried.flush() && out.status() == QDataStream::Ok ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0
        || !carried.seek(0))
        return std::nullopt;
    return carried.readAll();
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

// The same for the programs this process starts from now on, whose powers as root are
// those left in its bounding set; called in the child of a QProcess before the program
// starts. A plain user's programs have no such power to give up. False when root may not
// change the set.
inline bool startWithoutFileOverrides()
{
    return ::geteuid() != 0
        || (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0
            && ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0);
}

} // namespace orvel::test
