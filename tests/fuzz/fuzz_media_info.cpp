// Fuzzes the information record of a streamer file: whatever arrives (a
// whole record or a piece), every text ends within its field and the stream
// count stays within the entries.
#include <cstring>
#include <string>

#include "streamer/remote.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

int one(const uint8_t* data, size_t size)
{
    MediaInfoRecord r;
    media_info_parse(data, size, &r);
    if (r.stream_count < 0 || r.stream_count > MEDIA_INFO_STREAMS)
        return 1;
    for (const MediaInfoStream& s : r.streams)
        if (!std::memchr(s.description, 0, sizeof(s.description)))
            return 1;
    const bool ended = std::memchr(r.artist, 0, sizeof(r.artist)) &&
                       std::memchr(r.album, 0, sizeof(r.album)) &&
                       std::memchr(r.genre, 0, sizeof(r.genre));
    return ended ? 0 : 1;
}

std::string seed()
{
    MediaInfoRecord r{};
    r.file_size = 123456;
    r.hours = 1;
    r.bitrate_kbps = 900;
    r.stream_count = 2;
    r.streams[0].frame_rate = 25.0f;
    std::strcpy(r.streams[0].description, "Video: h264, 640x480");
    std::strcpy(r.streams[1].description, "Audio: aac, 44100 Hz, 2 channels");
    std::strcpy(r.artist, "Artist");
    std::strcpy(r.genre, "Genre");
    return std::string(reinterpret_cast<const char*>(&r), sizeof(r));
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz_main(argc, argv, one, {seed(), std::string(sizeof(MediaInfoRecord), '\xff')},
                     2 * sizeof(MediaInfoRecord));
}
