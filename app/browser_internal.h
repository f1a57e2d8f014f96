// What the browser screen's two halves share: the drawing
// (browser_screen.cpp) and the actions behind its rows and buttons
// (browser_actions.cpp). Main thread only.
#pragma once

#include "ui/widget.h"

struct AppState;

// The display rows of the current list (MAX_BROWSER_ENTRIES), made once.
ListRow* browser_rows();
// Buttons of the bars and the header row: each is drawn and registered
// with its action; false when the widget cannot be made.
bool browser_button(AppState* app, int x, int y, int width, const char* label, SlotAction action);

// Row and button actions.
void browser_activate_row(AppState* app, RegistrySlot* slot);
void browser_back(AppState* app, RegistrySlot* slot);
void browser_go_home(AppState* app, RegistrySlot* slot);
void browser_now_playing(AppState* app, RegistrySlot* slot);
void browser_play(AppState* app, RegistrySlot* slot);
void browser_resume(AppState* app, RegistrySlot* slot);
void browser_slide_show(AppState* app, RegistrySlot* slot);
void browser_delete_ask(AppState* app, RegistrySlot* slot);
void browser_add_subtitles(AppState* app, RegistrySlot* slot);
void browser_picker_cancel(AppState* app, RegistrySlot* slot);
void browser_toggle_view(AppState* app, RegistrySlot* slot);
void browser_next_sort_key(AppState* app, RegistrySlot* slot);
void browser_flip_sort(AppState* app, RegistrySlot* slot);

// A thumbnail became ready: the icon view's rows take their pictures.
void browser_thumbnails_ready(AppState* app, Widget* list);

// Whether an item is loaded in the player (its screen can be returned to).
bool browser_item_loaded(const AppState* app);
