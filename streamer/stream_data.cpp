#include "streamer/stream_data.h"

#include <algorithm>

#include "platform/result_codes.h"

long marker_scan(MarkerScan* scan, const uint8_t* bytes, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        if (bytes[i] == STREAM_MARKER[scan->matched])
            scan->matched++;
        else
            // The marker's bytes are all different, so a mismatch can only
            // restart a match at its first byte.
            scan->matched = bytes[i] == STREAM_MARKER[0] ? 1 : 0;
        if (scan->matched == sizeof STREAM_MARKER) {
            scan->matched = 0;
            return static_cast<long>(i + 1);
        }
    }
    return -1;
}

bool marker_skip(MarkerScan* scan, uint8_t* synced, const uint8_t** bytes, size_t* n)
{
    if (*synced)
        return true;
    const long past = marker_scan(scan, *bytes, *n);
    if (past < 0)
        return false;
    *synced = 1;
    *bytes += past;
    *n -= static_cast<size_t>(past);
    return true;
}

long chunk_payload_size(uint8_t type, uint32_t value)
{
    switch (type) {
    case CHUNK_VIDEO: return VIDEO_UNIT_SIZE;
    case CHUNK_AUDIO: return AUDIO_UNIT_SIZE;
    case CHUNK_SUBTITLE: return value & CHUNK_VALUE_MASK;
    case CHUNK_END: return 0;
    default: return -1;
    }
}

uint64_t chunk_parser_boundary(const ChunkParser& parser)
{
    const bool inside = parser.remaining > 0 || parser.header_have > 0;
    return inside ? parser.chunk_start : parser.offset;
}

namespace {

// Completes a header from the carried bytes; true when one is whole.
bool take_header(ChunkParser* p, const uint8_t* bytes, size_t n, size_t* at)
{
    const size_t want = CHUNK_HEADER_SIZE - p->header_have;
    const size_t take = std::min(want, n - *at);
    std::copy_n(bytes + *at, take, p->header + p->header_have);
    p->header_have = static_cast<uint8_t>(p->header_have + take);
    *at += take;
    p->offset += take;
    return p->header_have == CHUNK_HEADER_SIZE;
}

}  // namespace

long chunk_parse(ChunkParser* p, const uint8_t* bytes, size_t n, const ChunkEvents& events)
{
    size_t at = 0;
    while (at < n && !p->ended) {
        if (p->remaining > 0) {
            const size_t take = std::min<size_t>(p->remaining, n - at);
            events.payload(events.context, p->type, bytes + at, take);
            p->remaining -= static_cast<uint32_t>(take);
            p->offset += take;
            at += take;
            continue;
        }
        if (p->header_have == 0)
            p->chunk_start = p->offset;
        if (!take_header(p, bytes, n, &at))
            break;
        const uint8_t type = p->header[3];
        const uint32_t value = p->header[0] | p->header[1] << 8 | p->header[2] << 16;
        const long size = chunk_payload_size(type, value);
        if (size < 0)
            return ERR_STREAM_DATA;
        p->header_have = 0;
        p->type = type;
        p->remaining = static_cast<uint32_t>(size);
        events.header(events.context, type, value, p->chunk_start);
        if (type == CHUNK_END)
            p->ended = 1;
    }
    return static_cast<long>(at);
}
