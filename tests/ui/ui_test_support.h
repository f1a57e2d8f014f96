// Helpers for the ui/ tests: surfaces filled with known pixels, PNG files
// written with libpng, a fixture that opens the fonts from the build's run
// folder, and a hog of texture slots.
#pragma once

#include <gtest/gtest.h>

#include <png.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <SDL/SDL_ttf.h>

#include "render/gl_context.h"
#include "tests/ui/test_fonts.h"
#include "ui/surface.h"
#include "ui/text.h"

inline uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}
inline uint32_t alpha_of(uint32_t p)
{
    return p >> 24;
}
inline uint32_t red_of(uint32_t p)
{
    return (p >> 16) & 0xFF;
}
inline uint32_t green_of(uint32_t p)
{
    return (p >> 8) & 0xFF;
}
inline uint32_t blue_of(uint32_t p)
{
    return p & 0xFF;
}

inline SurfacePtr filled(int w, int h, uint32_t value)
{
    SurfacePtr s(surface_create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put_pixel(s.get(), x, y, value);
    return s;
}

// Writes an 8-bit RGBA (or RGB when alpha is false) PNG; pixel(x, y) gives ARGB.
template <typename PixelFn>
bool write_png(const std::string& path, int w, int h, bool alpha, PixelFn pixel)
{
    std::vector<png_byte> bytes;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t v = pixel(x, y);
            bytes.insert(bytes.end(),
                         {png_byte(red_of(v)), png_byte(green_of(v)), png_byte(blue_of(v))});
            if (alpha)
                bytes.push_back(png_byte(alpha_of(v)));
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

// A fresh temporary folder, removed with its contents at the end.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/velmora-ui-XXXXXX";
        const char* made = mkdtemp(tmpl);
        path_ = made ? made : "";
    }
    ~TempDir()
    {
        if (!path_.empty())
            std::system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Runs in the build's run folder with the 30 fonts open.
class FontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test_fonts_open(); }
    static void TearDownTestSuite() { test_fonts_close(); }
    static TTF_Font* main_font() { return font_get(FONT_SET_MAIN, FONT_PRELUDE); }
};

// Columns that hold any visible (alpha > 0) pixel: [first, last], or -1s.
inline std::pair<int, int> ink_columns(Surface* s)
{
    int first = -1, last = -1;
    for (int x = 0; x < s->w; ++x)
        for (int y = 0; y < s->h; ++y)
            if (alpha_of(get_pixel(s, x, y)) > 0 && get_pixel(s, x, y) != 0) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

inline bool same_pixels(Surface* a, Surface* b)
{
    bool same = a->w == b->w && a->h == b->h;
    for (int y = 0; same && y < a->h; ++y)
        same = std::memcmp(static_cast<char*>(a->pixels) + y * a->pitch,
                           static_cast<char*>(b->pixels) + y * b->pitch, size_t(a->w) * 4) == 0;
    return same;
}

// Takes every free texture slot but `leave` (the GL context must be current)
// and gives them back when it goes; take() reports how many it got.
struct SlotHog {
    std::vector<TextureSlot*> taken;
    size_t take(size_t leave = 0)
    {
        const size_t before = taken.size();
        for (TextureSlot* slot = nullptr; texture_slot_create(&slot, 32, 4, 4, false), slot;
             slot = nullptr)
            taken.push_back(slot);
        for (; leave > 0 && taken.size() > before; --leave) {
            texture_slot_free(taken.back());
            taken.pop_back();
        }
        return taken.size() - before;
    }
    ~SlotHog()
    {
        for (TextureSlot* slot : taken)
            texture_slot_free(slot);
    }
};
