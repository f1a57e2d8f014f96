// The player screen: the control bar over the picture, the audio-only screen
// (cover, tags, position) and the status texts. The bar is redrawn only when
// something on it changed, and only its band of rows is uploaded and drawn
// over the picture, so that a picture with the bar costs little more than a
// picture alone.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/app_state.h"
#include "app/player.h"
#include "app/stream_player.h"
#include "engine/player_session.h"
#include "platform/text_copy.h"
#include "render/gl_context.h"
#include "render/video_layout.h"
#include "render/video_planes.h"
#include "ui/artwork.h"
#include "ui/layers.h"
#include "ui/text.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFF;  // text colours: red in the lowest byte
constexpr uint32_t LIGHT_GREY = 0xC8C8C8;
constexpr uint32_t LOCK_HINT_STEP_MS = 300;  // the hint lasts 5 steps
constexpr int TEXT_MARGIN = 10;
constexpr int LABEL_OVERHANG = 20;  // labels may be this much wider than their button, each side
constexpr int TIME_TEXT_WIDTH = 100;
constexpr int COVER_X = 60;
constexpr int COVER_Y = 60;
constexpr int COVER_MAX = 320;
constexpr int TAG_GAP = 40;
constexpr int NOTICE_STRIP_HEIGHT = 56;  // above the bar: a streamed session's notices
constexpr size_t STATUS_TEXT_SIZE = 64;
constexpr uint32_t REDRAW_STATE_BITS = APP_OPENING | APP_CLOSING | APP_REENTER_PLAYER |
                                       APP_STREAM_BUFFERING | APP_REBUFFERING | APP_LOW_BANDWIDTH |
                                       APP_STREAM_STALLED;

const char* const ORDER_LABELS[] = {"Single", "Shuffle", "Ordered"};
const ArtId ORDER_ART[] = {ART_SHUFFLE, ART_SHUFFLEP, ART_REPEATALLP};
const char* const ASPECT_LABELS[] = {"Fill", "Boxed", "Crop"};

// The cover picture, decoded once per path.
struct CoverCache {
    char path[PATH_SIZE];
    SurfacePtr image;
};
CoverCache g_cover;

// The player's background, under the audio screen and the status texts.
void draw_background(Surface* s)
{
    copy_pixels(s, artwork(ART_BACKGROUND3), 0, 0);
}

// Shows a surface that covers the window by itself: no blending, the whole
// surface uploaded, drawn and presented.
void show_opaque(TextureSlot* slot, Surface* s)
{
    gl_blend_for_video(false);
    texture_slot_draw(slot, s->pixels, 0, s->w, s->h, true, true, true, true);
}

bool has_audio(const AppState* app)
{
    const PlayerSession* s = app->now.session;
    return s ? s->has_audio.load() : !app->now.no_audio;
}

}  // namespace

int64_t player_shown_position_ms(const AppState* app)
{
    const NowPlaying& now = app->now;
    if (flags_any(&app->flags, APP_REENTER_PLAYER))
        return now.start_ms;
    int64_t p = (has_audio(app) ? now.audio_position_ms.load() : now.position_ms.load()) -
                now.media_start_ms;
    if (p < 0)
        p = 0;
    if (now.duration_ms > 0 && p > now.duration_ms)
        p = now.duration_ms;
    return p;
}

