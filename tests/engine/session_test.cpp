// In-process sessions. media_open: "now playing" fields, covers, tags,
// refused names, the seek request and network sources (sessions closed
// unplayed, mostly while their video thread waits for a picture allocation).
// Pictures: media played into an EGL pbuffer through the player loop's engine
// steps; drawn pixels, video textures, subtitle text, the position gate, the
// slide-show clock, a failed picture allocation and the GL state left behind.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

extern "C" {
#include <libavutil/base64.h>
#include <libavutil/log.h>
}

#include "engine/demux.h"
#include "engine/info_cache.h"
#include "engine/media_open.h"
#include "engine/now_playing.h"
#include "engine/player_session.h"
#include "engine/video.h"
#include "engine_test_util.h"
#include "platform/app_flags.h"
#include "platform/media_enums.h"
#include "platform/settings.h"
#include "render/gl_context.h"
#include "render/video_output.h"
#include "render/video_planes.h"
#include "subtitles/cue_table.h"
#include "tests/render/gl_test_support.h"

namespace {

// Sessions run in-process with SDL's dummy drivers, inside a scratch folder
// (covers are written below the working folder). Without use_gl a video
// thread's picture allocation is never answered, which closing must end.
class SessionTest : public ::testing::Test {
protected:
    static constexpr int SCREEN_W = 320, SCREEN_H = 240;
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
        // As start-up sets them for the screen, with sound on.
        out.screen_width = out.window_width = SCREEN_W;
        out.screen_height = out.window_height = SCREEN_H;
        settings.sound_on = 1;
        settings.slideshow_secs = 4;
        ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
    }
    void TearDown() override
    {
        close();
        video_path_override(VIDEO_PATH_AUTO);
        if (gl_) {
            gl_programs_free();
            gl_context_destroy(&out.gl);
        }
        EXPECT_EQ(chdir(old_cwd_), 0);
    }
    // A screen-sized pbuffer with the programs built, as the player has.
    void use_gl()
    {
        ASSERT_TRUE(gl_context_create_pbuffer(&out.gl, SCREEN_W, SCREEN_H));
        gl_programs_init();
        gl_ = true;
    }
    int open(const std::string& name)
    {
        close();
        now.video_stream = now.audio_stream = now.subtitle_stream = STREAM_AUTO;
        return media_open(EngineContext{&now, &out, &flags, &settings, &cues}, name.c_str());
    }
    // Makes dir/name from lavfi sources and opens it.
    void open_clip(const std::string& name, const std::vector<std::string>& sources,
                   const std::string& output)
    {
        ASSERT_TRUE(make_clip(dir.file(name), sources, output));
        ASSERT_EQ(open(dir.file(name)), RESULT_OK);
    }
    void close()
    {
        if (now.session)
            stream_close(now.session);
        flags_clear(&flags, APP_PLAYER_BUSY);
    }
    // The player loop's engine steps (events, then a tick) until done() or the
    // session ends; false after a 60 s guard. *ended gets the end result.
    bool play_until(const std::function<bool()>& done, ResultCode* ended = nullptr)
    {
        for (uint32_t start = SDL_GetTicks(); SDL_GetTicks() - start < 60000; SDL_Delay(5)) {
            for (SDL_Event ev; SDL_PollEvent(&ev);) {
                SessionEventOutcome outcome = player_session_handle_event(now.session, &ev);
                if (outcome.ended) {
                    if (ended)
                        *ended = outcome.result;
                    return done();
                }
            }
            player_session_tick(now.session);
            if (done())
                return true;
        }
        return false;
    }
    bool shown(int n) const { return now.session->stats.frames_shown >= n; }

    ScratchDir dir;
    // The parts of the application record the engine works on.
    FlagWord flags{0};
    Settings settings{};
    VideoOutput out{};
    NowPlaying now{};
    CueTable cues;

private:
    char old_cwd_[4096] = {};
    bool gl_ = false;
};

class MediaOpenTest : public SessionTest {};

