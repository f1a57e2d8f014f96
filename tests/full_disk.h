// Runs a save as if the disk filled up part-way: in a child process whose
// files may grow to `limit` bytes only (SIGXFSZ ignored, so writes fail
// instead of killing it), leaving the test process's limits alone.
// Header-only, for any suite.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// Whether `save` reported its failure (returned true) with the disk full.
inline bool fails_on_a_full_disk(const std::function<bool()>& save, rlim_t limit = 64 * 1024)
{
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{limit, limit};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(save() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}
