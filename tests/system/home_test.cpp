// The home screen of the whole program under Xvfb: what it shows (read back
// by OCR and pixels), the help button with a recording opener on PATH, the
// help button with no opener at all, press feedback, and the exit button.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "program_harness.h"

namespace {

using harness::Player;
using harness::RunFolder;
using harness::VirtualDisplay;

const char* const HELP_URL = "https://velmora.example/site/docs/vlmp_0_3_0/vlmph.html";
const char* const LABELS[] = {"Local Media", "Remote Media", "DLNA/UPNP",
                              "Settings",    "Live Streaming", "Playlists"};

std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string trimmed(std::string s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    return s;
}

class HomeScreen : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(display_.ok()) << "Xvfb did not start"; }

    // Starts the program and waits until the home screen is on the window.
    // Connecting to Xvfb now and then fails outright (the program then ends
    // at once, before any window); such a start is retried, twice at most.
    std::unique_ptr<Player> launch(std::vector<std::string> env = {})
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            auto player = std::make_unique<Player>(display_, folder_, env);
            id_ = player->wait_window();
            if (id_.empty() && !player->running())
                continue;
            for (int i = 0; i < 300 && !id_.empty(); ++i) {
                if (mean_brightness(shot("wait.png")) > 0.03)
                    return player;
                usleep(100 * 1000);
            }
            id_.clear();
            return player;
        }
        return std::make_unique<Player>(display_, folder_, env);
    }
    std::string shot(const std::string& name)
    {
        std::string png = folder_.file(name);
        ::unlink(png.c_str());
        display_.screenshot(png, 1000, 600);
        return png;
    }
    double mean_brightness(const std::string& png)
    {
        return std::atof(harness::run("convert " + png + " -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null").c_str());
    }
    // Pixels that differ between two screenshots inside a rectangle.
    long differing(const std::string& a, const std::string& b, int x, int y, int w, int h,
                   int fuzz_percent = 0)
    {
        std::string crop = " -crop " + std::to_string(w) + "x" + std::to_string(h) + "+" +
                           std::to_string(x) + "+" + std::to_string(y) + " +repage ";
        std::string ca = folder_.file("crop_a.png");
        std::string cb = folder_.file("crop_b.png");
        harness::run("convert " + a + crop + ca);
        harness::run("convert " + b + crop + cb);
        std::string out = harness::run("compare -metric AE -fuzz " + std::to_string(fuzz_percent) +
                                       "% " + ca + " " + cb + " null: 2>&1");
        return std::atol(out.c_str());
    }
    void click(const std::string& id, int x, int y)
    {
        display_.run("xdotool mousemove --window " + id + " " + std::to_string(x) + " " +
                     std::to_string(y) + " click 1");
    }
    // A recording opener: writes its arguments to opened.txt in the run folder.
    std::string install_opener()
    {
        std::string bin = folder_.file("bin");
        ::mkdir(bin.c_str(), 0755);
        std::ofstream(bin + "/xdg-open") << "#!/bin/sh\necho \"$@\" > '" << folder_.file("opened.tmp")
                                         << "'\nmv '" << folder_.file("opened.tmp") << "' '"
                                         << folder_.file("opened.txt") << "'\n";
        ::chmod((bin + "/xdg-open").c_str(), 0755);
        return bin;
    }

    VirtualDisplay display_;
    RunFolder folder_;
    std::string id_;
};

TEST_F(HomeScreen, ShowsTheTitleAndTheSixLabelledTiles)
{
    auto player = launch();
    const std::string id = id_;
    ASSERT_FALSE(id.empty()) << slurp(folder_.file("player.log"));
    std::string png = shot("home.png");
    // Dark text on light background reads best: negate and enlarge first.
    std::string ocr_png = folder_.file("ocr.png");
    harness::run("convert " + png + " -colorspace Gray -negate -resize 200% " + ocr_png);
    std::string text = harness::run("tesseract " + ocr_png + " - 2>/dev/null");
    EXPECT_NE(text.find("Velmora Media Player 4.0.2"), std::string::npos) << text;
    for (const char* label : LABELS)
        EXPECT_NE(text.find(label), std::string::npos) << label << " not read in:\n" << text;
    EXPECT_EQ(player->terminate(), 0);
}