TEST_F(MediaOpenTest, EmbeddedCoverIsWrittenAt480OnItsLongSideOnce)
{
    const struct {
        const char* name;
        const char* size;
        int w, h;
    } covers[] = {{"wide", "640x360", 480, 270}, {"tall", "300x600", 240, 480}};
    for (const auto& c : covers) {
        SCOPED_TRACE(c.name);
        std::string png = std::string(c.name) + ".png",
                    song = dir.file(std::string(c.name) + ".mp3");
        ASSERT_TRUE(make_media(std::string("-f lavfi -i color=c=blue:s=") + c.size +
                               " -frames:v 1 " + png));
        ASSERT_TRUE(make_media("-f lavfi -i sine=d=1 -i " + png +
                               " -map 0 -map 1 -c:a libmp3lame "
                               "-c:v png -disposition:v attached_pic -id3v2_version 3 " +
                               song));
        ASSERT_EQ(open(song), RESULT_OK);
        char expected[PATH_SIZE];
        thumb_file_name(song.c_str(), THUMB_COVER, expected, sizeof expected);
        EXPECT_STREQ(now.cover_path, expected);
        EXPECT_TRUE(now.audio_only && !now.no_audio);
        SDL_Surface* cover = IMG_Load(now.cover_path);
        ASSERT_NE(cover, nullptr);
        EXPECT_TRUE(cover->w == c.w && cover->h == c.h) << cover->w << "x" << cover->h;
        SDL_FreeSurface(cover);
        // A cover that exists already is pointed at, not written again.
        {
            std::ofstream(expected, std::ios::trunc) << "kept";
        }
        ASSERT_EQ(open(song), RESULT_OK);
        EXPECT_STREQ(now.cover_path, expected);
        EXPECT_EQ(read_file(expected), "kept");
    }
}

