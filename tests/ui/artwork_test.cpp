// The images the build draws into <run>/images: every name the program
// opens is there, decodes, has alpha where it is blended, and is sized for
// the layouts that place it (home screen grid, top bar, player bar, list
// rows, stretched frames). The list of names comes from the build.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
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

std::vector<std::string> image_names()
{
    std::vector<std::string> names;
    std::ifstream in(NAME_LIST);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            names.push_back(line);
    return names;
}

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

struct Size {
    int w = 0, h = 0;
};

Size size_of(const std::string& name)
{
    Image image = load(name);
    return image ? Size{image->w, image->h} : Size{};
}

// Rows of `name` that hold any visible pixel: first and last.
std::pair<int, int> opaque_rows(const std::string& name)
{
    Image image = load(name);
    int first = -1, last = -1;
    for (int y = 0; image && y < image->h; ++y)
        for (int x = 0; x < image->w; ++x)
            if (pixel(image.get(), x, y).a > 8) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return {first, last};
}

class ArtworkImages : public ::testing::Test {
protected:
    void SetUp() override
    {
        names_ = image_names();
        ASSERT_FALSE(names_.empty()) << "no image list at " << NAME_LIST;
    }
    bool listed(const std::string& name) const
    {
        return std::find(names_.begin(), names_.end(), name) != names_.end();
    }
    std::vector<std::string> names_;
};

TEST_F(ArtworkImages, EveryListedImageIsBuiltAndDecodes)
{
    std::set<std::string> unique(names_.begin(), names_.end());
    EXPECT_EQ(unique.size(), names_.size()) << "a name is listed twice";
    for (const std::string& name : names_) {
        SCOPED_TRACE(name);
        std::ifstream file(IMAGES + name, std::ios::binary);
        ASSERT_TRUE(file) << "missing";
        unsigned char head[26] = {};
        file.read(reinterpret_cast<char*>(head), sizeof head);
        ASSERT_EQ(file.gcount(), 26) << "empty or truncated";
        if (name.ends_with(".png")) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(head + 1), 3), "PNG");
            EXPECT_EQ(head[24], 8) << "bit depth";
            EXPECT_EQ(head[25], 6) << "PNG without an alpha channel";
        }
        Image image = load(name);
        ASSERT_TRUE(image) << IMG_GetError();
        EXPECT_GT(image->w, 0);
        EXPECT_GT(image->h, 0);
    }
}

TEST_F(ArtworkImages, CoversEveryNameTheProgramOpens)
{
    for (int id = 0; id < ART_COUNT; ++id) {
        const std::string path = artwork_path(static_cast<ArtId>(id));
        ASSERT_TRUE(path.starts_with("images/")) << path;
        EXPECT_TRUE(listed(path.substr(7))) << path << " is not built";
    }
    // Opened outside the artwork table: list-row icons, the cover
    // placeholder and the window icon.
    for (const char* name : {"folder.png", "folderl.png", "file.png", "filel.png", "vfile.png", "vfilel.png",
                             "afile.png", "afilel.png", "ifile.png", "ifilel.png", "placeholder.png", "icon.bmp"})
        EXPECT_TRUE(listed(name)) << name;
}

TEST_F(ArtworkImages, StatesOfOneControlShareTheirSize)
{
    std::vector<std::vector<std::string>> groups = {
        {"button.png", "button-pressed.png"},
        {"editbox.png", "editbox-sel.png"},
        {"checkbox.png", "checkbox-sel.png"},
        {"playl.png", "playlp.png", "pausel.png", "pauselp.png"},
        {"volon.png", "volonp.png", "voloff.png", "voloffp.png"},
        {"record.png", "recordp.png", "stoprec.png", "stoprecp.png"},
        {"shuffle.png", "shufflep.png", "repeatallp.png"},
        {"sel-1-2.png", "sel-2-2.png"},
        {"sel-1-3.png", "sel-2-3.png", "sel-3-3.png"},
        {"spinner-1.png", "spinner-2.png", "spinner-3.png", "spinner-4.png", "spinner-5.png", "spinner-6.png",
         "spinner-7.png", "spinner-8.png"},
    };
    // Every "<name>p.png" whose "<name>.png" exists is that image pressed.
    for (const std::string& name : names_) {
        const std::string base = name.substr(0, name.size() - 5) + ".png";
        if (name.ends_with("p.png") && listed(base))
            groups.push_back({base, name});
    }
    for (const auto& group : groups) {
        const Size first = size_of(group.front());
        ASSERT_GT(first.w, 0) << group.front();
        for (const std::string& other : group) {
            const Size s = size_of(other);
            EXPECT_TRUE(s.w == first.w && s.h == first.h)
                << other << " is " << s.w << "x" << s.h << ", " << group.front() << " is " << first.w << "x" << first.h;
        }
    }
}

