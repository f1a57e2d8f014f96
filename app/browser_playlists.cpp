// The browser's playlists and favorites: the bar buttons that open the
// list of playlists and the favorites, bookmark into the favorites, make,
// view, empty and delete playlists and their items, the add-files mode with
// its "+1" markers, and the "New" dialog. The store's operations
// (browser/playlist_ops.h) do the work; this file shows their messages and
// opens the lists again.
#include <cstring>
#include <ctime>

#include "app/app.h"
#include "app/app_state.h"
#include "app/browser_internal.h"
#include "app/browser_screen.h"
#include "app/home.h"
#include "browser/navigation.h"
#include "browser/playlist_ops.h"
#include "browser/rows.h"
#include "platform/result_codes.h"
#include "platform/text_copy.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"
#include "ui/events.h"
#include "ui/text.h"

namespace {

constexpr int MESSAGE_TOP = 160;  // below the title bar and the header row
constexpr int MESSAGE_WIDTH = 0;  // the message box's own width
constexpr const char MARKER_TEXT[] = "+1";
constexpr int MARKER_X = LIST_COLUMN_WIDTH - 110;
constexpr int MARKER_WIDTH = 100;
constexpr int MARKER_HEIGHT = 50;
constexpr uint32_t MARKER_COLOUR = 0x0000FFFF;  // yellow (text colours are 0x00BBGGRR)
// The "New" dialog.
constexpr int NAME_DIALOG_WIDTH = 500;
constexpr int NAME_DIALOG_TOP = 100;
constexpr int NAME_DIALOG_HEIGHT = 270;
constexpr int PROMPT_Y = 20;  // the rest below the box's top edge; the prompt has two lines
constexpr int LABEL_Y = 85;
constexpr int NAME_BOX_Y = 115;
constexpr int NAME_BOX_HEIGHT = 48;
constexpr int DIALOG_BUTTONS_Y = 190;
constexpr int NAME_LIMIT = PLAYLIST_NAME_SIZE - 1;
constexpr int DIALOG_BUTTON_WIDTH = 100;

// What the user typed in the "New" dialog, kept while a refusal is shown.
char g_typed_name[EDIT_TEXT_SIZE];
Widget* g_name_box = nullptr;

PlaylistStore& store(AppState* app)
{
    return app->playlists;
}

bool adding(const AppState* app)
{
    return playlist_add_active(&app->playlists);
}

// The lists a source shows, where rows can be added to a playlist.
bool source_mode(int mode)
{
    return mode == BROWSE_LOCAL || mode == BROWSE_REMOTE || mode == BROWSE_UPNP;
}

const char* source_path(AppState* app)
{
    return browser_current_path(&app->browser, &app->settings);
}

int item_count(const AppState* app, int playlist)
{
    const PlaylistStore& s = app->playlists;
    if (!s.records || playlist < 0 || playlist >= s.count)
        return 0;
    return s.records[playlist].item_count;
}

bool selected(const AppState* app)
{
    return app->browser.selected.play_path[0] != '\0';
}

// A message from an operation; "OK" leads to `after` (the current screen
// when null).
void show_message(AppState* app, const char* text, ScreenFn after)
{
    message_box(&app->ui, app->ui.ui_surface, text, MESSAGE_TOP, MESSAGE_WIDTH, after);
}

// The operation's message, if it has one, then the list opened again.
void report_and_reopen(AppState* app, const char* message)
{
    if (message)
        show_message(app, message, browser_reopen);
    else
        browser_reopen(app);
}

// ---- opening the lists ------------------------------------------------------

// Opens mode 6 or a playlist in mode 0 from the top bar. The previous path
// follows the mode being left: the playlists folder between the two lists
// of playlists (none from a playlist to the favorites, or from the list of
// playlists to itself), the recordings folder from the recordings, else the
// source's path.
void open_from_bar(AppState* app, int mode, int playlist)
{
    BrowserState& b = app->browser;
    const char* previous = PLAYLISTS_FOLDER;
    const bool lists = b.browse_mode == BROWSE_PLAYLIST_ITEMS || b.browse_mode == BROWSE_PLAYLISTS;
    if (mode == BROWSE_RECORDINGS && (lists || b.browse_mode == BROWSE_RECORDINGS))
        previous = lists ? PLAYLISTS_FOLDER : "";
    else if (b.browse_mode == BROWSE_PLAYLIST_ITEMS)
        previous = mode == BROWSE_PLAYLISTS ? PLAYLISTS_FOLDER : "";
    else if (b.browse_mode == BROWSE_PLAYLISTS)
        previous = mode == BROWSE_PLAYLIST_ITEMS ? PLAYLISTS_FOLDER : "";
    else if (b.browse_mode == BROWSE_RECORDINGS)
        previous = RECORDINGS_FOLDER;
    else
        previous = browser_source_path(&b, &app->settings);
    char kept[PATH_SIZE];
    copy_text(kept, sizeof kept, previous);
    copy_text(b.previous_path, PATH_SIZE, kept);
    b.previous_browse_mode = b.browse_mode;
    b.browse_mode = mode;
    if (mode == BROWSE_PLAYLIST_ITEMS)
        b.current_playlist = playlist;
    browser_clear_selection(app);
    app->ui.list_offsets[mode] = 0;
    browser_reopen(app);
}

void playlists_pressed(AppState* app, RegistrySlot*)
{
    browser_show_playlists(app);
}

void favorites_pressed(AppState* app, RegistrySlot*)
{
    browser_show_favorites(app);
}

void recordings_pressed(AppState* app, RegistrySlot*)
{
    open_from_bar(app, BROWSE_RECORDINGS, 0);
}

// ---- favorites ------------------------------------------------------------------

void bookmark_folder(AppState* app, RegistrySlot*)
{
    const char* m = favorites_add_folder(&store(app), app->browser.list_source, source_path(app),
                                         app->settings.browse_path_3);
    if (m)
        show_message(app, m, browser_screen_draw);
}

void bookmark(AppState* app, RegistrySlot*)
{
    const char* m = favorites_add_file(&store(app), app->browser.list_source, source_path(app),
                                       &app->browser.selected);
    if (m)
        show_message(app, m, browser_screen_draw);
}

// ---- deleting -------------------------------------------------------------------

void playlist_delete_confirmed(AppState* app, RegistrySlot*)
{
    const char* m = playlist_delete(&store(app), app->browser.current_playlist);
    browser_clear_selection(app);
    report_and_reopen(app, m);
}

void playlist_delete_ask(AppState* app, RegistrySlot*)
{
    browser_confirm(app, CONFIRM_DELETE_ITEM, playlist_delete_confirmed);
}

void item_delete_confirmed(AppState* app, RegistrySlot*)
{
    BrowserState& b = app->browser;
    const char* m = playlist_item_remove(&store(app), b.current_playlist, b.selected_playlist_item);
    browser_clear_selection(app);
    report_and_reopen(app, m);
}

void item_delete_ask(AppState* app, RegistrySlot*)
{
    browser_confirm(app, CONFIRM_DELETE_ITEM, item_delete_confirmed);
}

void empty_confirmed(AppState* app, RegistrySlot*)
{
    const char* m = playlist_clear(&store(app), app->browser.current_playlist);
    browser_clear_selection(app);
    report_and_reopen(app, m);
}

void empty_ask(AppState* app, RegistrySlot*)
{
    browser_confirm(app, CONFIRM_EMPTY_PLAYLIST, empty_confirmed);
}

// ---- viewing and adding files -------------------------------------------------

void view_playlist(AppState* app, RegistrySlot*)
{
    playlist_view(&app->browser, app->browser.current_playlist);
    app->ui.list_offsets[BROWSE_PLAYLIST_ITEMS] = 0;
    browser_reopen(app);
}

// The user browses a source from the home screen; the rows tapped there
// join the playlist.
void add_files(AppState* app, RegistrySlot*)
{
    if (playlist_add_begin(&store(app), app->browser.current_playlist) != 0) {
        show_error(app, ERR_OUT_OF_MEMORY);
        return;
    }
    show_home(app);
}

// The mode ends and the playlist it added to is shown.
void end_adding(AppState* app, int playlist, const char* message)
{
    playlist_view(&app->browser, playlist);
    app->ui.list_offsets[BROWSE_PLAYLIST_ITEMS] = 0;
    report_and_reopen(app, message);
}

void add_done(AppState* app, RegistrySlot*)
{
    int playlist = store(app).add_index;
    end_adding(app, playlist, playlist_add_done(&store(app)));
}

void add_cancel(AppState* app, RegistrySlot*)
{
    int playlist = store(app).add_index;
    playlist_add_cancel(&store(app));
    end_adding(app, playlist, nullptr);
}

void add_select_all(AppState* app, RegistrySlot*)
{
    BrowserState& b = app->browser;
    if (!source_mode(b.browse_mode))
        return;
    const char* m = playlist_add_all(&store(app), b.list_source, source_path(app), &b.list);
    browser_mark_added_rows(app);
    if (m)
        show_message(app, m, browser_screen_draw);
    else
        browser_screen_draw(app);
}

// ---- the "New" dialog ---------------------------------------------------------

void new_dialog(AppState* app);

void new_cancelled(AppState* app, RegistrySlot*)
{
    edit_unfocus();
    g_name_box = nullptr;
    browser_screen_draw(app);
}

void new_confirmed(AppState* app, RegistrySlot*)
{
    if (g_name_box && g_name_box->in_use)
        copy_text(g_typed_name, sizeof g_typed_name, g_name_box->edit.text);
    edit_unfocus();
    g_name_box = nullptr;
    const char* m = playlist_create(&store(app), g_typed_name);
    if (m) {
        show_message(app, m, new_dialog);  // the dialog again, with what was typed
        return;
    }
    browser_clear_selection(app);
    browser_reopen(app);
}

// The prompt, the label, the edit box (focused) and "Cancel" and "Ok",
// over the browser screen, each at a fixed place in the box.
void new_dialog(AppState* app)
{
    browser_screen_draw(app);
    registry_clear(0);
    widgets_clear(0);
    Surface* s = app->ui.ui_surface;
    TTF_Font* font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    const int left = (s->w - NAME_DIALOG_WIDTH) / 2;
    const int inner = NAME_DIALOG_WIDTH - 30;
    const int top = NAME_DIALOG_TOP;
    if (SurfacePtr frame{stretch_frame(artwork(ART_DIALOG), NAME_DIALOG_WIDTH, NAME_DIALOG_HEIGHT)})
        blend_over(s, frame.get(), left, top);
    draw_text(s, PLAYLIST_NAME_PROMPT, font, left + 15, top + PROMPT_Y, inner, LABEL_Y - PROMPT_Y,
              ALIGN_LEFT, TEXT_BLEND, TEXT_BLACK);
    draw_text(s, PLAYLIST_NAME_LABEL, font, left + 15, top + LABEL_Y, inner, NAME_BOX_Y - LABEL_Y,
              ALIGN_LEFT, TEXT_BLEND, TEXT_BLACK);
    Widget* box = create_edit_box(left + 15, top + NAME_BOX_Y, inner, NAME_BOX_HEIGHT, g_typed_name,
                                  font, TEXT_BLACK, NAME_LIMIT);
    if (!box)
        return;
    registry_add(box, SLOT_PRESS, nullptr);
    registry_add(box, SLOT_CARET, nullptr);
    edit_focus(box);
    box->edit.caret_index = int(std::strlen(box->edit.text));
    edit_place_caret(box);
    widget_draw(s, box);
    g_name_box = box;
    const int y = top + DIALOG_BUTTONS_Y;
    if (!browser_button(app, left + 60, y, DIALOG_BUTTON_WIDTH, "Cancel", new_cancelled) ||
        !browser_button(app, left + NAME_DIALOG_WIDTH - 60 - DIALOG_BUTTON_WIDTH, y,
                        DIALOG_BUTTON_WIDTH, "Ok", new_confirmed))
        return;
    present(&app->ui);
}

void new_pressed(AppState* app, RegistrySlot*)
{
    if (const char* full = playlist_create_check(&store(app))) {
        show_message(app, full, browser_screen_draw);
        return;
    }
    playlist_default_name(std::time(nullptr), g_typed_name, sizeof g_typed_name);
    new_dialog(app);
}

// ---- moving items ---------------------------------------------------------------

void move_item(AppState* app, bool up)
{
    BrowserState& b = app->browser;
    if (b.browse_mode != BROWSE_PLAYLIST_ITEMS || !selected(app))
        return;
    int to = b.selected_playlist_item;
    const char* m = playlist_item_move(&store(app), b.current_playlist, b.selected_playlist_item,
                                       up, &to);
    // The choice and the highlight follow the item.
    b.selected_playlist_item = to;
    b.highlighted_row = to;
    report_and_reopen(app, m);
}

}  // namespace

