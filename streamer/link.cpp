#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/app_flags.h"
#include "platform/result_codes.h"
#include "platform/settings.h"
#include "platform/sync.h"
#include "platform/text_copy.h"
#include "streamer/directory.h"
#include "streamer/streamer_link.h"

namespace {

constexpr int RECEIVE_BUFFER_BYTES = 16384;   // small frames, quick turn-around
constexpr int64_t POLL_FREE_BACKLOG = 64000;  // this much waiting in the store: don't wait
constexpr int MAX_PORT = 65535;

uint32_t tick_ms()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool aborted(const StreamerLink* link)
{
    return link->abort_flag && link->abort_flag->load() != 0;
}

uint64_t generation_of(StreamerLink* link)
{
    LockGuard guard(link->lock);
    return link->generation;
}

void set_blocking(int fd, bool blocking)
{
    const int fl = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, blocking ? (fl & ~O_NONBLOCK) : (fl | O_NONBLOCK));
}

// Opens the socket and starts the connect, under the lock. 0 connected at
// once, 1 in progress, -1 failed.
int start_connect(StreamerLink* link, in_addr address, int port, Socket* s)
{
    *s = Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!s->valid())
        return -1;
    const int size = RECEIVE_BUFFER_BYTES;
    const int on = 1;
    ::setsockopt(s->fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    ::setsockopt(s->fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    // A peer that stops reading must not hold a send for ever.
    const int send_ms = link->times.reply_ms;
    timeval tv{send_ms / 1000, (send_ms % 1000) * 1000};
    ::setsockopt(s->fd(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
    set_blocking(s->fd(), false);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr = address;
    if (::connect(s->fd(), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0)
        return 0;
    return (errno == EINPROGRESS || errno == EWOULDBLOCK || errno == EAGAIN) ? 1 : -1;
}

// Waits for the connect in steps with the lock released, so that a
// link_disconnect elsewhere can end it. 0 connected, -1 failed.
int wait_connected(StreamerLink* link, const Socket& s, uint64_t generation)
{
    const bool pump_here = link->event_pump && link->pump_thread == std::this_thread::get_id();
    for (int step = 0;; ++step) {
        const int ready = wait_writable(s.fd(), link->times.connect_step_ms);
        if (generation_of(link) != generation || ready < 0)
            return -1;
        if (ready > 0) {
            int error = 0;
            socklen_t len = sizeof(error);
            if (::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0)
                return -1;
            return 0;
        }
        if (pump_here)
            link->event_pump(link->pump_context);
        if (step + 1 >= link->times.connect_steps || aborted(link))
            return -1;
    }
}

int connect_address(StreamerLink* link, in_addr address, int port, unsigned flags, Socket* out)
{
    Socket s;
    uint64_t generation;
    int started;
    {
        LockGuard guard(link->lock);
        *out = Socket();
        if (aborted(link) || port <= 0 || port > MAX_PORT)
            return -1;
        started = start_connect(link, address, port, &s);
        generation = link->generation;
    }
    if (started < 0 || (started > 0 && wait_connected(link, s, generation) != 0))
        return -1;
    if (!(flags & LINK_NONBLOCKING))
        set_blocking(s.fd(), true);
    LockGuard guard(link->lock);
    if (link->generation != generation)
        return -1;
    *out = std::move(s);
    return 0;
}

int resolve_ipv4(const char* host_name, in_addr* out)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host_name, nullptr, &hints, &found) != 0 || !found)
        return -1;
    *out = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return 0;
}

bool have_text(const char* field, size_t size)
{
    return field[0] != 0 && std::memchr(field, 0, size) != nullptr;
}

// Step 3 of bringing the link up: where the server is.
int locate_server(StreamerLink* link)
{
    const Settings& s = *link->settings;
    if (!s.connect_by_address)
        return directory_lookup(link);
    char host[LINK_HOST_SIZE] = {};
    std::memcpy(host, s.streamer_host, sizeof(host) - 1);
    copy_text(link->host, sizeof(link->host), host);
    link->base_port = s.streamer_port;
    link->command_port = s.streamer_port + 1;
    return 0;
}

// Command connection and hello, then the data connection.
int open_connections(StreamerLink* link)
{
    if (link_connect_host(link, link->host, link->command_port, &link->command_socket) != 0)
        return ERR_GENERIC;
    link->client_kind = link->settings->handshake_value;
    const uint8_t hello = static_cast<uint8_t>(link->client_kind & 0xFF);
    uint8_t answer = 0;
    if (link_send_all(link->command_socket.fd(), &hello, 1) != 0 ||
        link_recv_exact(link->command_socket.fd(), &answer, 1, link->times.reply_ms,
                        link->abort_flag) != 1)
        return ERR_GENERIC;
    if (link_connect_host(link, link->host, link->base_port, &link->data_socket) != 0)
        return ERR_GENERIC;
    return 0;
}

int log_in(StreamerLink* link)
{
    char user[LOGIN_FIELD_SIZE] = {};
    char password[LOGIN_FIELD_SIZE] = {};
    std::memcpy(user, link->settings->username, sizeof(user) - 1);
    std::memcpy(password, link->settings->password, sizeof(password) - 1);
    uint8_t payload[LOGIN_PAYLOAD_SIZE];
    link_login_payload(payload, user, password);
    uint8_t status = 0;
    const int rc = link_request(link, CMD_LOGIN, payload, sizeof(payload), &status, 1,
                                link->times.reply_ms);
    // The password is kept only in the settings.
    ::explicit_bzero(payload, sizeof(payload));
    ::explicit_bzero(password, sizeof(password));
    if (rc != 0)
        return rc;
    if (status != 0) {
        link_disconnect(link);
        return ERR_GENERIC;
    }
    return 0;
}

}  // namespace

