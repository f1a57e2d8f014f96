// The images the build draws into <run>/images (names from the build's list)
// decode with alpha; states of one control share their size and look
// different; boxes drawn over a copy of the background are opaque; frames
// have uniform middles. That the
// table's images exist is checked by every toolkit test, whose fixture loads them.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ui/surface.h"

namespace {

using Image = SurfacePtr;

Image load(const std::string& name)
{
    const std::string path = std::string(VELMORA_RUN_DIR) + "/images/" + name;
    Image image(name.ends_with(".bmp") ? SDL_LoadBMP(path.c_str()) : IMG_Load(path.c_str()));
    EXPECT_TRUE(image) << name << ": " << IMG_GetError();
    if (image && name.ends_with(".png")) {
        EXPECT_TRUE(image->format->BitsPerPixel == 32 && image->format->Amask)
            << name << " has no alpha";
    }
    return image;
}

// The pixel at (x, y) as 0xAARRGGBB.
uint32_t argb_at(SDL_Surface* s, int x, int y)
{
    uint32_t value = 0;
    std::memcpy(&value,
                static_cast<const uint8_t*>(s->pixels) + y * s->pitch +
                    x * s->format->BytesPerPixel,
                s->format->BytesPerPixel);
    uint8_t r, g, b, a;
    SDL_GetRGBA(value, s->format, &r, &g, &b, &a);
    return uint32_t(a) << 24 | r << 16 | g << 8 | b;
}

// True when p and q differ by more than `tolerance` in any channel.
bool differ(uint32_t p, uint32_t q, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int(p >> shift & 0xFF) - int(q >> shift & 0xFF)) > tolerance)
            return true;
    return false;
}

TEST(ArtworkImages, BuiltImagesDecodeAndStatesOfOneControlDifferVisibly)
{
    std::ifstream in(std::string(VELMORA_BINARY_DIR) + "/artwork/image_names.txt");
    int count = 0;
    for (std::string name; std::getline(in, name);)
        count += !name.empty() && load(name) != nullptr;
    EXPECT_GT(count, 0) << "no image list";

    for (auto [normal, other] : {std::pair{"button.png", "button-pressed.png"},
                                 {"editbox.png", "editbox-sel.png"},
                                 {"checkbox.png", "checkbox-sel.png"},
                                 {"sel-1-3.png", "sel-3-3.png"},
                                 {"spinner-1.png", "spinner-2.png"},
                                 {"playl.png", "playlp.png"},
                                 {"thumb.png", "thumbp.png"},
                                 {"lock.png", "lockp.png"}}) {
        Image a = load(normal), b = load(other);
        ASSERT_TRUE(a && b && a->w == b->w && a->h == b->h)
            << normal << " and " << other << " differ in size";
        long changed = 0;
        for (int y = 0; y < a->h; ++y)
            for (int x = 0; x < a->w; ++x)
                changed += differ(argb_at(a.get(), x, y), argb_at(b.get(), x, y), 24);
        EXPECT_GT(changed, long(a->w) * a->h / 50) << normal << " and " << other << " look alike";
    }
    for (const char* name : {"editbox.png", "editbox-sel.png", "sel-1-2.png", "sel-2-3.png"}) {
        Image image = load(name);
        ASSERT_TRUE(image);
        for (int y = 0; y < image->h; ++y)
            for (int x = 0; x < image->w; ++x)
                ASSERT_EQ(argb_at(image.get(), x, y) >> 24, 255u)
                    << name << " at " << x << "," << y;
    }
}

// Frames stretch by repeating their middle row and column, so the band around
// the middle must be uniform.
TEST(ArtworkImages, StretchedFramesHaveUniformMiddles)
{
    for (const char* name :
         {"button.png", "button-pressed.png", "dialog.png", "panel.png", "editbox.png"}) {
        Image image = load(name);
        ASSERT_TRUE(image);
        SDL_Surface* s = image.get();
        for (int d = -4; d <= 4; ++d) {
            for (int y = 0; y < s->h; ++y)
                ASSERT_FALSE(differ(argb_at(s, s->w / 2 + d, y), argb_at(s, s->w / 2, y), 1))
                    << name << " row " << y;
            for (int x = 0; x < s->w; ++x)
                ASSERT_FALSE(differ(argb_at(s, x, s->h / 2 + d), argb_at(s, x, s->h / 2), 3))
                    << name << " column " << x;
        }
    }
}

}  // namespace
