#include "engine/picture.h"

#include <algorithm>
#include <chrono>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include "engine/now_playing.h"
#include "engine/player_session.h"
#include "engine/subtitle_bitmap.h"
#include "platform/text_copy.h"
#include "render/gl_context.h"
#include "render/video_layout.h"
#include "render/video_output.h"
#include "render/video_planes.h"
#include "subtitles/cue_table.h"
#include "subtitles/subtitle_text.h"

namespace {

// A subtitle text stays up this long after it was set.
constexpr uint32_t SUBTITLE_SHOW_MS = 3000;
// A subtitle is taken up only within this window after its pts.
constexpr double SUBTITLE_WINDOW_S = 3.0;
// swscale's vector code may write a little past the end of a plane's last
// row, so every plane gets this much room after it.
constexpr int CONVERSION_PLANE_PADDING = 256;

using Clock = std::chrono::steady_clock;

int64_t us_since(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t).count();
}

bool planar_420(AVPixelFormat f)
{
    return f == AV_PIX_FMT_YUV420P || f == AV_PIX_FMT_YUVJ420P;
}

// Allocates the converted copy at the display size, planes tightly packed
// (the upload needs rows of exactly the plane's width); false when out of memory.
bool alloc_conversion(VideoPicture* vp, int w, int h)
{
    int linesize[4] = {};
    if (av_image_fill_linesizes(linesize, vp->dst_format, w) < 0)
        return false;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(vp->dst_format);
    int offsets[4] = {};
    int64_t total = 0;
    for (int i = 0; i < 4 && linesize[i] > 0; i++) {
        int rows = (i == 1 || i == 2) ? AV_CEIL_RSHIFT(h, desc->log2_chroma_h) : h;
        offsets[i] = static_cast<int>(total);
        total += FFALIGN(static_cast<int64_t>(linesize[i]) * rows + CONVERSION_PLANE_PADDING, 64);
    }
    if (total > INT32_MAX)
        return false;
    vp->conv_frame.reset(av_frame_alloc());
    vp->conv_buffer.reset(static_cast<uint8_t*>(av_malloc(static_cast<size_t>(total))));
    if (!vp->conv_frame || !vp->conv_buffer)
        return false;
    for (int i = 0; i < 4 && linesize[i] > 0; i++) {
        vp->conv_frame->data[i] = vp->conv_buffer.get() + offsets[i];
        vp->conv_frame->linesize[i] = linesize[i];
    }
    vp->conv_frame->width = w;
    vp->conv_frame->height = h;
    vp->conv_frame->format = vp->dst_format;
    return true;
}

// Creates the textures for the display size and places the quad.
bool textures_prepare(PlayerSession* s)
{
    NowPlaying* now = s->ctx.now;
    VideoOutput* out = s->ctx.out;
    int w = now->display_width, h = now->display_height;
    bool yuv = now->yuv_path;
    if (!video_textures_prepare(&s->textures, w, h, yuv))
        return false;
    out->video = VideoGeometry{
        s->textures.y,      yuv, now->video_width, now->video_height, now->video_sar_num,
        now->video_sar_den, w};
    apply_aspect_mode(out, out->aspect_mode, out->window_width, out->window_height);
    // The interface is drawn over the picture: let its transparent pixels through.
    gl_blend_for_video(true);
    return true;
}

// The size the picture takes on the window (its quad for the current mode),
// which the RGBA path converts to so that the picture is drawn 1:1: on a
// software rasterizer sampling a larger texture down costs more than the
// conversion. Held to twice the window (Crop reaches past it).
bool shown_size(const PlayerSession* s, int* w, int* h)
{
    const NowPlaying* now = s->ctx.now;
    const VideoOutput* out = s->ctx.out;
    if (out->window_width <= 0 || out->window_height <= 0)
        return false;
    const VideoGeometry video{nullptr,
                              false,
                              now->video_width,
                              now->video_height,
                              now->video_sar_num,
                              now->video_sar_den,
                              now->video_width};
    VideoRect r{};
    if (!video_rect_in_area(*out, video, out->aspect_mode, out->window_width, out->window_height,
                            &r))
        return false;
    *w = std::clamp(r.w, 2, 2 * out->window_width);
    *h = std::clamp(r.h, 2, 2 * out->window_height);
    return true;
}

// After a resize or a change of aspect mode the RGBA path converts to the
// new shown size (the caller holds the picture lock). False when the new
// buffers cannot be had: the session then ends, out of memory.
bool refit_to_window(PlayerSession* s, VideoPicture* vp)
{
    NowPlaying* now = s->ctx.now;
    int w = 0, h = 0;
    if (now->yuv_path || !shown_size(s, &w, &h) ||
        (w == now->display_width && h == now->display_height))
        return true;
    now->display_width = w;
    now->display_height = h;
    s->still_converted = false;
    if (alloc_conversion(vp, w, h) && textures_prepare(s))
        return true;
    vp->conv_frame.reset();
    session_consumer_failed(s, &s->videoq, ERR_OUT_OF_MEMORY);
    return false;
}

