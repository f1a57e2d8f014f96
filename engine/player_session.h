// PlayerSession: everything that lives for one locally played media item —
// the demuxing context, the three packet queues, the one-entry picture queue,
// the subtitle ring, the audio state and the clocks — and the order in which
// its threads are started and stopped.
//
// Threads of a session:
//   main          stream_open / stream_close, player_session_handle_event,
//                 player_session_tick (alloc_picture, video_refresh)
//   demux         opens the components, reads packets, seeks (engine/demux.h)
//   video         decodes pictures into the picture queue (engine/video.h)
//   subtitle      decodes subtitles into the ring (engine/video.h)
//   audio device  SDL's callback thread (engine/audio.h)
//
// Contract:
// - stream_open takes over the opened format context, starts the demux thread
//   and returns the session (null on failure; the context is then closed).
// - stream_close (main thread) is the one place that stops every thread:
//   abort + join demux, then close audio, video, subtitle (each aborts its
//   queue, signals its condition and joins its thread), then frees the rest.
//   Every wait in the engine wakes on abort, so it returns promptly.
// - The player loop hands every SDL event to player_session_handle_event,
//   which answers EVENT_ALLOC_PICTURE and EVENT_SESSION_END of its own
//   session, and calls player_session_tick on every pass.
// - A consumer that dies (the video thread, a picture allocation) aborts its
//   queue and records its ResultCode; the demux thread then ends the session
//   with that code instead of waiting for the queue to drain.
// - GL state: the first main-thread step of a session notes the blending
//   state; stream_close puts it back, so the interface finds what it left.
// - Results are ResultCode values: 0 at the end of the media, else an ERR_*.
// - Cross-thread scalar fields are atomics; the picture entry and the
//   subtitle ring are guarded by their mutexes (picture before subtitle).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <SDL/SDL.h>

#include "engine/av_owners.h"
#include "engine/clock.h"
#include "engine/engine_context.h"
#include "engine/packet_queue.h"
#include "engine/subtitle_bitmap.h"
#include "platform/result_codes.h"
#include "render/video_planes.h"

constexpr int VIDEO_PICTURE_QUEUE_SIZE = 1;
constexpr int SUBPICTURE_QUEUE_SIZE = 4;
constexpr int AUDIO_BUF2_SIZE = 768000;
constexpr int SILENCE_CHUNK = 2048;
constexpr int SESSION_NAME_SIZE = 1024;
// "Unknown" for frame_last_pts: the smallest 64-bit integer as a double.
constexpr double PTS_UNKNOWN = -9.223372036854776e18;

struct VideoPicture {
    double pts = 0;
    double duration = 0;
    int64_t pos = -1;
    int skip = 0;
    FramePtr frame;           // the decoder's picture, moved in when queued
    FramePtr conv_frame;      // converted copy (YUV 4:2:0 or BGRA), when needed
    AvBufferPtr conv_buffer;  // pixels behind conv_frame
    int width = 0;            // coded size the entry was allocated for
    int height = 0;
    int allocated = 0;
    AVPixelFormat src_format = AV_PIX_FMT_NONE;
    AVPixelFormat dst_format = AV_PIX_FMT_NONE;
};

// What the video thread asks the main thread to allocate (EVENT_ALLOC_PICTURE).
struct PictureRequest {
    int width = 0;
    int height = 0;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int linesize[3] = {0, 0, 0};
    int display_width = 0;  // texture size the entry needs
    int display_height = 0;
};

struct PictureQueue {
    VideoPicture entry;
    PictureRequest request;
    int windex = 0;
    int rindex = 0;
    int size = 0;
    std::mutex mutex;
    std::condition_variable cond;
};

struct SubtitlePicture {
    AVSubtitle sub{};
    double pts = 0;
};

struct SubtitleRing {
    SubtitlePicture entries[SUBPICTURE_QUEUE_SIZE];
    int windex = 0;
    int rindex = 0;
    int size = 0;
    bool stream_changed = false;  // subtitle_stream_changed
    std::mutex mutex;
    std::condition_variable cond;
};

