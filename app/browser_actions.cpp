// What the browser's rows and buttons do: opening lists on a worker under a
// wait box, navigation, the item action and the pickers, playback from the
// list and the step to the next item, Back, the confirmations.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/app_state.h"
#include "app/browser_internal.h"
#include "app/browser_screen.h"
#include "app/home.h"
#include "app/info_panel.h"
#include "app/player.h"
#include "app/thumb_worker.h"
#include "browser/listing.h"
#include "browser/navigation.h"
#include "browser/play_order.h"
#include "browser/play_path.h"
#include "browser/playlist_ops.h"
#include "browser/resume.h"
#include "browser/rows.h"
#include "browser/sort.h"
#include "platform/result_codes.h"
#include "platform/text_copy.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"
#include "ui/events.h"
#include "ui/text.h"
#include "upnp/device_list.h"

namespace {

constexpr int DIALOG_WIDTH = 400;
constexpr int DIALOG_TOP = 160;

// The one list worker's request: a copy of the navigation taken when it
// starts, so the worker never reads what the main thread may change.
struct ListJob {
    BrowserList* list;
    FillRequest request;
    int32_t* status;
};
ListJob g_job;

// What a navigation changed that a failed fill must undo.
struct NavigationUndo {
    bool active;
    int32_t mode;
    int32_t depth;
    int32_t offset;
    char previous_path[PATH_SIZE];
};
NavigationUndo g_undo;

// A fill failed and the previous place is being listed again: its error is
// shown once that list is on screen.
int g_error_after_refill = 0;

// With VELMORA_BROWSER_STATS=1 the time from a list's open to its drawn
// rows, and of each re-sort with its redraw, go to stderr (the benchmark
// reads them).
std::chrono::steady_clock::time_point g_open_started;

bool stats_wanted()
{
    static const bool on = [] {
        const char* v = std::getenv("VELMORA_BROWSER_STATS");
        return v && std::strcmp(v, "1") == 0;
    }();
    return on;
}

double ms_since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

int fill_job(void* arg)
{
    auto* job = static_cast<ListJob*>(arg);
    int r = browser_fill_list(job->list, &job->request);
    *job->status = r == 0 ? 1 : r;
    return 0;
}

void clear_selection(BrowserState& b)
{
    std::memset(&b.selected, 0, sizeof b.selected);
    b.highlighted_row = -1;
}

void fill_request(AppState* app, FillRequest* r)
{
    BrowserState& b = app->browser;
    r->browse_mode = b.browse_mode;
    r->list_source = b.list_source;
    const char* path = b.list_source == SOURCE_UPNP && b.browse_mode == BROWSE_UPNP
                           ? app->settings.browse_path_3
                           : browser_current_path(&b, &app->settings);
    copy_text(r->path, sizeof r->path, path);
    r->filter = browser_filter_for(b.list_source, b.subtitle_picker != 0);
    r->charset_picker = b.charset_picker;
    r->play_to_picker = b.play_to_picker;
    r->current_playlist = b.current_playlist;
}

void show_failure(AppState* app, int status)
{
    g_error_after_refill = 0;
    show_home(app);
    show_error(app, status);
}

void browser_list_done(AppState* app, RegistrySlot*);

// Draws the wait box (a spinner over the list column) and starts the
// worker; the spinner's completion is browser_list_done.
int start_fill(AppState* app)
{
    Widget* spinner = browser_spinner(app, 0, LIST_COLUMN_WIDTH, browser_list_done);
    if (!spinner)
        return -1;
    present(&app->ui);
    app->ui.abort_requested = 0;  // a new wait: an earlier cancel must not end this fill
    return spinner_start_job(spinner, fill_job, &g_job);
}

// Puts the scroll memory and the previous path back as they were before
// the navigation whose list failed.
void undo_navigation(AppState* app)
{
    if (!g_undo.active)
        return;
    ScrollMemory& m = app->browser.scroll[g_undo.mode];
    m.depth = g_undo.depth;
    app->ui.list_offsets[g_undo.mode] = g_undo.offset;
    copy_text(app->browser.previous_path, PATH_SIZE, g_undo.previous_path);
    g_undo.active = false;
}

void list_failed(AppState* app, int status)
{
    BrowserState& b = app->browser;
    bool nowhere = browser_fill_failed(&b, &app->settings);
    undo_navigation(app);
    if (nowhere || g_error_after_refill) {
        show_failure(app, g_error_after_refill ? g_error_after_refill : status);
        return;
    }
    // The table was cleared for the fill that failed: the previous place is
    // listed again and the error shown over it.
    g_error_after_refill = status;
    if (browser_open_list(app) != 0)
        show_failure(app, status);
}

void browser_list_done(AppState* app, RegistrySlot*)
{
    BrowserState& b = app->browser;
    b.loading = 0;
    if (b.fill_status != 1) {
        list_failed(app, b.fill_status);
        return;
    }
    g_undo.active = false;
    b.list_refilled = 1;
    // The character sets keep their own order (the common ones first).
    b.sort_requested = !b.charset_picker;
    browser_screen_draw(app);
    if (stats_wanted())
        std::fprintf(stderr, "browser: rows=%d open_to_drawn_ms=%.1f\n", b.list.count,
                     ms_since(g_open_started));
    if (g_error_after_refill) {
        int e = g_error_after_refill;
        g_error_after_refill = 0;
        show_error(app, e);
    }
}

// ---- pickers -------------------------------------------------------------

bool save_list(BrowserState& b)
{
    if (!b.saved_list.rows && !browser_list_create(&b.saved_list))
        return false;
    browser_list_copy(&b.saved_list, &b.list);
    return true;
}

void close_picker(AppState* app)
{
    BrowserState& b = app->browser;
    b.subtitle_picker = b.charset_picker = b.play_to_picker = 0;
    b.browse_mode = b.picker_save.browse_mode;
    b.list_source = b.picker_save.list_source;
    copy_text(browser_source_path(&b, &app->settings), PATH_SIZE, b.picker_save.path);
    copy_text(b.previous_path, PATH_SIZE, b.picker_save.previous_path);
    b.highlighted_row = b.picker_save.highlighted_row;
    b.saved_list_pending = 1;
}

// ---- selection -------------------------------------------------------------

void select_row(AppState* app, int row)
{
    BrowserState& b = app->browser;
    const MediaEntry& e = b.list.rows[row];
    b.selected.is_remote = 0;
    if (b.browse_mode == BROWSE_PLAYLIST_ITEMS) {
        b.selected_playlist_item = row;
        b.selected.is_remote = e.kind == ENTRY_PLAYLIST_REMOTE;
    } else if (b.browse_mode == BROWSE_REMOTE) {
        b.selected.is_remote = 1;
    }
    PlayPath pp{};
    const Settings& s = app->settings;
    bool have_path = entry_play_path(&e, b.browse_mode, s.browse_path_1, s.browse_path_2, &pp) == 0;
    if (b.subtitle_picker) {
        if (have_path)
            copy_text(b.selected.subtitle_path, PATH_SIZE, pp.path);
    } else if (b.charset_picker) {
        copy_text(app->settings.subtitle_charset, sizeof app->settings.subtitle_charset, e.name);
    } else if (!b.play_to_picker) {
        SelectedItem& sel = b.selected;
        copy_text(sel.play_path, PATH_SIZE, have_path ? pp.path : "");
        if (e.kind == ENTRY_REMOTE_V)
            copy_text(sel.play_path, PATH_SIZE, e.name);
        const char* slash = std::strrchr(e.name, '/');
        copy_text(sel.display_name, PATH_SIZE,
                  e.kind == ENTRY_REMOTE_V && slash ? slash + 1 : e.name);
        if (pp.subtitle_file[0])
            copy_text(sel.subtitle_path, PATH_SIZE, pp.subtitle_file);
        copy_text(sel.upnp_extra, sizeof sel.upnp_extra, e.extra[0] ? e.extra : pp.subtitle_url);
        copy_text(sel.info, sizeof sel.info, e.info);
        sel.media_class = browser_rows()[row].media_class;
        // Only a chosen item brings its size and time: a picked subtitle
        // file or character set must not give the film the file's size.
        sel.size = e.size;
        sel.mtime = e.mtime;
    }
}

void play_on_renderer(AppState* app, const UpnpDevice* renderer);

void item_action(AppState* app, int row)
{
    BrowserState& b = app->browser;
    bool picker = browser_picker_open(&b);
    if (!picker)
        b.selected.subtitle_path[0] = '\0';
    select_row(app, row);
    if (!picker) {
        if (b.highlighted_row != row)
            b.software_decoding = 0;
        b.highlighted_row = row;
    }
    if (b.browse_mode == BROWSE_PLAYLISTS)
        b.current_playlist = row;
    if (b.subtitle_picker || b.charset_picker) {
        b.picked = 1;
        close_picker(app);
        browser_screen_draw(app);
        return;
    }
    if (b.play_to_picker) {
        play_on_renderer(app, static_cast<const UpnpDevice*>(b.list.rows[row].ref));
        return;
    }
    info_panel_open(app);
    browser_screen_draw(app);
}

void start_navigation_undo(AppState* app)
{
    BrowserState& b = app->browser;
    g_undo.active = true;
    g_undo.mode = b.browse_mode;
    g_undo.depth = b.scroll[b.browse_mode].depth;
    g_undo.offset = app->ui.list_offsets[b.browse_mode];
    copy_text(g_undo.previous_path, PATH_SIZE, b.previous_path);
}

void navigate(AppState* app, const MediaEntry* e)
{
    BrowserState& b = app->browser;
    if (!browser_picker_open(&b))
        clear_selection(b);
    start_navigation_undo(app);
    int r = browser_navigate(&b, &app->settings, app->ui.list_offsets, e);
    if (r == NAVIGATE_OPEN && browser_open_list(app) != 0)
        list_failed(app, ERR_OUT_OF_MEMORY);
    else if (r != NAVIGATE_OPEN)
        browser_screen_draw(app);
}

void activate(AppState* app, int row)
{
    BrowserState& b = app->browser;
    if (row < 0 || row >= b.list.count)
        return;
    const MediaEntry* e = &b.list.rows[row];
    if (entry_kind_is_folder(e->kind)) {
        navigate(app, e);
        return;
    }
    bool chooses = entry_kind_is_playable(e->kind) || e->kind == ENTRY_REMOTE_V ||
                   e->kind == ENTRY_PLAYLIST || e->kind == ENTRY_RENDERER;
    if (!chooses)
        return;  // message rows and other local entries
    if (browser_add_tap(app, row))
        return;  // the add-files mode takes the row
    if (!browser_picker_open(&b)) {
        b.order.reset = 1;
        app->now.video_stream = app->now.audio_stream = app->now.subtitle_stream = STREAM_AUTO;
    }
    item_action(app, row);
}

// ---- playback ----------------------------------------------------------------

void start_selected(AppState* app, bool slideshow)
{
    app->nav.play_to_active = 0;
    app->now.slideshow = slideshow ? 1 : 0;
    // A slide show goes on through the list by itself; a single item
    // follows the play order chosen on the player's bar.
    app->nav.list_play = slideshow ? 1 : 0;
    app->browser.playing_from_list = 1;
    player_start_entry(app, app->browser.selected.play_path);
}

// A renderer chosen in the Play To picker: the list comes back as it was
// and the chosen item (and those the play order steps to) plays there.
void play_on_renderer(AppState* app, const UpnpDevice* renderer)
{
    close_picker(app);
    if (!renderer) {
        browser_screen_draw(app);
        return;
    }
    app->nav.play_to_renderer = renderer;
    app->browser.resume = 0;
    start_selected(app, false);
    app->nav.play_to_active = 1;
}

void delete_confirmed(AppState* app, RegistrySlot*)
{
    BrowserState& b = app->browser;
    if (b.browse_mode == BROWSE_LOCAL || b.browse_mode == BROWSE_RECORDINGS)
        std::remove(b.selected.play_path);
    clear_selection(b);
    if (browser_open_list(app) != 0)
        show_failure(app, ERR_OUT_OF_MEMORY);
}

void delete_cancelled(AppState* app, RegistrySlot*)
{
    browser_reopen(app);
}

}  // namespace

