// Bitmap (DVB) subtitles: rectangles are checked, clamped to the picture and
// scaled to where the picture lies on screen; on a pbuffer the palette image
// appears over the picture in its colours and goes with its time window.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <climits>
#include <memory>
#include <vector>

#include "engine/now_playing.h"
#include "engine/picture.h"
#include "engine/player_session.h"
#include "engine/subtitle_bitmap.h"
#include "render/video_output.h"
#include "tests/render/gl_test_support.h"

namespace {

constexpr uint32_t RED = 0xFFFF0000, BLUE = 0xFF0000FF;

// A PAL8 rectangle whose index rows live in a buffer of exactly linesize x h
// bytes, so that any read past them is caught by the address sanitizer.
struct Pal8 {
    AVSubtitleRect rect{};
    std::vector<uint8_t> indices;
    std::vector<uint32_t> palette;
    Pal8(int x, int y, int w, int h, std::vector<uint32_t> colours, uint8_t (*index)(int col))
        : indices(static_cast<size_t>(w > 0 ? w : 0) * (h > 0 ? h : 0)), palette(colours)
    {
        rect.type = SUBTITLE_BITMAP;
        rect.x = x, rect.y = y, rect.w = w, rect.h = h;
        rect.nb_colors = static_cast<int>(palette.size());
        rect.linesize[0] = w;
        for (size_t i = 0; i < indices.size(); i++)
            indices[i] = index(static_cast<int>(i % w));
        rect.data[0] = indices.data();
        rect.data[1] = reinterpret_cast<uint8_t*>(palette.data());
    }
};

uint8_t solid_first(int)
{
    return 0;
}

TEST(SubtitleBitmapRects, HostileRectanglesAreRefused)
{
    Pal8 good(0, 0, 4, 2, {RED}, solid_first);
    EXPECT_TRUE(subtitle_rect_usable(&good.rect));
    EXPECT_FALSE(subtitle_rect_usable(nullptr));
    const struct {
        const char* what;
        void (*spoil)(AVSubtitleRect&);
    } cases[] = {
        {"no width", [](AVSubtitleRect& r) { r.w = 0; }},
        {"negative height", [](AVSubtitleRect& r) { r.h = -3; }},
        {"absurd width", [](AVSubtitleRect& r) { r.w = r.linesize[0] = INT_MAX; }},
        {"no indices", [](AVSubtitleRect& r) { r.data[0] = nullptr; }},
        {"no palette", [](AVSubtitleRect& r) { r.data[1] = nullptr; }},
        {"no colours", [](AVSubtitleRect& r) { r.nb_colors = 0; }},
        {"more colours than indices name", [](AVSubtitleRect& r) { r.nb_colors = 257; }},
        {"rows shorter than the width", [](AVSubtitleRect& r) { r.linesize[0] = 3; }},
        {"text", [](AVSubtitleRect& r) { r.type = SUBTITLE_TEXT; }},
    };
    for (const auto& c : cases) {
        AVSubtitleRect r = good.rect;
        c.spoil(r);
        EXPECT_FALSE(subtitle_rect_usable(&r)) << c.what;
    }
}

TEST(SubtitleBitmapRects, RectanglesAreClampedToThePicture)
{
    const struct {
        VideoRect in;
        bool kept;
        VideoRect clamped;
    } cases[] = {
        {{10, 20, 30, 8}, true, {10, 20, 30, 8}},
        {{90, 45, 30, 10}, true, {90, 45, 10, 5}},     // hangs off right and bottom
        {{-5, -3, 20, 10}, true, {0, 0, 20, 10}},      // negative offsets become 0
        {{-5, 0, 200, 10}, true, {0, 0, 100, 10}},     // both
        {{100, 0, 10, 10}, false, {}},                 // wholly off the picture
        {{INT_MAX - 1, 0, 10, 10}, false, {}},         // no overflow into the picture
        {{0, INT_MIN, 10, 10}, true, {0, 0, 10, 10}},  // extreme negative offset
    };
    for (const auto& c : cases) {
        AVSubtitleRect r{};
        r.x = c.in.x, r.y = c.in.y, r.w = c.in.w, r.h = c.in.h;
        VideoRect out{};
        ASSERT_EQ(subtitle_rect_clamp(r, 100, 50, &out), c.kept) << c.in.x << "," << c.in.y;
        if (c.kept) {
            EXPECT_EQ(std::vector<int>({out.x, out.y, out.w, out.h}),
                      std::vector<int>({c.clamped.x, c.clamped.y, c.clamped.w, c.clamped.h}));
        }
    }
}

// The engine's display step over a session whose subtitle ring holds one
// bitmap subtitle; the picture is a 64 x 32 video filling a 128 x 64 window.
constexpr int W = 128, H = 64, CODED_W = 64, CODED_H = 32;

class SubtitleBitmapGl : public GlTestOf<W, H> {
protected:
    static void SetUpTestSuite() { SDL_Init(0); }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override
    {
        GlTestOf::SetUp();
        out_.screen_width = out_.window_width = W;
        out_.screen_height = out_.window_height = H;
        out_.video = VideoGeometry{nullptr, false, CODED_W, CODED_H, 1, 1, CODED_W};
        out_.aspect_mode = ASPECT_FILL;
        s_->ctx = EngineContext{&now_, &out_, &flags_, &settings_, nullptr};
        s_->has_subtitle = true;
        glClearColor(0, 1, 0, 1);  // the "picture" under the subtitle is green
    }
    void TearDown() override
    {
        s_->subpq.size = 0;  // the test owns the rectangles
        session_video_output_free(s_.get());
        GlTestOf::TearDown();
    }
    // Puts a subtitle of these rectangles at the head of the ring and shows a
    // picture at position_ms.
    void show(std::vector<AVSubtitleRect*> rects, int64_t position_ms, double pts = 1.0)
    {
        rects_ = std::move(rects);  // kept while the ring points at them
        AVSubtitle sub{};
        sub.num_rects = static_cast<unsigned>(rects_.size());
        sub.rects = rects_.data();
        s_->subpq.entries[0].sub = sub;
        s_->subpq.entries[0].pts = pts;
        s_->subpq.rindex = 0;
        s_->subpq.size = 1;
        now_.position_ms = position_ms;
        glClear(GL_COLOR_BUFFER_BIT);  // stands for the picture
        video_image_display(s_.get(), nullptr);
        glFinish();
    }
    // Colour at a screen point: 'R' red, 'B' blue, 'G' the green picture, '?' other.
    char at(int x, int y) const { return primary_of(pixel(read_screen(), x, y)); }

