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
#include "program_harness.h"

namespace {

using harness::differing;
using harness::RunFolder;
using harness::VirtualDisplay;

constexpr int WINDOW_W = 1000;
constexpr int WINDOW_H = 600;
constexpr int ROW_H = 60;
constexpr int LIST_Y = 120;
constexpr int LOCAL_MEDIA_X = 165, LOCAL_MEDIA_Y = 245;  // the home screen's first tile
constexpr int BOTTOM_BUTTON_Y = WINDOW_H - 70 + 8 + 27;
constexpr int PLAY_X = WINDOW_W - 108 + 50;
constexpr int BACK_X = 8 + 50;
constexpr int LIST_W = 420, BUTTON_STEP = 108;
constexpr int VIEW_X = 6 + 50, HEADER_Y = 68 + 22;  // the header's view button
constexpr int ICON_ROW_H = 120;
constexpr double PLAYBACK_TIMEOUT_S = 90;

class Browser : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display_.ok()) << "Xvfb did not start";
        char tmpl[] = "/tmp/velmora-browse-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = std::string(tmpl) + "/";
    }
    void TearDown() override { harness::run("rm -rf " + dir_); }

    void start(int shuffle, const std::function<void(Settings&)>& more = nullptr)
    {
        ASSERT_TRUE(harness::write_settings(folder_, [&](Settings& s) {
            std::snprintf(s.browse_path_1, sizeof s.browse_path_1, "%s", dir_.c_str());
            s.shuffle = uint8_t(shuffle);
            s.repeat = 0;
            if (more)
                more(s);
        }));
        player_ = harness::launch(display_, folder_, &id_);
        ASSERT_FALSE(id_.empty()) << log();
        click(LOCAL_MEDIA_X, LOCAL_MEDIA_Y);
    }
    std::string log() { return harness::run("cat " + folder_.file("player.log") + " 2>/dev/null"); }
    std::string shot(const std::string& name)
    {
        display_.screenshot(folder_.file(name), WINDOW_W, WINDOW_H);
        return folder_.file(name);
    }
    void click(int x, int y) { display_.click(id_, x, y); }
    void tap_row(int row) { click(200, LIST_Y + row * ROW_H + ROW_H / 2); }
    // Whether OCR finds `text` in a rectangle of the screen before the time-out.
    bool shows(const std::string& text, int x, int y, int w, int h, double timeout_s = 30)
    {
        return harness::eventually(
            [&] {
                seen_ = harness::read_text(shot("ocr.png"), x, y, w, h);
                return seen_.find(text) != std::string::npos;
            },
            timeout_s);
    }
    bool list_shows(const std::string& text, double timeout_s = 30)
    {
        return shows(text, 0, LIST_Y, 420, WINDOW_H - LIST_Y - 70, timeout_s);
    }
    // Whether the screen comes to stay the same for a second; left in `png`.
    bool settles(const std::string& png)
    {
        return harness::eventually([&] {
            display_.screenshot(png, WINDOW_W, WINDOW_H);
            ::sleep(1);
            return differing(png, shot("later.png"), 0, 0, WINDOW_W, WINDOW_H) == 0;
        });
    }
    void make_clip(const std::string& name, const char* source)
    {
        harness::run("ffmpeg -v error -y -f lavfi -i " + std::string(source) + " -t 2 " + dir_ +
                     name);
    }

    // Whether a rectangle of the screen is mostly the green of the test film.
    bool green(int x, int y, int w, int h)
    {
        std::string png = shot("green.png");
        char args[96];
        std::snprintf(args, sizeof args, " -crop %dx%d+%d+%d +repage ", w, h, x, y);
        std::string out = harness::run("convert " + png + args +
                                       "-format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:");
        double r = 1, g = 0, b = 1;
        return std::sscanf(out.c_str(), "%lf %lf %lf", &r, &g, &b) == 3 && g > 0.5 && r < 0.2 &&
               b < 0.2;
    }

    // Whether the top `height` rows of a screenshot have green pixels.
    static bool green_somewhere(const std::string& png, int height)
    {
        std::string n = harness::run("convert " + png + " -crop " + std::to_string(WINDOW_W) + "x" +
                                     std::to_string(height) + "+0+0" +
                                     " +repage -fx 'g>0.6 && r<0.3 && b<0.3' -format "
                                     "'%[fx:mean*w*h]' info:");
        return std::atof(n.c_str()) > 50;
    }

    VirtualDisplay display_;
    RunFolder folder_;
    std::unique_ptr<harness::Player> player_;
    std::string id_;
    std::string dir_;
    std::string seen_;
};

