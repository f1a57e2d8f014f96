// Pictures on screen: the whole engine plays a clip in-process into an EGL
// pbuffer; the drawn pixels, the video textures and the subtitle text chosen
// are checked. Also the subtitle text clean-up.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include <SDL/SDL.h>

#include "platform/event_codes.h"
#include "app/app_state.h"
#include "engine/media_open.h"
#include "engine/player_session.h"
#include "engine/video.h"
#include "engine_test_util.h"
#include "render/gl_context.h"
#include "render/picture.h"

namespace {

constexpr int SCREEN_W = 320;
constexpr int SCREEN_H = 240;

struct Rgb {
    int r, g, b;
};

std::string g_subtitle_seen;

void remember_subtitle(AppState*, const char* text)
{
    if (text && text[0])
        g_subtitle_seen = text;
}

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
        app = app_create();
        ASSERT_NE(app, nullptr);
        screen_width = SCREEN_W;
        screen_height = SCREEN_H;
        app->out.window_width = SCREEN_W;
        app->out.window_height = SCREEN_H;
        app->settings.sound_on = 1;
        app->now.video_stream = app->now.audio_stream = app->now.subtitle_stream = -1;
        ASSERT_TRUE(gl_context_create_pbuffer(&app->out.gl, SCREEN_W, SCREEN_H));
        gl_programs_init();
        g_subtitle_seen.clear();
    }
    void TearDown() override
    {
        if (app->now.session)
            stream_close(app->now.session);
        video_path_override(VIDEO_PATH_AUTO);
        gl_programs_free();
        gl_context_destroy(&app->out.gl);
        app_destroy(app);
    }

    // Plays like the player loop until done() or the end of the media; the
    // bound only guards against a hang.
    bool play_until(const std::function<bool(PlayerSession*)>& done)
    {
        PlayerSession* s = app->now.session;
        auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
            SDL_Event ev;
            while (SDL_PollEvent(&ev)) {
                if (ev.type == EVENT_ALLOC_PICTURE && ev.user.data1 == s)
                    alloc_picture(s);
                if (ev.type == EVENT_SESSION_END && ev.user.data1 == s)
                    return done(s);
            }
            video_refresh(s);
            if (done(s))
                return true;
            SDL_Delay(5);
        }
        return false;
    }

    Rgb pixel(int x, int y)
    {
        glFinish();
        uint8_t px[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return Rgb{px[0], px[1], px[2]};
    }

    bool shown(PlayerSession* s, int n) { return s->stats.frames_shown >= n; }

    ScratchDir dir;
    AppState* app = nullptr;
};

void expect_colour(Rgb got, Rgb want, const char* what)
{
    EXPECT_NEAR(got.r, want.r, 60) << what;
    EXPECT_NEAR(got.g, want.g, 60) << what;
    EXPECT_NEAR(got.b, want.b, 60) << what;
}

TEST_F(PictureTest, PlanarPicturesShowTheirColoursOnBothPaths)
{
    for (VideoPath path : {VIDEO_PATH_YUV, VIDEO_PATH_RGB}) {
        for (const char* colour : {"red", "blue"}) {
            std::string clip = dir.file(std::string(colour) + ".mp4");
            ASSERT_TRUE(make_media(std::string("-f lavfi -i color=c=") + colour +
                                   ":s=200x120:r=25 -t 1 -c:v libx264 -pix_fmt yuv420p " + clip));
            video_path_override(path);
            ASSERT_EQ(media_open(app, clip.c_str()), 0);
            EXPECT_EQ(app->now.yuv_path, path == VIDEO_PATH_YUV);
            ASSERT_TRUE(play_until([&](PlayerSession* s) { return shown(s, 3); }));
            Rgb want = std::strcmp(colour, "red") == 0 ? Rgb{255, 0, 0} : Rgb{0, 0, 255};
            expect_colour(pixel(SCREEN_W / 2, SCREEN_H / 2), want, colour);
            expect_colour(pixel(SCREEN_W - 2, SCREEN_H / 2), want, colour);
            stream_close(app->now.session);
        }
    }
}

TEST_F(PictureTest, DecoderPlanesAreUploadedAsTheyAreWithTheStrideCropped)
{
    std::string clip = dir.file("narrow.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=200x120:r=25 -t 1 -c:v libx264 "
                           "-pix_fmt yuv420p " + clip));
    video_path_override(VIDEO_PATH_YUV);
    ASSERT_EQ(media_open(app, clip.c_str()), 0);
    ASSERT_TRUE(play_until([&](PlayerSession* s) { return shown(s, 2); }));
    PlayerSession* s = app->now.session;
    EXPECT_FALSE(s->conversion_needed);
    EXPECT_EQ(s->pictq.entry.conv_frame, nullptr);
    // The texture is as wide as the decoder's rows, the quad shows the picture.
    ASSERT_NE(s->tex_y, nullptr);
    EXPECT_GE(app->now.display_width, 200);
    EXPECT_EQ(s->tex_y->width, app->now.display_width);
    EXPECT_EQ(s->tex_u->width, app->now.display_width / 2);
    EXPECT_EQ(s->tex_v->height, 60);
    EXPECT_EQ(app->now.video_width, 200);
    if (app->now.display_width > 200) {
        EXPECT_FLOAT_EQ(s->tex_y->texcoords[4], 200.0f / app->now.display_width);
    }
}

