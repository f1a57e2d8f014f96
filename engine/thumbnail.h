// Thumbnails: a picture of a media file, scaled and written as a PNG in the
// cache folder's "thumbnails/" under the name of engine/info_cache.h.
//
// - thumb_make (the thumbnail worker; any thread but the main one, since it
//   blocks for up to THUMB_DECODE_LIMIT_MS after the open): the file's
//   description comes from the cache when it is there (the file is then
//   opened with its headers only, its streams are not read again), else it
//   is read and stored. A video file: the first video stream that is not a
//   cover picture is decoded from half its length (from its start when the
//   length is unknown), and the first picture is scaled to width x height
//   (keep_aspect: fitted inside that box) and saved in `size`. An audio file
//   with a cover picture: the cover, fitted the same way. Anything else
//   (no picture, unreadable, no picture within THUMB_DECODE_LIMIT_MS): -1,
//   and nothing is written. 0 when the thumbnail file was written.
// - thumb_save (any thread): writes RGBA pixels (bytes R, G, B, A, as the
//   scaler gives them) as the thumbnail of path in `size` and records the
//   name in path's cache entry (slot is a hint). 0, or -1 when the PNG could
//   not be written (the entry's name is then cleared).
// - cover_art_save (the player's media_open, main thread): the cover file
//   ("_big", long side THUMB_COVER_SIDE) of an opened item whose stream
//   stream_index is an attached picture. When the file exists it is only
//   named; otherwise the item's description is cached if it is not yet, and
//   the picture is decoded, fitted and saved. True with the file name in out;
//   false (out untouched) when there is no usable picture.
// - thumb_make_abort(true) (any thread, e.g. shutdown before joining the
//   worker) makes a running thumb_make give up at its next read and later
//   ones fail at once, until thumb_make_abort(false).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/info_cache.h"

struct AVFormatContext;

// A file that yields no picture this long after reading began is given up.
constexpr int THUMB_DECODE_LIMIT_MS = 5000;
// The sizes the browser asks for.
constexpr int THUMB_SMALL_WIDTH = 48;
constexpr int THUMB_SMALL_HEIGHT = 40;
constexpr int THUMB_PANEL_WIDTH = 284;
constexpr int THUMB_PANEL_HEIGHT = 160;
constexpr int THUMB_COVER_SIDE = 480;

int thumb_make(const char* path, int width, int height, bool keep_aspect, ThumbSize size);
int thumb_save(const char* path, int slot, const uint8_t* rgba, int width, int height,
               ThumbSize size);
bool cover_art_save(const char* path, AVFormatContext* ic, int stream_index, char* out,
                    size_t out_size);
void thumb_make_abort(bool on);

// Pure sizing rules, exposed for tests:
// the largest size inside box_w x box_h with the aspect of pic_w x pic_h
// (display aspect: sample aspect sar_num:sar_den, 0 = square), at least 1x1.
void thumb_fit(int pic_w, int pic_h, int sar_num, int sar_den, int* box_w, int* box_h);
// The cover's size: long side THUMB_COVER_SIDE, aspect kept.
void cover_fit(int pic_w, int pic_h, int* out_w, int* out_h);