// The subtitle text currently drawn over the picture (main thread).
struct SubtitleOverlay {
    char text[256] = {};
    bool showing = false;
    int redraw_count = 0;
};

// Sample format, channel layout and rate of the decoder output or the device.
struct AudioParams {
    AVSampleFormat fmt = AV_SAMPLE_FMT_NONE;
    AVChannelLayout layout{};
    int freq = 0;
    int channels() const { return layout.nb_channels; }
};

struct AudioState {
    int hw_buf_size = 0;           // audio_hw_buf_size, bytes
    const uint8_t* buf = nullptr;  // audio_buf: chunk being handed out
    uint32_t buf_size = 0;
    uint32_t buf_index = 0;
    int write_buf_size = 0;
    AvBufferPtr buf2;  // resampler output, AUDIO_BUF2_SIZE bytes
    uint8_t silence[SILENCE_CHUNK] = {};
    FramePtr frame;
    bool decoder_drained = false;
    AudioParams src;
    AudioParams tgt;
    SwrPtr swr;
    std::atomic<double> clock{0.0};  // audio_clock: end of the last decoded data
    PlaybackClock heard;             // audio_current_pts / _drift
    std::atomic<int64_t> callback_time{0};
    bool device_open = false;
    int device_freq = 0;  // obtained format, kept for reports
    int device_channels = 0;
};

// Counters for the headless driver and the benchmark.
struct SessionStats {
    std::atomic<int64_t> frames_decoded{0};
    std::atomic<int64_t> frames_shown{0};
    std::atomic<int64_t> audio_bytes_out{0};
    std::atomic<int64_t> decode_us{0};                // video thread inside the decoder
    std::atomic<int64_t> convert_us{0};               // swscale on the main thread
    std::atomic<int64_t> upload_us{0};                // plane upload + quad draw
    std::atomic<int64_t> present_us{0};               // buffer swap
    double max_av_drift = 0;                          // main thread only
    std::chrono::steady_clock::time_point opened_at;  // main thread: stream_open
    int64_t first_picture_us = -1;                    // main thread: first picture shown
};

struct PlayerSession {
    EngineContext ctx{};
    std::atomic<int> error{RESULT_OK};           // ResultCode the session ended with
    std::atomic<int> consumer_error{RESULT_OK};  // set once by a consumer that died
    char name[SESSION_NAME_SIZE] = {};

    std::thread demux_thread;
    std::thread video_thread;
    std::thread subtitle_thread;

    std::atomic<int> abort_request{0};
    std::atomic<int> paused{0};
    int last_paused = 0;  // demux thread only
    std::atomic<int> seek_req{0};
    int seek_flags = 0;
    int64_t seek_pos = 0;  // microseconds from the media start
    int64_t seek_rel = 0;  // jump step in microseconds, signed by direction; 0 = absolute
    std::atomic<int> read_pause_return{0};
    std::atomic<int> eof{0};
    int end_report_tries = 0;  // demux thread only

    FormatContextPtr ic;
    int audio_stream = -1;
    int video_stream = -1;
    int subtitle_stream = -1;
    AVStream* audio_st = nullptr;
    AVStream* video_st = nullptr;
    AVStream* subtitle_st = nullptr;
    CodecContextPtr audio_dec;
    CodecContextPtr video_dec;
    CodecContextPtr subtitle_dec;
    std::atomic<bool> has_audio{false};  // audio component open
    std::atomic<bool> has_video{false};
    std::atomic<bool> has_subtitle{false};
    std::atomic<bool> video_drained{false};    // decoder handed out its last picture
    std::atomic<bool> picture_decoded{false};  // a first picture came out of the decoder
    bool conversion_needed = false;            // main thread: decoder format is not plain 4:2:0
    // Gates the position updates after an open or seek: written by the video
    // thread and the clock readers, reset by stream_seek.
    std::atomic<int> picture_counter{0};