// ---- the list worker -----------------------------------------------------------

int browser_open_list(AppState* app)
{
    BrowserState& b = app->browser;
    // The list widget goes first: nothing may read the table while the
    // worker refills it.
    registry_clear(0);
    widgets_clear(0);
    g_open_started = std::chrono::steady_clock::now();
    g_job.list = &b.list;
    g_job.status = &b.fill_status;
    fill_request(app, &g_job.request);
    b.fill_status = 0;
    b.loading = 1;
    if (start_fill(app) != 0) {
        b.loading = 0;
        registry_clear(0);
        widgets_clear(0);
        return -1;
    }
    return 0;
}

// ---- rows and buttons ------------------------------------------------------------

void browser_activate_row(AppState* app, RegistrySlot* slot)
{
    Widget* list = slot ? slot->widget : nullptr;
    // The row under the press (the list forgets its pressed row before
    // the action runs).
    if (list && list->kind == WIDGET_LIST)
        activate(app, list_row_at(list, list->press_y));
}

// A held row: in the add-files mode a folder joins the playlist (a tap
// would open it); in a playlist the row is chosen without being opened, so
// that a folder item can be deleted.
void browser_hold_row(AppState* app, RegistrySlot* slot)
{
    Widget* list = slot ? slot->widget : nullptr;
    if (!list || list->kind != WIDGET_LIST)
        return;
    int row = list_row_at(list, list->press_y);
    BrowserState& b = app->browser;
    if (row < 0 || row >= b.list.count || b.list.rows[row].kind == ENTRY_MESSAGE)
        return;
    if (browser_add_tap(app, row))
        return;
    if (b.browse_mode == BROWSE_PLAYLIST_ITEMS && !browser_picker_open(&b)) {
        b.order.reset = 1;
        item_action(app, row);
    }
}

