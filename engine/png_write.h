// The thumbnail PNG writer (libpng).
//
// png_write_rgb writes width x height pixels, each bytes_per_pixel (3 or 4)
// apart, as an 8-bit RGB PNG: bytes 0, 1, 2 of each pixel are red, green and
// blue, or blue, green and red when swap is set (any further byte, alpha, is
// dropped). The image goes to a temporary file beside `file` that is renamed
// over it once complete, so a reader sees the old file or the whole new one,
// never half a PNG. 0, or -1 (bad arguments, a libpng error, a full disk);
// on failure nothing is left behind. Any thread; nothing is shared.
#pragma once

#include <cstdint>

// Larger than any picture the program scales for a thumbnail or cover.
constexpr int PNG_WRITE_MAX_SIDE = 8192;

int png_write_rgb(const char* file, const uint8_t* pixels, int width, int height,
                  int bytes_per_pixel, bool swap);