namespace {

bool lock_hint_showing(AppState* app)
{
    PlayerState& p = app->player;
    if (p.lock_hint_count == 0)
        return false;
    const uint32_t now = SDL_GetTicks();
    if (now - p.lock_hint_tick >= LOCK_HINT_STEP_MS) {
        p.lock_hint_tick = now;
        p.lock_hint_count--;
    }
    return true;
}

bool bar_needs_redraw(AppState* app, int64_t second)
{
    PlayerState& p = app->player;
    if (p.full_redraw || second != p.drawn_second || p.lock_hint_count > 0)
        return true;
    if (flags_any(&app->flags, REDRAW_STATE_BITS) ||
        (p.drawn_flags ^ app->flags.load()) & (APP_PLAYING | APP_PAUSED | REDRAW_STATE_BITS))
        return true;
    for (const PlayerControl& c : p.controls)
        if (c.pressed != c.was_pressed)
            return true;
    return false;
}

void note_drawn(AppState* app, int64_t second)
{
    PlayerState& p = app->player;
    p.full_redraw = 0;
    p.drawn_second = second;
    p.drawn_flags = app->flags.load();
    for (PlayerControl& c : p.controls)
        c.was_pressed = c.pressed;
}

// The image a control shows now (its pressed variant follows it).
ArtId control_art(const AppState* app, int id, bool* has_pressed)
{
    *has_pressed = true;
    switch (id) {
    case CONTROL_SOUND: return app->now.sound_on ? ART_VOLON : ART_VOLOFF;
    case CONTROL_RECORD:
        *has_pressed = false;  // the lit button says a recording runs
        return flags_any(&app->flags, APP_RECORDING_OPEN) ? ART_RECORDP : ART_RECORD;
    case CONTROL_PREVIOUS: return ART_SKIPBACK;
    case CONTROL_STOP: return ART_STOP;
    case CONTROL_PLAY: return flags_any(&app->flags, APP_PLAYING) ? ART_PAUSEL : ART_PLAYL;
    case CONTROL_NEXT: return ART_SKIPFWD;
    case CONTROL_JUMP_BACK: return ART_JUMPBACK;
    case CONTROL_JUMP_FORWARD: return ART_JUMPFWD;
    default: break;
    }
    *has_pressed = false;
    switch (id) {
    case CONTROL_ORDER: return ORDER_ART[app->settings.shuffle % 3];
    case CONTROL_LOOP: return app->settings.repeat ? ART_REPEATP : ART_REPEAT;
    case CONTROL_LOCK: return app->player.locked ? ART_LOCKP : ART_LOCK;
    case CONTROL_ASPECT: return ART_AR;
    case CONTROL_WINDOW: return ART_FULLSCREEN;
    case CONTROL_LIBRARY: return ART_LIBRARYVIEW;
    default: return ART_COUNT;
    }
}

}  // namespace

bool player_control_shown(const AppState* app, int id)
{
    switch (id) {
    case CONTROL_RECORD: return app->player.remote && app->player.remote->record;
    case CONTROL_SOUND: return !(app->player.remote && app->player.remote->renderer);
    case CONTROL_LIBRARY: return !player_shows_video(app) && app->player.library_screen;
    case CONTROL_ASPECT: return player_shows_video(app);
    default: return true;
    }
}

