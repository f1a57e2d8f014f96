// Interface layers through a real GLES 2 context on a Mesa pbuffer: the
// surfaces reach the framebuffer in their true colours, orientations turn
// them, and the layout follows the chosen surface.
#include <gtest/gtest.h>

#include <cstdlib>

#include "render/gl_context.h"
#include "render/video_output.h"
#include "tests/render/gl_test_support.h"
#include "tests/ui/ui_test_support.h"
#include "ui/layers.h"
#include "ui/ui_state.h"

namespace {

constexpr int W = 320;
constexpr int H = 200;

class UiLayers : public GlTest {
protected:
    UiLayers() : GlTest(W, H) {}

    void SetUp() override
    {
        setenv("LP_NUM_THREADS", "0", 0);   // Mesa's rasterizer threads race among themselves
        GlTest::SetUp();
        out_.screen_width = out_.window_width = W;
        out_.screen_height = out_.window_height = H;
        ASSERT_EQ(create_ui_surfaces(&out_), 0);
    }
    void TearDown() override
    {
        free_ui_surfaces();
        GlTest::TearDown();
    }

    // Red top-left quadrant, green elsewhere.
    static void paint_quadrant(Surface* s)
    {
        fill_rect(s, 0, 0, s->w, s->h, 0xFF00FF00u);
        fill_rect(s, 0, 0, s->w / 2, s->h / 2, 0xFFFF0000u);
    }
    static bool is_red(Rgba p) { return p.r > 240 && p.g < 15 && p.b < 15; }
    static bool is_green(Rgba p) { return p.g > 240 && p.r < 15 && p.b < 15; }

