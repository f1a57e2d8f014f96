#include "app/browser_screen.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/browser_internal.h"
#include "app/info_panel.h"
#include "app/thumb_worker.h"
#include "browser/navigation.h"
#include "browser/play_path.h"
#include "browser/rows.h"
#include "browser/sort.h"
#include "subtitles/charset.h"
#include "ui/artwork.h"
#include "ui/events.h"
#include "ui/layers.h"
#include "ui/text.h"

namespace {

constexpr uint32_t SCREEN_FILL = 0xFF151515;
constexpr uint32_t BAR_FILL = 0xFF606060;
constexpr uint32_t PANEL_SEPARATOR = 0xFF000000;
constexpr uint32_t LIST_LINE = 0xFF505050;
constexpr int BUTTON_WIDTH = 100;
constexpr int BUTTON_STEP = 108;  // a button and the gap to the next
constexpr int BUTTON_TOP = 8;     // below a bar's top edge
constexpr int HEADER_Y = 68;
constexpr int HEADER_HEIGHT = 44;
constexpr int LIST_TOP = 120;
constexpr int LIST_BOTTOM_GAP = 68;  // the list ends this far above the bottom edge
constexpr int TITLE_X = 5;
constexpr int TITLE_Y = 18;
constexpr int TITLE_Y_TWO_LINES = 4;  // the favorites' title leaves room for the tip below
constexpr int TIP_Y = 32;
constexpr const char* FAVORITES_TIP = "Tip: Tap and hold to select a folder";
constexpr int ARROW_WIDTH = 72;  // the item arrows at x 133 and 213 leave a gap between them
constexpr int SEPARATOR_Y[2] = {59, 119};

ListRow* g_rows = nullptr;
int g_row_count = 0;
int g_button_height = 54;  // bar height - 16, or the header's height

TTF_Font* main_font()
{
    return font_get(FONT_SET_MAIN, FONT_PRELUDE);
}

int row_height(const BrowserState& b)
{
    bool icons = b.view == VIEW_ICONS && b.browse_mode != BROWSE_PLAYLISTS;
    return icons ? ICON_VIEW_ROW_HEIGHT : ROW_SPACING;
}

// After a sort, the playing item is found again: it becomes the
// highlighted row and the list shows it.
void find_playing_row(AppState* app)
{
    BrowserState& b = app->browser;
    if (!browser_item_loaded(app))
        return;
    const Settings& s = app->settings;
    int row = browser_row_of_play_path(&b.list, b.browse_mode, s.browse_path_1, s.browse_path_2,
                                       app->nav.current_media_path);
    if (row < 0)
        return;
    b.highlighted_row = row;
    app->ui.list_offsets[b.browse_mode] = (row > 0 ? row - 1 : 0) * row_height(b);
}

// The small thumbnail already made for a row (icon view), or null.
const char* row_thumbnail(const MediaEntry* e)
{
    static char file[PATH_SIZE];
    return e->path[0] && thumb_find(e->path, THUMB_SIZE_SMALL, file, sizeof file) ? file : nullptr;
}

// In the icon view the worker is asked for the rows still showing their
// class icon; in the list view it has nothing to do.
void request_thumbnails(const BrowserState& b)
{
    std::vector<std::string> paths;
    if (b.view == VIEW_ICONS && b.browse_mode != BROWSE_PLAYLISTS) {
        const ListRow* rows = browser_rows();
        paths.resize(size_t(g_row_count));
        for (int i = 0; i < g_row_count; ++i) {
            const MediaEntry& e = b.list.rows[i];
            bool wanted = rows[i].icon_slot < ICON_SLOT_THUMBNAIL && e.path[0] &&
                          !entry_kind_is_folder(e.kind) &&
                          rows[i].media_class >= MEDIA_CLASS_IMAGE &&
                          rows[i].media_class <= MEDIA_CLASS_AUDIO;
            if (wanted)
                paths[size_t(i)] = e.path;
        }
    }
    thumb_request_rows(std::move(paths));
}

// Rebuilds the display rows when the table changed or the view did.
void rebuild_rows(AppState* app)
{
    BrowserState& b = app->browser;
    if (!(b.list_refilled || b.sort_requested || b.view_changed || b.saved_list_pending))
        return;
    // A closed picker gives back the list it covered, whatever the two
    // hold (32 character sets outnumber a short folder that must come back).
    if (b.saved_list_pending && b.saved_list.rows) {
        browser_list_copy(&b.list, &b.saved_list);
    } else if (b.sort_requested) {
        browser_sort(&b.list, b.browse_mode, int(app->settings.sort_key),
                     browser_current_path(&b, &app->settings));
        b.order.reset = 1;  // the rows moved: the play order is built anew
        find_playing_row(app);
    }
    RowSetup setup{};
    setup.view = b.view;
    setup.browse_mode = b.browse_mode;
    setup.picker = browser_picker_open(&b);
    setup.thumbnails = b.view == VIEW_ICONS;
    setup.thumbnail_of = row_thumbnail;
    setup.font = main_font();
    setup.small_font = font_get(FONT_SET_SMALL, FONT_PRELUDE);
    setup.colour = TEXT_WHITE;
    g_row_count = row_classify(&b.list, browser_rows(), 0, b.list.count, setup);
    browser_mark_added_rows(app);
    b.list_refilled = b.sort_requested = b.view_changed = b.saved_list_pending = 0;
}

void draw_title(AppState* app)
{
    const BrowserState& b = app->browser;
    const char* title = browser_current_path(&b, &app->settings);
    char name[PLAYLIST_NAME_SIZE];
    bool tip = false;
    if (b.charset_picker) {
        title = "Subtitle character set";
    } else if (b.browse_mode == BROWSE_PLAYLISTS) {
        title = "PLAYLISTS";
    } else if (b.browse_mode == BROWSE_PLAYLIST_ITEMS) {
        tip = playlist_title(app, name, sizeof name);
        title = name;
    }
    const int width = LIST_COLUMN_WIDTH - 2 * TITLE_X;
    draw_text_line(app->ui.ui_surface, title, main_font(), TITLE_X,
                   tip ? TITLE_Y_TWO_LINES : TITLE_Y, width, TEXT_WHITE);
    if (tip)
        draw_text_line(app->ui.ui_surface, FAVORITES_TIP, font_get(FONT_SET_SMALL, FONT_PRELUDE),
                       TITLE_X, TIP_Y, width, TEXT_WHITE);
}

bool draw_list(AppState* app)
{
    BrowserState& b = app->browser;
    Surface* s = app->ui.ui_surface;
    ListSetup setup;
    setup.highlight = 1;
    setup.selected = browser_picker_open(&b) ? -1 : b.highlighted_row;
    if (b.charset_picker)  // the set subtitles are read in now
        setup.selected = subtitle_charset_row(app->settings.subtitle_charset);
    setup.browse_mode = browser_picker_open(&b) ? -1 : b.browse_mode;
    setup.hide_extensions = app->settings.hide_extensions;
    int height = s->h - LIST_TOP - LIST_BOTTOM_GAP;
    Widget* list = create_list(&app->ui, 0, LIST_TOP, LIST_COLUMN_WIDTH, height, browser_rows(),
                               g_row_count, setup);
    if (!list)
        return false;
    list->list.row_height = row_height(b);
    // The current character set is in view, a row below the top.
    if (b.charset_picker && setup.selected > 0)
        list_set_offset(list, (setup.selected - 1) * list->list.row_height);
    widget_draw(s, list);
    registry_add(list, SLOT_DRAG, nullptr);
    registry_add(list, SLOT_ROW_TAP, browser_activate_row);
    if (browser_holds_rows(app))
        registry_add(list, SLOT_LONG_PRESS, browser_hold_row);
    return true;
}

bool header_button(AppState* app, int x, const char* label, ArtId arrow, SlotAction action,
                   int width = BUTTON_WIDTH)
{
    g_button_height = HEADER_HEIGHT;
    bool ok;
    if (arrow != ART_COUNT) {
        SDL_Surface* icon = artwork(arrow);
        int ix = icon ? (width - icon->w) / 2 : 0;
        int iy = icon ? (HEADER_HEIGHT - icon->h) / 2 : 0;
        Widget* w = create_button(x, HEADER_Y, width, HEADER_HEIGHT, ART_BUTTON, icon, ix, iy,
                                  nullptr, nullptr, 0, 1);
        ok = w != nullptr;
        if (w) {
            widget_draw(app->ui.ui_surface, w);
            registry_add(w, SLOT_PRESS, action);
        }
    } else {
        ok = browser_button(app, x, HEADER_Y, BUTTON_WIDTH, label, action);
    }
    g_button_height = 54;
    return ok;
}

// View, sort key and direction; the list of playlists has none.
bool draw_header(AppState* app)
{
    const BrowserState& b = app->browser;
    if (b.browse_mode == BROWSE_PLAYLISTS || browser_picker_open(&b))
        return true;
    if (!header_button(app, 6, b.view == VIEW_ICONS ? "List" : "Icons", ART_COUNT,
                       browser_toggle_view))
        return false;
    if (b.browse_mode == BROWSE_PLAYLIST_ITEMS)
        return header_button(app, 133, nullptr, ART_UPARROW, browser_item_up, ARROW_WIDTH) &&
               header_button(app, 213, nullptr, ART_DOWNARROW, browser_item_down, ARROW_WIDTH);
    int key = int(app->settings.sort_key);
    return header_button(app, 114, browser_sort_key_label(key), ART_COUNT, browser_next_sort_key) &&
           header_button(app, 213, nullptr, key % 2 ? ART_DOWNARROW : ART_UPARROW,
                         browser_flip_sort);
}

// The buttons of the bottom bar's right group, from the right edge leftwards.
int item_buttons(const AppState* app, BarButton* out)
{
    const BrowserState& b = app->browser;
    int n = 0;
    if (browser_picker_open(&b)) {
        out[n++] = {"Cancel", browser_picker_cancel};
        return n;
    }
    n = playlist_group_buttons(app, out);
    if (n >= 0)
        return n;  // the list of playlists, or the add-files mode
    n = 0;
    if (!b.selected.play_path[0])
        return n;
    bool image = b.selected.media_class == MEDIA_CLASS_IMAGE;
    if (image) {
        out[n++] = {"View", browser_play};
        out[n++] = {"Slide Show", browser_slide_show};
    } else if (b.selected.media_class != MEDIA_CLASS_FOLDER) {
        out[n++] = {"Play", browser_play};
        out[n++] = {"Resume", browser_resume};
    }
    if (b.selected.media_class != MEDIA_CLASS_FOLDER && browser_upnp_item_chosen(b))
        out[n++] = {"Play To", browser_play_to};
    // Deleting from disk: local files and recordings.
    if (b.browse_mode == BROWSE_LOCAL || b.browse_mode == BROWSE_RECORDINGS)
        out[n++] = {"Delete", browser_delete_ask};
    return playlist_item_buttons(app, out, n);
}

bool draw_bars(AppState* app)
{
    Surface* s = app->ui.ui_surface;
    const BrowserState& b = app->browser;
    int bottom = s->h - BOTTOM_BAR_HEIGHT + BUTTON_TOP;
    if (!browser_button(app, s->w - BUTTON_STEP, BUTTON_TOP, BUTTON_WIDTH, "Menu", browser_go_home))
        return false;
    if (b.previous_path[0] && !browser_picker_open(&b) &&
        !browser_button(app, 8, bottom, BUTTON_WIDTH, "Back", browser_back))
        return false;
    if (b.browse_mode == BROWSE_UPNP && !browser_picker_open(&b) &&
        !browser_button(app, 8 + BUTTON_STEP, bottom, BUTTON_WIDTH, "Servers",
                        browser_show_servers))
        return false;
    if (browser_item_loaded(app) &&
        !browser_button(app, LIST_COLUMN_WIDTH - BUTTON_STEP, bottom, BUTTON_WIDTH, "Now Playing",
                        browser_now_playing))
        return false;
    BarButton top[4];
    int top_count = playlist_top_buttons(app, top);
    for (int i = 0; i < top_count; ++i)
        if (!browser_button(app, LIST_COLUMN_WIDTH + 8 + i * BUTTON_STEP, BUTTON_TOP, BUTTON_WIDTH,
                            top[i].label, top[i].action))
            return false;
    BarButton right[6];
    int n = item_buttons(app, right);
    int x = s->w - BUTTON_STEP;
    for (int i = 0; i < n; ++i, x -= BUTTON_STEP)
        if (!browser_button(app, x, bottom, BUTTON_WIDTH, right[i].label, right[i].action))
            return false;
    bool subtitles = !browser_picker_open(&b) && b.selected.play_path[0] &&
                     b.selected.media_class == MEDIA_CLASS_VIDEO;
    // Left of the right group, where it leaves room.
    int left_x = LIST_COLUMN_WIDTH + 8;
    const BarButton left[2] = {{"Add Subtitles", browser_add_subtitles},
                               {"Subs Language", browser_subs_language}};
    for (int i = 0; subtitles && i < 2; ++i, left_x += BUTTON_STEP)
        if (left_x + BUTTON_WIDTH <= x + BUTTON_STEP - 8 &&
            !browser_button(app, left_x, bottom, BUTTON_WIDTH, left[i].label, left[i].action))
            return false;
    return true;
}

void draw_frame(AppState* app)
{
    Surface* s = app->ui.ui_surface;
    fill_rect(s, 0, 0, s->w, s->h, SCREEN_FILL);
    fill_rect(s, 0, 0, s->w, TITLE_BAR_HEIGHT, BAR_FILL);
    fill_rect(s, 0, s->h - BOTTOM_BAR_HEIGHT, s->w, BOTTOM_BAR_HEIGHT, BAR_FILL);
    for (int y : SEPARATOR_Y)
        draw_line(s, 0, y, LIST_COLUMN_WIDTH - 1, y, LIST_LINE);
    draw_line(s, LIST_COLUMN_WIDTH, TITLE_BAR_HEIGHT, LIST_COLUMN_WIDTH,
              s->h - BOTTOM_BAR_HEIGHT - 1, PANEL_SEPARATOR);
}

}  // namespace

