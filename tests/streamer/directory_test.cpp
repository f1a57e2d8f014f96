// The directory lookup: the brokers list and the broker answer as text, and
// the whole lookup against a scripted HTTP peer that plays both the
// directory host and its brokers.
#include <stdlib.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/result_codes.h"
#include "streamer/directory.h"
#include "tests/streamer/link_fixture.h"
#include "tests/streamer/script_peer.h"

namespace {

TEST(BrokerList, CompleteTriplesOnlyAndTextsCutToTheirFields)
{
    const std::string long_host(300, 'h');
    const struct {
        std::string text;
        std::vector<BrokerEntry> expected;
    } cases[] = {
        {"<b><host>a.example</host><ip>10.0.0.1</ip><port>81</port></b>"
         "<b><host>b.example</host><ip>10.0.0.2</ip><port> 8080x</port></b>"
         "<b><host>c.example</host><ip>10.0.0.3</ip></b>",
         {{"a.example", "10.0.0.1", 81}, {"b.example", "10.0.0.2", 8080}}},
        {"<html>no brokers today</html>", {}},
        {"<host>" + long_host + "<ip>" + std::string(40, '9') + "<port>7", {{"", "", 7}}},
        {"<host>1<ip>1<port>1<host>2<ip>2<port>2<host>3<ip>3<port>3<host>4<ip>4<port>4",
         {{"1", "1", 1}, {"2", "2", 2}, {"3", "3", 3}}},
        {"<host>x<ip>y<port>", {{"x", "y", 0}}},
    };
    for (const auto& c : cases) {
        BrokerEntry got[MAX_BROKERS] = {};
        const int n = directory_parse_brokers(c.text.c_str(), got, MAX_BROKERS);
        ASSERT_EQ(n, static_cast<int>(c.expected.size())) << c.text;
        for (int i = 0; i < n; ++i) {
            if (c.expected[i].host[0]) {
                EXPECT_STREQ(got[i].host, c.expected[i].host);
                EXPECT_STREQ(got[i].address, c.expected[i].address);
            } else {
                EXPECT_EQ(std::strlen(got[i].host), sizeof(got[i].host) - 1);
                EXPECT_EQ(std::strlen(got[i].address), sizeof(got[i].address) - 1);
            }
            EXPECT_EQ(got[i].port, c.expected[i].port);
        }
    }
}

TEST(BrokerAnswer, FieldsAtTheirDistancesOrARefusal)
{
    const struct {
        const char* text;
        int expected;
        const char* host;
        const char* address;
        int port;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\nresp:0hst=pc.home,adr=192.168.1.5,port= 9000,", 0, "pc.home",
         "192.168.1.5", 9000},
        {"resp:1hst=pc.home,adr=192.168.1.5,port=9000,", ERR_LOGIN_REFUSED, "", "", 0},
        {"resp:7", ERR_LOGIN_REFUSED, "", "", 0},
        {"no answer here", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:x", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0ab", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0hst=pc.home", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0hst=pc.home,a", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0hst=pc.home,adr=1.2.3.4,po", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0hst=pc.home,adr=1.2.3.4,port=9000", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0hst=pc.home,adr=1.2.3.4,port=0,", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0hst=pc.home,adr=1.2.3.4,port=65535,", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0hst=pc.home,adr=1.2.3.4,port=99999999999,", ERR_DIRECTORY_SERVICE, "", "", 0},
        {"resp:0hst=pc.home,adr=1111.2222.3333.4444,port=80,", 0, "pc.home", "1111.2222.3333.", 80},
    };
    for (const auto& c : cases) {
        BrokerAnswer got{};
        std::strcpy(got.host, "untouched");
        EXPECT_EQ(directory_parse_answer(c.text, &got), c.expected) << c.text;
        if (c.expected == 0) {
            EXPECT_STREQ(got.host, c.host);
            EXPECT_STREQ(got.address, c.address);
            EXPECT_EQ(got.port, c.port);
        } else {
            EXPECT_STREQ(got.host, "untouched") << c.text;
        }
    }
}

// Reads one HTTP request (up to its blank line).
std::string read_request(int fd)
{
    std::string text;
    char c;
    while (text.find("\r\n\r\n") == std::string::npos && peer_read(fd, &c, 1, 2000))
        text += c;
    return text;
}

struct LookupTest : LinkFixture {
    ScriptPeer peer;
    std::mutex lock;
    std::vector<std::string> requests;
    std::string brokers_body;  // the directory's answer
    std::string broker_body = "resp:0hst=streamer.pc,adr=10.1.2.3,port=7000,";
    bool stall_directory = false;
    std::atomic<bool> client_let_go{false};  // a stalled directory saw the client close

