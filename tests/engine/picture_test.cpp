// Pictures on screen: the engine plays media in-process into an EGL pbuffer
// through the player loop's engine steps; the drawn pixels, the video
// textures, the subtitle text, the position gate, the slide-show clock, a
// failed picture allocation and the GL state left behind are checked.
#include <cstring>
#include <fstream>
#include <vector>

#include <SDL/SDL.h>

#include "engine/video.h"
#include "engine_test_util.h"
#include "render/gl_context.h"
#include "render/video_planes.h"

namespace {

class PictureTest : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        use_gl();
    }
    // Opens a clip made from one lavfi source.
    void open_clip(const std::string& name, const std::string& source, const std::string& output)
    {
        ASSERT_TRUE(make_clip(dir.file(name), {source}, output));
        ASSERT_EQ(open(dir.file(name)), RESULT_OK);
    }
    void expect_colour(int x, int y, const uint8_t (&want)[3])
    {
        uint8_t px[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        for (int i = 0; i < 3; i++)
            EXPECT_LT(std::abs(px[i] - want[i]), 60) << "at " << x << "," << y << " channel " << i;
    }
};

TEST_F(PictureTest, PicturesShowTheirColoursOnEachPathAndFormat)
{
    const struct {
        VideoPath path;
        const char* source;
        const char* output;
        uint8_t want[3];
    } cases[] = {{VIDEO_PATH_YUV, "color=c=red:s=200x120:r=25", "-t 1 -c:v libx264 -pix_fmt yuv420p", {255, 0, 0}},
                 {VIDEO_PATH_RGB, "color=c=blue:s=200x120:r=25", "-t 1 -c:v libx264 -pix_fmt yuv420p", {0, 0, 255}},
                 // 4:2:2 is converted to 4:2:0 at its coded width.
                 {VIDEO_PATH_YUV, "color=c=red:s=200x120:r=25", "-t 1 -c:v libx264 -pix_fmt yuv422p", {255, 0, 0}},
                 // A still image is fitted to the screen.
                 {VIDEO_PATH_AUTO, "color=c=green:s=640x120", "-frames:v 1", {0, 128, 0}}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " " + c.output);
        video_path_override(c.path);
        bool still = c.path == VIDEO_PATH_AUTO;
        open_clip(std::to_string(n++) + (still ? ".png" : ".mp4"), c.source, c.output);
        EXPECT_EQ(now.yuv_path, c.path == VIDEO_PATH_YUV);
        ASSERT_TRUE(play_until([&] { return shown(still ? 1 : 3); }));
        glFinish();
        expect_colour(SCREEN_W / 2, SCREEN_H / 2, c.want);
        expect_colour(SCREEN_W - 2, SCREEN_H / 2, c.want);
        if (still) {
            EXPECT_TRUE(now.display_width == SCREEN_W && now.display_height == 120 * SCREEN_W / 640);
        }
        if (std::strstr(c.output, "422")) {
            EXPECT_TRUE(now.session->conversion_needed && now.display_width == 200);
        }
    }
}

TEST_F(PictureTest, DecoderPlanesAreUploadedAsTheyAreWithTheStrideCropped)
{
    video_path_override(VIDEO_PATH_YUV);
    open_clip("narrow.mp4", "testsrc=s=200x120:r=25", "-t 1 -c:v libx264 -pix_fmt yuv420p");
    ASSERT_TRUE(play_until([&] { return shown(2); }));
    PlayerSession* s = now.session;
    EXPECT_TRUE(!s->conversion_needed && s->pictq.entry.conv_frame == nullptr);
    // The texture is as wide as the decoder's rows, the quad shows the picture.
    ASSERT_NE(s->textures.y, nullptr);
    EXPECT_EQ(now.video_width, 200);
    EXPECT_GE(now.display_width, 200);
    EXPECT_TRUE(s->textures.y->width == now.display_width && s->textures.u->width == now.display_width / 2);
    EXPECT_FLOAT_EQ(s->textures.y->texcoords[4], 200.0f / now.display_width);
}

TEST_F(PictureTest, SlideShowPositionIgnoresTheTimePaused)
{
    now.slideshow = 1;
    open_clip("slide.png", "color=c=gray:s=160x120", "-frames:v 1");
    EXPECT_EQ(now.duration_ms, 4000);
    ASSERT_TRUE(play_until([&] { return now.position_ms >= 300; }));
    toggle_pause(now.session);
    int64_t paused_at = now.position_ms;
    uint32_t until = SDL_GetTicks() + 1500;
    play_until([&] { return SDL_GetTicks() >= until; });
    EXPECT_EQ(now.position_ms, paused_at);
    toggle_pause(now.session);
    player_session_tick(now.session);
    player_session_tick(now.session);
    EXPECT_LT(now.position_ms, paused_at + 500) << "the paused span was counted";
}

TEST_F(PictureTest, EachItemStartsWithThePositionGateClosed)
{
    open_clip("gate.mp4", "testsrc=s=160x120:r=25", "-t 3 -c:v libx264");
    ASSERT_TRUE(play_until([&] { return now.position_ms > 1000; }));
    // The next item's first pictures must not move the position set for it.
    now.position_ms = 12345;
    ASSERT_EQ(open(dir.file("gate.mp4")), RESULT_OK);
    ASSERT_TRUE(play_until([&] { return shown(5); }));
    EXPECT_EQ(now.position_ms, 12345);
}

TEST_F(PictureTest, AFailedPictureAllocationEndsTheSession)
{
    // Every texture slot is taken: the entry's textures cannot be had.
    std::vector<TextureSlot*> taken(TEXTURE_SLOT_COUNT);
    for (TextureSlot*& slot : taken)
        texture_slot_create(&slot, 8, 4, 4, false);
    open_clip("alloc.mp4", "testsrc=s=160x120:r=25", "-t 2 -c:v libx264");
    ResultCode ended = RESULT_OK;
    play_until([] { return false; }, &ended);
    EXPECT_EQ(ended, ERR_OUT_OF_MEMORY) << "the session never ended";
    for (TextureSlot* slot : taken)
        texture_slot_free(slot);
}

TEST_F(PictureTest, BlendingIsAsTheInterfaceLeftItAfterTheSession)
{
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
    // The controls drawn over the picture, as the player loop does.
    now.controls_visible = 1;
    now.draw_player_overlay = [](void*) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        gl_present();
    };
    open_clip("blend.mp4", "testsrc=s=160x120:r=25", "-t 1 -c:v libx264");
    ASSERT_TRUE(play_until([&] { return shown(2); }));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    close();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint dst = 0;
    glGetIntegerv(GL_BLEND_DST_RGB, &dst);
    EXPECT_EQ(dst, GL_ZERO);
}

std::string g_subtitle_seen;

TEST_F(PictureTest, EmbeddedTextSubtitleIsShownWithoutMarkup)
{
    { std::ofstream(dir.file("s.srt")) << "1\n00:00:00,000 --> 00:00:02,000\n{\\an8}<i>Hello</i>\n\n"; }
    now.draw_subtitle_text = [](void*, const char* text) {
        if (text && text[0])
            g_subtitle_seen = text;
    };
    open_clip("sub.mkv", "color=c=gray:s=160x120:r=25 -i s.srt", "-t 2 -c:v libx264 -c:s srt");
    EXPECT_TRUE(play_until([&] { return !g_subtitle_seen.empty(); }));
    EXPECT_EQ(g_subtitle_seen, "Hello");
}

}  // namespace
