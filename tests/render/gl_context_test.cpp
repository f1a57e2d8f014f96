// The GLES 2 layer through a real Mesa pbuffer context: the slot table, band
// uploads, turned layers, colours, the YUV program and the video textures.
#include <algorithm>
#include <cmath>
#include <vector>

#include "render/video_planes.h"
#include "tests/render/gl_test_support.h"

namespace {

using RenderGl = GlTestOf<64, 64>;

TEST_F(RenderGl, SlotTableRefusesTheThirtyThirdAndSlotsAreFreedOnce)
{
    std::vector<TextureSlot*> slots(TEXTURE_SLOT_COUNT);
    for (TextureSlot*& slot : slots) {
        texture_slot_create(&slot, 8, 16, 8, false);
        ASSERT_NE(slot, nullptr);
    }
    GLuint before = 0, after = 0;
    glGenTextures(1, &before);
    TextureSlot* refused = reinterpret_cast<TextureSlot*>(&before);
    texture_slot_create(&refused, 32, 4, 4, false);
    EXPECT_EQ(refused, nullptr);
    glGenTextures(1, &after);
    EXPECT_EQ(after, before + 1) << "a texture name was taken for the refused slot";
    // Drivers hand deleted names out again: a second free of a slot must not
    // delete the texture that now carries its old name.
    const GLuint stale_name = slots[9]->texture;
    texture_slot_free(slots[9]);
    glBindTexture(GL_TEXTURE_2D, stale_name);
    texture_slot_free(slots[9]);
    EXPECT_TRUE(glIsTexture(stale_name));
    // Null slots draw nothing (and do not crash).
    const uint8_t pixels[64] = {};
    texture_slot_draw(nullptr, pixels, 0, 4, 4, true, true, true, true);
    texture_slot_draw_strip(nullptr, pixels, 4, 4, true);
    yuv_planes_draw(slots[0], nullptr, slots[2], pixels, pixels, pixels, 4, 4);
    texture_slot_set_geometry(nullptr, 0, 0, 0, 64, 64, 64, 64);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // A pbuffer of no size is refused; destroying twice is harmless.
    GlContext none{};
    EXPECT_TRUE(!gl_context_create_pbuffer(&none, 0, 10) &&
                !gl_context_create_pbuffer(&none, 10, -1));
    gl_context_destroy(&none);
}

// A full-screen interface layer refreshed by a band of rows.
using RenderLayer = GlTestOf<48, 200>;

TEST_F(RenderLayer, BandUploadsChangeOnlyTheirRowsThatFit)
{
    TextureSlot* layer = nullptr;
    texture_slot_create(&layer, 32, 48, 200, false);
    ASSERT_NE(layer, nullptr);
    texture_slot_set_geometry(layer, 0, 0, 0, 48, 200, 48, 200);
    const auto full = argb_pixels(48 * 200, [](size_t) { return Rgba{0, 200, 0, 255}; });
    const auto band = argb_pixels(48 * 50, [](size_t) { return Rgba{220, 0, 30, 255}; });
    const auto edge = argb_pixels(48 * 30, [](size_t i) {
        return Rgba{0, 0, uint8_t(i / 48), 255};
    });
    texture_slot_draw(layer, full.data(), 0, 48, 200, true, false, false, false);
    texture_slot_draw(layer, band.data(), 100, 48, 50, true, false, false, false);
    // Bands reaching past either edge keep the rows that fit; bands wholly
    // outside, empty or without pixels change nothing.
    for (const int offset : {185, -20, 200, 5000, -30, -2147483647 - 1, 2147483647})
        texture_slot_draw(layer, edge.data(), offset, 48, 30, true, false, false, false);
    texture_slot_draw(layer, edge.data(), 10, 48, 0, true, false, false, false);
    texture_slot_draw(layer, nullptr, 10, 48, 5, true, false, false, false);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    texture_slot_draw(layer, nullptr, 0, 0, 0, false, true, false,
                      true);  // shows the texture as it stands
    const auto screen = read_screen();
    for (int row = 0; row < 200; ++row) {
        const Rgba p = pixel(screen, 7, row);
        if (row >= 185)
            ASSERT_TRUE(p.b == row - 185 && p.g == 0) << row;  // band rows 0..14
        else if (row < 10)
            ASSERT_TRUE(p.b == row + 20 && p.g == 0) << row;  // band rows 20..29
        else if (row >= 100 && row < 150)
            ASSERT_TRUE(p.r == 220 && p.b == 30) << row;
        else
            ASSERT_TRUE(p.g == 200 && p.r == 0) << row;
    }
}

// A landscape screen showing a layer in each orientation.
using RenderTurn = GlTestOf<64, 32>;

TEST_F(RenderTurn, EachOrientationShowsTheLayerTurned)
{
    // The layer's texel shown at screen (x, y) is column c0 + cx * x + cy * y,
    // row r0 + rx * x + ry * y. A portrait layer's first row runs up the left
    // edge (1) or down the right edge (3).
    const struct {
        int orientation, w, h, c0, cx, cy, r0, rx, ry;
    } cases[] = {{0, 64, 32, 0, 1, 0, 0, 0, 1},
                 {2, 64, 32, 63, -1, 0, 31, 0, -1},
                 {1, 32, 64, 31, 0, -1, 0, 1, 0},
                 {3, 32, 64, 0, 0, 1, 63, -1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        TextureSlot* slot = nullptr;
        texture_slot_create(&slot, 32, c.w, c.h, false);
        ASSERT_NE(slot, nullptr);
        texture_slot_set_geometry(slot, c.orientation, 0, 0, 64, 32, c.w, c.h);
        const auto buffer = argb_pixels(c.w * c.h, [&](size_t i) {  // red: column, green: row
            return Rgba{uint8_t(i % c.w * 3), uint8_t(i / c.w * 3), 0x80, 255};
        });
        texture_slot_draw(slot, buffer.data(), 0, c.w, c.h, true, true, true, true);
        const auto screen = read_screen();
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                const int col = c.c0 + c.cx * x + c.cy * y, row = c.r0 + c.rx * x + c.ry * y;
                const Rgba p = pixel(screen, x, y);
                ASSERT_TRUE(p.r == col * 3 && p.g == row * 3 && p.b == 0x80) << x << "," << y;
            }
        texture_slot_free(slot);
    }
}

TEST_F(RenderGl, ArgbSurfacesShowTheirTrueColours)
{
    TextureSlot *slot = nullptr, *widget = nullptr;
    texture_slot_create(&slot, 32, 2, 2, false);
    texture_slot_create(&widget, 32, 1, 1, true);
    ASSERT_TRUE(slot && widget);
    texture_slot_set_geometry(slot, 0, 0, 0, 64, 64, 64, 64);
    texture_slot_set_geometry(widget, 0, 16, 16, 64, 64, 32, 32);
    // Surface pixels: red, green / blue, grey; the widget's one pixel orange.
    const Rgba colours[5] = {{255, 0, 0, 255},
                             {0, 255, 0, 255},
                             {0, 0, 255, 255},
                             {0x40, 0x60, 0x80, 255},
                             {255, 128, 0, 255}};
    const auto bytes = argb_pixels(5, [&](size_t i) { return colours[i]; });
    texture_slot_draw(slot, bytes.data(), 0, 2, 2, true, true, false, true);
    // The strip draw of a widget image: placed by its quad over the middle.
    texture_slot_draw_strip(widget, &bytes[16], 1, 1, true);
    const auto screen = read_screen();
    const int at[5][2] = {{10, 10}, {50, 10}, {10, 50}, {50, 50}, {32, 32}};
    for (int i = 0; i < 5; ++i) {
        const Rgba p = pixel(screen, at[i][0], at[i][1]);
        EXPECT_TRUE(p.r == colours[i].r && p.g == colours[i].g && p.b == colours[i].b) << i;
    }
}

// The RGB the conversion matrix gives for full-range 8-bit samples.
Rgba yuv_to_rgb(int y, int u, int v)
{
    const double Y = y / 255.0, U = u / 255.0 - 0.5, V = v / 255.0 - 0.5;
    auto to8 = [](double c) {
        return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0));
    };
    return {to8(Y + 1.403 * V), to8(Y - 0.344 * U - 0.714 * V), to8(Y + 1.772 * U), 255};
}

