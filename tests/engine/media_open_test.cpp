// media_open: "now playing" fields, cover pictures, still images, the audio
// track table, tags, refused names, damaged files and network sources. The
// session each open starts is closed again at once (its video thread is left
// waiting for a picture allocation that nobody answers, which the close must
// end).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/demux.h"
#include "engine/media_open.h"
#include "engine/player_session.h"
#include "engine/video.h"
#include "engine_test_util.h"
#include "platform/app_flags.h"
#include "platform/media_enums.h"

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
    }
    void TearDown() override
    {
        close_session();
        EXPECT_EQ(chdir(old_cwd), 0);
    }
    int open(const std::string& name)
    {
        close_session();
        now.video_stream = now.audio_stream = now.subtitle_stream = STREAM_AUTO;
        return media_open(parts->context(), name.c_str());
    }
    void close_session()
    {
        if (now.session)
            stream_close(now.session);
        flags_clear(&parts->flags, APP_PLAYER_BUSY);
    }

    ScratchDir dir;
    char old_cwd[4096];
    std::unique_ptr<EngineParts> parts = std::make_unique<EngineParts>(320, 240);
    NowPlaying& now = parts->now;
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

TEST_F(MediaOpenTest, EmbeddedCoverIsWrittenAt480OnItsLongSideOnce)
{
    const struct {
        const char* name;
        const char* size;
        int w, h;
    } covers[] = {{"wide", "640x360", 480, 270}, {"tall", "300x600", 240, 480}};
    for (const auto& c : covers) {
        std::string png = std::string(c.name) + ".png", song = dir.file(std::string(c.name) + ".mp3");
        ASSERT_TRUE(make_media(std::string("-f lavfi -i color=c=blue:s=") + c.size + " -frames:v 1 " + png));
        ASSERT_TRUE(make_media("-f lavfi -i sine=d=1 -i " + png + " -map 0 -map 1 -c:a libmp3lame "
                               "-c:v png -disposition:v attached_pic -id3v2_version 3 " + song));
        ASSERT_EQ(open(song), RESULT_OK);
        char expected[PATH_SIZE];
        cover_thumb_path(song.c_str(), expected, sizeof expected);
        EXPECT_STREQ(now.cover_path, expected);
        EXPECT_TRUE(now.audio_only && !now.no_audio);
        int w = 0, h = 0;
        ASSERT_TRUE(image_size(now.cover_path, &w, &h)) << now.cover_path;
        EXPECT_TRUE(w == c.w && h == c.h) << c.name << ": " << w << "x" << h;
        // A cover that exists already is pointed at, not written again.
        { std::ofstream(expected, std::ios::trunc) << "kept"; }
        ASSERT_EQ(open(song), RESULT_OK);
        EXPECT_STREQ(now.cover_path, expected);
        EXPECT_EQ(read_file(expected), "kept");
    }
}

// Offset of the first chunk after IHDR (an ancillary one, pHYs) in the PNG
// embedded in bytes.
size_t png_second_chunk(const std::string& bytes)
{
    size_t sig = bytes.find("\x89PNG\r\n\x1a\n");
    return sig == std::string::npos ? sig : sig + 8 + 12 + 13;
}

