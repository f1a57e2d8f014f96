// The program's recording file (".vlm"): a 48-byte header, the chunks of the
// data stream exactly as they arrived, and a per-second index, all
// little-endian. The name a recording gets, the header the recorder writes
// first, the index and fields it writes last, and the reader that opens a
// recording for the session player.
//
// | offset       | size        | content                                        |
// |--------------|-------------|------------------------------------------------|
// | 0            | 40          | the stream description, except bytes 24..27    |
// | 24           | u32         | time stamp (ms) of the last chunk, at the end  |
// | 40           | u32         | file offset of the index, at the end           |
// | 44           | u32         | index entries, at the end                      |
// | 48           | ...         | chunks: 4-byte header and payload, no marker   |
// | index offset | count x u32 | second i: chunk offset relative to byte 48     |
//
// Byte 0 is the format version. Older versions store less of the description
// before the two index fields (versions 0 and 1: description bytes 4..27, so
// their index fields sit at 24; version 2: bytes 0..35); the reader accepts
// versions 0 to 3 and the writer writes version 3.
//
// Sound reading: a recording whose writer never finished (the program
// stopped, the disk filled) has zero index fields; it still opens, and its
// index, duration and end are rebuilt by walking its chunks. A file whose
// index fields point outside it, whose index entries point outside its
// chunks, whose reading would begin at anything but a whole chunk, or whose
// header is cut short is refused with ERR_MEDIA_OPEN; a walk stops at the
// last whole chunk, so a cut or damaged tail is left out.
//
// Threads: every function works only on what it is given; any thread.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "streamer/remote.h"

static_assert(std::endian::native == std::endian::little,
              "the recording header is a little-endian memory image");

constexpr uint8_t RECORDING_VERSION_CURRENT = 3;
constexpr uint8_t RECORDING_VERSION_MAX = 3;
constexpr uint32_t RECORDING_VIDEO_CHUNK = 8388;  // header and VIDEO_UNIT_SIZE
constexpr uint32_t RECORDING_AUDIO_CHUNK = 4194;  // header and AUDIO_UNIT_SIZE
constexpr char RECORDING_VIDEO_EXTENSION[] = ".vlm";
constexpr char RECORDING_AUDIO_EXTENSION[] = ".mp3";

// The header as the writer (version 3) lays it out.
struct RecordingHeader {
    uint8_t description[24];       // stream description bytes 0..23; byte 0 the version
    uint32_t last_ms;              // replaces the description's duration
    uint8_t description_tail[12];  // stream description bytes 28..39
    uint32_t index_offset;         // 0 until the recording is finished
    uint32_t index_count;
};
static_assert(sizeof(RecordingHeader) == 48);
static_assert(offsetof(RecordingHeader, last_ms) == 24);
static_assert(offsetof(RecordingHeader, description_tail) == 28);
static_assert(offsetof(RecordingHeader, index_offset) == 40);
static_assert(offsetof(RecordingHeader, index_count) == 44);
constexpr uint32_t RECORDING_DATA_START = sizeof(RecordingHeader);

// The file name of a recording of `title` started at `local_time`:
// folder + "<title>_<Www Mmm dd hh:mm:ss yyyy>" with every byte other than
// A-Z, a-z and 0-9 made "_", then ".vlm" (with video) or ".mp3". The title is
// shortened so that the name fits a file name (255 bytes).
std::string recording_file_name(const char* folder, const char* title, const std::tm& local_time,
                                bool has_video);

// The header written when a recording starts: the description with byte 0
// set to the writer's version (the streamer leaves it 0, which would read as
// the oldest layout) and zero index fields.
RecordingHeader recording_header_make(const StreamDescription& description);
// Writes the header at the start of fd: 0, or ERR_STORE_FULL on a short write.
int recording_header_write(int fd, const RecordingHeader& header);
// Completes a recording whose chunks end at file offset data_end: appends
// the index there, then stores the last time stamp (0 when negative), the
// index offset and the count in the header. 0, or ERR_STORE_FULL when the
// index does not fit: the file is then cut back to data_end and keeps zero
// index fields, so it reads as a cut-short recording.
int recording_file_complete(int fd, uint32_t data_end, const std::vector<uint32_t>& index,
                            int64_t last_ms);

// What a reader learns about a recording.
struct RecordingPlayback {
    StreamDescription description;  // bytes 0..3 the version, duration_ms the duration
    uint8_t version;
    uint32_t data_start;    // file offset of the first chunk
    uint64_t data_end;      // file offset just past the last whole chunk
    uint32_t start_ms;      // time stamp of the first chunk: the session clock starts there
    uint32_t duration_ms;   // last time stamp - first, 0 when unknown
    uint64_t start_offset;  // where reading begins: the first chunk or the resume second
    uint8_t seek_disabled;  // duration 0: the recording cannot be moved in
    uint8_t rebuilt;        // index and duration came from walking the chunks
    std::vector<uint32_t> seek_index;  // second i: chunk offset relative to data_start
};

// Random access to the bytes of a recording.
struct RecordingSource {
    void* context;
    uint64_t size;
    // True when all n bytes at offset were read.
    bool (*read_at)(void* context, uint64_t offset, void* out, size_t n);
};

// Reads a recording for playback from `resume_ms` (0 or less: the start;
// past the end: the last indexed second). 0 or ERR_MEDIA_OPEN.
int recording_read(const RecordingSource& source, int64_t resume_ms, RecordingPlayback* out);
// The same over bytes in memory.
int recording_read_bytes(const uint8_t* bytes, size_t size, int64_t resume_ms,
                         RecordingPlayback* out);
// Opens the file at path for playback: 0 with *file open and positioned at
// out->start_offset; ERR_GENERIC when it cannot be opened; ERR_MEDIA_OPEN
// when it is not a sound recording.
int recording_open_for_play(const char* path, int64_t resume_ms, RecordingPlayback* out,
                            std::unique_ptr<FileHandle>* file);
