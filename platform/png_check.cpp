#include "platform/png_check.h"

#include <cstring>

#include <zlib.h>

namespace {

constexpr uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Length, type and CRC around each chunk's data.
constexpr size_t CHUNK_OVERHEAD = 12;

uint32_t be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

bool png_signature_present(const uint8_t* data, size_t size)
{
    return data && size >= sizeof PNG_SIGNATURE &&
           std::memcmp(data, PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0;
}

bool png_chunks_sound(const uint8_t* data, size_t size)
{
    if (!png_signature_present(data, size))
        return false;
    size_t pos = sizeof PNG_SIGNATURE;
    while (size - pos >= CHUNK_OVERHEAD) {
        const uint32_t length = be32(data + pos);
        if (length > size - pos - CHUNK_OVERHEAD)
            return false;
        const uint8_t* type = data + pos + 4;
        const uLong crc = crc32(0, type, static_cast<uInt>(length) + 4);
        if (crc != be32(type + 4 + length))
            return false;
        if (std::memcmp(type, "IEND", 4) == 0)
            return true;
        pos += CHUNK_OVERHEAD + length;
    }
    return false;
}

bool png_safe_to_decode(const uint8_t* data, size_t size)
{
    return !png_signature_present(data, size) || png_chunks_sound(data, size);
}
