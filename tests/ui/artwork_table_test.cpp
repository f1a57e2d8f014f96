// The artwork table loaded from PNG files made here, in a scratch run folder
// that also holds the fonts: window-sized images scaled, the seek track drawn
// into the player bar, refits to a new window, and all-or-nothing failure.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <SDL/SDL_ttf.h>

#include "tests/scratch_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/artwork.h"
#include "ui/text.h"

namespace {

constexpr uint32_t LEFT_CAP = 0xFF0000C0u, MIDDLE = 0xFF00C000u, RIGHT_CAP = 0xFFC00000u,
                   BAR = 0xFF202020u;

// Image ids with a size and colour of their own; the rest are small and dark.
struct Made {
    int id, w, h;
    uint32_t colour;
};
const Made MADE[] = {{ART_BACKGROUND2, 500, 300, 0xFF304050u}, {ART_PLAYERBAR, 300, 80, BAR},
                     {ART_THUMB, 40, 40, 0xFFFFFFFFu},  // puts the track at the bar's top
                     {ART_SLIDER_LEFT, 8, 10, LEFT_CAP},       {ART_SLIDER_MIDDLE, 8, 10, MIDDLE},
                     {ART_SLIDER_RIGHT, 8, 10, RIGHT_CAP}};

// Colour runs along row y: {colour, length} from the left edge.
std::vector<std::pair<uint32_t, int>> runs(Surface* s, int y)
{
    std::vector<std::pair<uint32_t, int>> out;
    for (int x = 0; x < s->w; ++x)
        if (!out.empty() && out.back().first == get_pixel(s, x, y))
            ++out.back().second;
        else
            out.push_back({get_pixel(s, x, y), 1});
    return out;
}

class ArtworkTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(std::system(("mkdir -p '" + dir_.path() + "/images'").c_str()), 0);
        for (int f = 0; f < FONT_FAMILY_COUNT; ++f)
            ASSERT_EQ(symlink((std::string(VELMORA_RUN_DIR) + "/" + font_file(f)).c_str(),
                              (dir_.path() + "/" + font_file(f)).c_str()),
                      0);
        for (int id = 0; id < ART_COUNT; ++id) {
            Made m{id, 10 + id % 7, 12, 0xFF000000u | (id * 0x030507u & 0xFFFFFFu)};
            for (const Made& special : MADE)
                m = special.id == id ? special : m;
            ASSERT_TRUE(
                write_png(file(ArtId(id)), m.w, m.h, true, [&](int, int) { return m.colour; }));
        }
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        ASSERT_EQ(TTF_Init(), 0);
    }
    void TearDown() override
    {
        free_artwork_and_fonts();
        TTF_Quit();
        ASSERT_EQ(chdir(previous_), 0);
    }
    std::string file(ArtId id) { return dir_.path() + "/" + artwork_path(id); }
    // The bar's track: left cap, middles, right cap on the bar colour, the
    // bar untouched below it; returns where the right cap starts.
    static int track_end(Surface* bar)
    {
        const auto row = runs(bar, 0);
        EXPECT_EQ(row.size(), 5u);
        if (row.size() != 5)
            return -1;
        const uint32_t order[] = {BAR, LEFT_CAP, MIDDLE, RIGHT_CAP, BAR};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(row[i].first, order[i]) << i;
        EXPECT_EQ(row[1].second, 8);
        EXPECT_EQ(row[3].second, 8);
        EXPECT_EQ(runs(bar, 10).size(), 1u);
        return row[0].second + row[1].second + row[2].second;
    }

    ScratchDir dir_;
    char previous_[4096] = {};
};

TEST_F(ArtworkTable, LoadsScalesTheWindowImagesDrawsTheTrackAndRefitsToNewWindows)
{
    ASSERT_EQ(load_artwork_and_fonts(640, 400), 0);
    for (ArtId piece : {ART_SLIDER_LEFT, ART_SLIDER_MIDDLE, ART_SLIDER_RIGHT})
        EXPECT_EQ(artwork(piece), nullptr);  // drawn into the bar, then freed
    Surface* bg = artwork(ART_BACKGROUND2);
    EXPECT_EQ(runs(bg, 399), (std::vector<std::pair<uint32_t, int>>{{0xFF304050u, 640}}));
    EXPECT_EQ(bg->h, 400);
    EXPECT_EQ(artwork(ART_BACKGROUND3)->w, 10 + ART_BACKGROUND3 % 7);  // not scaled at start
    EXPECT_EQ(artwork(ART_PLAYERBAR)->w, 640);
    const int end_640 = track_end(artwork(ART_PLAYERBAR));
    EXPECT_NE(font_get(FONT_SET_MAIN, FONT_PRELUDE), nullptr);

    ASSERT_EQ(artwork_fit_window(800, 480, false), 0);
    EXPECT_EQ(artwork(ART_BACKGROUND2)->w, 800);
    EXPECT_EQ(artwork(ART_BACKGROUND3)->h, 480);
    EXPECT_EQ(artwork(ART_BACKGROUND_TALL)->w * 10000 + artwork(ART_BACKGROUND_TALL)->h,
              480 * 10000 + 800);
    EXPECT_EQ(track_end(artwork(ART_PLAYERBAR)), end_640 + 160);  // the track follows the bar's end
    ASSERT_EQ(artwork_fit_window(800, 480, true), 0);
    EXPECT_EQ(artwork(ART_PLAYERBAR)->w, 480);

    // A failed refit keeps the images in place.
    ASSERT_EQ(unlink(file(ART_BACKGROUND3).c_str()), 0);
    EXPECT_EQ(artwork_fit_window(1024, 600, false), -1);
    EXPECT_EQ(artwork(ART_BACKGROUND2)->w, 800);
    EXPECT_EQ(artwork_fit_window(0, 600, false), -1);
    free_artwork_and_fonts();
    EXPECT_EQ(artwork(ART_BACKGROUND2), nullptr);
    EXPECT_EQ(font_get(FONT_SET_MAIN, FONT_PRELUDE), nullptr);
}

TEST_F(ArtworkTable, AnyMissingFileFailsAndKeepsNothing)
{
    for (ArtId gone : {ART_BACKGROUND_TALL, ART_SPINNER_5, ART_CHECKBOX_SEL}) {
        SCOPED_TRACE(artwork_path(gone));
        const std::string aside = file(gone) + ".aside";
        ASSERT_EQ(std::rename(file(gone).c_str(), aside.c_str()), 0);
        EXPECT_EQ(load_artwork_and_fonts(640, 400), -1);
        for (int id = 0; id < ART_COUNT; ++id)
            ASSERT_EQ(artwork(ArtId(id)), nullptr);
        ASSERT_EQ(std::rename(aside.c_str(), file(gone).c_str()), 0);
    }
    ASSERT_EQ(unlink((dir_.path() + "/" + font_file(FONT_GARUDA)).c_str()), 0);
    EXPECT_EQ(load_artwork_and_fonts(640, 400), -1);
    EXPECT_EQ(artwork(ART_DIALOG), nullptr);
    EXPECT_EQ(font_get(FONT_SET_MAIN, FONT_PRELUDE), nullptr);
}

}  // namespace
