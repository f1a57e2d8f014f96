// A scripted streamer for the link's tests: listens on two consecutive
// loopback ports (data on the base port, commands on the next one), keeps
// every data connection open, and runs the test's handler on its own thread
// for each command connection. Handlers speak through the helpers below,
// whose waits are bounded so that a test that goes wrong fails instead of
// hanging.
//
// Test thread: construction, start, stop and the counters; handler threads:
// the helpers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.h"

class ScriptPeer {
public:
    using Handler = std::function<void(int fd)>;
    ~ScriptPeer() { stop(); }

    // Binds both ports and starts accepting; false when no pair was free.
    bool start(Handler on_command);
    void stop();
    int base_port() const { return base_port_; }

    std::atomic<int> command_accepts{0};
    std::atomic<int> data_accepts{0};

private:
    void run();
    Socket data_listen_, command_listen_;
    std::vector<Socket> data_connections_;
    std::vector<std::thread> handlers_;
    std::thread acceptor_;
    std::atomic<bool> running_{false};
    Handler on_command_;
    int base_port_ = 0;
};

// The helpers a handler uses. peer_read: true when all n bytes came within
// timeout_ms; peer_reply: a 42-byte reply frame with status and payload.
bool peer_read(int fd, void* out, size_t n, int timeout_ms = 5000);
std::vector<uint8_t> peer_read_frame(int fd, size_t payload_length);
void peer_write(int fd, const void* data, size_t n);
void peer_reply(int fd, uint8_t status, const std::vector<uint8_t>& payload = {});
// Answers the hello byte and then the login with status 0.
bool peer_accept_login(int fd);
// True when the peer closed the connection within timeout_ms.
bool peer_sees_close(int fd, int timeout_ms);