    PacketQueue audioq;
    PacketQueue videoq;
    PacketQueue subtitleq;

    AudioState audio;

    // Clocks and picture timing (main thread writes, others read).
    std::atomic<double> frame_timer{0.0};
    std::atomic<double> frame_last_pts{PTS_UNKNOWN};
    std::atomic<double> frame_last_duration{0.0};
    double video_clock = 0;       // video thread only
    PlaybackClock video_current;  // video_current_pts / _drift

    PictureQueue pictq;
    SubtitleRing subpq;

    // Video output owned by the session (main thread).
    SwsPtr sws;
    VideoTextures textures{};
    bool still_converted = false;  // the still image's one conversion is done
    bool gl_state_saved = false;   // gl_state_before holds what to put back
    GlBlendState gl_state_before{};
    std::atomic<uint32_t> subtitle_shown_tick{0};  // SDL ticks when the text was set
    SubtitleOverlay overlay;                       // main thread
    SubtitleBitmap bitmap{};                       // main thread: the DVB image shown

    uint32_t slideshow_last_tick = 0;  // main thread: last refresh pass of a slide show

    SessionStats stats;
};

// The session the interrupt callback and the stream choices refer to.
extern std::atomic<PlayerSession*> g_current_session;

// Takes over ic; sets APP_PLAYER_BUSY and ctx.now->session, starts the demux
// thread. Null on failure (ic is closed, nothing is left set).
PlayerSession* stream_open(const EngineContext& ctx, const char* name, FormatContextPtr ic);
// Stops every thread in order, puts the GL blending state back and frees the
// session (main thread).
void stream_close(PlayerSession* s);

// What player_session_handle_event did with one event.
struct SessionEventOutcome {
    bool consumed;      // the event was this session's (nobody else wants it)
    bool ended;         // EVENT_SESSION_END: the session is over, close it
    ResultCode result;  // with ended: RESULT_OK at the end of the media, else why
};
// Main thread: answers EVENT_ALLOC_PICTURE (alloc_picture) and
// EVENT_SESSION_END naming s; any other event is left to the caller.
SessionEventOutcome player_session_handle_event(PlayerSession* s, const SDL_Event* ev);
// Main thread, once per pass of the player loop: shows the picture that is
// due (video_refresh), or the audio-only player screen.
void player_session_tick(PlayerSession* s);
// Main thread: notes the GL blending state before the session first changes
// it (once per session).
void session_gl_state_note(PlayerSession* s);

// Opens/closes one stream's decoder and its consumer (thread or device).
// Open returns 0, or ERR_MEDIA_OPEN for a bad index, decoder or device.
int stream_component_open(PlayerSession* s, int stream_index);
void stream_component_close(PlayerSession* s, int stream_index);

// A consumer thread or step that cannot go on: records result (the first
// one wins) and aborts q, so that its producer stops waiting for it.
void session_consumer_failed(PlayerSession* s, PacketQueue* q, ResultCode result);

// The display aspect of a width x height picture with sample aspect sar,
// as width x sar.num : height x sar.den reduced to fit 32 bits. An unknown
// sar (either part <= 0) counts as 1:1; a zero or negative size gives 1:1.
void display_aspect_for(int width, int height, AVRational sar, int32_t* num, int32_t* den);

// Posts an engine event (EVENT_ALLOC_PICTURE, EVENT_SESSION_END) with the
// session as data1. SDL's event queue can be full for a moment, so it retries
// every 10 ms until it succeeds or give_up() says the answer is no longer
// wanted; false when it was not posted.
bool post_session_event(int type, PlayerSession* s, bool (*give_up)(PlayerSession*));

// Main thread, after showing or dropping the queued picture.
void picture_queue_next(PlayerSession* s);

// Frees every queued subtitle; call with the ring's lock held.
void subtitle_ring_clear_locked(SubtitleRing* ring);