void browser_item_up(AppState* app, RegistrySlot*)
{
    move_item(app, true);
}

void browser_item_down(AppState* app, RegistrySlot*)
{
    move_item(app, false);
}

void browser_show_playlists(AppState* app)
{
    open_from_bar(app, BROWSE_PLAYLISTS, app->browser.current_playlist);
}

void browser_show_favorites(AppState* app)
{
    open_from_bar(app, BROWSE_PLAYLIST_ITEMS, 0);
}

int playlist_top_buttons(const AppState* app, BarButton* out)
{
    const BrowserState& b = app->browser;
    if (browser_picker_open(&b))
        return 0;
    int n = 0;
    out[n++] = {"Playlists", playlists_pressed};
    out[n++] = {"Favorites", favorites_pressed};
    bool bookmarks = !adding(app) && b.browse_mode != BROWSE_PLAYLIST_ITEMS &&
                     b.browse_mode != BROWSE_RECORDINGS && b.browse_mode != BROWSE_PLAYLISTS;
    if (bookmarks) {
        out[n++] = {"Bookmark Folder", bookmark_folder};
        if (selected(app))
            out[n++] = {"Bookmark", bookmark};
    } else if (!adding(app)) {
        // Among the lists the bookmark buttons give way to the recordings.
        out[n++] = {"Recordings", recordings_pressed};
    }
    return n;
}

