// Interface layers through a real GLES 2 context on a Mesa pbuffer: the
// surfaces reach the framebuffer in their true colours, orientations turn
// them, the overlay follows resizes, and running out of slots keeps nothing.
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

class UiLayers : public GlTestOf<W, H> {
protected:
    void SetUp() override
    {
        setenv("LP_NUM_THREADS", "0", 0);  // Mesa's rasterizer threads race among themselves
        GlTestOf::SetUp();
        out_.screen_width = out_.window_width = W;
        out_.screen_height = out_.window_height = H;
        ASSERT_EQ(create_ui_surfaces(&out_), 0);
    }
    void TearDown() override
    {
        free_ui_surfaces();
        GlTestOf::TearDown();
    }

    UiState ui_{};
    VideoOutput out_{};
};

TEST_F(UiLayers, EachOrientationShowsItsLayerTurnedOverTheWholeWindow)
{
    // The corner (top left, top right, bottom right, bottom left) where the
    // surface's top-left quadrant appears.
    const struct {
        int orientation, layer, red_corner;
    } cases[] = {{0, UI_LAYER_LANDSCAPE, 0},
                 {1, UI_LAYER_PORTRAIT, 3},
                 {2, UI_LAYER_LANDSCAPE, 2},
                 {3, UI_LAYER_PORTRAIT, 1}};
    const std::pair<int, int> corners[] = {{2, 2}, {W - 3, 2}, {W - 3, H - 3}, {2, H - 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        EXPECT_EQ(apply_orientation(&ui_, &out_, c.orientation), 0);
        Surface* s = ui_.ui_surface;
        ASSERT_EQ(s, ui_layer(c.layer)->surface);
        EXPECT_EQ(ui_.ui_slot, ui_layer(c.layer)->slot);
        EXPECT_EQ(s->w, c.layer == UI_LAYER_LANDSCAPE ? W : H);
        EXPECT_EQ(ui_.bottom_bar_y, s->h - BOTTOM_BAR_HEIGHT);  // the layout follows the surface
        fill_rect(s, 0, 0, s->w, s->h, 0xFF00FF00u);
        fill_rect(s, 0, 0, s->w / 2, s->h / 2, 0xFFFF0000u);
        present_ui_surface(&ui_);
        const auto screen = read_screen();
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(primary_of(pixel(screen, corners[k].first, corners[k].second)),
                      k == c.red_corner ? 'R' : 'G')
                << "corner " << k;
        }
    }
}

TEST_F(UiLayers, OverlayFollowsResizesAndStaysSelectedUnderTheWindow)
{
    apply_orientation(&ui_, &out_, 0);
    // No artwork is loaded here, so the artwork refit fails after the overlay is made.
    EXPECT_EQ(resize_layers(&ui_, &out_, 400, 250), -1);
    UiLayer* overlay = ui_layer(UI_LAYER_OVERLAY);
    ASSERT_TRUE(overlay->surface && overlay->slot);
    EXPECT_EQ(overlay->surface->w * 1000 + overlay->surface->h, 400250);
    EXPECT_EQ(ui_.ui_surface, ui_layer(UI_LAYER_LANDSCAPE)->surface);  // not selected

    // The player shows the overlay: a new size or orientation keeps it selected.
    ui_.ui_surface = overlay->surface;
    resize_layers(&ui_, &out_, 480, 300);
    EXPECT_EQ(ui_.ui_surface, ui_layer(UI_LAYER_OVERLAY)->surface);
    EXPECT_EQ(ui_.ui_surface->w, 480);
    apply_orientation(&ui_, &out_, 2);
    EXPECT_EQ(ui_.ui_surface, ui_layer(UI_LAYER_OVERLAY)->surface);
    EXPECT_EQ(ui_.ui_slot, ui_layer(UI_LAYER_OVERLAY)->slot);

    // Back at the screen size there is no overlay: the landscape layer returns.
    resize_layers(&ui_, &out_, W, H);
    EXPECT_EQ(ui_layer(UI_LAYER_OVERLAY)->surface, nullptr);
    EXPECT_EQ(ui_.ui_surface, ui_layer(UI_LAYER_LANDSCAPE)->surface);
    EXPECT_EQ(resize_layers(&ui_, &out_, 0, 10), -1);
}

TEST_F(UiLayers, PresentLayerFillsWithAlphaOverBlackAndKeepsTheCallersClearColour)
{
    apply_orientation(&ui_, &out_, 0);
    Surface* s = ui_.ui_surface;
    for (int alpha : {0xFF, 0}) {
        fill_rect(s, 0, 0, W, H, 0xFFFFFFFFu);
        present_ui_layer(&ui_, s, alpha);
        EXPECT_EQ(get_pixel(s, W - 1, H - 1), uint32_t(alpha) << 24);
        const Rgba p = pixel(read_screen(), 10, 10);
        EXPECT_EQ(p.r, 0);
        EXPECT_EQ(p.a, alpha);
    }
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    present_ui_layer(&ui_, nullptr, 0);
    EXPECT_EQ(pixel(read_screen(), 3, 3).a, 0);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.5f);
}

TEST_F(UiLayers, FailureToGetSlotsLeavesNothingBehind)
{
    free_ui_surfaces();
    {
        SlotHog hog;
        hog.take();  // no room at all
        EXPECT_EQ(create_ui_surfaces(&out_), -1);
        EXPECT_EQ(ui_layer(UI_LAYER_LANDSCAPE)->surface, nullptr);
        EXPECT_EQ(ui_layer(UI_LAYER_LANDSCAPE)->slot, nullptr);
        EXPECT_EQ(ui_layer(99)->surface, nullptr);
    }
    // Room for the landscape layer only: a quarter turn, whose layer is made
    // when first used, falls back to it instead of losing the screen.
    SlotHog hog;
    hog.take(1);
    ASSERT_EQ(create_ui_surfaces(&out_), 0);
    EXPECT_EQ(orientation_layer(ORIENTATION_QUARTER), ui_layer(UI_LAYER_LANDSCAPE));
    EXPECT_EQ(ui_layer(UI_LAYER_PORTRAIT)->surface, nullptr);
    EXPECT_EQ(ui_layer(UI_LAYER_PORTRAIT)->slot, nullptr);
}

}  // namespace
