#include "app/info_panel.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/app_state.h"
#include "app/remote_info.h"
#include "app/thumb_worker.h"
#include "browser/media_types.h"
#include "engine/info_cache.h"
#include "platform/media_enums.h"
#include "platform/text_copy.h"
#include "ui/artwork.h"
#include "ui/surface.h"
#include "ui/text.h"
#include "ui/widget.h"

namespace {

constexpr int BAR_HEIGHT = 70;  // the browser's top and bottom bars
constexpr uint32_t PANEL_BACKGROUND = 0xFF151515;
constexpr uint32_t SEPARATOR_COLOUR = 0xFF606060;
constexpr uint32_t SCROLL_TRACK_COLOUR = 0xFF303030;
constexpr uint32_t SCROLL_THUMB_COLOUR = 0xFFA0A0A0;
constexpr uint32_t PICTURE_BACKGROUND = 0xFF000000;
constexpr uint32_t HEADING_COLOUR = 0x0F4FE0;  // text colour (red lowest): the list's accent
constexpr int MARGIN = 10;
constexpr int SCROLL_BAR_WIDTH = 4;
constexpr int SCROLL_THUMB_MIN = 20;  // a long text still leaves a thumb one can see
constexpr int PICTURE_WIDTH = 284;    // the panel picture's box
constexpr int PICTURE_HEIGHT = 160;
constexpr int LINE_GAP = 4;
constexpr int SECTION_GAP = 12;
constexpr int BOX_LABEL_GAP = 8;
// Presses reach a widget up to HIT_TOLERANCE outside it: rows of boxes at
// least that far apart keep a press on a box's own pixels from going to the
// box above it.
constexpr int BOX_ROW_GAP = HIT_TOLERANCE;
constexpr int HIDDEN_X = -10000;                 // where a box out of view waits, never hit
constexpr int32_t DRAG_PRESS_TAKEN = INT32_MIN;  // the drag area's press was taken as a base
constexpr int MS_PER_SECOND = 1000;
constexpr int BITS_PER_KILOBIT = 1000;

const char* const HEADINGS[STREAM_KIND_COUNT] = {"Video Tracks", "Audio Tracks", "Subtitle Tracks"};
int32_t NowPlaying::*const CHOICES[STREAM_KIND_COUNT] = {
    &NowPlaying::video_stream, &NowPlaying::audio_stream, &NowPlaying::subtitle_stream};

void box_action(AppState* app, RegistrySlot* slot);
void drag_action(AppState* app, RegistrySlot* slot);

// The panel's rectangle on the interface surface; empty when there is none.
SDL_Rect panel_rect(const UiState& ui)
{
    const Surface* s = ui.ui_surface;
    if (!s || ui.list_pane_width < 0 || ui.list_pane_width >= s->w || s->h <= 2 * BAR_HEIGHT)
        return SDL_Rect{};
    return SDL_Rect{Sint16(ui.list_pane_width), Sint16(BAR_HEIGHT),
                    Uint16(s->w - ui.list_pane_width), Uint16(s->h - 2 * BAR_HEIGHT)};
}

// ---- widgets ----------------------------------------------------------------

// Is w still the panel's own, registered with `action`? A screen clear may
// have freed it or handed its record to another widget.
bool owned(const Widget* w, SlotAction action)
{
    return w && w->in_use && w->slot && w->slot->active && w->slot->widget == w &&
           w->slot->action == action;
}

void release_widgets(InfoPanelState* p)
{
    for (int i = 0; i < p->box_count; i++) {
        if (owned(p->boxes[i].widget, box_action))
            widget_free(p->boxes[i].widget);
        p->boxes[i].widget = nullptr;
    }
    if (owned(p->drag_area, drag_action))
        widget_free(p->drag_area);
    p->drag_area = nullptr;
}

// A widget registered with action, or null (the pool or registry is full:
// the panel is still drawn, that part just does not react).
Widget* register_widget(Widget* w, int32_t code, SlotAction action)
{
    if (w && registry_add(w, code, action) < 0) {
        widget_free(w);
        return nullptr;
    }
    return w;
}

// The boxes the item shows, in drawing order: streams by kind, then the
// software decoding box for a local video.
int wanted_boxes(const AppState* app, InfoPanelBox* out)
{
    const InfoPanelState& p = app->info_panel;
    int n = 0;
    if (!p.has_media)
        return 0;
    for (int kind = 0; kind < STREAM_KIND_COUNT; kind++)
        for (int i = 0; i < p.media.stream_count; i++)
            if (p.media.streams[i].kind == kind)
                out[n++] = InfoPanelBox{kind, p.media.streams[i].index, nullptr};
    if (!app->browser.selected.is_remote && media_info_main_video(&p.media))
        out[n++] = InfoPanelBox{INFO_BOX_SOFTWARE, -1, nullptr};
    return n;
}

// Keeps the widgets made for this item (their slots, and a drag in
// progress, survive the redraw). When the item's boxes differ, a screen clear
// took any of them, or the drag area is newly needed, all are made again:
// boxes first, then the drag area, so that the registry, walked in slot
// order, offers a press to the boxes before the area.
void ensure_widgets(AppState* app, const InfoPanelBox* wanted, int n, const SDL_Rect& r,
                    bool drag_needed)
{
    InfoPanelState& p = app->info_panel;
    bool same = n == p.box_count;
    for (int i = 0; same && i < n; i++)
        same = wanted[i].kind == p.boxes[i].kind &&
               wanted[i].stream_index == p.boxes[i].stream_index &&
               (!p.boxes[i].widget || owned(p.boxes[i].widget, box_action));
    bool drag_kept = owned(p.drag_area, drag_action);
    if (same && !drag_needed) {
        if (drag_kept)
            widget_free(p.drag_area);
        p.drag_area = nullptr;
        return;
    }
    if (same && drag_kept)
        return;
    release_widgets(&p);
    p.box_count = n;
    for (int i = 0; i < n; i++) {
        p.boxes[i] = wanted[i];
        p.boxes[i].widget = register_widget(create_checkbox(HIDDEN_X, 0), SLOT_PRESS, box_action);
    }
    if (!drag_needed)
        return;
    Widget* w = create_image(r.x, r.y, nullptr, 0);
    if (w) {
        w->width = r.w;
        w->height = r.h;
    }
    p.drag_area = register_widget(w, SLOT_DRAG, drag_action);
}

bool box_checked(const AppState* app, const InfoPanelBox& b)
{
    if (b.kind == INFO_BOX_SOFTWARE)
        return app->browser.software_decoding != 0;
    return track_box_checked(b.kind, app->now.*CHOICES[b.kind], b.stream_index,
                             media_info_count(&app->info_panel.media, b.kind));
}

// ---- the layout pass ----------------------------------------------------------

// Draws content lines into the panel's own surface, `scroll` pixels up, and
// counts the content's height. Everything lands clipped to that surface.
struct Pen {
    Surface* s;
    int scroll;
    int y;      // content y of the next line
    int width;  // text width
};

int text_height(Surface* s, const char* text, TTF_Font* font, int width)
{
    return draw_text(s, text, font, 0, 0, width, INT_MAX / 2, ALIGN_LEFT, TEXT_MEASURE, 0);
}

void pen_text(Pen& pen, const char* text, TTF_Font* font, uint32_t colour, int x, int width,
              int gap)
{
    int h = text_height(pen.s, text, font, width);
    int top = pen.y - pen.scroll;
    if (top < pen.s->h && top + h > 0)
        draw_text(pen.s, text, font, x, top, width, h, ALIGN_LEFT, TEXT_BLEND, colour);
    pen.y += h + gap;
}

void pen_line(Pen& pen, const char* text, uint32_t colour = TEXT_WHITE)
{
    pen_text(pen, text, font_get(FONT_SET_LABEL, FONT_PRELUDE), colour, MARGIN, pen.width,
             LINE_GAP);
}

// The panel thumbnail of the described item, when one exists.
void load_picture(InfoPanelState& p)
{
    char file[PATH_SIZE];
    if (!p.picture && thumb_find(p.path, THUMB_SIZE_PANEL, file, sizeof file))
        p.picture = load_image(file);
}

void draw_picture_area(InfoPanelState& p, Pen& pen)
{
    if (p.picture_waiting && thumb_panel_done(p.path)) {
        p.picture_waiting = 0;
        load_picture(p);
    }
    int x = MARGIN + std::max(0, (pen.width - PICTURE_WIDTH) / 2);
    int w = std::min(PICTURE_WIDTH, pen.width);
    int top = pen.y - pen.scroll;
    fill_rect(pen.s, x, top, w, PICTURE_HEIGHT, PICTURE_BACKGROUND);
    if (p.picture) {
        // Made fitted inside the box: centred, never cut but at a narrow panel.
        SDL_Rect part{0, 0, Uint16(std::min(p.picture->w, w)), Uint16(p.picture->h)};
        copy_rect(pen.s, x + (w - part.w) / 2, top + (PICTURE_HEIGHT - part.h) / 2, p.picture,
                  &part);
    } else {
        const char* text = p.picture_waiting ? "Please wait while retrieving file information..."
                                             : "No thumbnail available";
        draw_text(pen.s, text, font_get(FONT_SET_MAIN, FONT_PRELUDE), x, top, w, PICTURE_HEIGHT,
                  ALIGN_CENTRE_MIDDLE, TEXT_BLEND, TEXT_WHITE);
    }
    pen.y += PICTURE_HEIGHT + SECTION_GAP;
}

// Also stores the size text in the item, where the list's info text was.
void draw_name_and_size(SelectedItem& item, Pen& pen)
{
    const char* name = item.display_name[0] ? item.display_name : item.play_path;
    pen_text(pen, name, font_get(FONT_SET_LABEL, FONT_PRELUDE), TEXT_WHITE, MARGIN, pen.width,
             LINE_GAP);
    draw_line(pen.s, MARGIN, pen.y - pen.scroll, MARGIN + pen.width - 1, pen.y - pen.scroll,
              SEPARATOR_COLOUR);
    pen.y += SECTION_GAP;
    if (item.size > 0)
        size_text(static_cast<uint64_t>(item.size), item.info, sizeof item.info);
    else
        copy_text(item.info, sizeof item.info, "n/a");
    char line[64];
    std::snprintf(line, sizeof line, "Size: %s", item.info);
    pen_line(pen, line);
}

void draw_details(const AppState* app, Pen& pen)
{
    const InfoPanelState& p = app->info_panel;
    char line[96];
    const StreamInfo* video = p.has_media ? media_info_main_video(&p.media) : nullptr;
    if (video && video->width > 0 && video->height > 0) {
        std::snprintf(line, sizeof line, "Resolution: %dx%d", video->width, video->height);
        pen_line(pen, line);
    }
    char length[32];
    length_text(p.has_media ? p.media.duration_ms : 0, length, sizeof length);
    int n = std::snprintf(line, sizeof line, "Length: %s", length);
    if (p.has_media && p.media.bit_rate > 0 && n > 0)
        std::snprintf(line + n, sizeof line - n, ", %d kb/s",
                      static_cast<int>(p.media.bit_rate / BITS_PER_KILOBIT));
    pen_line(pen, line);
}

// What one layout pass found: the boxes it drew, where, and the content's
// height.
struct Layout {
    InfoPanelBox boxes[INFO_PANEL_MAX_BOXES];
    int box_count;
    int box_top[INFO_PANEL_MAX_BOXES];  // content y of each box
    int content_height;
};

// One check box row: the box image and its label.
int draw_box(const AppState* app, Pen& pen, const InfoPanelBox& b, const char* label)
{
    Surface* art = artwork(box_checked(app, b) ? ART_CHECKBOX_SEL : ART_CHECKBOX);
    int box_w = art ? art->w : 0, box_h = art ? art->h : 0;
    int label_x = MARGIN + box_w + BOX_LABEL_GAP;
    int label_w = std::max(1, pen.width - box_w - BOX_LABEL_GAP);
    TTF_Font* font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    int label_h = text_height(pen.s, label, font, label_w);
    int top = pen.y;
    if (art)
        blit_alpha(pen.s, art, MARGIN, top - pen.scroll);
    Pen label_pen{pen.s, pen.scroll, top + std::max(0, (box_h - label_h) / 2), pen.width};
    pen_text(label_pen, label, font, TEXT_WHITE, label_x, label_w, 0);
    pen.y += std::max(box_h, label_h) + BOX_ROW_GAP;
    return top;
}

void draw_boxes(const AppState* app, Pen& pen, Layout* layout)
{
    const MediaInfo& media = app->info_panel.media;
    int kind_shown = -1;
    for (int i = 0; i < layout->box_count; i++) {
        const InfoPanelBox& b = layout->boxes[i];
        char label[TRACK_LABEL_SIZE];
        if (b.kind == INFO_BOX_SOFTWARE) {
            // The player's decoders all run in software already; the flag is
            // kept for the player to read all the same.
            copy_text(label, sizeof label, "Software decoding");
            pen.y += SECTION_GAP;
        } else {
            if (b.kind != kind_shown) {
                pen.y += SECTION_GAP;
                pen_line(pen, HEADINGS[b.kind], HEADING_COLOUR);
                kind_shown = b.kind;
            }
            for (int s = 0; s < media.stream_count; s++)
                if (media.streams[s].index == b.stream_index)
                    track_label(media.streams[s], app->settings.subtitle_charset, label,
                                sizeof label);
        }
        layout->box_top[i] = draw_box(app, pen, b, label);
    }
}

// Puts each box's widget over its image when the whole box is in view; a box
// out of view is disabled and moved where no press reaches it.
void place_boxes(AppState* app, const Layout& layout, const SDL_Rect& r, int scroll)
{
    const InfoPanelState& p = app->info_panel;
    for (int i = 0; i < p.box_count && i < layout.box_count; i++) {
        Widget* w = p.boxes[i].widget;
        if (!w)
            continue;
        int top = layout.box_top[i] - scroll;
        bool in_view = top >= 0 && top + w->height <= r.h;
        w->x = in_view ? r.x + MARGIN : HIDDEN_X;
        w->y = r.y + top;
        w->disabled = !in_view;
        w->state = box_checked(app, p.boxes[i]);
    }
}

void draw_subtitle_file(const AppState* app, Pen& pen)
{
    const char* path = app->browser.selected.subtitle_path;
    if (!path[0])
        return;
    const char* slash = std::strrchr(path, '/');
    char line[PATH_SIZE + sizeof(Settings::subtitle_charset) + 16];
    std::snprintf(line, sizeof line, "srt: %s - %s", slash ? slash + 1 : path,
                  app->settings.subtitle_charset);
    pen.y += SECTION_GAP;
    pen_line(pen, line);
}

// Draws the whole content at `scroll` and fills in where it went.
void lay_out(AppState* app, Surface* s, int scroll, Layout* layout)
{
    fill_rect(s, 0, 0, s->w, s->h, PANEL_BACKGROUND);
    Pen pen{s, scroll, MARGIN, std::max(1, s->w - 2 * MARGIN - SCROLL_BAR_WIDTH)};
    layout->content_height = 0;
    if (!app->browser.selected.play_path[0])
        return;
    if (app->settings.large_thumbnails)
        draw_picture_area(app->info_panel, pen);
    draw_name_and_size(app->browser.selected, pen);
    draw_details(app, pen);
    draw_boxes(app, pen, layout);
    draw_subtitle_file(app, pen);
    layout->content_height = pen.y + MARGIN;
}

void draw_scroll_bar(Surface* s, int scroll, int content_height)
{
    int x = s->w - SCROLL_BAR_WIDTH;
    fill_rect(s, x, 0, SCROLL_BAR_WIDTH, s->h, SCROLL_TRACK_COLOUR);
    int thumb = std::max(SCROLL_THUMB_MIN, int(int64_t(s->h) * s->h / content_height));
    thumb = std::min(thumb, s->h);
    int range = content_height - s->h;
    int y = range > 0 ? int(int64_t(s->h - thumb) * scroll / range) : 0;
    fill_rect(s, x, y, SCROLL_BAR_WIDTH, thumb, SCROLL_THUMB_COLOUR);
}

// ---- reading and actions --------------------------------------------------

bool has_picture_stream(const MediaInfo& m)
{
    for (int i = 0; i < m.stream_count; i++)
        if (m.streams[i].kind == STREAM_KIND_VIDEO)
            return true;  // a film's frame, or an audio file's cover
    return false;
}

// The picture of a newly described item: the one made before, else the
// worker is asked (it serves the panel before any row). Only items whose
// description shows a picture to take are asked for.
void fetch_picture(AppState* app)
{
    InfoPanelState& p = app->info_panel;
    surface_free(p.picture);
    p.picture = nullptr;
    p.picture_waiting = 0;
    if (!app->settings.large_thumbnails || !p.has_media || !has_picture_stream(p.media))
        return;
    load_picture(p);
    if (!p.picture) {
        thumb_request_panel(p.path);
        p.picture_waiting = 1;
    }
}

// The streamer's record has come (or the exchange failed: the panel then
// shows the item without it, and the failure's message).
void remote_info_arrived(AppState* app, int status)
{
    info_panel_draw(app);
    if (status < 0)
        show_error(app, status);
    present(&app->ui);
}

void read_item(AppState* app)
{
    InfoPanelState& p = app->info_panel;
    const SelectedItem& item = app->browser.selected;
    release_widgets(&p);
    p.box_count = 0;
    p.media = MediaInfo{};
    p.has_media = 0;
    copy_text(p.path, sizeof p.path, item.play_path);
    // A streamer item's description comes from the streamer, on a worker
    // started by the draw (after the screen's widgets are made).
    p.remote_pending = item.play_path[0] && item.is_remote;
    if (item.play_path[0] && !item.is_remote)
        p.has_media = media_info_cached(item.play_path, &p.media) == RESULT_OK;
    fetch_picture(app);
}

void box_action(AppState* app, RegistrySlot* slot)
{
    InfoPanelState& p = app->info_panel;
    for (int i = 0; i < p.box_count; i++) {
        const InfoPanelBox& b = p.boxes[i];
        if (!slot || b.widget != slot->widget)
            continue;
        bool checked = b.widget->state != 0;
        if (b.kind == INFO_BOX_SOFTWARE)
            app->browser.software_decoding = checked;
        else
            app->now.*CHOICES[b.kind] = track_choice_after_tap(b.kind, b.stream_index, checked);
        break;
    }
    info_panel_draw(app);
    present(&app->ui);
}

// The content follows the pointer from where it was pressed.
void drag_action(AppState* app, RegistrySlot* slot)
{
    InfoPanelState& p = app->info_panel;
    Widget* w = slot ? slot->widget : nullptr;
    if (!w)
        return;
    if (w->press_x != DRAG_PRESS_TAKEN) {
        p.drag_base_scroll = app->browser.info_scroll;
        p.drag_base_y = w->press_y;
        w->press_x = DRAG_PRESS_TAKEN;
    }
    app->browser.info_scroll = p.drag_base_scroll + (p.drag_base_y - (w->y + w->drag.value));
    info_panel_draw(app);
    present(&app->ui);
}

}  // namespace