void browser_back(AppState* app, RegistrySlot*)
{
    BrowserState& b = app->browser;
    switch (browser_back_target(&b, app->ui.current_screen == browser_screen_draw)) {
    case BACK_PARENT_ROW:
        if (b.list.count > 0 && std::strcmp(b.list.rows[0].name, "..") == 0)
            navigate(app, &b.list.rows[0]);
        else
            show_home(app);
        break;
    case BACK_SOURCE_HOME:
        if (b.list_source == SOURCE_LOCAL) {
            show_local_media(app);
            break;
        }
        if (b.list_source == SOURCE_UPNP) {
            show_upnp_servers(app);
            break;
        }
        show_home(app);
        break;
    case BACK_PLAYLISTS: browser_show_playlists(app); break;
    case BACK_FAVORITES: browser_show_favorites(app); break;
    case BACK_RECORDINGS:
        b.browse_mode = BROWSE_RECORDINGS;
        if (browser_open_list(app) != 0)
            show_failure(app, ERR_OUT_OF_MEMORY);
        break;
    default: show_home(app); break;
    }
}

void browser_go_home(AppState* app, RegistrySlot*)
{
    show_home(app);
}

void browser_now_playing(AppState* app, RegistrySlot*)
{
    if (app->now.player_screen_hidden)
        set_library_view(app, false);
}

