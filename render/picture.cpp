#include "render/picture.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "app/app_state.h"
#include "engine/player_session.h"
#include "render/gl_context.h"
#include "render/video_layout.h"

namespace {

constexpr uint32_t SUBTITLE_SHOW_MS = 3000;

VideoPath g_video_path = VIDEO_PATH_AUTO;
constexpr double SUBTITLE_WINDOW_S = 3.0;

using Clock = std::chrono::steady_clock;

int64_t us_since(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t).count();
}

void free_textures(PlayerSession* s)
{
    texture_slot_free(s->tex_y);
    texture_slot_free(s->tex_u);
    texture_slot_free(s->tex_v);
    s->tex_y = s->tex_u = s->tex_v = nullptr;
}

bool create_textures(PlayerSession* s, int w, int h, bool yuv)
{
    if (yuv) {
        texture_slot_create(&s->tex_y, 8, w, h, true);
        texture_slot_create(&s->tex_u, 8, w / 2, h / 2, true);
        texture_slot_create(&s->tex_v, 8, w / 2, h / 2, true);
        return s->tex_y && s->tex_u && s->tex_v;
    }
    texture_slot_create(&s->tex_y, 32, w, h, true);
    return s->tex_y != nullptr;
}

// Converts the decoder's picture into the entry's converted frame.
bool convert_picture(PlayerSession* s, VideoPicture* vp)
{
    AppState* app = s->app;
    const AVFrame* f = vp->frame.get();
    SwsContext* ctx = sws_getCachedContext(s->sws.release(), f->width, f->height,
                                           static_cast<AVPixelFormat>(f->format),
                                           app->now.display_width, app->now.display_height, vp->dst_format,
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
    AppState* app = s->app;
    if (vp->conv_frame && !(app->now.still_image && s->still_converted)) {
        auto t = Clock::now();
        if (!convert_picture(s, vp))
            return false;
        s->still_converted = app->now.still_image;
        s->stats.convert_us += us_since(t);
    }
    auto t = Clock::now();
    const AVFrame* src = vp->conv_frame ? vp->conv_frame.get() : vp->frame.get();
    if (app->now.yuv_path)
        yuv_planes_draw(s->tex_y, s->tex_u, s->tex_v, src->data[0], src->data[1], src->data[2],
                        app->now.display_width, app->now.display_height);
    else
        texture_slot_draw(s->tex_y, src->data[0], 0, app->now.display_width, app->now.display_height,
                          true, true, false, true);
    s->stats.upload_us += us_since(t);
    return true;
}

void remove_blocks(const char* in, char* out, size_t out_size)
{
    size_t n = 0;
    char close = 0;
    for (const char* p = in; *p && n + 1 < out_size; p++) {
        if (close) {
            if (*p == close)
                close = 0;
            continue;
        }
        if (*p == '{' || *p == '<') {
            close = *p == '{' ? '}' : '>';
            continue;
        }
        out[n++] = *p;
    }
    out[n] = '\0';
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
            continue;  // bitmaps are drawn by the subtitle layer, not here
        if (out[0])
            return true;
    }
    return false;
}

void draw_subtitle(AppState* app, const char* text)
{
    if (app->now.draw_subtitle_text)
        app->now.draw_subtitle_text(app, text);
}

void present(PlayerSession* s)
{
    AppState* app = s->app;
    auto t = Clock::now();
    if (app->now.controls_visible && app->now.draw_player_overlay)
        app->now.draw_player_overlay(app);
    else
        gl_present();
    s->stats.present_us += us_since(t);
}

}  // namespace

void video_path_override(VideoPath path)
{
    g_video_path = path;
}

bool video_yuv_path_preferred()
{
    if (g_video_path != VIDEO_PATH_AUTO)
        return g_video_path == VIDEO_PATH_YUV;
    // A software rasterizer runs the three-texture YUV program several times
    // slower than swscale converts to BGRA plus a plain textured quad.
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer)
        return true;
    return !(std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
             std::strstr(renderer, "swrast"));
}

