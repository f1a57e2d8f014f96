// The images the build draws into <run>/images (names from the build's list):
// each decodes with alpha, states of one control share their size and look
// different, stretched frames have uniform middles and boxes drawn over the
// background are opaque. That the table's images exist is checked by every
// toolkit test, whose fixture loads them.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string IMAGES = std::string(VELMORA_RUN_DIR) + "/images/";

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Image = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

Image load(const std::string& name)
{
    const std::string path = IMAGES + name;
    Image image(name.ends_with(".bmp") ? SDL_LoadBMP(path.c_str()) : IMG_Load(path.c_str()));
    EXPECT_TRUE(image) << name << ": " << IMG_GetError();
    return image;
}

// Channels a, r, g, b of (x, y), and whether two pixels differ by more than `tolerance` in any.
std::array<int, 4> rgba(SDL_Surface* s, int x, int y)
{
    const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    uint32_t value = 0;
    for (int i = 0; i < s->format->BytesPerPixel; ++i)
        value |= uint32_t(p[i]) << (8 * i);
    uint8_t r, g, b, a;
    SDL_GetRGBA(value, s->format, &r, &g, &b, &a);
    return {a, r, g, b};
}
bool differ(SDL_Surface* s, int x, int y, SDL_Surface* t, int tx, int ty, int tolerance)
{
    const auto p = rgba(s, x, y), q = rgba(t, tx, ty);
    for (int i = 0; i < 4; ++i)
        if (std::abs(p[i] - q[i]) > tolerance)
            return true;
    return false;
}

TEST(ArtworkImages, EveryBuiltImageDecodesAndPngsCarryAlpha)
{
    std::ifstream in(std::string(VELMORA_BINARY_DIR) + "/artwork/image_names.txt");
    int count = 0;
    for (std::string name; std::getline(in, name);) {
        if (name.empty())
            continue;
        ++count;
        Image image = load(name);
        if (image && name.ends_with(".png")) {
            EXPECT_EQ(image->format->BitsPerPixel, 32) << name;
            EXPECT_NE(image->format->Amask, 0u) << name;
        }
    }
    EXPECT_GT(count, 0) << "no image list";
}

TEST(ArtworkImages, StatesOfOneControlShareTheirSizeAndDifferVisibly)
{
    const std::vector<std::vector<std::string>> groups = {
        {"button.png", "button-pressed.png"}, {"editbox.png", "editbox-sel.png"},
        {"checkbox.png", "checkbox-sel.png"}, {"sel-1-3.png", "sel-2-3.png", "sel-3-3.png"},
        {"spinner-1.png", "spinner-2.png", "spinner-8.png"}, {"playl.png", "playlp.png"},
        {"stop.png", "stopp.png"}, {"thumb.png", "thumbp.png"}, {"lock.png", "lockp.png"}};
    for (const auto& group : groups) {
        SCOPED_TRACE(group[0]);
        Image first = load(group[0]), second = load(group[1]);
        ASSERT_TRUE(first && second);
        for (const std::string& other : group) {
            Image o = load(other);
            ASSERT_TRUE(o);
            EXPECT_EQ(o->w * 10000 + o->h, first->w * 10000 + first->h) << other;
        }
        long changed = 0;
        for (int y = 0; y < first->h; ++y)
            for (int x = 0; x < first->w; ++x)
                changed += differ(first.get(), x, y, second.get(), x, y, 24);
        EXPECT_GT(changed, long(first->w) * first->h / 50) << "the first two states look alike";
    }
}

// Frames stretch by repeating their middle row and column, so the band around
// the middle must be uniform; edit boxes and selectors are drawn over a copy
// of the background, so they must be opaque.
TEST(ArtworkImages, StretchedFramesHaveUniformMiddlesAndBoxesAreOpaque)
{
    for (const char* name : {"button.png", "button-pressed.png", "dialog.png", "panel.png", "editbox.png"}) {
        Image image = load(name);
        ASSERT_TRUE(image);
        SDL_Surface* s = image.get();
        const int cx = s->w / 2, cy = s->h / 2;
        for (int d = -4; d <= 4; ++d) {
            for (int y = 0; y < s->h; ++y)
                ASSERT_FALSE(differ(s, cx + d, y, s, cx, y, 1)) << name << " row " << y;
            for (int x = 0; x < s->w; ++x)
                ASSERT_FALSE(differ(s, x, cy + d, s, x, cy, 3)) << name << " column " << x;
        }
    }
    for (const char* name : {"editbox.png", "editbox-sel.png", "sel-1-2.png", "sel-2-2.png", "sel-2-3.png"}) {
        Image image = load(name);
        ASSERT_TRUE(image);
        for (int y = 0; y < image->h; ++y)
            for (int x = 0; x < image->w; ++x)
                ASSERT_EQ(rgba(image.get(), x, y)[0], 255) << name << " at " << x << "," << y;
    }
}

}  // namespace
