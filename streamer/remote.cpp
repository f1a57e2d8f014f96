#include "streamer/remote.h"

#include <cstring>

#include "platform/pack.h"
#include "platform/result_codes.h"
#include "platform/settings.h"

namespace {

constexpr uint8_t QUALITY_FLAG = 0x40;    // set in every quality byte
constexpr uint8_t QUALITY_CUSTOM = 0x03;  // the custom bitrate is on
constexpr uint16_t REQUEST_WIDTH = 640;   // the picture the client asks for
constexpr uint16_t REQUEST_HEIGHT = 480;
constexpr int DEFAULT_FRAME_RATE = 60;

uint32_t read_u32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

template <size_t N>
void terminate(char (&text)[N])
{
    text[N - 1] = 0;
}

}  // namespace

int listing_unpack(const uint8_t* stored, uint32_t stored_length, uint32_t plain_length,
                   std::vector<uint8_t>* listing)
{
    listing->clear();
    if (stored_length >= plain_length) {
        listing->assign(stored, stored + stored_length);
        return 0;
    }
    listing->resize(plain_length);
    size_t produced = plain_length;
    bool complete = false;
    if (unpack_buffer(listing->data(), &produced, stored, stored_length, &complete) != 0 ||
        !complete || produced != plain_length) {
        listing->clear();
        return ERR_SERVER_REPLY;
    }
    return 0;
}

int remote_folder_list(StreamerLink* link, const char* path, bool subtitles_only,
                       std::vector<uint8_t>* listing)
{
    listing->clear();
    uint8_t payload[PATH_PAYLOAD_SIZE];
    link_path_payload(payload, path);
    uint8_t lengths[8];
    const uint8_t command = subtitles_only ? CMD_LIST_SUBTITLES : CMD_LIST_FOLDER;
    const int rc = link_request(link, command, payload, sizeof(payload), lengths, sizeof(lengths),
                                link->times.reply_ms);
    if (rc != 0)
        return rc;
    const uint32_t plain_length = read_u32(lengths);
    const uint32_t stored_length = read_u32(lengths + 4);
    if (plain_length == 0)
        return ERR_NO_SHARED_MEDIA;
    // Lengths no listing can have: the bytes that follow cannot be read
    // safely, so the connection is out of step and goes down.
    if (plain_length > LISTING_MAX_BYTES || stored_length > LISTING_MAX_BYTES) {
        link_disconnect(link);
        return ERR_SERVER_REPLY;
    }
    std::vector<uint8_t> stored(stored_length);
    if (link_recv_exact(link->command_socket.fd(), stored.data(), stored_length,
                        link->times.reply_ms, link->abort_flag) != stored_length) {
        link_disconnect(link);
        return ERR_GENERIC;
    }
    return listing_unpack(stored.data(), stored_length, plain_length, listing);
}

void media_info_parse(const uint8_t* bytes, size_t received, MediaInfoRecord* out)
{
    std::memset(out, 0, sizeof(*out));
    if (received > sizeof(*out))
        received = sizeof(*out);
    if (received)
        std::memcpy(out, bytes, received);
    if (received < sizeof(*out)) {
        std::memset(out->artist, 0, sizeof(out->artist));
        std::memset(out->album, 0, sizeof(out->album));
        std::memset(out->genre, 0, sizeof(out->genre));
    }
    if (out->stream_count < 0)
        out->stream_count = 0;
    if (out->stream_count > MEDIA_INFO_STREAMS)
        out->stream_count = MEDIA_INFO_STREAMS;
    for (MediaInfoStream& s : out->streams)
        terminate(s.description);
    terminate(out->artist);
    terminate(out->album);
    terminate(out->genre);
}

bool media_info_length_unknown(const MediaInfoRecord& record)
{
    const auto* b = reinterpret_cast<const uint8_t*>(&record) + 4;
    return b[0] == b[1] && b[1] == b[2] && b[2] == b[3];
}

int remote_media_info(StreamerLink* link, const char* path, MediaInfoRecord* out)
{
    uint8_t payload[PATH_PAYLOAD_SIZE];
    link_path_payload(payload, path);
    const int rc = link_request(link, CMD_MEDIA_INFO, payload, sizeof(payload), nullptr, 0,
                                link->times.reply_ms);
    if (rc != 0)
        return rc;
    uint8_t bytes[sizeof(MediaInfoRecord)];
    const size_t got = link_recv_exact(link->command_socket.fd(), bytes, sizeof(bytes),
                                       link->times.reply_ms, link->abort_flag);
    media_info_parse(bytes, got, out);
    if (got != sizeof(bytes)) {
        link_disconnect(link);
        return ERR_GENERIC;
    }
    return 0;
}

StreamRequest stream_request_make(const Settings& settings, const StreamChoices& choices)
{
    StreamRequest r{};
    const bool custom = settings.custom_bitrate_enabled != 0;
    r.channel = choices.channel;
    r.start_seconds = choices.start_seconds;
    r.bitrate_kbps = custom ? settings.custom_bitrate_kbps : 0;
    r.quality = static_cast<uint8_t>(settings.stream_quality | QUALITY_FLAG |
                                     (custom ? QUALITY_CUSTOM : 0));
    r.width = REQUEST_WIDTH;
    r.height = REQUEST_HEIGHT;
    r.option_a = settings.stream_option_a;
    r.option_b = settings.stream_option_b;
    r.audio_stream = static_cast<uint8_t>(choices.audio_stream & 0xFF);
    r.video_stream = static_cast<uint8_t>(choices.video_stream & 0xFF);
    r.subtitle_stream = static_cast<uint8_t>(choices.subtitle_stream & 0xFF);
    return r;
}

StreamDescription stream_description_parse(const uint8_t payload[REPLY_PAYLOAD_SIZE])
{
    StreamDescription d;
    std::memcpy(&d, payload, sizeof(d));
    return d;
}

int stream_frame_rate(const StreamDescription& description)
{
    if (description.video_codec == STREAM_CODEC_NONE || description.frame_rate == 0)
        return DEFAULT_FRAME_RATE;
    return description.frame_rate;
}
