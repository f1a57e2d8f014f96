// Pictures on screen: the whole engine plays a clip in-process into an EGL
// pbuffer through the player loop's engine steps; the drawn pixels, the video
// textures, the subtitle text chosen, the position gate, the slide-show clock,
// a failed picture allocation and the GL state left behind are checked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <SDL/SDL.h>

#include "engine/media_open.h"
#include "engine/player_session.h"
#include "engine/video.h"
#include "engine_test_util.h"
#include "render/gl_context.h"
#include "render/video_planes.h"

namespace {

constexpr int SCREEN_W = 320;
constexpr int SCREEN_H = 240;

struct Rgb {
    int r, g, b;
};

class PictureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO), 0);
        av_log_set_level(AV_LOG_QUIET);
    }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override
    {
        ASSERT_TRUE(gl_context_create_pbuffer(&parts->out.gl, SCREEN_W, SCREEN_H));
        gl_programs_init();
    }
    void TearDown() override
    {
        close();
        video_path_override(VIDEO_PATH_AUTO);
        gl_programs_free();
        gl_context_destroy(&parts->out.gl);
    }
    int open(const std::string& clip)
    {
        close();
        return media_open(parts->context(), clip.c_str());
    }
    void close()
    {
        if (now.session)
            stream_close(now.session);
    }
    bool play_until(const std::function<bool()>& done, ResultCode* ended = nullptr)
    {
        return ::play_until(now.session, done, ended);
    }
    bool shown(int n) const { return now.session->stats.frames_shown >= n; }
    Rgb pixel(int x, int y)
    {
        glFinish();
        uint8_t px[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return Rgb{px[0], px[1], px[2]};
    }
    std::string clip(const std::string& name, const std::string& source, const std::string& codec)
    {
        std::string path = dir.file(name);
        EXPECT_TRUE(make_media("-f lavfi -i " + source + " " + codec + " " + path));
        return path;
    }

    ScratchDir dir;
    std::unique_ptr<EngineParts> parts = std::make_unique<EngineParts>(SCREEN_W, SCREEN_H);
    NowPlaying& now = parts->now;
};

void expect_colour(Rgb got, Rgb want, const std::string& what)
{
    EXPECT_TRUE(std::abs(got.r - want.r) < 60 && std::abs(got.g - want.g) < 60 &&
                std::abs(got.b - want.b) < 60)
        << what << ": " << got.r << "," << got.g << "," << got.b;
}

TEST_F(PictureTest, PicturesShowTheirColoursOnBothPathsAndConvertedFormats)
{
    const struct {
        VideoPath path;
        const char* colour;
        const char* format;
        Rgb want;
    } cases[] = {{VIDEO_PATH_YUV, "red", "yuv420p", {255, 0, 0}},
                 {VIDEO_PATH_RGB, "blue", "yuv420p", {0, 0, 255}},
                 {VIDEO_PATH_YUV, "red", "yuv422p", {255, 0, 0}}};
    for (const auto& c : cases) {
        std::string name = std::string(c.colour) + c.format + ".mp4";
        std::string path = clip(name, std::string("color=c=") + c.colour + ":s=200x120:r=25 -t 1",
                                std::string("-c:v libx264 -pix_fmt ") + c.format);
        video_path_override(c.path);
        ASSERT_EQ(open(path), RESULT_OK);
        EXPECT_EQ(now.yuv_path, c.path == VIDEO_PATH_YUV);
        ASSERT_TRUE(play_until([&] { return shown(3); }));
        expect_colour(pixel(SCREEN_W / 2, SCREEN_H / 2), c.want, name);
        expect_colour(pixel(SCREEN_W - 2, SCREEN_H / 2), c.want, name);
        // 4:2:2 is converted to 4:2:0 at its coded width.
        if (std::strcmp(c.format, "yuv422p") == 0) {
            EXPECT_TRUE(now.session->conversion_needed && now.display_width == 200);
        }
    }
}

