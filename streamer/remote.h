// Remote browsing: the streamer's folder and subtitle listings, the media
// information record of a file, the stream request that starts a stream and
// the stream description that answers it. The records are byte images of
// the wire (little-endian, the client's own byte order), pinned below.
//
// Threads: remote_folder_list and remote_media_info use the command
// connection, so they run on its user of the moment (the browser's worker).
// The other functions are pure.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "streamer/streamer_link.h"

struct Settings;

static_assert(std::endian::native == std::endian::little,
              "the streamer's records are little-endian memory images");

// Neither length of a listing may pass this: the browser keeps at most 5000
// rows of at most 1024 name bytes and a type byte each.
constexpr uint32_t LISTING_MAX_BYTES = 5000u * 1026u;

// Folder listing (subtitles_only: the subtitle files) of `path` into
// *listing, plain: 0; ERR_NO_SHARED_MEDIA for an empty listing;
// ERR_SERVER_REPLY for lengths beyond LISTING_MAX_BYTES or a stream that does
// not inflate to its plain length whole (the link goes down when the rest of
// the reply was not read); otherwise the code of the exchange, the link down.
int remote_folder_list(StreamerLink* link, const char* path, bool subtitles_only,
                       std::vector<uint8_t>* listing);
// The listing bytes as stored (stored_length of them) into the plain
// listing: inflated to exactly plain_length bytes when stored_length is
// smaller, else taken as they are. 0 or ERR_SERVER_REPLY.
int listing_unpack(const uint8_t* stored, uint32_t stored_length, uint32_t plain_length,
                   std::vector<uint8_t>* listing);

constexpr int MEDIA_INFO_STREAMS = 6;

struct MediaInfoStream {
    float frame_rate;      // shown for video streams when not 0
    char description[64];  // "Video: ...", "Audio: ..." or "Subtitle: ..."
};

// The information record that follows the reply to CMD_MEDIA_INFO.
struct MediaInfoRecord {
    uint32_t file_size;
    uint8_t length_marker;  // bytes 4..7 all equal: the length is unknown
    int8_t hours;
    int8_t minutes;
    int8_t seconds;
    uint32_t bitrate_kbps;
    int8_t stream_count;  // entries used, at most MEDIA_INFO_STREAMS
    uint8_t unused[3];
    MediaInfoStream streams[MEDIA_INFO_STREAMS];
    char artist[64];
    char album[64];
    char genre[32];
};
static_assert(sizeof(MediaInfoStream) == 68);
static_assert(sizeof(MediaInfoRecord) == 584);
static_assert(offsetof(MediaInfoRecord, length_marker) == 4);
static_assert(offsetof(MediaInfoRecord, hours) == 5);
static_assert(offsetof(MediaInfoRecord, minutes) == 6);
static_assert(offsetof(MediaInfoRecord, seconds) == 7);
static_assert(offsetof(MediaInfoRecord, bitrate_kbps) == 8);
static_assert(offsetof(MediaInfoRecord, stream_count) == 12);
static_assert(offsetof(MediaInfoRecord, streams) == 16);
static_assert(offsetof(MediaInfoRecord, artist) == 424);
static_assert(offsetof(MediaInfoRecord, album) == 488);
static_assert(offsetof(MediaInfoRecord, genre) == 552);

// The record from the `received` bytes that arrived (at most its size):
// bytes not received are zero, and so are the three tag texts when the
// record is short. Every text ends within its field and stream_count lies in
// 0..MEDIA_INFO_STREAMS, whatever the bytes said.
void media_info_parse(const uint8_t* bytes, size_t received, MediaInfoRecord* out);
// True when the record says the length is unknown (bytes 4..7 all equal).
bool media_info_length_unknown(const MediaInfoRecord& record);
// Asks for the record of a streamer file: 0 or the exchange's code (the
// link down). A short record is kept as media_info_parse leaves it and the
// link goes down, since the connection is out of step.
int remote_media_info(StreamerLink* link, const char* path, MediaInfoRecord* out);

// The payload of the two stream starts.
struct StreamRequest {
    int32_t channel;
    uint32_t start_seconds;  // 0 for a live channel
    uint32_t bitrate_kbps;   // the custom bitrate when it is on, else 0
    uint8_t quality;         // stream quality | 0x40, | 3 with the custom bitrate
    uint8_t zero13;
    uint8_t zero14[2];
    uint16_t width;
    uint16_t height;
    uint8_t zero20[25];
    uint8_t zero45;
    uint8_t option_a;
    uint8_t option_b;
    uint8_t audio_stream;  // low bytes of the wanted stream choices
    uint8_t video_stream;
    uint8_t subtitle_stream;
    uint8_t zero51;
};
static_assert(sizeof(StreamRequest) == 52);
static_assert(offsetof(StreamRequest, start_seconds) == 4);
static_assert(offsetof(StreamRequest, bitrate_kbps) == 8);
static_assert(offsetof(StreamRequest, quality) == 12);
static_assert(offsetof(StreamRequest, width) == 16);
static_assert(offsetof(StreamRequest, height) == 18);
static_assert(offsetof(StreamRequest, zero45) == 45);
static_assert(offsetof(StreamRequest, option_a) == 46);
static_assert(offsetof(StreamRequest, audio_stream) == 48);
static_assert(offsetof(StreamRequest, subtitle_stream) == 50);

struct StreamChoices {
    int32_t channel;
    uint32_t start_seconds;
    int32_t audio_stream;
    int32_t video_stream;
    int32_t subtitle_stream;
};
StreamRequest stream_request_make(const Settings& settings, const StreamChoices& choices);

constexpr uint8_t STREAM_CODEC_NONE = 0xFF;
constexpr uint8_t STREAM_VIDEO_H264 = 2;  // any other video value: MPEG-4 Part 2
constexpr uint8_t STREAM_AUDIO_AAC = 2;   // any other audio value: MP3

// The 40-byte reply payload of a stream start.
struct StreamDescription {
    uint8_t unused0[5];
    uint8_t video_codec;
    uint8_t frame_rate;  // 0: see stream_frame_rate
    uint8_t audio_codec;
    uint8_t unused8[4];
    uint32_t sample_rate;
    uint8_t unused16[4];
    uint32_t audio_bitrate;  // bit/s
    uint32_t duration_ms;    // 0: unknown or endless
    uint8_t unused28[12];
};
static_assert(sizeof(StreamDescription) == REPLY_PAYLOAD_SIZE);
static_assert(offsetof(StreamDescription, video_codec) == 5);
static_assert(offsetof(StreamDescription, frame_rate) == 6);
static_assert(offsetof(StreamDescription, audio_codec) == 7);
static_assert(offsetof(StreamDescription, sample_rate) == 12);
static_assert(offsetof(StreamDescription, audio_bitrate) == 20);
static_assert(offsetof(StreamDescription, duration_ms) == 24);

StreamDescription stream_description_parse(const uint8_t payload[REPLY_PAYLOAD_SIZE]);
// Frames per second to pace the video at: 60 when the stream has no video
// or does not say.
int stream_frame_rate(const StreamDescription& description);
