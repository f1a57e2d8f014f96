// Remote listings and records: the listing reply with and without zlib, a
// short information record, the stream request as bytes.
#include <string>
#include <vector>

#include "platform/pack.h"
#include "platform/result_codes.h"
#include "streamer/remote.h"
#include "tests/streamer/link_fixture.h"
#include "tests/streamer/script_peer.h"

namespace {

Bytes listing_of(const std::vector<std::string>& names)
{
    Bytes out;
    for (const auto& n : names) {
        out.insert(out.end(), n.begin(), n.end());
        out.push_back(0);
        out.push_back('f');
    }
    return out;
}

// Long enough for zlib to make it shorter.
std::vector<std::string> names(int n)
{
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i)
        out.push_back("episode " + std::to_string(i) + ".mp4");
    return out;
}
const Bytes PLAIN = listing_of(names(40));

TEST(ListingUnpack, StoredBytesAreInflatedOnlyWhenShorterAndMustFillThePlainLengthExactly)
{
    const Bytes zipped = packed(PLAIN);
    const Bytes zipped_cut(zipped.begin(), zipped.end() - 6);
    const Bytes longer = packed(listing_of(names(41)));
    const auto n = static_cast<uint32_t>(PLAIN.size());
    const struct {
        const char* name;
        Bytes stored;
        uint32_t plain_length;
        int expected;
    } cases[] = {
        {"equal lengths: taken as they are", PLAIN, n, 0},
        {"compressed", zipped, n, 0},
        {"compressed, cut short", zipped_cut, n, ERR_SERVER_REPLY},
        {"inflates to more than announced", longer, n, ERR_SERVER_REPLY},
        {"inflates to less than announced", zipped, n + 40, ERR_SERVER_REPLY},
        {"not zlib at all", Bytes(10, 0x55), n, ERR_SERVER_REPLY},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_EQ(listing_unpack(c.stored.data(), static_cast<uint32_t>(c.stored.size()),
                                 c.plain_length, &out),
                  c.expected)
            << c.name;
        if (c.expected == 0) {
            EXPECT_EQ(out, PLAIN) << c.name;
        }
    }
}

struct RemoteTest : LinkFixture {
    ScriptPeer peer;
    // Serves one listing reply: the two lengths, then `body`.
    void serve_listing(uint32_t plain, uint32_t stored, Bytes body,
                       uint8_t status = CMD_LIST_FOLDER)
    {
        ASSERT_TRUE(peer.start([=](int fd) {
            if (!peer_accept_login(fd) || peer_read_frame(fd, PATH_PAYLOAD_SIZE).empty())
                return;
            peer_reply(fd, status, le32(plain, stored));
            peer_write(fd, body.data(), body.size());
            peer_sees_close(fd, 3000);
        }));
        manual_address(peer.base_port());
    }
};

TEST_F(RemoteTest, AListingArrivesWholeOrNotAtAll)
{
    const Bytes zipped = packed(PLAIN);
    const auto n = static_cast<uint32_t>(PLAIN.size());
    const auto z = static_cast<uint32_t>(zipped.size());
    const struct {
        const char* name;
        uint32_t plain, stored;
        Bytes body;
        int expected;
        bool stays_up;
    } cases[] = {
        {"plain", n, n, PLAIN, 0, true},
        {"zlib", n, z, zipped, 0, true},
        {"empty folder", 0, 0, {}, ERR_NO_SHARED_MEDIA, true},
        {"cut short", n, n, Bytes(PLAIN.begin(), PLAIN.begin() + 5), ERR_GENERIC, false},
        {"plain length beyond any listing", LISTING_MAX_BYTES + 1, 4, Bytes(4), ERR_SERVER_REPLY,
         false},
        {"stored length beyond any listing", n, 0xFFFFFFF0u, PLAIN, ERR_SERVER_REPLY, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptPeer one;
        serve_listing(c.plain, c.stored, c.body);
        std::vector<uint8_t> listing;
        EXPECT_EQ(remote_folder_list(link.get(), "/Films/", false, &listing), c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(listing, PLAIN);
        }
        EXPECT_EQ(connected(), c.stays_up);
        link_disconnect(link.get());
        peer.stop();
    }
}

TEST_F(RemoteTest, AShortInformationRecordDropsTheLinkAndKeepsWhatCame)
{
    Bytes record(sizeof(MediaInfoRecord), 0);
    record[0] = 0x10;  // 0x2710 bytes = 10000
    record[1] = 0x27;
    std::memcpy(&record[424], "Artist", 6);
    for (size_t cut : {record.size(), size_t{100}}) {
        SCOPED_TRACE(cut);
        ScriptPeer one;
        ASSERT_TRUE(one.start([&](int fd) {
            if (!peer_accept_login(fd) || peer_read_frame(fd, PATH_PAYLOAD_SIZE).empty())
                return;
            peer_reply(fd, CMD_MEDIA_INFO);
            peer_write(fd, record.data(), cut);
            peer_sees_close(fd, 3000);
        }));
        manual_address(one.base_port());
        MediaInfoRecord r;
        const bool whole = cut == record.size();
        EXPECT_EQ(remote_media_info(link.get(), "/a.mp4", &r), whole ? 0 : ERR_GENERIC);
        EXPECT_EQ(r.file_size, 10000u);
        EXPECT_STREQ(r.artist, whole ? "Artist" : "");
        EXPECT_EQ(connected(), whole);
        link_disconnect(link.get());
    }
}

TEST(StreamRequest, BytesFollowTheSettingsAndTheChoices)
{
    auto settings = std::make_unique<Settings>();
    settings->stream_quality = 2;
    settings->custom_bitrate_kbps = 0x0BB8;
    settings->stream_option_a = 0x11;
    settings->stream_option_b = 0x22;
    const StreamChoices choices{-2, 0x0102, 1, -1, 0x105};
    for (bool custom : {true, false}) {
        settings->custom_bitrate_enabled = custom;
        const StreamRequest r = stream_request_make(*settings, choices);
        Bytes expected(52, 0);
        const uint8_t head[] = {0xFE, 0xFF, 0xFF, 0xFF, 0x02, 0x01, 0, 0};
        std::memcpy(expected.data(), head, sizeof(head));
        if (custom) {
            expected[8] = 0xB8;
            expected[9] = 0x0B;
        }
        expected[12] = custom ? 0x43 : 0x42;
        expected[16] = 0x80;  // 640
        expected[17] = 0x02;
        expected[18] = 0xE0;  // 480
        expected[19] = 0x01;
        expected[46] = 0x11;
        expected[47] = 0x22;
        expected[48] = 0x01;
        expected[49] = 0xFF;
        expected[50] = 0x05;
        const auto* bytes = reinterpret_cast<const uint8_t*>(&r);
        EXPECT_EQ(Bytes(bytes, bytes + sizeof(r)), expected) << "custom " << custom;
    }
}

}  // namespace
