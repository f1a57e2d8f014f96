// zlib helpers shared by the settings file, playlists and streamer listings.
// Any thread may call them; they keep no state.
//
// Both take the destination capacity in *dst_len and leave the number of
// bytes produced there.
// - pack_buffer (level 9): 0 only when the whole stream, trailer included,
//   fitted; -1 when zlib cannot be initialised or the output was cut short
//   (the bytes then in dst are not a usable stream).
// - unpack_buffer: 0, or -1 when zlib cannot be initialised. A damaged or
//   truncated stream still returns 0 with the bytes produced so far; callers
//   check the result themselves (`complete` tells whether the stream ended
//   whole, its own trailer checked).
// - pack_bound: the largest stream pack_buffer can make of src_len bytes; a
//   stored stream length beyond it is not one of ours.
#pragma once

#include <cstddef>

int pack_buffer(void* dst, size_t* dst_len, const void* src, size_t src_len);
int unpack_buffer(void* dst, size_t* dst_len, const void* src, size_t src_len,
                  bool* complete = nullptr);
size_t pack_bound(size_t src_len);
