// Pixel operations on real SDL software surfaces: fills, blends and copies
// clipped on every side, bilinear scaling, frame stretching and image loading.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>

#include "tests/scratch_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/surface.h"

namespace {

// Pixel value identifying its position, and a surface of such pixels.
uint32_t mark(int x, int y)
{
    return argb(255, x + 1, y + 1, 0x5A);
}
SurfacePtr marked(int w, int h)
{
    return surface_of(w, h, mark);
}

TEST(Surface, FillsBlendTranslucentColoursAndClipRectanglesAndLines)
{
    SurfacePtr s = filled(6, 5, argb(255, 0xC8, 0x80, 0x40));
    fill_rect(s.get(), 0, 0, 1, 5, 0x80000000u);  // translucent black halves
    EXPECT_EQ(get_pixel(s.get(), 0, 1), argb(255, 0x64, 0x40, 0x20));
    fill_rect(s.get(), -3, -3, 5, 5, 0xFFFFFFFFu);    // top-left corner 2 x 2
    fill_rect(s.get(), 4, 3, 100, 100, 0xFF000000u);  // bottom-right 2 x 2
    for (auto [x, y, w, h] : {std::array{6, 0, 3, 3}, {0, -10, 3, 3}, {0, 0, 0x7FFFFFFF, -1}})
        fill_rect(s.get(), x, y, w, h, 0xFF00FF00u);  // wholly outside or empty
    EXPECT_EQ(std::pair(count_pixels(s.get(), 0xFFFFFFFFu), count_pixels(s.get(), 0xFF000000u)),
              std::pair(4, 4));
    fill_rect(nullptr, 0, 0, 1, 1, 0xFFFFFFFFu);
    SurfacePtr clear(surface_create(2, 2));
    fill_rect(clear.get(), 0, 0, 2, 2, 0x80FF0000u);  // over transparent: visible, not clear
    EXPECT_EQ(alpha_of(get_pixel(clear.get(), 0, 0)), 0x80u);
    EXPECT_GT(red_of(get_pixel(clear.get(), 0, 0)), 0x70u);

    SurfacePtr g = filled(12, 4, 0xFF000000u);
    fill_gradient(g.get(), -2, 0, 12, 3, 0xFF000000u, 0xFFF0F0F0u,
                  0);  // lines -2 and -1 are skipped
    EXPECT_EQ(red_of(get_pixel(g.get(), 0, 0)), 40u);
    EXPECT_EQ(std::pair(get_pixel(g.get(), 10, 0), get_pixel(g.get(), 0, 3)),
              std::pair(0xFF000000u, 0xFF000000u));
    for (int x = 1; x < 10; ++x)
        EXPECT_GT(red_of(get_pixel(g.get(), x, 1)), red_of(get_pixel(g.get(), x - 1, 1)));
    SurfacePtr l(surface_create(5, 5));
    draw_line(l.get(), 4, 2, -10, 2, 0xFF505050u);
    draw_line(l.get(), 1, 100, 1, -100, 0xFFFFFFFFu);
    draw_line(l.get(), 0, 0, 4, 4, 0xFF00FF00u);  // diagonal: nothing
    draw_line(l.get(), 9, 9, 20, 9, 0xFF00FF00u);
    EXPECT_EQ(std::tuple(count_pixels(l.get(), 0xFF505050u), count_pixels(l.get(), 0xFFFFFFFFu),
                         count_pixels(l.get(), 0u)),
              std::tuple(4, 5, 16));
}

// Each way of placing an opaque source lands exactly on the overlap, wherever
// the source sits, and nothing else changes.
TEST(Surface, PlacingASourceClipsOnAllFourSides)
{
    const std::pair<const char*, std::function<void(Surface*, Surface*, int, int)>> ops[] = {
        {"copy_pixels", copy_pixels},
        {"blend_over", blend_over},
        {"blit_alpha", blit_alpha},
        {"copy_rect",
         [](Surface* d, Surface* s, int x, int y) { copy_rect(d, x, y, s, nullptr); }}};
    SurfacePtr src = marked(4, 4);
    for (const auto& [name, place] : ops)
        for (int x : {-4, -3, 0, 3, 5, 8})
            for (int y : {-4, -1, 0, 4, 6, 7}) {
                SCOPED_TRACE(std::string(name) + " at " + std::to_string(x) + "," +
                             std::to_string(y));
                SurfacePtr dst = filled(8, 7, 0xFFFFFFFFu);
                place(dst.get(), src.get(), x, y);
                for (int dy = 0; dy < 7; ++dy)
                    for (int dx = 0; dx < 8; ++dx) {
                        const int sx = dx - x, sy = dy - y;
                        const bool inside = sx >= 0 && sx < 4 && sy >= 0 && sy < 4;
                        ASSERT_EQ(get_pixel(dst.get(), dx, dy), inside ? mark(sx, sy) : 0xFFFFFFFFu)
                            << dx << "," << dy;
                    }
            }
    blend_over(nullptr, src.get(), 0, 0);
    blend_over(src.get(), nullptr, 0, 0);
}

TEST(Surface, TranslucentSourcesComposeAndRgbSourcesBecomeOpaque)
{
    // blend_over keeps the destination's alpha; blit_alpha composes "over".
    SurfacePtr src(surface_create(3, 1));
    put_pixel(src.get(), 0, 0, argb(0, 200, 200, 200));
    put_pixel(src.get(), 1, 0, argb(128, 200, 250, 255));
    put_pixel(src.get(), 2, 0, argb(255, 7, 8, 9));
    SurfacePtr dst = filled(3, 1, argb(0x40, 100, 50, 0));
    blend_over(dst.get(), src.get(), 0, 0);
    EXPECT_EQ(std::tuple(get_pixel(dst.get(), 0, 0), get_pixel(dst.get(), 1, 0),
                         get_pixel(dst.get(), 2, 0)),
              std::tuple(argb(0x40, 100, 50, 0), argb(0x40, 149, 149, 127), argb(255, 7, 8, 9)));
    SurfacePtr opaque = filled(2, 1, argb(255, 0, 0, 255)), clear(surface_create(2, 1));
    put_pixel(src.get(), 0, 0, argb(128, 255, 0, 0));
    for (Surface* d : {opaque.get(), clear.get()})
        blit_alpha(d, src.get(), 0, 0);
    const uint32_t over = get_pixel(opaque.get(), 0, 0);
    EXPECT_EQ(alpha_of(over), 255u);
    EXPECT_NEAR(red_of(over), 128, 1);
    EXPECT_NEAR(blue_of(over), 127, 1);
    EXPECT_EQ(get_pixel(clear.get(), 0, 0), argb(128, 255, 0, 0));
    // Only the overlap of a source part with both surfaces lands.
    SurfacePtr part_dst(surface_create(3, 3));
    SDL_Rect part{-1, 2, 10, 10};
    copy_rect(part_dst.get(), 1, 0, marked(4, 4).get(), &part);
    EXPECT_EQ(get_pixel(part_dst.get(), 2, 1), mark(0, 3));
    EXPECT_EQ(count_pixels(part_dst.get(), 0u), 7);

    // 24 bits with red in the lowest byte, as image decoders deliver RGB.
    SurfacePtr rgb(SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 24, 0xFF, 0xFF00, 0xFF0000, 0));
    put_pixel(rgb.get(), 0, 1, 0x665544);
    put_pixel(rgb.get(), 1, 1, 0x332211);
    SurfacePtr out(surface_create(3, 3));
    copy_pixels_rgb(out.get(), rgb.get(), 1, 1);
    copy_pixels_rgb(out.get(), rgb.get(), 2, -1);  // only source (0, 1) lands
    EXPECT_EQ(
        std::tuple(get_pixel(out.get(), 2, 2), get_pixel(out.get(), 1, 1),
                   get_pixel(out.get(), 2, 0)),
        std::tuple(argb(255, 0x11, 0x22, 0x33), argb(255, 0, 0, 0), argb(255, 0x44, 0x55, 0x66)));
    EXPECT_EQ(get_pixel(out.get(), 0, 0), 0u);
}