namespace {

const char* control_label(const AppState* app, int id)
{
    switch (id) {
    case CONTROL_SOUND: return "Mute";
    case CONTROL_ORDER: return ORDER_LABELS[app->settings.shuffle % 3];
    case CONTROL_LOOP: return "Loop";
    case CONTROL_ASPECT: return ASPECT_LABELS[aspect_mode_next(app->out.aspect_mode + 2)];
    case CONTROL_WINDOW:
        return app->nav.player_fullscreen || app->settings.always_fullscreen ? "Fullscreen"
                                                                             : "Windowed";
    default: return nullptr;
    }
}

void draw_controls(AppState* app, Surface* s)
{
    static const int ORDER[] = {
        CONTROL_SOUND,     CONTROL_PREVIOUS,     CONTROL_STOP,    CONTROL_PLAY,  CONTROL_NEXT,
        CONTROL_JUMP_BACK, CONTROL_JUMP_FORWARD, CONTROL_ORDER,   CONTROL_LOOP,  CONTROL_LOCK,
        CONTROL_ASPECT,    CONTROL_WINDOW,       CONTROL_LIBRARY, CONTROL_RECORD};
    TTF_Font* small = font_get(FONT_SET_SMALL, FONT_PRELUDE);
    for (int id : ORDER) {
        if (!player_control_shown(app, id))
            continue;
        const PlayerControl& c = app->player.controls[id];
        bool has_pressed = false;
        ArtId art = control_art(app, id, &has_pressed);
        if (art == ART_COUNT)
            continue;
        if (has_pressed && c.pressed)
            art = static_cast<ArtId>(art + 1);
        blit_alpha(s, artwork(art), c.x, c.y);
        if (const char* label = control_label(app, id))
            draw_text(s, label, small, c.x - LABEL_OVERHANG, c.y + c.h - 4,
                      c.w + 2 * LABEL_OVERHANG, s->h - (c.y + c.h - 4), ALIGN_CENTRE, TEXT_BLEND,
                      LIGHT_GREY);
    }
}

// The media title: the last part of the path or URL.
const char* media_title(const AppState* app)
{
    if (app->player.remote && app->player.remote_title[0])
        return app->player.remote_title;
    const char* path = app->nav.current_media_path;
    const char* slash = std::strrchr(path, '/');
    return slash && slash[1] ? slash + 1 : path;
}

void draw_bar(AppState* app, Surface* s, int64_t shown_ms, bool over_picture)
{
    const PlayerState& p = app->player;
    const PlayerControl& bar = p.controls[CONTROL_BAR];
    const PlayerControl& track = p.controls[CONTROL_TRACK];
    if (over_picture)
        copy_pixels(s, artwork(ART_PLAYERBAR), bar.x, bar.y);
    else
        blit_alpha(s, artwork(ART_PLAYERBAR), bar.x, bar.y);
    TTF_Font* font = font_get(FONT_SET_PLAYER, FONT_PRELUDE);
    char text[16];
    format_clock(shown_ms, text, sizeof text);
    const int text_y = track.y - 4;
    draw_text(s, text, font, TEXT_MARGIN, text_y, TRACK_X - KNOB_LEFT_REACH - TEXT_MARGIN, 24,
              ALIGN_LEFT, TEXT_BLEND, WHITE);
    format_clock(app->now.duration_ms, text, sizeof text);
    draw_text(s, text, font, track.x + track.w + TEXT_MARGIN, text_y, TIME_TEXT_WIDTH, 24,
              ALIGN_LEFT, TEXT_BLEND, WHITE);
    const char* title = p.lock_hint_count > 0 ? "Locked" : media_title(app);
    char shortened[PATH_SIZE];
    shorten_text_line(title, font, track.w, shortened, sizeof shortened);
    draw_text(s, shortened, font, track.x, track.y + track.h + 4, track.w, 24, ALIGN_CENTRE,
              TEXT_BLEND, WHITE);
    const PlayerControl& knob = p.controls[CONTROL_KNOB];
    const int knob_x = p.knob_drag ? p.knob_x
                                   : knob_x_for_position(track, shown_ms, app->now.duration_ms);
    if (app->now.duration_ms > 0)
        blit_alpha(s, artwork(knob.pressed ? ART_THUMBP : ART_THUMB), knob_x, knob.y);
    draw_controls(app, s);
}

const char* status_text(const AppState* app, char* buffer, size_t size)
{
    if (flags_any(&app->flags, APP_OPENING))
        return "Opening media, please wait...";
    if (flags_any(&app->flags, APP_CLOSING))
        return "Closing media, please wait...";
    return stream_notice(app, buffer, size);
}

Surface* cover_image(const char* path)
{
    if (!path[0])
        return nullptr;
    if (std::strcmp(g_cover.path, path) != 0) {
        copy_text(g_cover.path, sizeof g_cover.path, path);
        g_cover.image.reset(load_image(path));
        Surface* img = g_cover.image.get();
        if (img && (img->w > COVER_MAX || img->h > COVER_MAX)) {
            const int w = img->w >= img->h ? COVER_MAX : img->w * COVER_MAX / img->h;
            const int h = img->w >= img->h ? img->h * COVER_MAX / img->w : COVER_MAX;
            if (Surface* scaled = scale_surface(img, w, h)) {
                (void)g_cover.image.release();  // scale_surface freed it
                g_cover.image.reset(scaled);
            }
        }
    }
    return g_cover.image.get();
}

void draw_audio_screen(AppState* app, Surface* s, int64_t shown_ms)
{
    draw_background(s);
    const NowPlaying& now = app->now;
    int x = TEXT_MARGIN * 4;
    if (Surface* cover = cover_image(now.cover_path)) {
        blit_alpha(s, cover, COVER_X, COVER_Y);
        x = COVER_X + cover->w + TAG_GAP;
    }
    TTF_Font* large = font_get(FONT_SET_LARGE, FONT_PRELUDE);
    TTF_Font* label = font_get(FONT_SET_LABEL, FONT_PRELUDE);
    const int w = s->w - x - TEXT_MARGIN;
    int y = draw_text(s, media_title(app), large, x, COVER_Y, w, 120, ALIGN_LEFT, TEXT_BLEND,
                      WHITE);
    const struct {
        const char* format;
        const char* value;
    } tags[] = {{"Artist: %s", now.artist}, {"Album: %s", now.album}, {"Genre: %s", now.genre}};
    char line[160];
    for (const auto& tag : tags) {
        if (!tag.value[0])
            continue;
        std::snprintf(line, sizeof line, tag.format, tag.value);
        y = draw_text(s, line, label, x, y + 8, w, 40, ALIGN_LEFT, TEXT_BLEND, WHITE);
    }
    if (app->player.remote_label[0])
        y = draw_text(s, app->player.remote_label, label, x, y + 8, w, 40, ALIGN_LEFT, TEXT_BLEND,
                      WHITE);
    format_clock(shown_ms, line, sizeof line);
    draw_text(s, line, large, x, y + 16, w, 40, ALIGN_LEFT, TEXT_BLEND, WHITE);
}

void draw_status(const AppState* app, Surface* s)
{
    char buffer[STATUS_TEXT_SIZE];
    if (const char* text = status_text(app, buffer, sizeof buffer))
        draw_text(s, text, font_get(FONT_SET_LARGE, FONT_PRELUDE), 0, 0, s->w,
                  app->player.controls[CONTROL_BAR].y, ALIGN_CENTRE_MIDDLE, TEXT_BOXED, WHITE);
}

// Audio only: the whole screen, drawn and presented only when it changed.
void draw_audio(AppState* app, Surface* s, TextureSlot* slot)
{
    const int64_t shown = player_shown_position_ms(app);
    if (!bar_needs_redraw(app, shown / 1000))
        return;
    lock_hint_showing(app);
    draw_audio_screen(app, s, shown);
    if (app->now.controls_visible)
        draw_bar(app, s, shown, false);
    draw_status(app, s);
    note_drawn(app, shown / 1000);
    show_opaque(slot, s);
}

// Video: the bar's band over the picture, then the present. A streamed
// session's band also holds a strip above the bar for its notices.
void draw_over_video(AppState* app, Surface* s, TextureSlot* slot)
{
    const PlayerControl& bar = app->player.controls[CONTROL_BAR];
    const int bar_top = bar.y > 0 ? bar.y : 0;
    const bool strip = app->nav.source_kind == SOURCE_KIND_STREAMER;
    const int top = strip ? std::max(bar_top - NOTICE_STRIP_HEIGHT, 0) : bar_top;
    const int rows = s->h - top;
    const int64_t shown = player_shown_position_ms(app);
    if (bar_needs_redraw(app, shown / 1000)) {
        lock_hint_showing(app);
        fill_rect(s, 0, top, s->w, rows, 0);
        if (app->now.controls_visible)
            draw_bar(app, s, shown, true);
        char buffer[STATUS_TEXT_SIZE];
        if (const char* notice = strip ? stream_notice(app, buffer, sizeof buffer) : nullptr)
            draw_text(s, notice, font_get(FONT_SET_LABEL, FONT_PRELUDE), 0, top, s->w,
                      bar_top - top, ALIGN_CENTRE_MIDDLE, TEXT_BOXED, WHITE);
        note_drawn(app, shown / 1000);
        auto* band = static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(top) * s->pitch;
        texture_slot_draw(slot, band, top, s->w, rows, true, false, false, false);
    }
    if (gl_scissor_layer_rows(slot, s->h, top, s->h)) {
        texture_slot_draw(slot, nullptr, 0, s->w, s->h, false, true, false, false);
        gl_scissor_off();
    }
    gl_present();
}

void overlay_hook(void* context)
{
    player_screen_draw(static_cast<AppState*>(context));
}

void subtitle_hook(void* context, const char* text)
{
    auto* app = static_cast<AppState*>(context);
    Surface* s = app->ui.ui_surface;
    if (!s || app->now.player_screen_hidden)
        return;
    const bool bar = app->now.controls_visible != 0;
    const int bottom = bar ? app->player.controls[CONTROL_BAR].y : s->h;
    subtitle_band_draw(&app->player.subtitle_band, &app->ui, app->settings, app->out.orientation,
                       bar, bottom, text);
}

}  // namespace

