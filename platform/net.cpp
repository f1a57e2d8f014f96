#include "platform/net.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

int net_startup()
{
    return 0x0101;
}
void net_cleanup() {}

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int Socket::release()
{
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void Socket::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

Socket tcp_listen(uint16_t port, int backlog)
{
    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.valid())
        return s;
    int on = 1;
    ::setsockopt(s.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(s.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::listen(s.fd(), backlog) != 0)
        s.close();
    return s;
}

namespace {

int wait_for(int fd, short events, int timeout_ms)
{
    pollfd p{fd, events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeout_ms);
    } while (rc < 0 && errno == EINTR);
    if (rc > 0 && (p.revents & (POLLERR | POLLNVAL)))
        return -1;
    return rc < 0 ? -1 : (rc > 0 ? 1 : 0);
}

}  // namespace

int wait_readable(int fd, int timeout_ms)
{
    return wait_for(fd, POLLIN, timeout_ms);
}

int wait_writable(int fd, int timeout_ms)
{
    return wait_for(fd, POLLOUT, timeout_ms);
}

void set_receive_timeout(int fd, int timeout_ms)
{
    timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
}
