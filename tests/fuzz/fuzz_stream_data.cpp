// Fuzzes the data stream as the receiver takes it: whatever arrives, in
// whatever pieces, the rings never hold more than they can and every
// subtitle text ends within its buffer.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "streamer/stream_session.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

std::unique_ptr<StreamSession> g_session = std::make_unique<StreamSession>();

int one(const uint8_t* data, size_t size)
{
    StreamSession* s = g_session.get();
    FlagWord flags{};
    s->flags = &flags;
    stream_session_reset(s, true, true, 0, size > 0 && data[0] & 1);
    // The first byte picks the piece size, so headers and payloads split
    // at every place.
    const size_t piece = size > 0 ? 1 + data[0] % 97 : 1;
    for (size_t at = 0; at < size; at += piece) {
        // The receiver never reads more than the rings can take.
        const size_t n = std::min({piece, size - at, stream_read_allowance(*s)});
        if (n == 0 || stream_take_bytes(s, data + at, n) != 0)
            break;
    }
    if (s->video.count > VIDEO_RING_SIZE || s->audio.count > AUDIO_RING_SIZE)
        return 1;
    return std::memchr(s->subtitle_text, 0, sizeof s->subtitle_text) ? 0 : 1;
}

std::string seed()
{
    std::string b = "garbage";
    b.append(reinterpret_cast<const char*>(STREAM_MARKER), sizeof STREAM_MARKER);
    b.append("\x28\x00\x00\x80", 4);
    b.append(VIDEO_UNIT_SIZE, 'v');
    b.append("\x05\x00\x00\xCC", 4);
    b.append("hello");
    b.append("\x17\x00\x00\x00", 4);
    b.append(AUDIO_UNIT_SIZE, 'a');
    b.append("\x00\x00\x00\xFF", 4);
    return b;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz_main(argc, argv, one, {seed()}, 4 * VIDEO_UNIT_SIZE);
}
