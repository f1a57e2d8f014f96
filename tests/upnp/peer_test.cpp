// Discovery and browsing against a real media server (minidlna) on a
// network of the test's own, serving media made here with ffmpeg.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/scratch_dir.h"
#include "tests/upnp/peer_net.h"
#include "upnp/browse.h"
#include "upnp/device_list.h"
#include "upnp/discovery.h"
#include "upnp/object_path.h"
#include "upnp/play_to.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* SERVER_NAME = "Velmora Test Server";
constexpr const char* RENDERER_NAME = "Velmora Test Renderer";
constexpr int SEVENTY = 70;
constexpr int THOUSAND = 1000;

struct Rows {
    std::vector<UpnpRow> rows;
    Clock::time_point started;
    double first_page_ms = -1;
};

bool take(void* context, const UpnpRow* row)
{
    auto* r = static_cast<Rows*>(context);
    r->rows.push_back(*row);
    if (r->rows.size() == 32)
        r->first_page_ms =
            std::chrono::duration<double, std::milli>(Clock::now() - r->started).count();
    return r->rows.size() < 5000;
}

Rows browse(const std::string& path, UpnpBrowseStats* stats = nullptr, int* status = nullptr)
{
    Rows r;
    r.started = Clock::now();
    int s = upnp_browse_path(path.c_str(), take, &r, {nullptr, nullptr}, stats);
    if (status)
        *status = s;
    return r;
}

