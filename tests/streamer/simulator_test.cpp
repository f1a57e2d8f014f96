// The streamer client against the simulators of tools/, started by the
// test: login through the directory service, listings that come zlib
// compressed, the information record of a real file, a stream start, and a
// streamer that misbehaves in each of the ways it can be told to.
#include <stdlib.h>

#include <fstream>
#include <string>

#include "platform/result_codes.h"
#include "streamer/directory.h"
#include "streamer/remote.h"
#include "tests/scratch_dir.h"
#include "tests/streamer/link_fixture.h"
#include "tests/streamer/sim_process.h"

namespace {

constexpr int SIM_REPLY_MS = 3000;  // the simulator runs ffprobe before some replies

std::string contents(const std::vector<uint8_t>& listing)
{
    return std::string(listing.begin(), listing.end());
}

std::string record(const std::string& name, char type)
{
    return name + std::string(1, '\0') + type;
}

struct SimulatorTest : LinkFixture {
    static ScratchDir* media;

    static void SetUpTestSuite()
    {
        media = new ScratchDir;
        const std::string films = media->file("Films");
        std::filesystem::create_directories(films);
        std::filesystem::create_directories(media->file("Music"));
        std::filesystem::create_directories(media->file("Empty"));
        // Enough names for zlib to make the listing shorter.
        for (int i = 0; i < 50; ++i)
            std::ofstream(media->file("Music/track " + std::to_string(i) + ".mp3")) << "x";
        std::ofstream(films + "/clip.srt") << "1\n00:00:00,000 --> 00:00:01,000\nHello\n";
        const std::string make =
            "ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25:duration=1 "
            "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 "
            "-c:v libx264 -pix_fmt yuv420p -c:a aac -metadata artist=Tester "
            "-metadata genre=Test " +
            films + "/clip.mp4 >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0)
            std::filesystem::remove(films + "/clip.mp4");
    }
    static void TearDownTestSuite()
    {
        delete media;
        media = nullptr;
    }

