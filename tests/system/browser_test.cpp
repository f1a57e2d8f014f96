// The media browser in the whole program under Xvfb: "Local Media" lists
// the folder of the local path, a tapped file shows its information, "Play"
// plays the folder through in order and stops at its end, Back returns to
// the same place in the list, and a folder that has vanished shows the
// error and leaves the previous folder on screen; the icon view and the
// information panel show pictures of a film; a film's subtitle file in
// another character set, chosen with "Subs Language", shows on the picture
// in the chosen colour.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "browser/navigation.h"
#include "platform/settings.h"
#include "program_fixture.h"

namespace {

using namespace harness;

constexpr int PLAY_X = WINDOW_W - BUTTON_STEP + 50;
constexpr int BACK_X = 8 + 50;
constexpr int VIEW_X = 6 + 50, HEADER_Y = 68 + 22;  // the header's view button
constexpr int ICON_ROW_H = 120;
constexpr double PLAYBACK_TIMEOUT_S = 90;

class Browser : public ProgramTest {
protected:
    void start(int shuffle, const std::function<void(Settings&)>& more = nullptr)
    {
        browse_settings(dir_, [&](Settings& s) {
            s.shuffle = uint8_t(shuffle);
            s.repeat = 0;
            if (more)
                more(s);
        });
        ProgramTest::start();
        click(LOCAL_MEDIA_X, LOCAL_MEDIA_Y);
    }
    void make_clip(const std::string& name, const char* source)
    {
        run("ffmpeg -v error -y -f lavfi -i " + std::string(source) + " -t 2 " + dir_ + name);
    }

    // Whether a rectangle of the screen is mostly the green of the test film.
    bool green(int x, int y, int w, int h)
    {
        std::string png = shot("green.png");
        char args[96];
        std::snprintf(args, sizeof args, " -crop %dx%d+%d+%d +repage ", w, h, x, y);
        std::string out = run("convert " + png + args +
                              "-format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:");
        double r = 1, g = 0, b = 1;
        return std::sscanf(out.c_str(), "%lf %lf %lf", &r, &g, &b) == 3 && g > 0.5 && r < 0.2 &&
               b < 0.2;
    }

    // Whether the top `height` rows of a screenshot have green pixels.
    static bool green_somewhere(const std::string& png, int height)
    {
        std::string n = run("convert " + png + " -crop " + std::to_string(WINDOW_W) + "x" +
                            std::to_string(height) + "+0+0" +
                            " +repage -fx 'g>0.6 && r<0.3 && b<0.3' -format "
                            "'%[fx:mean*w*h]' info:");
        return std::atof(n.c_str()) > 50;
    }

    MediaFolder media_;
    const std::string& dir_ = media_.path();
};

TEST_F(Browser, ListsTheFolderShowsAFilesInformationAndPlaysTheFolderInOrder)
{
    ::mkdir((dir_ + "Extras").c_str(), 0755);
    make_clip("a-first.mp4", "testsrc2=size=320x240:rate=25 -pix_fmt yuv420p");
    make_clip("b-second.m4a", "sine=frequency=440");
    make_clip("c-third.mp4", "testsrc2=size=320x240:rate=25 -pix_fmt yuv420p");
    run("echo text > " + dir_ + "notes.txt");
    start(2);  // "Ordered": the folder plays through

    // Folders first, then the media in name order; other files are not listed.
    ASSERT_TRUE(list_shows("c-third.mp4")) << seen_ << log();
    EXPECT_NE(seen_.find("Extras"), std::string::npos) << seen_;
    EXPECT_LT(seen_.find("Extras"), seen_.find("a-first.mp4")) << seen_;
    EXPECT_LT(seen_.find("a-first.mp4"), seen_.find("b-second.m4a")) << seen_;
    EXPECT_EQ(seen_.find("notes"), std::string::npos) << seen_;

    tap_row(2);  // "..", "Extras", then a-first.mp4
    EXPECT_TRUE(panel_shows("Resolution: 320x240")) << seen_;
    EXPECT_NE(seen_.find("Size:"), std::string::npos) << seen_;
    EXPECT_NE(seen_.find("Length: 00:00:02"), std::string::npos) << seen_;

    click(PLAY_X, BOTTOM_BUTTON_Y);
    // Played through, the list is back; the settings keep where each item
    // stood, in the order they were played, and nothing after the last.
    ASSERT_TRUE(
        eventually([&] { return read_text(shot("playing.png"), 0, LIST_Y, 420, 300).empty(); }, 20))
        << "playback did not start";
    ASSERT_TRUE(list_shows("c-third.mp4", PLAYBACK_TIMEOUT_S)) << log();
    std::string png = folder_.file("after.png");
    ASSERT_TRUE(settles(png));
    ASSERT_EQ(player_->terminate(), 0);
    auto s = std::make_unique<Settings>();
    ASSERT_TRUE(read_settings(folder_, s.get()));
    const char* order[] = {"a-first.mp4", "b-second.m4a", "c-third.mp4"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::string(s->resume_table.entries[i].path), dir_ + order[i]) << i;
    EXPECT_STREQ(s->resume_table.entries[3].path, "");
}

TEST_F(Browser, BackKeepsTheScrollPositionAndAVanishedFolderLeavesThePreviousOne)
{
    for (int i = 0; i < 30; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "d%02d", i);
        ::mkdir((dir_ + name).c_str(), 0755);
    }
    start(0);
    ASSERT_TRUE(list_shows("d03")) << seen_ << log();

