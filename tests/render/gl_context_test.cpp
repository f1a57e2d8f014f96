// The GLES 2 layer through a real Mesa pbuffer context: programs, the slot
// table, band uploads, turned layers, colours and the YUV program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "render/gl_context.h"
#include "tests/render/gl_test_support.h"

namespace {

class RenderGl : public GlTest {
protected:
    RenderGl() : GlTest(64, 64) {}
};

TEST_F(RenderGl, ProgramsBuildAndBrokenSourcesGiveZero) {
    EXPECT_TRUE(glIsProgram(gl_quad_program()));
    EXPECT_TRUE(glIsProgram(gl_yuv_program()));
    const char* vertex = "attribute vec4 p; void main() { gl_Position = p; }";
    const char* fragment = "precision lowp float; void main() { gl_FragColor = vec4(1); }";
    // Compiles, but the fragment reads a varying the vertex stage never writes.
    const char* orphan = "precision lowp float; varying vec2 t;"
                         " void main() { gl_FragColor = vec4(t, 0, 1); }";
    EXPECT_EQ(program_build("broken", fragment), 0u);
    EXPECT_EQ(program_build(vertex, "broken"), 0u);
    EXPECT_EQ(program_build(vertex, orphan), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderGl, SlotTableRefusesTheThirtyThirdAndNullSlotsDrawNothing) {
    std::vector<TextureSlot*> slots;
    for (int i = 0; i < TEXTURE_SLOT_COUNT; ++i) {
        TextureSlot* slot = nullptr;
        texture_slot_create(&slot, i % 2 ? 32 : 8, 16 + i, 8, i % 3 == 0);
        ASSERT_NE(slot, nullptr) << i;
        slots.push_back(slot);
    }
    GLuint before = 0;
    glGenTextures(1, &before);
    TextureSlot* refused = reinterpret_cast<TextureSlot*>(&before);
    texture_slot_create(&refused, 32, 4, 4, false);
    EXPECT_EQ(refused, nullptr);
    GLuint after = 0;
    glGenTextures(1, &after);
    EXPECT_EQ(after, before + 1) << "a texture name was taken for the refused slot";
    glDeleteTextures(1, &before);
    glDeleteTextures(1, &after);

    // Drivers hand deleted names out again: a second free of a slot must not
    // delete the texture that now carries its old name.
    TextureSlot* stale = slots[9];
    const GLuint stale_name = stale->texture;
    texture_slot_free(stale);
    glBindTexture(GL_TEXTURE_2D, stale_name);
    texture_slot_free(stale);
    EXPECT_TRUE(glIsTexture(stale_name));
    glDeleteTextures(1, &stale_name);

    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    const uint8_t pixels[64] = {};
    texture_slot_draw(nullptr, pixels, 0, 4, 4, true, true, true, true);
    texture_slot_draw_strip(nullptr, pixels, 4, 4, true);
    yuv_planes_draw(slots[0], nullptr, slots[2], pixels, pixels, pixels, 4, 4);
    texture_slot_set_geometry(nullptr, 0, 0, 0, 64, 64, 64, 64);
    EXPECT_EQ(pixel(read_screen(), 10, 10).b, 255);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A full-screen interface layer refreshed by a band of rows.
class RenderLayer : public GlTest {
protected:
    RenderLayer() : GlTest(48, 200) {}
};

TEST_F(RenderLayer, BandUploadsChangeOnlyTheirRowsThatFit) {
    TextureSlot* layer = nullptr;
    texture_slot_create(&layer, 32, 48, 200, false);
    ASSERT_NE(layer, nullptr);
    texture_slot_set_geometry(layer, 0, 0, 0, 48, 200, 48, 200);
    std::vector<uint8_t> full(48 * 200 * 4);
    for (size_t i = 0; i < 48 * 200; ++i) put_argb(full, i, 0, 200, 0);
    texture_slot_draw(layer, full.data(), 0, 48, 200, true, false, false, false);
    std::vector<uint8_t> band(48 * 50 * 4);
    for (size_t i = 0; i < 48 * 50; ++i) put_argb(band, i, 220, 0, 30);
    texture_slot_draw(layer, band.data(), 100, 48, 50, true, false, false, false);

    // Bands reaching past either edge keep the rows that fit; bands wholly
    // outside, empty or without pixels change nothing.
    std::vector<uint8_t> edge(48 * 30 * 4);
    for (size_t i = 0; i < 48 * 30; ++i) put_argb(edge, i, 0, 0, static_cast<uint8_t>(i / 48));
    texture_slot_draw(layer, edge.data(), 185, 48, 30, true, false, false, false);
    texture_slot_draw(layer, edge.data(), -20, 48, 30, true, false, false, false);
    for (const int offset : {200, 5000, -30, -2147483647 - 1, 2147483647})
        texture_slot_draw(layer, edge.data(), offset, 48, 30, true, false, false, false);
    texture_slot_draw(layer, edge.data(), 10, 48, 0, true, false, false, false);
    texture_slot_draw(layer, nullptr, 10, 48, 5, true, false, false, false);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // Drawing without upload shows the texture as it stands.
    texture_slot_draw(layer, nullptr, 0, 0, 0, false, true, false, true);
    const auto screen = read_screen();
    for (int row = 0; row < 200; ++row) {
        const Rgba p = pixel(screen, 7, row);
        if (row >= 185) {
            ASSERT_TRUE(p.b == row - 185 && p.g == 0) << row;   // band rows 0..14
        } else if (row < 10) {
            ASSERT_TRUE(p.b == row + 20 && p.g == 0) << row;    // band rows 20..29
        } else if (row >= 100 && row < 150) {
            ASSERT_TRUE(p.r == 220 && p.b == 30) << row;
        } else {
            ASSERT_TRUE(p.g == 200 && p.r == 0) << row;
        }
    }
}

// A buffer that ends exactly at a guard page: any read past the band the
// caller handed over faults instead of passing unnoticed inside the driver.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t bytes) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        span_ = (bytes + page - 1) / page * page + 2 * page;
        base_ = static_cast<uint8_t*>(
            mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_, page, PROT_NONE);
        mprotect(base_ + span_ - page, page, PROT_NONE);
        data_ = base_ + span_ - page - bytes;
        std::memset(data_, 0x5A, bytes);
    }
    ~GuardedBuffer() { munmap(base_, span_); }
    uint8_t* data() const { return data_; }

private:
    uint8_t* base_;
    uint8_t* data_;
    size_t span_;
};

TEST_F(RenderLayer, RandomBandsNeverReadPastTheirPixels) {
    TextureSlot* layer = nullptr;
    texture_slot_create(&layer, 32, 48, 200, false);
    TextureSlot* luma = nullptr;
    texture_slot_create(&luma, 8, 33, 200, false);
    ASSERT_TRUE(layer && luma);
    std::mt19937 random(99);
    std::uniform_int_distribution<int> offset(-300, 500);
    std::uniform_int_distribution<int> rows(-5, 260);
    for (int i = 0; i < 400; ++i) {
        TextureSlot* slot = i % 2 ? layer : luma;
        const int height = rows(random);
        const size_t bytes = static_cast<size_t>(std::max(height, 0)) * slot->width *
                             (slot->luminance ? 1 : 4);
        GuardedBuffer band(bytes);
        texture_slot_draw(slot, band.data(), offset(random), slot->width, height, true,
                          i % 7 == 0, false, false);
    }
    glGetError();  // only faults matter here
}

// A landscape screen showing a layer in each orientation.
class RenderTurn : public GlTest {
protected:
    RenderTurn() : GlTest(64, 32) {}