    FlagWord flags_{0};
    Settings settings_{};
    VideoOutput out_{};
    NowPlaying now_{};
    std::unique_ptr<PlayerSession> s_ = std::make_unique<PlayerSession>();
    std::vector<AVSubtitleRect*> rects_;
};

// Columns 0-3 index 1 (red), 4-5 index 2 (blue), 6-7 index 7, beyond the
// palette's three colours (transparent).
uint8_t stripes(int col)
{
    return col < 4 ? 1 : col < 6 ? 2 : 7;
}

TEST_F(SubtitleBitmapGl, PaletteImageAppearsScaledOverThePictureAndClamped)
{
    const struct {
        const char* what;
        int x, y, w, h;
        struct {
            int x, y;
            char colour;
        } probes[4];
    } cases[] = {
        // At (16, 8) on the picture: (32, 16) on the window, each pixel 2 x 2.
        {"inside", 16, 8, 8, 4, {{33, 17, 'R'}, {41, 22, 'B'}, {45, 20, 'G'}, {31, 17, 'G'}}},
        // Moved in from the left, cut at the bottom: rows 56..63 on the window.
        {"hanging", -4, 28, 8, 8, {{1, 57, 'R'}, {9, 62, 'B'}, {13, 60, 'G'}, {1, 54, 'G'}}},
        // Cut at the right edge: only the red columns 60..63 remain.
        {"off right", 60, 0, 8, 2, {{121, 1, 'R'}, {127, 3, 'R'}, {119, 1, 'G'}, {121, 5, 'G'}}},
    };
    double pts = 1.0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        pts += 10;  // each case is a later subtitle
        Pal8 image(c.x, c.y, c.w, c.h, {0, RED, BLUE}, stripes);
        show({&image.rect}, static_cast<int64_t>(pts * 1000) + 500, pts);
        for (const auto& p : c.probes)
            EXPECT_EQ(at(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
    }
}

TEST_F(SubtitleBitmapGl, ImageGoesWhenItsWindowPassesOrANewerSubtitleComes)
{
    Pal8 image(16, 8, 8, 4, {RED}, solid_first);
    show({&image.rect}, 1500);
    ASSERT_EQ(at(33, 17), 'R');
    EXPECT_EQ(s_->bitmap.width, 8);
    show({&image.rect}, 4100);  // past pts + 3 s
    EXPECT_EQ(at(33, 17), 'G');

    show({&image.rect}, 1500);
    ASSERT_EQ(at(33, 17), 'R');
    show({}, 1500);  // DVB clears the screen with a subtitle without regions
    EXPECT_EQ(at(33, 17), 'G');

    // A hostile rectangle next to a good one: the good one still shows.
    Pal8 hostile(0, 0, 4, 4, {RED}, solid_first);
    hostile.rect.nb_colors = 0;
    show({&hostile.rect, &image.rect}, 1500);
    EXPECT_EQ(at(33, 17), 'R');
    EXPECT_EQ(at(1, 1), 'G');
}

}  // namespace