    void SetUp() override
    {
        if (sim_python().empty())
            GTEST_SKIP() << "python3 is not installed: the simulators cannot run";
        link->times.reply_ms = SIM_REPLY_MS;
    }
    bool have_clip() const { return std::filesystem::exists(media->file("Films/clip.mp4")); }
    std::vector<std::string> streamer_args(std::vector<std::string> more)
    {
        more.insert(more.begin(), media->path());
        return more;
    }
};
ScratchDir* SimulatorTest::media = nullptr;

TEST_F(SimulatorTest, LoginThroughTheDirectoryThenBrowseReadInformationAndStartAStream)
{
    SimProcess streamer, directory;
    ASSERT_TRUE(streamer.start("streamer_sim.py", streamer_args({})));
    ASSERT_TRUE(directory.start(
        "directory_sim.py",
        {"--account", "viewer=127.0.0.1,127.0.0.1," + std::to_string(streamer.port())}));
    const std::string where = "127.0.0.1,127.0.0.1," + std::to_string(directory.port());
    setenv("VELMORA_DIRECTORY", where.c_str(), 1);

    ASSERT_EQ(link_ensure_connected(link.get()), 0);
    EXPECT_EQ(link->base_port, streamer.port());
    std::vector<uint8_t> listing;
    ASSERT_EQ(remote_folder_list(link.get(), "/", false, &listing), 0);
    EXPECT_EQ(contents(listing),
              record("Empty", 'd') + record("Films", 'd') + record("Music", 'd'));
    ASSERT_EQ(remote_folder_list(link.get(), "/Films/", true, &listing), 0);
    EXPECT_EQ(contents(listing), record("clip.srt", 'f'));
    ASSERT_EQ(remote_folder_list(link.get(), "/Music/", false, &listing), 0);
    EXPECT_NE(contents(listing).find(record("track 7.mp3", 'f')), std::string::npos);
    EXPECT_EQ(remote_folder_list(link.get(), "/Empty/", false, &listing), ERR_NO_SHARED_MEDIA);
    unsetenv("VELMORA_DIRECTORY");
    if (!have_clip())
        GTEST_SKIP() << "ffmpeg could not make the test clip";

    MediaInfoRecord info;
    ASSERT_EQ(remote_media_info(link.get(), "/Films/clip.mp4", &info), 0);
    EXPECT_EQ(info.file_size, std::filesystem::file_size(media->file("Films/clip.mp4")));
    EXPECT_STREQ(info.artist, "Tester");
    EXPECT_STREQ(info.genre, "Test");
    ASSERT_EQ(info.stream_count, 2);
    EXPECT_EQ(std::string(info.streams[0].description).rfind("Video:", 0), 0u);
    EXPECT_FLOAT_EQ(info.streams[0].frame_rate, 25.0f);
    EXPECT_EQ(std::string(info.streams[1].description).rfind("Audio:", 0), 0u);

    uint8_t path[PATH_PAYLOAD_SIZE];
    link_path_payload(path, "/Films/clip.mp4");
    ASSERT_EQ(
        link_request(link.get(), CMD_SELECT_FILE, path, sizeof(path), nullptr, 0, SIM_REPLY_MS), 0);
    const StreamRequest request = stream_request_make(*settings, {0, 0, -1, -1, -2});
    uint8_t payload[REPLY_PAYLOAD_SIZE];
    ASSERT_EQ(link_request(link.get(), CMD_START_FILE_STREAM, &request, sizeof(request), payload,
                           sizeof(payload), SIM_REPLY_MS),
              0);
    const StreamDescription d = stream_description_parse(payload);
    EXPECT_EQ(d.video_codec, STREAM_VIDEO_H264);
    EXPECT_EQ(d.audio_codec, STREAM_AUDIO_AAC);
    EXPECT_EQ(d.sample_rate, 44100u);
    EXPECT_EQ(stream_frame_rate(d), 25);
    EXPECT_NEAR(d.duration_ms, 1000u, 100u);
    EXPECT_EQ(link_request(link.get(), CMD_STOP_STREAM, nullptr, 0, nullptr, 0, SIM_REPLY_MS), 0);
}

TEST_F(SimulatorTest, AMisbehavingStreamerFailsTheRequestAndLeavesTheLinkDown)
{
    link->times.reply_ms = TEST_REPLY_MS;
    const struct {
        std::vector<std::string> switches;
        int expected;  // 1: any failure
    } cases[] = {
        {{"--refuse-login"}, ERR_GENERIC},
        {{"--no-hello"}, ERR_GENERIC},
        {{"--refuse", "bf"}, ERR_SERVER_REPLY},
        {{"--echo-other", "bf"}, ERR_SERVER_REPLY},
        {{"--stall", "bf"}, ERR_GENERIC},
        {{"--close-mid-reply", "bf"}, ERR_GENERIC},
        {{"--close-mid-reply", "ac"}, ERR_GENERIC},
        {{"--garbage", "bf"}, 1},
        {{"--rate", "200"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.switches[0]);
        SimProcess streamer;
        ASSERT_TRUE(streamer.start("streamer_sim.py", streamer_args(c.switches)));
        manual_address(streamer.port());
        std::vector<uint8_t> listing;
        const int rc = remote_folder_list(link.get(), "/", false, &listing);
        if (c.expected == 1) {
            EXPECT_LT(rc, 0);
        } else {
            EXPECT_EQ(rc, c.expected);
        }
        EXPECT_EQ(connected(), rc == 0);
        EXPECT_EQ(link->command_socket.valid(), rc == 0);
        EXPECT_EQ(link->data_socket.valid(), rc == 0);
        link_disconnect(link.get());
    }
}

TEST_F(SimulatorTest, ADirectoryServiceThatMisbehavesGivesTheLookupsOwnAnswers)
{
    link->times.reply_ms = TEST_REPLY_MS;
    const struct {
        std::vector<std::string> switches;
        int expected;
    } cases[] = {
        {{"--empty-list"}, 0},  // the service itself stands in as the broker
        {{"--status", "1"}, ERR_LOGIN_REFUSED},
        {{"--truncate", "20"}, ERR_DIRECTORY_SERVICE},
        {{"--garbage"}, ERR_DIRECTORY_SERVICE},
        {{"--stall"}, ERR_DIRECTORY_SERVICE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.switches[0]);
        std::vector<std::string> args = {"--account", "viewer=pc.home,10.0.0.7,9000"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        SimProcess directory;
        ASSERT_TRUE(directory.start("directory_sim.py", args));
        const std::string where = "127.0.0.1,127.0.0.1," + std::to_string(directory.port());
        setenv("VELMORA_DIRECTORY", where.c_str(), 1);
        std::strcpy(link->host, "before");
        EXPECT_EQ(directory_lookup(link.get()), c.expected);
        EXPECT_STREQ(link->host, c.expected == 0 ? "pc.home" : "before");
        unsetenv("VELMORA_DIRECTORY");
    }
}

}  // namespace
