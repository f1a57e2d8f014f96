// The description of a media file as the browser's information panel shows
// it: container format, start, length and bit rate, and per stream its kind,
// codec, picture size, aspect, frame rate, cover mark and the decoder's
// one-line description. The record is plain data of fixed size, so it can be
// copied whole and kept in a cache file.
//
// Contract:
// - media_info_read opens the item with the engine's protocol rules (a local
//   name only through the file protocol, a URL only through the network
//   protocols), reads its stream information and closes it again. It returns
//   RESULT_OK with *out filled, or ERR_MEDIA_OPEN (missing, refused, damaged
//   beyond reading, no answer) or ERR_OUT_OF_MEMORY; on failure *out is left
//   zeroed. The whole read gives up after MEDIA_INFO_DEADLINE_MS, so a peer
//   that accepts and then stays silent cannot hold the caller.
// - Video, audio and subtitle streams are kept in stream order, at most
//   MEDIA_INFO_MAX_STREAMS; other streams (data, attachments) are skipped.
// - Threads: any thread; it blocks while it reads. Nothing is shared.
#pragma once

#include <cstdint>

#include "platform/result_codes.h"

struct AVFormatContext;

constexpr int MEDIA_INFO_MAX_STREAMS = 8;  // what the panel and the cache hold
constexpr int MEDIA_FORMAT_NAME_SIZE = 32;
constexpr int MEDIA_CODEC_NAME_SIZE = 32;
constexpr int MEDIA_DESCRIPTION_SIZE = 128;
// Long enough for a slow network server to answer, short enough that a tap
// on a dead URL does not freeze the browser.
constexpr int MEDIA_INFO_DEADLINE_MS = 5000;

enum StreamKind : int32_t {
    STREAM_KIND_VIDEO = 0,
    STREAM_KIND_AUDIO = 1,
    STREAM_KIND_SUBTITLE = 2,
    STREAM_KIND_COUNT = 3,
};

struct StreamInfo {
    int32_t index;  // the stream's index in the container: the track choice value
    int32_t kind;   // StreamKind
    char codec[MEDIA_CODEC_NAME_SIZE];
    int32_t width;  // pictures only, else 0
    int32_t height;
    int32_t sar_num;  // sample aspect ratio; 0/1 when not given
    int32_t sar_den;
    double frame_rate;                         // frames per second, 0 = none given
    uint8_t attached_picture;                  // a cover picture, not a video
    char description[MEDIA_DESCRIPTION_SIZE];  // e.g. "Video: h264 (High), yuv420p, ..."
};

struct MediaInfo {
    char format[MEDIA_FORMAT_NAME_SIZE];  // the demuxer's short name, e.g. "matroska,webm"
    int64_t start_ms;                     // container start time, 0 when not given
    int64_t duration_ms;                  // 0 = unknown
    int64_t bit_rate;                     // bits per second, 0 = unknown
    int32_t stream_count;
    StreamInfo streams[MEDIA_INFO_MAX_STREAMS];
};

ResultCode media_info_read(const char* path, MediaInfo* out);
// The description of an input already opened with its stream information
// read (media_input_open); the same rules as media_info_read. Any thread.
void media_info_from_context(const AVFormatContext* ic, MediaInfo* out);

// The first video stream that is not a cover picture, or null.
const StreamInfo* media_info_main_video(const MediaInfo* info);
// Streams of one kind.
int media_info_count(const MediaInfo* info, int kind);
