// Hooks of the message boxes (the boxes themselves are declared with the
// widgets in ui/widget.h).
//
// - ui_set_home_screen: the screen that the message boxes' "Menu" button and
//   the errors sending the user home (-12, -13) return to; the home screen
//   registers itself the first time it is shown.
// - ui_set_message_box_observer: called with each message box's text, top
//   offset and width before it is drawn (used by tests to read what the user
//   would be told without OCR). Null removes it.
#pragma once

struct AppState;

void ui_set_home_screen(void (*home)(AppState* app));

using MessageBoxObserver = void (*)(const char* text, int top, int width);
void ui_set_message_box_observer(MessageBoxObserver observer);
