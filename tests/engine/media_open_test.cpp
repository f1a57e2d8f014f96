// media_open: "now playing" fields, cover pictures, still images, the audio
// track table, tags, refused names and damaged files. The session each open
// starts is closed again at once (its video thread is left waiting for a
// picture allocation that nobody answers, which the close must end).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "app/app_state.h"
#include "engine/demux.h"
#include "engine/media_open.h"
#include "engine/player_session.h"
#include "engine/video.h"
#include "engine_test_util.h"

namespace {

class SdlEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO), 0);
        av_log_set_level(AV_LOG_QUIET);
    }
    void TearDown() override { SDL_Quit(); }
};
const auto* const g_sdl = ::testing::AddGlobalTestEnvironment(new SdlEnvironment);

class MediaOpenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        app = app_create();
        ASSERT_NE(app, nullptr);
        app->settings.sound_on = 1;
        app->now.video_stream = app->now.audio_stream = app->now.subtitle_stream = -1;
    }
    void TearDown() override
    {
        close_session();
        app_destroy(app);
        EXPECT_EQ(chdir(old_cwd), 0);
    }
    int open(const std::string& name)
    {
        close_session();
        app->now.video_stream = app->now.audio_stream = app->now.subtitle_stream = -1;
        return media_open(app, name.c_str());
    }
    void close_session()
    {
        if (app && app->now.session)
            stream_close(app->now.session);
        if (app)
            app->flags &= ~APP_PLAYER_BUSY;
    }

    ScratchDir dir;
    char old_cwd[4096];
    AppState* app = nullptr;
};

bool image_size(const std::string& path, int* w, int* h)
{
    SDL_Surface* s = IMG_Load(path.c_str());
    if (!s)
        return false;
    *w = s->w;
    *h = s->h;
    SDL_FreeSurface(s);
    return true;
}

TEST_F(MediaOpenTest, EmbeddedCoverIsWrittenAt480OnItsLongSide)
{
    ASSERT_TRUE(make_media("-f lavfi -i color=c=blue:s=640x360 -frames:v 1 wide.png"));
    ASSERT_TRUE(make_media("-f lavfi -i color=c=red:s=300x600 -frames:v 1 tall.png"));
    for (const char* cover : {"wide", "tall"}) {
        std::string song = dir.file(std::string(cover) + ".mp3");
        ASSERT_TRUE(make_media(std::string("-f lavfi -i sine=d=1 -i ") + cover +
                               ".png -map 0 -map 1 -c:a libmp3lame -c:v png "
                               "-disposition:v attached_pic -id3v2_version 3 " + song));
        ASSERT_EQ(open(song), 0);
        char expected[PATH_SIZE];
        cover_thumb_path(song.c_str(), expected, sizeof expected);
        EXPECT_STREQ(app->now.cover_path, expected);
        EXPECT_EQ(app->now.audio_only, 1);
        EXPECT_EQ(app->now.no_audio, 0);
        int w = 0, h = 0;
        ASSERT_TRUE(image_size(app->now.cover_path, &w, &h)) << app->now.cover_path;
        if (std::strcmp(cover, "wide") == 0) {
            EXPECT_EQ(w, 480);
            EXPECT_EQ(h, 270);
        } else {
            EXPECT_EQ(w, 240);
            EXPECT_EQ(h, 480);
        }
    }
}

TEST_F(MediaOpenTest, ExistingCoverIsReusedNotRewritten)
{
    ASSERT_TRUE(make_media("-f lavfi -i color=c=blue:s=64x64 -frames:v 1 c.png"));
    std::string song = dir.file("s.mp3");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=1 -i c.png -map 0 -map 1 -c:a libmp3lame -c:v png "
                           "-disposition:v attached_pic " + song));
    ASSERT_EQ(open(song), 0);
    std::string path = app->now.cover_path;
    { std::ofstream(path, std::ios::trunc) << "kept"; }
    ASSERT_EQ(open(song), 0);
    EXPECT_EQ(std::string(app->now.cover_path), path);
    EXPECT_EQ(read_file(path), "kept");
}