void browser_thumbnails_ready(AppState* app, Widget* list)
{
    std::vector<ThumbReady> ready = thumb_take_ready();
    const BrowserState& b = app->browser;
    bool on_screen = app->ui.current_screen == browser_screen_draw;
    if (on_screen && !browser_picker_open(&b) && info_panel_picture_arrived(app)) {
        info_panel_draw(app);
        present(&app->ui);
    }
    bool shown = on_screen && b.view == VIEW_ICONS && list && list->list.rows == browser_rows();
    if (!shown)
        return;
    for (const ThumbReady& r : ready)
        if (r.row < g_row_count)
            list_row_set_icon(list, r.row, r.file.c_str(), ICON_SLOT_THUMBNAIL + r.row);
}

ListRow* browser_rows()
{
    if (!g_rows)
        g_rows = static_cast<ListRow*>(std::calloc(MAX_BROWSER_ENTRIES, sizeof(ListRow)));
    return g_rows;
}

bool browser_button(AppState* app, int x, int y, int width, const char* label, SlotAction action)
{
    Widget* w = create_button(x, y, width, g_button_height, ART_BUTTON, nullptr, 0, 0, label,
                              main_font(), TEXT_WHITE, 1);
    if (!w)
        return false;
    widget_draw(app->ui.ui_surface, w);
    registry_add(w, SLOT_PRESS, action);
    return true;
}

void browser_screen_draw(AppState* app)
{
    UiState& ui = app->ui;
    ui.current_screen = browser_screen_draw;
    registry_clear(0);
    widgets_clear(0);
    if (!ui.ui_surface || !browser_rows())
        return;
    rebuild_rows(app);
    draw_frame(app);
    draw_title(app);
    if (!draw_list(app) || !draw_header(app) || !draw_bars(app))
        return;
    request_thumbnails(app->browser);
    if (app->browser.selected.play_path[0] && !browser_picker_open(&app->browser))
        info_panel_draw(app);
    present(&ui);
}
