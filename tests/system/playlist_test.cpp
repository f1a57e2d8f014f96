// Playlists and favorites in the whole program under Xvfb: "Bookmark" keeps
// a file in the favorites across a restart, "New" makes a playlist that
// "Add Files" fills from the local media, and the playlist plays through.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "browser/playlist.h"
#include "platform/settings.h"
#include "program_harness.h"

namespace {

using harness::RunFolder;
using harness::VirtualDisplay;

constexpr int WINDOW_W = 1000;
constexpr int WINDOW_H = 600;
constexpr int ROW_H = 60;
constexpr int LIST_Y = 120;
constexpr int LOCAL_MEDIA_X = 165, LOCAL_MEDIA_Y = 245;  // the home screen's tiles
constexpr int PLAYLISTS_TILE_X = 832, PLAYLISTS_TILE_Y = 495;
// Bar buttons: 100 wide, 108 apart, 8 below a bar's top.
constexpr int TOP_Y = 8 + 27;
constexpr int BOTTOM_Y = WINDOW_H - 70 + 8 + 27;
constexpr int FAVORITES_X = 420 + 8 + 108 + 50;
constexpr int BOOKMARK_X = 420 + 8 + 3 * 108 + 50;
constexpr int RIGHT_X[3] = {WINDOW_W - 108 + 50, WINDOW_W - 2 * 108 + 50, WINDOW_W - 3 * 108 + 50};
constexpr int NEW_OK_X = 640, NEW_OK_Y = 317;  // the "New" dialog's "Ok"

class Playlists : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display_.ok()) << "Xvfb did not start";
        char tmpl[] = "/tmp/velmora-lists-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = std::string(tmpl) + "/";
    }
    void TearDown() override { harness::run("rm -rf " + dir_); }

    void launch()
    {
        player_ = harness::launch(display_, folder_, &id_);
        ASSERT_FALSE(id_.empty()) << log();
    }
    std::string log() { return harness::run("cat " + folder_.file("player.log") + " 2>/dev/null"); }
    std::string shot()
    {
        display_.screenshot(folder_.file("ocr.png"), WINDOW_W, WINDOW_H);
        return folder_.file("ocr.png");
    }
    void click(int x, int y) { display_.click(id_, x, y); }
    void tap_row(int row) { click(200, LIST_Y + row * ROW_H + ROW_H / 2); }
    bool shows(const std::string& text, int x, int y, int w, int h, double timeout_s = 30)
    {
        return harness::eventually(
            [&] {
                seen_ = harness::read_text(shot(), x, y, w, h);
                // A row's long path may wrap anywhere, even inside the
                // name looked for: the lines are read as one.
                std::string joined = seen_;
                std::erase(joined, '\n');
                return joined.find(text) != std::string::npos;
            },
            timeout_s);
    }
    bool list_shows(const std::string& text)
    {
        return shows(text, 0, LIST_Y, 420, WINDOW_H - LIST_Y - 70);
    }
    // The information panel of the chosen item (bar buttons do not OCR well).
    bool panel_shows(const std::string& text)
    {
        return shows(text, 420, 70, WINDOW_W - 420, WINDOW_H - 140);
    }
    // Clicks the message box's "OK", which lies 25 pixels below its text:
    // the bottom of the text's last word is found by OCR.
    bool press_ok(const std::string& last_word)
    {
        constexpr int BOX_TOP = 160;
        return harness::eventually([&] {
            std::istringstream tsv(harness::run(
                "convert '" + shot() + "' -crop 420x300+0+" + std::to_string(BOX_TOP) +
                " +repage -colorspace Gray -negate -resize 200% png:- | tesseract - - tsv"));
            std::string line;
            while (std::getline(tsv, line)) {
                // level page block par line word left top width height conf text
                std::istringstream f(line);
                std::string field[12];
                for (std::string& s : field)
                    std::getline(f, s, '\t');
                if (field[11] == last_word) {
                    int bottom = (std::atoi(field[7].c_str()) + std::atoi(field[9].c_str())) / 2;
                    click(210, BOX_TOP + bottom + 25 + 27);
                    return true;
                }
            }
            return false;
        });
    }
    void make_clip(const std::string& name)
    {
        harness::run("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=25 -t 1 "
                     "-pix_fmt yuv420p " +
                     dir_ + name);
    }
    std::unique_ptr<PlaylistRecord, void (*)(void*)> load(const std::string& name)
    {
        std::unique_ptr<PlaylistRecord, void (*)(void*)> r(
            static_cast<PlaylistRecord*>(std::calloc(1, sizeof(PlaylistRecord))), std::free);
        if (playlist_load(folder_.file("data/playlists/" + name).c_str(), r.get()) != 0)
            r.reset();
        return r;
    }

    VirtualDisplay display_;
    RunFolder folder_;
    std::unique_ptr<harness::Player> player_;
    std::string id_;
    std::string dir_;
    std::string seen_;
};