void browser_play(AppState* app, RegistrySlot*)
{
    app->browser.resume = 0;
    start_selected(app, false);
}

void browser_resume(AppState* app, RegistrySlot*)
{
    BrowserState& b = app->browser;
    int32_t at = resume_lookup(&app->settings.resume_table, b.selected.play_path);
    b.resume = 1;
    app->now.start_ms = at > 0 ? at : 0;
    start_selected(app, false);
}

void browser_slide_show(AppState* app, RegistrySlot*)
{
    app->browser.resume = 0;
    start_selected(app, true);
}

void browser_delete_ask(AppState* app, RegistrySlot*)
{
    browser_confirm(app, CONFIRM_DELETE_ITEM, delete_confirmed);
}

Widget* browser_spinner(AppState* app, int area_x, int area_w, SlotAction done)
{
    Surface* s = app->ui.ui_surface;
    SDL_Surface* frame = artwork(ART_SPINNER_1);
    const int w = frame ? frame->w : 0;
    const int h = frame ? frame->h : 0;
    Widget* spinner = create_spinner(area_x + (area_w - w) / 2, (s->h - h) / 2);
    if (!spinner)
        return nullptr;
    widget_draw(s, spinner);
    registry_add(spinner, SLOT_PRESS, done);
    return spinner;
}

