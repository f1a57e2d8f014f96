#include "engine/subtitle_bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/media_enums.h"
#include "render/gl_context.h"
#include "render/video_output.h"
#include "render/video_planes.h"

namespace {

// A PAL8 palette never has more entries than one index byte can name.
constexpr int PALETTE_ENTRIES = 256;

// Bounding box of two rectangles.
VideoRect span(const VideoRect& a, const VideoRect& b)
{
    const int32_t x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int32_t x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
    return VideoRect{x0, y0, x1 - x0, y1 - y0};
}

// The box spanning every usable rectangle of sub on the picture; false when none.
bool subtitle_span(const AVSubtitle& sub, int coded_width, int coded_height, VideoRect* out)
{
    bool any = false;
    for (unsigned i = 0; sub.rects && i < sub.num_rects; i++) {
        VideoRect r;
        if (!subtitle_rect_usable(sub.rects[i]) ||
            !subtitle_rect_clamp(*sub.rects[i], coded_width, coded_height, &r))
            continue;
        *out = any ? span(*out, r) : r;
        any = true;
    }
    return any;
}

// Makes pixels and slot fit w x h; false (and nothing held) when either
// cannot be had.
bool image_fit(SubtitleBitmap* b, int w, int h)
{
    if (b->slot && b->width == w && b->height == h)
        return true;
    texture_slot_free(b->slot);
    b->slot = nullptr;
    b->pixels.reset(new (std::nothrow) uint8_t[static_cast<size_t>(w) * h * 4]);
    if (b->pixels)
        texture_slot_create(&b->slot, 32, w, h, false);
    if (!b->slot) {
        b->pixels.reset();
        b->width = b->height = 0;
        return false;
    }
    b->width = w;
    b->height = h;
    return true;
}

}  // namespace

bool subtitle_rect_usable(const AVSubtitleRect* r)
{
    return r && r->type == SUBTITLE_BITMAP && r->w > 0 && r->h > 0 &&
           r->w <= SUBTITLE_BITMAP_MAX_SIDE && r->h <= SUBTITLE_BITMAP_MAX_SIDE && r->data[0] &&
           r->data[1] && r->linesize[0] >= r->w && r->nb_colors > 0 &&
           r->nb_colors <= PALETTE_ENTRIES;
}

bool subtitle_rect_clamp(const AVSubtitleRect& r, int coded_width, int coded_height, VideoRect* out)
{
    // 64 bits: offsets from a damaged stream may be near the int limits.
    const int64_t x = std::max(r.x, 0), y = std::max(r.y, 0);
    const int64_t w = std::min<int64_t>(r.w, coded_width - x);
    const int64_t h = std::min<int64_t>(r.h, coded_height - y);
    if (w <= 0 || h <= 0)
        return false;
    *out = VideoRect{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(w),
                     static_cast<int32_t>(h)};
    return true;
}

void subtitle_rect_paint(const AVSubtitleRect& r, const VideoRect& clamped,
                         const VideoRect& canvas_rect, uint8_t* canvas)
{
    // Indices past nb_colors find a transparent entry.
    uint32_t palette[PALETTE_ENTRIES] = {};
    std::memcpy(palette, r.data[1], static_cast<size_t>(r.nb_colors) * sizeof palette[0]);
    const int dx = clamped.x - canvas_rect.x, dy = clamped.y - canvas_rect.y;
    for (int row = 0; row < clamped.h; row++) {
        const uint8_t* src = r.data[0] + static_cast<ptrdiff_t>(row) * r.linesize[0];
        uint8_t* dst = canvas + (static_cast<size_t>(dy + row) * canvas_rect.w + dx) * 4;
        for (int col = 0; col < clamped.w; col++, dst += 4) {
            const uint32_t argb = palette[src[col]];
            dst[0] = static_cast<uint8_t>(argb);
            dst[1] = static_cast<uint8_t>(argb >> 8);
            dst[2] = static_cast<uint8_t>(argb >> 16);
            dst[3] = static_cast<uint8_t>(argb >> 24);
        }
    }
}

