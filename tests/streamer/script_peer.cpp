#include "tests/streamer/script_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "streamer/streamer_link.h"

namespace {

constexpr int FIRST_BASE_PORT = 20000;  // a pair is looked for from here
constexpr int PORT_TRIES = 2000;
constexpr int ACCEPT_POLL_MS = 20;  // how soon stop() is noticed

Socket listen_loopback(int port)
{
    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!s.valid() || ::bind(s.fd(), reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 ||
        ::listen(s.fd(), 8) != 0)
        s.close();
    return s;
}

}  // namespace

bool ScriptPeer::start(Handler on_command)
{
    on_command_ = std::move(on_command);
    // Spread over the range by process so that parallel suites rarely meet.
    const int offset = (::getpid() * 7) % PORT_TRIES;
    for (int i = 0; i < PORT_TRIES; ++i) {
        const int base = FIRST_BASE_PORT + 2 * ((offset + i) % PORT_TRIES);
        data_listen_ = listen_loopback(base);
        command_listen_ = listen_loopback(base + 1);
        if (data_listen_.valid() && command_listen_.valid()) {
            base_port_ = base;
            running_ = true;
            acceptor_ = std::thread([this] { run(); });
            return true;
        }
    }
    return false;
}

void ScriptPeer::run()
{
    while (running_) {
        if (wait_readable(data_listen_.fd(), 0) > 0) {
            data_connections_.emplace_back(::accept(data_listen_.fd(), nullptr, nullptr));
            ++data_accepts;
        }
        if (wait_readable(command_listen_.fd(), ACCEPT_POLL_MS) > 0) {
            const int fd = ::accept(command_listen_.fd(), nullptr, nullptr);
            ++command_accepts;
            handlers_.emplace_back([this, fd] {
                Socket owned(fd);
                on_command_(fd);
            });
        }
    }
}

void ScriptPeer::stop()
{
    if (!running_.exchange(false))
        return;
    acceptor_.join();
    for (auto& t : handlers_)
        t.join();
    handlers_.clear();
    data_connections_.clear();
}

bool peer_read(int fd, void* out, size_t n, int timeout_ms)
{
    return link_recv_exact(fd, out, n, timeout_ms) == n;
}

std::vector<uint8_t> peer_read_frame(int fd, size_t payload_length)
{
    std::vector<uint8_t> frame(payload_length + 2);
    if (!peer_read(fd, frame.data(), frame.size()))
        frame.clear();
    return frame;
}

void peer_write(int fd, const void* data, size_t n)
{
    link_send_all(fd, data, static_cast<long>(n));
}

void peer_reply(int fd, uint8_t status, const std::vector<uint8_t>& payload)
{
    uint8_t reply[REPLY_SIZE] = {};
    reply[1] = status;
    if (!payload.empty())
        std::memcpy(reply + 2, payload.data(), std::min(payload.size(), REPLY_PAYLOAD_SIZE));
    peer_write(fd, reply, sizeof(reply));
}

bool peer_accept_login(int fd)
{
    uint8_t hello = 0;
    if (!peer_read(fd, &hello, 1))
        return false;
    peer_write(fd, &hello, 1);
    if (peer_read_frame(fd, LOGIN_PAYLOAD_SIZE).empty())
        return false;
    peer_reply(fd, CMD_LOGIN, {0});
    return true;
}

bool peer_sees_close(int fd, int timeout_ms)
{
    uint8_t b;
    if (wait_readable(fd, timeout_ms) <= 0)
        return false;
    return ::recv(fd, &b, 1, 0) <= 0;
}