void browser_confirm(AppState* app, const char* question, SlotAction on_ok)
{
    registry_clear(0);
    widgets_clear(0);
    Surface* s = app->ui.ui_surface;
    TTF_Font* font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    int left = (LIST_COLUMN_WIDTH - DIALOG_WIDTH) / 2;
    int text_bottom = draw_text(s, question, font, left + 15, DIALOG_TOP + 20, DIALOG_WIDTH - 30,
                                200, ALIGN_LEFT, TEXT_MEASURE, TEXT_BLACK);
    SDL_Surface* button = artwork(ART_BUTTON);
    int button_h = button ? button->h : 54;
    int box_h = text_bottom - DIALOG_TOP + 40 + button_h;
    if (SurfacePtr frame{stretch_frame(artwork(ART_DIALOG), DIALOG_WIDTH, box_h)})
        blend_over(s, frame.get(), left, DIALOG_TOP);
    draw_text(s, question, font, left + 15, DIALOG_TOP + 20, DIALOG_WIDTH - 30, 200, ALIGN_LEFT,
              TEXT_BLEND, TEXT_BLACK);
    int y = text_bottom + 25;
    if (!browser_button(app, left + 60, y, 100, "Cancel", delete_cancelled) ||
        !browser_button(app, left + DIALOG_WIDTH - 160, y, 100, "Ok", on_ok))
        return;
    present(&app->ui);
}

// A subtitle file for the chosen film: the picker lists ".srt" files of
// the film's own folder (a local folder for every item but the streamer's).
// Opens a picker over the list: what the list showed is kept to come back to.
void open_picker(AppState* app, uint8_t BrowserState::*flag)
{
    BrowserState& b = app->browser;
    if (!save_list(b)) {
        show_error(app, ERR_OUT_OF_MEMORY);
        return;
    }
    b.picker_save.browse_mode = b.browse_mode;
    b.picker_save.list_source = b.list_source;
    b.picker_save.highlighted_row = b.highlighted_row;
    copy_text(b.picker_save.path, PATH_SIZE, browser_source_path(&b, &app->settings));
    copy_text(b.picker_save.previous_path, PATH_SIZE, b.previous_path);
    b.*flag = 1;
    // Subtitle files and character sets are listed from the local side (or
    // the streamer's); renderers come from discovery in any mode.
    if (b.browse_mode != BROWSE_REMOTE && flag != &BrowserState::play_to_picker) {
        b.browse_mode = BROWSE_LOCAL;
        b.list_source = SOURCE_LOCAL;
    }
    if (browser_open_list(app) != 0) {
        close_picker(app);
        browser_screen_draw(app);
    }
}

void browser_add_subtitles(AppState* app, RegistrySlot*)
{
    open_picker(app, &BrowserState::subtitle_picker);
}

void browser_subs_language(AppState* app, RegistrySlot*)
{
    open_picker(app, &BrowserState::charset_picker);
}

void browser_play_to(AppState* app, RegistrySlot*)
{
    open_picker(app, &BrowserState::play_to_picker);
}

bool browser_upnp_item_chosen(const BrowserState& b)
{
    if (b.browse_mode == BROWSE_UPNP)
        return b.selected.play_path[0] != '\0';
    const int row = b.highlighted_row;
    return b.browse_mode == BROWSE_PLAYLIST_ITEMS && row >= 0 && row < b.list.count &&
           b.list.rows[row].kind == ENTRY_PLAYLIST_UPNP_ITEM;
}

void browser_picker_cancel(AppState* app, RegistrySlot*)
{
    close_picker(app);
    browser_screen_draw(app);
}

void browser_toggle_view(AppState* app, RegistrySlot*)
{
    BrowserState& b = app->browser;
    int32_t& offset = app->ui.list_offsets[b.browse_mode];
    // The remembered offset follows the row height of the new view.
    if (b.view == VIEW_ICONS) {
        b.view = VIEW_LIST;
        offset /= 2;
    } else {
        b.view = VIEW_ICONS;
        offset *= 2;
    }
    b.view_changed = 1;
    browser_screen_draw(app);
}

namespace {

void resort(AppState* app, int key)
{
    auto started = std::chrono::steady_clock::now();
    app->settings.sort_key = uint32_t(key);
    app->browser.sort_requested = 1;
    browser_screen_draw(app);
    if (stats_wanted())
        std::fprintf(stderr, "browser: rows=%d sort_key=%d sort_to_drawn_ms=%.1f\n",
                     app->browser.list.count, key, ms_since(started));
}

}  // namespace

void browser_next_sort_key(AppState* app, RegistrySlot*)
{
    resort(app, browser_sort_key_next(int(app->settings.sort_key)));
}

void browser_flip_sort(AppState* app, RegistrySlot*)
{
    resort(app, browser_sort_key_flip(int(app->settings.sort_key)));
}