TEST_F(MediaOpenTest, DamagedPngCoverIsSkippedAndTheSongPlays)
{
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=64x64 -frames:v 1 c.png"));
    std::string song = dir.file("s.mp3");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=2 -i c.png -map 0 -map 1 -c:a libmp3lame -c:v png "
                           "-disposition:v attached_pic " + song));
    std::string bytes = read_file(song);
    size_t chunk = png_second_chunk(bytes);
    ASSERT_NE(chunk, std::string::npos);
    bytes[chunk + 2] = 0x10;  // the chunk now runs 4 KiB past the end of the picture
    { std::ofstream(song, std::ios::binary | std::ios::trunc) << bytes; }
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
            bool played = play_until(now.session, [&] { return now.session->stats.audio_bytes_out > 8000; });
            std::_Exit(opened == RESULT_OK && placeholder && played ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(MediaOpenTest, EachKindOfMediaSetsItsFields)
{
    std::string maps;
    for (int i = 0; i < 40; i++)
        maps += " -map 0:a";
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=320x200 -frames:v 1 photo.png"));
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=160x120:r=2 -f lavfi -i sine=d=1 -t 1 "
                           "-c:v png -c:a pcm_s16le slides.mkv"));
    ASSERT_TRUE(make_media("-f lavfi -i anullsrc=r=8000:cl=mono -t 0.3" + maps + " -c:a pcm_s16le tracks.mkv"));
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=320x240:r=25 -f lavfi -i sine -t 2 -c:v libx264 -c:a aac v.mp4"));
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
    parts->settings.sound_on = 0;
    ASSERT_EQ(open(dir.file("v.mp4")), RESULT_OK);
    EXPECT_TRUE(now.video_width == 320 && now.video_height == 240 && !now.audio_only && !now.no_audio);
    EXPECT_TRUE(now.video_codec_id == AV_CODEC_ID_H264 && now.audio_codec_id == AV_CODEC_ID_AAC);
    EXPECT_NEAR(now.duration_ms, 2000, 100);
    EXPECT_EQ(now.sound_on.load(), 0);  // taken from the settings at open
    EXPECT_TRUE(flags_any(&parts->flags, APP_PLAYER_BUSY) && now.session);
}

TEST_F(MediaOpenTest, LaterTagInContainerOrderWinsAndLongTagsAreCut)
{
    const std::string long_text(100, 'x');
    const struct {
        std::string tags, artist, album, genre;
    } cases[] = {
        {"-metadata artist=Early -metadata TPE1=Late -metadata TALB=Record -metadata genre=Jazz", "Late",
         "Record", "Jazz"},
        {"-metadata TPE1=Early -metadata artist=Late -metadata album=Disc -metadata TCON=Blues", "Late",
         "Disc", "Blues"},
        {"-metadata artist=" + long_text + " -metadata genre=" + long_text, std::string(63, 'x'), "",
         std::string(31, 'x')},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string nut = dir.file("t" + std::to_string(n++) + ".nut");
        ASSERT_TRUE(make_media("-f lavfi -i sine=d=0.5 " + c.tags + " -c:a pcm_s16le " + nut));
        ASSERT_EQ(open(nut), RESULT_OK);
        EXPECT_EQ(now.artist, c.artist);
        EXPECT_EQ(now.album, c.album);
        EXPECT_EQ(now.genre, c.genre);
    }
}

TEST(EngineNumbers, AbsurdDurationsAndAspectsStayInRange)
{
    const struct {
        int64_t us;
        int32_t ms;
    } durations[] = {{0, 0}, {-5, 0}, {1999999, 1999}, {int64_t{INT32_MAX} * 1000, INT32_MAX},
                     {int64_t{1} << 50, INT32_MAX}, {INT64_MAX, INT32_MAX}};
    for (const auto& d : durations)
        EXPECT_EQ(duration_ms_from_us(d.us), d.ms) << d.us;
    const struct {
        int w, h;
        AVRational sar;
        double aspect;
    } aspects[] = {{720, 576, {16, 15}, 4.0 / 3}, {640, 480, {0, 1}, 4.0 / 3}, {640, 480, {1, 0}, 4.0 / 3},
                   {0, 480, {1, 1}, 1.0}, {3840, 2160, {1000000007, 1000000000}, 3840.0 * 1.000000007 / 2160},
                   {4096, 16, {1, INT_MAX}, 4096.0 / 16 / INT_MAX}};
    for (const auto& a : aspects) {
        int32_t num = 0, den = 0;
        display_aspect_for(a.w, a.h, a.sar, &num, &den);
        ASSERT_TRUE(num > 0 && den > 0) << a.w << " " << a.sar.num;
        EXPECT_NEAR(static_cast<double>(num) / den / a.aspect, 1.0, 1e-6) << a.w << " " << a.sar.num;
    }
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
        EXPECT_EQ(open(name), ERR_MEDIA_OPEN) << name;
        EXPECT_EQ(now.session, nullptr);
        EXPECT_FALSE(flags_any(&parts->flags, APP_PLAYER_BUSY));
    }
    EXPECT_EQ(open(wav), RESULT_OK);
    EXPECT_EQ(open("file:" + wav), RESULT_OK);
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
        EXPECT_TRUE(ret == RESULT_OK || ret == ERR_MEDIA_OPEN) << ret;
        if (ret == RESULT_OK)
            SDL_Delay(20);  // let the threads run into the damage
    }
}