TEST_F(MediaOpenTest, AudioWithoutCoverShowsThePlaceholder)
{
    std::string song = dir.file("plain.wav");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=1 " + song));
    ASSERT_EQ(open(song), 0);
    EXPECT_STREQ(app->now.cover_path, "images/placeholder.png");
    EXPECT_EQ(app->now.audio_only, 1);
    EXPECT_EQ(app->now.audio_track_count, 1);
}

TEST_F(MediaOpenTest, LonePictureIsAStillImageInPictureMode)
{
    std::string png = dir.file("photo.png");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=320x200 -frames:v 1 " + png));
    ASSERT_EQ(open(png), 0);
    EXPECT_EQ(app->now.still_image, 1);
    EXPECT_EQ(app->now.picture_mode, 1);
    EXPECT_EQ(app->now.yuv_path, 0);
    EXPECT_EQ(app->now.skip_first_picture, 0);
    EXPECT_EQ(app->now.audio_only, 0);
    EXPECT_EQ(app->now.no_audio, 1);
    EXPECT_EQ(app->now.video_width, 320);
    EXPECT_EQ(app->now.video_height, 200);
    EXPECT_EQ(app->now.cover_path[0], '\0');
}

TEST_F(MediaOpenTest, PictureWithAudioPlaysAsOrdinaryVideo)
{
    std::string mkv = dir.file("slides.mkv");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=160x120:r=2 -f lavfi -i sine=d=1 -t 1 "
                           "-c:v png -c:a pcm_s16le " + mkv));
    ASSERT_EQ(open(mkv), 0);
    EXPECT_EQ(app->now.still_image, 0);
    EXPECT_EQ(app->now.picture_mode, 0);
    EXPECT_EQ(app->now.video_codec_id, AV_CODEC_ID_PNG);
}

TEST_F(MediaOpenTest, FortyAudioStreamsFillThirtyTwoTrackEntries)
{
    std::string maps;
    for (int i = 0; i < 40; i++)
        maps += " -map 0:a";
    std::string mkv = dir.file("tracks.mkv");
    ASSERT_TRUE(make_media("-f lavfi -i anullsrc=r=8000:cl=mono -t 0.3" + maps +
                           " -c:a pcm_s16le " + mkv));
    ASSERT_EQ(open(mkv), 0);
    ASSERT_EQ(app->now.audio_track_count, 32);
    for (int i = 0; i < 32; i++)
        EXPECT_EQ(app->now.audio_track_table[i], i);
    EXPECT_EQ(app->now.audio_stream, 0);
}

TEST_F(MediaOpenTest, LaterTagInContainerOrderWins)
{
    std::string first = dir.file("a.nut"), second = dir.file("b.nut");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=0.5 -metadata artist=Early -metadata TPE1=Late "
                           "-metadata TALB=Record -metadata genre=Jazz -c:a pcm_s16le " + first));
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=0.5 -metadata TPE1=Early -metadata artist=Late "
                           "-metadata album=Disc -metadata TCON=Blues -c:a pcm_s16le " + second));
    ASSERT_EQ(open(first), 0);
    EXPECT_STREQ(app->now.artist, "Late");
    EXPECT_STREQ(app->now.album, "Record");
    EXPECT_STREQ(app->now.genre, "Jazz");
    ASSERT_EQ(open(second), 0);
    EXPECT_STREQ(app->now.artist, "Late");
    EXPECT_STREQ(app->now.album, "Disc");
    EXPECT_STREQ(app->now.genre, "Blues");
}

TEST_F(MediaOpenTest, LongTagsAreCutToTheirFields)
{
    std::string nut = dir.file("long.nut");
    std::string long_text(100, 'x');
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=0.5 -metadata artist=" + long_text +
                           " -metadata genre=" + long_text + " -c:a pcm_s16le " + nut));
    ASSERT_EQ(open(nut), 0);
    EXPECT_EQ(std::strlen(app->now.artist), 63u);
    EXPECT_EQ(std::strlen(app->now.genre), 31u);
}