void info_panel_open(AppState* app)
{
    bool same_item = std::strcmp(app->info_panel.path, app->browser.selected.play_path) == 0;
    read_item(app);
    if (!same_item)
        app->browser.info_scroll = 0;
    info_panel_draw(app);
}

void info_panel_draw(AppState* app)
{
    InfoPanelState& p = app->info_panel;
    if (std::strcmp(p.path, app->browser.selected.play_path) != 0) {
        read_item(app);
        app->browser.info_scroll = 0;
    }
    SDL_Rect r = panel_rect(app->ui);
    SurfacePtr panel(r.w > 0 ? surface_create(r.w, r.h) : nullptr);
    if (!panel) {
        release_widgets(&p);
        return;
    }
    Layout layout{};
    layout.box_count = wanted_boxes(app, layout.boxes);
    int& scroll = app->browser.info_scroll;
    scroll = std::max(0, scroll);
    lay_out(app, panel.get(), scroll, &layout);
    int most = std::max(0, layout.content_height - r.h);
    if (scroll > most) {  // the content got shorter, or a drag went past its end
        scroll = most;
        lay_out(app, panel.get(), scroll, &layout);
    }
    p.content_height = layout.content_height;
    bool scrolls = layout.content_height > r.h;
    if (scrolls)
        draw_scroll_bar(panel.get(), scroll, layout.content_height);
    ensure_widgets(app, layout.boxes, layout.box_count, r, scrolls);
    place_boxes(app, layout, r, scroll);
    copy_rect(app->ui.ui_surface, r.x, r.y, panel.get(), nullptr);
    if (p.remote_pending)
        remote_info_fetch(app, remote_info_arrived);
}