    UiState ui_{};
    VideoOutput out_{};
};

TEST_F(UiLayers, LandscapeSurfaceShowsItsColoursUprightOrHalfTurned)
{
    for (int orientation : {0, 2}) {
        EXPECT_EQ(apply_orientation(&ui_, &out_, orientation), 0);
        EXPECT_EQ(out_.orientation, orientation);
        Surface* s = ui_.ui_surface;
        ASSERT_EQ(s, ui_layer(UI_LAYER_LANDSCAPE)->surface);
        ASSERT_EQ(s->w, W);
        ASSERT_EQ(s->h, H);
        EXPECT_EQ(ui_.ui_slot, ui_layer(UI_LAYER_LANDSCAPE)->slot);
        paint_quadrant(s);
        present_ui_surface(&ui_);
        const auto screen = read_screen();
        const bool upright = orientation == 0;
        EXPECT_TRUE(is_red(pixel(screen, 2, 2)) == upright) << orientation;
        EXPECT_TRUE(is_red(pixel(screen, W - 3, H - 3)) != upright) << orientation;
        EXPECT_TRUE(is_green(pixel(screen, W - 3, 2)) && is_green(pixel(screen, 2, H - 3))) << orientation;
    }
}

TEST_F(UiLayers, PortraitOrientationsUseThePortraitSurfaceAndLayout)
{
    apply_orientation(&ui_, &out_, 1);
    Surface* s = ui_.ui_surface;
    ASSERT_EQ(s, ui_layer(UI_LAYER_PORTRAIT)->surface);
    EXPECT_EQ(s->w, H);
    EXPECT_EQ(s->h, W);
    EXPECT_EQ(ui_.bottom_bar_y, W - BOTTOM_BAR_HEIGHT);
    EXPECT_EQ(ui_.info_pane_x, H - 294);
    // The whole portrait surface covers the window, turned a quarter.
    fill_rect(s, 0, 0, s->w, s->h, 0xFFFF0000u);
    present_ui_surface(&ui_);
    auto screen = read_screen();
    for (auto [x, y] : {std::pair{0, 0}, {W - 1, H - 1}, {W / 2, H / 2}})
        EXPECT_TRUE(is_red(pixel(screen, x, y))) << x << "," << y;

    apply_orientation(&ui_, &out_, 0);
    EXPECT_EQ(ui_.ui_surface, ui_layer(UI_LAYER_LANDSCAPE)->surface);
    EXPECT_EQ(ui_.bottom_bar_y, H - 70);
    EXPECT_EQ(ui_.info_pane_x, W - 294);
}

TEST_F(UiLayers, VideoOverlaySurfaceStaysSelected)
{
    UiLayer* overlay = ui_layer(UI_LAYER_OVERLAY);
    overlay->surface = surface_create(W, H);
    texture_slot_create(&overlay->slot, 32, W, H, false);
    ui_.ui_surface = overlay->surface;
    apply_orientation(&ui_, &out_, 2);
    EXPECT_EQ(ui_.ui_surface, overlay->surface);
    EXPECT_EQ(ui_.ui_slot, overlay->slot);
    // free_ui_surfaces releases it with the rest.
}

TEST_F(UiLayers, ResizeReplacesTheOverlayAndKeepsUiSurfaceValid)
{
    apply_orientation(&ui_, &out_, 0);
    // No artwork is loaded here, so the artwork refit reports failure after
    // the overlay has been made.
    EXPECT_EQ(resize_layers(&ui_, &out_, 400, 250), -1);
    UiLayer* overlay = ui_layer(UI_LAYER_OVERLAY);
    ASSERT_NE(overlay->surface, nullptr);
    ASSERT_NE(overlay->slot, nullptr);
    EXPECT_EQ(overlay->surface->w, 400);
    EXPECT_EQ(overlay->surface->h, 250);
    EXPECT_EQ(ui_.ui_surface, ui_layer(UI_LAYER_LANDSCAPE)->surface);  // not selected

    // The player shows the overlay; a new size replaces it and ui_surface follows.
    ui_.ui_surface = overlay->surface;
    resize_layers(&ui_, &out_, 480, 300);
    EXPECT_EQ(ui_.ui_surface, ui_layer(UI_LAYER_OVERLAY)->surface);
    EXPECT_EQ(ui_.ui_surface->w, 480);
    EXPECT_EQ(ui_.ui_slot, ui_layer(UI_LAYER_OVERLAY)->slot);

    // Back at the screen size there is no overlay: the landscape layer returns.
    resize_layers(&ui_, &out_, W, H);
    EXPECT_EQ(ui_layer(UI_LAYER_OVERLAY)->surface, nullptr);
    EXPECT_EQ(ui_.ui_surface, ui_layer(UI_LAYER_LANDSCAPE)->surface);
    EXPECT_EQ(resize_layers(&ui_, &out_, 0, 10), -1);
}

TEST_F(UiLayers, PresentLayerFillsWithAlphaOverBlack)
{
    apply_orientation(&ui_, &out_, 0);
    Surface* s = ui_.ui_surface;
    fill_rect(s, 0, 0, W, H, 0xFFFFFFFFu);
    present_ui_layer(&ui_, s, 0xFF);
    EXPECT_EQ(get_pixel(s, 5, 5), 0xFF000000u);
    auto screen = read_screen();
    EXPECT_EQ(pixel(screen, 10, 10).r, 0);
    EXPECT_EQ(pixel(screen, 10, 10).a, 255);

    present_ui_layer(&ui_, s, 0);
    EXPECT_EQ(get_pixel(s, W - 1, H - 1), 0u);
    screen = read_screen();
    EXPECT_EQ(pixel(screen, 10, 10).a, 0);

    glClearColor(0.5f, 0.5f, 0.5f, 1);
    present_ui_layer(&ui_, nullptr, 0);
    screen = read_screen();
    EXPECT_EQ(pixel(screen, 3, 3).r, 0);
    EXPECT_EQ(pixel(screen, 3, 3).a, 0);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.5f);  // the caller's clear colour is kept
}

TEST_F(UiLayers, FailureToGetSlotsLeavesNothingBehind)
{
    free_ui_surfaces();
    // Takes every free texture slot; returns how many it got.
    std::vector<TextureSlot*> taken;
    auto take_all = [&] {
        const size_t before = taken.size();
        for (TextureSlot* slot = nullptr; texture_slot_create(&slot, 32, 4, 4, false), slot; slot = nullptr)
            taken.push_back(slot);
        return taken.size() - before;
    };
    take_all();
    // Leave room for two of the three layers.
    for (int i = 0; i < 2; ++i) {
        texture_slot_free(taken.back());
        taken.pop_back();
    }
    EXPECT_EQ(create_ui_surfaces(&out_), -1);
    EXPECT_EQ(ui_layer(UI_LAYER_LANDSCAPE)->surface, nullptr);
    EXPECT_EQ(ui_layer(UI_LAYER_LANDSCAPE)->slot, nullptr);
    EXPECT_EQ(ui_layer(UI_LAYER_PORTRAIT)->slot, nullptr);
    EXPECT_EQ(take_all(), 2u);   // both slots came back to the table
    for (TextureSlot* slot : taken)
        texture_slot_free(slot);
    EXPECT_EQ(ui_layer(99)->surface, nullptr);
}

}  // namespace
