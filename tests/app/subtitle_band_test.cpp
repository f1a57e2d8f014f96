// The subtitle text band on a pbuffer with the real fonts and interface
// layers: the text stays in its band (on the surface and on the window), the
// settings pick font, colour and background, and an unchanged text costs
// neither a redraw nor an upload.
#include <gtest/gtest.h>

#include <unistd.h>

#include <SDL/SDL_ttf.h>

#include <cstdlib>
#include <string>

#include "app/subtitle_band.h"
#include "platform/settings.h"
#include "render/video_output.h"
#include "render/video_planes.h"
#include "tests/render/gl_test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/layers.h"
#include "ui/surface.h"
#include "ui/text.h"
#include "ui/ui_state.h"

namespace {

constexpr int W = 320, H = 400;
constexpr int BAR_TOP = 330;  // where a visible player bar begins
// The colours as ARGB pixels of the surface.
constexpr uint32_t WHITE = 0xFFFFFFFFu, CYAN = 0xFF00FFFFu, RED = 0xFFFF0000u;
constexpr uint32_t BOX_BLACK = 0xFF000000u;
const char* const LONG_TEXT =
    "A subtitle much too long for a narrow band, drawn in the largest font, so that its lines "
    "would run past the band's bottom edge into the player bar and past its top into the "
    "picture if nothing held them in the band where they belong, line after line after line.";

class SubtitleBandTest : public GlTestOf<W, H> {
protected:
    static void SetUpTestSuite() { test_fonts_open(); }
    static void TearDownTestSuite() { test_fonts_close(); }
    void SetUp() override
    {
        setenv("LP_NUM_THREADS", "0", 0);  // Mesa's rasterizer threads race among themselves
        GlTestOf::SetUp();
        out_.screen_width = out_.window_width = W;
        out_.screen_height = out_.window_height = H;
        ASSERT_EQ(create_ui_surfaces(&out_), 0);
        apply_orientation(&ui_, &out_, 0);
        gl_blend_for_video(true);  // as during playback
    }
    void TearDown() override
    {
        free_ui_surfaces();
        GlTestOf::TearDown();
    }
    Surface* surface() { return ui_.ui_surface; }
    // The picture (green), then the band over it, read back.
    std::vector<Rgba> draw(const char* text, int orientation = 0, bool bar = true)
    {
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        subtitle_band_draw(&band_, &ui_, settings_, orientation, bar, bar ? BAR_TOP : H, text);
        glFinish();
        return read_screen();
    }
    int count(uint32_t value, int top = 0, int bottom = H)
    {
        return count_pixels(surface(), value, top, bottom);
    }
    // Rows of the surface holding any opaque pixel of the colour.
    int ink_rows(uint32_t colour)
    {
        int first = -1, last = -1;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (get_pixel(surface(), x, y) == colour) {
                    first = first < 0 ? y : first, last = y;
                    break;
                }
        return first < 0 ? 0 : last - first + 1;
    }
    static bool green(Rgba p) { return primary_of(p) == 'G'; }

