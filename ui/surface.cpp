#include "ui/surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <SDL/SDL_image.h>

#include <fstream>
#include <iterator>

#include "platform/png_check.h"

namespace {

// Locks a surface for direct pixel access when SDL requires it.
class PixelLock {
public:
    explicit PixelLock(Surface* s)
        : s_(s && SDL_MUSTLOCK(s) && SDL_LockSurface(s) == 0 ? s : nullptr)
    {
    }
    ~PixelLock()
    {
        if (s_)
            SDL_UnlockSurface(s_);
    }
    PixelLock(const PixelLock&) = delete;
    PixelLock& operator=(const PixelLock&) = delete;

private:
    Surface* s_;
};

uint8_t* row_at(Surface* s, int y)
{
    return static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
}

uint32_t* pixel32_at(Surface* s, int x, int y)
{
    return reinterpret_cast<uint32_t*>(row_at(s, y)) + x;
}

bool is_argb32(const Surface* s)
{
    const SDL_PixelFormat* f = s->format;
    return f->BytesPerPixel == 4 && f->Rmask == SURFACE_RMASK && f->Gmask == SURFACE_GMASK &&
           f->Bmask == SURFACE_BMASK && f->Amask == SURFACE_AMASK;
}

bool same_format32(const Surface* a, const Surface* b)
{
    const SDL_PixelFormat* f = a->format;
    const SDL_PixelFormat* g = b->format;
    return f->BytesPerPixel == 4 && g->BytesPerPixel == 4 && f->Rmask == g->Rmask &&
           f->Gmask == g->Gmask && f->Bmask == g->Bmask && f->Amask == g->Amask;
}

// A copy of any surface as 32 bits in the channel layout of `format`
// (colour key and palette honoured, alpha 255 where the source has none).
Surface* convert_to(Surface* src, const SDL_PixelFormat* format)
{
    Surface* out = SDL_CreateRGBSurface(SDL_SWSURFACE, src->w, src->h, 32, format->Rmask,
                                        format->Gmask, format->Bmask, format->Amask);
    if (!out)
        return nullptr;
    PixelLock lock(src);
    const SDL_PixelFormat* f = src->format;
    const bool keyed = (src->flags & SDL_SRCCOLORKEY) != 0;
    for (int y = 0; y < src->h; ++y) {
        uint32_t* d = pixel32_at(out, 0, y);
        for (int x = 0; x < src->w; ++x) {
            const uint32_t raw = get_pixel(src, x, y);
            Uint8 r, g, b, a;
            SDL_GetRGBA(raw, src->format, &r, &g, &b, &a);
            if (keyed && raw == f->colorkey)
                a = 0;
            d[x] = SDL_MapRGBA(out->format, r, g, b, a);
        }
    }
    return out;
}

Surface* convert_to_argb(Surface* src)
{
    SurfacePtr model(surface_create(1, 1));
    return model ? convert_to(src, model->format) : nullptr;
}

// src as a surface in dst's 32-bit layout: src itself when it already is,
// else a converted temporary held by `holder`.
Surface* in_layout_of(Surface* dst, Surface* src, SurfacePtr& holder)
{
    if (same_format32(dst, src))
        return src;
    if (dst->format->BytesPerPixel != 4)
        return nullptr;
    holder.reset(convert_to(src, dst->format));
    return holder.get();
}

// A source rectangle placed on a destination, clipped to both surfaces.
struct Span {
    int sx, sy, dx, dy, w, h;
};

bool clip_span(Surface* dst, Surface* src, const SDL_Rect* part, int x, int y, Span* out)
{
    if (!dst || !src || !dst->pixels || !src->pixels)
        return false;
    int sx = part ? part->x : 0;
    int sy = part ? part->y : 0;
    int w = part ? part->w : src->w;
    int h = part ? part->h : src->h;
    // Clip to the source, moving the destination point along.
    if (sx < 0) {
        w += sx;
        x -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        y -= sy;
        sy = 0;
    }
    w = std::min(w, src->w - sx);
    h = std::min(h, src->h - sy);
    // Clip to the destination.
    if (x < 0) {
        w += x;
        sx -= x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        sy -= y;
        y = 0;
    }
    w = std::min(w, dst->w - x);
    h = std::min(h, dst->h - y);
    if (w <= 0 || h <= 0)
        return false;
    *out = {sx, sy, x, y, w, h};
    return true;
}

bool clip_rect(Surface* dst, int* x, int* y, int* w, int* h)
{
    if (!dst || !dst->pixels)
        return false;
    int x0 = std::max(*x, 0), y0 = std::max(*y, 0);
    int x1 = std::min<long long>(static_cast<long long>(*x) + *w, dst->w);
    int y1 = std::min<long long>(static_cast<long long>(*y) + *h, dst->h);
    if (x1 <= x0 || y1 <= y0)
        return false;
    *x = x0;
    *y = y0;
    *w = x1 - x0;
    *h = y1 - y0;
    return true;
}

// Porter-Duff "over" of one ARGB pixel onto another.
uint32_t over_pixel(uint32_t s, uint32_t d)
{
    const uint32_t sa = s >> 24;
    if (sa == 0)
        return d;
    if (sa == 255)
        return s;
    const uint32_t da = d >> 24;
    if (da == 255) {
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
            const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
            out |= ((sc * sa + dc * (255 - sa) + 127) / 255) << shift;
        }
        return out;
    }
    const uint32_t dw = da * (255 - sa);  // destination weight, x255
    const uint32_t oa = sa * 255 + dw;    // output alpha, x255
    uint32_t out = ((oa + 127) / 255) << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
        out |= ((sc * sa * 255 + dc * dw + oa / 2) / oa) << shift;
    }
    return out;
}

