// Sockets: the POSIX counterpart of the sockets layer the program was built
// around. Socket owns one descriptor and closes it once. Any thread may call
// these on sockets it owns; results are given beside each.
#pragma once

#include <cstdint>

// Sockets need no start-up here; kept so start-up and shutdown read the same
// on every platform. net_startup returns the granted version (1.1 = 0x0101).
int net_startup();
void net_cleanup();

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : fd_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void close();

private:
    int fd_ = -1;
};

// A TCP socket bound to any local address on `port`, listening with
// `backlog`; invalid on failure. Address reuse is allowed.
Socket tcp_listen(uint16_t port, int backlog);
// Waits up to `timeout_ms` for `fd` to become readable (or, for a listening
// socket, to have a connection). 1 ready, 0 timed out, -1 error.
int wait_readable(int fd, int timeout_ms);
// Waits up to `timeout_ms` for `fd` to become writable (a connect in
// progress has ended, well or badly). 1 ready, 0 timed out, -1 error.
int wait_writable(int fd, int timeout_ms);
// Sets the receive time-out of a connected socket.
void set_receive_timeout(int fd, int timeout_ms);