// Pressed, focused and ticked states must look clearly different.
TEST_F(ArtworkImages, StateImagesDifferVisibly)
{
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"button.png", "button-pressed.png"}, {"editbox.png", "editbox-sel.png"},
        {"checkbox.png", "checkbox-sel.png"}, {"square-button.png", "square-buttonp.png"},
        {"help.png", "helpp.png"},             {"standby.png", "standbyp.png"},
        {"playl.png", "playlp.png"},           {"thumb.png", "thumbp.png"},
        {"sel-1-3.png", "sel-2-3.png"},        {"sel-1-2.png", "sel-2-2.png"},
        {"spinner-1.png", "spinner-2.png"},    {"shufflep.png", "repeatallp.png"},
    };
    for (const auto& [a, b] : pairs) {
        Image one = load(a), two = load(b);
        ASSERT_TRUE(one && two) << a << " " << b;
        ASSERT_TRUE(one->w == two->w && one->h == two->h) << a;
        long changed = 0;
        for (int y = 0; y < one->h; ++y)
            for (int x = 0; x < one->w; ++x)
                changed += !close(pixel(one.get(), x, y), pixel(two.get(), x, y), 24);
        EXPECT_GT(changed, long(one->w) * one->h / 50) << a << " and " << b << " look alike";
    }
}

// The images placed by fixed layouts fit those layouts in a 1000 x 600 window.
TEST_F(ArtworkImages, SizesFitTheScreenLayouts)
{
    EXPECT_EQ(size_of("background2.png").w, 1000);
    EXPECT_EQ(size_of("background2.png").h, 600);
    EXPECT_EQ(size_of("background3.png").w, 1000);
    EXPECT_EQ(size_of("background3.png").h, 600);
    EXPECT_EQ(size_of("background-tall.png").w, 600);
    EXPECT_EQ(size_of("background-tall.png").h, 1000);

    // Home grid: three columns across, rows at y 150 and 400, icon 10 px
    // from the top with room for a 20-point label under it.
    const Size square = size_of("square-button.png");
    EXPECT_LE(3 * square.w, 1000);
    EXPECT_LE(400 + square.h, 600);
    EXPECT_LE(150 + square.h, 400);
    for (const char* icon : {"movie.png", "remote.png", "upnp.png", "settings.png", "tv.png", "favs.png"}) {
        const Size s = size_of(icon);
        EXPECT_EQ(s.w, size_of("movie.png").w) << icon;
        EXPECT_LE(s.w, square.w) << icon;
        EXPECT_LE(10 + s.h + 40, square.h) << icon << " leaves no room for the label";
    }
    // Top-bar buttons at y 10 stay inside the 70-pixel title bar.
    EXPECT_LE(10 + size_of("help.png").h, 70);
    EXPECT_LE(10 + size_of("standby.png").h, 70);
    EXPECT_EQ(size_of("button.png").h, 70 - 16);

    // List rows are 60 high in list view and 120 in icon view.
    for (const char* icon : {"folder.png", "vfile.png", "afile.png", "ifile.png", "file.png"})
        EXPECT_LE(size_of(icon).h, 60 - 4) << icon;
    for (const char* icon : {"folderl.png", "vfilel.png", "afilel.png", "ifilel.png", "filel.png"})
        EXPECT_LE(size_of(icon).h, 120 - 4) << icon;
}

// The player bar with the row of controls laid out at the bottom of a
// 1000-pixel-wide window, and the seek track and knob drawn into it.
TEST_F(ArtworkImages, PlayerBarHoldsTrackKnobAndControls)
{
    const int width = 1000;
    const Size bar = size_of("playerbar-wide.png");
    const Size play = size_of("playl.png"), stop = size_of("stop.png"), knob = size_of("thumb.png");
    const Size aspect = size_of("ar.png"), order = size_of("shuffle.png");
    EXPECT_EQ(bar.w, width);

    // Windowed gap between the thirteen buttons; the row must fit.
    const int gap = std::clamp(
        (width - 4 * (30 + stop.w) - 3 * (aspect.w + order.w + play.w)) / 13, -30, 30);
    EXPECT_GE(gap, 4) << "buttons would touch";
    const int row = play.w + 12 * stop.w + 12 * gap + 20;
    EXPECT_LE(row, width - 40);
    for (const char* name : {"stop.png", "shuffle.png", "repeat.png", "lock.png", "ar.png", "fullscreen.png",
                             "libraryview.png", "record.png", "volon.png", "skipback.png", "skipfwd.png",
                             "jumpfwd.png", "jumpback.png"}) {
        const Size s = size_of(name);
        EXPECT_TRUE(s.w == stop.w && s.h == stop.h) << name;
    }
    // Buttons are centred on the play button, which sits on the bottom edge;
    // the space under the smaller ones holds their labels.
    EXPECT_GE((play.h - stop.h) / 2, 16);
    // The bar leaves a row for the seek track and the title above the buttons.
    EXPECT_GE(bar.h - play.h, 50);
    // Lock sits over the loop button and inside the bar.
    const int loop_top = bar.h - play.h + (play.h - stop.h) / 2;
    EXPECT_GE(loop_top - order.h - 10, 0);

    // The track is drawn at y = knob height / 2 - 20 inside the bar, and the
    // knob is centred on it: the visible part of the knob stays in the bar.
    const int track_y = knob.h / 2 - 20;
    const int knob_y = track_y - (knob.h - 14) / 2;
    EXPECT_GE(track_y, 0);
    const auto [first, last] = opaque_rows("thumb.png");
    ASSERT_GE(first, 0);
    EXPECT_GE(knob_y + first, 0) << "knob shows above the bar";
    EXPECT_GE(knob_y + opaque_rows("thumbp.png").first, 0) << "pressed knob shows above the bar";
    EXPECT_LE(knob_y + last, bar.h);

    EXPECT_EQ(size_of("slider-middle.png").w, 8);
    for (const char* piece : {"slider-left.png", "slider-middle.png", "slider-right.png"})
        EXPECT_EQ(size_of(piece).h, 14) << piece;
    // Middle pieces run from x 120 while below width - 284 - 8; the right
    // piece then has to reach the knob's farthest stop (its left edge at
    // track x + track width - 50), where the knob centre lies.
    int right_x = 120;
    while (right_x < width - 284 - 8)
        right_x += 8;
    const int knob_far_centre = 112 + (width - 284) - 50 + knob.w / 2;
    EXPECT_GE(right_x + size_of("slider-right.png").w, knob_far_centre);
    EXPECT_LE(right_x + size_of("slider-right.png").w, 112 + (width - 284) + 8);
    // At position 0 the knob (left edge at x 82) is centred near the track start.
    EXPECT_GE(82 + knob.w / 2, 112);
    EXPECT_LE(82 + knob.w / 2, 112 + 20);
}