TEST(Surface, ScalingKeepsRampsMonotonicAndStretchingKeepsFrameCorners)
{
    for (auto [tw, th] : {std::pair{100, 60}, {7, 5}, {1000, 3}}) {
        SCOPED_TRACE(std::to_string(tw) + "x" + std::to_string(th));
        SurfacePtr ramp = surface_of(16, 16, [](int x, int y) {  // red along x, green along y
            return argb(255, x * 17, y * 17, 0);
        });
        SurfacePtr s(scale_surface(ramp.release(), tw, th));  // frees the source
        ASSERT_TRUE(s && s->w == tw && s->h == th);
        EXPECT_EQ(get_pixel(s.get(), 0, 0), argb(255, 0, 0, 0));
        EXPECT_GE(int(red_of(get_pixel(s.get(), tw - 1, 0))), 255 - 255 / tw - 3);
        EXPECT_GE(int(green_of(get_pixel(s.get(), 0, th - 1))), 255 - 255 / th - 3);
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) {
                ASSERT_GE(red_of(get_pixel(s.get(), x, y)),
                          red_of(get_pixel(s.get(), std::max(x - 1, 0), y)));
                ASSERT_GE(green_of(get_pixel(s.get(), x, y)),
                          green_of(get_pixel(s.get(), x, std::max(y - 1, 0))));
            }
    }
    Surface* rgb = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    put_pixel(rgb, 0, 0, 0x102030);
    SurfacePtr from24(scale_surface(rgb, 0, -5));  // sizes below 1 become 1
    ASSERT_TRUE(from24);
    EXPECT_EQ(get_pixel(from24.get(), 0, 0), 0xFF102030u);
    SurfacePtr eight(SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 8, 0, 0, 0, 0));
    EXPECT_EQ(scale_surface(eight.get(), 8, 8), nullptr);
    EXPECT_EQ(eight->w, 4);  // left intact

    // A frame's halves stay at the matching edges (left/top 2 pixels, right/bottom 3).
    SurfacePtr src = marked(5, 5);
    SurfacePtr big(stretch_frame(src.get(), 20, 12));
    ASSERT_TRUE(big);
    for (auto [x, y, sx, sy] :
         {std::array{1, 1, 1, 1}, {17, 9, 2, 2}, {19, 0, 4, 0}, {0, 11, 0, 4}, {10, 6, 2, 2}})
        EXPECT_EQ(get_pixel(big.get(), x, y), mark(sx, sy)) << x << "," << y;
    for (auto [w, h] : {std::pair{0, 10}, {10, 1025}, {-1, 10}})
        EXPECT_EQ(stretch_frame(src.get(), w, h), nullptr) << w << "x" << h;
    EXPECT_TRUE(SurfacePtr(stretch_frame(src.get(), 1024, 1)));
}

