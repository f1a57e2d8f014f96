// Building data streams for tests: chunks with recognisable payloads, laid
// end to end. Header-only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "streamer/stream_data.h"

using Bytes = std::vector<uint8_t>;

inline void put_le32(Bytes* out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        (*out)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t get_le32(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A chunk whose payload bytes are all `fill` (a subtitle: the text).
inline Bytes chunk(uint8_t type, uint32_t value, uint8_t fill = 0x5A)
{
    const long payload = chunk_payload_size(type, value);
    Bytes out(CHUNK_HEADER_SIZE + static_cast<size_t>(payload < 0 ? 0 : payload), fill);
    put_le32(&out, 0, (value & CHUNK_VALUE_MASK) | static_cast<uint32_t>(type) << 24);
    return out;
}

inline Bytes subtitle_chunk(const std::string& text)
{
    Bytes out = chunk(CHUNK_SUBTITLE, static_cast<uint32_t>(text.size()));
    std::copy(text.begin(), text.end(), out.begin() + CHUNK_HEADER_SIZE);
    return out;
}

// A stream of `seconds` seconds from time stamp `first_ms`: a video chunk
// every 500 ms and an audio chunk every 250 ms (its payload the second's
// number), with the offset of each second's first chunk in *seconds_at.
inline Bytes av_stream(uint32_t first_ms, int seconds, std::vector<uint32_t>* seconds_at = nullptr)
{
    Bytes out;
    for (int s = 0; s < seconds; ++s) {
        if (seconds_at)
            seconds_at->push_back(static_cast<uint32_t>(out.size()));
        for (int q = 0; q < 4; ++q) {
            const uint32_t t = first_ms + static_cast<uint32_t>(s * 1000 + q * 250);
            if (q % 2 == 0) {
                const Bytes v = chunk(CHUNK_VIDEO, t, static_cast<uint8_t>(s));
                out.insert(out.end(), v.begin(), v.end());
            }
            const Bytes a = chunk(CHUNK_AUDIO, t, static_cast<uint8_t>(s));
            out.insert(out.end(), a.begin(), a.end());
        }
    }
    return out;
}
