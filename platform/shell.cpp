#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

int shell_open(const char* target)
{
    if (!target || !*target)
        return -1;
    char prog[] = "xdg-open";
    char* argv[] = {prog, const_cast<char*>(target), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, prog, nullptr, nullptr, argv, environ) != 0)
        return -1;
    // Reap the opener when it ends so it never lingers as a zombie.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return 0;
}
