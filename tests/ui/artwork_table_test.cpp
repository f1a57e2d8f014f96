// The artwork table loaded from PNG files made here, in a scratch run folder
// that also holds the five fonts: scaling of the window-sized images, the
// seek track drawn into the player bar, and the all-or-nothing failure.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include <SDL/SDL_ttf.h>

#include "tests/ui/ui_test_support.h"
#include "ui/artwork.h"
#include "ui/text.h"

namespace {

constexpr uint32_t LEFT_CAP = 0xFF0000C0u;
constexpr uint32_t MIDDLE = 0xFF00C000u;
constexpr uint32_t RIGHT_CAP = 0xFFC00000u;
constexpr uint32_t BAR = 0xFF202020u;

// Size and colour each test image is made with.
struct Made {
    int w, h;
    uint32_t colour;
};

Made made_for(int id)
{
    switch (id) {
    case ART_BACKGROUND2: return {500, 300, 0xFF304050u};
    case ART_PLAYERBAR: return {300, 80, BAR};
    case ART_THUMB: return {40, 40, 0xFFFFFFFFu};  // track at y = 40 / 2 - 20 = 0
    case ART_SLIDER_LEFT: return {8, 10, LEFT_CAP};
    case ART_SLIDER_MIDDLE: return {8, 10, MIDDLE};
    case ART_SLIDER_RIGHT: return {8, 10, RIGHT_CAP};
    default: return {10 + id % 7, 12, 0xFF000000u | (id * 0x030507u & 0xFFFFFFu)};
    }
}

class ArtworkTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        ASSERT_EQ(std::system(("mkdir -p '" + dir_.path() + "/images'").c_str()), 0);
        for (int f = 0; f < FONT_FAMILY_COUNT; ++f) {
            const std::string from = std::string(VELMORA_RUN_DIR) + "/" + font_file(f);
            ASSERT_EQ(symlink(from.c_str(), (dir_.path() + "/" + font_file(f)).c_str()), 0);
        }
        for (int id = 0; id < ART_COUNT; ++id) {
            const Made m = made_for(id);
            ASSERT_TRUE(write_png(dir_.path() + "/" + artwork_path(ArtId(id)), m.w, m.h, true,
                                  [&](int, int) { return m.colour; }));
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

    TempDir dir_;
    char previous_[4096] = {};
};

TEST_F(ArtworkTable, LoadsEveryImageScalesTheWindowOnesAndDrawsTheSeekTrack)
{
    ASSERT_EQ(load_artwork_and_fonts(640, 400), 0);
    for (int id = 0; id < ART_COUNT; ++id) {
        const bool piece = id == ART_SLIDER_LEFT || id == ART_SLIDER_MIDDLE || id == ART_SLIDER_RIGHT;
        EXPECT_EQ(artwork(ArtId(id)) == nullptr, piece) << artwork_path(ArtId(id));
    }
    Surface* bg = artwork(ART_BACKGROUND2);
    EXPECT_EQ(bg->w, 640);
    EXPECT_EQ(bg->h, 400);
    EXPECT_EQ(get_pixel(bg, 639, 399), 0xFF304050u);
    EXPECT_EQ(artwork(ART_BACKGROUND3)->w, made_for(ART_BACKGROUND3).w);  // not scaled

    Surface* bar = artwork(ART_PLAYERBAR);
    ASSERT_EQ(bar->w, 640);
    ASSERT_EQ(bar->h, 80);
    // Middle pieces run from 120 while x < 640 - 284 - 8 = 348: the right cap
    // lands at 352; below the track (y 10) the bar is untouched.
    const struct {
        int x, y;
        uint32_t colour;
    } track[] = {{111, 0, BAR},    {112, 0, LEFT_CAP},  {119, 9, LEFT_CAP},  {120, 0, MIDDLE}, {351, 0, MIDDLE},
                 {352, 0, RIGHT_CAP}, {359, 9, RIGHT_CAP}, {360, 0, BAR}, {200, 10, BAR}};
    for (const auto& t : track)
        EXPECT_EQ(get_pixel(bar, t.x, t.y), t.colour) << t.x << "," << t.y;

    EXPECT_NE(font_get(FONT_SET_MAIN, FONT_PRELUDE), nullptr);
    free_artwork_and_fonts();
    EXPECT_EQ(artwork(ART_BACKGROUND2), nullptr);
    EXPECT_EQ(font_get(FONT_SET_MAIN, FONT_PRELUDE), nullptr);
}

TEST_F(ArtworkTable, AnyMissingFileFailsAndKeepsNothing)
{
    for (ArtId gone : {ART_BACKGROUND_TALL, ART_SPINNER_5, ART_CHECKBOX_SEL}) {
        const std::string path = dir_.path() + "/" + artwork_path(gone);
        const std::string aside = path + ".aside";
        ASSERT_EQ(std::rename(path.c_str(), aside.c_str()), 0);
        EXPECT_EQ(load_artwork_and_fonts(640, 400), -1) << artwork_path(gone);
        for (int id = 0; id < ART_COUNT; ++id)
            ASSERT_EQ(artwork(ArtId(id)), nullptr);
        ASSERT_EQ(std::rename(aside.c_str(), path.c_str()), 0);
    }
    // A missing font fails the same way.
    const std::string font = dir_.path() + "/" + font_file(FONT_GARUDA);
    ASSERT_EQ(unlink(font.c_str()), 0);
    EXPECT_EQ(load_artwork_and_fonts(640, 400), -1);
    EXPECT_EQ(artwork(ART_DIALOG), nullptr);
    EXPECT_EQ(font_get(1, FONT_PRELUDE), nullptr);
}

TEST_F(ArtworkTable, FittingToANewWindowReplacesTheWindowSizedImages)
{
    ASSERT_EQ(load_artwork_and_fonts(640, 400), 0);
    ASSERT_EQ(artwork_fit_window(800, 480, false), 0);
    EXPECT_EQ(artwork(ART_BACKGROUND2)->w, 800);
    EXPECT_EQ(artwork(ART_BACKGROUND3)->h, 480);
    EXPECT_EQ(artwork(ART_BACKGROUND_TALL)->w, 480);
    EXPECT_EQ(artwork(ART_BACKGROUND_TALL)->h, 800);
    Surface* bar = artwork(ART_PLAYERBAR);
    EXPECT_EQ(bar->w, 800);
    // 800 - 284 - 8 = 508: the right cap lands at 512.
    EXPECT_EQ(get_pixel(bar, 512, 0), RIGHT_CAP);
    EXPECT_EQ(get_pixel(bar, 511, 0), MIDDLE);

    ASSERT_EQ(artwork_fit_window(800, 480, true), 0);
    EXPECT_EQ(artwork(ART_PLAYERBAR)->w, 480);

    // A failed reload keeps the images in place.
    ASSERT_EQ(unlink((dir_.path() + "/images/background3.png").c_str()), 0);
    EXPECT_EQ(artwork_fit_window(1024, 600, false), -1);
    EXPECT_EQ(artwork(ART_BACKGROUND2)->w, 800);
    EXPECT_EQ(artwork_fit_window(0, 600, false), -1);
}

}  // namespace
