// The streaming session player: plays what the streamer sends (a file or a
// live channel), or a recording from the disk, with the player screen as
// its face. With progressive download on, the stream passes through the
// time-shift buffer (streamer/timeshift_feed.h): a live channel can be
// paused and moved in over its last hour, a file over what has been
// received, without a new request. The receiver thread
// fills the rings (streamer/stream_session.h), the audio thread decodes
// audio into PCM that the audio device's callback plays (and whose time
// stamps drive the audio clock), and the main thread decodes and shows
// video frames at the stream's frame rate, keeps the buffer watch and runs
// the player loop, which reaches the session through PlayerRemote hooks.
//
// Threads: every function here runs on the main thread, except
// stream_audio_thread (its own thread) and the audio callback (the audio
// device's thread). Fields of StreamPlayer say which thread writes them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/file_io.h"
#include "streamer/recorder.h"
#include "streamer/timeshift_feed.h"

#include "render/video_planes.h"
#include "streamer/remote.h"

struct AppState;

constexpr uint32_t PCM_BUFFER_SIZE = 0x7FFF0;
constexpr uint32_t PCM_STAMP_COUNT = 2048;

// Decoded audio and the stamps that tell its time: guarded by the audio
// lock (the audio thread appends, the callback takes).
struct PcmStamp {
    uint32_t stamp;  // stream ms the clock takes ...
    uint32_t bytes;  // ... once this many more PCM bytes have been played
};

struct PcmQueue {
    uint8_t bytes[PCM_BUFFER_SIZE];
    uint32_t count;
    PcmStamp stamps[PCM_STAMP_COUNT];
    uint32_t stamp_head;
    uint32_t stamp_count;
    uint32_t played_since_stamp;
};

// What a session did, printed at its end when VELMORA_PLAYBACK_STATS=1
// (benchmarks read it).
struct StreamStats {
    uint32_t open_tick;           // the item's open (or the move that re-entered it) began
    uint32_t first_picture_tick;  // 0 until the first picture (or sound) played
    uint32_t pictures;
    uint32_t rebuffers;  // under-runs after preroll
    int64_t start_ms;    // where the run began on the stream's clock
};

struct StreamPlayer {
    StreamDescription info;  // the stream's description (main thread)
    PcmQueue pcm;
    std::atomic<int64_t> audio_clock_ms;  // written by the audio callback
    int64_t video_clock_ms;               // main thread
    int64_t start_ms;                     // where the session started
    uint32_t next_frame_tick;
    int32_t frame_interval_ms;
    int32_t drift_ms;
    uint32_t frames_shown;
    int32_t underruns;
    int32_t full_passes;
    int32_t shown_fill;  // the "Buf:" percentage last drawn
    uint32_t subtitle_serial;
    uint32_t subtitle_tick;
    StreamStats stats;
    uint32_t move_tick;  // when the last move was asked for
    uint8_t seek_disabled;
    uint8_t live;  // a live channel (main thread)
    uint8_t stop_requested;
    uint8_t video_drained;  // the decoder was told the stream ended
    uint8_t blend_set;      // the video layer's blending was set for this run
    // A recording played from the disk: the file, where reading stands and
    // where its chunks end (receiver thread while the session runs).
    std::unique_ptr<FileHandle> recording;
    uint64_t recording_pos;
    uint64_t recording_end;
    uint8_t recording_ended;  // the end was handed to the receiver
    Recorder recorder;        // records the network stream on demand
    // The time-shift buffer (progressive download): on for the session when
    // the setting is and its first file could be made (receiver thread
    // while a session runs, main thread between runs).
    TimeShiftFeed timeshift;
    std::jthread receiver;
    std::jthread audio_thread;
};

// The notice the player screen shows for the session's state, or null.
// `buffer` receives "Buf:%d%%" texts.
const char* stream_notice(const AppState* app, char* buffer, size_t size);
// Opens a streamer file (nav.current_media_path): select, subtitle, stream
// start. 0 or a negative ResultCode (the link down after a socket failure).
int stream_file_open(AppState* app);
// Starts the live channel nav.channel_number. 0 or a negative ResultCode.
int stream_live_open(AppState* app);
// Opens a ".vlm" recording (nav.current_media_path) at the resume
// position: 0 or ERR_MEDIA_OPEN for a file that is missing or not sound.
int stream_recording_open(AppState* app);
// Runs the session on the opened stream until it ends: 0 (ended, or a move
// or previous/next asked for), 1 (stopped by the user), DISPATCH_LEAVE, or a
// negative ResultCode.
int stream_session_run(AppState* app);
// Ends a recording that runs (the record button again, the end of the
// session or a fault of the writer); a fault becomes the next message shown.
void stream_recording_stop(AppState* app);
// Stops the stream at the streamer (the link goes down instead when it
// stalled or the stop fails) and deletes the time-shift files.
void stream_session_close(AppState* app);
