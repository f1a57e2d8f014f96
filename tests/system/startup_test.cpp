// The whole program under Xvfb: its window, the settings file it writes at
// start and at SIGTERM, the borderless full-screen mode, and hostile peers on
// the play-request port.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "app/prefs.h"
#include "program_harness.h"

namespace {

using harness::Player;
using harness::RunFolder;
using harness::VirtualDisplay;

std::vector<uint8_t> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Reads a settings file the way an outside tool would: header, zlib payload,
// byte-sum checksum. Returns the whole 348,956-byte block, empty when invalid.
std::vector<uint8_t> decode_prefs(const std::vector<uint8_t>& file)
{
    if (file.size() < 12 || le32(&file[4]) != 15)
        return {};
    std::vector<uint8_t> block(348956);
    std::memcpy(block.data(), file.data(), 12);
    uint32_t packed = le32(&file[8]);
    uLongf out = 348944;
    if (packed == 0) {
        if (file.size() != 348956)
            return {};
        std::memcpy(block.data() + 12, file.data() + 12, 348944);
    } else if (file.size() != 12 + packed ||
               uncompress(block.data() + 12, &out, file.data() + 12, packed) != Z_OK || out != 348944) {
        return {};
    }
    uint32_t sum = 0;
    for (size_t i = 12; i < block.size(); ++i)
        sum += block[i];
    return sum == le32(&block[0]) ? block : std::vector<uint8_t>{};
}

// "x y w h" of a window from xdotool.
std::array<int, 4> geometry(const VirtualDisplay& d, const std::string& id)
{
    std::string out = d.run("xdotool getwindowgeometry --shell " + id);
    std::array<int, 4> g{-1, -1, -1, -1};
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string k = line.substr(0, eq);
        int v = std::atoi(line.c_str() + eq + 1);
        if (k == "X") g[0] = v;
        if (k == "Y") g[1] = v;
        if (k == "WIDTH") g[2] = v;
        if (k == "HEIGHT") g[3] = v;
    }
    return g;
}

// The window's geometry once it has reached the expected size (the title is
// set before the video mode, so a tiny window is seen first), or the last one
// seen after a few seconds.
std::array<int, 4> settled_geometry(const VirtualDisplay& d, const std::string& id, int w, int h)
{
    auto g = geometry(d, id);
    for (int i = 0; i < 50 && (g[2] != w || g[3] != h); ++i) {
        usleep(100000);
        g = geometry(d, id);
    }
    return g;
}

class WholeProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(display_.ok()) << "Xvfb did not start"; }
    // Writes data/prefs.dat with the defaults as changed by `change`.
    template <typename Change>
    void write_settings(Change change)
    {
        ::mkdir(folder_.file("data").c_str(), 0755);
        static Settings s;
        settings_set_defaults(&s);
        change(s);
        ASSERT_EQ(prefs_save_to(&s, folder_.file("data/prefs.dat").c_str()), 0);
    }
    VirtualDisplay display_;
    RunFolder folder_;
};

TEST_F(WholeProgram, FirstStartOpensTheWindowAndWritesDefaults)
{
    Player player(display_, folder_);
    std::string id = player.wait_window();
    ASSERT_FALSE(id.empty());
    auto g = settled_geometry(display_, id, 1000, 600);
    EXPECT_EQ(g[2], 1000);
    EXPECT_EQ(g[3], 600);

    const std::string prefs = folder_.file("data/prefs.dat");
    ASSERT_TRUE(player.wait_file(prefs)) << "the settings file was not written at start";
    auto block = decode_prefs(read_file(prefs));
    ASSERT_EQ(block.size(), 348956u) << "the settings file does not decode";
    EXPECT_EQ(block[20], 2);
    EXPECT_EQ(le32(&block[24]), 1u);
    EXPECT_EQ(le32(&block[344788]), 3000u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&block[346840]), "ASCII / UTF8");

    ASSERT_EQ(::unlink(prefs.c_str()), 0);
    EXPECT_EQ(player.terminate(), 0);
    EXPECT_EQ(decode_prefs(read_file(prefs)).size(), 348956u) << "not saved again at SIGTERM";
}

TEST_F(WholeProgram, SettingsChangedBetweenRunsAreKept)
{
    write_settings([](Settings& s) {
        s.seek_forward_secs = 77;
        s.remember_login = 1;
        std::strcpy(s.username, "dana");
    });

    Player player(display_, folder_);
    ASSERT_FALSE(player.wait_window().empty());
    EXPECT_EQ(player.terminate(), 0);
    auto block = decode_prefs(read_file(folder_.file("data/prefs.dat")));
    ASSERT_EQ(block.size(), 348956u);
    EXPECT_EQ(block[346888], 77);
    EXPECT_STREQ(reinterpret_cast<const char*>(&block[28]), "dana");
}

TEST_F(WholeProgram, DamagedSettingsFallBackToDefaults)
{
    ::mkdir(folder_.file("data").c_str(), 0755);
    std::ofstream(folder_.file("data/prefs.dat"), std::ios::binary) << "not a settings file at all";
    Player player(display_, folder_);
    ASSERT_FALSE(player.wait_window().empty());
    EXPECT_EQ(player.terminate(), 0);
    auto block = decode_prefs(read_file(folder_.file("data/prefs.dat")));
    ASSERT_EQ(block.size(), 348956u);
    EXPECT_EQ(block[36370], 1);  // sound on, the default
}

TEST_F(WholeProgram, AlwaysFullscreenIsBorderlessAtScreenSize)
{
    write_settings([](Settings& s) { s.always_fullscreen = 1; });
    Player player(display_, folder_);
    std::string id = player.wait_window();
    ASSERT_FALSE(id.empty());
    auto g = settled_geometry(display_, id, 1280, 800);
    EXPECT_EQ(g[0], 0);
    EXPECT_EQ(g[1], 0);
    EXPECT_EQ(g[2], 1280);
    EXPECT_EQ(g[3], 800);
    EXPECT_EQ(player.terminate(), 0);
}

// A missing image or font ends start-up quietly; the settings are still saved.
TEST_F(WholeProgram, MissingArtworkOrFontEndsStartUpQuietly)
{
    for (const char* missing : {"images/stopp.png", "Garuda.ttf"}) {
        RunFolder folder;
        ASSERT_EQ(::unlink(folder.file(missing).c_str()), 0) << missing;
        Player player(display_, folder);
        EXPECT_EQ(player.wait_exit(60), 0) << missing;
        EXPECT_EQ(decode_prefs(read_file(folder.file("data/prefs.dat"))).size(), 348956u) << missing;
        EXPECT_EQ(read_file(folder.file("player.log")).size(), 0u) << "start-up printed a message";
    }
}

// Whether something accepts connections on the play-request port.
bool play_port_open()
{
    return !harness::run("ss -ltn 'sport = :6100' | grep -c LISTEN").starts_with("0");
}

TEST_F(WholeProgram, GarbageOnThePlayPortLeavesItRunning)
{
    Player player(display_, folder_);
    ASSERT_FALSE(player.wait_window().empty());
    for (int i = 0; i < 300 && !play_port_open(); ++i)
        usleep(100000);  // the listener starts once the artwork is loaded
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
    EXPECT_GT(connected, 0) << "nothing listened on port 6100";
    EXPECT_TRUE(player.running());
    EXPECT_EQ(player.terminate(), 0);
}

}  // namespace
