// DLNA/UPnP in the whole program under Xvfb, on a network of the test's own
// with minidlna serving media made here: the home screen's "DLNA/UPNP"
// lists the server, tapping it lists the server's folders, and "Servers"
// goes back to the server list.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "program_harness.h"
#include "tests/scratch_dir.h"
#include "tests/upnp/peer_net.h"

namespace {

using harness::RunFolder;
using harness::VirtualDisplay;

constexpr const char* SERVER_NAME = "Velmora Test Server";
constexpr int WINDOW_W = 1000;
constexpr int WINDOW_H = 600;
constexpr int ROW_H = 60;
constexpr int LIST_Y = 120;
constexpr int UPNP_TILE_X = 833, UPNP_TILE_Y = 245;  // the home screen's third tile
constexpr int BOTTOM_BUTTON_Y = WINDOW_H - 70 + 8 + 27;
constexpr int SERVERS_X = 8 + 108 + 50;  // right of Back
constexpr int DISCOVERY_GRACE_S = 4;     // the program's first search finds the server

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
        peer_stop(server_pid_);
    }

    bool start_server()
    {
        const std::string media = scratch_.file("media");
        std::filesystem::create_directories(media + "/Pictures");
        if (!peer_run("ffmpeg -nostdin -y -f lavfi -i testsrc=size=640x480 -frames:v 1 " + media +
                      "/Pictures/picture.jpg"))
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

}  // namespace
