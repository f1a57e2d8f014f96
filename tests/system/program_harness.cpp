#include "program_harness.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

namespace harness {

constexpr const char* XVFB_TUNABLES =
    "GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456";

std::string run(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof(buf), p)) > 0;)
        out.append(buf, n);
    pclose(p);
    return out;
}

bool eventually(const std::function<bool()>& done, double timeout_s)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_s);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

VirtualDisplay::VirtualDisplay(int width, int height)
{
    // Xvfb picks a free display number itself and writes it to a pipe once it
    // accepts connections, so parallel servers never collide.
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        setpgid(0, 0);
        putenv(const_cast<char*>(XVFB_TUNABLES));
        const std::string fd = std::to_string(fds[1]),
                          screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        freopen("/dev/null", "w", stderr);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
               screen.c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        name_ += c;
    close(fds[0]);
    if (name_.empty()) {
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    name_ = ":" + name_;
}

VirtualDisplay::~VirtualDisplay()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    if (!eventually([this] { return waitpid(pid_, nullptr, WNOHANG) != 0; }, 10)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string VirtualDisplay::run(const std::string& command) const
{
    return harness::run("DISPLAY=" + name_ + " " + command);
}

bool VirtualDisplay::screenshot(const std::string& png, int w, int h) const
{
    ::unlink(png.c_str());
    run("xwd -root -silent | convert xwd:- -crop " + std::to_string(w) + "x" + std::to_string(h) +
        "+0+0 +repage " + png + " 2>/dev/null");
    struct stat st;
    return ::stat(png.c_str(), &st) == 0 && st.st_size > 0;
}

RunFolder::RunFolder()
{
    char tmpl[] = "/tmp/velmora-run-XXXXXX";
    path_ = mkdtemp(tmpl);
    harness::run(std::string("cp -a ") + VELMORA_RUN_DIR + "/. " + path_ + "/ && rm -rf " + path_ +
                 "/data");
}

RunFolder::~RunFolder()
{
    harness::run("rm -rf " + path_);
}

Player::Player(const VirtualDisplay& display, const RunFolder& folder, std::vector<std::string> env)
    : display_(display), log_(folder.file("player.log"))
{
    command_ = "cd " + folder.file("") + " && exec env DISPLAY=" + display.name() +
               " SDL_AUDIODRIVER=dummy";
    for (const auto& e : env)
        command_ += " '" + e + "'";
    command_ += " ./velmora-player >player.log 2>&1";
    start();
}

void Player::start()
{
    status_ = -2;
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        execl("/bin/sh", "sh", "-c", command_.c_str(), nullptr);
        _exit(127);
    }
}

Player::~Player()
{
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool Player::running()
{
    int st = 0;
    pid_t r = status_ == -2 ? waitpid(pid_, &st, WNOHANG) : 0;
    if (r != 0)  // ended, or lost: -1 unless it exited
        status_ = r == pid_ && WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return status_ == -2;
}

std::string Player::wait_window(int timeout_s)
{
    std::string id;
    eventually(
        [&] {
            id = display_.run(
                "xdotool search --name '^Velmora Media Player$' 2>/dev/null | head -1");
            return !id.empty() || !running();
        },
        timeout_s);
    if (id.empty() && !running() && !restarted_) {
        std::ifstream log(log_);
        std::cerr << "the player ended at start (status " << status_
                  << "), starting it again; its log:\n"
                  << log.rdbuf() << "\n";
        restarted_ = true;
        start();
        return wait_window(timeout_s);
    }
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
        id.pop_back();
    return id;
}

int Player::wait_exit(int timeout_s)
{
    eventually([this] { return !running(); }, timeout_s);
    return status_ == -2 ? -1 : status_;
}

int Player::terminate(int timeout_s)
{
    if (running())
        kill(pid_, SIGTERM);
    return wait_exit(timeout_s);
}

}  // namespace harness