// Translucent colour laid on ARGB pixels: colour channels move by
// alpha / 256 towards the colour, alpha composes as "over". Tables per
// channel make each pixel four look-ups.
class Tint {
public:
    explicit Tint(uint32_t argb)
    {
        const int a = static_cast<int>(argb >> 24);
        for (int v = 0; v < 256; ++v) {
            for (int c = 0; c < 3; ++c) {
                const int sc = static_cast<int>((argb >> (8 * c)) & 0xFF);
                channel_[c][v] = static_cast<uint8_t>(v + (((sc - v) * a) >> 8));
            }
            alpha_[v] = static_cast<uint8_t>(a + (v * (255 - a) + 127) / 255);
        }
    }
    uint32_t operator()(uint32_t d) const
    {
        return uint32_t(alpha_[d >> 24]) << 24 | uint32_t(channel_[2][(d >> 16) & 0xFF]) << 16 |
               uint32_t(channel_[1][(d >> 8) & 0xFF]) << 8 | channel_[0][d & 0xFF];
    }

private:
    uint8_t channel_[3][256];
    uint8_t alpha_[256];
};

void fill_raw(Surface* dst, int x, int y, int w, int h, uint32_t value)
{
    for (int r = 0; r < h; ++r)
        std::fill_n(pixel32_at(dst, x, y + r), w, value);
}

// Builds a 16.16 source position table: integer index and fraction per
// target pixel, stepping by (src - 1) / dst.
void position_table(int src, int dst, std::vector<int>& index, std::vector<uint32_t>& frac)
{
    index.resize(dst);
    frac.resize(dst);
    const uint32_t step = static_cast<uint32_t>((static_cast<uint64_t>(src) * 65536 - 65536) / dst);
    int i = 0;
    uint32_t f = 0;
    for (int t = 0; t < dst; ++t) {
        if (t > 0) {
            const uint32_t p = f + step;
            i += static_cast<int>(p >> 16);
            f = p & 0xFFFF;
        }
        index[t] = std::min(i, src - 1);
        frac[t] = f;
    }
}

// One target row of the bilinear scale: each channel is mixed across the
// two columns with weights (65536 - fx, fx), then across the two rows with
// (65536 - fy, fy), each sum shifted right by 16.
template <int BPP>
void scale_row(const uint8_t* r0, const uint8_t* r1, uint32_t fy, const int* left, const int* right,
               const uint32_t* fx, int width, uint32_t* out)
{
    const uint32_t gy = 65536 - fy;
    for (int tx = 0; tx < width; ++tx) {
        const uint8_t* a0 = r0 + left[tx];
        const uint8_t* a1 = r0 + right[tx];
        const uint8_t* b0 = r1 + left[tx];
        const uint8_t* b1 = r1 + right[tx];
        const uint32_t wx = fx[tx], gx = 65536 - wx;
        uint32_t px = BPP == 4 ? 0 : 0xFF000000u;
        for (int c = 0; c < BPP; ++c) {
            const uint32_t top = (a0[c] * gx + a1[c] * wx) >> 16;
            const uint32_t bot = (b0[c] * gx + b1[c] * wx) >> 16;
            px |= ((top * gy + bot * fy) >> 16) << (8 * c);
        }
        out[tx] = px;
    }
}

