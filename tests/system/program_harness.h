// Runs the whole program for tests: a private Xvfb display, a private copy of
// the run folder as the working directory, the program started with a chosen
// environment, its window found and photographed, and SIGTERM to end it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct Settings;

namespace harness {

// Output of a shell command (stdout only); empty on failure.
std::string run(const std::string& command);
// Asks `done` every 50 ms for up to timeout_s seconds; whether it said yes.
bool eventually(const std::function<bool()>& done, double timeout_s = 30);
// Pixels that differ between two images inside a rectangle, each channel
// allowed `fuzz` percent; -1 when no comparison could be made.
long differing(const std::string& a, const std::string& b, int x, int y, int w, int h,
               int fuzz = 0);
// Mean grey level (0 .. 1) of an image; 0 when it cannot be read.
double mean_grey(const std::string& png);
// Text read by OCR from a rectangle of an image, light text on dark read as
// well as dark on light (it is negated and enlarged first).
std::string read_text(const std::string& png, int x, int y, int w, int h, bool negate = true,
                      const char* language = "eng");

class VirtualDisplay {
public:
    VirtualDisplay(int width = 1280, int height = 800);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    bool ok() const { return pid_ > 0; }
    const std::string& name() const { return name_; }
    // Runs a command with DISPLAY set to this display.
    std::string run(const std::string& command) const;
    // Saves the top-left w x h of the screen as a PNG.
    bool screenshot(const std::string& png, int w, int h) const;
    // A left click at (x, y) inside the window with X id `id`.
    void click(const std::string& id, int x, int y) const;
    // Asks the window to close as a window manager would (WM_DELETE_WINDOW).
    bool close_window(const std::string& id) const;

private:
    std::string name_;
    pid_t pid_ = -1;
};

// A fresh copy of the build's run folder (without its data) in /tmp.
class RunFolder {
public:
    RunFolder();
    ~RunFolder();
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Writes the folder's data/prefs.dat: the defaults as changed by `change`.
bool write_settings(const RunFolder& folder, const std::function<void(Settings&)>& change);
// Reads the folder's data/prefs.dat into *settings; false when it does not load.
bool read_settings(const RunFolder& folder, Settings* settings);

class Player;

// Starts the program and waits until the home screen is on its window (the
// screen is no longer black); the window's X id goes to *id, empty when
// that did not happen. Connecting to Xvfb now and then fails outright (the
// program then ends at once, before any window); such a start is retried,
// twice at most.
std::unique_ptr<Player> launch(const VirtualDisplay& display, const RunFolder& folder,
                               std::string* id, std::vector<std::string> env = {});

// tools/range_http_server.py serving a folder on a free port of 127.0.0.1.
class MediaServer {
public:
    explicit MediaServer(const std::string& root);
    ~MediaServer();
    MediaServer(const MediaServer&) = delete;
    MediaServer& operator=(const MediaServer&) = delete;
    bool ok() const { return port_ > 0; }
    std::string url(const std::string& name) const;

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

class Player {
public:
    // Starts velmora-player in `folder` on `display`; `env` adds NAME=VALUE
    // pairs. Its output goes to player.log in the folder.
    Player(const VirtualDisplay& display, const RunFolder& folder,
           std::vector<std::string> env = {});
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    // The X id of the window titled "Velmora Media Player" as text; empty if
    // it did not appear within timeout_s or the program ended. A program that
    // ends before any window appears is started once more, with its log
    // printed: on a loaded machine a fresh virtual display now and then
    // fails a first start that has nothing to do with the test.
    std::string wait_window(int timeout_s = 30);
    bool running();
    pid_t pid() const { return pid_; }
    // Waits for the program to end by itself: its exit status, -1 after a
    // signal or on time-out. terminate() sends SIGTERM first.
    int wait_exit(int timeout_s = 30);
    int terminate(int timeout_s = 30);

private:
    void start();

    const VirtualDisplay& display_;
    std::string command_;
    std::string log_;
    bool restarted_ = false;
    pid_t pid_ = -1;
    int status_ = -2;  // -2 while running
};

}  // namespace harness
