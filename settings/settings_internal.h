// Shared pieces of the settings screens, internal to settings/: what the
// screens were handed at installation, the common frame, and small
// builders that create, draw and register one control each. Main thread
// only. Builders return the widget, or null when it could not be made (the
// screen then gives up with -1).
#pragma once

#include <cstdint>

#include "settings/settings_screens.h"
#include "ui/surface.h"

namespace settings_ui {

struct Installed {
    Settings* settings = nullptr;
    UiState* ui = nullptr;
    ScreenFn home = nullptr;
};
Installed& installed();

// Layout of the left pane (pixels).
constexpr int PANE_WIDTH = 420;
constexpr int COLUMN_WIDTH = 400;
constexpr int COLUMN_X = (PANE_WIDTH - COLUMN_WIDTH) / 2;
constexpr int INSET = 14;  // text and controls from the panel's and dialog's edges
constexpr int CONTENT_X = COLUMN_X + INSET;
constexpr int CONTENT_WIDTH = COLUMN_WIDTH - 2 * INSET;

// Title-bar gradient tops: the player options are set apart by a lighter bar.
constexpr uint32_t TITLE_TOP = 0xFF151515;
constexpr uint32_t TITLE_TOP_PLAYER = 0xFF353535;

// Clears the registry and the widgets (all when `all`), draws the frame
// with its title bar starting at title_top and the screen's title at its
// left, and returns the surface (null when there is none).
Surface* begin_screen(int all, uint32_t title_top, const char* title);
// The description panel at the top of the column; returns the y where the
// dialog below it starts.
int draw_panel(Surface* s, const char* text);
// The dialog card from top to just above the bottom bar.
void draw_dialog(Surface* s, int top);
// A black label in the 20-point set, left-aligned and vertically centred in
// its box (wrapped when wider); returns the y below the text.
int draw_label(Surface* s, const char* text, int x, int y, int width, int height);

// A text button (button art stretched to width x 54), drawn and registered.
Widget* add_button(Surface* s, int x, int y, int width, const char* label, SlotAction action);
// "Back" at the left and "Ok" at the right of the bottom bar.
bool add_back_and_ok(Surface* s, SlotAction back, SlotAction ok);
// A check box showing state with its label to the right (label_width wide).
Widget* add_checkbox(Surface* s, int x, int y, int state, const char* label, int label_width,
                     SlotAction setter);
// An edit box registered for the pointer, for keys (check runs after each
// change; null for none) and for the caret.
Widget* add_edit_box(Surface* s, int x, int y, int width, int height, const char* text, int limit,
                     SlotAction check);
// Decimal text of a number ("" for 0 when zero_empty).
void number_text(uint32_t value, bool zero_empty, char* out, int size);
// The y of the bottom bar.
int bottom_bar_y(const Surface* s);

}  // namespace settings_ui
