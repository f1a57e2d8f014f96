// The streamer's data stream: a sync marker, then chunks of a 4-byte header
// (a 24-bit little-endian value and a type byte) and a payload. The same
// bytes arrive on the data connection and make up the body of a recording
// file, so the receiver and the file readers share this parser.
//
// | type | value          | payload                        |
// |------|----------------|--------------------------------|
// | 0x80 | time stamp, ms | VIDEO_UNIT_SIZE bytes of video |
// | 0x00 | time stamp, ms | AUDIO_UNIT_SIZE bytes of audio |
// | 0xCC | length L       | L bytes of subtitle text       |
// | 0xFF | any            | none: the end of the stream    |
//
// Threads: pure; one parser belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

enum ChunkType : uint8_t {
    CHUNK_AUDIO = 0x00,
    CHUNK_VIDEO = 0x80,
    CHUNK_SUBTITLE = 0xCC,
    CHUNK_END = 0xFF,
};

constexpr uint32_t VIDEO_UNIT_SIZE = 8384;
constexpr uint32_t AUDIO_UNIT_SIZE = 4190;
constexpr size_t CHUNK_HEADER_SIZE = 4;
constexpr uint32_t CHUNK_VALUE_MASK = 0xFFFFFF;  // time stamps wrap at 2^24 ms
constexpr uint8_t STREAM_MARKER[4] = {0xAA, 0xBB, 0xCC, 0xDD};

// Finds the marker across reads: feed each read in turn; a marker split
// between two reads is still found.
struct MarkerScan {
    uint8_t matched = 0;  // marker bytes matched at the end of the last read
};
// The index just past the marker in bytes[0..n), or -1 when it has not
// appeared yet.
long marker_scan(MarkerScan* scan, const uint8_t* bytes, size_t n);
// Drops what comes before the marker: true once it has been passed (now or
// before, as *synced says), with *bytes and *n narrowed to what follows it.
bool marker_skip(MarkerScan* scan, uint8_t* synced, const uint8_t** bytes, size_t* n);

// What the parser reports, as the bytes come: a header, then the payload in
// pieces (a payload may span many reads, a header two).
struct ChunkEvents {
    void* context;
    // `offset` is the header's position in the stream (bytes after the
    // marker); `value` its time stamp or, for a subtitle, its length.
    void (*header)(void* context, uint8_t type, uint32_t value, uint64_t offset);
    void (*payload)(void* context, uint8_t type, const uint8_t* bytes, size_t n);
};

struct ChunkParser {
    uint8_t header[CHUNK_HEADER_SIZE];
    uint8_t header_have;  // header bytes carried over from the previous read
    uint8_t type;
    uint8_t ended;         // the end chunk was seen
    uint32_t remaining;    // payload bytes of the current chunk still to come
    uint64_t offset;       // stream bytes parsed so far
    uint64_t chunk_start;  // offset of the header of the chunk in progress
};

// The payload size of a chunk with this header, or -1 for a type that is
// not in the table.
long chunk_payload_size(uint8_t type, uint32_t value);

// Parses bytes[0..n): returns how many were taken (all of them, or fewer
// when the end chunk came first: what follows it is not stream), or
// ERR_STREAM_DATA at a bad type byte (the parser then stays broken).
long chunk_parse(ChunkParser* parser, const uint8_t* bytes, size_t n, const ChunkEvents& events);

// The parser's position as a byte count of whole chunks: where the last
// complete chunk ended (a resumable point for files).
uint64_t chunk_parser_boundary(const ChunkParser& parser);
