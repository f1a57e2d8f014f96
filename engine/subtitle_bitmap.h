// Bitmap (DVB) subtitles over the picture: the palette images of a decoded
// subtitle are turned into one BGRA image, uploaded to a texture slot of its
// own and drawn over the video quad, scaled from the picture's coded size to
// where the picture lies on screen.
//
// Contract:
// - SubtitleBitmap belongs to the session (PlayerSession::bitmap) and is used
//   on the main thread only, with the GL context current; zero-initialise it,
//   free it with subtitle_bitmap_free when the session's video output goes.
// - The pixel buffer and the slot (RGBA, nearest filtering) have the image's
//   size and are recreated only when that size changes.
// - A rectangle is usable when it is SUBTITLE_BITMAP with a size of 1 ..
//   SUBTITLE_BITMAP_MAX_SIDE each way, index rows at least as long as its
//   width, a palette and 1..256 colours. Anything else is skipped. Palette
//   indices at or beyond nb_colors come out transparent.
// - Each rectangle is clamped to the coded picture: negative offsets become
//   0 (the image moves in, it is not cut), and what hangs past the right or
//   bottom edge is cut off. Every usable rectangle of a subtitle lands in one
//   image spanning them all.
// - The pure helpers (subtitle_rect_usable, subtitle_rect_clamp,
//   subtitle_rect_paint, subtitle_rect_on_screen) touch no GL and read only
//   the rows and palette entries inside the rectangle.
#pragma once

#include <cstdint>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "render/video_layout.h"

struct TextureSlot;
struct VideoOutput;

// Largest side of a subtitle image: the largest display a DVB subtitle
// stream can describe; anything bigger is damaged data.
constexpr int SUBTITLE_BITMAP_MAX_SIDE = 4096;

struct SubtitleBitmap {
    std::unique_ptr<uint8_t[]> pixels;  // width x height BGRA, rows tightly packed
    int32_t width;                      // size of pixels and slot (0 = none)
    int32_t height;
    TextureSlot* slot;
    VideoRect rect;       // where the image lies on the coded picture
    bool showing;         // drawn over each picture
    uint32_t shown_tick;  // SDL ticks when it was last found current
    // The subtitle the image was made from: the same one is not converted again.
    double source_pts;
    const AVSubtitleRect* const* source_rects;
    unsigned source_count;
};

// Pure helpers.
bool subtitle_rect_usable(const AVSubtitleRect* r);
// The part of r on a coded_width x coded_height picture, negative offsets
// made 0; false when nothing of it is left.
bool subtitle_rect_clamp(const AVSubtitleRect& r, int coded_width, int coded_height,
                         VideoRect* out);
// Writes r's image as BGRA into canvas (canvas_rect's size, rows tightly
// packed) at the place of clamped (from subtitle_rect_clamp) inside it.
void subtitle_rect_paint(const AVSubtitleRect& r, const VideoRect& clamped,
                         const VideoRect& canvas_rect, uint8_t* canvas);
// Scales rect from a coded_width x coded_height picture to the picture's
// rectangle on screen.
VideoRect subtitle_rect_on_screen(const VideoRect& rect, int coded_width, int coded_height,
                                  const VideoRect& picture_on_screen);

// Takes the bitmap of sub (null or without usable rectangles: nothing is
// shown) as the current one; a subtitle not seen before is converted and
// uploaded. coded size from the video geometry. Returns true when a new image
// was taken.
bool subtitle_bitmap_update(SubtitleBitmap* b, const AVSubtitle* sub, double pts, int coded_width,
                            int coded_height, uint32_t now_ticks);
// Hides the image once more than timeout_ms passed since it was last current.
void subtitle_bitmap_expire(SubtitleBitmap* b, uint32_t now_ticks, uint32_t timeout_ms);
// Draws the showing image over the picture with blending on (no clear, no
// present), placed for out's aspect mode, orientation and window.
void subtitle_bitmap_draw(SubtitleBitmap* b, const VideoOutput& out);
// Frees the slot and the pixels; the record is zeroed.
void subtitle_bitmap_free(SubtitleBitmap* b);