int playlist_group_buttons(const AppState* app, BarButton* out)
{
    const BrowserState& b = app->browser;
    if (browser_picker_open(&b))
        return -1;
    int n = 0;
    if (adding(app)) {
        out[n++] = {"Done", add_done};
        out[n++] = {"Select All", add_select_all};
        out[n++] = {"Cancel", add_cancel};
        return n;
    }
    if (b.browse_mode != BROWSE_PLAYLISTS)
        return -1;
    out[n++] = {"New", new_pressed};
    if (selected(app) && b.selected.media_class == MEDIA_CLASS_PLAYLIST) {
        out[n++] = {"View", view_playlist};
        out[n++] = {"Add Files", add_files};
        if (b.current_playlist != 0)
            out[n++] = {"Delete", playlist_delete_ask};
    }
    return n;
}

int playlist_item_buttons(const AppState* app, BarButton* out, int n)
{
    const BrowserState& b = app->browser;
    if (b.browse_mode != BROWSE_PLAYLIST_ITEMS || item_count(app, b.current_playlist) == 0)
        return n;
    if (selected(app))
        out[n++] = {"Delete", item_delete_ask};
    out[n++] = {"Delete All", empty_ask};
    return n;
}

bool playlist_title(const AppState* app, char* out, int size)
{
    int playlist = app->browser.current_playlist;
    out[0] = '\0';
    const PlaylistStore& s = app->playlists;
    if (!s.records || playlist < 0 || playlist >= s.count)
        return false;
    copy_text(out, size_t(size), s.records[playlist].name);
    if (char* dot = std::strrchr(out, '.'))
        *dot = '\0';
    return playlist == 0;
}