    // Draws a w x h layer (red from the column, green from the row) in an
    // orientation and checks that screen pixel (x, y) shows texel texel_of(x, y).
    template <typename Map>
    void expect_layer(int orientation, int w, int h, Map texel_of) {
        TextureSlot* slot = nullptr;
        texture_slot_create(&slot, 32, w, h, false);
        ASSERT_NE(slot, nullptr);
        texture_slot_set_geometry(slot, orientation, 0, 0, 64, 32, w, h);
        std::vector<uint8_t> buffer(static_cast<size_t>(w * h * 4));
        for (int i = 0; i < w * h; ++i)
            put_argb(buffer, i, static_cast<uint8_t>(i % w * 3), static_cast<uint8_t>(i / w * 3), 0x80);
        texture_slot_draw(slot, buffer.data(), 0, w, h, true, true, true, true);
        const auto screen = read_screen();
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 64; ++x) {
                const auto [col, row] = texel_of(x, y);
                const Rgba p = pixel(screen, x, y);
                ASSERT_TRUE(p.r == col * 3 && p.g == row * 3 && p.b == 0x80)
                    << "orientation " << orientation << " at " << x << "," << y;
            }
        }
        texture_slot_free(slot);
    }
};

TEST_F(RenderTurn, EachOrientationShowsTheLayerTurned) {
    expect_layer(0, 64, 32, [](int x, int y) { return std::pair{x, y}; });
    expect_layer(2, 64, 32, [](int x, int y) { return std::pair{63 - x, 31 - y}; });
    // Portrait layer 32 x 64: its first row runs up the left edge (1) or down
    // the right edge (3).
    expect_layer(1, 32, 64, [](int x, int y) { return std::pair{31 - y, x}; });
    expect_layer(3, 32, 64, [](int x, int y) { return std::pair{y, 63 - x}; });
}

