// What the browser screen's parts share: the drawing (browser_screen.cpp),
// the actions behind its rows and buttons (browser_actions.cpp) and the
// playlists and favorites (browser_playlists.cpp). Main thread only.
#pragma once

#include "ui/widget.h"

struct AppState;

// A bar button: its label and what it does.
struct BarButton {
    const char* label;
    SlotAction action;
};

// The display rows of the current list (MAX_BROWSER_ENTRIES), made once.
ListRow* browser_rows();
// Buttons of the bars and the header row: each is drawn and registered
// with its action; false when the widget cannot be made.
bool browser_button(AppState* app, int x, int y, int width, const char* label, SlotAction action);

// Row and button actions.
void browser_activate_row(AppState* app, RegistrySlot* slot);
void browser_hold_row(AppState* app, RegistrySlot* slot);
void browser_back(AppState* app, RegistrySlot* slot);
void browser_go_home(AppState* app, RegistrySlot* slot);
void browser_show_servers(AppState* app, RegistrySlot* slot);
void browser_now_playing(AppState* app, RegistrySlot* slot);
void browser_play(AppState* app, RegistrySlot* slot);
void browser_resume(AppState* app, RegistrySlot* slot);
void browser_slide_show(AppState* app, RegistrySlot* slot);
// "Play To": the renderer picker, whose choice plays the chosen item there.
void browser_play_to(AppState* app, RegistrySlot* slot);
// Whether the chosen item is a UPnP server's (a row of a server's folder,
// or a UPnP item of a playlist): only those can be sent to a renderer.
bool browser_upnp_item_chosen(const BrowserState& b);
void browser_delete_ask(AppState* app, RegistrySlot* slot);
void browser_add_subtitles(AppState* app, RegistrySlot* slot);
void browser_subs_language(AppState* app, RegistrySlot* slot);
void browser_picker_cancel(AppState* app, RegistrySlot* slot);
void browser_toggle_view(AppState* app, RegistrySlot* slot);
void browser_next_sort_key(AppState* app, RegistrySlot* slot);
void browser_flip_sort(AppState* app, RegistrySlot* slot);

// A question over the list column with "Cancel" (the list is opened again)
// and "Ok" (on_ok).
void browser_confirm(AppState* app, const char* question, SlotAction on_ok);
// The wait box of a worker: a spinner centred in the column [area_x,
// area_x + area_w) of the screen, drawn and registered with done as its
// completion. Null when it cannot be made.
Widget* browser_spinner(AppState* app, int area_x, int area_w, SlotAction done);
// Opens the current list again; the home screen shows the error when that
// cannot start. A screen function, so that a message box's "OK" can lead
// back to the refilled list.
void browser_reopen(AppState* app);
// Forgets the chosen item and the highlighted row.
void browser_clear_selection(AppState* app);

// A thumbnail became ready: the icon view's rows take their pictures.
void browser_thumbnails_ready(AppState* app, Widget* list);

// Whether an item is loaded in the player (its screen can be returned to).
bool browser_item_loaded(const AppState* app);

// ---- playlists and favorites (browser_playlists.cpp) ----------------------

// The top bar's playlist buttons, left to right from the list column.
int playlist_top_buttons(const AppState* app, BarButton* out);
// The bottom bar's right group, from the right edge leftwards, in the list
// of playlists and in the add-files mode; -1 in every other state.
int playlist_group_buttons(const AppState* app, BarButton* out);
// Appends a playlist's "Delete" and "Delete All" to the right group (mode
// 0 only); returns the new count.
int playlist_item_buttons(const AppState* app, BarButton* out, int n);
// The header's arrows: the chosen item of a playlist moves up or down.
void browser_item_up(AppState* app, RegistrySlot* slot);
void browser_item_down(AppState* app, RegistrySlot* slot);
// The title of a playlist (its name without extension) into out, and
// whether it is the favorites.
bool playlist_title(const AppState* app, char* out, int size);
// In the add-files mode a tapped row of a source list joins the playlist
// being added to, or leaves it; true when the row was taken so.
bool browser_add_tap(AppState* app, int row);
// Whether a long press on a list row means something in the current state.
bool browser_holds_rows(const AppState* app);
// Gives the rows in the playlist being added to their "+1" marker.
void browser_mark_added_rows(AppState* app);
