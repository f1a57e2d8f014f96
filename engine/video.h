// Video decoding, picture timing and the clocks of a session.
//
// Contract:
// - video_thread_main (video thread) waits for the one-entry picture queue to
//   be free, decodes one picture, and queues it. When the entry has no buffers
//   for the picture's size it posts EVENT_ALLOC_PICTURE and waits; the main
//   thread answers with alloc_picture (engine/picture.h). Every wait ends on
//   the video queue's abort. No picture is dropped for lateness. When it
//   cannot go on by itself (out of memory) it fails the video consumer, which
//   ends the session.
// - video_refresh (main thread, through player_session_tick) shows the queued
//   picture when it is due against the master clock (audio when there is
//   audio, else video). While paused no new picture is shown. The last
//   picture is drawn again once for each now->redraw_request_count (the
//   count goes down as it is served). Without video it calls the player's
//   overlay hook, which draws the audio-only screen when it changed.
//   In a slide show the position advances with the refresh ticks, never
//   while paused.
// - Position updates (now->position_ms, audio_position_ms) are gated by the
//   session's picture counter: they start after 20 pictures or clock reads
//   since the open or the last seek, and never while APP_REENTER_PLAYER is set.
// - Clock reads may be made from any thread; toggle_pause on the main thread.
// - subtitle_thread_main fills the 4-entry subtitle ring.
#pragma once

struct PlayerSession;

void video_thread_main(PlayerSession* s);
void subtitle_thread_main(PlayerSession* s);

void video_refresh(PlayerSession* s);
double compute_target_delay(PlayerSession* s, double delay);

double get_audio_clock(PlayerSession* s);
double get_video_clock(PlayerSession* s);
double get_master_clock(PlayerSession* s);

void toggle_pause(PlayerSession* s);
