// The whole program under Xvfb: its window, the settings file it writes at
// start and at SIGTERM, hostile peers on the play-request port, failed
// start-ups and the borderless full-screen mode.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "app/prefs.h"
#include "program_harness.h"

namespace {

using harness::Player;
using harness::RunFolder;
using harness::VirtualDisplay;
using Bytes = std::vector<uint8_t>;

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Reads a settings file the way an outside tool would: header, zlib payload,
// byte-sum checksum. Returns the whole 348,956-byte block, empty when invalid.
Bytes decode_prefs(const Bytes& file)
{
    if (file.size() < 12 || le32(&file[4]) != 15)
        return {};
    Bytes block(348956);
    std::memcpy(block.data(), file.data(), 12);
    uint32_t packed = le32(&file[8]);
    uLongf out = 348944;
    if (packed == 0 ? file.size() != 348956
                    : file.size() != 12 + packed ||
                          uncompress(block.data() + 12, &out, file.data() + 12, packed) != Z_OK || out != 348944)
        return {};
    if (packed == 0)
        std::memcpy(block.data() + 12, file.data() + 12, 348944);
    uint32_t sum = 0;
    for (size_t i = 12; i < block.size(); ++i)
        sum += block[i];
    return sum == le32(&block[0]) ? block : Bytes{};
}

// The window's x, y, width and height once it has reached the expected size
// (the title is set before the video mode, so a tiny window is seen first),
// or the last seen after a few seconds.
std::array<int, 4> settled_geometry(const VirtualDisplay& d, const std::string& id, int w, int h)
{
    std::array<int, 4> g{-1, -1, -1, -1};
    for (int i = 0; i < 50 && (g[2] != w || g[3] != h); ++i, usleep(100000))
        std::sscanf(d.run("xdotool getwindowgeometry --shell " + id).c_str(),
                    "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &g[0], &g[1], &g[2], &g[3]);
    return g;
}

// Sends 300 connections of random bytes to the play-request port once it
// listens (after the artwork is loaded); how many connected.
int flood_play_port()
{
    for (int i = 0; i < 300 && harness::run("ss -ltn 'sport = :6100' | grep -c LISTEN").starts_with("0"); ++i)
        usleep(100000);
    std::mt19937 rng(5);
    int connected = 0;
    for (int i = 0; i < 300; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(6100);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) {
            ++connected;
            std::string junk(rng() % 2000, '\0');
            for (auto& c : junk)
                c = static_cast<char>(rng());
            send(fd, junk.data(), junk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        close(fd);
    }
    return connected;
}

class WholeProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(display_.ok()) << "Xvfb did not start"; }
    // Writes data/prefs.dat with the defaults as changed by `change`.
    template <typename Change>
    static void write_settings(const RunFolder& folder, Change change)
    {
        ::mkdir(folder.file("data").c_str(), 0755);
        static Settings s;
        settings_set_defaults(&s);
        change(s);
        ASSERT_EQ(prefs_save_to(&s, folder.file("data/prefs.dat").c_str()), 0);
    }
    Bytes settings_block() const { return decode_prefs(read_file(folder_.file("data/prefs.dat"))); }
    VirtualDisplay display_;
    RunFolder folder_;
};

TEST_F(WholeProgram, FirstStartWritesDefaultsSurvivesGarbageAndSavesAtSigterm)
{
    Player player(display_, folder_);
    std::string id = player.wait_window();
    ASSERT_FALSE(id.empty());
    auto g = settled_geometry(display_, id, 1000, 600);
    EXPECT_EQ(g[2], 1000);
    EXPECT_EQ(g[3], 600);

    const std::string prefs = folder_.file("data/prefs.dat");
    ASSERT_TRUE(player.wait_file(prefs)) << "the settings file was not written at start";
    auto block = settings_block();
    ASSERT_EQ(block.size(), 348956u) << "the settings file does not decode";
    EXPECT_EQ(block[20], 2);
    EXPECT_EQ(le32(&block[344788]), 3000u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&block[346840]), "ASCII / UTF8");

    EXPECT_GT(flood_play_port(), 0) << "nothing listened on port 6100";
    EXPECT_TRUE(player.running());
    ASSERT_EQ(::unlink(prefs.c_str()), 0);
    EXPECT_EQ(player.terminate(), 0);
    EXPECT_EQ(settings_block().size(), 348956u) << "not saved again at SIGTERM";
}

TEST_F(WholeProgram, SettingsAreKeptBetweenRunsAndDamagedOnesBecomeDefaults)
{
    write_settings(folder_, [](Settings& s) {
        s.seek_forward_secs = 77;
        s.remember_login = 1;
        std::strcpy(s.username, "dana");
    });
    {
        Player player(display_, folder_);
        ASSERT_FALSE(player.wait_window().empty());
        EXPECT_EQ(player.terminate(), 0);
    }
    auto block = settings_block();
    ASSERT_EQ(block.size(), 348956u);
    EXPECT_EQ(block[346888], 77);
    EXPECT_STREQ(reinterpret_cast<const char*>(&block[28]), "dana");

    std::ofstream(folder_.file("data/prefs.dat"), std::ios::binary) << "not a settings file at all";
    Player player(display_, folder_);
    ASSERT_FALSE(player.wait_window().empty());
    EXPECT_EQ(player.terminate(), 0);
    block = settings_block();
    ASSERT_EQ(block.size(), 348956u);
    EXPECT_EQ(block[36370], 1);  // sound on, the default
    EXPECT_EQ(block[346888], 30);
}

TEST_F(WholeProgram, AlwaysFullscreenIsBorderlessAtScreenSize)
{
    write_settings(folder_, [](Settings& s) { s.always_fullscreen = 1; });
    Player player(display_, folder_);
    std::string id = player.wait_window();
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(settled_geometry(display_, id, 1280, 800), (std::array<int, 4>{0, 0, 1280, 800}));
    EXPECT_EQ(player.terminate(), 0);
}

// A failed start-up ends quietly with a non-zero status. Settings it had
// loaded (or replaced with defaults) are saved; a start-up that failed before
// loading them leaves the user's file exactly as it was.
TEST_F(WholeProgram, FailedStartUpsExitNonZeroAndKeepTheUsersFile)
{
    const struct {
        const char* what;
        const char* missing_file;
        std::vector<std::string> env;
        bool user_file;   // a file of the user's is there before the start
    } cases[] = {
        {"missing artwork", "images/stopp.png", {}, false},
        {"missing font", "Garuda.ttf", {}, false},
        {"video driver that cannot start", nullptr, {"SDL_VIDEODRIVER=no-such-driver"}, true},
    };
    for (const auto& c : cases) {
        RunFolder folder;
        if (c.missing_file) {
            ASSERT_EQ(::unlink(folder.file(c.missing_file).c_str()), 0) << c.what;
        }
        if (c.user_file)
            write_settings(folder, [](Settings& s) { s.slideshow_secs = 42; s.shuffle = 2; });
        const Bytes before = read_file(folder.file("data/prefs.dat"));
        Player player(display_, folder, c.env);
        int status = player.wait_exit(60);
        EXPECT_GT(status, 0) << c.what;
        const Bytes after = read_file(folder.file("data/prefs.dat"));
        if (c.user_file)
            EXPECT_TRUE(after == before) << c.what << ": the user's settings file was changed";
        else
            EXPECT_EQ(decode_prefs(after).size(), 348956u) << c.what;
        EXPECT_EQ(read_file(folder.file("player.log")).size(), 0u) << c.what << ": start-up printed a message";
    }
}

}  // namespace
