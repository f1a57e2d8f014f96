// Video decoding, picture timing and the clocks of a session.
//
// Contract:
// - video_thread_main (video thread) waits for the one-entry picture queue to
//   be free, decodes one picture, and queues it. When the entry has no buffers
//   for the picture's size it posts EVENT_ALLOC_PICTURE and waits; the main
//   thread answers with alloc_picture. Every wait ends on the video queue's
//   abort. No picture is dropped for lateness.
// - alloc_picture and video_refresh run on the main thread; video_refresh
//   shows the queued picture when it is due against the master clock (audio
//   when there is audio, else video).
// - Clock reads may be made from any thread.
// - subtitle_thread_main fills the 4-entry subtitle ring.
#pragma once

#include <atomic>

struct PlayerSession;

// Gates the position updates after an open or seek (reset by stream_seek).
extern std::atomic<int> g_picture_counter;

void video_thread_main(PlayerSession* s);
void subtitle_thread_main(PlayerSession* s);

void alloc_picture(PlayerSession* s);
void video_refresh(PlayerSession* s);
double compute_target_delay(PlayerSession* s, double delay);

double get_audio_clock(PlayerSession* s);
double get_video_clock(PlayerSession* s);
double get_master_clock(PlayerSession* s);

void toggle_pause(PlayerSession* s);
