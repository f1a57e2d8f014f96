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
#include "program_fixture.h"

namespace {

using namespace harness;

constexpr int PLAYLISTS_TILE_X = 832, PLAYLISTS_TILE_Y = 495;
constexpr int FAVORITES_X = LIST_W + 8 + BUTTON_STEP + 50;
constexpr int BOOKMARK_X = LIST_W + 8 + 3 * BUTTON_STEP + 50;
constexpr int RIGHT_X[3] = {WINDOW_W - BUTTON_STEP + 50, WINDOW_W - 2 * BUTTON_STEP + 50,
                            WINDOW_W - 3 * BUTTON_STEP + 50};
constexpr int NEW_OK_X = 640, NEW_OK_Y = 317;  // the "New" dialog's "Ok"

class Playlists : public ProgramTest {
protected:
    // Clicks the message box's "OK", which lies 25 pixels below its text:
    // the bottom of the text's last word is found by OCR.
    bool press_ok(const std::string& last_word)
    {
        constexpr int BOX_TOP = 160;
        return eventually([&] {
            std::istringstream tsv(
                run("convert '" + shot() + "' -crop 420x300+0+" + std::to_string(BOX_TOP) +
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
        run("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=25 -t 1 "
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

    MediaFolder media_;
    const std::string& dir_ = media_.path();
};

TEST_F(Playlists, BookmarkKeepsAFavoriteAndAddFilesFillsANewPlaylistThatPlays)
{
    for (const char* name : {"a-clip.mp4", "b-clip.mp4", "c-clip.mp4"})
        make_clip(name);
    browse_settings(dir_, [](Settings& s) {
        s.shuffle = 2;  // "Ordered": a playlist plays through
        s.repeat = 0;
    });
    start();
    click(LOCAL_MEDIA_X, LOCAL_MEDIA_Y);
    ASSERT_TRUE(list_shows("c-clip")) << seen_ << log();

    // "..", then the clips: the first one goes into the favorites.
    tap_row(1);
    ASSERT_TRUE(panel_shows("a-clip.mp4")) << seen_;
    click(BOOKMARK_X, TOP_BUTTON_Y);
    ASSERT_TRUE(shows("Added file a-clip.mp4", 0, 160, 420, 300)) << seen_;
    ASSERT_TRUE(press_ok("favorites."));
    click(FAVORITES_X, TOP_BUTTON_Y);
    EXPECT_TRUE(shows("Tip: Tap and hold", 0, 0, 420, 60)) << seen_;
    EXPECT_TRUE(list_shows("a-clip.mp4")) << seen_;

    // Kept on disk and loaded at the next start.
    ASSERT_EQ(player_->terminate(), 0);
    auto favorites = load("favorites.vlpls");
    ASSERT_TRUE(favorites);
    ASSERT_EQ(favorites->item_count, 1);
    EXPECT_EQ(std::string(favorites->items[0].name), dir_ + "a-clip.mp4");
    start();
    click(PLAYLISTS_TILE_X, PLAYLISTS_TILE_Y);
    ASSERT_TRUE(list_shows("1 item")) << seen_ << log();

    // "New" with its suggested name, then two clips added from the local media.
    click(RIGHT_X[0], BOTTOM_BUTTON_Y);
    ASSERT_TRUE(shows("Playlist name", 250, 100, 500, 270)) << seen_;
    click(NEW_OK_X, NEW_OK_Y);
    ASSERT_TRUE(list_shows("empty")) << seen_;
    tap_row(1);
    ASSERT_TRUE(panel_shows("playlist_")) << seen_;
    click(RIGHT_X[2], BOTTOM_BUTTON_Y);
    click(LOCAL_MEDIA_X, LOCAL_MEDIA_Y);
    ASSERT_TRUE(list_shows("c-clip")) << seen_;
    tap_row(2);
    tap_row(3);
    ASSERT_TRUE(eventually([&] {
        std::string marks = read_text(shot(), 300, LIST_Y + 2 * ROW_H, 120, 2 * ROW_H);
        return marks.find("+1") != marks.rfind("+1");
    })) << "the added rows show no markers";
    click(RIGHT_X[0], BOTTOM_BUTTON_Y);  // "Done": the playlist is shown
    ASSERT_TRUE(list_shows("c-clip")) << seen_;

    // Its first item plays, then the next; the list comes back at the end.
    tap_row(0);
    ASSERT_TRUE(panel_shows("b-clip.mp4")) << seen_;
    click(RIGHT_X[0], BOTTOM_BUTTON_Y);
    ASSERT_TRUE(eventually([&] { return read_text(shot(), 0, LIST_Y, 420, 300).empty(); }, 20))
        << "playback did not start";
    ASSERT_TRUE(list_shows("c-clip")) << log();
    ASSERT_EQ(player_->terminate(), 0);

    std::string made = run("cd " + folder_.file("data/playlists") +
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
    ASSERT_TRUE(read_settings(folder_, s.get()));
    EXPECT_EQ(std::string(s->resume_table.entries[0].path), dir_ + "b-clip.mp4");
    EXPECT_EQ(std::string(s->resume_table.entries[1].path), dir_ + "c-clip.mp4");
}

}  // namespace