TEST_F(Playlists, BookmarkKeepsAFavoriteAndAddFilesFillsANewPlaylistThatPlays)
{
    for (const char* name : {"a-clip.mp4", "b-clip.mp4", "c-clip.mp4"})
        make_clip(name);
    ASSERT_TRUE(harness::write_settings(folder_, [&](Settings& s) {
        std::snprintf(s.browse_path_1, sizeof s.browse_path_1, "%s", dir_.c_str());
        s.shuffle = 2;  // "Ordered": a playlist plays through
        s.repeat = 0;
    }));
    launch();
    click(LOCAL_MEDIA_X, LOCAL_MEDIA_Y);
    ASSERT_TRUE(list_shows("c-clip")) << seen_ << log();

    // "..", then the clips: the first one goes into the favorites.
    tap_row(1);
    ASSERT_TRUE(panel_shows("a-clip.mp4")) << seen_;
    click(BOOKMARK_X, TOP_Y);
    ASSERT_TRUE(shows("Added file a-clip.mp4", 0, 160, 420, 300)) << seen_;
    ASSERT_TRUE(press_ok("favorites."));
    click(FAVORITES_X, TOP_Y);
    EXPECT_TRUE(shows("Tip: Tap and hold", 0, 0, 420, 60)) << seen_;
    EXPECT_TRUE(list_shows("a-clip.mp4")) << seen_;

    // Kept on disk and loaded at the next start.
    ASSERT_EQ(player_->terminate(), 0);
    auto favorites = load("favorites.vlpls");
    ASSERT_TRUE(favorites);
    ASSERT_EQ(favorites->item_count, 1);
    EXPECT_EQ(std::string(favorites->items[0].name), dir_ + "a-clip.mp4");
    launch();
    click(PLAYLISTS_TILE_X, PLAYLISTS_TILE_Y);
    ASSERT_TRUE(list_shows("1 item")) << seen_ << log();

    // "New" with its suggested name, then two clips added from the local media.
    click(RIGHT_X[0], BOTTOM_Y);
    ASSERT_TRUE(shows("Playlist name", 250, 100, 500, 270)) << seen_;
    click(NEW_OK_X, NEW_OK_Y);
    ASSERT_TRUE(list_shows("empty")) << seen_;
    tap_row(1);
    ASSERT_TRUE(panel_shows("playlist_")) << seen_;
    click(RIGHT_X[2], BOTTOM_Y);
    click(LOCAL_MEDIA_X, LOCAL_MEDIA_Y);
    ASSERT_TRUE(list_shows("c-clip")) << seen_;
    tap_row(2);
    tap_row(3);
    ASSERT_TRUE(harness::eventually([&] {
        std::string marks = harness::read_text(shot(), 300, LIST_Y + 2 * ROW_H, 120, 2 * ROW_H);
        return marks.find("+1") != marks.rfind("+1");
    })) << "the added rows show no markers";
    click(RIGHT_X[0], BOTTOM_Y);  // "Done": the playlist is shown
    ASSERT_TRUE(list_shows("c-clip")) << seen_;

    // Its first item plays, then the next; the list comes back at the end.
    tap_row(0);
    ASSERT_TRUE(panel_shows("b-clip.mp4")) << seen_;
    click(RIGHT_X[0], BOTTOM_Y);
    ASSERT_TRUE(harness::eventually(
        [&] { return harness::read_text(shot(), 0, LIST_Y, 420, 300).empty(); }, 20))
        << "playback did not start";
    ASSERT_TRUE(list_shows("c-clip")) << log();
    ASSERT_EQ(player_->terminate(), 0);

    std::string made = harness::run("cd " + folder_.file("data/playlists") +
                                    " && ls | grep -v '^favorites' | head -1");
    made.erase(made.find_last_not_of('\n') + 1);
    auto playlist = load(made);
    ASSERT_TRUE(playlist) << made;
    EXPECT_EQ(made.rfind("playlist_", 0), 0u) << made;
    ASSERT_EQ(playlist->item_count, 2);
    EXPECT_EQ(std::string(playlist->items[0].name), dir_ + "b-clip.mp4");
    EXPECT_EQ(std::string(playlist->items[1].name), dir_ + "c-clip.mp4");
    EXPECT_EQ(playlist->items[0].type, ITEM_LOCAL_FILE);
    auto s = std::make_unique<Settings>();
    ASSERT_TRUE(harness::read_settings(folder_, s.get()));
    EXPECT_EQ(std::string(s->resume_table.entries[0].path), dir_ + "b-clip.mp4");
    EXPECT_EQ(std::string(s->resume_table.entries[1].path), dir_ + "c-clip.mp4");
}

}  // namespace