// Maps a target coordinate of stretch_frame to its source coordinate.
int stretch_source(int t, int target, int source)
{
    if (target >= source) {
        const int left = source / 2, right = source - left;
        if (t < left)
            return t;
        if (t >= target - right)
            return t - (target - source);
        return left;
    }
    const int left = target / 2;
    return t < left ? t : t + (source - target);
}

}  // namespace

Surface* surface_create(int width, int height)
{
    if (width < 1 || height < 1)
        return nullptr;
    Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, SURFACE_RMASK,
                                      SURFACE_GMASK, SURFACE_BMASK, SURFACE_AMASK);
    if (s)
        std::memset(s->pixels, 0, static_cast<size_t>(s->pitch) * s->h);
    return s;
}

void surface_free(Surface* surface)
{
    SDL_FreeSurface(surface);
}

namespace {

constexpr size_t IMAGE_FILE_LIMIT = 256u << 20;

bool read_whole_file(const char* path, std::vector<uint8_t>* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<uint64_t>(size) > IMAGE_FILE_LIMIT)
        return false;
    out->resize(static_cast<size_t>(size));
    in.seekg(0);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(out->data()), size));
}

}  // namespace

Surface* load_image(const char* path)
{
    std::vector<uint8_t> file;
    if (!path || !read_whole_file(path, &file))
        return nullptr;
    if (!png_safe_to_decode(file.data(), file.size()))
        return nullptr;
    SDL_RWops* rw = SDL_RWFromConstMem(file.data(), static_cast<int>(file.size()));
    // The extension only matters for formats without a signature (TGA).
    const char* dot = std::strrchr(path, '.');
    SurfacePtr raw(rw ? IMG_LoadTyped_RW(rw, 1, const_cast<char*>(dot ? dot + 1 : "")) : nullptr);
    if (!raw)
        return nullptr;
    return convert_to_argb(raw.get());
}

Surface* scale_surface(Surface* src, int width, int height)
{
    if (!src || !src->pixels)
        return nullptr;
    const int bpp = src->format->BytesPerPixel;
    if (bpp != 3 && bpp != 4)
        return nullptr;
    width = std::max(width, 1);
    height = std::max(height, 1);
    const SDL_PixelFormat* f = src->format;
    Surface* out = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, f->Rmask, f->Gmask,
                                        f->Bmask, bpp == 4 ? f->Amask : 0xFF000000u);
    if (!out)
        return nullptr;
    std::vector<int> xi, yi;
    std::vector<uint32_t> xf, yf;
    position_table(src->w, width, xi, xf);
    position_table(src->h, height, yi, yf);
    // Byte offsets of each target column's two source neighbours.
    std::vector<int> left(width), right(width);
    for (int tx = 0; tx < width; ++tx) {
        left[tx] = xi[tx] * bpp;
        right[tx] = std::min(xi[tx] + 1, src->w - 1) * bpp;
    }
    {
        PixelLock lock(src);
        for (int ty = 0; ty < height; ++ty) {
            const uint8_t* r0 = row_at(src, yi[ty]);
            const uint8_t* r1 = row_at(src, std::min(yi[ty] + 1, src->h - 1));
            uint32_t* d = pixel32_at(out, 0, ty);
            if (bpp == 4)
                scale_row<4>(r0, r1, yf[ty], left.data(), right.data(), xf.data(), width, d);
            else
                scale_row<3>(r0, r1, yf[ty], left.data(), right.data(), xf.data(), width, d);
        }
    }
    SDL_FreeSurface(src);
    return out;
}

Surface* stretch_frame(Surface* src, int width, int height)
{
    if (!src || !src->pixels || width < 1 || height < 1 || width > STRETCH_MAX_SIDE ||
        height > STRETCH_MAX_SIDE)
        return nullptr;
    const int bpp = src->format->BytesPerPixel;
    if (bpp != 3 && bpp != 4)
        return nullptr;
    const SDL_PixelFormat* f = src->format;
    Surface* out = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, bpp * 8, f->Rmask, f->Gmask,
                                        f->Bmask, f->Amask);
    if (!out)
        return nullptr;
    PixelLock lock(src);
    std::vector<int> cols(width);
    for (int x = 0; x < width; ++x)
        cols[x] = stretch_source(x, width, src->w) * bpp;
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = row_at(src, stretch_source(y, height, src->h));
        uint8_t* d = row_at(out, y);
        for (int x = 0; x < width; ++x)
            std::memcpy(d + x * bpp, s + cols[x], bpp);
    }
    return out;
}

void blit_alpha(Surface* dst, Surface* src, int x, int y)
{
    blit_alpha_part(dst, src, nullptr, x, y);
}

