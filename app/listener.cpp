#include "app/listener.h"

#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "app/app_state.h"
#include "platform/net.h"

namespace {

constexpr int ACCEPT_WAIT_MS = 1000;
constexpr int ACCEPT_RETRY_MS = 1000;

std::thread g_thread;
std::atomic<int> g_listen_fd{-1};
std::atomic<bool> g_stop{false};
PlayRequestPoster g_post = nullptr;

bool still_running(const AppState* app)
{
    return !g_stop.load() && flags_any(&app->flags, APP_RUNNING);
}

// Reads one request from an accepted connection and closes it.
void serve_connection(AppState* app, Socket conn)
{
    set_receive_timeout(conn.fd(), LISTENER_RECEIVE_TIMEOUT_MS);
    char buf[LISTENER_READ_SIZE + 1] = {};
    ssize_t got = ::recv(conn.fd(), buf, LISTENER_READ_SIZE, 0);
    conn.close();
    if (got > 0)
        listener_take_text(app, buf, static_cast<size_t>(got));
}

// Sleeps up to `ms`, waking early when the listener is being stopped.
void pause_unless_stopping(AppState* app, int ms)
{
    for (int waited = 0; waited < ms && still_running(app); waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

void listener_loop(AppState* app, Socket listening)
{
    while (still_running(app)) {
        int ready = wait_readable(listening.fd(), ACCEPT_WAIT_MS);
        if (ready == 0 || !still_running(app))
            continue;
        Socket conn(ready > 0 ? ::accept4(listening.fd(), nullptr, nullptr, SOCK_CLOEXEC) : -1);
        if (!conn.valid()) {
            pause_unless_stopping(app, ACCEPT_RETRY_MS);
            continue;
        }
        serve_connection(app, std::move(conn));
    }
    g_listen_fd = -1;
}

}  // namespace

int listener_take_text(AppState* app, const char* text, size_t len)
{
    char buf[LISTENER_READ_SIZE + 1] = {};
    std::memcpy(buf, text, len < LISTENER_READ_SIZE ? len : LISTENER_READ_SIZE);
    const char* url = std::strstr(buf, "http://");
    if (!url)
        return 0;
    std::strncpy(app->nav.current_media_path, url, sizeof(app->nav.current_media_path) - 1);
    app->nav.current_media_path[sizeof(app->nav.current_media_path) - 1] = '\0';
    app->now.audio_stream = app->now.video_stream = app->now.subtitle_stream = -1;
    if (flags_any(&app->flags, APP_PLAYER_BUSY))
        flags_clear(&app->flags, APP_PLAYER_BUSY | APP_STREAM_ACTIVE);
    if (g_post)
        g_post(app);
    return 1;
}

int listener_start(AppState* app, PlayRequestPoster post, uint16_t port)
{
    if (g_thread.joinable())
        return -1;
    g_post = post;
    g_stop = false;
    Socket listening = tcp_listen(port, 5);
    if (!listening.valid())
        return 0;  // the port is taken: the player runs without the listener
    g_listen_fd = listening.fd();
    g_thread = std::thread(listener_loop, app, std::move(listening));
    return 0;
}

void listener_stop()
{
    g_stop = true;
    int fd = g_listen_fd.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);  // wakes a waiting poll at once
    if (g_thread.joinable())
        g_thread.join();
}
