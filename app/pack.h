// zlib helpers shared by the settings file, playlists and streamer listings.
// Both take the destination capacity in *dst_len and leave the number of
// bytes produced there. Result 0, or -1 when zlib cannot be initialised.
// unpack_buffer returns 0 for a damaged or truncated stream too, with the
// bytes produced so far: callers check the result themselves.
#pragma once

#include <cstddef>

int pack_buffer(void* dst, size_t* dst_len, const void* src, size_t src_len);
// `complete`, when given, tells whether the stream ended whole (its own
// trailer checked), for callers that must refuse any damage.
int unpack_buffer(void* dst, size_t* dst_len, const void* src, size_t src_len, bool* complete = nullptr);
