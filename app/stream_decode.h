// The streaming session's decoders: video from the video ring (H.264 or
// MPEG-4 Part 2, delimited by FFmpeg's parser since the stream is cut into
// units without regard to frames), audio from the audio ring (AAC or MP3,
// likewise), the audio device and its callback, and the drawing of a
// decoded picture.
//
// Threads: open, stop, free, flush, the video functions and the draw run on
// the main thread while the session threads allow (see each); the audio
// thread body runs on its own thread; the callback on the audio device's.
#pragma once

#include <stop_token>

struct AppState;

// Opens the decoders the stream description asks for and the audio device
// (paused). 0, or ERR_MEDIA_OPEN with nothing left open. No session threads.
int stream_decoders_open(AppState* app);
// Frees the video decoder and its textures (after the session's threads).
void stream_decoders_stop(AppState* app);
// Frees the audio decoder (after the audio device is closed).
void stream_audio_codec_free(AppState* app);
// Forgets what the decoders hold, for a session that starts elsewhere in
// the stream (re-entry). No session threads.
void stream_decoders_flush(AppState* app);

// Decodes the next picture from the video ring: true when one is ready in
// decoders->video_frame. Advances the video clock as units are used up.
// At the end of the stream the parser and decoder are drained.
bool stream_video_decode(AppState* app);
// Draws the last decoded picture (false when there is none or its textures
// cannot be had); the caller presents.
bool stream_video_draw(AppState* app);

// The audio thread: decodes while APP_PLAYER_BUSY is set and the stop token
// is not.
void stream_audio_thread(AppState* app, std::stop_token stop);
