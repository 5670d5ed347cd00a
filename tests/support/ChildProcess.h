#pragma once

#include <csignal>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tz::test
{

// Runs `work` in `count` child processes at once. What became of each: its answer, or none when it was killed.
inline std::vector<std::optional<bool>> runInChildren (int count, const std::function<bool()>& work)
{
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i)
    {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit (work() ? 0 : 1);
        children.push_back (child);
    }

    std::vector<std::optional<bool>> answers;
    for (const auto child : children)
    {
        int status = 0;
        const bool exited = child > 0 && ::waitpid (child, &status, 0) == child && WIFEXITED (status);
        answers.push_back (exited ? std::optional<bool> (WEXITSTATUS (status) == 0) : std::nullopt);
    }
    return answers;
}

inline std::optional<bool> runInChild (const std::function<bool()>& work) { return runInChildren (1, work)[0]; }

// Runs `write` in a child process that can make no file larger than `maxFileBytes`, as a full disk or a quota
// would stop it part-way: the write then gets a short count and an error. With `killed`, the child is instead
// killed at that point, as a crash would end it.
inline std::optional<bool> runWithFileSizeLimit (rlim_t maxFileBytes, const std::function<bool()>& write,
                                                 bool killed = false)
{
    return runInChild (
        [&]
        {
            ::signal (SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
            const rlimit limit { maxFileBytes, maxFileBytes };
            ::setrlimit (RLIMIT_FSIZE, &limit);
            return write();
        });
}

} // namespace tz::test
