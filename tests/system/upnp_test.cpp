// DLNA/UPnP in the whole program under Xvfb, on a network of the test's own
// with minidlna serving media made here: the home screen's "DLNA/UPNP"
// lists the server, tapping it lists the server's folders, and "Servers"
// goes back to the server list; an item sent with "Play To" plays on a real
// renderer (gmediarender), with the player screen as its remote control.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bar_layout.h"
#include "program_harness.h"
#include "tests/scratch_dir.h"
#include "tests/upnp/peer_net.h"
#include "upnp/device_list.h"
#include "upnp/discovery.h"

namespace {

using harness::RunFolder;
using harness::VirtualDisplay;

constexpr const char* SERVER_NAME = "Velmora Test Server";
constexpr const char* RENDERER_NAME = "Velmora Test Renderer";
constexpr int WINDOW_W = 1000;
constexpr int WINDOW_H = 600;
constexpr int ROW_H = 60;
constexpr int LIST_Y = 120;
constexpr int UPNP_TILE_X = 833, UPNP_TILE_Y = 245;  // the home screen's third tile
constexpr int BOTTOM_BUTTON_Y = WINDOW_H - 70 + 8 + 27;
constexpr int SERVERS_X = 8 + 108 + 50;  // right of Back
constexpr int DISCOVERY_GRACE_S = 4;     // the program's first search finds the server
constexpr int BUTTON_STEP = 108;         // the bottom bar's buttons, from the right edge
constexpr int LIST_ROWS = 7;

class UpnpProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!peer_net_enter(&why))
            GTEST_SKIP() << why;
        display_ = std::make_unique<VirtualDisplay>();
        folder_ = std::make_unique<RunFolder>();
        ASSERT_TRUE(display_->ok()) << "Xvfb did not start";
        ASSERT_TRUE(start_server());
    }
    void TearDown() override
    {
        player_.reset();
        upnp_shutdown();
        peer_stop(renderer_pid_);
        peer_stop(server_pid_);
    }

    // A renderer that plays in real time into nothing.
    bool start_renderer()
    {
        renderer_pid_ = peer_spawn({"gmediarender", "-I", PEER_NET_PEERS, "-f", RENDERER_NAME, "-u",
                                    "0f3c2b6e-5d7a-4c1e-9a8b-2d4e6f8a0c1e", "--gstout-audiopipe",
                                    "fakesink sync=true", "--gstout-videosink", "fakesink"},
                                   scratch_.file("gmediarender.out"));
        return renderer_pid_ > 0;
    }
    // What the renderer says of itself (the test's own control point).
    std::string transport_state()
    {
        UpnpDeviceCopy renderers[UPNP_LIST_SIZE];
        const int n = upnp_list_copy(UPNP_RENDERERS, renderers, UPNP_LIST_SIZE);
        for (int i = 0; i < n; ++i) {
            if (std::string(renderers[i].friendly_name) != RENDERER_NAME)
                continue;
            UpnpActionRequest r;
            r.kind = UPNP_RENDERERS;
            r.udn = renderers[i].udn;
            r.action = "GetTransportInfo";
            r.in = {{"InstanceID", "0"}};
            r.out_names = {"CurrentTransportState"};
            std::vector<std::string> out;
            if (upnp_call_action(r, 2000, nullptr, &out) == 0 && out.size() == 1)
                return out[0];
        }
        return "";
    }
    // Taps the list row that shows text; false when none does.
    bool tap_row(const std::string& text)
    {
        const std::string png = shot("rows.png");
        for (int row = 0; row < LIST_ROWS; ++row) {
            const int y = LIST_Y + row * ROW_H;
            if (harness::read_text(png, 0, y, 420, ROW_H).find(text) != std::string::npos) {
                click(200, y + ROW_H / 2);
                return true;
            }
        }
        return false;
    }

    bool start_server()
    {
        const std::string media = scratch_.file("media");
        std::filesystem::create_directories(media + "/Pictures");
        std::filesystem::create_directories(media + "/Music");
        if (!peer_run("ffmpeg -nostdin -y -f lavfi -i testsrc=size=640x480 -frames:v 1 " + media +
                      "/Pictures/picture.jpg") ||
            !peer_run("ffmpeg -nostdin -y -f lavfi -i sine=duration=30 -c:a libmp3lame " + media +
                      "/Music/tone.mp3"))
            return false;
        const std::string conf = scratch_.file("minidlna.conf");
        FILE* f = std::fopen(conf.c_str(), "w");
        if (!f)
            return false;
        std::fprintf(f,
                     "media_dir=%s\ndb_dir=%s\nlog_dir=%s\nport=8200\nnetwork_interface=%s\n"
                     "friendly_name=%s\ninotify=no\n",
                     media.c_str(), scratch_.file("db").c_str(), scratch_.path().c_str(),
                     PEER_NET_PEERS, SERVER_NAME);
        std::fclose(f);
        server_pid_ = peer_spawn({"minidlnad", "-S", "-f", conf, "-P", scratch_.file("pid"), "-R"},
                                 scratch_.file("minidlna.out"));
        return server_pid_ > 0;
    }
    std::string shot(const std::string& name)
    {
        display_->screenshot(folder_->file(name), WINDOW_W, WINDOW_H);
        return folder_->file(name);
    }
    void click(int x, int y) { display_->click(id_, x, y); }
    bool list_shows(const std::string& text, double timeout_s = 30)
    {
        return harness::eventually(
            [&] {
                seen_ = harness::read_text(shot("ocr.png"), 0, LIST_Y, 420, WINDOW_H - LIST_Y - 70);
                return seen_.find(text) != std::string::npos;
            },
            timeout_s);
    }

    ScratchDir scratch_;
    pid_t server_pid_ = -1;
    pid_t renderer_pid_ = -1;
    std::unique_ptr<VirtualDisplay> display_;
    std::unique_ptr<RunFolder> folder_;
    std::unique_ptr<harness::Player> player_;
    std::string id_;
    std::string seen_;
};

