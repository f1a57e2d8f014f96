// StreamerLink: the two TCP connections to the Velmora Media Streamer (a
// command connection for fixed request/reply exchanges, a data connection the
// server pushes media over), the directory service sockets that locate it,
// and the operations that bring the link up, frame the exchanges and tear it
// down. It is the streamer's part of AppState.
//
// Contract:
// - Start-up wires `flags`, `settings`, `abort_flag` and `lock` (the
//   streamer-link mutex) with link_attach before any thread uses the link,
//   and may install an event pump (link_set_event_pump): while link_connect
//   waits on the thread that installed it, the pump runs once per step so
//   that the screen stays responsive.
// - Every operation returns 0 or a negative ResultCode unless said
//   otherwise. Every failed exchange leaves the link down (link_disconnect),
//   so the next operation starts from a clean connection.
// - Every wait has a limit (`times`) and also ends early when `abort_flag`
//   becomes set; a peer that stalls or disappears never holds a caller longer
//   than the limit of the wait it is in.
//
// Threads: the command connection is used by one thread at a time (the
// browser's worker or the main thread); the data connection only by the
// stream receiver. `lock` guards creating and closing the sockets:
// link_disconnect may be called from any thread at any time, and a
// link_connect in progress on another thread then fails within one step.
// The socket fields themselves are read without the lock by the thread that
// uses the connection.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include <SDL/SDL_mutex.h>

#include "platform/flag_word.h"
#include "platform/net.h"

struct Settings;

// Command codes of the command connection.
enum StreamerCommand : uint8_t {
    CMD_LOGIN = 0xAC,
    CMD_LIST_SUBTITLES = 0xBC,
    CMD_MEDIA_INFO = 0xBE,
    CMD_LIST_FOLDER = 0xBF,
    CMD_CHANNEL_LIST = 0xC3,
    CMD_SELECT_FILE = 0xD2,
    CMD_START_FILE_STREAM = 0xD3,
    CMD_START_LIVE_STREAM = 0xD4,
    CMD_SELECT_SUBTITLES = 0xD6,
    CMD_STOP_STREAM = 0xED,
};

constexpr uint8_t FRAME_MARKER = 0xAA;        // first byte of every request frame
constexpr uint8_t REPLY_REFUSED = 0xFF;       // reply status of a refused request
constexpr size_t REQUEST_BUFFER_SIZE = 2048;  // the largest request frame
constexpr size_t REPLY_SIZE = 42;             // every reply frame, status included
constexpr size_t REPLY_PAYLOAD_SIZE = 40;     // reply frame less marker and status
constexpr size_t PATH_PAYLOAD_SIZE = 1024;    // a path payload: NUL-terminated, zero-padded
constexpr size_t LOGIN_PAYLOAD_SIZE = 96;     // user name, password, client data: 32 each
constexpr size_t LOGIN_FIELD_SIZE = 32;
constexpr size_t BASE64URL_OUT_SIZE = 256;  // output of base64url_encode, NUL included

constexpr int LINK_HOST_SIZE = 128;
constexpr int LINK_ADDRESS_SIZE = 16;
constexpr int BROKER_ADDRESS_SIZE = 32;
constexpr int MAX_BROKERS = 3;

// link_connect flag: leave the socket non-blocking.
constexpr unsigned LINK_NONBLOCKING = 0x1;

// How long the link waits. The defaults are the protocol's; tests shorten
// them instead of waiting out a real 15 s.
struct LinkTimes {
    int32_t reply_ms = 15000;      // a reply frame, a hello byte, a follow-up
    int32_t stop_reply_ms = 5000;  // the reply to stop stream
    int32_t connect_step_ms = 200;
    int32_t connect_steps = 50;  // 10 s of steps before a connect gives up
    int32_t stall_ms = 5000;     // no data this long sets APP_STREAM_STALLED
    int32_t poll_ms = 100;       // link_recv_poll's longest wait: the receiver's
                                 // stop check comes at least this often
};

struct BrokerEntry {
    char host[LINK_HOST_SIZE];
    char address[BROKER_ADDRESS_SIZE];
    int32_t port;
};

// Runs one pass of the main thread's event handling during a connect.
using LinkEventPump = void (*)(void* context);

struct StreamerLink {
    // Wired by start-up (link_attach), never changed afterwards.
    FlagWord* flags;                         // APP_STREAMER_CONNECTED, APP_STREAM_STALLED
    const Settings* settings;                // account, manual address, handshake value
    const std::atomic<uint8_t>* abort_flag;  // the user cancelled; null = never
    SDL_mutex* lock;                         // the streamer-link lock
    LinkEventPump event_pump;                // null = none
    void* pump_context;
    std::thread::id pump_thread;  // the thread the pump runs on

