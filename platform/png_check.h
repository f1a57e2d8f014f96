// A byte check of PNG files, made before any image library sees them.
//
// A PNG whose chunks run past the end of the data or fail their CRC makes
// SDL_image 1.2 with libpng 1.6 loop forever on warnings, so every path that
// decodes PNG bytes (interface artwork, cover pictures inside media) refuses
// such data first. Pure functions over a byte buffer; any thread may call them.
#pragma once

#include <cstddef>
#include <cstdint>

// True when data starts with the 8-byte PNG signature.
bool png_signature_present(const uint8_t* data, size_t size);
// True when every chunk after the signature fits in the data, carries a
// correct CRC, and an IEND chunk ends the walk. False for anything else,
// including data without the signature.
bool png_chunks_sound(const uint8_t* data, size_t size);
// True when the data is not a PNG at all, or is a PNG whose chunks are sound:
// what a loader asks before handing bytes to the image library.
bool png_safe_to_decode(const uint8_t* data, size_t size);