// Converts the decoder's picture into the entry's converted frame.
bool convert_picture(PlayerSession* s, VideoPicture* vp)
{
    NowPlaying* now = s->ctx.now;
    const AVFrame* f = vp->frame.get();
    SwsContext* ctx = sws_getCachedContext(s->sws.release(), f->width, f->height,
                                           static_cast<AVPixelFormat>(f->format),
                                           now->display_width, now->display_height, vp->dst_format,
                                           SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    s->sws.reset(ctx);
    if (!ctx)
        return false;
    sws_scale(ctx, f->data, f->linesize, 0, f->height, vp->conv_frame->data,
              vp->conv_frame->linesize);
    return true;
}

bool draw_picture(PlayerSession* s, VideoPicture* vp)
{
    NowPlaying* now = s->ctx.now;
    if (!refit_to_window(s, vp))
        return false;
    // Pictures that need converting are never drawn from the decoder's planes.
    const bool converted = !now->yuv_path || now->picture_mode || s->conversion_needed;
    if (converted && !vp->conv_frame)
        return false;
    if (vp->conv_frame && !(now->still_image && s->still_converted)) {
        auto t = Clock::now();
        if (!convert_picture(s, vp))
            return false;
        s->still_converted = now->still_image;
        s->stats.convert_us += us_since(t);
    }
    auto t = Clock::now();
    const AVFrame* src = vp->conv_frame ? vp->conv_frame.get() : vp->frame.get();
    const uint8_t* const planes[3] = {src->data[0], src->data[1], src->data[2]};
    video_planes_draw(&s->textures, planes, now->display_width, now->display_height);
    s->stats.upload_us += us_since(t);
    return true;
}

// First non-empty text among the subtitle's rectangles.
bool subtitle_text(const AVSubtitle& sub, char* out, size_t out_size)
{
    for (unsigned i = 0; i < sub.num_rects; i++) {
        const AVSubtitleRect* r = sub.rects[i];
        if (r->type == SUBTITLE_TEXT && r->text && r->text[0])
            subtitle_plain_text(r->text, out, out_size);
        else if (r->ass && r->ass[0])
            subtitle_dialogue_text(r->ass, out, out_size);
        else
            continue;  // bitmaps have their own slot (subtitle_bitmap_update)
        if (out[0])
            return true;
    }
    return false;
}

void draw_subtitle(NowPlaying* now, const char* text)
{
    if (now->draw_subtitle_text)
        now->draw_subtitle_text(now->hook_context, text);
}

void present(PlayerSession* s)
{
    NowPlaying* now = s->ctx.now;
    auto t = Clock::now();
    if (now->controls_visible && now->draw_player_overlay)
        now->draw_player_overlay(now->hook_context);
    else
        gl_present();
    s->stats.present_us += us_since(t);
}

// External cues show unless the user chose an embedded subtitle stream that
// opened; an automatic choice gives way to the file the user put beside the
// film (or picked).
bool external_cues_shown(const PlayerSession* s)
{
    const CueTable* cues = s->ctx.cues;
    if (!cues || cues->count == 0)
        return false;
    return !(s->has_subtitle && s->ctx.now->subtitle_stream >= 0);
}

// The cue for the position becomes the subtitle text; it shows from its
// start to its end (the cue gives its own end, so the 3-second limit of
// embedded subtitles does not apply). True when a new text became current.
bool external_cue_select(PlayerSession* s, const VideoPicture* shown)
{
    NowPlaying* now = s->ctx.now;
    CueTable* cues = s->ctx.cues;
    SubtitleOverlay& o = s->overlay;
    // The time of the picture on screen: the position follows the pictures
    // only some pictures after an open or a seek.
    const int64_t at_ms = shown ? static_cast<int64_t>(shown->pts * 1000) : now->position_ms.load();
    subtitle_cue_pick(cues, at_ms - now->media_start_ms, CUE_PICK_LOCAL);
    const bool changed = cues->changed;
    if (changed) {
        cues->changed = false;
        copy_text(o.text, sizeof o.text, cues->shown_text);
        if (!o.text[0])
            draw_subtitle(now, "");
    }
    // Drawn at every display while it lasts: the band redraws only when the
    // text, the bar or the orientation changed.
    o.showing = o.text[0] != '\0';
    return changed && o.showing;
}

}  // namespace