const UpnpRow* find_row(const Rows& r, const char* name)
{
    for (const UpnpRow& row : r.rows)
        if (std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

class UpnpPeer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!peer_net_enter(&skip_reason_))
            return;
        scratch_ = new ScratchDir;
        if (!make_media() || !start_server()) {
            skip_reason_.clear();
            failure_ = "could not prepare the media or start minidlna";
            return;
        }
        // The renderer plays in real time into nothing (a sink that syncs
        // to the clock), so an item takes as long as it lasts.
        renderer_pid_ = peer_spawn({"gmediarender", "-I", PEER_NET_PEERS, "-f", RENDERER_NAME, "-u",
                                    "5c863963-f2a2-491e-8b60-079cdadad147", "--gstout-audiopipe",
                                    "fakesink sync=true", "--gstout-videosink", "fakesink"},
                                   scratch_->file("gmediarender.out"));
        upnp_start();
        server_path_ = wait_for_server();
    }
    static void TearDownTestSuite()
    {
        upnp_shutdown();
        peer_stop(renderer_pid_);
        peer_stop(server_pid_);
        delete scratch_;
    }
    void SetUp() override
    {
        if (!skip_reason_.empty())
            GTEST_SKIP() << skip_reason_;
        ASSERT_TRUE(failure_.empty()) << failure_;
        ASSERT_FALSE(server_path_.empty()) << "minidlna was not discovered";
    }

    static bool make_media()
    {
        namespace fs = std::filesystem;
        const std::string media = scratch_->file("media");
        for (const char* d : {"/Seventy", "/Thousand", "/Music", "/Long"})
            fs::create_directories(media + d);
        const std::string picture = scratch_->file("picture.jpg");
        if (!peer_run("ffmpeg -nostdin -y -f lavfi -i testsrc=size=640x480 -frames:v 1 " +
                      picture) ||
            !peer_run("ffmpeg -nostdin -y -f lavfi -i sine=duration=1 -c:a libmp3lame "
                      "-metadata title='AC/DC Live' " +
                      media + "/Music/song.mp3") ||
            !peer_run("ffmpeg -nostdin -y -f lavfi -i sine=duration=20 -c:a libmp3lame " + media +
                      "/Long/tone.mp3") ||
            !peer_run("ffmpeg -nostdin -y -f lavfi -i sine=duration=3 -c:a libmp3lame " + media +
                      "/Long/short.mp3"))
            return false;
        char name[64];
        for (int i = 0; i < SEVENTY; ++i) {
            std::snprintf(name, sizeof name, "/Seventy/picture%02d.jpg", i);
            fs::create_hard_link(picture, media + name);
        }
        for (int i = 0; i < THOUSAND; ++i) {
            std::snprintf(name, sizeof name, "/Thousand/picture%04d.jpg", i);
            fs::create_hard_link(picture, media + name);
        }
        return true;
    }

    static bool start_server()
    {
        const std::string conf = scratch_->file("minidlna.conf");
        FILE* f = std::fopen(conf.c_str(), "w");
        if (!f)
            return false;
        std::fprintf(f,
                     "media_dir=%s\ndb_dir=%s\nlog_dir=%s\nport=8200\nnetwork_interface=%s\n"
                     "friendly_name=%s\ninotify=no\n",
                     scratch_->file("media").c_str(), scratch_->file("db").c_str(),
                     scratch_->path().c_str(), PEER_NET_PEERS, SERVER_NAME);
        std::fclose(f);
        server_pid_ = peer_spawn({"minidlnad", "-S", "-f", conf, "-P", scratch_->file("pid"), "-R"},
                                 scratch_->file("minidlna.out"));
        return server_pid_ > 0;
    }

    // The UDN of the device of that name once discovery lists it (30 s at
    // most); "" with what the peers said when it never comes.
    static std::string wait_for_device(int kind, const char* name, const char* peer_log)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (Clock::now() < deadline) {
            UpnpDeviceCopy devices[UPNP_LIST_SIZE];
            int n = upnp_list_copy(kind, devices, UPNP_LIST_SIZE);
            for (int i = 0; i < n; ++i)
                if (std::strcmp(devices[i].friendly_name, name) == 0)
                    return devices[i].udn;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::printf("discovery %s; the peer said:\n", upnp_discovery_active() ? "active" : "off");
        peer_run_shown("cat " + scratch_->file(peer_log) + "; ip addr; ip route");
        return "";
    }

    // The server row's object path once discovery lists it.
    static std::string wait_for_server()
    {
        const std::string udn = wait_for_device(UPNP_SERVERS, SERVER_NAME, "minidlna.out");
        char path[256];
        return !udn.empty() && upnp_server_path(udn.c_str(), path, sizeof path) == 0 ? path : "";
    }

    // The path of a folder under "Browse Folders" once the server has
    // indexed all of its `expected` children (60 s at most).
    static std::string folder_path(const char* folder, int expected)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (Clock::now() < deadline) {
            Rows root = browse(server_path_);
            if (const UpnpRow* folders = find_row(root, "Browse Folders")) {
                Rows top = browse(folders->path);
                if (const UpnpRow* f = find_row(top, folder)) {
                    if (static_cast<int>(browse(f->path).rows.size()) >= expected)
                        return f->path;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        return "";
    }

    static std::string skip_reason_;
    static std::string failure_;
    static ScratchDir* scratch_;
    static pid_t renderer_pid_;
    static pid_t server_pid_;
    static std::string server_path_;
};

std::string UpnpPeer::skip_reason_;
std::string UpnpPeer::failure_;
ScratchDir* UpnpPeer::scratch_ = nullptr;
pid_t UpnpPeer::renderer_pid_ = -1;
pid_t UpnpPeer::server_pid_ = -1;
std::string UpnpPeer::server_path_;

TEST_F(UpnpPeer, AFolderOfSeventyArrivesInThreePagesWithTheRowRules)
{
    const std::string seventy = folder_path("Seventy", SEVENTY);
    ASSERT_FALSE(seventy.empty());
    UpnpBrowseStats stats{};
    Rows r = browse(seventy, &stats);
    EXPECT_EQ(stats.pages, 3);
    ASSERT_EQ(r.rows.size(), static_cast<size_t>(SEVENTY));
    const UpnpRow* first = find_row(r, "picture00.jpg");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->kind, UPNP_ROW_ITEM);
    EXPECT_EQ(first->media_class, 1);
    EXPECT_EQ(std::string(first->path).rfind("http://192.0.2.2:8200/", 0), 0u) << first->path;
    EXPECT_GT(first->size, 0) << first->extra;  // the original, not a smaller rendition
    EXPECT_NE(std::string(first->extra).find("<item"), std::string::npos);

    const std::string music = folder_path("Music", 1);
    ASSERT_FALSE(music.empty());
    Rows songs = browse(music);
    ASSERT_EQ(songs.rows.size(), 1u);
    EXPECT_STREQ(songs.rows[0].name, "AC-DC Live");
    EXPECT_EQ(songs.rows[0].media_class, 3);
}

// Not a timed assertion: the times are printed for the performance notes.
TEST_F(UpnpPeer, AThousandItemFolderArrivesWhole)
{
    const std::string thousand = folder_path("Thousand", THOUSAND);
    ASSERT_FALSE(thousand.empty());
    for (int round = 0; round < 3; ++round) {
        UpnpBrowseStats stats{};
        Rows r = browse(thousand, &stats);
        const double all_ms =
            std::chrono::duration<double, std::milli>(Clock::now() - r.started).count();
        EXPECT_EQ(r.rows.size(), static_cast<size_t>(THOUSAND));
        EXPECT_EQ(stats.pages, (THOUSAND + 31) / 32);
        std::printf("upnp browse of %d items: first 32 rows %.1f ms, all rows %.1f ms (%d pages)\n",
                    THOUSAND, r.first_page_ms, all_ms, stats.pages);
    }
}