TEST_F(PictureTest, DecoderPlanesAreUploadedAsTheyAreWithTheStrideCropped)
{
    std::string path = clip("narrow.mp4", "testsrc=s=200x120:r=25 -t 1", "-c:v libx264 -pix_fmt yuv420p");
    video_path_override(VIDEO_PATH_YUV);
    ASSERT_EQ(open(path), RESULT_OK);
    ASSERT_TRUE(play_until([&] { return shown(2); }));
    PlayerSession* s = now.session;
    EXPECT_FALSE(s->conversion_needed);
    EXPECT_EQ(s->pictq.entry.conv_frame, nullptr);
    // The texture is as wide as the decoder's rows, the quad shows the picture.
    ASSERT_NE(s->textures.y, nullptr);
    EXPECT_GE(now.display_width, 200);
    EXPECT_EQ(s->textures.y->width, now.display_width);
    EXPECT_EQ(s->textures.u->width, now.display_width / 2);
    EXPECT_EQ(now.video_width, 200);
    if (now.display_width > 200) {
        EXPECT_FLOAT_EQ(s->textures.y->texcoords[4], 200.0f / now.display_width);
    }
}

TEST_F(PictureTest, StillImageIsFittedToTheScreen)
{
    std::string png = clip("green.png", "color=c=green:s=640x480", "-frames:v 1");
    ASSERT_EQ(open(png), RESULT_OK);
    ASSERT_TRUE(play_until([&] { return shown(1); }));
    EXPECT_EQ(now.display_width, SCREEN_W);  // wider than high: screen-wide
    EXPECT_EQ(now.display_height, 480 * SCREEN_W / 640);
    expect_colour(pixel(SCREEN_W / 2, SCREEN_H / 2), Rgb{0, 128, 0}, "green");
}

TEST_F(PictureTest, SlideShowPositionIgnoresTheTimePaused)
{
    std::string png = clip("slide.png", "color=c=gray:s=160x120", "-frames:v 1");
    now.slideshow = 1;
    ASSERT_EQ(open(png), RESULT_OK);
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
    std::string path = clip("gate.mp4", "testsrc=s=160x120:r=25 -t 3", "-c:v libx264");
    ASSERT_EQ(open(path), RESULT_OK);
    ASSERT_TRUE(play_until([&] { return now.position_ms > 1000; }));
    // The next item's first pictures must not move the position set for it.
    now.position_ms = 12345;
    ASSERT_EQ(open(path), RESULT_OK);
    ASSERT_TRUE(play_until([&] { return shown(5); }));
    EXPECT_EQ(now.position_ms, 12345);
}

TEST_F(PictureTest, AFailedPictureAllocationEndsTheSession)
{
    std::string path = clip("alloc.mp4", "testsrc=s=160x120:r=25 -t 2", "-c:v libx264");
    // Every texture slot is taken: the entry's textures cannot be had.
    std::vector<TextureSlot*> taken;
    for (int i = 0; i < TEXTURE_SLOT_COUNT; i++) {
        TextureSlot* slot = nullptr;
        texture_slot_create(&slot, 8, 4, 4, false);
        taken.push_back(slot);
    }
    ASSERT_EQ(open(path), RESULT_OK);
    ResultCode ended = RESULT_OK;
    bool done = false;
    play_until([&] { return false; }, &ended);
    done = ended != RESULT_OK;
    EXPECT_TRUE(done) << "the session never ended";
    EXPECT_EQ(ended, ERR_OUT_OF_MEMORY);
    for (TextureSlot* slot : taken)
        texture_slot_free(slot);
}

TEST_F(PictureTest, BlendingIsAsTheInterfaceLeftItAfterTheSession)
{
    std::string path = clip("blend.mp4", "testsrc=s=160x120:r=25 -t 1", "-c:v libx264");
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
    // The controls drawn over the picture, as the player loop does.
    now.controls_visible = 1;
    now.draw_player_overlay = [](void*) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        gl_present();
    };
    ASSERT_EQ(open(path), RESULT_OK);
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
    std::string srt = dir.file("s.srt");
    { std::ofstream(srt) << "1\n00:00:00,000 --> 00:00:02,000\n{\\an8}<i>Hello</i>\n\n"; }
    std::string mkv = clip("sub.mkv", "color=c=gray:s=160x120:r=25 -i " + srt + " -t 2", "-c:v libx264 -c:s srt");
    g_subtitle_seen.clear();
    now.draw_subtitle_text = [](void*, const char* text) {
        if (text && text[0])
            g_subtitle_seen = text;
    };
    ASSERT_EQ(open(mkv), RESULT_OK);
    EXPECT_TRUE(play_until([&] { return !g_subtitle_seen.empty(); }));
    EXPECT_EQ(g_subtitle_seen, "Hello");
}

}  // namespace