TEST_F(MediaOpenTest, VideoFieldsAndDuration)
{
    std::string mp4 = dir.file("v.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=320x240:r=25 -f lavfi -i sine -t 2 "
                           "-c:v libx264 -c:a aac " + mp4));
    ASSERT_EQ(open(mp4), 0);
    EXPECT_EQ(app->now.audio_only, 0);
    EXPECT_EQ(app->now.no_audio, 0);
    EXPECT_EQ(app->now.video_width, 320);
    EXPECT_EQ(app->now.video_height, 240);
    EXPECT_EQ(app->now.video_codec_id, AV_CODEC_ID_H264);
    EXPECT_EQ(app->now.audio_codec_id, AV_CODEC_ID_AAC);
    EXPECT_NEAR(app->now.duration_ms, 2000, 100);
    EXPECT_EQ(app->now.duration_unknown, 0);
    EXPECT_NE(app->flags & APP_PLAYER_BUSY, 0u);
    EXPECT_NE(app->now.session, nullptr);
}

TEST_F(MediaOpenTest, UnreadableNamesFailWithoutASession)
{
    std::string wav = dir.file("ok.wav");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=0.5 " + wav));
    { std::ofstream(dir.file("junk.mp4")) << std::string(5000, 'J'); }
    // Local names never reach other protocols.
    for (const std::string& name : {dir.file("missing.mp4"), dir.file("junk.mp4"),
                                    "concat:" + wav + "|" + wav, "subfile,,start,0,end,0,,:" + wav,
                                    std::string("data:audio/wav;base64,AAAA")}) {
        EXPECT_EQ(open(name), -1) << name;
        EXPECT_EQ(app->now.session, nullptr);
        EXPECT_EQ(app->flags & APP_PLAYER_BUSY, 0u);
    }
    EXPECT_EQ(open(wav), 0);
    EXPECT_EQ(open("file:" + wav), 0);
}

TEST_F(MediaOpenTest, DamagedFilesNeverCrashOrHang)
{
    std::string mp4 = dir.file("src.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=160x120:r=25 -f lavfi -i sine -t 1 "
                           "-c:v libx264 -g 5 -c:a aac " + mp4));
    std::string good = read_file(mp4);
    ASSERT_GT(good.size(), 1000u);
    std::mt19937 rng(1234);
    std::string damaged = dir.file("damaged.mp4");
    for (int round = 0; round < 40; round++) {
        std::string bytes = good;
        if (round % 2 == 0) {
            bytes.resize(rng() % bytes.size());
        } else {
            for (int i = 0; i < 20; i++)
                bytes[rng() % bytes.size()] = static_cast<char>(rng());
        }
        { std::ofstream(damaged, std::ios::binary | std::ios::trunc) << bytes; }
        int ret = open(damaged);
        EXPECT_TRUE(ret == 0 || ret == -1);
        if (ret == 0)
            SDL_Delay(20);  // let the threads run into the damage
    }
}

TEST_F(MediaOpenTest, SeekWhilePendingMovesOnlyTheShownPosition)
{
    std::string wav = dir.file("tone.wav");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=5 " + wav));
    ASSERT_EQ(open(wav), 0);
    PlayerSession* s = app->now.session;
    // While paused the demux thread carries out no seek, so the first
    // request stays pending.
    toggle_pause(s);
    SDL_Delay(50);
    double frozen = get_video_clock(s);
    app->flags |= APP_REENTER_PLAYER;
    stream_seek(s, app, 3000, 0);
    EXPECT_EQ(app->flags & APP_REENTER_PLAYER, 0u);
    stream_seek(s, app, 1000, 0);
    EXPECT_EQ(s->seek_req, 1);
    EXPECT_EQ(s->seek_pos, 3000 * 1000);
    EXPECT_EQ(app->now.position_ms, app->now.media_start_ms + 1000);
    EXPECT_EQ(app->now.shown_position_ms, app->now.media_start_ms + 1000);
    EXPECT_EQ(get_video_clock(s), frozen);
    toggle_pause(s);
    EXPECT_EQ(s->paused, 0);
}