VideoRect subtitle_rect_on_screen(const VideoRect& rect, int coded_width, int coded_height,
                                  const VideoRect& picture_on_screen)
{
    const VideoRect& p = picture_on_screen;
    if (coded_width <= 0 || coded_height <= 0)
        return VideoRect{};
    // Both edges are scaled, so neighbouring rectangles meet without a gap.
    auto sx = [&](int64_t v) { return static_cast<int32_t>(p.x + v * p.w / coded_width); };
    auto sy = [&](int64_t v) { return static_cast<int32_t>(p.y + v * p.h / coded_height); };
    const int32_t x0 = sx(rect.x), x1 = sx(int64_t{rect.x} + rect.w);
    const int32_t y0 = sy(rect.y), y1 = sy(int64_t{rect.y} + rect.h);
    return VideoRect{x0, y0, x1 - x0, y1 - y0};
}

bool subtitle_bitmap_update(SubtitleBitmap* b, const AVSubtitle* sub, double pts, int coded_width,
                            int coded_height, uint32_t now_ticks)
{
    const bool seen = sub && b->source_rects && sub->rects == b->source_rects &&
                      sub->num_rects == b->source_count && pts == b->source_pts;
    if (seen) {
        b->showing = true;
        b->shown_tick = now_ticks;
        return false;
    }
    b->showing = false;
    b->source_rects = nullptr;
    VideoRect box;
    if (!sub || !subtitle_span(*sub, coded_width, coded_height, &box) ||
        box.w > SUBTITLE_BITMAP_MAX_SIDE || box.h > SUBTITLE_BITMAP_MAX_SIDE ||
        !image_fit(b, box.w, box.h))
        return false;
    std::memset(b->pixels.get(), 0, static_cast<size_t>(box.w) * box.h * 4);
    for (unsigned i = 0; i < sub->num_rects; i++) {
        VideoRect r;
        if (subtitle_rect_usable(sub->rects[i]) &&
            subtitle_rect_clamp(*sub->rects[i], coded_width, coded_height, &r))
            subtitle_rect_paint(*sub->rects[i], r, box, b->pixels.get());
    }
    texture_slot_draw(b->slot, b->pixels.get(), 0, box.w, box.h, true, false, false, false);
    b->rect = box;
    b->showing = true;
    b->shown_tick = now_ticks;
    b->source_rects = sub->rects;
    b->source_count = sub->num_rects;
    b->source_pts = pts;
    return true;
}

void subtitle_bitmap_expire(SubtitleBitmap* b, uint32_t now_ticks, uint32_t timeout_ms)
{
    if (b->showing && now_ticks - b->shown_tick > timeout_ms)
        b->showing = false;
}

void subtitle_bitmap_draw(SubtitleBitmap* b, const VideoOutput& out)
{
    const VideoGeometry& video = out.video;
    const int window_w = out.window_width, window_h = out.window_height;
    if (!b->showing || !b->slot || window_w <= 0 || window_h <= 0)
        return;
    // The area the video quad was placed in (as apply_aspect_mode does it).
    int area_h = window_h;
    if (!orientation_is_portrait(out.orientation) && out.screen_width < out.screen_height)
        area_h -= out.player_bar_height;
    VideoRect picture;
    if (!video_rect_for_mode(video, out.aspect_mode, window_w, area_h, &picture))
        return;
    const VideoRect r = subtitle_rect_on_screen(b->rect, video.coded_width, video.coded_height,
                                                picture);
    if (r.w <= 0 || r.h <= 0)
        return;
    texture_slot_set_geometry(b->slot, out.orientation, r.x, r.y, window_w, window_h, r.w, r.h);
    gl_blend_for_video(true);
    texture_slot_draw(b->slot, nullptr, 0, b->width, b->height, false, true, false, false);
}

void subtitle_bitmap_free(SubtitleBitmap* b)
{
    texture_slot_free(b->slot);
    *b = SubtitleBitmap{};
}