void player_screen_draw(AppState* app)
{
    Surface* s = app->ui.ui_surface;
    if (!s || app->now.player_screen_hidden)
        return;
    if (!player_shows_video(app))
        draw_audio(app, s, app->ui.ui_slot);
    else
        draw_over_video(app, s, app->ui.ui_slot);
}

void player_surface_select(AppState* app)
{
    const VideoOutput& out = app->out;
    UiLayer* overlay = ui_layer(UI_LAYER_OVERLAY);
    UiLayer* own = orientation_layer(out.orientation);
    const bool window_sized = overlay->surface && overlay->surface->w == out.window_width &&
                              overlay->surface->h == out.window_height;
    UiLayer* use = window_sized ? overlay : own;
    app->ui.ui_surface = use->surface;
    app->ui.ui_slot = use->slot;
    if (use->surface)
        place_ui_layer(&app->out, use->slot, use->surface->w, use->surface->h);
}

void player_screen_begin(AppState* app)
{
    NowPlaying& now = app->now;
    now.hook_context = app;
    now.draw_player_overlay = overlay_hook;
    now.draw_subtitle_text = subtitle_hook;
    app->ui.player_overlay = 1;
    player_surface_select(app);
    if (Surface* s = app->ui.ui_surface)
        player_bar_layout(app, s->w, s->h);
    subtitle_band_reset(&app->player.subtitle_band);
    app->player.drawn_second = -1;
    app->player.full_redraw = 1;
}

