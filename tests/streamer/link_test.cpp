// The link to the streamer against a scripted peer on loopback: the frames
// on the wire, the reply status rules, bringing the link up and tearing it
// down from another thread.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/result_codes.h"
#include "tests/streamer/link_fixture.h"
#include "tests/streamer/script_peer.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

struct LinkTest : LinkFixture {
    ScriptPeer peer;
    std::mutex seen_lock;
    std::vector<Bytes> seen;  // frames the peer read, in order

    void record(const Bytes& frame)
    {
        std::lock_guard<std::mutex> g(seen_lock);
        seen.push_back(frame);
    }
};

TEST_F(LinkTest, EveryCommandGoesOutAsMarkerCodeAndPayloadAndNothingMore)
{
    struct Case {
        uint8_t command;
        size_t payload;
    };
    // Codes and payload sizes as the protocol's command table gives them.
    const Case cases[] = {
        {0xBC, 1024}, {0xBE, 1024}, {0xBF, 1024}, {0xC3, 0}, {0xD2, 1024},
        {0xD3, 52},   {0xD4, 52},   {0xD6, 1024}, {0xED, 0},
    };
    ASSERT_TRUE(peer.start([&](int fd) {
        if (!peer_accept_login(fd))
            return;
        for (const Case& c : cases) {
            Bytes frame = peer_read_frame(fd, c.payload);
            record(frame);
            peer_reply(fd, c.command);
        }
        // Anything beyond the frames would show up here.
        uint8_t extra;
        if (peer_read(fd, &extra, 1, 100))
            record({extra});
    }));
    manual_address(peer.base_port());
    for (const Case& c : cases) {
        const Bytes payload = pattern(c.payload, c.command);
        EXPECT_EQ(link_request(link.get(), c.command, payload.data(), payload.size(), nullptr, 0,
                               TEST_REPLY_MS),
                  0);
    }
    link_disconnect(link.get());
    peer.stop();
    ASSERT_EQ(seen.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        Bytes expected = {0xAA, cases[i].command};
        const Bytes payload = pattern(cases[i].payload, cases[i].command);
        expected.insert(expected.end(), payload.begin(), payload.end());
        EXPECT_EQ(seen[i], expected) << "command " << int(cases[i].command);
    }
}

TEST_F(LinkTest, LoginSendsHelloThenNamePasswordAndZeroClientData)
{
    account("viewer", "s3cret");
    settings->handshake_value = 0x201;  // only the low byte goes out
    Bytes hello(1), login;
    ASSERT_TRUE(peer.start([&](int fd) {
        peer_read(fd, hello.data(), 1);
        peer_write(fd, "x", 1);
        login = peer_read_frame(fd, LOGIN_PAYLOAD_SIZE);
        peer_reply(fd, CMD_LOGIN, {0});
    }));
    manual_address(peer.base_port());
    ASSERT_EQ(link_ensure_connected(link.get()), 0);
    EXPECT_TRUE(connected());
    peer.stop();
    EXPECT_EQ(hello[0], 0x01);
    Bytes expected(2 + 96, 0);
    expected[0] = 0xAA;
    expected[1] = 0xAC;
    std::memcpy(&expected[2], "viewer", 6);
    std::memcpy(&expected[2 + 32], "s3cret", 6);
    EXPECT_EQ(login, expected);
    const uint8_t* kept = link->request;
    EXPECT_EQ(std::search(kept, kept + sizeof(link->request), "s3cret", "s3cret" + 6),
              kept + sizeof(link->request))
        << "the password stayed in the request buffer";
}

