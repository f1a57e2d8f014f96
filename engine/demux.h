// The demux thread of a session and the seek requests it carries out.
//
// Contract:
// - demux_thread_main picks the streams (av_find_best_stream), opens audio,
//   video and subtitle components in that order, and reads packets into the
//   queues until the end of the media, an error or abort_request. It throttles
//   at 15 MiB queued (or when every open queue is comfortably full), pauses
//   network reads while paused, and carries out seeks by flushing the queues
//   and queueing the flush packet.
// - Audio that cannot be opened (decoder or device) is left out when there is
//   a video to play; the video then plays silently, clocked by itself. Media
//   without playable video whose audio cannot open ends with ERR_MEDIA_OPEN.
// - When it ends on its own it stores a ResultCode in session->error
//   (RESULT_OK at the end of the media; the failure of a consumer that died;
//   ERR_MEDIA_OPEN when no stream opens) and posts EVENT_SESSION_END with the
//   session as data1. An abort from outside posts nothing.
// - decode_interrupt ends blocking I/O once the session is aborted.
#pragma once

#include <cstdint>

struct PlayerSession;

void demux_thread_main(PlayerSession* s);

// Main thread: asks for a seek to position_ms from the media start. relative
// is the jump step in milliseconds (either direction), 0 for an absolute
// position. A request while one is pending only moves the shown position.
// Clears APP_REENTER_PLAYER and closes the position gate again.
void stream_seek(PlayerSession* s, int64_t position_ms, int64_t relative);

// Interrupt callback for the format context; opaque is the session, or null
// for the current session (g_current_session).
int decode_interrupt(void* opaque);
