// Recording a stream while it plays. The receiver appends every block of
// the data stream (after its marker) to the recording ring; once a
// recording is started, its own thread writes, every 20 ms, the chunks the
// player has already played into the file: a ".vlm" recording (header,
// chunks, index; streamer/recording_file.h) for streams with video, or an
// ".mp3" file of bare audio payloads for audio-only streams.
//
// The first chunk written is the one being played when the recording
// starts (the first video or audio chunk at or after the play clock), so
// the recording begins where the user pressed the button.
//
// Sound behaviour:
// - The ring keeps the offsets of the chunks it holds, so when the writer
//   falls behind by more than the ring and the oldest bytes are dropped, it
//   goes on at the next whole chunk: the file loses those chunks, never its
//   chunk structure.
// - A write that fails (a full disk) cuts the file back to its last whole
//   chunk, closes it and ends the recording with ERR_STORE_FULL; everything
//   written before stays and a ".vlm" opens as a cut-short recording.
// - A ".vlm" stops taking chunks at 4 GiB (its offsets are 32-bit) with
//   ERR_STORE_FULL and is finished normally.
// - Subtitle chunks carry a length, not a time, so they are written when
//   they come up; ".mp3" files take audio payloads only.
//
// Threads: recorder_feed on the receiver thread; recording_start and
// recording_finish on the main thread; the player stores the play clock
// from its thread; recording_thread runs on the recorder's own thread.
// recorder.lock (the recording lock) guards the ring and the file.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "streamer/remote.h"
#include "streamer/second_index.h"
#include "streamer/stream_data.h"

constexpr size_t RECORDING_RING_SIZE = 4128000;  // how far the writer may fall behind
constexpr int RECORDING_STEP_MS = 20;

// The last RECORDING_RING_SIZE bytes of the stream and where its chunks
// begin. Offsets count stream bytes since the ring was reset.
struct RecordingRing {
    std::vector<uint8_t> bytes;         // RECORDING_RING_SIZE once reset
    uint64_t head = 0;                  // the oldest byte held
    uint64_t tail = 0;                  // just past the newest
    std::deque<uint64_t> chunk_starts;  // headers held, oldest first
    ChunkParser parser{};
    uint8_t broken = 0;  // a malformed chunk at broken_at: nothing after is a chunk
    uint64_t broken_at = 0;
    uint64_t dropped_bytes = 0;  // left the ring unwritten (all of it while not recording)
};

enum RecordingKind : uint8_t {
    RECORDING_VLM = 0,  // header, whole chunks, index
    RECORDING_MP3 = 1,  // audio payloads only
};

// What recording_start reports besides errors: it did nothing.
constexpr int RECORDING_NOT_STARTED = 1;

struct Recorder {
    Recorder();
    ~Recorder();  // finishes an open recording
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::mutex lock;  // the recording lock
    std::condition_variable_any wake;
    RecordingRing ring;
    std::atomic<uint32_t> play_clock_ms{
        0};                        // written by the player: the time of the last unit played
    std::atomic<uint8_t> open{0};  // the main program mirrors it in APP_RECORDING_OPEN
    std::atomic<int> result{0};    // ERR_STORE_FULL / ERR_STREAM_DATA once ended by a fault
    // Under lock:
    int file = -1;
    RecordingKind kind = RECORDING_VLM;
    uint8_t align = 0;  // the next step must first find the chunk being played
    uint8_t full = 0;   // the file reached its largest size: nothing more is written
    std::vector<uint32_t> index;
    SecondClock clock;
    uint32_t data_offset = 0;  // chunk bytes written (after the header)
    int64_t last_ms = 0;       // unwrapped time of the last chunk written
    std::string path;
    std::jthread thread;  // joined when the recorder goes
};

// Empties the ring (a new stream starts).
void recorder_reset(Recorder* r);
// Appends a received block (the receiver, for network streams).
void recorder_feed(Recorder* r, const uint8_t* bytes, size_t n);

struct RecordingRequest {
    std::string folder;  // RECORDINGS_FOLDER in the program
    std::string title;
    StreamDescription description;
    std::tm local_time;  // when the record control was pressed
};
// Starts a recording: 0; RECORDING_NOT_STARTED when one is open or the title
// is empty; ERR_GENERIC when the file cannot be created; ERR_STORE_FULL when
// its header cannot be written (the file is removed).
int recording_start(Recorder* r, const RecordingRequest& request);
// One writer step, with r->lock held: aligns, then writes the whole chunks
// before play_clock. 0, or the fault that ended the recording.
int recording_write_step(Recorder* r, uint32_t play_clock);
// The writer thread's loop (started by recording_start).
void recording_thread(Recorder* r, std::stop_token stop);
// Ends the recording: stops and joins the thread, writes the chunks played
// since its last step, completes a ".vlm" (index,
// last time stamp, header fields) and closes the file. 0, or the fault that
// ended it (ERR_STORE_FULL, ERR_STREAM_DATA); 0 when none was open.
int recording_finish(Recorder* r);
