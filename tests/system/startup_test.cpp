// The whole program under Xvfb: its window, the settings file it writes at
// start and at SIGTERM, hostile peers on the play-request port, failed
// start-ups and the borderless full-screen mode.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "app/prefs.h"
#include "program_fixture.h"

namespace {

using harness::Player;
using harness::RunFolder;
using harness::VirtualDisplay;

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The window's x, y, width and height once it has reached w x h (the title
// is set before the video mode, so a tiny window is seen first), or the last
// seen after five seconds.
std::array<int, 4> settled_geometry(const VirtualDisplay& d, const std::string& id, int w, int h)
{
    std::array<int, 4> g{-1, -1, -1, -1};
    harness::eventually(
        [&] {
            std::sscanf(d.run("xdotool getwindowgeometry --shell " + id).c_str(),
                        "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &g[0], &g[1], &g[2], &g[3]);
            return g[2] == w && g[3] == h;
        },
        5);
    return g;
}

// Sends 300 connections of random bytes to the play-request port once it
// listens (after the artwork is loaded); how many connected.
int flood_play_port()
{
    harness::eventually(
        [] { return !harness::run("ss -ltn 'sport = :6100' | grep -c LISTEN").starts_with("0"); });
    std::mt19937 rng(5);
    sockaddr_in a{AF_INET, htons(6100), {htonl(INADDR_LOOPBACK)}, {}};
    int connected = 0;
    for (int i = 0; i < 300; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) {
            ++connected;
            std::string junk(rng() % 2000, '\0');
            std::generate(junk.begin(), junk.end(), [&] { return static_cast<char>(rng()); });
            send(fd, junk.data(), junk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        close(fd);
    }
    return connected;
}

class WholeProgram : public harness::ProgramTest {
protected:
    static void write_settings(const RunFolder& folder, void (*change)(Settings&))
    {
        ASSERT_TRUE(harness::write_settings(folder, change));
    }
    // Whether the folder's settings file loads (into s_).
    static bool loads(const RunFolder& folder) { return harness::read_settings(folder, &s_); }
    static inline Settings s_;
};

TEST_F(WholeProgram, FirstStartWritesDefaultsSurvivesGarbageAndSavesAtSigterm)
{
    Player player(display_, folder_);
    std::string id = player.wait_window();
    ASSERT_FALSE(id.empty());
    auto g = settled_geometry(display_, id, 1000, 600);
    EXPECT_EQ(std::make_pair(g[2], g[3]), std::make_pair(1000, 600));

    const std::string prefs = folder_.file("data/prefs.dat");
    ASSERT_TRUE(harness::eventually([&] { return ::access(prefs.c_str(), F_OK) == 0; }))
        << "the settings file was not written at start";
    ASSERT_TRUE(loads(folder_)) << "the settings file does not load";
    EXPECT_EQ(s_.stream_quality, 2);
    EXPECT_EQ(s_.custom_bitrate_kbps, 3000u);
    EXPECT_STREQ(s_.subtitle_charset, "ASCII / UTF8");

    EXPECT_GT(flood_play_port(), 0) << "nothing listened on port 6100";
    EXPECT_TRUE(player.running());
    ASSERT_EQ(::unlink(prefs.c_str()), 0);
    EXPECT_EQ(player.terminate(), 0);
    EXPECT_TRUE(loads(folder_)) << "not saved again at SIGTERM";
}

// Settings survive a run (always_fullscreen: a borderless window at screen
// size); a damaged file gives the defaults.
TEST_F(WholeProgram, SettingsAreKeptBetweenRunsAndDamagedOnesBecomeDefaults)
{
    write_settings(folder_, [](Settings& s) {
        s.seek_forward_secs = 77;
        s.always_fullscreen = s.remember_login = 1;
        std::strcpy(s.username, "dana");
    });
    for (bool damaged : {false, true}) {
        if (damaged)
            std::ofstream(folder_.file("data/prefs.dat")) << "not a settings file at all";
        Player player(display_, folder_);
        std::string id = player.wait_window();
        ASSERT_FALSE(id.empty());
        if (!damaged) {
            EXPECT_EQ(settled_geometry(display_, id, 1280, 800),
                      (std::array<int, 4>{0, 0, 1280, 800}));
        }
        EXPECT_EQ(player.terminate(), 0);
        ASSERT_TRUE(loads(folder_));
        EXPECT_EQ(s_.seek_forward_secs, damaged ? 30 : 77);
        EXPECT_STREQ(s_.username, damaged ? "" : "dana");
        EXPECT_EQ(s_.sound_on, 1);
    }
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
        bool user_file;  // a file of the user's is there before the start
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
            write_settings(folder, [](Settings& s) {
                s.slideshow_secs = 42;
                s.shuffle = 2;
            });
        const std::string before = read_file(folder.file("data/prefs.dat"));
        Player player(display_, folder, c.env);
        EXPECT_GT(player.wait_exit(60), 0) << c.what;
        if (c.user_file) {
            EXPECT_TRUE(read_file(folder.file("data/prefs.dat")) == before)
                << c.what << ": the user's file was changed";
        } else {
            EXPECT_TRUE(loads(folder)) << c.what;
        }
        EXPECT_EQ(read_file(folder.file("player.log")), "")
            << c.what << ": start-up printed a message";
    }
}

}  // namespace