TEST_F(MediaOpenTest, DamagedPngCoverIsSkippedAndTheSongPlays)
{
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=64x64 -frames:v 1 c.png"));
    std::string song = dir.file("s.mp3");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=2 -i c.png -map 0 -map 1 -c:a libmp3lame -c:v png "
                           "-disposition:v attached_pic " +
                           song));
    std::string bytes = read_file(song);
    size_t png = bytes.find("\x89PNG\r\n\x1a\n");
    ASSERT_NE(png, std::string::npos);
    // The chunk after IHDR (signature 8, IHDR 12 + 13) now claims 4 KiB more
    // than the picture holds.
    bytes[png + 8 + 25 + 2] = 0x10;
    {
        std::ofstream(song, std::ios::binary | std::ios::trunc) << bytes;
    }
    // The image library loops forever on such a PNG: the open runs in a child
    // whose watchdog ends it if the open does not come back.
    EXPECT_EXIT(
        {
            std::thread([] {
                std::this_thread::sleep_for(std::chrono::seconds(20));
                std::_Exit(3);
            }).detach();
            int opened = open(song);
            bool placeholder = std::strcmp(now.cover_path, "images/placeholder.png") == 0;
            bool played = play_until([&] { return now.session->stats.audio_bytes_out > 8000; });
            std::_Exit(opened == RESULT_OK && placeholder && played ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(MediaOpenTest, EachKindOfMediaSetsItsFields)
{
    std::string maps;
    for (int i = 0; i < 40; i++)
        maps += " -map 0:a";
    ASSERT_TRUE(make_clip("photo.png", {"testsrc=s=320x200"}, "-frames:v 1"));
    ASSERT_TRUE(make_clip("slides.mkv", {"testsrc=s=160x120:r=2", "sine=d=1"},
                          "-t 1 -c:v png -c:a pcm_s16le"));
    ASSERT_TRUE(
        make_clip("tracks.mkv", {"anullsrc=r=8000:cl=mono"}, "-t 0.3" + maps + " -c:a pcm_s16le"));
    ASSERT_TRUE(
        make_clip("v.mp4", {"testsrc=s=320x240:r=25", "sine"}, std::string("-t 2 ") + H264_AAC));
    ASSERT_EQ(open(dir.file("photo.png")), RESULT_OK);
    EXPECT_TRUE(now.still_image && now.picture_mode && !now.yuv_path && !now.skip_first_picture);
    EXPECT_TRUE(!now.audio_only && now.no_audio && now.cover_path[0] == '\0');
    // A picture codec with sound plays as ordinary video.
    ASSERT_EQ(open(dir.file("slides.mkv")), RESULT_OK);
    EXPECT_TRUE(!now.still_image && !now.picture_mode && now.video_codec_id == AV_CODEC_ID_PNG);
    // Forty audio streams fill the 32 entries of the track table.
    ASSERT_EQ(open(dir.file("tracks.mkv")), RESULT_OK);
    EXPECT_STREQ(now.cover_path, "images/placeholder.png");
    ASSERT_EQ(now.audio_track_count, 32);
    EXPECT_TRUE(now.audio_track_table[31] == 31 && now.audio_stream == 0);
    settings.sound_on = 0;
    ASSERT_EQ(open(dir.file("v.mp4")), RESULT_OK);
    EXPECT_TRUE(now.video_width == 320 && now.video_height == 240 && !now.audio_only &&
                !now.no_audio);
    EXPECT_NEAR(now.duration_ms, 2000, 100);
    EXPECT_EQ(now.sound_on.load(), 0);  // taken from the settings at open
    EXPECT_TRUE(flags_any(&flags, APP_PLAYER_BUSY) && now.session);
}

TEST_F(MediaOpenTest, LaterTagInContainerOrderWinsAndLongTagsAreCut)
{
    const std::string x100(100, 'x');
    const struct {
        std::string tags, artist, album, genre;
    } cases[] = {
        {"-metadata artist=Early -metadata TPE1=Late -metadata TALB=Record -metadata genre=Jazz",
         "Late", "Record", "Jazz"},
        {"-metadata TPE1=Early -metadata artist=Late -metadata album=Disc -metadata TCON=Blues",
         "Late", "Disc", "Blues"},
        {"-metadata artist=" + x100 + " -metadata genre=" + x100, std::string(63, 'x'), "",
         std::string(31, 'x')},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tags);
        open_clip("t" + std::to_string(n++) + ".nut", {"sine=d=0.5"}, c.tags + " -c:a pcm_s16le");
        EXPECT_TRUE(now.artist == c.artist && now.album == c.album && now.genre == c.genre);
    }
}

TEST(EngineNumbers, AbsurdDurationsAndAspectsStayInRange)
{
    const struct {
        int64_t us;
        int32_t ms;
    } durations[] = {{0, 0},
                     {-5, 0},
                     {1999999, 1999},
                     {int64_t{INT32_MAX} * 1000, INT32_MAX},
                     {int64_t{1} << 50, INT32_MAX},
                     {INT64_MAX, INT32_MAX}};
    for (const auto& d : durations)
        EXPECT_EQ(duration_ms_from_us(d.us), d.ms) << d.us;
    const struct {
        int w, h;
        AVRational sar;
        double aspect;
    } aspects[] = {{720, 576, {16, 15}, 4.0 / 3},
                   {640, 480, {0, 1}, 4.0 / 3},
                   {640, 480, {1, 0}, 4.0 / 3},
                   {0, 480, {1, 1}, 1.0},
                   {3840, 2160, {1000000007, 1000000000}, 3840.0 * 1.000000007 / 2160},
                   {4096, 16, {1, INT_MAX}, 4096.0 / 16 / INT_MAX}};
    for (const auto& a : aspects) {
        SCOPED_TRACE(std::to_string(a.w) + " " + std::to_string(a.sar.num));
        int32_t num = 0, den = 0;
        display_aspect_for(a.w, a.h, a.sar, &num, &den);
        ASSERT_TRUE(num > 0 && den > 0);
        EXPECT_NEAR(static_cast<double>(num) / den / a.aspect, 1.0, 1e-6);
    }
}

TEST_F(MediaOpenTest, UnreadableNamesFailWithoutASession)
{
    std::string wav = dir.file("ok.wav");
    ASSERT_TRUE(make_clip(wav, {"sine=d=0.5"}, ""));
    {
        std::ofstream(dir.file("junk.mp4")) << std::string(5000, 'J');
    }
    // Local names never reach other protocols.
    for (const std::string& name :
         {dir.file("missing.mp4"), dir.file("junk.mp4"), "concat:" + wav + "|" + wav,
          "subfile,,start,0,end,0,,:" + wav, std::string("data:audio/wav;base64,AAAA")}) {
        EXPECT_EQ(open(name), ERR_MEDIA_OPEN) << name;
        EXPECT_TRUE(now.session == nullptr && !flags_any(&flags, APP_PLAYER_BUSY)) << name;
    }
    EXPECT_EQ(open(wav), RESULT_OK);
    EXPECT_EQ(open("file:" + wav), RESULT_OK);
}

TEST_F(MediaOpenTest, SeekWhilePendingMovesOnlyTheShownPosition)
{
    open_clip("tone.wav", {"sine=d=5"}, "");
    PlayerSession* s = now.session;
    // While paused the demux thread carries out no seek, so the first
    // request stays pending.
    toggle_pause(s);
    SDL_Delay(50);
    double frozen = get_video_clock(s);
    flags_set(&flags, APP_REENTER_PLAYER);
    stream_seek(s, 3000, 0);
    EXPECT_FALSE(flags_any(&flags, APP_REENTER_PLAYER));
    stream_seek(s, 1000, 0);
    EXPECT_TRUE(s->seek_req == 1 && s->seek_pos == 3000 * 1000);
    EXPECT_EQ(now.position_ms, now.media_start_ms + 1000);
    EXPECT_EQ(now.shown_position_ms, now.media_start_ms + 1000);
    EXPECT_EQ(get_video_clock(s), frozen);
    toggle_pause(s);
    EXPECT_EQ(s->paused, 0);
}

// An HTTP server on 127.0.0.1, one connection at a time, answering a request
// for a path with its body. With stall_after it sends only that many bytes
// of a body announced as 100 times longer, then goes quiet until destroyed.
class LocalHttpServer {
public:
    explicit LocalHttpServer(std::map<std::string, std::string> bodies, size_t stall_after = 0)
        : bodies_(std::move(bodies)), stall_(stall_after)
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) == 0 && listen(fd_, 4) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            url_ = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalHttpServer()
    {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);  // ends the accept
        thread_.join();
        ::close(fd_);
    }
    std::string url(const std::string& path) const { return url_ + path; }
    int requests() const { return requests_; }

private:
    void serve()
    {
        for (int c; (c = accept(fd_, nullptr, nullptr)) >= 0; ::close(c)) {
            char req[4096] = {};
            if (recv(c, req, sizeof req - 1, 0) <= 0)
                continue;
            requests_++;
            const std::string& body =
                bodies_[std::string(req + 4, std::strcspn(req + 4, " "))];  // "GET /path "
            std::string out = "HTTP/1.1 200 OK\r\nContent-Length: " +
                              std::to_string(body.size() * (stall_ ? 100 : 1)) +
                              "\r\nConnection: close\r\n\r\n" +
                              body.substr(0, stall_ ? stall_ : std::string::npos);
            send(c, out.data(), out.size(), MSG_NOSIGNAL);
            while (stall_ && !stop_)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::map<std::string, std::string> bodies_;
    size_t stall_;
    int fd_ = socket(AF_INET, SOCK_STREAM, 0);
    std::string url_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

TEST_F(MediaOpenTest, RemotePlaylistReachesOnlyTheNetwork)
{
    std::string local = dir.file("local.ts");
    ASSERT_TRUE(make_clip(local, {"sine=d=1"}, "-c:a mp2"));
    std::string bytes = read_file(local), inline_data(AV_BASE64_SIZE(bytes.size()), '\0');
    av_base64_encode(inline_data.data(), inline_data.size(),
                     reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    // Segments that name a local file, a concatenation or inline data are
    // refused; one on the network plays.
    const struct {
        std::string segment;
        int result;
    } cases[] = {
        {"file://" + local, ERR_MEDIA_OPEN},
        {"concat:" + local + "|" + local, ERR_MEDIA_OPEN},
        {"data:video/mp2t;base64," + inline_data.substr(0, inline_data.find('\0')), ERR_MEDIA_OPEN},
        {"/seg.ts", RESULT_OK}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.segment.substr(0, 40));
        LocalHttpServer server({{"/list.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n" +
                                                   c.segment + "\n#EXT-X-ENDLIST\n"},
                                {"/seg.ts", bytes}});
        EXPECT_EQ(open(server.url("/list.m3u8")), c.result);
        EXPECT_TRUE(server.requests() >= 1 && (now.session != nullptr) == (c.result == RESULT_OK));
    }
}

TEST_F(MediaOpenTest, ClosingWhileTheNetworkStallsReturns)
{
    ASSERT_TRUE(make_clip("tone.wav", {"sine=d=10"}, "-c:a pcm_s16le"));
    // Enough arrives to open the stream, then the connection goes quiet: the
    // demux thread sits in a network read when the session is closed.
    LocalHttpServer server({{"/tone.wav", read_file(dir.file("tone.wav"))}}, 300000);
    ASSERT_EQ(open(server.url("/tone.wav")), RESULT_OK);
    SDL_Delay(300);
    close();  // returns only when every thread has ended
    EXPECT_EQ(now.session, nullptr);
}

class PictureTest : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        use_gl();
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
    enum Upload { AS_DECODED, CONVERTED, FITTED, ANY };
    const struct {
        VideoPath path;
        const char* colour;
        const char* pix_fmt;
        uint8_t want[3];
        Upload upload;
    } cases[] = {// 200 wide: the decoder's rows are padded, the YUV quad crops them off.
                 {VIDEO_PATH_YUV, "red", "yuv420p", {255, 0, 0}, AS_DECODED},
                 {VIDEO_PATH_RGB, "blue", "yuv420p", {0, 0, 255}, ANY},
                 // 4:2:2 is converted to 4:2:0 at its coded width.
                 {VIDEO_PATH_YUV, "red", "yuv422p", {255, 0, 0}, CONVERTED},
                 // A still image, like every RGBA picture, is converted to the size it
                 // is shown at (Fill: the whole window) and drawn 1:1.
                 {VIDEO_PATH_AUTO, "green", nullptr, {0, 128, 0}, FITTED}};
    int n = 0;
    for (const auto& c : cases) {
        const bool still = c.upload == FITTED;
        const std::string source = std::string("color=c=") + c.colour +
                                   (still ? ":s=640x120" : ":s=200x120:r=25");
        SCOPED_TRACE(source + " " + (still ? "png" : c.pix_fmt));
        video_path_override(c.path);
        open_clip(std::to_string(n++) + (still ? ".png" : ".mp4"), {source},
                  still ? "-frames:v 1" : std::string("-t 1 -c:v libx264 -pix_fmt ") + c.pix_fmt);
        EXPECT_EQ(now.yuv_path, c.path == VIDEO_PATH_YUV);
        ASSERT_TRUE(play_until([&] { return shown(still ? 1 : 3); }));
        glFinish();
        expect_colour(SCREEN_W / 2, SCREEN_H / 2, c.want);
        expect_colour(SCREEN_W - 2, SCREEN_H / 2, c.want);
        PlayerSession* s = now.session;
        if (c.upload == AS_DECODED) {
            EXPECT_TRUE(!s->conversion_needed && s->pictq.entry.conv_frame == nullptr);
            ASSERT_TRUE(now.display_width >= 200 && s->textures.y && s->textures.u);
            EXPECT_TRUE(s->textures.y->width == now.display_width &&
                        s->textures.u->width == now.display_width / 2);
            EXPECT_FLOAT_EQ(s->textures.y->texcoords[4], 200.0f / now.display_width);
        }
        EXPECT_TRUE(c.upload != CONVERTED || (s->conversion_needed && now.display_width == 200));
        EXPECT_TRUE(now.yuv_path ||
                    (now.display_width == SCREEN_W && now.display_height == SCREEN_H));
    }
}

TEST_F(PictureTest, SlideShowPositionIgnoresTheTimePaused)
{
    now.slideshow = 1;
    open_clip("slide.png", {"color=c=gray:s=160x120"}, "-frames:v 1");
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
    open_clip("gate.mp4", {"testsrc=s=160x120:r=25"}, "-t 3 -c:v libx264");
    ASSERT_TRUE(play_until([&] { return now.position_ms > 1000; }));
    // The next item's first pictures must not move the position set for it.
    now.position_ms = 12345;
    ASSERT_EQ(open(dir.file("gate.mp4")), RESULT_OK);
    ASSERT_TRUE(play_until([&] { return shown(5); }));
    EXPECT_EQ(now.position_ms, 12345);
}

TEST_F(PictureTest, AFailedPictureAllocationEndsTheSession)
{
    SlotHog hog;  // every texture slot is taken: the entry's textures cannot be had
    hog.take();
    open_clip("alloc.mp4", {"testsrc=s=160x120:r=25"}, "-t 2 -c:v libx264");
    ResultCode ended = RESULT_OK;
    play_until([] { return false; }, &ended);
    EXPECT_EQ(ended, ERR_OUT_OF_MEMORY) << "the session never ended";
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
    open_clip("blend.mp4", {"testsrc=s=160x120:r=25"}, "-t 1 -c:v libx264");
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
    {
        std::ofstream(dir.file("s.srt"))
            << "1\n00:00:00,000 --> 00:00:02,000\n{\\an8}<i>Hello</i>\n\n";
    }
    now.draw_subtitle_text = [](void*, const char* text) {
        if (text && text[0])
            g_subtitle_seen = text;
    };
    open_clip("sub.mkv", {"color=c=gray:s=160x120:r=25 -i s.srt"}, "-t 2 -c:v libx264 -c:s srt");
    EXPECT_TRUE(play_until([&] { return !g_subtitle_seen.empty(); }));
    EXPECT_EQ(g_subtitle_seen, "Hello");
}

// An ".srt" beside the film loads with the item unless subtitles are off,
// also for the automatic choice a film without subtitle streams keeps; the
// next item empties the table.
TEST_F(SessionTest, TheSubtitleFileLoadsUnlessSubtitlesAreOff)
{
    std::ofstream(dir.file("film.srt")) << "1\n00:00:00,200 --> 00:00:00,800\nHi\n";
    ASSERT_TRUE(
        make_clip(dir.file("film.mp4"), {"color=c=gray:s=160x120:r=25"}, "-t 1 -c:v libx264"));
    const struct {
        int choice;
        const char* subtitle_path;
        int cues_loaded;
    } cases[] = {
        {STREAM_AUTO, "film.srt", 1}, {0, "film.srt", 1},           {SUBTITLES_OFF, "film.srt", 0},
        {STREAM_AUTO, "", 0},         {STREAM_AUTO, "nope.srt", 0},
    };
    for (const auto& c : cases) {
        close();
        std::snprintf(now.subtitle_path, sizeof now.subtitle_path, "%s",
                      c.subtitle_path[0] ? dir.file(c.subtitle_path).c_str() : "");
        now.video_stream = now.audio_stream = STREAM_AUTO;
        now.subtitle_stream = c.choice;
        ASSERT_EQ(media_open(EngineContext{&now, &out, &flags, &settings, &cues},
                             dir.file("film.mp4").c_str()),
                  RESULT_OK);
        EXPECT_EQ(cues.count, c.cues_loaded) << c.choice << " " << c.subtitle_path;
    }
}

std::vector<std::string> g_texts_drawn;

// The cue's text, converted from the chosen character set, reaches the
// subtitle hook at its start and is cleared at its end.
TEST_F(PictureTest, ASubtitleFileIsShownFromItsCueStartToItsEnd)
{
    std::ofstream(dir.file("film.srt"))
        << "1\r\n00:00:00,200 --> 00:00:00,800\r\n<i>\xCF\xF0\xE8\xE2\xE5\xF2</i>\r\n\r\n";
    std::snprintf(settings.subtitle_charset, sizeof settings.subtitle_charset, "%s",
                  "CP1251 (ANSI Cyrillic)");
    std::snprintf(now.subtitle_path, sizeof now.subtitle_path, "%s", dir.file("film.srt").c_str());
    g_texts_drawn.clear();
    now.draw_subtitle_text = [](void*, const char* text) {
        if (g_texts_drawn.empty() || g_texts_drawn.back() != text)
            g_texts_drawn.push_back(text);
    };
    open_clip("film.mp4", {"color=c=gray:s=160x120:r=25"}, "-t 1.5 -c:v libx264");
    EXPECT_TRUE(play_until([&] { return g_texts_drawn.size() >= 2; }));
    EXPECT_EQ(g_texts_drawn, (std::vector<std::string>{"Привет", ""}));
}

}  // namespace