TEST_F(MediaOpenTest, SeekWhilePendingMovesOnlyTheShownPosition)
{
    std::string wav = dir.file("tone.wav");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=5 " + wav));
    ASSERT_EQ(open(wav), RESULT_OK);
    PlayerSession* s = now.session;
    // While paused the demux thread carries out no seek, so the first
    // request stays pending.
    toggle_pause(s);
    SDL_Delay(50);
    double frozen = get_video_clock(s);
    flags_set(&parts->flags, APP_REENTER_PLAYER);
    stream_seek(s, 3000, 0);
    EXPECT_FALSE(flags_any(&parts->flags, APP_REENTER_PLAYER));
    stream_seek(s, 1000, 0);
    EXPECT_EQ(s->seek_req, 1);
    EXPECT_EQ(s->seek_pos, 3000 * 1000);
    EXPECT_EQ(now.position_ms, now.media_start_ms + 1000);
    EXPECT_EQ(now.shown_position_ms, now.media_start_ms + 1000);
    EXPECT_EQ(get_video_clock(s), frozen);
    toggle_pause(s);
    EXPECT_EQ(s->paused, 0);
}

// A one-connection-at-a-time HTTP server on 127.0.0.1 that answers every
// request with the same body; with stall_after it sends only that many bytes
// of a body it announces as much longer, then goes quiet.
class LocalHttpServer {
public:
    explicit LocalHttpServer(std::string body, size_t stall_after = 0)
        : body_(std::move(body)), stall_after_(stall_after)
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) == 0 && listen(fd_, 4) == 0 &&
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
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    int requests() const { return requests_; }

private:
    bool readable(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        while (!stop_)
            if (poll(&p, 1, 20) > 0)
                return true;
        return false;
    }
    void serve()
    {
        while (readable(fd_)) {
            int c = accept(fd_, nullptr, nullptr);
            char req[4096];
            if (c >= 0 && readable(c) && recv(c, req, sizeof req, 0) > 0) {
                requests_++;
                size_t announced = stall_after_ ? body_.size() * 100 : body_.size();
                std::string out = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(announced) +
                                  "\r\nConnection: close\r\n\r\n" +
                                  (stall_after_ ? body_.substr(0, stall_after_) : body_);
                send(c, out.data(), out.size(), MSG_NOSIGNAL);
                while (stall_after_ && !stop_)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (c >= 0)
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
          "data:video/mp2t;base64," + run_command("base64 -w0 " + local).output}) {
        LocalHttpServer server(playlist_of(segment));
        EXPECT_EQ(open(server.url("/list.m3u8")), ERR_MEDIA_OPEN) << segment.substr(0, 40);
        EXPECT_GE(server.requests(), 1);
        EXPECT_EQ(now.session, nullptr);
    }
    // A segment on the network plays.
    LocalHttpServer segment_server(read_file(local));
    LocalHttpServer list_server(playlist_of(segment_server.url("/seg.ts")));
    EXPECT_EQ(open(list_server.url("/list.m3u8")), RESULT_OK);
}

TEST_F(MediaOpenTest, ClosingWhileTheNetworkStallsReturns)
{
    std::string wav = dir.file("tone.wav");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=10 -c:a pcm_s16le " + wav));
    std::string body = read_file(wav);
    // Enough arrives to open the stream, then the connection goes quiet: the
    // demux thread sits in a network read when the session is closed.
    LocalHttpServer server(body, 300000);
    ASSERT_EQ(open(server.url("/tone.wav")), RESULT_OK);
    SDL_Delay(300);
    close_session();  // returns only when every thread has ended
    EXPECT_EQ(now.session, nullptr);
}

}  // namespace
