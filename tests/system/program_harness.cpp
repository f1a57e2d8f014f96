#include "program_harness.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "app/prefs.h"

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

long differing(const std::string& a, const std::string& b, int x, int y, int w, int h, int fuzz)
{
    const std::string crop = "[" + std::to_string(w) + "x" + std::to_string(h) + "+" +
                             std::to_string(x) + "+" + std::to_string(y) + "]' ";
    const std::string out = run("compare -metric AE -fuzz " + std::to_string(fuzz) + "% '" + a +
                                crop + "'" + b + crop + "null: 2>&1");
    return std::isdigit(static_cast<unsigned char>(out[0])) ? std::atol(out.c_str()) : -1;
}

double mean_grey(const std::string& png)
{
    return std::atof(
        run("convert '" + png + "' -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null")
            .c_str());
}

std::string read_text(const std::string& png, int x, int y, int w, int h, bool negate,
                      const char* language)
{
    // Tesseract reads dark text on a light ground best, at about twice this size.
    const std::string enlarged = png + ".ocr.png";
    run("convert '" + png + "' -crop " + std::to_string(w) + "x" + std::to_string(h) + "+" +
        std::to_string(x) + "+" + std::to_string(y) + " +repage -colorspace Gray" +
        (negate ? " -negate" : "") + " -resize 200% '" + enlarged + "' 2>/dev/null");
    return run("tesseract '" + enlarged + "' - -l " + language + " 2>/dev/null");
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

void VirtualDisplay::click(const std::string& id, int x, int y) const
{
    run("xdotool mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y) +
        " click 1");
}

bool VirtualDisplay::close_window(const std::string& id) const
{
    Display* d = XOpenDisplay(name_.c_str());
    if (!d)
        return false;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = std::strtoul(id.c_str(), nullptr, 10);
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
    XSync(d, False);
    XCloseDisplay(d);
    return sent != 0;
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

std::unique_ptr<Player> launch(const VirtualDisplay& display, const RunFolder& folder,
                               std::string* id, std::vector<std::string> env)
{
    constexpr double HOME_MEAN_GREY = 0.03;  // a black window is below, the home screen far above
    std::unique_ptr<Player> player;
    id->clear();
    for (int attempt = 0; attempt < 3 && id->empty(); ++attempt) {
        player = std::make_unique<Player>(display, folder, env);
        *id = player->wait_window();
    }
    const std::string png = folder.file("launch.png");
    if (!id->empty() && !eventually([&] {
            return display.screenshot(png, 1000, 600) && mean_grey(png) > HOME_MEAN_GREY;
        }))
        id->clear();
    return player;
}

MediaServer::MediaServer(const std::string& root)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        const std::string script = std::string(VELMORA_SOURCE_DIR) + "/tools/range_http_server.py";
        execlp("python3", "python3", script.c_str(), "--port", "0", root.c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    // The server prints its port on its first line once it listens.
    std::string line;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(fds[0]);
    port_ = std::atoi(line.c_str());
}

MediaServer::~MediaServer()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

std::string MediaServer::url(const std::string& name) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
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

namespace harness {

bool write_settings(const RunFolder& folder, const std::function<void(Settings&)>& change)
{
    ::mkdir(folder.file("data").c_str(), 0755);
    static Settings s;
    settings_set_defaults(&s);
    change(s);
    return prefs_save_to(&s, folder.file("data/prefs.dat").c_str()) == 0;
}

bool read_settings(const RunFolder& folder, Settings* settings)
{
    return prefs_load_from(settings, folder.file("data/prefs.dat").c_str()) == 0;
}

}  // namespace harness