// A server that stops answering: the Browse is given up at the time limit,
// and shutdown does not wait for it either.
TEST_F(UpnpPeer, AServerThatStopsAnsweringHoldsNeitherTheWorkerNorShutdown)
{
    const std::string seventy = folder_path("Seventy", SEVENTY);
    ASSERT_FALSE(seventy.empty());
    ASSERT_EQ(kill(server_pid_, SIGSTOP), 0);
    upnp_set_call_timeout_ms(1500);
    auto started = Clock::now();
    int status = 1;
    Rows r = browse(seventy, nullptr, &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(r.rows.empty());
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(10));

    upnp_set_call_timeout_ms(600000);
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        browse(seventy);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    started = Clock::now();
    upnp_shutdown();
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(10));
    kill(server_pid_, SIGCONT);
    upnp_set_call_timeout_ms(0);
}

// ---- Play To against gmediarender -----------------------------------------------------------

// Polls the session until ready(status) or the time runs out.
template <typename Ready>
PlayToStatus wait_for(PlayToSession* s, int seconds, Ready ready)
{
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    PlayToStatus st = play_to_session_status(s);
    while (!ready(st) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        st = play_to_session_status(s);
    }
    return st;
}

class PlayTo : public UpnpPeer {
protected:
    void SetUp() override
    {
        UpnpPeer::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        renderer_ = wait_for_device(UPNP_RENDERERS, RENDERER_NAME, "gmediarender.out");
        ASSERT_FALSE(renderer_.empty()) << "gmediarender was not discovered";
        const std::string folder = folder_path("Long", 2);
        ASSERT_FALSE(folder.empty());
        items_ = browse(folder);
        play_to_set_timing(5000, 2000, 250, 5);
    }
    void TearDown() override { play_to_set_timing(5000, 2000, 1000, 5); }

    const UpnpRow& item(const char* name)
    {
        const UpnpRow* row = find_row(items_, name);
        EXPECT_NE(row, nullptr) << name;
        return row ? *row : items_.rows.at(0);
    }

    std::string renderer_;
    Rows items_;
};

TEST_F(PlayTo, AnItemPlaysMovesAndStopsFromOurSide)
{
    const UpnpRow& tone = item("tone");
    PlayToSession* s = play_to_session_open(renderer_.c_str(), tone.path, tone.extra, 0);
    ASSERT_NE(s, nullptr);
    PlayToStatus st = wait_for(s, 20, [](const PlayToStatus& t) {
        return t.state == TRANSPORT_PLAYING && t.position_ms >= 1000;
    });
    EXPECT_EQ(st.start, PLAY_TO_STARTED);
    ASSERT_EQ(st.state, TRANSPORT_PLAYING);
    EXPECT_NEAR(double(st.duration_ms), 20000.0, 1000.0);  // the renderer's track duration

    play_to_session_command(s, PLAY_TO_SEEK, 12000);
    st = wait_for(s, 10, [](const PlayToStatus& t) { return t.position_ms >= 12000; });
    EXPECT_GE(st.position_ms, 12000);
    EXPECT_EQ(st.seeks_failed, 0u);
    std::printf("renderer seeks by %s\n", st.seek_by_time ? "REL_TIME" : "ABS_COUNT");

    play_to_session_command(s, PLAY_TO_STOP, 0);
    st = wait_for(s, 10, [](const PlayToStatus& t) {
        return t.stops_done == 1 && t.state == TRANSPORT_STOPPED;
    });
    EXPECT_EQ(st.stops_done, 1u);
    EXPECT_EQ(st.state, TRANSPORT_STOPPED);
    play_to_session_close(s, false, 0);
}