TEST_F(RenderGl, YuvOddSizesGiveTheMatrixColoursFromTightRowsAndFlooredChroma)
{
    // 35 x 19 luma, 17 x 9 chroma; nearest filtering so that every screen
    // pixel shows exactly one sample of each plane.
    constexpr int W = 35, H = 19, CW = W / 2, CH = H / 2;
    TextureSlot *y = nullptr, *u = nullptr, *v = nullptr;
    texture_slot_create(&y, 8, W, H, false);
    texture_slot_create(&u, 8, CW, CH, false);
    texture_slot_create(&v, 8, CW, CH, false);
    ASSERT_TRUE(y && u && v);
    texture_slot_set_geometry(y, 0, 0, 0, 64, 64, W, H);
    // Gradients that wrap, so the planes cover most sample values.
    auto luma = [](int c, int r) { return (5 + 7 * c + 3 * r) % 256; };
    auto cb = [](int c, int r) { return (20 + 13 * c + 5 * r) % 256; };
    auto cr = [](int c, int r) { return (250 - 12 * c - 4 * r) % 256; };
    std::vector<uint8_t> yp(W * H), up(CW * CH), vp(CW * CH);
    for (int i = 0; i < W * H; ++i)
        yp[i] = static_cast<uint8_t>(luma(i % W, i / W));
    for (int i = 0; i < CW * CH; ++i) {
        up[i] = static_cast<uint8_t>(cb(i % CW, i / CW));
        vp[i] = static_cast<uint8_t>(cr(i % CW, i / CW));
    }
    yuv_planes_draw(y, u, v, yp.data(), up.data(), vp.data(), W, H);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const auto screen = read_screen();
    for (int py = 0; py < H; ++py) {
        for (int px = 0; px < W; ++px) {
            // Chroma sample under this pixel's centre (never on a texel edge here).
            const int cc = (2 * px + 1) * CW / (2 * W), cr_row = (2 * py + 1) * CH / (2 * H);
            const Rgba want = yuv_to_rgb(luma(px, py), cb(cc, cr_row), cr(cc, cr_row)),
                       got = pixel(screen, px, py);
            ASSERT_TRUE(near(got.r, want.r, 2) && near(got.g, want.g, 2) &&
                        near(got.b, want.b, 2) && got.a == 255)
                << "at " << px << "," << py << " got " << int(got.r) << "," << int(got.g) << ","
                << int(got.b) << " want " << int(want.r) << "," << int(want.g) << ","
                << int(want.b);
        }
    }
    EXPECT_EQ(pixel(screen, 50, 50).r, 0);  // outside the quad: the clear colour
}

