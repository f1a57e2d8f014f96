// NowPlaying: the part of AppState that the playback engine owns — what is
// being played and where it stands. media_open fills it, the engine's
// threads keep the position fields up to date, the player loop reads it.
//
// Threads: fields marked "atomic" are written by the demux, video or audio
// threads and read by the main thread (sound_on the other way round); every
// other field is written by the main thread only (media_open, alloc_picture,
// the player loop). The record is owned by the application; the engine reaches
// it through its EngineContext.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/settings.h"

struct PlayerSession;

constexpr int AUDIO_TRACK_MAX = 32;

struct NowPlaying {
    PlayerSession* session;  // the locally playing item, null when none
    // Stream choices for the next open: STREAM_AUTO, an index, or SUBTITLES_OFF.
    int32_t audio_stream;
    int32_t video_stream;
    int32_t subtitle_stream;
    // atomic: where the next open starts (resume position) and, while a seek
    // is being chosen, its target; the demux thread reads it as it starts.
    std::atomic<int64_t> start_ms;
    int64_t media_start_ms;  // container start time
    int32_t duration_ms;     // 0 = not given
    uint8_t duration_unknown;
    std::atomic<int64_t> position_ms;  // atomic: position shown by the player screen
    int64_t shown_position_ms;
    std::atomic<int64_t> audio_position_ms;  // atomic: the same, from the audio clock
    std::atomic<uint8_t> sound_on;           // atomic: 0 = the audio device gets zeros (mute);
                                             // media_open starts it from the settings
    int32_t video_width;                     // coded size of the video (0 = none)
    int32_t video_height;
    int32_t video_sar_num;
    int32_t video_sar_den;
    int32_t video_codec_id;
    int32_t audio_codec_id;
    int32_t audio_track_table[AUDIO_TRACK_MAX];  // audio stream indices, stream order
    int32_t audio_track_count;
    uint8_t audio_only;  // no video stream (covers do not count)
    uint8_t no_audio;
    uint8_t still_image;   // the video is a single picture codec
    uint8_t picture_mode;  // a still image without audio
    uint8_t yuv_path;      // planes uploaded as Y, U, V
    uint8_t skip_first_picture;
    uint8_t slideshow;                   // started by the browser's "Slide Show"
    std::atomic<uint8_t> no_video_open;  // atomic: the demux thread opened no video
    std::atomic<uint8_t> no_audio_open;  // atomic: ... no audio
    char artist[64];
    char album[64];
    char genre[32];
    char cover_path[PATH_SIZE];
    char subtitle_path[PATH_SIZE];
    int32_t display_width;  // size the picture entry is allocated for
    int32_t display_height;
    std::atomic<int32_t> display_aspect_num;  // atomic: width x SAR num, height x SAR den
    std::atomic<int32_t> display_aspect_den;
    std::atomic<int64_t> pending_seek_ms;  // atomic: -1 once the demux thread carried a seek out
    int32_t redraw_request_count;          // > 0: the refresh redraws the last picture
    uint8_t controls_visible;              // set by the player loop
    uint8_t player_screen_hidden;          // set by the player loop (library view)
    // Player-loop hooks, null = not installed, called on the main thread with
    // hook_context: drawing the controls over the picture (must present), and
    // drawing the current subtitle text ("" clears it).
    void (*draw_player_overlay)(void* hook_context);
    void (*draw_subtitle_text)(void* hook_context, const char* text);
    void* hook_context;
};