TEST_F(PictureTest, FourTwoTwoIsConvertedAtItsCodedWidth)
{
    std::string clip = dir.file("422.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i color=c=red:s=200x120:r=25 -t 1 -c:v libx264 "
                           "-pix_fmt yuv422p " + clip));
    video_path_override(VIDEO_PATH_YUV);
    ASSERT_EQ(media_open(app, clip.c_str()), 0);
    ASSERT_TRUE(play_until([&](PlayerSession* s) { return shown(s, 2); }));
    PlayerSession* s = app->now.session;
    EXPECT_TRUE(s->conversion_needed);
    EXPECT_EQ(app->now.display_width, 200);
    ASSERT_NE(s->tex_y, nullptr);
    EXPECT_EQ(s->tex_y->width, 200);
    expect_colour(pixel(SCREEN_W / 2, SCREEN_H / 2), Rgb{255, 0, 0}, "422 red");
}

TEST_F(PictureTest, StillImageIsShownInPictureMode)
{
    std::string png = dir.file("green.png");
    ASSERT_TRUE(make_media("-f lavfi -i color=c=green:s=640x480 -frames:v 1 " + png));
    ASSERT_EQ(media_open(app, png.c_str()), 0);
    EXPECT_EQ(app->now.picture_mode, 1);
    ASSERT_TRUE(play_until([&](PlayerSession* s) { return shown(s, 1); }));
    // Fitted to the screen: wider than high, so screen-wide.
    EXPECT_EQ(app->now.display_width, SCREEN_W);
    EXPECT_EQ(app->now.display_height, 480 * SCREEN_W / 640);
    expect_colour(pixel(SCREEN_W / 2, SCREEN_H / 2), Rgb{0, 128, 0}, "green");
}

TEST_F(PictureTest, EmbeddedTextSubtitleIsShownWithoutMarkup)
{
    std::string srt = dir.file("s.srt");
    {
        FILE* f = std::fopen(srt.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("1\n00:00:00,000 --> 00:00:02,000\n{\\an8}<i>Hello</i>\n\n", f);
        std::fclose(f);
    }
    std::string clip = dir.file("sub.mkv");
    ASSERT_TRUE(make_media("-f lavfi -i color=c=gray:s=160x120:r=25 -i " + srt +
                           " -t 2 -c:v libx264 -c:s srt " + clip));
    app->now.draw_subtitle_text = remember_subtitle;
    ASSERT_EQ(media_open(app, clip.c_str()), 0);
    EXPECT_TRUE(play_until([&](PlayerSession*) { return !g_subtitle_seen.empty(); }));
    EXPECT_EQ(g_subtitle_seen, "Hello");
}

TEST(SubtitleText, MarkupIsDropped)
{
    char out[256];
    subtitle_plain_text("{\\b1}<i>Hello</i>{\\b0}", out, sizeof out);
    EXPECT_STREQ(out, "Hello");
    subtitle_plain_text("a<b", out, sizeof out);
    EXPECT_STREQ(out, "a");
    subtitle_dialogue_text("0,0,Default,,0,0,0,,{\\i1}Hello{\\i0}\\Nworld", out, sizeof out);
    EXPECT_STREQ(out, "Hello\nworld");
    subtitle_dialogue_text("Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Hi, there", out,
                           sizeof out);
    EXPECT_STREQ(out, "Hi, there");
    subtitle_dialogue_text("too,few,commas", out, sizeof out);
    EXPECT_STREQ(out, "");
    subtitle_plain_text("abcdef", out, 4);
    EXPECT_STREQ(out, "abc");
}

TEST(SubtitleText, RandomInputStaysInBounds)
{
    std::mt19937 rng(99);
    const char alphabet[] = "{}<>\\Nnh,ab Dialogue:";
    for (int round = 0; round < 2000; round++) {
        std::string in(rng() % 300, ' ');
        for (char& c : in)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        size_t size = 1 + rng() % 64;
        std::string out(size, '\x7f');
        subtitle_plain_text(in.c_str(), out.data(), size);
        ASSERT_NE(std::memchr(out.data(), '\0', size), nullptr);
        subtitle_dialogue_text(in.c_str(), out.data(), size);
        ASSERT_NE(std::memchr(out.data(), '\0', size), nullptr);
    }
}

}  // namespace