TEST_F(RenderGl, VideoTexturesAreKeptWhileTheyFitAndAFullTableLeavesNoneHeld)
{
    VideoTextures t{};
    ASSERT_TRUE(video_textures_prepare(&t, 35, 19, true));  // chroma of odd sizes is floored
    EXPECT_TRUE(t.y->luminance && t.u->width == 17 && t.v->height == 9);
    TextureSlot* kept = t.y;
    ASSERT_TRUE(video_textures_prepare(&t, 35, 19, true));
    EXPECT_EQ(t.y, kept);
    ASSERT_TRUE(video_textures_prepare(&t, 40, 20, false));
    EXPECT_TRUE(t.y && !t.y->luminance && t.y->width == 40 && !t.u && !t.v);
    video_textures_free(&t);
    // Textures never prepared or planes missing draw nothing.
    const uint8_t* missing[3] = {nullptr, nullptr, nullptr};
    video_planes_draw(&t, missing, 2, 2);
    SlotHog hog;
    hog.take(2);
    EXPECT_FALSE(video_textures_prepare(&t, 32, 32, true));  // Y and U fit, V does not
    EXPECT_TRUE(!t.y && !t.u && !t.v);
    EXPECT_TRUE(video_textures_prepare(&t, 32, 32, false));  // both slots were given back
    video_textures_free(&t);
}

}  // namespace
