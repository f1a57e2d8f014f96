// The play-request listener: what text is taken, and that hostile peers
// (silent, oversized, floods of garbage) never stop it serving.
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

uint16_t free_port()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    socklen_t len = sizeof(a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
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
        app_->flags |= APP_RUNNING;
        std::strcpy(app_->nav.current_media_path, "untouched");
        g_posted = 0;
    }
    void TearDown() override
    {
        app_->flags &= ~APP_RUNNING;
        listener_stop();
        app_destroy(app_);
    }
    uint16_t start()
    {
        uint16_t port = free_port();
        EXPECT_EQ(listener_start(app_, count_post, port), 0);
        return port;
    }
    AppState* app_ = nullptr;
};

TEST_F(Listener, TakesTheUrlFromHttpOnwards)
{
    app_->now.audio_stream = 2;
    app_->now.subtitle_stream = -5;
    app_->flags |= APP_PLAYER_BUSY | APP_STREAM_ACTIVE;
    const char text[] = "PLAY http://192.0.2.1/clip.mp4";
    EXPECT_EQ(listener_take_text(app_, text, sizeof(text) - 1), 1);
    EXPECT_STREQ(app_->nav.current_media_path, "http://192.0.2.1/clip.mp4");
    EXPECT_EQ(app_->now.audio_stream, -1);
    EXPECT_EQ(app_->now.video_stream, -1);
    EXPECT_EQ(app_->now.subtitle_stream, -1);
    EXPECT_EQ(app_->flags & (APP_PLAYER_BUSY | APP_STREAM_ACTIVE), 0u);
}

TEST_F(Listener, TextWithoutHttpChangesNothing)
{
    app_->now.audio_stream = 3;
    for (const char* text : {"https://example.invalid/a", "ftp://x", "", "HTTP://UPPER"})
        EXPECT_EQ(listener_take_text(app_, text, std::strlen(text)), 0);
    EXPECT_STREQ(app_->nav.current_media_path, "untouched");
    EXPECT_EQ(app_->now.audio_stream, 3);
}

TEST_F(Listener, OnlyTheFirst512BytesCountAndTheTextEndsAtNul)
{
    std::string late(600, 'x');
    late += "http://late";
    EXPECT_EQ(listener_take_text(app_, late.data(), late.size()), 0);

    std::string nul = std::string("abc\0http://hidden", 17);
    EXPECT_EQ(listener_take_text(app_, nul.data(), nul.size()), 0);

    std::string longest = "http://" + std::string(2000, 'a');
    EXPECT_EQ(listener_take_text(app_, longest.data(), longest.size()), 1);
    EXPECT_EQ(std::strlen(app_->nav.current_media_path), 512u);
}

TEST_F(Listener, ServesARealConnection)
{
    uint16_t port = start();
    send_text(port, "open http://127.0.0.1:8080/movie.mkv");
    ASSERT_TRUE(wait_posted(1));
    EXPECT_STREQ(app_->nav.current_media_path, "http://127.0.0.1:8080/movie.mkv");
}

TEST_F(Listener, SilentAndOversizedPeersDoNotStopIt)
{
    uint16_t port = start();
    int silent = connect_to(port);
    ASSERT_GE(silent, 0);
    std::string huge(1 << 20, 'z');
    int big = connect_to(port);
    ASSERT_GE(big, 0);
    send(big, huge.data(), huge.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    send_text(port, "http://127.0.0.1/after-silence");
    ASSERT_TRUE(wait_posted(1));
    EXPECT_STREQ(app_->nav.current_media_path, "http://127.0.0.1/after-silence");
    close(silent);
    close(big);
}

TEST_F(Listener, GarbageFloodLeaksNoDescriptors)
{
    uint16_t port = start();
    send_text(port, "warm-up http://127.0.0.1/0");
    ASSERT_TRUE(wait_posted(1));
    const int fds_before = open_fds();
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
    EXPECT_STREQ(app_->nav.current_media_path, "http://127.0.0.1/after-flood");
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
