// Opening one media item for local playback: the demuxing context, the
// "now playing" part (sizes, codecs, audio track table, tags, cover picture,
// still-image and picture modes, the starting "sound on"), then the session.
//
// Contract:
// - media_open (main thread) returns RESULT_OK with ctx.now->session
//   running; ERR_MEDIA_OPEN when the item cannot be opened (missing, refused,
//   unreadable); ERR_OUT_OF_MEMORY when memory runs out or the session cannot
//   start. Nothing is left running on failure.
// - Local names are opened through the file protocol only. A URL is opened
//   with a network whitelist (http, https, tcp, tls, crypto, httpproxy): a
//   remote resource can never pull in local files, concat, data or subfile.
//   A network read that gets nothing for 15 s fails instead of blocking.
// - media_input_open (any thread) opens a name by the rules above and reads
//   its stream information (only the container's headers with
//   MEDIA_PROBE_HEADERS, for a caller that has the description already),
//   with `interrupt` installed before the first byte is read (it stays the
//   context's callback). RESULT_OK with *out set,
//   ERR_MEDIA_OPEN or ERR_OUT_OF_MEMORY. Every part of the engine that opens
//   media goes through it, so the protocol rules hold everywhere.
// - media_open empties ctx.cues (when given) and, for an item with
//   now->subtitle_path set and subtitles not off (choice >= STREAM_AUTO),
//   loads that file in the chosen character set; a file that cannot be read
//   leaves the table empty and playback goes on.
// - media_open_cancel (any thread) makes a blocking network open give up.
// - The cover picture of an audio item is written by cover_art_save
//   (engine/thumbnail.h), which sets cover_path.
// - duration_ms_from_us: the container duration in ms, 0 when not given,
//   held to INT32_MAX for absurd values. Pure.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/av_owners.h"
#include "engine/engine_context.h"
#include "platform/result_codes.h"

struct NowPlaying;

ResultCode media_open(const EngineContext& ctx, const char* name);
enum MediaProbe {
    MEDIA_PROBE_STREAMS,  // read packets until every stream is described
    MEDIA_PROBE_HEADERS,  // the container's headers only
};
ResultCode media_input_open(const char* name, AVIOInterruptCB interrupt, FormatContextPtr* out,
                            MediaProbe probe = MEDIA_PROBE_STREAMS);
void media_open_cancel();

int32_t duration_ms_from_us(int64_t duration_us);