void blit_alpha_part(Surface* dst, Surface* src, const SDL_Rect* src_rect, int x, int y)
{
    Span sp;
    if (!clip_span(dst, src, src_rect, x, y, &sp))
        return;
    if (!is_argb32(dst)) {
        SDL_Rect from{static_cast<Sint16>(sp.sx), static_cast<Sint16>(sp.sy),
                      static_cast<Uint16>(sp.w), static_cast<Uint16>(sp.h)};
        SDL_Rect to{static_cast<Sint16>(sp.dx), static_cast<Sint16>(sp.dy), 0, 0};
        SDL_BlitSurface(src, &from, dst, &to);
        return;
    }
    SurfacePtr holder;
    Surface* s = in_layout_of(dst, src, holder);
    if (!s)
        return;
    PixelLock ls(s), ld(dst);
    for (int r = 0; r < sp.h; ++r) {
        const uint32_t* sr = pixel32_at(s, sp.sx, sp.sy + r);
        uint32_t* dr = pixel32_at(dst, sp.dx, sp.dy + r);
        for (int c = 0; c < sp.w; ++c)
            dr[c] = over_pixel(sr[c], dr[c]);
    }
}

void blend_over(Surface* dst, Surface* src, int x, int y)
{
    Span sp;
    if (!clip_span(dst, src, nullptr, x, y, &sp) || dst->format->BytesPerPixel != 4)
        return;
    SurfacePtr holder;
    Surface* s = in_layout_of(dst, src, holder);
    if (!s)
        return;
    const int ashift = dst->format->Ashift;
    const uint32_t amask = dst->format->Amask;
    PixelLock ls(s), ld(dst);
    for (int r = 0; r < sp.h; ++r) {
        const uint32_t* sr = pixel32_at(s, sp.sx, sp.sy + r);
        uint32_t* dr = pixel32_at(dst, sp.dx, sp.dy + r);
        for (int c = 0; c < sp.w; ++c) {
            const uint32_t sp32 = sr[c];
            const uint32_t a = (sp32 & amask) >> ashift;
            if (a == 0)
                continue;
            if (a == 255) {
                dr[c] = sp32;
                continue;
            }
            const uint32_t dp = dr[c];
            uint32_t out = dp & amask;
            if (ashift == 24) {
                // Red and blue in one multiply, green in another; each channel's
                // sum stays below 2^16 of its lane, so no lane spills.
                const uint32_t rb = (sp32 & 0xFF00FF) * a + (dp & 0xFF00FF) * (255 - a);
                const uint32_t g = (sp32 & 0x00FF00) * a + (dp & 0x00FF00) * (255 - a);
                out |= ((rb >> 8) & 0xFF00FF) | ((g >> 8) & 0x00FF00);
            } else {
                for (int shift = 0; shift < 32; shift += 8) {
                    if (shift == ashift)
                        continue;
                    const uint32_t sc = (sp32 >> shift) & 0xFF, dc = (dp >> shift) & 0xFF;
                    out |= ((sc * a + dc * (255 - a)) >> 8) << shift;
                }
            }
            dr[c] = out;
        }
    }
}

void copy_pixels(Surface* dst, Surface* src, int x, int y)
{
    if (src && src->format->BytesPerPixel == 3) {
        copy_pixels_rgb(dst, src, x, y);
        return;
    }
    copy_rect(dst, x, y, src, nullptr);
}