// A one-connection-at-a-time HTTP server on 127.0.0.1 that answers every
// request with the same body; with stall set it sends only the first
// stall_after bytes of a body it announces as much longer, then waits.
class LocalHttpServer {
public:
    LocalHttpServer(std::string body, size_t stall_after = 0)
        : body_(std::move(body)), stall_after_(stall_after)
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd_, 4) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalHttpServer()
    {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int requests() const { return requests_; }

private:
    bool wait_readable(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        while (!stop_)
            if (poll(&p, 1, 20) > 0)
                return true;
        return false;
    }
    void serve()
    {
        while (wait_readable(fd_)) {
            int c = accept(fd_, nullptr, nullptr);
            if (c < 0)
                continue;
            char req[4096];
            if (wait_readable(c) && recv(c, req, sizeof req, 0) > 0) {
                requests_++;
                size_t announced = stall_after_ ? body_.size() * 100 : body_.size();
                std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " +
                                   std::to_string(announced) + "\r\nConnection: close\r\n\r\n";
                std::string out = head + (stall_after_ ? body_.substr(0, stall_after_) : body_);
                send(c, out.data(), out.size(), MSG_NOSIGNAL);
                if (stall_after_)
                    while (!stop_)
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            close(c);
        }
    }

    std::string body_;
    size_t stall_after_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

std::string base64(const std::string& in)
{
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t v = static_cast<uint8_t>(in[i]) << 16;
        if (i + 1 < in.size())
            v |= static_cast<uint8_t>(in[i + 1]) << 8;
        if (i + 2 < in.size())
            v |= static_cast<uint8_t>(in[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < in.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < in.size() ? digits[v & 63] : '=';
    }
    return out;
}

std::string playlist_of(const std::string& segment)
{
    return "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n" + segment + "\n#EXT-X-ENDLIST\n";
}

TEST_F(MediaOpenTest, RemotePlaylistReachesOnlyTheNetwork)
{
    std::string local = dir.file("local.ts");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=1 -c:a mp2 " + local));
    // Segments that name a local file, a concatenation or inline data are refused.
    for (const std::string& segment :
         {"file://" + local, "concat:" + local + "|" + local,
          "data:video/mp2t;base64," + base64(read_file(local))}) {
        LocalHttpServer server(playlist_of(segment));
        EXPECT_EQ(open(server.url("/list.m3u8")), -1) << segment.substr(0, 40);
        EXPECT_GE(server.requests(), 1);
        EXPECT_EQ(app->now.session, nullptr);
    }
    // A segment on the network plays.
    LocalHttpServer segment_server(read_file(local));
    LocalHttpServer list_server(playlist_of(segment_server.url("/seg.ts")));
    EXPECT_EQ(open(list_server.url("/list.m3u8")), 0);
}

TEST_F(MediaOpenTest, ClosingWhileTheNetworkStallsReturns)
{
    std::string wav = dir.file("tone.wav");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=10 -c:a pcm_s16le " + wav));
    std::string body = read_file(wav);
    // Enough arrives to open the stream, then the connection goes quiet: the
    // demux thread sits in a network read when the session is closed.
    LocalHttpServer server(body, 300000);
    ASSERT_EQ(open(server.url("/tone.wav")), 0);
    SDL_Delay(300);
    close_session();  // returns only when every thread has ended
    EXPECT_EQ(app->now.session, nullptr);
}

TEST(ThumbName, SixteenLettersFromAToPAndStable)
{
    char a[17], b[17], c[17];
    thumb_name_of("/media/music/song.mp3", a);
    thumb_name_of("/media/music/song.mp3", b);
    thumb_name_of("/media/music/song.mp4", c);
    EXPECT_STREQ(a, b);
    EXPECT_STRNE(a, c);
    EXPECT_EQ(std::strlen(a), 16u);
    for (char ch : std::string(a))
        EXPECT_TRUE(ch >= 'a' && ch <= 'p');
    // "ab": step 1 sums 'a' + 'b' = 195 -> 3 -> 'd'; step 2 takes only 'a' * 2.
    thumb_name_of("ab", a);
    EXPECT_EQ(a[0], 'a' + (195 & 15));
    EXPECT_EQ(a[1], 'a' + ((97 * 2) & 15));
    char path[PATH_SIZE];
    cover_thumb_path("ab", path, sizeof path);
    EXPECT_EQ(std::string(path), std::string("data/thumbnails/") + a + "_big");
}

}  // namespace
