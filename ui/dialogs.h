// Message boxes and the error message box every screen reports through.
//
// Contract (main thread only):
// - message_box clears the registry and the non-persistent widgets, draws
//   the box with its text, registers "Menu" (the home screen) and "OK"
//   (on_ok, or the current screen) and presents the surface. Both buttons
//   call their screen with UiState::owner.
// - show_error turns a result code (platform/result_codes.h) into a message
//   box. Some texts depend on what the user was doing: the caller hands that
//   in as an ErrorContext (the application's wrapper fills it from its
//   navigation). While abort_requested is set only the codes that matter
//   after a cancel are shown, and nothing is cleared.
// - ui_set_home_screen: the screen that "Menu" and the errors sending the
//   user home (ERR_NO_ACCOUNT, ERR_NO_CHANNELS) return to; the home screen
//   registers itself the first time it is shown.
// - ui_set_message_box_observer: called with each message box's text, top
//   offset and width before it is drawn (tests read what the user would be
//   told without OCR). Null removes it.
#pragma once

#include <SDL/SDL.h>

#include "ui/ui_state.h"

// Where users are sent for help; one place for both addresses.
extern const char SUPPORT_ADDRESS[];
extern const char HELP_PAGE_HOST[];
extern const char HELP_PAGE_PATH[];

// What an error text depends on (values of MediaSource, BrowseMode and
// MediaKind from platform/media_enums.h).
struct ErrorContext {
    int list_source;
    int browse_mode;
    int media_kind;
};

void message_box(UiState* ui, SDL_Surface* surface, const char* text, int top, int width,
                 ScreenFn on_ok);
void show_error(UiState* ui, const ErrorContext& context, int code);
// The text show_error uses for a result code (into out); false when the code
// is not shown because the user cancelled.
bool error_message_text(const ErrorContext& context, bool cancelled, int code, char* out,
                        int out_size);

void ui_set_home_screen(ScreenFn home);

using MessageBoxObserver = void (*)(const char* text, int top, int width);
void ui_set_message_box_observer(MessageBoxObserver observer);
