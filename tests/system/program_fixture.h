// The fixture of the whole-program tests: a private display, a run folder,
// the program launched in it, and the look-and-tap helpers every screen test
// uses (screenshots, clicks, OCR that waits, a screen that settles), with the
// places on the 1000 x 600 window where the screens put their parts.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/player_bar.h"
#include "platform/settings.h"
#include "program_harness.h"

namespace harness {

constexpr int WINDOW_W = 1000;
constexpr int WINDOW_H = 600;
constexpr int ROW_H = 60;  // list rows and where the list starts
constexpr int LIST_Y = 120;
constexpr int LIST_W = 420;
constexpr int LOCAL_MEDIA_X = 165, LOCAL_MEDIA_Y = 245;  // the home screen's first tile
// Bar buttons: 100 wide, 108 apart, 8 below a bar's top.
constexpr int BUTTON_STEP = 108;
constexpr int TOP_BUTTON_Y = 8 + 27;
constexpr int BOTTOM_BUTTON_Y = WINDOW_H - 70 + 8 + 27;

// A window's width and height as the X server has it now.
inline std::array<int, 2> window_size(const VirtualDisplay& display, const std::string& id)
{
    std::array<int, 2> wh{-1, -1};
    std::sscanf(display.run("xdotool getwindowgeometry --shell " + id).c_str(),
                "WINDOW=%*d X=%*d Y=%*d WIDTH=%d HEIGHT=%d", &wh[0], &wh[1]);
    return wh;
}

// A fresh folder under /tmp for a test's media, removed at the end; its
// path ends in '/'.
class MediaFolder {
public:
    MediaFolder()
    {
        char tmpl[] = "/tmp/velmora-media-XXXXXX";
        const char* made = mkdtemp(tmpl);
        path_ = made ? std::string(made) + "/" : "/nonexistent/";
    }
    ~MediaFolder() { run("rm -rf '" + path_ + "'"); }
    MediaFolder(const MediaFolder&) = delete;
    MediaFolder& operator=(const MediaFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(display_.ok()) << "Xvfb did not start"; }

    // Launches the program on the home screen; fails the test when no window came.
    void start(std::vector<std::string> env = {})
    {
        player_ = launch(display_, folder_, &id_, std::move(env));
        ASSERT_FALSE(id_.empty()) << log();
    }
    // Writes the settings with the local path at `browse`, changed by `more`.
    void browse_settings(const std::string& browse,
                         const std::function<void(Settings&)>& more = nullptr)
    {
        ASSERT_TRUE(write_settings(folder_, [&](Settings& s) {
            std::snprintf(s.browse_path_1, sizeof s.browse_path_1, "%s", browse.c_str());
            if (more)
                more(s);
        }));
    }
    std::string log() const { return run("cat " + folder_.file("player.log") + " 2>/dev/null"); }
    std::string shot(const std::string& name = "ocr.png")
    {
        display_.screenshot(folder_.file(name), WINDOW_W, WINDOW_H);
        return folder_.file(name);
    }
    void click(int x, int y) { display_.click(id_, x, y); }
    void tap_row(int row) { click(200, LIST_Y + row * ROW_H + ROW_H / 2); }
    // Whether OCR finds `text` in a rectangle of the screen before the
    // time-out; what was read last stays in seen_. A row's long path may wrap
    // anywhere, even inside the text looked for: the lines are matched as one.
    bool shows(const std::string& text, int x, int y, int w, int h, double timeout_s = 30)
    {
        return eventually(
            [&] {
                seen_ = read_text(shot(), x, y, w, h);
                std::string joined = seen_;
                std::erase(joined, '\n');
                return joined.find(text) != std::string::npos;
            },
            timeout_s);
    }
    bool list_shows(const std::string& text, double timeout_s = 30)
    {
        return shows(text, 0, LIST_Y, LIST_W, WINDOW_H - LIST_Y - 70, timeout_s);
    }
    // The information panel right of the list.
    bool panel_shows(const std::string& text)
    {
        return shows(text, LIST_W, 70, WINDOW_W - LIST_W, WINDOW_H - 140);
    }
    // The position the player's bar shows, in seconds (-1 when it cannot be
    // read): the "HH:MM:SS" left of its track.
    int bar_seconds(const PlayerControl& track)
    {
        const std::string text = read_text(shot("p.png"), 0, track.y - 8, TRACK_X - KNOB_LEFT_REACH,
                                           32);
        int h = 0, m = 0, s = 0;
        return std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &s) == 3 ? h * 3600 + m * 60 + s : -1;
    }
    void press(const PlayerControl& c) { click(c.x + c.w / 2, c.y + c.h / 2); }
    // Whether the screen comes to stay the same for a second; it is left in `png`.
    bool settles(const std::string& png)
    {
        return eventually([&] {
            display_.screenshot(png, WINDOW_W, WINDOW_H);
            ::sleep(1);
            return differing(png, shot("later.png"), 0, 0, WINDOW_W, WINDOW_H) == 0;
        });
    }

    VirtualDisplay display_;
    RunFolder folder_;
    std::unique_ptr<Player> player_;
    std::string id_;
    std::string seen_;
};

}  // namespace harness
