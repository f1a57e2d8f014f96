#include "platform/pack.h"

#include <zlib.h>

namespace {

// zlib counts in uInt; feed large buffers in pieces that fit.
constexpr size_t CHUNK_LIMIT = 1u << 30;

uInt piece(size_t n)
{
    return static_cast<uInt>(n < CHUNK_LIMIT ? n : CHUNK_LIMIT);
}

}  // namespace

int pack_buffer(void* dst, size_t* dst_len, const void* src, size_t src_len)
{
    z_stream zs{};
    if (deflateInit(&zs, 9) != Z_OK) {
        *dst_len = 0;
        return -1;
    }
    zs.next_in = static_cast<Bytef*>(const_cast<void*>(src));
    zs.next_out = static_cast<Bytef*>(dst);
    size_t in_left = src_len, out_left = *dst_len;
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.avail_in = piece(in_left);
        zs.avail_out = piece(out_left);
        const uInt in0 = zs.avail_in, out0 = zs.avail_out;
        rc = deflate(&zs, zs.avail_in == in_left ? Z_FINISH : Z_NO_FLUSH);
        in_left -= in0 - zs.avail_in;
        out_left -= out0 - zs.avail_out;
        if (rc == Z_OK && out_left == 0)
            break;  // the destination is full before the stream ended
    }
    *dst_len -= out_left;
    deflateEnd(&zs);
    // Only a finished stream is whole: anything else was cut short.
    return rc == Z_STREAM_END ? 0 : -1;
}

size_t pack_bound(size_t src_len)
{
    return compressBound(static_cast<uLong>(src_len));
}

int unpack_buffer(void* dst, size_t* dst_len, const void* src, size_t src_len, bool* complete)
{
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        *dst_len = 0;
        return -1;
    }
    zs.next_in = static_cast<Bytef*>(const_cast<void*>(src));
    zs.next_out = static_cast<Bytef*>(dst);
    size_t in_left = src_len, out_left = *dst_len;
    int rc = Z_OK;
    while (rc == Z_OK && out_left > 0) {
        zs.avail_in = piece(in_left);
        zs.avail_out = piece(out_left);
        const uInt in0 = zs.avail_in, out0 = zs.avail_out;
        rc = inflate(&zs, Z_NO_FLUSH);
        in_left -= in0 - zs.avail_in;
        out_left -= out0 - zs.avail_out;
        if (in0 == zs.avail_in && out0 == zs.avail_out)
            break;  // no progress: truncated input
    }
    *dst_len -= out_left;
    if (complete)
        *complete = rc == Z_STREAM_END;
    inflateEnd(&zs);
    return 0;
}