void link_attach(StreamerLink* link, FlagWord* flags, const Settings* settings,
                 const std::atomic<uint8_t>* abort_flag, SDL_mutex* lock)
{
    link->flags = flags;
    link->settings = settings;
    link->abort_flag = abort_flag;
    link->lock = lock;
}

void link_set_event_pump(StreamerLink* link, LinkEventPump pump, void* context)
{
    link->event_pump = pump;
    link->pump_context = context;
    link->pump_thread = std::this_thread::get_id();
}

int link_connect(StreamerLink* link, const char* address, int port, unsigned flags, Socket* out)
{
    in_addr a{};
    if (!address || ::inet_pton(AF_INET, address, &a) != 1) {
        LockGuard guard(link->lock);
        *out = Socket();
        return -1;
    }
    return connect_address(link, a, port, flags, out);
}

int link_connect_host(StreamerLink* link, const char* host_name, int port, Socket* out)
{
    in_addr a{};
    if (!host_name || !host_name[0] || resolve_ipv4(host_name, &a) != 0) {
        LockGuard guard(link->lock);
        *out = Socket();
        return -1;
    }
    return connect_address(link, a, port, 0, out);
}

void link_close(StreamerLink* link, Socket* socket)
{
    LockGuard guard(link->lock);
    socket->close();
}

int link_send_all(int fd, const void* buffer, long length)
{
    const auto* at = static_cast<const uint8_t*>(buffer);
    while (length > 0) {
        const ssize_t sent = ::send(fd, at, static_cast<size_t>(length), MSG_NOSIGNAL);
        if (sent <= 0) {
            if (sent < 0 && errno == EINTR)
                continue;
            return -1;
        }
        at += sent;
        length -= sent;
    }
    return 0;
}

size_t link_recv_exact(int fd, void* buffer, size_t length, int timeout_ms,
                       const std::atomic<uint8_t>* abort_flag)
{
    constexpr int ABORT_CHECK_MS = 200;  // how late a cancel may be noticed
    auto* at = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    while (got < length) {
        int waited = 0;
        int ready = 0;
        while (ready == 0 && waited < timeout_ms) {
            if (abort_flag && abort_flag->load())
                return got;
            const int slice = std::min(ABORT_CHECK_MS, timeout_ms - waited);
            ready = wait_readable(fd, slice);
            waited += slice;
        }
        if (ready <= 0)
            return got;
        const ssize_t n = ::recv(fd, at + got, length - got, 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return got;
        }
        got += static_cast<size_t>(n);
    }
    return got;
}

long link_recv_poll(StreamerLink* link, int fd, void* buffer, size_t capacity,
                    int64_t buffered_bytes, bool stream_ended)
{
    const int wait = buffered_bytes > POLL_FREE_BACKLOG ? 0 : link->times.poll_ms;
    const uint32_t now = tick_ms();
    long result = wait_readable(fd, wait);
    if (result > 0) {
        result = ::recv(fd, buffer, capacity, 0);
        if (result > 0) {
            link->last_data_tick.store(now);
            flags_clear(link->flags, APP_STREAM_STALLED);
            return result;
        }
    }
    const uint32_t quiet = tick_ms() - link->last_data_tick.load();
    if (quiet > static_cast<uint32_t>(link->times.stall_ms) && !stream_ended)
        flags_set(link->flags, APP_STREAM_STALLED);
    return result;
}