    VideoOutput out_{};
    UiState ui_{};
    Settings settings_{};
    SubtitleBand band_{};
};

TEST_F(SubtitleBandTest, TextStaysInItsBandOnTheSurfaceAndOnTheWindow)
{
    settings_.subtitle_size = 2;  // large
    const struct {
        int orientation;
        bool bar;
        int window_top, window_bottom;  // band rows on the window
    } cases[] = {{0, true, BAR_TOP - SUBTITLE_BAND_HEIGHT, BAR_TOP},
                 {0, false, H - SUBTITLE_BAND_HEIGHT, H},
                 {2, true, H - BAR_TOP, H - BAR_TOP + SUBTITLE_BAND_HEIGHT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation * 10 + c.bar);
        apply_orientation(&ui_, &out_, c.orientation);
        // Everything but the band is the interface's (red), on the surface and the layer.
        fill_rect(surface(), 0, 0, W, H, RED);
        present_ui_surface(&ui_);
        subtitle_band_reset(&band_);
        const auto screen = draw(LONG_TEXT, c.orientation, c.bar);
        const int bottom = c.bar ? BAR_TOP : H, top = bottom - SUBTITLE_BAND_HEIGHT;
        EXPECT_EQ(count(RED, 0, top) + count(RED, bottom, H), W * (H - SUBTITLE_BAND_HEIGHT))
            << "drawn outside the band";
        EXPECT_EQ(count(RED, top, bottom), 0) << "the band was not cleared";
        EXPECT_GT(count(WHITE, top, bottom), 0);
        // The band's rows with the scissor's rounding margin.
        int outside = 0, outside_green = 0, inside_text = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const Rgba p = pixel(screen, x, y);
                const bool in_band = y >= c.window_top - 2 && y < c.window_bottom + 2;
                outside += !in_band;
                outside_green += !in_band && green(p);
                inside_text += in_band && p.r > 240 && p.g > 240 && p.b > 240;
            }
        EXPECT_EQ(outside_green, outside) << "layer drawn outside the band";
        EXPECT_GT(inside_text, 0);
    }
}

TEST_F(SubtitleBandTest, SettingsChooseFontColourAndBackground)
{
    const struct {
        uint8_t size, colour, transparent;
        uint32_t ink;
    } cases[] = {{0, 0, 0, WHITE}, {1, 1, 1, CYAN}, {2, 5, 0, RED}, {7, 9, 1, WHITE}};
    int heights[4] = {};
    for (int i = 0; i < 4; ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(i);
        settings_.subtitle_size = c.size;
        settings_.subtitle_color = c.colour;
        settings_.subtitle_transparent_bg = c.transparent;
        subtitle_band_reset(&band_);
        draw("Hg");
        EXPECT_GT(count(c.ink), 0) << "text not in its colour";
        EXPECT_EQ(count(BOX_BLACK) > 0, !c.transparent) << "wrong background";
        heights[i] = ink_rows(c.ink);
    }
    EXPECT_LT(heights[0], heights[1]);
    EXPECT_LT(heights[1], heights[2]);
    EXPECT_EQ(heights[3], heights[1]) << "an unknown size is not medium";
}

TEST_F(SubtitleBandTest, UnchangedTextIsNeitherRedrawnNorUploadedAndEmptyClears)
{
    // A text longer than what is remembered counts as unchanged too.
    for (const char* text : {"Hello", LONG_TEXT}) {
        SCOPED_TRACE(text);
        subtitle_band_reset(&band_);
        draw(text);
        // A pixel poked into the band: a redraw would replace it, an upload show it.
        const int x = 5, y = BAR_TOP - 5;
        put_pixel(surface(), x, y, 0xFF0000FFu);
        auto screen = draw(text);
        EXPECT_EQ(get_pixel(surface(), x, y), 0xFF0000FFu) << "redrawn";
        EXPECT_TRUE(green(pixel(screen, x, y))) << "uploaded again";
        // A changed bar visibility redraws.
        draw(text, 0, false);
        draw(text);
        EXPECT_NE(get_pixel(surface(), x, y), 0xFF0000FFu);
    }

    draw("");
    EXPECT_EQ(count(0u, BAR_TOP - SUBTITLE_BAND_HEIGHT, BAR_TOP), W * SUBTITLE_BAND_HEIGHT);
    // The layer as uploaded: the band lets the picture through everywhere.
    glClear(GL_COLOR_BUFFER_BIT);
    texture_slot_draw(ui_.ui_slot, nullptr, 0, W, H, false, true, false, false);
    const auto screen = read_screen();
    for (int row = BAR_TOP - SUBTITLE_BAND_HEIGHT; row < BAR_TOP; row += 7)
        for (int col = 0; col < W; col += 3)
            ASSERT_TRUE(green(pixel(screen, col, row))) << col << "," << row;
}

}  // namespace