bool info_panel_picture_arrived(const AppState* app)
{
    const InfoPanelState& p = app->info_panel;
    return p.picture_waiting && std::strcmp(p.path, app->browser.selected.play_path) == 0 &&
           thumb_panel_done(p.path);
}

void info_panel_release(AppState* app)
{
    surface_free(app->info_panel.picture);
    app->info_panel.picture = nullptr;
    app->info_panel.picture_waiting = 0;
}

// ---- pure rules and texts -------------------------------------------------------

int track_choice_after_tap(int kind, int stream_index, bool checked)
{
    if (kind == STREAM_KIND_SUBTITLE)
        return checked ? stream_index : SUBTITLES_OFF;
    return stream_index;
}

bool track_box_checked(int kind, int choice, int stream_index, int streams_of_kind)
{
    if (kind != STREAM_KIND_SUBTITLE && streams_of_kind == 1)
        return true;
    return choice == stream_index;
}

void track_label(const StreamInfo& stream, const char* charset, char* out, size_t out_size)
{
    if (!out || out_size == 0)
        return;
    char text[TRACK_LABEL_SIZE];
    int n = std::snprintf(text, sizeof text, "Strm #%d: %s", stream.index, stream.description);
    n = std::clamp(n, 0, int(sizeof text) - 1);
    if (stream.kind == STREAM_KIND_SUBTITLE)
        std::snprintf(text + n, sizeof text - n, " - %s", charset ? charset : "");
    else if (stream.kind == STREAM_KIND_VIDEO && !stream.attached_picture && stream.frame_rate > 0)
        std::snprintf(text + n, sizeof text - n, ", %2.2f fps", stream.frame_rate);
    copy_text(out, out_size, text);
}

void length_text(int64_t duration_ms, char* out, size_t out_size)
{
    if (!out || out_size == 0)
        return;
    if (duration_ms <= 0) {
        copy_text(out, out_size, "N/A");
        return;
    }
    int64_t seconds = duration_ms / MS_PER_SECOND;
    std::snprintf(out, out_size, "%02d:%02d:%02d", int(seconds / 3600), int(seconds / 60 % 60),
                  int(seconds % 60));
}