bool browser_add_tap(AppState* app, int row)
{
    BrowserState& b = app->browser;
    if (!adding(app) || browser_picker_open(&b) || !source_mode(b.browse_mode) || row < 0 ||
        row >= b.list.count)
        return false;
    bool marked = false;
    const char* m = playlist_add_row(&store(app), b.list_source, source_path(app),
                                     &b.list.rows[row], &marked);
    browser_mark_added_rows(app);
    if (m)
        show_message(app, m, browser_screen_draw);
    else
        browser_screen_draw(app);
    return true;
}

bool browser_holds_rows(const AppState* app)
{
    const BrowserState& b = app->browser;
    if (browser_picker_open(&b))
        return false;
    return b.browse_mode == BROWSE_PLAYLIST_ITEMS || (adding(app) && source_mode(b.browse_mode));
}

void browser_mark_added_rows(AppState* app)
{
    BrowserState& b = app->browser;
    ListRow* rows = browser_rows();
    bool marking = adding(app) && !browser_picker_open(&b) && source_mode(b.browse_mode);
    const char* path = source_path(app);
    for (int i = 0; i < b.list.count; ++i) {
        RowText& m = rows[i].marker;
        bool marked = marking && playlist_add_row_marked(&app->playlists, path, &b.list.rows[i]);
        m = marked ? RowText{MARKER_X,    5,       MARKER_WIDTH,  MARKER_HEIGHT,
                             MARKER_TEXT, nullptr, MARKER_COLOUR, ALIGN_LEFT}
                   : RowText{};
    }
}
