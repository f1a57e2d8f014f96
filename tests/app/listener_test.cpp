// The play-request listener: what text is taken, that the URL reaches the
// record only on the main thread, and that hostile peers (silent, oversized,
// floods of garbage) never stop it serving.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "app/app_state.h"
#include "app/listener.h"
#include "platform/net.h"

namespace {

std::atomic<int> g_posted{0};
int count_post(AppState*)
{
    ++g_posted;
    return 0;
}

int open_fds()
{
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (readdir(d))
        ++n;
    closedir(d);
    return n;
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

void send_text(uint16_t port, const std::string& text)
{
    int fd = connect_to(port);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
    close(fd);
}

// Waits (bounded) until `count` requests were posted.
bool wait_posted(int count)
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
    // Starts on a port the system picks free (bound, then released).
    uint16_t start()
    {
        Socket probe = tcp_listen(0, 1);
        sockaddr_in a{};
        socklen_t len = sizeof(a);
        getsockname(probe.fd(), reinterpret_cast<sockaddr*>(&a), &len);
        probe.close();
        EXPECT_EQ(listener_start(app_, count_post, ntohs(a.sin_port)), 0);
        return ntohs(a.sin_port);
    }
    int take(const std::string& text) { return listener_take_text(&app_->flags, text.data(), text.size()); }
    std::string collected()
    {
        listener_collect(app_);
        return app_->nav.current_media_path;
    }
    AppState* app_ = nullptr;
};

TEST_F(Listener, WhatTextIsTaken)
{
    const struct {
        std::string text;
        const char* path;   // after collecting; "untouched" when nothing was taken
    } cases[] = {
        {"PLAY http://192.0.2.1/clip.mp4", "http://192.0.2.1/clip.mp4"},
        {"https://example.invalid/a", "untouched"},
        {"HTTP://UPPER ftp://x", "untouched"},
        {"", "untouched"},
        {std::string(600, 'x') + "http://late", "untouched"},         // only the first 512 bytes count
        {std::string("abc\0http://hidden", 17), "untouched"},         // the text ends at a NUL
    };
    for (const auto& c : cases) {
        std::strcpy(app_->nav.current_media_path, "untouched");
        EXPECT_EQ(take(c.text), std::strcmp(c.path, "untouched") != 0) << c.text;
        EXPECT_EQ(collected(), c.path) << c.text;
    }
    EXPECT_EQ(take("http://" + std::string(2000, 'a')), 1);
    EXPECT_EQ(collected().size(), 512u);
}

TEST_F(Listener, ABusyPlayerIsReleased)
{
    const struct {
        uint32_t before, after;
    } cases[] = {
        {APP_PLAYER_BUSY | APP_STREAM_ACTIVE | APP_RUNNING, APP_RUNNING},
        {APP_STREAM_ACTIVE | APP_RUNNING, APP_STREAM_ACTIVE | APP_RUNNING},   // not busy: left alone
    };
    for (const auto& c : cases) {
        app_->flags.store(c.before);
        take("http://192.0.2.1/x");
        EXPECT_EQ(app_->flags.load(), c.after);
    }
}

// The listener thread never writes the record: the URL and the automatic
// stream choices arrive when the main thread honours the request.
TEST_F(Listener, TheRecordChangesOnlyWhenTheMainThreadCollects)
{
    app_->now.audio_stream = 2;
    app_->now.subtitle_stream = SUBTITLES_OFF;
    uint16_t port = start();
    send_text(port, "open http://127.0.0.1:8080/movie.mkv");
    ASSERT_TRUE(wait_posted(1));
    EXPECT_STREQ(app_->nav.current_media_path, "untouched");
    EXPECT_EQ(app_->now.audio_stream, 2);

    listener_honour_request(app_);
    EXPECT_STREQ(app_->nav.current_media_path, "http://127.0.0.1:8080/movie.mkv");
    EXPECT_EQ(app_->now.audio_stream, STREAM_AUTO);
    EXPECT_EQ(app_->now.video_stream, STREAM_AUTO);
    EXPECT_EQ(app_->now.subtitle_stream, STREAM_AUTO);
    app_->now.audio_stream = 4;
    EXPECT_EQ(listener_collect(app_), 0);   // taken once only
    EXPECT_EQ(app_->now.audio_stream, 4);
}

// Requests arrive while the main thread keeps taking them and reading the
// record (run under ThreadSanitizer by scripts/test.sh --thread): every path
// it sees is whole, and the last one wins.
TEST_F(Listener, RequestsWhileTheMainThreadTakesThem)
{
    constexpr int REQUESTS = 200;
    uint16_t port = start();
    std::thread sender([port] {
        for (int i = 0; i < REQUESTS; ++i)
            send_text(port, "play http://127.0.0.1/item-" + std::to_string(i));
    });
    int taken = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((g_posted < REQUESTS || taken == 0) && std::chrono::steady_clock::now() < deadline) {
        if (listener_collect(app_)) {
            ++taken;
            ASSERT_EQ(std::strncmp(app_->nav.current_media_path, "http://127.0.0.1/item-", 22), 0);
        }
        flags_any(&app_->flags, APP_PLAYER_BUSY);
        std::this_thread::yield();
    }
    sender.join();
    EXPECT_EQ(g_posted, REQUESTS);
    listener_collect(app_);
    EXPECT_STREQ(app_->nav.current_media_path, ("http://127.0.0.1/item-" + std::to_string(REQUESTS - 1)).c_str());
}

// A silent peer, an oversized one and 2,000 connections of garbage neither
// stop the listener nor leak descriptors.
TEST_F(Listener, HostilePeersNeitherStopItNorLeak)
{
    uint16_t port = start();
    send_text(port, "warm-up http://127.0.0.1/0");
    ASSERT_TRUE(wait_posted(1));
    const int fds_before = open_fds();
    int silent = connect_to(port);
    int big = connect_to(port);
    ASSERT_GE(silent, 0);
    ASSERT_GE(big, 0);
    std::string huge(1 << 20, 'z');
    send(big, huge.data(), huge.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    std::mt19937 rng(3);
    // Bounded in count and in time, so a loaded machine only shortens it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int i = 0; i < 2000 && std::chrono::steady_clock::now() < deadline; ++i) {
        int fd = connect_to(port);
        if (fd < 0)
            continue;
        std::string junk(rng() % 700, '\0');
        for (auto& c : junk)
            c = static_cast<char>(rng());
        send(fd, junk.data(), junk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        close(fd);
    }
    send_text(port, "http://127.0.0.1/after-flood");
    ASSERT_TRUE(wait_posted(2));
    EXPECT_EQ(collected(), "http://127.0.0.1/after-flood");
    close(silent);
    close(big);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(open_fds(), fds_before);
}

TEST_F(Listener, StopsWhenAskedAndFreesThePort)
{
    uint16_t port = start();
    listener_stop();
    EXPECT_LT(connect_to(port), 0);
    EXPECT_EQ(listener_start(app_, count_post, port), 0);  // the port can be taken again
}

}  // namespace
