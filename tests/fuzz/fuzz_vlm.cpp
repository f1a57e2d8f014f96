// Fuzzes the recording reader: whatever a ".vlm" file holds, it is refused
// or opened with every position inside its chunks, an index that points into
// them in order, and a start offset at one of its entries or the first chunk.
#include <cstring>
#include <string>
#include <vector>

#include "platform/result_codes.h"
#include "streamer/recording_file.h"
#include "streamer/stream_data.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

constexpr int64_t RESUME_MS[] = {0, 1500, 1 << 30};

bool sound(const RecordingPlayback& p, size_t size)
{
    if (p.data_start > p.data_end || p.data_end > size || p.version > RECORDING_VERSION_MAX)
        return false;
    uint32_t previous = 0;
    for (uint32_t e : p.seek_index) {
        if (e < previous || p.data_start + e >= p.data_end)
            return false;
        previous = e;
    }
    return p.start_offset >= p.data_start && p.start_offset < p.data_end;
}

int one(const uint8_t* data, size_t size)
{
    for (int64_t resume : RESUME_MS) {
        RecordingPlayback p;
        const int rc = recording_read_bytes(data, size, resume, &p);
        if (rc != RESULT_OK && rc != ERR_MEDIA_OPEN)
            return 1;
        if (rc == RESULT_OK && !sound(p, size))
            return 1;
    }
    return 0;
}

void append_chunk(std::string* out, uint8_t type, uint32_t value)
{
    const uint32_t header = (value & CHUNK_VALUE_MASK) | static_cast<uint32_t>(type) << 24;
    out->append(reinterpret_cast<const char*>(&header), sizeof header);
    out->append(static_cast<size_t>(chunk_payload_size(type, value)), '\x5a');
}

// A finished recording of two seconds, and the same cut short.
std::vector<std::string> seeds()
{
    StreamDescription d{};
    d.video_codec = STREAM_VIDEO_H264;
    d.sample_rate = 48000;
    RecordingHeader h = recording_header_make(d);
    std::string chunks;
    std::vector<uint32_t> index;
    for (uint32_t t = 0; t < 2000; t += 500) {
        if (t % 1000 == 0)
            index.push_back(static_cast<uint32_t>(chunks.size()));
        append_chunk(&chunks, CHUNK_VIDEO, t);
        append_chunk(&chunks, CHUNK_AUDIO, t);
    }
    append_chunk(&chunks, CHUNK_SUBTITLE, 3);
    std::string cut(reinterpret_cast<const char*>(&h), sizeof h);
    cut += chunks;
    h.last_ms = 1500;
    h.index_offset = static_cast<uint32_t>(sizeof h + chunks.size());
    h.index_count = static_cast<uint32_t>(index.size());
    std::string whole(reinterpret_cast<const char*>(&h), sizeof h);
    whole += chunks;
    whole.append(reinterpret_cast<const char*>(index.data()), index.size() * sizeof(uint32_t));
    // Version 0 keeps description bytes 4..27 only, so its chunks begin at 32.
    std::string old = whole.substr(4, 24);
    old[0] = 0;
    const uint32_t fields[2] = {static_cast<uint32_t>(32 + chunks.size()), h.index_count};
    old.append(reinterpret_cast<const char*>(fields), sizeof fields);
    old += chunks;
    old.append(reinterpret_cast<const char*>(index.data()), index.size() * sizeof(uint32_t));
    return {whole, cut, old};
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz_main(argc, argv, one, seeds(), 64 * 1024);
}