// Frames are stretched by repeating their middle row and column, so the
// band around the middle must be uniform.
TEST_F(ArtworkImages, StretchedFramesHaveUniformMiddles)
{
    for (const char* name : {"button.png", "button-pressed.png", "dialog.png", "panel.png", "editbox.png",
                             "editbox-sel.png"}) {
        SCOPED_TRACE(name);
        Image image = load(name);
        ASSERT_TRUE(image);
        const int cx = image->w / 2, cy = image->h / 2;
        for (int y = 0; y < image->h; ++y)
            for (int dx = -4; dx <= 4; ++dx)
                ASSERT_TRUE(close(pixel(image.get(), cx + dx, y), pixel(image.get(), cx, y), 1))
                    << "column " << cx + dx << " row " << y;
        for (int x = 0; x < image->w; ++x)
            for (int dy = -4; dy <= 4; ++dy)
                ASSERT_TRUE(close(pixel(image.get(), x, cy + dy), pixel(image.get(), x, cy), 3))
                    << "row " << cy + dy << " column " << x;
    }
}

// Edit boxes and selectors are drawn over a copy of the dark screen
// background, so they must cover it completely.
TEST_F(ArtworkImages, BoxesDrawnOverTheBackgroundAreOpaque)
{
    for (const char* name : {"editbox.png", "editbox-sel.png", "sel-1-2.png", "sel-2-2.png", "sel-1-3.png",
                             "sel-2-3.png", "sel-3-3.png"}) {
        Image image = load(name);
        ASSERT_TRUE(image) << name;
        int clear = 0;
        for (int y = 0; y < image->h; ++y)
            for (int x = 0; x < image->w; ++x)
                clear += pixel(image.get(), x, y).a != 255;
        EXPECT_EQ(clear, 0) << name;
    }
}

// The window icon: white is its transparent colour, so its background is
// pure white and no light pixel borders the keyed area.
TEST_F(ArtworkImages, WindowIconKeysOutOnWhite)
{
    Image icon = load("icon.bmp");
    ASSERT_TRUE(icon) << SDL_GetError();
    EXPECT_TRUE((icon->w == 32 && icon->h == 32) || (icon->w == 48 && icon->h == 48));
    const Rgba white{255, 255, 255, 255};
    EXPECT_EQ(pixel(icon.get(), 0, 0), white);
    EXPECT_EQ(pixel(icon.get(), icon->w - 1, icon->h - 1), white);
    std::map<bool, int> count;
    for (int y = 0; y < icon->h; ++y)
        for (int x = 0; x < icon->w; ++x) {
            const Rgba c = pixel(icon.get(), x, y);
            ++count[c == white];
            if (c == white)
                continue;
            // a nearly white pixel next to the keyed area would show as a halo
            const bool at_edge = (x > 0 && pixel(icon.get(), x - 1, y) == white) ||
                                 (y > 0 && pixel(icon.get(), x, y - 1) == white) ||
                                 (x + 1 < icon->w && pixel(icon.get(), x + 1, y) == white) ||
                                 (y + 1 < icon->h && pixel(icon.get(), x, y + 1) == white);
            if (at_edge) {
                EXPECT_FALSE(close(c, white, 60)) << "light edge pixel at " << x << "," << y;
            }
        }
    EXPECT_GT(count[false], icon->w * icon->h / 3) << "icon is mostly empty";
    EXPECT_GT(count[true], 0);
}

}  // namespace
