// SPDX-License-Identifier: GPL-3.0-or-later
#include "childrun.h"

#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace settree::bench {

ChildRun RunChild(const std::vector<std::string>& argv, const char* stdoutFile,
                  const char* stderrFile) {
    ChildRun result;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFile)
        posix_spawn_file_actions_addopen(&actions, 1, stdoutFile, O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    if (stderrFile)
        posix_spawn_file_actions_addopen(&actions, 2, stderrFile, O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return result;
    int status = 0;
    struct rusage usage {};
    // wait4 gives this child's own peak memory, not the high-water mark of all children.
    while (wait4(pid, &status, 0, &usage) < 0) {
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.maxRssKb = usage.ru_maxrss;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace settree::bench
