// The images the build draws into <run>/images: every name the program
// opens is there, decodes, has alpha where it is blended, states of one
// control share their size and look different, window-sized images fit the
// window, and stretched frames have uniform middles. The list of names comes
// from the build.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/artwork.h"

namespace {

const std::string IMAGES = std::string(VELMORA_RUN_DIR) + "/images/";
const std::string NAME_LIST = std::string(VELMORA_BINARY_DIR) + "/artwork/image_names.txt";

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Image = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

Image load(const std::string& name)
{
    const std::string path = IMAGES + name;
    return Image(name.ends_with(".bmp") ? SDL_LoadBMP(path.c_str()) : IMG_Load(path.c_str()));
}

Rgba pixel(SDL_Surface* s, int x, int y)
{
    const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    uint32_t value = 0;
    for (int i = 0; i < s->format->BytesPerPixel; ++i)
        value |= uint32_t(p[i]) << (8 * i);
    Rgba c{};
    SDL_GetRGBA(value, s->format, &c.r, &c.g, &c.b, &c.a);
    return c;
}

bool close(Rgba a, Rgba b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

std::pair<int, int> size_of(const std::string& name)
{
    Image image = load(name);
    return image ? std::pair{image->w, image->h} : std::pair{0, 0};
}

class ArtworkImages : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ifstream in(NAME_LIST);
        for (std::string line; std::getline(in, line);)
            if (!line.empty())
                names_.push_back(line);
        ASSERT_FALSE(names_.empty()) << "no image list at " << NAME_LIST;
    }
    bool listed(const std::string& name) const
    {
        return std::find(names_.begin(), names_.end(), name) != names_.end();
    }
    std::vector<std::string> names_;
};

TEST_F(ArtworkImages, EveryImageTheProgramOpensIsBuiltAndDecodes)
{
    EXPECT_EQ(std::set<std::string>(names_.begin(), names_.end()).size(), names_.size()) << "a name is listed twice";
    for (const std::string& name : names_) {
        SCOPED_TRACE(name);
        std::ifstream file(IMAGES + name, std::ios::binary);
        unsigned char head[26] = {};
        file.read(reinterpret_cast<char*>(head), sizeof head);
        ASSERT_EQ(file.gcount(), 26) << "missing, empty or truncated";
        if (name.ends_with(".png")) {
            EXPECT_EQ(head[24], 8) << "bit depth";
            EXPECT_EQ(head[25], 6) << "PNG without an alpha channel";
        }
        Image image = load(name);
        ASSERT_TRUE(image) << IMG_GetError();
        EXPECT_GT(image->w * image->h, 0);
    }
    for (int id = 0; id < ART_COUNT; ++id) {
        const std::string path = artwork_path(static_cast<ArtId>(id));
        ASSERT_TRUE(path.starts_with("images/")) << path;
        EXPECT_TRUE(listed(path.substr(7))) << path << " is not built";
    }
    // Opened outside the artwork table: list-row icons, the cover placeholder
    // and the window icon.
    for (const char* name : {"folder.png", "folderl.png", "file.png", "filel.png", "vfile.png", "vfilel.png",
                             "afile.png", "afilel.png", "ifile.png", "ifilel.png", "placeholder.png", "icon.bmp"})
        EXPECT_TRUE(listed(name)) << name;
}

TEST_F(ArtworkImages, StatesOfOneControlShareTheirSizeAndDifferVisibly)
{
    std::vector<std::vector<std::string>> groups = {
        {"button.png", "button-pressed.png"},
        {"editbox.png", "editbox-sel.png"},
        {"checkbox.png", "checkbox-sel.png"},
        {"sel-1-3.png", "sel-2-3.png", "sel-3-3.png"},
        {"spinner-1.png", "spinner-2.png", "spinner-3.png", "spinner-8.png"},
    };
    // Every "<name>p.png" whose "<name>.png" exists is that image pressed.
    for (const std::string& name : names_) {
        const std::string base = name.substr(0, name.size() - 5) + ".png";
        if (name.ends_with("p.png") && listed(base))
            groups.push_back({base, name});
    }
    for (const auto& group : groups) {
        Image first = load(group[0]), second = load(group[1]);
        ASSERT_TRUE(first && second) << group[0];
        for (const std::string& other : group)
            EXPECT_EQ(size_of(other), size_of(group[0])) << other << " vs " << group[0];
        if (first->w != second->w || first->h != second->h)
            continue;
        // The first two states must look clearly different.
        long changed = 0;
        for (int y = 0; y < first->h; ++y)
            for (int x = 0; x < first->w; ++x)
                changed += !close(pixel(first.get(), x, y), pixel(second.get(), x, y), 24);
        EXPECT_GT(changed, long(first->w) * first->h / 50) << group[0] << " and " << group[1] << " look alike";
    }
}

// Frames are stretched by repeating their middle row and column, so the band
// around the middle must be uniform; edit boxes and selectors are drawn over
// a copy of the background, so they must be opaque.
TEST_F(ArtworkImages, StretchedFramesHaveUniformMiddlesAndBoxesAreOpaque)
{
    for (const char* name : {"button.png", "button-pressed.png", "dialog.png", "panel.png", "editbox.png",
                             "editbox-sel.png"}) {
        Image image = load(name);
        ASSERT_TRUE(image) << name;
        const int cx = image->w / 2, cy = image->h / 2;
        for (int y = 0; y < image->h; ++y)
            for (int d = -4; d <= 4; ++d)
                ASSERT_TRUE(close(pixel(image.get(), cx + d, y), pixel(image.get(), cx, y), 1)) << name << " row " << y;
        for (int x = 0; x < image->w; ++x)
            for (int d = -4; d <= 4; ++d)
                ASSERT_TRUE(close(pixel(image.get(), x, cy + d), pixel(image.get(), x, cy), 3)) << name << " col " << x;
    }
    for (const char* name : {"editbox.png", "editbox-sel.png", "sel-1-2.png", "sel-2-2.png", "sel-1-3.png",
                             "sel-2-3.png", "sel-3-3.png"}) {
        Image image = load(name);
        ASSERT_TRUE(image) << name;
        for (int y = 0; y < image->h; ++y)
            for (int x = 0; x < image->w; ++x)
                ASSERT_EQ(pixel(image.get(), x, y).a, 255) << name << " at " << x << "," << y;
    }
}

}  // namespace