TEST_F(PlayTo, AnItemThatEndsOnItsOwnIsSeenStopped)
{
    const UpnpRow& short_item = item("short");
    PlayToSession* s = play_to_session_open(renderer_.c_str(), short_item.path, short_item.extra,
                                            0);
    ASSERT_NE(s, nullptr);
    PlayToStatus st = wait_for(s, 20,
                               [](const PlayToStatus& t) { return t.state == TRANSPORT_PLAYING; });
    ASSERT_EQ(st.state, TRANSPORT_PLAYING);
    st = wait_for(s, 20, [](const PlayToStatus& t) { return t.state == TRANSPORT_STOPPED; });
    EXPECT_EQ(st.state, TRANSPORT_STOPPED);
    EXPECT_EQ(st.stops_done, 0u);
    play_to_session_close(s, true, 1000);
}

// A seek by the count scale that the renderer refuses is sent again by
// time, and time is used with that renderer from then on.
TEST_F(PlayTo, ARefusedCountSeekGoesByTimeFromThenOn)
{
    play_to_forget_renderers();
    const UpnpRow& tone = item("tone");
    PlayToSession* s = play_to_session_open(renderer_.c_str(), tone.path, tone.extra, 20000);
    ASSERT_NE(s, nullptr);
    // Queued before the first poll could teach the session anything.
    play_to_session_command(s, PLAY_TO_SEEK, 12000);
    PlayToStatus st = wait_for(s, 20, [](const PlayToStatus& t) {
        return t.state == TRANSPORT_PLAYING && t.position_ms >= 12000;
    });
    EXPECT_GE(st.position_ms, 12000);
    EXPECT_EQ(st.seeks_failed, 0u);
    EXPECT_TRUE(st.seek_by_time);
    play_to_session_close(s, true, 1000);
}

// A renderer that freezes mid-item: the session says it is gone within a
// few silent polls, and closing (with a Stop that gets no answer) returns
// within its wait.
TEST_F(PlayTo, ARendererThatStopsAnsweringIsReportedGone)
{
    const UpnpRow& tone = item("tone");
    play_to_set_timing(1000, 500, 250, 3);
    PlayToSession* s = play_to_session_open(renderer_.c_str(), tone.path, tone.extra, 0);
    ASSERT_NE(s, nullptr);
    PlayToStatus st = wait_for(s, 20,
                               [](const PlayToStatus& t) { return t.state == TRANSPORT_PLAYING; });
    ASSERT_EQ(st.state, TRANSPORT_PLAYING);
    ASSERT_EQ(kill(renderer_pid_, SIGSTOP), 0);
    st = wait_for(s, 20, [](const PlayToStatus& t) { return t.gone; });
    EXPECT_TRUE(st.gone);
    const auto started = Clock::now();
    play_to_session_close(s, true, 1000);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    kill(renderer_pid_, SIGCONT);
}

long resident_kb()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    long kb = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    if (f)
        std::fclose(f);
    return kb;
}

// Thousands of devices announcing themselves leave the server list at
// sixteen, the first server found among them; the memory the run costs is
// printed (the stack keeps each device until its announcement expires).
TEST_F(UpnpPeer, AFloodOfThousandsOfServersKeepsTheListAtSixteen)
{
    constexpr int FLOOD = 3000;
    constexpr int ROUNDS = 12;  // an hour of re-announcements every five minutes
    const long before_kb = resident_kb();
    pid_t flood = peer_spawn({"python3", VELMORA_SOURCE_DIR "/tests/upnp/ssdp_flood.py",
                              PEER_NET_PEER_ADDRESS, "8300", std::to_string(FLOOD),
                              std::to_string(ROUNDS)},
                             scratch_->file("flood.out"));
    ASSERT_GT(flood, 0);
    // Wait until the list is full and has stopped changing.
    int count = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline && count < UPNP_LIST_SIZE) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        UpnpDeviceCopy servers[UPNP_LIST_SIZE];
        count = upnp_list_copy(UPNP_SERVERS, servers, UPNP_LIST_SIZE);
    }
    // All rounds announced (a second apart) and taken in.
    std::this_thread::sleep_for(std::chrono::seconds(ROUNDS + 5));
    peer_stop(flood);
    UpnpDeviceCopy servers[UPNP_LIST_SIZE + 1];
    count = upnp_list_copy(UPNP_SERVERS, servers, UPNP_LIST_SIZE + 1);
    EXPECT_EQ(count, UPNP_LIST_SIZE);
    EXPECT_STREQ(servers[0].friendly_name, SERVER_NAME);
    const long after_kb = resident_kb();
    std::printf("%d servers announced %d times: resident memory %ld kB -> %ld kB\n", FLOOD, ROUNDS,
                before_kb, after_kb);
    // The first server still browses in the middle of the flood's devices.
    EXPECT_FALSE(browse(server_path_).rows.empty());
}

}  // namespace