    void start()
    {
        ASSERT_TRUE(peer.start([this](int fd) {
            const std::string request = read_request(fd);
            const bool directory = request.find("brokers.xml") != std::string::npos;
            std::string body = "HTTP/1.0 200 OK\r\n\r\n";
            bool stall;
            {
                std::lock_guard<std::mutex> g(lock);
                requests.push_back(request);
                stall = directory && stall_directory;
                body += directory ? brokers_body : broker_body;
            }
            if (stall) {
                client_let_go = peer_sees_close(fd, 3000);
                return;
            }
            peer_write(fd, body.data(), body.size());
        }));
        const std::string where = "127.0.0.1,127.0.0.1," + std::to_string(peer.base_port() + 1);
        setenv("VELMORA_DIRECTORY", where.c_str(), 1);
    }
    ~LookupTest() override { unsetenv("VELMORA_DIRECTORY"); }
    std::string broker_at(int port)
    {
        return "<host>127.0.0.1</host><ip>127.0.0.1</ip><port>" + std::to_string(port) + "</port>";
    }
};

TEST_F(LookupTest, TheBrokerNamedByTheDirectoryGivesTheStreamersPlace)
{
    // The first broker listed is not there; the second is this peer.
    start();
    {
        std::lock_guard<std::mutex> g(lock);
        brokers_body = broker_at(1) + broker_at(peer.base_port() + 1);
    }
    ASSERT_EQ(directory_lookup(link.get()), 0);
    EXPECT_STREQ(link->host, "streamer.pc");
    EXPECT_STREQ(link->host_address, "10.1.2.3");
    EXPECT_EQ(link->base_port, 7000);
    EXPECT_EQ(link->command_port, 7001);
    EXPECT_FALSE(link->directory_socket.valid());
    EXPECT_FALSE(link->broker_socket.valid());
    peer.stop();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET /site/demos/VLMediaStreamer/brokers.xml HTTP/1.1\n"
                           "Host:127.0.0.1\r\n\r\n");
    EXPECT_EQ(requests[1], "GET /cgi-bin/VLMSbroker.cgi?cmd=ci&un=dmlld2Vy HTTP/1.0\n"
                           "Host:127.0.0.1\r\n\r\n");
}

TEST_F(LookupTest, WithoutBrokersOrAnAnsweringDirectoryTheServiceItselfIsAsked)
{
    const std::string flood(3 * DIRECTORY_BUFFER_SIZE, '<');
    const struct {
        const char* name;
        std::string list;
        bool stall;
        const char* user;
        const char* encoded;
    } cases[] = {
        {"no brokers listed", "<brokers/>", false, "viewer", "dmlld2Vy"},
        {"a list longer than the buffer", flood, false, "viewer", "dmlld2Vy"},
        {"directory silent", "", true, "viewer", "dmlld2Vy"},
        {"name beyond ASCII", "<brokers/>", false, "abc\xC3\xA9", "YWJj"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        requests.clear();
        brokers_body = c.list;
        stall_directory = c.stall;
        client_let_go = false;
        account(c.user, "secret");
        start();
        EXPECT_EQ(directory_lookup(link.get()), 0);
        EXPECT_STREQ(link->host, "streamer.pc");
        peer.stop();
        EXPECT_EQ(client_let_go.load(), c.stall) << "a silent directory held the lookup";
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_NE(requests[1].find(std::string("un=") + c.encoded + " HTTP"), std::string::npos)
            << requests[1];
    }
}

TEST_F(LookupTest, NoReachableBrokerIsADirectoryFailure)
{
    setenv("VELMORA_DIRECTORY", "127.0.0.1,127.0.0.1,1", 1);
    EXPECT_EQ(directory_lookup(link.get()), ERR_DIRECTORY_SERVICE);
    EXPECT_FALSE(link->broker_socket.valid());
}

}  // namespace
