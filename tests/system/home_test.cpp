// The home screen of the whole program under Xvfb: what it shows (read back
// by OCR and pixels), the help button with a recording opener on PATH and
// with no opener at all, press feedback, resizing, and the exit button.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "program_fixture.h"

namespace {

using namespace harness;

class HomeScreen : public ProgramTest {
protected:
    // Whether the rectangle comes to look as in `before` within 30 s.
    bool settles_back(const std::string& before, int w, int h, int fuzz = 0)
    {
        return eventually(
            [&] { return differing(before, shot("after.png"), 0, 0, w, h, fuzz) == 0; });
    }
};

TEST_F(HomeScreen, ShowsTheTitleAndTilesAndHelpOpensThePage)
{
    // A recording opener: writes its arguments to opened.txt in the run folder.
    const std::string bin = folder_.file("bin"), opened = folder_.file("opened.txt");
    ::mkdir(bin.c_str(), 0755);
    std::ofstream(bin + "/xdg-open") << "#!/bin/sh\necho \"$@\" > '" << opened << ".tmp'\nmv '"
                                     << opened << ".tmp' '" << opened << "'\n";
    ::chmod((bin + "/xdg-open").c_str(), 0755);
    ASSERT_NO_FATAL_FAILURE(start({"PATH=" + bin + ":/usr/bin:/bin"}));

    const std::string text = read_text(shot("home.png"), 0, 0, WINDOW_W, WINDOW_H);
    EXPECT_NE(text.find("Velmora Media Player 4.0.2"), std::string::npos) << text;
    for (const char* label :
         {"Local Media", "Remote Media", "DLNA/UPNP", "Settings", "Live Streaming", "Playlists"})
        EXPECT_NE(text.find(label), std::string::npos) << label << " not read in:\n" << text;

    click(950, 32);
    ASSERT_TRUE(eventually([&] { return ::access(opened.c_str(), F_OK) == 0; }));
    EXPECT_EQ(run("cat " + opened), "https://velmora.example/site/docs/vlmp_0_3_0/vlmph.html\n");
    EXPECT_TRUE(player_->running());
    EXPECT_EQ(player_->terminate(), 0);
}

TEST_F(HomeScreen, PressHelpWithoutOpenerResizeAndExit)
{
    ASSERT_NO_FATAL_FAILURE(start({"PATH=/nonexistent"}));
    const std::string before = shot("before.png");

    // A pressed tile lights up alone and looks exactly as before once released.
    display_.run("xdotool mousemove --window " + id_ + " 500 490 mousedown 1");
    const std::string pressed = folder_.file("pressed.png");
    EXPECT_TRUE(eventually([&] {
        return differing(before, shot("pressed.png"), 405, 400, 190, 190) > 1000;
    })) << "no press feedback on the tile";
    EXPECT_EQ(differing(before, pressed, 72, 400, 190, 190), 0) << "a neighbour changed";
    // Released off the tile (between the rows), so that its screen does not open.
    display_.run("xdotool mousemove --window " + id_ + " 500 370 mouseup 1");
    EXPECT_TRUE(settles_back(before, 1000, 600)) << "the released tile does not look as before";

    // Help without an opener: nothing happens, and the button looks released again.
    click(950, 32);
    EXPECT_TRUE(settles_back(before, 1000, 600)) << "help left a changed screen";
    EXPECT_TRUE(player_->running());

    // The smaller window shows the top-left part of the same screen (its
    // background rescaled to the window, hence the tolerance).
    display_.run("xdotool windowsize " + id_ + " 800 500");
    EXPECT_TRUE(settles_back(before, 780, 480, 10));
    display_.run("xdotool windowsize " + id_ + " 1000 600");
    EXPECT_TRUE(settles_back(before, 1000, 600)) << "the screen was not redrawn after growing back";

    click(45, 30);  // exit
    EXPECT_EQ(player_->wait_exit(), 0);
    struct stat st;
    EXPECT_EQ(::stat(folder_.file("data/prefs.dat").c_str(), &st), 0);
}

}  // namespace