void browser_reopen(AppState* app)
{
    if (browser_open_list(app) != 0)
        show_failure(app, ERR_OUT_OF_MEMORY);
}

void browser_clear_selection(AppState* app)
{
    clear_selection(app->browser);
}

bool browser_item_loaded(const AppState* app)
{
    return flags_any(&app->flags, APP_MEDIA_OPEN);
}

// ---- entries -------------------------------------------------------------------

namespace {

// A home-screen entry: the browser leaves whatever it showed (pickers too)
// for the mode and source, nothing selected.
void enter_source(AppState* app, int mode, int source)
{
    BrowserState& b = app->browser;
    b.previous_browse_mode = b.browse_mode;
    b.browse_mode = mode;
    b.list_source = source;
    b.subtitle_picker = b.charset_picker = b.play_to_picker = 0;
}

// Opens the entered source's list from where it now points.
void open_entered(AppState* app)
{
    clear_selection(app->browser);
    g_undo.active = false;
    if (browser_open_list(app) != 0)
        show_failure(app, ERR_OUT_OF_MEMORY);
}

// A stored path that is not an absolute folder path starts at the root.
void keep_folder_path(char* path)
{
    size_t n = strnlen(path, PATH_SIZE);
    if (n == 0 || n >= PATH_SIZE || path[0] != '/' || path[n - 1] != '/')
        copy_text(path, PATH_SIZE, "/");
}

}  // namespace

void show_local_media(AppState* app)
{
    enter_source(app, BROWSE_LOCAL, SOURCE_LOCAL);
    keep_folder_path(app->settings.browse_path_1);
    open_entered(app);
}

void show_remote_media(AppState* app)
{
    enter_source(app, BROWSE_REMOTE, SOURCE_STREAMER);
    keep_folder_path(app->settings.browse_path_2);
    open_entered(app);
}

void show_upnp_servers(AppState* app)
{
    Settings& s = app->settings;
    enter_source(app, BROWSE_UPNP, SOURCE_UPNP);
    copy_text(s.browse_path_3, PATH_SIZE, "/");
    copy_text(s.browse_path_4, PATH_SIZE, "/");
    app->browser.previous_path[0] = '\0';
    open_entered(app);
}

void browser_show_servers(AppState* app, RegistrySlot*)
{
    show_upnp_servers(app);
}

int player_start_entry(AppState* app, const char* path)
{
    if (!path || !path[0])
        return -1;
    BrowserState& b = app->browser;
    if (!b.resume)
        app->now.start_ms = 0;
    b.resume = 0;
    copy_text(app->nav.current_media_path, PATH_SIZE, path);
    copy_text(app->now.subtitle_path, PATH_SIZE, b.selected.subtitle_path);
    // Playback has the machine to itself: the icon view's thumbnails wait
    // until the list is shown again.
    thumb_request_rows({});
    // From the library view: the item playing now gives way at once.
    if (flags_any(&app->flags, APP_PLAYER_BUSY))
        flags_clear(&app->flags, APP_PLAYER_BUSY | APP_PLAYING);
    app->ui.play_requested = 1;
    return 0;
}

int play_order_advance(AppState* app)
{
    BrowserState& b = app->browser;
    const Settings& s = app->settings;
    // An item that did not come from the list (a URL sent to the player)
    // has no place in it to step from.
    if (!b.playing_from_list)
        return -1;
    bool previous = flags_any(&app->flags, APP_WANT_PREVIOUS);
    bool requested = flags_any(&app->flags, APP_WANT_PREVIOUS | APP_WANT_NEXT);
    int row = play_order_step(&b.order, &b.list, b.highlighted_row, previous, requested, s.shuffle,
                              s.repeat, std::rand);
    if (row < 0)
        return -1;
    PlayPath pp{};
    if (entry_play_path(&b.list.rows[row], b.browse_mode, s.browse_path_1, s.browse_path_2, &pp) !=
        0)
        return -1;
    b.selected.subtitle_path[0] = '\0';
    select_row(app, row);
    b.highlighted_row = row;
    int offset = play_order_scroll_offset(row, b.view);
    app->ui.list_offsets[b.browse_mode] = b.view == VIEW_ICONS ? offset * 2 : offset;
    b.resume = 0;
    return player_start_entry(app, pp.path);
}
