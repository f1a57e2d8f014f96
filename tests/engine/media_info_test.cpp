// media_info_read on media made at test time: a film with two sound tracks
// and an SSA subtitle, a song with a cover picture, damaged and missing
// files, and network names whose peer refuses or never answers.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "engine/media_info.h"
#include "engine_test_util.h"
#include "platform/net.h"

namespace {

// Version 4 (not 4+) script: the format whose description must say "ssa".
constexpr const char* SSA_SCRIPT =
    "[Script Info]\nScriptType: v4.00\nPlayResX: 160\nPlayResY: 120\n\n[V4 Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, TertiaryColour, "
    "BackColour, Bold, Italic, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, "
    "MarginV, AlphaLevel, Encoding\n"
    "Style: Default,Arial,20,16777215,65535,65535,0,0,0,1,2,0,2,10,10,10,0,0\n\n[Events]\n"
    "Format: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
    "Dialogue: Marked=0,0:00:00.00,0:00:01.00,Default,,0,0,0,,Hello\n";

class MediaInfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { av_log_set_level(AV_LOG_QUIET); }

    // film.mkv: 160x120 25 fps video, sound at 440 and 880 Hz, an SSA script.
    std::string film()
    {
        std::string ssa = dir.file("script.ssa"), out = dir.file("film.mkv");
        std::ofstream(ssa) << SSA_SCRIPT;
        EXPECT_TRUE(make_media("-f lavfi -i testsrc2=s=160x120:r=25 -f lavfi -i sine=f=440:r=48000 "
                               "-f lavfi -i sine=f=880:r=44100 -i '" +
                               ssa +
                               "' -map 0 -map 1 -map 2 -map 3 -t 2 -c:v libx264 -preset "
                               "ultrafast -c:a aac -c:s copy '" +
                               out + "'"));
        return out;
    }

    ScratchDir dir;
};

TEST_F(MediaInfoTest, AFilmListsItsStreamsInOrderWithTheirDescriptions)
{
    MediaInfo info;
    ASSERT_EQ(media_info_read(film().c_str(), &info), RESULT_OK);
    EXPECT_STREQ(info.format, "matroska,webm");
    EXPECT_NEAR(info.duration_ms, 2000, 100);
    EXPECT_GT(info.bit_rate, 0);
    ASSERT_EQ(info.stream_count, 4);
    const struct {
        int kind;
        const char* codec;
        const char* description_start;
    } expected[] = {{STREAM_KIND_VIDEO, "h264", "Video: h264"},
                    {STREAM_KIND_AUDIO, "aac", "Audio: aac"},
                    {STREAM_KIND_AUDIO, "aac", "Audio: aac"},
                    {STREAM_KIND_SUBTITLE, "ass", "Subtitle: ssa"}};
    for (int i = 0; i < 4; i++) {
        const StreamInfo& s = info.streams[i];
        EXPECT_EQ(s.index, i);
        EXPECT_EQ(s.kind, expected[i].kind) << i;
        EXPECT_STREQ(s.codec, expected[i].codec);
        EXPECT_EQ(std::string(s.description).rfind(expected[i].description_start, 0), 0u)
            << s.description;
        EXPECT_FALSE(s.attached_picture);
    }
    const StreamInfo* video = media_info_main_video(&info);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->width, 160);
    EXPECT_EQ(video->height, 120);
    EXPECT_NEAR(video->frame_rate, 25.0, 0.01);
    EXPECT_EQ(media_info_count(&info, STREAM_KIND_AUDIO), 2);
}

TEST_F(MediaInfoTest, ASongsCoverIsMarkedAndIsNotItsVideo)
{
    std::string song = dir.file("song.mp3");
    ASSERT_TRUE(make_media("-f lavfi -i sine=r=44100 -f lavfi -i color=c=red:s=64x48 -map 0 -map 1 "
                           "-t 1 -frames:v 1 -c:a libmp3lame -c:v png -disposition:v attached_pic "
                           "-id3v2_version 3 '" +
                           song + "'"));
    MediaInfo info;
    ASSERT_EQ(media_info_read(song.c_str(), &info), RESULT_OK);
    ASSERT_EQ(info.stream_count, 2);
    EXPECT_EQ(info.streams[0].kind, STREAM_KIND_AUDIO);
    EXPECT_EQ(info.streams[1].kind, STREAM_KIND_VIDEO);
    EXPECT_TRUE(info.streams[1].attached_picture);
    EXPECT_EQ(info.streams[1].frame_rate, 0.0);
    EXPECT_EQ(media_info_main_video(&info), nullptr);
}

TEST_F(MediaInfoTest, DamagedOrMissingFilesAreRefusedOrReadWithoutCrashing)
{
    std::string whole = read_file(film());
    ASSERT_GT(whole.size(), 4000u);
    const struct {
        const char* name;
        std::string bytes;
        bool must_fail;
    } cases[] = {
        {"garbage.mkv", std::string(5000, '\x5a'), true},
        {"head.mkv", whole.substr(0, 600), false},
        {"holes.mkv", whole.substr(0, 300) + std::string(3000, '\0') + whole.substr(3300), false},
    };
    for (const auto& c : cases) {
        std::string path = dir.file(c.name);
        std::ofstream(path, std::ios::binary) << c.bytes;
        MediaInfo info;
        ResultCode r = media_info_read(path.c_str(), &info);
        EXPECT_TRUE(r == RESULT_OK || r == ERR_MEDIA_OPEN) << c.name << " " << r;
        if (c.must_fail) {
            EXPECT_EQ(r, ERR_MEDIA_OPEN) << c.name;
        }
        EXPECT_LE(info.stream_count, MEDIA_INFO_MAX_STREAMS);
    }
    MediaInfo info;
    EXPECT_EQ(media_info_read(dir.file("none.mkv").c_str(), &info), ERR_MEDIA_OPEN);
    EXPECT_EQ(info.stream_count, 0);
    EXPECT_EQ(media_info_read("", &info), ERR_MEDIA_OPEN);
}

// An address on a loopback port that refuses connections or, when silent,
// has *listener listening but never accepting: the kernel completes a
// client's connection, which then hears nothing.
std::string loopback_url(Socket* listener, bool silent)
{
    *listener = tcp_listen(0, 4);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (getsockname(listener->fd(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return "";
    if (!silent)
        listener->close();
    return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/film.mkv";
}

TEST_F(MediaInfoTest, ANetworkPeerThatRefusesOrStaysSilentFailsTheRead)
{
    for (bool silent : {false, true}) {
        Socket listener;
        std::string url = loopback_url(&listener, silent);
        ASSERT_FALSE(url.empty());
        MediaInfo info;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(media_info_read(url.c_str(), &info), ERR_MEDIA_OPEN) << url;
        // Not a speed bound: without its own deadline the read waits for the
        // network time-out (15 s), far past what a tap on a row may cost.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
    }
}

}  // namespace