TEST_F(HomeScreen, HelpOpensTheHelpPageInTheBrowser)
{
    std::string bin = install_opener();
    auto player = launch({"PATH=" + bin + ":/usr/bin:/bin"});
    const std::string id = id_;
    ASSERT_FALSE(id.empty()) << slurp(folder_.file("player.log"));
    click(id, 950, 32);
    ASSERT_TRUE(player->wait_file(folder_.file("opened.txt")));
    EXPECT_EQ(trimmed(slurp(folder_.file("opened.txt"))), HELP_URL);
    EXPECT_TRUE(player->running());
    EXPECT_EQ(player->terminate(), 0);
}

TEST_F(HomeScreen, HelpWithoutAnOpenerDoesNothingAndExitStillWorks)
{
    auto player = launch({"PATH=/nonexistent"});
    const std::string id = id_;
    ASSERT_FALSE(id.empty()) << slurp(folder_.file("player.log"));
    std::string before = shot("before.png");
    click(id, 950, 32);
    click(id, 165, 245);   // a tile whose screen is not there yet: nothing happens
    long changed = -1;
    for (int i = 0; i < 100 && changed != 0; ++i)
        changed = differing(before, shot("after.png"), 0, 0, 1000, 600);
    EXPECT_EQ(changed, 0) << "help or a tile left a changed screen";
    EXPECT_TRUE(player->running());
    click(id, 48, 32);
    EXPECT_EQ(player->wait_exit(), 0);
}

TEST_F(HomeScreen, PressedTileLightsUpAndReleasedTileIsRestoredExactly)
{
    auto player = launch();
    const std::string id = id_;
    ASSERT_FALSE(id.empty()) << slurp(folder_.file("player.log"));
    std::string before = shot("before.png");
    display_.run("xdotool mousemove --window " + id + " 500 240 mousedown 1");
    std::string pressed;
    long changed = 0;
    for (int i = 0; i < 100 && changed == 0; ++i) {
        pressed = shot("pressed.png");
        changed = differing(before, pressed, 405, 150, 190, 190);
    }
    EXPECT_GT(changed, 1000) << "no press feedback on the tile";
    EXPECT_EQ(differing(before, pressed, 72, 150, 190, 190), 0) << "a neighbour changed";
    display_.run("xdotool mouseup 1");
    long left = -1;
    for (int i = 0; i < 100 && left != 0; ++i)
        left = differing(before, shot("released.png"), 0, 0, 1000, 600);
    EXPECT_EQ(left, 0) << "the released tile does not look as before";
    EXPECT_EQ(player->terminate(), 0);
}

TEST_F(HomeScreen, ExitButtonEndsTheProgramWithStatusZero)
{
    auto player = launch();
    const std::string id = id_;
    ASSERT_FALSE(id.empty()) << slurp(folder_.file("player.log"));
    click(id, 45, 30);
    EXPECT_EQ(player->wait_exit(), 0);
    struct stat st;
    EXPECT_EQ(::stat(folder_.file("data/prefs.dat").c_str(), &st), 0);
}

}  // namespace

namespace {

TEST_F(HomeScreen, ResizingTheWindowAndBackRedrawsTheSameScreen)
{
    auto player = launch();
    const std::string id = id_;
    ASSERT_FALSE(id.empty()) << slurp(folder_.file("player.log"));
    std::string before = shot("before.png");
    display_.run("xdotool windowsize " + id + " 800 500");
    long shown = -1;
    // The smaller window shows the top-left part of the same screen (its
    // background rescaled to the window, hence the tolerance).
    for (int i = 0; i < 100 && shown != 0; ++i)
        shown = differing(before, shot("small.png"), 0, 0, 780, 480, 10);
    EXPECT_EQ(shown, 0);
    display_.run("xdotool windowsize " + id + " 1000 600");
    long left = -1;
    for (int i = 0; i < 100 && left != 0; ++i)
        left = differing(before, shot("after.png"), 0, 0, 1000, 600);
    EXPECT_EQ(left, 0) << "the screen was not redrawn after growing back";
    EXPECT_TRUE(player->running());
    click(id, 45, 30);
    EXPECT_EQ(player->wait_exit(), 0);
}

}  // namespace