TEST_F(RenderGl, ArgbSurfacesShowTheirTrueColoursAndBlendOnlyWhenAsked) {
    TextureSlot* slot = nullptr;
    texture_slot_create(&slot, 32, 2, 2, false);
    ASSERT_NE(slot, nullptr);
    texture_slot_set_geometry(slot, 0, 0, 0, 64, 64, 64, 64);
    // Surface pixels: red, green / blue, grey.
    const Rgba colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {0x40, 0x60, 0x80, 255}};
    std::vector<uint8_t> bytes(16);
    for (size_t i = 0; i < 4; ++i) put_argb(bytes, i, colours[i].r, colours[i].g, colours[i].b);
    texture_slot_draw(slot, bytes.data(), 0, 2, 2, true, true, false, true);
    auto screen = read_screen();
    const int at[4][2] = {{10, 10}, {50, 10}, {10, 50}, {50, 50}};
    for (int i = 0; i < 4; ++i) {
        const Rgba p = pixel(screen, at[i][0], at[i][1]);
        EXPECT_TRUE(p.r == colours[i].r && p.g == colours[i].g && p.b == colours[i].b) << i;
    }
    // The strip draw of a widget image: same colours, placed by its quad.
    TextureSlot* widget = nullptr;
    texture_slot_create(&widget, 32, 1, 1, true);
    texture_slot_set_geometry(widget, 0, 16, 16, 64, 64, 32, 32);
    std::vector<uint8_t> one(4);
    put_argb(one, 0, 255, 128, 0);
    texture_slot_draw_strip(widget, one.data(), 1, 1, true);
    screen = read_screen();
    EXPECT_TRUE(pixel(screen, 32, 32).r == 255 && pixel(screen, 32, 32).g == 128);
    EXPECT_EQ(pixel(screen, 10, 10).g, 0);

    // Blending starts off: a half-transparent layer replaces what is below;
    // with blending on, the picture below shows through it.
    std::vector<uint8_t> veil(4);
    put_argb(veil, 0, 0, 0, 255, 0x80);
    texture_slot_draw(slot, veil.data(), 0, 1, 1, true, true, false, false);
    EXPECT_EQ(pixel(read_screen(), 5, 5).a, 0x80);
    texture_slot_draw(slot, bytes.data(), 0, 2, 2, true, true, false, true);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    texture_slot_draw(slot, veil.data(), 0, 1, 1, true, true, false, false);
    const Rgba mixed = pixel(read_screen(), 5, 5);
    EXPECT_TRUE(near(mixed.r, 127, 2) && near(mixed.b, 128, 2)) << int(mixed.r) << "," << int(mixed.b);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The RGB the conversion matrix gives for full-range 8-bit samples.
Rgba yuv_to_rgb(int y, int u, int v) {
    const double Y = y / 255.0, U = u / 255.0 - 0.5, V = v / 255.0 - 0.5;
    auto to8 = [](double c) {
        return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0));
    };
    return {to8(Y + 1.403 * V), to8(Y - 0.344 * U - 0.714 * V), to8(Y + 1.772 * U), 255};
}

TEST_F(RenderGl, YuvOddSizesGiveTheMatrixColoursFromTightRowsAndFlooredChroma) {
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
    for (int i = 0; i < W * H; ++i) yp[i] = static_cast<uint8_t>(luma(i % W, i / W));
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
            const int cc = (2 * px + 1) * CW / (2 * W);
            const int cr_row = (2 * py + 1) * CH / (2 * H);
            const Rgba want = yuv_to_rgb(luma(px, py), cb(cc, cr_row), cr(cc, cr_row));
            const Rgba got = pixel(screen, px, py);
            ASSERT_TRUE(near(got.r, want.r, 2) && near(got.g, want.g, 2) &&
                        near(got.b, want.b, 2) && got.a == 255)
                << "at " << px << "," << py << " got " << int(got.r) << "," << int(got.g) << ","
                << int(got.b) << " want " << int(want.r) << "," << int(want.g) << "," << int(want.b);
        }
    }
    EXPECT_EQ(pixel(screen, 50, 50).r, 0);  // outside the quad: the clear colour
}

TEST(RenderGlContext, PbufferRefusesEmptySizesAndDestroyIsRepeatable) {
    GlContext ctx{};
    EXPECT_FALSE(gl_context_create_pbuffer(&ctx, 0, 10));
    EXPECT_FALSE(gl_context_create_pbuffer(&ctx, 10, -1));
    EXPECT_EQ(ctx.display, nullptr);
    ASSERT_TRUE(gl_context_create_pbuffer(&ctx, 8, 8));
    EXPECT_EQ(eglGetCurrentContext(), ctx.context);
    gl_context_destroy(&ctx);
    EXPECT_EQ(ctx.display, nullptr);
    gl_context_destroy(&ctx);
}

}  // namespace