TEST_F(LinkTest, AReplyWithAnotherStatusDropsTheLinkButStillHandsOverItsPayload)
{
    struct Case {
        uint8_t command;
        uint8_t status;
        int expected;
    };
    const Case cases[] = {
        {CMD_LIST_FOLDER, REPLY_REFUSED, ERR_SERVER_REPLY},
        {CMD_LIST_FOLDER, CMD_MEDIA_INFO, ERR_SERVER_REPLY},
        {CMD_SELECT_FILE, REPLY_REFUSED, ERR_SERVER_REPLY},
        {CMD_START_FILE_STREAM, REPLY_REFUSED, ERR_MEDIA_OPEN},
        {CMD_START_LIVE_STREAM, CMD_START_FILE_STREAM, ERR_MEDIA_OPEN},
        {CMD_START_FILE_STREAM, CMD_START_FILE_STREAM, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.command) * 1000 + c.status);
        ScriptPeer one;
        ASSERT_TRUE(one.start([&](int fd) {
            if (!peer_accept_login(fd))
                return;
            peer_read_frame(fd, 52);
            peer_reply(fd, c.status, pattern(REPLY_PAYLOAD_SIZE, 9));
        }));
        manual_address(one.base_port());
        uint8_t request[52] = {};
        Bytes out(REPLY_PAYLOAD_SIZE);
        EXPECT_EQ(link_request(link.get(), c.command, request, sizeof(request), out.data(),
                               out.size(), TEST_REPLY_MS),
                  c.expected);
        EXPECT_EQ(out, pattern(REPLY_PAYLOAD_SIZE, 9));
        EXPECT_EQ(connected(), c.expected == 0);
        EXPECT_EQ(link->command_socket.valid(), c.expected == 0);
        link_disconnect(link.get());
    }
}

TEST_F(LinkTest, RequestsLargerThanTheFramesAreRefusedBeforeAnyTraffic)
{
    ASSERT_TRUE(peer.start([](int) {}));
    manual_address(peer.base_port());
    const Bytes big(REQUEST_BUFFER_SIZE);
    Bytes out(REPLY_PAYLOAD_SIZE + 1);
    EXPECT_EQ(link_request(link.get(), CMD_LIST_FOLDER, big.data(), big.size(), nullptr, 0,
                           TEST_REPLY_MS),
              ERR_GENERIC);
    EXPECT_EQ(link_request(link.get(), CMD_LIST_FOLDER, big.data(), 10, out.data(), out.size(),
                           TEST_REPLY_MS),
              ERR_GENERIC);
    peer.stop();
    EXPECT_EQ(peer.command_accepts.load(), 0);
}

TEST_F(LinkTest, AMissingAccountFailsWithoutTouchingTheNetwork)
{
    const struct {
        const char* user;
        const char* password;
    } cases[] = {{"viewer", ""}, {"", "secret"}, {"", ""}};
    ASSERT_TRUE(peer.start([](int) {}));
    manual_address(peer.base_port());
    for (const auto& c : cases) {
        account(c.user, c.password);
        EXPECT_EQ(link_ensure_connected(link.get()), ERR_NO_ACCOUNT);
    }
    peer.stop();
    EXPECT_EQ(peer.command_accepts.load() + peer.data_accepts.load(), 0);
}

TEST_F(LinkTest, AServerThatNeverAnswersTheHelloFailsAndIsLetGo)
{
    std::atomic<bool> closed{false};
    ASSERT_TRUE(peer.start([&](int fd) {
        uint8_t hello;
        peer_read(fd, &hello, 1);
        closed = peer_sees_close(fd, 5000);
    }));
    manual_address(peer.base_port());
    EXPECT_EQ(link_ensure_connected(link.get()), ERR_GENERIC);
    EXPECT_FALSE(connected());
    EXPECT_FALSE(link->command_socket.valid());
    peer.stop();
    EXPECT_TRUE(closed.load()) << "the half-open command connection was kept";
}

