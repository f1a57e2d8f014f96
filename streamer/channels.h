// Live channels: the streamer's channel table, fetched with the channel list
// command. The reply payload holds the channel count and the stored length
// (u32 LE each); the stored bytes follow on the command connection, a zlib
// stream of count 36-byte entries when shorter than them, else the entries
// themselves. The entry is the settings record's ChannelEntry (the table is
// saved with the settings), pinned here to its wire layout.
//
// Threads: channel_list_fetch uses the command connection, so it runs on
// its user of the moment (the channel screen's worker); it writes only the
// table it is given, which the caller copies into the settings on the main
// thread. channel_table_unpack is pure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/settings.h"
#include "streamer/streamer_link.h"

static_assert(offsetof(ChannelEntry, number) == 0);
static_assert(offsetof(ChannelEntry, reserved) == 2);
static_assert(offsetof(ChannelEntry, name) == 3);
static_assert(sizeof(ChannelEntry) == 36);

constexpr size_t CHANNEL_ENTRY_SIZE = sizeof(ChannelEntry);
constexpr size_t CHANNEL_TABLE_BYTES = CHANNEL_TABLE_SIZE * CHANNEL_ENTRY_SIZE;  // 36,000

// The stored table of `count` entries (stored_length bytes) into `table`
// (room for CHANNEL_TABLE_SIZE entries), every name NUL-terminated within
// its field and the entries past `count` zeroed; *out_count = count.
// ERR_NO_CHANNELS for count 0 and ERR_GENERIC for count above
// CHANNEL_TABLE_SIZE or an empty stored table (table and count untouched);
// ERR_SERVER_REPLY when the bytes are neither the plain table nor a whole
// zlib stream of exactly count entries (table cleared, *out_count = 0).
int channel_table_unpack(uint32_t count, const uint8_t* stored, uint32_t stored_length,
                         ChannelEntry* table, int32_t* out_count);

// The channel list exchange: the table into `table` (room for
// CHANNEL_TABLE_SIZE entries) and its size into *out_count. 0;
// ERR_NO_CHANNELS when the streamer has none; ERR_GENERIC for more than
// CHANNEL_TABLE_SIZE, an empty or overlong stored table or a short read;
// ERR_SERVER_REPLY for a damaged table; otherwise the exchange's code. Any
// failure that leaves unread bytes on the command connection takes the link
// down, since it is out of step.
int channel_list_fetch(StreamerLink* link, ChannelEntry* table, int32_t* out_count);