void player_screen_end(AppState* app)
{
    NowPlaying& now = app->now;
    now.draw_player_overlay = nullptr;
    now.draw_subtitle_text = nullptr;
    now.hook_context = nullptr;
    app->ui.player_overlay = 0;
    UiLayer* overlay = ui_layer(UI_LAYER_OVERLAY);
    if (overlay->surface && app->ui.ui_surface == overlay->surface) {
        UiLayer* own = orientation_layer(app->out.orientation);
        app->ui.ui_surface = own->surface;
        app->ui.ui_slot = own->slot;
    }
    g_cover.path[0] = '\0';
    g_cover.image.reset();
}

void player_status_show(AppState* app)
{
    Surface* s = app->ui.ui_surface;
    if (!s)
        return;
    draw_background(s);
    draw_status(app, s);
    show_opaque(app->ui.ui_slot, s);
}

void player_background_draw(AppState* app)
{
    if (Surface* s = app->ui.ui_surface)
        draw_background(s);
}

bool player_shows_video(const AppState* app)
{
    return !app->now.audio_only;
}

int player_bar_layout(AppState* app, int width, int height)
{
    Surface* bar = artwork(ART_PLAYERBAR);
    Surface* play = artwork(ART_PLAYL);
    Surface* stop = artwork(ART_STOP);
    Surface* aspect = artwork(ART_AR);
    Surface* order = artwork(ART_SHUFFLE);
    Surface* thumb = artwork(ART_THUMB);
    if (!bar || !play || !stop || !aspect || !order || !thumb)
        return -1;
    BarLayoutInput& in = app->player.layout;
    in.layer_w = width;
    in.layer_h = height;
    in.window_w = app->out.window_width > 0 ? app->out.window_width : width;
    in.fullscreen_start = app->settings.always_fullscreen != 0;
    in.art = BarArtSizes{bar->h,    play->w,  play->h,  stop->w,  stop->h, aspect->w,
                         aspect->h, order->w, order->h, thumb->w, thumb->h};
    player_bar_compute(in, app->player.controls);
    app->out.player_bar_height = bar->h;
    app->player.full_redraw = 1;
    return 0;
}
