// The audio output of a session: the SDL 1.2 device (signed 16-bit, 2,048
// sample buffer, at most 2 channels, the stream's rate), the callback that
// decodes and resamples into it, and the audio clock, which is the master
// clock of playback.
//
// Contract:
// - audio_open (demux thread, at component open) chooses the device format and
//   opens the device paused; ERR_MEDIA_OPEN when it cannot be opened as
//   signed 16-bit (the demux thread then plays a video without sound). audio_start initialises the state and the audio queue and
//   starts the device. audio_close (after the audio queue was aborted) closes
//   the device, which waits for a running callback to return.
// - The callback never blocks longer than the audio queue: while paused it
//   plays silence; when now->sound_on (atomic, set by the main thread) is 0
//   it writes zeros but consumes audio at the normal pace, so the clock keeps
//   running. It never reads the settings record, which the main thread
//   writes without locks.
// - The heard clock assumes two device buffers not yet played.
#pragma once

#include <cstdint>

#include <SDL/SDL.h>

struct PlayerSession;

int audio_open(PlayerSession* s);
void audio_start(PlayerSession* s);
void audio_close(PlayerSession* s);

void audio_callback(void* opaque, Uint8* stream, int len);
// Bytes ready in audio.buf (pts of their start in *pts), or -1.
int audio_decode_frame(PlayerSession* s, double* pts);

// The device format that was obtained, for the driver's report.
struct AudioDeviceInfo {
    int freq;
    int channels;
};
AudioDeviceInfo audio_device_info(const PlayerSession* s);