bool video_textures_prepare(PlayerSession* s)
{
    AppState* app = s->app;
    int w = app->now.display_width, h = app->now.display_height;
    bool yuv = app->now.yuv_path;
    bool fits = s->tex_y && s->tex_y->width == w && s->tex_y->height == h &&
                yuv == (s->tex_u != nullptr);
    if (!fits) {
        free_textures(s);
        if (!create_textures(s, w, h, yuv)) {
            free_textures(s);
            return false;
        }
    }
    app->out.video = VideoGeometry{s->tex_y, yuv, app->now.video_width, app->now.video_height,
                               app->now.video_sar_num, app->now.video_sar_den, w};
    apply_aspect_mode(app, app->out.aspect_mode, app->out.window_width, app->out.window_height);
    return true;
}

void video_output_free(PlayerSession* s)
{
    free_textures(s);
    s->sws.reset();
    if (s->app)
        s->app->out.video = VideoGeometry{};
}

void subtitle_plain_text(const char* in, char* out, size_t out_size)
{
    if (out_size == 0)
        return;
    remove_blocks(in, out, out_size);
}

void subtitle_dialogue_text(const char* line, char* out, size_t out_size)
{
    if (out_size == 0)
        return;
    int commas = std::strncmp(line, "Dialogue:", 9) == 0 ? 9 : 8;
    const char* p = line;
    for (int i = 0; i < commas && p; i++) {
        p = std::strchr(p, ',');
        if (p)
            p++;
    }
    if (!p) {
        out[0] = '\0';
        return;
    }
    size_t n = 0;
    int depth = 0;
    for (; *p && n + 1 < out_size; p++) {
        if (*p == '{') {
            depth++;
        } else if (*p == '}') {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (depth > 0) {
            continue;
        } else if (p[0] == '\\' && (p[1] == 'N' || p[1] == 'n')) {
            out[n++] = '\n';
            p++;
        } else if (p[0] == '\\' && p[1] == 'h') {
            out[n++] = ' ';
            p++;
        } else if (*p != '\r' && *p != '\n') {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
}

bool subtitle_overlay_select(PlayerSession* s)
{
    AppState* app = s->app;
    SubtitleOverlay& o = s->overlay;
    bool selected = false;
    SubtitleRing& ring = s->subpq;
    if (s->has_subtitle && ring.size > 0) {
        const SubtitlePicture& head = ring.entries[ring.rindex];
        double pos = app->now.position_ms.load() / 1000.0;
        double start = head.pts + head.sub.start_display_time / 1000.0;
        char text[sizeof o.text];
        if (start <= pos && pos < head.pts + SUBTITLE_WINDOW_S &&
            subtitle_text(head.sub, text, sizeof text)) {
            std::memcpy(o.text, text, sizeof o.text);
            o.showing = true;
            s->subtitle_shown_tick = SDL_GetTicks();
            selected = true;
        }
    }
    if (o.redraw_count > 0 && SDL_GetTicks() - s->subtitle_shown_tick > SUBTITLE_SHOW_MS) {
        o.text[0] = '\0';
        draw_subtitle(app, "");
        o.showing = false;
        o.redraw_count--;
    }
    return selected;
}

void video_image_display(PlayerSession* s, VideoPicture* vp)
{
    AppState* app = s->app;
    if (app->now.skip_first_picture) {
        app->now.skip_first_picture = 0;
        return;
    }
    bool drew = false;
    if (vp && vp->frame && vp->frame->data[0] && s->picture_decoded)
        drew = draw_picture(s, vp);
    bool subtitle = false;
    if (!app->now.player_screen_hidden)
        subtitle = subtitle_overlay_select(s);
    if ((vp || subtitle) && !drew)
        glClear(GL_COLOR_BUFFER_BIT);
    SubtitleOverlay& o = s->overlay;
    if (o.showing) {
        draw_subtitle(app, o.text);
        if (app->now.controls_visible)
            o.showing = false;
        o.redraw_count = 2;
    }
    present(s);
}