void alloc_picture(PlayerSession* s)
{
    if (!s || !s->has_video)
        return;
    NowPlaying* now = s->ctx.now;
    std::lock_guard lock(s->pictq.mutex);
    const PictureRequest& req = s->pictq.request;
    VideoPicture& vp = s->pictq.entry;
    if (req.width <= 0 || req.height <= 0)
        return;
    vp.width = req.width;
    vp.height = req.height;
    vp.src_format = req.format;
    vp.frame.reset(av_frame_alloc());
    vp.conv_frame.reset();
    vp.conv_buffer.reset();
    s->still_converted = false;
    now->video_width = req.width;
    now->video_height = req.height;
    now->display_width = req.display_width;
    now->display_height = req.display_height;
    vp.dst_format = now->yuv_path ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGRA;

    // Planes go straight to the textures only when the chroma rows are half
    // the luma rows; anything else is converted.
    s->conversion_needed = !planar_420(req.format) || req.linesize[0] <= 0 ||
                           req.linesize[1] * 2 != req.linesize[0] ||
                           req.linesize[2] != req.linesize[1];
    if (s->conversion_needed && !now->picture_mode)
        now->display_width = (req.width + 1) & ~1;
    if (!now->yuv_path)
        shown_size(s, &now->display_width, &now->display_height);
    bool converted = !now->yuv_path || now->picture_mode || s->conversion_needed;
    if (!vp.frame ||
        (converted && !alloc_conversion(&vp, now->display_width, now->display_height)) ||
        !textures_prepare(s)) {
        session_consumer_failed(s, &s->videoq, ERR_OUT_OF_MEMORY);
        s->pictq.cond.notify_all();
        return;
    }
    vp.allocated = 1;
    s->pictq.cond.notify_all();
}

void session_video_output_free(PlayerSession* s)
{
    video_textures_free(&s->textures);
    subtitle_bitmap_free(&s->bitmap);
    s->sws.reset();
    if (s->ctx.out)
        s->ctx.out->video = VideoGeometry{};
}

bool subtitle_overlay_select(PlayerSession* s, const VideoPicture* shown)
{
    if (external_cues_shown(s))
        return external_cue_select(s, shown);
    NowPlaying* now = s->ctx.now;
    SubtitleOverlay& o = s->overlay;
    bool selected = false;
    SubtitleRing& ring = s->subpq;
    const AVSubtitle* current = nullptr;  // the head subtitle while within its window
    double current_pts = 0;
    if (s->has_subtitle && ring.size > 0) {
        const SubtitlePicture& head = ring.entries[ring.rindex];
        double pos = now->position_ms.load() / 1000.0;
        double start = head.pts + head.sub.start_display_time / 1000.0;
        if (start <= pos && pos < head.pts + SUBTITLE_WINDOW_S) {
            current = &head.sub;
            current_pts = head.pts;
        }
        char text[sizeof o.text];
        if (current && subtitle_text(head.sub, text, sizeof text)) {
            std::memcpy(o.text, text, sizeof o.text);
            o.showing = true;
            s->subtitle_shown_tick = SDL_GetTicks();
            selected = true;
        }
    }
    // A bitmap shows only while its subtitle is the current one: a newer
    // subtitle or the end of the window takes it away.
    const VideoGeometry* video = s->ctx.out ? &s->ctx.out->video : nullptr;
    if (subtitle_bitmap_update(&s->bitmap, current, current_pts, video ? video->coded_width : 0,
                               video ? video->coded_height : 0, SDL_GetTicks())) {
        selected = true;
        if (o.text[0]) {  // the new image replaces the text
            o.text[0] = '\0';
            o.showing = false;
            draw_subtitle(now, "");
        }
    }
    subtitle_bitmap_expire(&s->bitmap, SDL_GetTicks(), SUBTITLE_SHOW_MS);
    if (o.redraw_count > 0 && SDL_GetTicks() - s->subtitle_shown_tick > SUBTITLE_SHOW_MS) {
        o.text[0] = '\0';
        draw_subtitle(now, "");
        o.showing = false;
        o.redraw_count--;
    }
    return selected;
}

void video_image_display(PlayerSession* s, VideoPicture* vp)
{
    NowPlaying* now = s->ctx.now;
    if (now->skip_first_picture) {
        now->skip_first_picture = 0;
        return;
    }
    bool drew = false;
    if (vp && vp->frame && vp->frame->data[0] && s->picture_decoded)
        drew = draw_picture(s, vp);
    bool subtitle = false;
    if (!now->player_screen_hidden)
        subtitle = subtitle_overlay_select(s, drew ? vp : nullptr);
    if ((vp || subtitle) && !drew)
        video_area_clear();
    if (!now->player_screen_hidden && s->ctx.out)
        subtitle_bitmap_draw(&s->bitmap, *s->ctx.out);
    SubtitleOverlay& o = s->overlay;
    if (o.showing) {
        draw_subtitle(now, o.text);
        if (now->controls_visible)
            o.showing = false;
        o.redraw_count = 2;
    }
    present(s);
}