TEST_F(UpnpProgram, TheTileListsTheServerWhoseFoldersOpenAndServersLeadsBack)
{
    player_ = harness::launch(*display_, *folder_, &id_);
    ASSERT_FALSE(id_.empty());
    ::sleep(DISCOVERY_GRACE_S);
    click(UPNP_TILE_X, UPNP_TILE_Y);
    ASSERT_TRUE(list_shows("Velmora Test")) << seen_;
    click(200, LIST_Y + ROW_H / 2);  // the only server
    ASSERT_TRUE(list_shows("Browse Folders")) << seen_;
    if (const char* keep = std::getenv("VELMORA_KEEP_SHOT"))
        std::filesystem::copy_file(shot("server.png"), keep,
                                   std::filesystem::copy_options::overwrite_existing);
    EXPECT_NE(seen_.find("Pictures"), std::string::npos) << seen_;
    click(SERVERS_X, BOTTOM_BUTTON_Y);
    EXPECT_TRUE(list_shows("Velmora Test")) << seen_;
}

TEST_F(UpnpProgram, PlayToPlaysTheItemOnTheRendererAndStopEndsIt)
{
    ASSERT_TRUE(start_renderer());
    upnp_start();
    player_ = harness::launch(*display_, *folder_, &id_);
    ASSERT_FALSE(id_.empty());
    ::sleep(DISCOVERY_GRACE_S);
    click(UPNP_TILE_X, UPNP_TILE_Y);
    ASSERT_TRUE(list_shows("Velmora Test")) << seen_;
    click(200, LIST_Y + ROW_H / 2);
    ASSERT_TRUE(list_shows("Browse Folders")) << seen_;
    ASSERT_TRUE(tap_row("Browse Folders"));
    ASSERT_TRUE(list_shows("Music")) << seen_;
    ASSERT_TRUE(tap_row("Music"));
    ASSERT_TRUE(list_shows("tone")) << seen_;
    ASSERT_TRUE(tap_row("tone"));
    // "Play To" stands left of "Play" and "Resume".
    ::sleep(1);
    click(WINDOW_W - 3 * BUTTON_STEP + 50, BOTTOM_BUTTON_Y);
    ASSERT_TRUE(list_shows(RENDERER_NAME)) << seen_;
    click(200, LIST_Y + ROW_H / 2);

    std::string screen;
    ASSERT_TRUE(harness::eventually(
        [&] {
            screen = harness::read_text(shot("player.png"), 0, 0, WINDOW_W, WINDOW_H - 100);
            return screen.find("Playing on") != std::string::npos;
        },
        30))
        << screen;
    ASSERT_TRUE(harness::eventually([&] { return transport_state() == "PLAYING"; }, 30))
        << transport_state();
    // The time shown follows the renderer.
    EXPECT_TRUE(harness::eventually(
        [&] {
            screen = harness::read_text(shot("player.png"), 0, 0, WINDOW_W, WINDOW_H - 100);
            return screen.find("00:00:0") != std::string::npos &&
                   screen.find("00:00:00") == std::string::npos;
        },
        20))
        << screen;
    const auto bar = harness::bar_layout(*folder_, WINDOW_W, WINDOW_H);
    const PlayerControl& stop = bar[CONTROL_STOP];
    click(stop.x + stop.w / 2, stop.y + stop.h / 2);
    EXPECT_TRUE(harness::eventually([&] { return transport_state() == "STOPPED"; }, 20))
        << transport_state();
    // The browser's list is back.
    EXPECT_TRUE(list_shows("<DIR>")) << seen_;
}

}  // namespace
