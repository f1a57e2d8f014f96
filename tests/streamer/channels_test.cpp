// The channel list: the table as it is stored (plain or zlib), a peer that
// sends too many, none or a short table, and the simulator's own channels.
#include <cstring>
#include <string>
#include <vector>

#include "platform/pack.h"
#include "platform/result_codes.h"
#include "streamer/channels.h"
#include "tests/streamer/link_fixture.h"
#include "tests/streamer/script_peer.h"
#include "tests/streamer/sim_process.h"

namespace {

Bytes table_of(int count)
{
    Bytes out(count * CHANNEL_ENTRY_SIZE, 0);
    for (int i = 0; i < count; ++i) {
        ChannelEntry e{};
        e.number = static_cast<uint16_t>(i + 1);
        const std::string name = "Channel " + std::to_string(i + 1);
        std::memcpy(e.name, name.c_str(), name.size());
        std::memcpy(&out[i * CHANNEL_ENTRY_SIZE], &e, sizeof(e));
    }
    return out;
}

struct Table {
    std::vector<ChannelEntry> entries = std::vector<ChannelEntry>(CHANNEL_TABLE_SIZE);
    int32_t count = -1;
};

const Bytes FIVE = table_of(5);

TEST(ChannelTableUnpack, TakesPlainOrZlibTablesOfExactlyCountEntries)
{
    Bytes unterminated = FIVE;
    std::memset(&unterminated[3], 'x', 33);  // the first name fills its field
    const Bytes zipped = packed(FIVE);
    const struct {
        const char* name;
        uint32_t count;
        Bytes stored;
        int expected;
        int32_t count_after;  // -1: untouched
    } cases[] = {
        {"plain", 5, FIVE, 0, 5},
        {"zlib", 5, zipped, 0, 5},
        {"zlib of fewer entries than counted", 6, zipped, ERR_SERVER_REPLY, 0},
        {"zlib of more entries than counted", 4, zipped, ERR_SERVER_REPLY, 0},
        {"zlib cut short", 5, Bytes(zipped.begin(), zipped.end() - 5), ERR_SERVER_REPLY, 0},
        {"plain, one byte short", 5, Bytes(FIVE.begin(), FIVE.end() - 1), ERR_SERVER_REPLY, 0},
        {"no channels", 0, {}, ERR_NO_CHANNELS, -1},
        {"more than the table holds", CHANNEL_TABLE_SIZE + 1, table_of(CHANNEL_TABLE_SIZE + 1),
         ERR_GENERIC, -1},
        {"empty stored table", 5, {}, ERR_GENERIC, -1},
        {"a name that fills its field", 5, unterminated, 0, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Table t;
        const int rc = channel_table_unpack(c.count, c.stored.data(),
                                            static_cast<uint32_t>(c.stored.size()),
                                            t.entries.data(), &t.count);
        EXPECT_EQ(rc, c.expected);
        EXPECT_EQ(t.count, c.count_after);
        if (rc == 0) {
            EXPECT_EQ(t.entries[4].number, 5);
            EXPECT_STREQ(t.entries[4].name, "Channel 5");
            EXPECT_LT(std::strlen(t.entries[0].name), sizeof(t.entries[0].name));
            EXPECT_EQ(t.entries[5].number, 0);
        }
    }
}

struct ChannelFetchTest : LinkFixture {
    // Serves one channel list reply: status, the two lengths, then `body`.
    void serve(ScriptPeer* peer, uint8_t status, uint32_t count, uint32_t stored, Bytes body)
    {
        ASSERT_TRUE(peer->start([=](int fd) {
            if (!peer_accept_login(fd) || peer_read_frame(fd, 0).empty())
                return;
            peer_reply(fd, status, le32(count, stored));
            peer_write(fd, body.data(), body.size());
            peer_sees_close(fd, 3000);
        }));
        manual_address(peer->base_port());
    }
};

TEST_F(ChannelFetchTest, ATableArrivesWholeOrTheLinkGoesDown)
{
    const Bytes zipped = packed(FIVE);
    const auto z = static_cast<uint32_t>(zipped.size());
    const uint32_t n = 5 * CHANNEL_ENTRY_SIZE;
    const struct {
        const char* name;
        uint8_t status;
        uint32_t count, stored;
        Bytes body;
        int expected;
        bool stays_up;
    } cases[] = {
        {"plain", CMD_CHANNEL_LIST, 5, n, FIVE, 0, true},
        {"zlib", CMD_CHANNEL_LIST, 5, z, zipped, 0, true},
        {"no channels", CMD_CHANNEL_LIST, 0, 0, {}, ERR_NO_CHANNELS, true},
        {"1,001 channels", CMD_CHANNEL_LIST, 1001, 1001 * CHANNEL_ENTRY_SIZE, table_of(1001),
         ERR_GENERIC, false},
        {"short table", CMD_CHANNEL_LIST, 5, n, Bytes(FIVE.begin(), FIVE.begin() + 50), ERR_GENERIC,
         false},
        {"stored length beyond any table", CMD_CHANNEL_LIST, 5, 0xFFFFFFF0u, FIVE, ERR_GENERIC,
         false},
        {"refused", REPLY_REFUSED, 5, n, {}, ERR_SERVER_REPLY, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptPeer peer;
        serve(&peer, c.status, c.count, c.stored, c.body);
        Table t;
        EXPECT_EQ(channel_list_fetch(link.get(), t.entries.data(), &t.count), c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(t.count, 5);
            EXPECT_EQ(std::memcmp(t.entries.data(), FIVE.data(), FIVE.size()), 0);
        }
        EXPECT_EQ(connected(), c.stays_up);
        link_disconnect(link.get());
        peer.stop();
    }
}

TEST_F(ChannelFetchTest, TheSimulatorServesItsChannelTable)
{
    if (sim_python().empty())
        GTEST_SKIP() << "python3 is not installed: the simulators cannot run";
    link->times.reply_ms = 3000;
    const struct {
        std::vector<std::string> switches;
        int expected;
        int32_t count;
    } cases[] = {
        {{}, 0, 3},
        {{"--zlib", "never"}, 0, 3},
        {{"--channels", "1000"}, 0, 1000},
        {{"--channels", "0"}, ERR_NO_CHANNELS, -1},
        {{"--channels", "1001"}, ERR_GENERIC, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.switches.empty() ? "default" : c.switches.back());
        std::vector<std::string> args{"/"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        SimProcess streamer;
        ASSERT_TRUE(streamer.start("streamer_sim.py", args));
        manual_address(streamer.port());
        Table t;
        EXPECT_EQ(channel_list_fetch(link.get(), t.entries.data(), &t.count), c.expected);
        EXPECT_EQ(t.count, c.count);
        if (c.expected == 0) {
            EXPECT_EQ(t.entries[0].number, 1);
            EXPECT_STREQ(t.entries[0].name, "News 24/7");
            EXPECT_STREQ(t.entries[1].name, "Sports One");
        }
        link_disconnect(link.get());
    }
}

}  // namespace
