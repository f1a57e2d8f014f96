// The persisted settings block: an exact 348,956-byte image stored in
// "data/prefs.dat". Every field sits at a fixed byte offset that the file
// format relies on; the static_asserts below pin each one. Integers are
// little-endian (the block is written as a memory image, so the build requires
// a little-endian host). The functions below touch only the block they are
// given: any thread may call them on a block it owns.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the settings file is a little-endian memory image");

constexpr int32_t SETTINGS_VERSION = 15;
constexpr size_t SETTINGS_SIZE = 348956;
constexpr size_t SETTINGS_HEADER_SIZE = 12;
constexpr size_t SETTINGS_PAYLOAD_SIZE = SETTINGS_SIZE - SETTINGS_HEADER_SIZE;

constexpr int CHANNEL_TABLE_SIZE = 1000;
constexpr int RESUME_TABLE_SIZE = 300;
constexpr size_t PATH_SIZE = 1024;

// One live channel: a 16-bit channel number, the name from the fourth byte.
struct ChannelEntry {
    uint16_t number;
    uint8_t reserved;
    char name[33];
};
static_assert(sizeof(ChannelEntry) == 36);
static_assert(offsetof(ChannelEntry, name) == 3);

struct ResumeEntry {
    char path[PATH_SIZE];
    int32_t position;
};
static_assert(sizeof(ResumeEntry) == 1028);

struct ResumeTable {
    ResumeEntry entries[RESUME_TABLE_SIZE];
    int32_t next_slot;
};
static_assert(sizeof(ResumeTable) == 308404);

struct Settings {
    uint32_t checksum;
    int32_t version;
    int32_t packed_size;
    int32_t channel_count;
    uint8_t connect_by_address;
    uint8_t remember_login;
    uint8_t stream_option_a;
    uint8_t stream_option_b;
    uint8_t stream_quality;
    uint8_t auto_hide_controls;
    uint8_t pad0[2];
    uint32_t handshake_value;
    char username[32];
    char password[32];
    ChannelEntry channels[CHANNEL_TABLE_SIZE];
    char legacy_streamer_address[16];
    int32_t streamer_port;
    char streamer_host[128];
    uint8_t reserved[128];
    uint8_t shuffle;
    uint8_t repeat;
    uint8_t sound_on;
    uint8_t progressive_download;
    ResumeTable resume_table;
    uint32_t reserved_a;
    uint8_t pad1;
    uint8_t aspect_mode;
    uint8_t large_thumbnails;
    uint8_t subtitle_size;
    uint8_t subtitle_color;
    uint8_t subtitle_transparent_bg;
    uint8_t custom_bitrate_enabled;
    uint8_t auto_rotate;
    uint32_t custom_bitrate_kbps;
    char browse_path_1[PATH_SIZE];
    char browse_path_2[PATH_SIZE];
    char subtitle_charset[40];
    uint8_t hide_extensions;
    uint8_t reserved_b;
    uint8_t always_fullscreen;
    uint8_t pad2;
    uint32_t sort_key;
    uint16_t seek_forward_secs;
    uint16_t seek_backward_secs;
    uint16_t reserved_c;
    uint16_t slideshow_secs;
    uint8_t reserved_d;
    uint8_t pad3;
    uint8_t reserved_e;
    uint8_t pad4[5];
    char browse_path_3[PATH_SIZE];
    char browse_path_4[PATH_SIZE];
    uint8_t swipe_to_seek;
    uint8_t pad5[3];
};

static_assert(sizeof(Settings) == SETTINGS_SIZE);
static_assert(offsetof(Settings, checksum) == 0);
static_assert(offsetof(Settings, version) == 4);
static_assert(offsetof(Settings, packed_size) == 8);
static_assert(offsetof(Settings, channel_count) == 12);
static_assert(offsetof(Settings, connect_by_address) == 16);
static_assert(offsetof(Settings, remember_login) == 17);
static_assert(offsetof(Settings, stream_option_a) == 18);
static_assert(offsetof(Settings, stream_option_b) == 19);
static_assert(offsetof(Settings, stream_quality) == 20);
static_assert(offsetof(Settings, auto_hide_controls) == 21);
static_assert(offsetof(Settings, handshake_value) == 24);
static_assert(offsetof(Settings, username) == 28);
static_assert(offsetof(Settings, password) == 60);
static_assert(offsetof(Settings, channels) == 92);
static_assert(offsetof(Settings, legacy_streamer_address) == 36092);
static_assert(offsetof(Settings, streamer_port) == 36108);
static_assert(offsetof(Settings, streamer_host) == 36112);
static_assert(offsetof(Settings, reserved) == 36240);
static_assert(offsetof(Settings, shuffle) == 36368);
static_assert(offsetof(Settings, repeat) == 36369);
static_assert(offsetof(Settings, sound_on) == 36370);
static_assert(offsetof(Settings, progressive_download) == 36371);
static_assert(offsetof(Settings, resume_table) == 36372);
static_assert(offsetof(Settings, reserved_a) == 344776);
static_assert(offsetof(Settings, aspect_mode) == 344781);
static_assert(offsetof(Settings, large_thumbnails) == 344782);
static_assert(offsetof(Settings, subtitle_size) == 344783);
static_assert(offsetof(Settings, subtitle_color) == 344784);
static_assert(offsetof(Settings, subtitle_transparent_bg) == 344785);
static_assert(offsetof(Settings, custom_bitrate_enabled) == 344786);
static_assert(offsetof(Settings, auto_rotate) == 344787);
static_assert(offsetof(Settings, custom_bitrate_kbps) == 344788);
static_assert(offsetof(Settings, browse_path_1) == 344792);
static_assert(offsetof(Settings, browse_path_2) == 345816);
static_assert(offsetof(Settings, subtitle_charset) == 346840);
static_assert(offsetof(Settings, hide_extensions) == 346880);
static_assert(offsetof(Settings, reserved_b) == 346881);
static_assert(offsetof(Settings, always_fullscreen) == 346882);
static_assert(offsetof(Settings, sort_key) == 346884);
static_assert(offsetof(Settings, seek_forward_secs) == 346888);
static_assert(offsetof(Settings, seek_backward_secs) == 346890);
static_assert(offsetof(Settings, reserved_c) == 346892);
static_assert(offsetof(Settings, slideshow_secs) == 346894);
static_assert(offsetof(Settings, reserved_d) == 346896);
static_assert(offsetof(Settings, reserved_e) == 346898);
static_assert(offsetof(Settings, browse_path_3) == 346904);
static_assert(offsetof(Settings, browse_path_4) == 347928);
static_assert(offsetof(Settings, swipe_to_seek) == 348952);

// Zeroes the block and writes the default of every field.
void settings_set_defaults(Settings* settings);

// Byte sum of the payload (everything after the 12-byte header).
uint32_t settings_checksum(const Settings* settings);