    // A slow drag up by five rows (slow: no fling afterwards).
    std::string moves = "xdotool mousemove --window " + id_ + " 200 400 mousedown 1";
    for (int y = 390; y >= 100; y -= 10)
        moves += " sleep 0.02 mousemove --window " + id_ + " 200 " + std::to_string(y);
    display_.run(moves + " sleep 0.3 mouseup 1");
    const std::string scrolled = folder_.file("scrolled.png");
    ASSERT_TRUE(settles(scrolled));
    ASSERT_EQ(read_text(scrolled, 0, LIST_Y, 420, ROW_H).find(".."), std::string::npos)
        << "the list did not scroll";

    tap_row(1);
    ASSERT_TRUE(eventually([&] {
        return differing(scrolled, shot("inside.png"), 0, LIST_Y, 420, 300) > 1000;
    })) << "the folder did not open";
    click(BACK_X, BOTTOM_BUTTON_Y);
    // The same rows in the same places (the bars differ: Back now leads
    // into the folder just left).
    EXPECT_TRUE(eventually([&] {
        return differing(scrolled, shot("back.png"), 0, 0, 420, WINDOW_H - 70) == 0;
    })) << "Back did not return to the same place";

    // The folder of the first shown row goes away before it is tapped.
    std::string first = read_text(scrolled, 0, LIST_Y, 420, ROW_H);
    first = first.substr(first.find('d'), 3);
    ASSERT_EQ(::rmdir((dir_ + first).c_str()), 0) << first;
    tap_row(0);
    EXPECT_TRUE(shows("could not be opened", 0, 0, WINDOW_W, WINDOW_H)) << seen_;
    EXPECT_TRUE(player_->running());
    EXPECT_EQ(player_->terminate(), 0);
    // The browser stayed in the folder it was in.
    auto s = std::make_unique<Settings>();
    ASSERT_TRUE(read_settings(folder_, s.get()));
    EXPECT_EQ(std::string(s->browse_path_1), dir_);
}

TEST_F(Browser, TheIconViewAndThePanelShowPicturesOfAFilm)
{
    make_clip("green.mp4", "color=c=0x00C000:size=320x240:rate=25 -pix_fmt yuv420p");
    start(0);
    ASSERT_TRUE(list_shows("green.mp4")) << seen_ << log();
    click(VIEW_X, HEADER_Y);  // "Icons"
    // Row 1 (after ".."): its icon becomes the film's thumbnail, centred
    // in the icon column.
    const int row_y = LIST_Y + ICON_ROW_H;
    EXPECT_TRUE(eventually([&] { return green(50, row_y + 45, 40, 30); }))
        << "no thumbnail in the icon view";
    click(200, row_y + ICON_ROW_H / 2);
    // The panel's picture box, right of the list, under the top bar.
    EXPECT_TRUE(eventually([&] { return green(660, 100, 100, 100); }))
        << "no picture in the information panel";
    EXPECT_TRUE(panel_shows("Resolution: 320x240")) << seen_;
    EXPECT_EQ(player_->terminate(), 0);
    // The small thumbnail and the panel's picture stay for the next run.
    std::string files = run("ls " + folder_.file("data/thumbnails"));
    EXPECT_NE(files.find("_small\n"), std::string::npos) << files;
    EXPECT_EQ(std::count(files.begin(), files.end(), '\n'), 2) << files;
}

TEST_F(Browser, AFilmsSubtitleFileShowsInItsCharacterSetAndTheChosenColour)
{
    make_clip("film.mp4", "color=c=0x202020:size=640x360:rate=25 -t 8 -pix_fmt yuv420p");
    // "Привет, мир!" in Windows-1251, CR LF line ends, beside the film.
    run("printf '1\\r\\n00:00:00,200 --> 00:00:07,800\\r\\n"
        "\\317\\360\\350\\342\\345\\362, \\354\\350\\360!\\r\\n' > " +
        dir_ + "film.srt");
    start(0, [](Settings& s) {
        std::snprintf(s.subtitle_charset, sizeof s.subtitle_charset, "ISO-8859-5 (Cyrillic)");
        s.subtitle_color = 4;  // green
    });
    ASSERT_TRUE(list_shows("film.mp4")) << seen_ << log();
    tap_row(1);
    // "Subs Language" lists the sets in their order, the current one a row
    // below the top: CP1251 follows it.
    click(LIST_W + 8 + BUTTON_STEP + 50, BOTTOM_BUTTON_Y);
    ASSERT_TRUE(list_shows("CP1251")) << seen_;
    EXPECT_LT(seen_.find("ISO-8859-5"), seen_.find("CP1251")) << seen_;
    tap_row(2);
    // The folder and the film's panel come back.
    EXPECT_TRUE(panel_shows("Resolution: 640x360")) << seen_;
    click(PLAY_X, BOTTOM_BUTTON_Y);
    // Above the player's bar while it shows, at the foot of the picture
    // when it hides: the picture's area above the bar holds the band.
    const int band_h = WINDOW_H * 3 / 4;
    EXPECT_TRUE(eventually([&] {
        seen_ = read_text(shot("band.png"), 0, 0, WINDOW_W, band_h, true, "rus");
        return seen_.find("Привет") != std::string::npos;
    })) << seen_
        << log();
    EXPECT_TRUE(green_somewhere(folder_.file("band.png"), band_h)) << "the text is not green";
    EXPECT_EQ(player_->terminate(), 0);
}

}  // namespace
