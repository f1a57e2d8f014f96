#include "streamer/channels.h"

#include <cstring>
#include <vector>

#include "platform/pack.h"
#include "platform/result_codes.h"

namespace {

constexpr size_t CHANNEL_LIST_LENGTHS = 8;  // count and stored length, u32 each

uint32_t read_u32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The longest stored table a peer may send for `count` entries: a zlib
// stream of them at its worst. Anything longer is not a table.
size_t stored_limit(uint32_t count)
{
    return pack_bound(count * CHANNEL_ENTRY_SIZE);
}

// True when `stored` is one whole zlib stream of exactly plain_length bytes,
// which then are in `out` (room for plain_length bytes, never written past).
bool inflate_exact(const uint8_t* stored, uint32_t stored_length, uint8_t* out, size_t plain_length)
{
    size_t produced = plain_length;
    bool complete = false;
    return unpack_buffer(out, &produced, stored, stored_length, &complete) == 0 && complete &&
           produced == plain_length;
}

void clear_table(ChannelEntry* table, int32_t* out_count)
{
    std::memset(table, 0, CHANNEL_TABLE_BYTES);
    *out_count = 0;
}

}  // namespace

int channel_table_unpack(uint32_t count, const uint8_t* stored, uint32_t stored_length,
                         ChannelEntry* table, int32_t* out_count)
{
    if (count == 0)
        return ERR_NO_CHANNELS;
    if (count > CHANNEL_TABLE_SIZE || stored_length == 0)
        return ERR_GENERIC;
    const size_t plain_length = count * CHANNEL_ENTRY_SIZE;
    // Inflate into a scratch table so that a damaged stream leaves no half
    // table behind, then take the plain bytes when they are not a stream.
    std::vector<uint8_t> plain(plain_length);
    bool ok = stored_length <= stored_limit(count) &&
              inflate_exact(stored, stored_length, plain.data(), plain_length);
    if (!ok && stored_length == plain_length) {
        std::memcpy(plain.data(), stored, plain_length);
        ok = true;
    }
    clear_table(table, out_count);
    if (!ok)
        return ERR_SERVER_REPLY;
    std::memcpy(table, plain.data(), plain_length);
    for (uint32_t i = 0; i < count; ++i)
        table[i].name[sizeof(table[i].name) - 1] = 0;
    *out_count = static_cast<int32_t>(count);
    return 0;
}

int channel_list_fetch(StreamerLink* link, ChannelEntry* table, int32_t* out_count)
{
    uint8_t lengths[CHANNEL_LIST_LENGTHS];
    const int rc = link_request(link, CMD_CHANNEL_LIST, nullptr, 0, lengths, sizeof(lengths),
                                link->times.reply_ms);
    if (rc != 0)
        return rc;
    const uint32_t count = read_u32(lengths);
    const uint32_t stored_length = read_u32(lengths + 4);
    const bool readable = count != 0 && count <= CHANNEL_TABLE_SIZE && stored_length != 0 &&
                          stored_length <= stored_limit(count);
    if (!readable) {
        // The stored bytes that follow (if any) stay unread: drop the link
        // so that the next exchange does not take them for its reply.
        if (stored_length != 0)
            link_disconnect(link);
        return count == 0 ? ERR_NO_CHANNELS : ERR_GENERIC;
    }
    std::vector<uint8_t> stored(stored_length);
    if (link_recv_exact(link->command_socket.fd(), stored.data(), stored_length,
                        link->times.reply_ms, link->abort_flag) != stored_length) {
        link_disconnect(link);
        clear_table(table, out_count);
        return ERR_GENERIC;
    }
    return channel_table_unpack(count, stored.data(), stored_length, table, out_count);
}
