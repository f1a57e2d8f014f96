// The play-request listener: what text is taken, that the URL reaches the
// record only on the main thread, and that hostile peers (silent, oversized,
// floods of garbage) never stop it serving.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "app/app_state.h"
#include "app/listener.h"
#include "platform/net.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_posted{0};
int count_post(AppState*)
{
    return ++g_posted, 0;
}

long open_fds()
{
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

int connect_to(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends `text` on a connection of its own; with `wait_served`, holds the
// connection until the listener has closed its side (at most 5 s), so a
// sender never outruns the listener's short backlog.
void send_text(uint16_t port, const std::string& text, bool wait_served = false)
{
    int fd = connect_to(port);
    ASSERT_GE(fd, 0);
    send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (wait_served) {
        shutdown(fd, SHUT_WR);
        set_receive_timeout(fd, 5000);
        char sink[64];
        while (recv(fd, sink, sizeof(sink), 0) > 0) {
        }
    }
    close(fd);
}

bool wait_posted(int count)  // bounded: 30 s
{
    for (int i = 0; i < 600 && g_posted < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return g_posted >= count;
}

class Listener : public ::testing::Test {
protected:
    void SetUp() override
    {
        app_ = app_create();
        ASSERT_NE(app_, nullptr);
        flags_set(&app_->flags, APP_RUNNING);
        std::strcpy(app_->nav.current_media_path, "untouched");
        g_posted = 0;
    }
    void TearDown() override
    {
        flags_clear(&app_->flags, APP_RUNNING);
        listener_stop();
        app_destroy(app_);
    }
    uint16_t start()  // on a port the system picks free (bound, then released)
    {
        Socket probe = tcp_listen(0, 1);
        sockaddr_in a{};
        socklen_t len = sizeof(a);
        getsockname(probe.fd(), reinterpret_cast<sockaddr*>(&a), &len);
        probe.close();
        EXPECT_EQ(listener_start(app_, count_post, ntohs(a.sin_port)), 0);
        return ntohs(a.sin_port);
    }
    std::string collected()
    {
        listener_collect(app_);
        return app_->nav.current_media_path;
    }
    AppState* app_ = nullptr;
};

// Only text holding "http://" within its first 512 bytes (and before a NUL)
// is taken; taking it releases a busy player and leaves an idle one alone.
TEST_F(Listener, WhatTextIsTaken)
{
    constexpr uint32_t BUSY = APP_PLAYER_BUSY | APP_STREAM_ACTIVE | APP_RUNNING;
    const struct {
        std::string text;
        std::string path;  // after collecting; "untouched" when nothing was taken
        uint32_t flags_before, flags_after;
    } cases[] = {
        {"PLAY http://192.0.2.1/clip.mp4", "http://192.0.2.1/clip.mp4", BUSY, APP_RUNNING},
        {"http://192.0.2.1/x", "http://192.0.2.1/x", APP_STREAM_ACTIVE | APP_RUNNING,
         APP_STREAM_ACTIVE | APP_RUNNING},
        {"https://example.invalid/a", "untouched", BUSY, BUSY},
        {"HTTP://UPPER ftp://x", "untouched", BUSY, BUSY},
        {"", "untouched", BUSY, BUSY},
        {std::string(600, 'x') + "http://late", "untouched", BUSY, BUSY},
        {std::string("abc\0http://hidden", 17), "untouched", BUSY, BUSY},
        {"http://" + std::string(2000, 'a'), "http://" + std::string(505, 'a'), BUSY, APP_RUNNING},
    };
    for (const auto& c : cases) {
        std::strcpy(app_->nav.current_media_path, "untouched");
        app_->flags.store(c.flags_before);
        EXPECT_EQ(listener_take_text(&app_->flags, c.text.data(), c.text.size()),
                  c.path != "untouched")
            << c.text;
        EXPECT_EQ(app_->flags.load(), c.flags_after) << c.text;
        EXPECT_EQ(collected(), c.path) << c.text;
    }
}

// The listener thread never writes the record: the URL and the automatic
// stream choices arrive when the main thread honours the request.
TEST_F(Listener, TheRecordChangesOnlyWhenTheMainThreadCollects)
{
    app_->now.audio_stream = 2;
    app_->now.subtitle_stream = SUBTITLES_OFF;
    send_text(start(), "open http://127.0.0.1:8080/movie.mkv");
    ASSERT_TRUE(wait_posted(1));
    EXPECT_STREQ(app_->nav.current_media_path, "untouched");
    EXPECT_EQ(app_->now.audio_stream, 2);

    listener_honour_request(app_);
    EXPECT_STREQ(app_->nav.current_media_path, "http://127.0.0.1:8080/movie.mkv");
    for (int choice : {app_->now.audio_stream, app_->now.video_stream, app_->now.subtitle_stream})
        EXPECT_EQ(choice, STREAM_AUTO);
    app_->now.audio_stream = 4;
    EXPECT_EQ(listener_collect(app_), 0);  // taken once only
    EXPECT_EQ(app_->now.audio_stream, 4);
}

// Requests arrive while the main thread keeps taking them and reading the
// record (run under ThreadSanitizer by scripts/test.sh --thread): every path
// it sees is whole, and the last one wins.
TEST_F(Listener, RequestsWhileTheMainThreadTakesThem)
{
    constexpr int REQUESTS = 200;
    const std::string prefix = "http://127.0.0.1/item-";
    uint16_t port = start();
    std::thread sender([&] {
        for (int i = 0; i < REQUESTS; ++i)
            send_text(port, "play " + prefix + std::to_string(i), true);
    });
    int taken = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while ((g_posted < REQUESTS || taken == 0) && Clock::now() < deadline) {
        if (listener_collect(app_)) {
            ++taken;
            ASSERT_EQ(std::strncmp(app_->nav.current_media_path, prefix.c_str(), prefix.size()), 0);
        }
        flags_any(&app_->flags, APP_PLAYER_BUSY);
        std::this_thread::yield();
    }
    sender.join();
    EXPECT_EQ(g_posted, REQUESTS);
    EXPECT_EQ(collected(), prefix + std::to_string(REQUESTS - 1));
}

// A silent peer, an oversized one and 2,000 connections of garbage (every
// other one dropped without waiting) neither stop the listener nor leak
// descriptors; it stops when asked and frees its port.
TEST_F(Listener, HostilePeersNeitherStopItNorLeak)
{
    uint16_t port = start();
    send_text(port, "warm-up http://127.0.0.1/0", true);
    ASSERT_TRUE(wait_posted(1));
    const int fds_before = open_fds();
    const int silent = connect_to(port), big = connect_to(port);
    ASSERT_TRUE(silent >= 0 && big >= 0);
    const std::string huge(1 << 20, 'z');
    send(big, huge.data(), huge.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    std::mt19937 rng(3);
    // Bounded in count and in time, so a loaded machine only shortens it.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    for (int i = 0; i < 2000 && Clock::now() < deadline; ++i) {
        std::string junk(rng() % 700, '\0');
        std::generate(junk.begin(), junk.end(), [&] { return static_cast<char>(rng()); });
        send_text(port, junk, i % 2);
    }
    send_text(port, "http://127.0.0.1/after-flood");
    ASSERT_TRUE(wait_posted(2));
    EXPECT_EQ(collected(), "http://127.0.0.1/after-flood");
    close(silent), close(big);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(open_fds(), fds_before);

    listener_stop();
    EXPECT_LT(connect_to(port), 0);
    EXPECT_EQ(listener_start(app_, count_post, port), 0);  // the port can be taken again
}

}  // namespace
