#include "app/listener.h"

#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/app_state.h"
#include "platform/media_enums.h"
#include "platform/net.h"
#include "platform/sync.h"
#include "platform/text_copy.h"

namespace {

constexpr int ACCEPT_WAIT_MS = 1000;
constexpr int ACCEPT_RETRY_MS = 1000;
constexpr int STOP_POLL_MS = 50;  // how soon a retry pause notices a stop
constexpr int LISTEN_BACKLOG = 5;

std::thread g_thread;
// Owned by the main thread (opened by listener_start, closed by
// listener_stop after the join); the thread only polls and accepts on it.
Socket g_listening;
std::atomic<bool> g_stop{false};
PlayRequestPoster g_post = nullptr;  // written before the thread starts

// The URL handed from the listener thread to the main thread.
struct UrlMailbox {
    std::mutex lock;
    char url[PATH_SIZE];  // guarded by lock
    bool full;            // guarded by lock
};
UrlMailbox g_mailbox;

bool still_running(const AppState* app)
{
    return !g_stop.load() && flags_any(&app->flags, APP_RUNNING);
}

// Reads one request from an accepted connection and closes it.
void serve_connection(AppState* app, Socket conn)
{
    set_receive_timeout(conn.fd(), LISTENER_RECEIVE_TIMEOUT_MS);
    char buf[LISTENER_READ_SIZE] = {};
    ssize_t got = ::recv(conn.fd(), buf, LISTENER_READ_SIZE, 0);
    conn.close();
    if (got > 0 && listener_take_text(&app->flags, buf, static_cast<size_t>(got)) && g_post)
        g_post(app);
}

// Sleeps up to `ms`, waking early when the listener is being stopped.
void pause_unless_stopping(const AppState* app, int ms)
{
    for (int waited = 0; waited < ms && still_running(app); waited += STOP_POLL_MS)
        sleep_ms(STOP_POLL_MS);
}

void listener_loop(AppState* app, int listen_fd)
{
    while (still_running(app)) {
        int ready = wait_readable(listen_fd, ACCEPT_WAIT_MS);
        if (ready == 0 || !still_running(app))
            continue;
        Socket conn(ready > 0 ? ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC) : -1);
        if (!conn.valid()) {
            pause_unless_stopping(app, ACCEPT_RETRY_MS);
            continue;
        }
        serve_connection(app, std::move(conn));
    }
}

}  // namespace

int listener_take_text(FlagWord* flags, const char* text, size_t len)
{
    // The text ends at its first NUL or after LISTENER_READ_SIZE bytes.
    if (!text || len == 0)
        return 0;
    char buf[LISTENER_READ_SIZE + 1] = {};
    std::memcpy(buf, text, len < LISTENER_READ_SIZE ? len : LISTENER_READ_SIZE);
    const char* url = std::strstr(buf, "http://");
    if (!url)
        return 0;
    {
        std::lock_guard<std::mutex> guard(g_mailbox.lock);
        copy_text(g_mailbox.url, sizeof(g_mailbox.url), url);
        g_mailbox.full = true;
    }
    flags_clear_if(flags, APP_PLAYER_BUSY, APP_PLAYER_BUSY | APP_STREAM_ACTIVE);
    return 1;
}

int listener_collect(AppState* app)
{
    {
        std::lock_guard<std::mutex> guard(g_mailbox.lock);
        if (!g_mailbox.full)
            return 0;
        copy_text(app->nav.current_media_path, sizeof(app->nav.current_media_path), g_mailbox.url);
        g_mailbox.full = false;
    }
    app->now.audio_stream = app->now.video_stream = app->now.subtitle_stream = STREAM_AUTO;
    return 1;
}

bool listener_pending()
{
    std::lock_guard<std::mutex> guard(g_mailbox.lock);
    return g_mailbox.full;
}

void listener_honour_request(AppState* app)
{
    if (!listener_collect(app))
        return;
    // The URL plays as an item of the local media list, by itself.
    app->browser.browse_mode = BROWSE_LOCAL;
    app->nav.list_play = 0;
    app->ui.play_requested = 1;
}

int listener_start(AppState* app, PlayRequestPoster post, uint16_t port)
{
    if (g_thread.joinable())
        return -1;
    g_post = post;
    g_stop = false;
    g_listening = tcp_listen(port, LISTEN_BACKLOG);
    if (!g_listening.valid())
        return 0;  // the port is taken: the player runs without the listener
    g_thread = std::thread(listener_loop, app, g_listening.fd());
    return 0;
}

void listener_stop()
{
    g_stop = true;
    if (g_listening.valid())
        ::shutdown(g_listening.fd(), SHUT_RDWR);  // wakes a waiting poll at once
    if (g_thread.joinable())
        g_thread.join();
    g_listening.close();
    std::lock_guard<std::mutex> guard(g_mailbox.lock);
    g_mailbox.full = false;
}