void copy_pixels_rgb(Surface* dst, Surface* src, int x, int y)
{
    Span sp;
    if (!clip_span(dst, src, nullptr, x, y, &sp) || !is_argb32(dst) ||
        src->format->BytesPerPixel != 3)
        return;
    const SDL_PixelFormat* f = src->format;
    PixelLock ls(src), ld(dst);
    for (int r = 0; r < sp.h; ++r) {
        const uint8_t* sr = row_at(src, sp.sy + r) + sp.sx * 3;
        uint32_t* dr = pixel32_at(dst, sp.dx, sp.dy + r);
        for (int c = 0; c < sp.w; ++c, sr += 3) {
            const uint32_t v = sr[0] | uint32_t(sr[1]) << 8 | uint32_t(sr[2]) << 16;
            const uint32_t red = (v & f->Rmask) >> f->Rshift;
            const uint32_t green = (v & f->Gmask) >> f->Gshift;
            const uint32_t blue = (v & f->Bmask) >> f->Bshift;
            dr[c] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    }
}

void copy_rect(Surface* dst, int x, int y, Surface* src, const SDL_Rect* src_rect)
{
    Span sp;
    if (!clip_span(dst, src, src_rect, x, y, &sp))
        return;
    SurfacePtr holder;
    Surface* s = src;
    if (src->format->BytesPerPixel != dst->format->BytesPerPixel ||
        (dst->format->BytesPerPixel == 4 && !same_format32(dst, src))) {
        s = in_layout_of(dst, src, holder);
        if (!s)
            return;
    }
    const int bpp = dst->format->BytesPerPixel;
    PixelLock ls(s), ld(dst);
    // Within one surface, copy downwards moves from the bottom row up.
    const bool upwards = s == dst && sp.dy > sp.sy;
    for (int i = 0; i < sp.h; ++i) {
        const int r = upwards ? sp.h - 1 - i : i;
        std::memmove(row_at(dst, sp.dy + r) + sp.dx * bpp, row_at(s, sp.sy + r) + sp.sx * bpp,
                     static_cast<size_t>(sp.w) * bpp);
    }
}

void fill_rect(Surface* dst, int x, int y, int w, int h, uint32_t argb)
{
    if (!clip_rect(dst, &x, &y, &w, &h))
        return;
    const uint32_t a = argb >> 24;
    if (!is_argb32(dst)) {
        SDL_Rect r{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w),
                   static_cast<Uint16>(h)};
        SDL_FillRect(dst, &r, SDL_MapRGBA(dst->format, argb >> 16, argb >> 8, argb, a));
        return;
    }
    PixelLock ld(dst);
    if (a == 0 || a == 255) {
        fill_raw(dst, x, y, w, h, argb);
        return;
    }
    const Tint tint(argb);
    for (int r = 0; r < h; ++r) {
        uint32_t* d = pixel32_at(dst, x, y + r);
        for (int c = 0; c < w; ++c)
            d[c] = tint(d[c]);
    }
}

void fill_gradient(Surface* dst, int x, int y, int length, int thickness, uint32_t from_argb,
                   uint32_t to_argb, int direction)
{
    if (!dst || length < 1 || thickness < 1)
        return;
    const uint32_t alpha = from_argb & 0xFF000000u;
    double channel[3], step[3];
    for (int c = 0; c < 3; ++c) {
        const int shift = 16 - 8 * c;
        channel[c] = (from_argb >> shift) & 0xFF;
        step[c] = (static_cast<double>((to_argb >> shift) & 0xFF) - channel[c]) / length;
    }
    for (int i = 0; i < length; ++i) {
        uint32_t colour = alpha;
        for (int c = 0; c < 3; ++c) {
            const int v = std::clamp(static_cast<int>(channel[c] + step[c] * i), 0, 255);
            colour |= static_cast<uint32_t>(v) << (16 - 8 * c);
        }
        const int pos = (direction == 0 ? x : y) + i;
        if (pos < 0)
            continue;
        if (direction == 0)
            fill_rect(dst, pos, y, 1, thickness, colour);
        else
            fill_rect(dst, x, pos, thickness, 1, colour);
    }
}

void draw_line(Surface* dst, int x0, int y0, int x1, int y1, uint32_t argb)
{
    if (y0 == y1)
        fill_rect(dst, std::min(x0, x1), y0, std::abs(x1 - x0) + 1, 1, argb);
    else if (x0 == x1)
        fill_rect(dst, x0, std::min(y0, y1), 1, std::abs(y1 - y0) + 1, argb);
}

uint32_t get_pixel(Surface* surface, int x, int y)
{
    if (!surface || !surface->pixels || x < 0 || y < 0 || x >= surface->w || y >= surface->h)
        return 0;
    const int bpp = surface->format->BytesPerPixel;
    const uint8_t* p = row_at(surface, y) + x * bpp;
    switch (bpp) {
    case 1: return p[0];
    case 2: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case 3: return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    case 4: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default: return 0;
    }
}

void put_pixel(Surface* surface, int x, int y, uint32_t value)
{
    if (!surface || !surface->pixels || x < 0 || y < 0 || x >= surface->w || y >= surface->h)
        return;
    const int bpp = surface->format->BytesPerPixel;
    uint8_t* p = row_at(surface, y) + x * bpp;
    switch (bpp) {
    case 1: p[0] = static_cast<uint8_t>(value); break;
    case 2: {
        const uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(p, &v, 2);
        break;
    }
    case 3:
        p[0] = value & 0xFF;
        p[1] = (value >> 8) & 0xFF;
        p[2] = (value >> 16) & 0xFF;
        break;
    case 4: std::memcpy(p, &value, 4); break;
    default: break;
    }
}