size_t link_frame_build(uint8_t* frame, size_t capacity, uint8_t command, const void* payload,
                        size_t payload_length)
{
    if (capacity < 2 || payload_length > capacity - 2)
        return 0;
    std::memset(frame, 0, capacity);
    frame[0] = FRAME_MARKER;
    frame[1] = command;
    if (payload_length)
        std::memcpy(frame + 2, payload, payload_length);
    return payload_length + 2;
}

void link_login_payload(uint8_t out[LOGIN_PAYLOAD_SIZE], const char* username, const char* password)
{
    std::memset(out, 0, LOGIN_PAYLOAD_SIZE);
    copy_text(reinterpret_cast<char*>(out), LOGIN_FIELD_SIZE, username);
    copy_text(reinterpret_cast<char*>(out + LOGIN_FIELD_SIZE), LOGIN_FIELD_SIZE, password);
}

void link_path_payload(uint8_t out[PATH_PAYLOAD_SIZE], const char* path)
{
    std::memset(out, 0, PATH_PAYLOAD_SIZE);
    copy_text(reinterpret_cast<char*>(out), PATH_PAYLOAD_SIZE, path);
}

int link_request(StreamerLink* link, uint8_t command, const void* payload, size_t payload_length,
                 void* out, size_t out_length, int timeout_ms)
{
    if (payload_length > REQUEST_BUFFER_SIZE - 2 || out_length > REPLY_PAYLOAD_SIZE)
        return ERR_GENERIC;
    const int up = link_ensure_connected(link);
    if (up != 0)
        return up;
    const size_t n = link_frame_build(link->request, sizeof(link->request), command, payload,
                                      payload_length);
    const int sent = link_send_all(link->command_socket.fd(), link->request, static_cast<long>(n));
    // Sent frames are not kept: the login frame holds the password.
    ::explicit_bzero(link->request, n);
    if (sent != 0) {
        link_disconnect(link);
        return ERR_GENERIC;
    }
    if (link_recv_exact(link->command_socket.fd(), link->reply, REPLY_SIZE, timeout_ms,
                        link->abort_flag) != REPLY_SIZE) {
        link_disconnect(link);
        return ERR_GENERIC;
    }
    if (out_length)
        std::memcpy(out, link->reply + 2, out_length);
    if (link->reply[1] != command) {
        link_disconnect(link);
        const bool stream_start = command == CMD_START_FILE_STREAM ||
                                  command == CMD_START_LIVE_STREAM;
        return stream_start ? ERR_MEDIA_OPEN : ERR_SERVER_REPLY;
    }
    return 0;
}

int link_ensure_connected(StreamerLink* link)
{
    if (flags_any(link->flags, APP_STREAMER_CONNECTED))
        return 0;
    const Settings& s = *link->settings;
    if (!have_text(s.username, sizeof(s.username)) || !have_text(s.password, sizeof(s.password)))
        return ERR_NO_ACCOUNT;
    // Whatever an earlier failure left open goes first, so no socket is
    // replaced while open and a disconnect from now on is noticed.
    link_disconnect(link);
    const uint64_t generation = generation_of(link);
    int rc = locate_server(link);
    if (rc == 0)
        rc = open_connections(link);
    if (rc == 0) {
        LockGuard guard(link->lock);
        if (link->generation != generation)
            rc = ERR_GENERIC;
        else
            flags_set(link->flags, APP_STREAMER_CONNECTED);
    }
    if (rc != 0) {
        link_disconnect(link);
        return rc;
    }
    return log_in(link);
}

void link_disconnect(StreamerLink* link)
{
    LockGuard guard(link->lock);
    link->command_socket.close();
    link->data_socket.close();
    link->directory_socket.close();
    link->broker_socket.close();
    ++link->generation;
    flags_clear(link->flags, APP_STREAMER_CONNECTED);
}

bool base64url_encode(char out[BASE64URL_OUT_SIZE], const uint8_t* in, size_t length)
{
    static constexpr char ALPHABET[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::memset(out, 0, BASE64URL_OUT_SIZE);
    size_t o = 0;
    for (size_t i = 0; i < length; i += 3) {
        const size_t n = std::min<size_t>(3, length - i);
        for (size_t k = 0; k < n; ++k)
            if (in[i + k] > 127)
                return false;
        if (o + 4 >= BASE64URL_OUT_SIZE)
            return false;  // the terminator must still fit
        const uint32_t v = (in[i] << 16) | (n > 1 ? in[i + 1] << 8 : 0) | (n > 2 ? in[i + 2] : 0);
        out[o++] = ALPHABET[(v >> 18) & 63];
        out[o++] = ALPHABET[(v >> 12) & 63];
        out[o++] = n > 1 ? ALPHABET[(v >> 6) & 63] : '=';
        out[o++] = n > 2 ? ALPHABET[v & 63] : '=';
    }
    return true;
}
