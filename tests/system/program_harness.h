// Runs the whole program for tests: a private Xvfb display, a private copy of
// the run folder as the working directory, the program started with a chosen
// environment, its window found and photographed, and SIGTERM to end it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace harness {

// Output of a shell command (stdout only); empty on failure.
std::string run(const std::string& command);

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
    // Saves the screen (or the top-left w x h of it) as a PNG.
    bool screenshot(const std::string& png, int w = 0, int h = 0) const;

private:
    std::string name_;
    pid_t pid_ = -1;
};

// A fresh copy of the build's run folder in a temporary directory.
class RunFolder {
public:
    RunFolder();
    ~RunFolder();
    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

class Player {
public:
    // Starts velmora-player in `folder` on `display`; `env` adds NAME=VALUE pairs.
    Player(const VirtualDisplay& display, const RunFolder& folder, std::vector<std::string> env = {});
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    // Waits (up to timeout_s) for the window titled "Velmora Media Player";
    // its X id as text, empty if it never appeared.
    std::string wait_window(int timeout_s = 30);
    // Waits up to timeout_s for `path` to exist.
    bool wait_file(const std::string& path, int timeout_s = 30) const;
    // Sends SIGTERM and returns the exit status (-1 on a signal or time-out).
    int terminate(int timeout_s = 30);
    // Waits for the program to end by itself; exit status, -1 on time-out.
    int wait_exit(int timeout_s = 30);
    bool running();

private:
    const VirtualDisplay& display_;
    pid_t pid_ = -1;
    int status_ = -2;
};

}  // namespace harness