    Socket command_socket;                 // to command_port
    Socket data_socket;                    // to base_port
    Socket directory_socket;               // HTTP to the directory service
    Socket broker_socket;                  // HTTP to a broker
    char host[LINK_HOST_SIZE];             // name or dotted address of the streamer
    char host_address[LINK_ADDRESS_SIZE];  // as the broker reported it; informational
    int32_t base_port;
    int32_t command_port;  // always base_port + 1
    uint8_t request[REQUEST_BUFFER_SIZE];
    uint8_t reply[REPLY_SIZE];
    uint32_t client_kind;  // handshake value sent with the hello byte
    BrokerEntry brokers[MAX_BROKERS];
    int32_t broker_count;
    std::atomic<uint32_t> last_data_tick;  // written by the stream receiver
    uint64_t generation;                   // bumped by each link_disconnect, under lock
    LinkTimes times;
};

// Start-up: wires the link to the flag word, the settings, the abort flag and
// the streamer-link mutex.
void link_attach(StreamerLink* link, FlagWord* flags, const Settings* settings,
                 const std::atomic<uint8_t>* abort_flag, SDL_mutex* lock);
// The calling thread becomes the one whose connects run `pump` each step.
void link_set_event_pump(StreamerLink* link, LinkEventPump pump, void* context);

// Connects *out to a dotted IPv4 address (or, for link_connect_host, the
// first IPv4 address of a host name) at a host-order port, waiting in
// times.connect_step_ms steps up to times.connect_steps of them. The socket
// is blocking afterwards unless LINK_NONBLOCKING is given. 0, or -1 with *out
// closed: bad address or port, abort, refusal, time-out, or a link_disconnect
// from another thread meanwhile.
int link_connect(StreamerLink* link, const char* address, int port, unsigned flags, Socket* out);
int link_connect_host(StreamerLink* link, const char* host_name, int port, Socket* out);
// Closes *socket under the lock (an already closed socket is left alone).
void link_close(StreamerLink* link, Socket* socket);

// 0 when all `length` bytes went out (a length of 0 or less included), -1
// otherwise. A peer that stops reading ends it after the socket's send
// time-out, which link_connect sets to times.reply_ms.
int link_send_all(int fd, const void* buffer, long length);
// Receives until `length` bytes are in; each piece waits at most timeout_ms
// (and wakes on *abort_flag when given). The bytes received: `length` on
// success, fewer when a wait timed out or the peer closed or failed.
size_t link_recv_exact(int fd, void* buffer, size_t length, int timeout_ms,
                       const std::atomic<uint8_t>* abort_flag = nullptr);
// One read of the data connection: waits up to times.poll_ms (not at all
// while buffered_bytes exceeds 64000), then reads up to `capacity` bytes.
// A positive count notes the tick and clears APP_STREAM_STALLED; otherwise,
// once times.stall_ms have passed without data and the stream has not
// ended, sets it. Returns the count, 0 or negative.
long link_recv_poll(StreamerLink* link, int fd, void* buffer, size_t capacity,
                    int64_t buffered_bytes, bool stream_ended);

// Builds a request frame (0xAA, command, payload) into `frame`: its length
// (payload_length + 2), or 0 when it does not fit `capacity`.
size_t link_frame_build(uint8_t* frame, size_t capacity, uint8_t command, const void* payload,
                        size_t payload_length);
// The login payload: user name and password, each NUL-padded in its 32-byte
// field (31 characters at most), and 32 bytes of zero client data.
void link_login_payload(uint8_t out[LOGIN_PAYLOAD_SIZE], const char* username,
                        const char* password);
// A path payload: the path NUL-terminated and zero-padded to 1024 bytes
// (cut to 1023 bytes on a character boundary).
void link_path_payload(uint8_t out[PATH_PAYLOAD_SIZE], const char* path);

// One exchange on the command connection: brings the link up, sends the
// frame, reads the 42-byte reply within timeout_ms and copies the first
// out_length bytes of its payload to `out` (before the status is looked at).
// A reply whose status is not the command's code is a refusal: the link goes
// down and the result is ERR_MEDIA_OPEN for the two stream starts,
// ERR_SERVER_REPLY otherwise. A payload or out_length beyond the frame
// sizes is refused with ERR_GENERIC before anything is sent.
int link_request(StreamerLink* link, uint8_t command, const void* payload, size_t payload_length,
                 void* out, size_t out_length, int timeout_ms);

// Brings the link up unless it is: the account must be set (else
// ERR_NO_ACCOUNT without any traffic); the server is the manual address or
// what the directory lookup finds; then the hello byte, both connections and
// the login. 0 or a negative code; a failure leaves the link down.
int link_ensure_connected(StreamerLink* link);
// Closes all four sockets and clears APP_STREAMER_CONNECTED. Any thread.
void link_disconnect(StreamerLink* link);

// URL-safe base64 of `in` into out (zeroed first, always terminated), with
// "=" padding. false at the first input byte above 127 (out then holds the
// groups completed before it) or when the text would not fit out.
bool base64url_encode(char out[BASE64URL_OUT_SIZE], const uint8_t* in, size_t length);
