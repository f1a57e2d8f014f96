#include "platform/settings.h"

#include <cstring>

#include "platform/text_copy.h"

void settings_set_defaults(Settings* s)
{
    std::memset(s, 0, sizeof(*s));
    s->version = SETTINGS_VERSION;
    s->stream_quality = 2;
    s->handshake_value = 1;
    s->sound_on = 1;
    s->progressive_download = 1;
    s->reserved_a = 66;
    s->large_thumbnails = 1;
    s->subtitle_size = 2;
    s->custom_bitrate_enabled = 1;
    s->custom_bitrate_kbps = 3000;
    copy_text(s->browse_path_1, sizeof(s->browse_path_1), "/");
    copy_text(s->browse_path_2, sizeof(s->browse_path_2), "/");
    copy_text(s->subtitle_charset, sizeof(s->subtitle_charset), "ASCII / UTF8");
    s->reserved_b = 1;
    s->seek_forward_secs = 30;
    s->seek_backward_secs = 30;
    s->reserved_c = 20;
    s->slideshow_secs = 10;
    s->reserved_d = 1;
    s->reserved_e = 1;
    copy_text(s->browse_path_3, sizeof(s->browse_path_3), "/");
    copy_text(s->browse_path_4, sizeof(s->browse_path_4), "/");
}

uint32_t settings_checksum(const Settings* s)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(s) + SETTINGS_HEADER_SIZE;
    uint32_t sum = 0;
    for (size_t i = 0; i < SETTINGS_PAYLOAD_SIZE; ++i)
        sum += bytes[i];
    return sum;
}