TEST_F(Browser, ListsTheFolderShowsAFilesInformationAndPlaysTheFolderInOrder)
{
    ::mkdir((dir_ + "Extras").c_str(), 0755);
    make_clip("a-first.mp4", "testsrc2=size=320x240:rate=25 -pix_fmt yuv420p");
    make_clip("b-second.m4a", "sine=frequency=440");
    make_clip("c-third.mp4", "testsrc2=size=320x240:rate=25 -pix_fmt yuv420p");
    harness::run("echo text > " + dir_ + "notes.txt");
    start(2);  // "Ordered": the folder plays through

    // Folders first, then the media in name order; other files are not listed.
    ASSERT_TRUE(list_shows("c-third.mp4")) << seen_ << log();
    EXPECT_NE(seen_.find("Extras"), std::string::npos) << seen_;
    EXPECT_LT(seen_.find("Extras"), seen_.find("a-first.mp4")) << seen_;
    EXPECT_LT(seen_.find("a-first.mp4"), seen_.find("b-second.m4a")) << seen_;
    EXPECT_EQ(seen_.find("notes"), std::string::npos) << seen_;

    tap_row(2);  // "..", "Extras", then a-first.mp4
    EXPECT_TRUE(shows("Resolution: 320x240", 420, 70, WINDOW_W - 420, WINDOW_H - 140)) << seen_;
    EXPECT_NE(seen_.find("Size:"), std::string::npos) << seen_;
    EXPECT_NE(seen_.find("Length: 00:00:02"), std::string::npos) << seen_;

    click(PLAY_X, BOTTOM_BUTTON_Y);
    // Played through, the list is back; the settings keep where each item
    // stood, in the order they were played, and nothing after the last.
    ASSERT_TRUE(harness::eventually(
        [&] { return harness::read_text(shot("playing.png"), 0, LIST_Y, 420, 300).empty(); }, 20))
        << "playback did not start";
    ASSERT_TRUE(list_shows("c-third.mp4", PLAYBACK_TIMEOUT_S)) << log();
    std::string png = folder_.file("after.png");
    ASSERT_TRUE(settles(png));
    ASSERT_EQ(player_->terminate(), 0);
    auto s = std::make_unique<Settings>();
    ASSERT_TRUE(harness::read_settings(folder_, s.get()));
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
    ASSERT_EQ(harness::read_text(scrolled, 0, LIST_Y, 420, ROW_H).find(".."), std::string::npos)
        << "the list did not scroll";

    tap_row(1);
    ASSERT_TRUE(harness::eventually([&] {
        return differing(scrolled, shot("inside.png"), 0, LIST_Y, 420, 300) > 1000;
    })) << "the folder did not open";
    click(BACK_X, BOTTOM_BUTTON_Y);
    // The same rows in the same places (the bars differ: Back now leads
    // into the folder just left).
    EXPECT_TRUE(harness::eventually([&] {
        return differing(scrolled, shot("back.png"), 0, 0, 420, WINDOW_H - 70) == 0;
    })) << "Back did not return to the same place";

    // The folder of the first shown row goes away before it is tapped.
    std::string first = harness::read_text(scrolled, 0, LIST_Y, 420, ROW_H);
    first = first.substr(first.find('d'), 3);
    ASSERT_EQ(::rmdir((dir_ + first).c_str()), 0) << first;
    tap_row(0);
    EXPECT_TRUE(shows("could not be opened", 0, 0, WINDOW_W, WINDOW_H)) << seen_;
    EXPECT_TRUE(player_->running());
    EXPECT_EQ(player_->terminate(), 0);
    // The browser stayed in the folder it was in.
    auto s = std::make_unique<Settings>();
    ASSERT_TRUE(harness::read_settings(folder_, s.get()));
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
    EXPECT_TRUE(harness::eventually([&] { return green(50, row_y + 45, 40, 30); }))
        << "no thumbnail in the icon view";
    click(200, row_y + ICON_ROW_H / 2);
    // The panel's picture box, right of the list, under the top bar.
    EXPECT_TRUE(harness::eventually([&] { return green(660, 100, 100, 100); }))
        << "no picture in the information panel";
    EXPECT_TRUE(shows("Resolution: 320x240", 420, 70, WINDOW_W - 420, WINDOW_H - 140)) << seen_;
    EXPECT_EQ(player_->terminate(), 0);
    // The small thumbnail and the panel's picture stay for the next run.
    std::string files = harness::run("ls " + folder_.file("data/thumbnails"));
    EXPECT_NE(files.find("_small\n"), std::string::npos) << files;
    EXPECT_EQ(std::count(files.begin(), files.end(), '\n'), 2) << files;
}

TEST_F(Browser, AFilmsSubtitleFileShowsInItsCharacterSetAndTheChosenColour)
{
    make_clip("film.mp4", "color=c=0x202020:size=640x360:rate=25 -t 8 -pix_fmt yuv420p");
    // "Привет, мир!" in Windows-1251, CR LF line ends, beside the film.
    harness::run("printf '1\\r\\n00:00:00,200 --> 00:00:07,800\\r\\n"
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
    EXPECT_TRUE(shows("Resolution: 640x360", 420, 70, WINDOW_W - 420, WINDOW_H - 140)) << seen_;
    click(PLAY_X, BOTTOM_BUTTON_Y);
    // Above the player's bar while it shows, at the foot of the picture
    // when it hides: the picture's area above the bar holds the band.
    const int band_h = WINDOW_H * 3 / 4;
    EXPECT_TRUE(harness::eventually([&] {
        seen_ = harness::read_text(shot("band.png"), 0, 0, WINDOW_W, band_h, true, "rus");
        return seen_.find("Привет") != std::string::npos;
    })) << seen_
        << log();
    EXPECT_TRUE(green_somewhere(folder_.file("band.png"), band_h)) << "the text is not green";
    EXPECT_EQ(player_->terminate(), 0);
}

}  // namespace
