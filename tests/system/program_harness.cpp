#include "program_harness.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace harness {

namespace {

constexpr const char* XVFB_TUNABLES =
    "GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456";

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits for a child up to timeout_s; its exit status, or -1 after a signal;
// -2 when it is still running.
int wait_child(pid_t pid, int timeout_s)
{
    for (int i = 0;; ++i) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0)
            return -1;
        if (i >= timeout_s * 20)
            return -2;
        sleep_ms(50);
    }
}

pid_t spawn_shell(const std::string& command)
{
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

}  // namespace

std::string run(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    pclose(p);
    return out;
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
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        freopen("/dev/null", "w", stderr);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", screen.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return;
    }
    name_ = ":" + number;
}

VirtualDisplay::~VirtualDisplay()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (wait_child(pid_, 10) == -2) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
}

std::string VirtualDisplay::run(const std::string& command) const
{
    return harness::run("DISPLAY=" + name_ + " " + command);
}

bool VirtualDisplay::screenshot(const std::string& png, int w, int h) const
{
    std::string crop = w > 0 ? " -crop " + std::to_string(w) + "x" + std::to_string(h) + "+0+0 +repage" : "";
    run("xwd -root -silent | convert xwd:-" + crop + " " + png + " 2>/dev/null");
    struct stat st;
    return ::stat(png.c_str(), &st) == 0 && st.st_size > 0;
}

RunFolder::RunFolder()
{
    char tmpl[] = "/tmp/velmora-run-XXXXXX";
    path_ = mkdtemp(tmpl);
    harness::run(std::string("cp -a ") + VELMORA_RUN_DIR + "/. " + path_ + "/");
    harness::run("rm -rf " + path_ + "/data");
}

RunFolder::~RunFolder() { harness::run("rm -rf " + path_); }

Player::Player(const VirtualDisplay& display, const RunFolder& folder, std::vector<std::string> env)
    : display_(display)
{
    std::string vars = "DISPLAY=" + display.name() + " SDL_AUDIODRIVER=dummy";
    for (const auto& e : env)
        vars += " '" + e + "'";
    pid_ = spawn_shell("cd " + folder.path() + " && exec env " + vars +
                       " ./velmora-player >player.log 2>&1");
}

Player::~Player()
{
    if (pid_ > 0 && status_ == -2) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string Player::wait_window(int timeout_s)
{
    for (int i = 0; i < timeout_s * 10 && running(); ++i) {
        std::string id = display_.run("xdotool search --name '^Velmora Media Player$' 2>/dev/null | head -1");
        if (!id.empty()) {
            while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
                id.pop_back();
            return id;
        }
        sleep_ms(100);
    }
    return {};
}

bool Player::wait_file(const std::string& path, int timeout_s) const
{
    for (int i = 0; i < timeout_s * 20; ++i) {
        if (access(path.c_str(), F_OK) == 0)
            return true;
        sleep_ms(50);
    }
    return false;
}

bool Player::running()
{
    if (status_ != -2)
        return false;
    status_ = wait_child(pid_, 0);
    return status_ == -2;
}

int Player::terminate(int timeout_s)
{
    if (running())
        kill(pid_, SIGTERM);
    return wait_exit(timeout_s);
}

int Player::wait_exit(int timeout_s)
{
    if (status_ == -2)
        status_ = wait_child(pid_, timeout_s);
    return status_ == -2 ? -1 : status_;
}

}  // namespace harness
