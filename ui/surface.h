// Software surfaces and the pixel operations every screen draws with.
//
// A Surface is an SDL 1.2 software surface. Interface surfaces are 32-bit
// ARGB (R 0x00FF0000, G 0x0000FF00, B 0x000000FF, A 0xFF000000); images may
// also be 24-bit. Every operation accepts null surfaces (it then does
// nothing or returns null) and never touches pixels outside a surface:
// rectangles are clipped to both the source and the destination.
// Fill colours are ARGB (0xAARRGGBB). All calls are made on the main thread.
#pragma once

#include <cstdint>
#include <memory>

#include <SDL/SDL.h>

using Surface = SDL_Surface;

// Owner for surfaces held by C++ scope (temporaries).
struct SurfaceDeleter {
    void operator()(Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<Surface, SurfaceDeleter>;

constexpr uint32_t SURFACE_RMASK = 0x00FF0000;
constexpr uint32_t SURFACE_GMASK = 0x0000FF00;
constexpr uint32_t SURFACE_BMASK = 0x000000FF;
constexpr uint32_t SURFACE_AMASK = 0xFF000000;

// Largest side stretch_frame builds.
constexpr int STRETCH_MAX_SIDE = 1024;

// New zero-filled (transparent black) 32-bit ARGB surface; null when a side
// is below 1 or memory is short.
Surface* surface_create(int width, int height);
void surface_free(Surface* surface);

// Loads any image the image library reads and converts it to 32-bit ARGB
// (opaque where the file has no alpha). Null on failure.
Surface* load_image(const char* path);

// Bilinear scale of a 24- or 32-bit surface (16.16 fixed point). Target
// sides below 1 become 1. On success frees src and returns the new 32-bit
// surface (src's channel masks, plus alpha for a 24-bit source); on failure
// returns null and leaves src intact.
Surface* scale_surface(Surface* src, int width, int height);

// Frame image of the given size (each side 1..STRETCH_MAX_SIDE, else null):
// src's halves stay at the matching edges, its middle column and row fill
// the band between them. src is left as it is.
Surface* stretch_frame(Surface* src, int width, int height);

// Porter-Duff "over" with per-pixel alpha of the whole src, or a part of it
// (src_rect null = whole), placed at (x, y).
void blit_alpha(Surface* dst, Surface* src, int x, int y);
void blit_alpha_part(Surface* dst, Surface* src, const SDL_Rect* src_rect, int x, int y);

// The program's own blend of a 32-bit src onto a 32-bit dst: alpha 0 keeps
// dst, 255 replaces it, otherwise each colour channel becomes
// (s * a + d * (255 - a)) >> 8 and dst keeps its alpha.
void blend_over(Surface* dst, Surface* src, int x, int y);

// Copies 32-bit pixels unchanged (alpha included) to (x, y).
void copy_pixels(Surface* dst, Surface* src, int x, int y);
// Copies a 24-bit source into a 32-bit dst with alpha 255.
void copy_pixels_rgb(Surface* dst, Surface* src, int x, int y);
// Copies src_rect of src (null = whole) unchanged to (x, y) of dst.
void copy_rect(Surface* dst, int x, int y, Surface* src, const SDL_Rect* src_rect);

// Fills a rectangle. Alpha 0 or 255 writes the raw value. Alpha strictly
// between blends the colour "over" dst: each colour channel moves toward the
// fill by alpha / 256, and dst's alpha becomes a + d x (255 - a) / 255, so a
// translucent fill over a transparent pixel leaves it translucent (not clear).
void fill_rect(Surface* dst, int x, int y, int w, int h, uint32_t argb);

// Linear gradient of `length` one-pixel lines, each `thickness` long:
// direction 0 steps along x (vertical lines), 1 along y (horizontal lines).
void fill_gradient(Surface* dst, int x, int y, int length, int thickness, uint32_t from_argb,
                   uint32_t to_argb, int direction);

// One-pixel horizontal or vertical line, end points included, clipped to
// dst; a diagonal request draws nothing.
void draw_line(Surface* dst, int x0, int y0, int x1, int y1, uint32_t argb);

// Raw pixel access for 1 to 4 bytes per pixel; out of range reads give 0
// and writes are ignored.
uint32_t get_pixel(Surface* surface, int x, int y);
void put_pixel(Surface* surface, int x, int y, uint32_t value);