TEST(Surface, PngFilesBecomeArgbAndDamagedFilesAreRefusedWithoutCrashOrHang)
{
    ScratchDir dir;
    const std::string rgba = dir.path() + "/rgba.png", rgb = dir.path() + "/rgb.png";
    ASSERT_TRUE(
        write_png(rgba, 3, 2, true, [](int x, int y) { return argb(x * 80, 10, 20 + y, 30); }));
    ASSERT_TRUE(write_png(rgb, 2, 2, false, [](int, int) { return argb(255, 0xAA, 0xBB, 0xCC); }));
    SurfacePtr a(load_image(rgba.c_str())), b(load_image(rgb.c_str()));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->format->Rmask, SURFACE_RMASK);
    EXPECT_EQ(a->format->Amask, SURFACE_AMASK);
    EXPECT_EQ(get_pixel(a.get(), 2, 1), argb(160, 10, 21, 30));
    EXPECT_EQ(get_pixel(b.get(), 1, 1), argb(255, 0xAA, 0xBB, 0xCC));
    EXPECT_EQ(load_image((dir.path() + "/missing.png").c_str()), nullptr);
    EXPECT_EQ(load_image(nullptr), nullptr);

    // An ancillary chunk whose length runs past the end of the file made the
    // image library loop forever on CRC warnings; such a file is refused.
    static const char hex[] =
        "89504e470d0a1a0a0000000d49484452000000030000000208060000009d74661a000000417352474200aeb51ce9"
        "0000001a49444154089963e412916360606008606060086061b464800300c7ff00e375";
    std::string overlong;
    for (size_t i = 0; i + 1 < sizeof(hex); i += 2)
        overlong += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
    const std::string bad = dir.path() + "/bad.png";
    std::ofstream(bad, std::ios::binary) << overlong;
    EXPECT_EQ(load_image(bad.c_str()), nullptr);

    // Truncated and scrambled copies of a valid file.
    std::ifstream in(rgba, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        std::string copy = bytes.substr(0, rng() % (bytes.size() + 1));
        for (int k = 0; k < 4 && !copy.empty(); ++k)
            copy[rng() % copy.size()] = static_cast<char>(rng());
        std::ofstream(bad, std::ios::binary | std::ios::trunc) << copy;
        SurfacePtr img(load_image(bad.c_str()));
        if (img) {
            EXPECT_EQ(img->format->BitsPerPixel, 32);
        }
    }
}

}  // namespace