// A listener whose queue is full: a further connect is neither accepted nor
// refused, so it stays in progress until something ends it.
struct FullListener {
    Socket listener;
    std::vector<Socket> fillers;
    int port = 0;
    FullListener()
    {
        listener = Socket(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        ::bind(listener.fd(), reinterpret_cast<sockaddr*>(&a), sizeof(a));
        ::listen(listener.fd(), 0);
        ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        for (int i = 0; i < 4; ++i) {
            Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            ::connect(s.fd(), reinterpret_cast<sockaddr*>(&a), sizeof(a));
            fillers.push_back(std::move(s));
        }
    }
};

std::atomic<int> pump_count{0};
void count_pump(void*)
{
    ++pump_count;
}

TEST_F(LinkTest, AConnectInProgressEndsWhenAnotherThreadDisconnectsOrTheUserCancels)
{
    FullListener full;
    link->times.connect_steps = 1 << 30;  // only the other thread can end it
    link->times.connect_step_ms = 50;
    link_set_event_pump(link.get(), count_pump, nullptr);
    const std::function<void()> enders[] = {
        [&] { link_disconnect(link.get()); },
        [&] { abort_flag = 1; },
    };
    for (const auto& end : enders) {
        pump_count = 0;
        abort_flag = 0;
        std::thread other([&] {
            while (pump_count < 3)
                std::this_thread::yield();
            end();
        });
        Socket out;
        EXPECT_EQ(link_connect(link.get(), "127.0.0.1", full.port, 0, &out), -1);
        EXPECT_FALSE(out.valid());
        other.join();
        EXPECT_GE(pump_count, 3);
    }
}

TEST_F(LinkTest, BadAddressesAndPortsAreRefusedAtOnce)
{
    const struct {
        const char* address;
        int port;
    } cases[] = {{"not-an-address", 80}, {"127.0.0.1", 0}, {"127.0.0.1", 70000}, {nullptr, 80}};
    for (const auto& c : cases) {
        Socket out;
        EXPECT_EQ(link_connect(link.get(), c.address, c.port, 0, &out), -1);
        EXPECT_FALSE(out.valid());
    }
}

TEST_F(LinkTest, TheDataPollFlagsAStallOnlyWhileTheStreamRuns)
{
    link->times.poll_ms = 10;
    link->times.stall_ms = 0;
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    Socket ours(pair[0]), theirs(pair[1]);
    uint8_t buffer[16];
    link->last_data_tick = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(link_recv_poll(link.get(), ours.fd(), buffer, sizeof(buffer), 0, true), 0);
    EXPECT_FALSE(flags_any(&flags, APP_STREAM_STALLED));
    EXPECT_EQ(link_recv_poll(link.get(), ours.fd(), buffer, sizeof(buffer), 0, false), 0);
    EXPECT_TRUE(flags_any(&flags, APP_STREAM_STALLED));
    peer_write(theirs.fd(), "abc", 3);
    EXPECT_EQ(link_recv_poll(link.get(), ours.fd(), buffer, sizeof(buffer), 0, false), 3);
    EXPECT_FALSE(flags_any(&flags, APP_STREAM_STALLED));
}

TEST(Base64Url, PadsShortGroupsAndStopsAtBytesAboveAscii)
{
    const struct {
        std::string in;
        bool ok;
        const char* out;
    } cases[] = {
        {"", true, ""},
        {"f", true, "Zg=="},
        {"fo", true, "Zm8="},
        {"foo", true, "Zm9v"},
        {"???~~~", true, "Pz8_fn5-"},
        {"ab\xC3\xA9", false, ""},
        {"abcd\xC3\xA9", false, "YWJj"},
        {std::string(189, 'a'), true, nullptr},
        {std::string(190, 'a'), false, nullptr},
    };
    for (const auto& c : cases) {
        char out[BASE64URL_OUT_SIZE];
        std::memset(out, 'x', sizeof(out));
        EXPECT_EQ(base64url_encode(out, reinterpret_cast<const uint8_t*>(c.in.data()), c.in.size()),
                  c.ok)
            << c.in;
        ASSERT_NE(std::memchr(out, 0, sizeof(out)), nullptr);
        if (c.out) {
            EXPECT_STREQ(out, c.out);
        }
    }
}

}  // namespace
