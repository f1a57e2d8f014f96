// The settings screens: the menu and its five screens (account, network,
// player options, advanced player options, streaming options), which edit
// the persisted Settings block. Check boxes and selectors write their
// setting at once; edit boxes are written back when their screen is left
// through its parent (the menu, or the player options for the advanced
// screen), and the numeric boxes are checked after every character.
// Nothing is saved here: the block reaches the disk at shutdown.
//
// Wiring: the screens are screen functions of the toolkit (ScreenFn), so
// they receive the application record only as the toolkit's opaque owner
// and never look into it. What they work on is handed over once by
// settings_screens_install: the Settings block, the interface part and the
// home screen that "Menu" returns to. The application installs them before
// showing the menu (settings_menu_open does both).
//
// Threads: main thread only (screens, setters and checks run from the
// modal loop).
#pragma once

#include "ui/ui_state.h"
#include "ui/widget.h"

struct Settings;

// Places of the settings screens' edit boxes in the per-screen widget
// table (the account boxes keep the toolkit's own places, which the home
// screen also reads).
constexpr int SCREEN_NETWORK_HOST = SCREEN_ACCOUNT_PASSWORD + 1;
constexpr int SCREEN_NETWORK_PORT = SCREEN_ACCOUNT_PASSWORD + 2;
constexpr int SCREEN_STREAMING_BITRATE = SCREEN_ACCOUNT_PASSWORD + 3;
constexpr int SCREEN_SEEK_FORWARD = SCREEN_ACCOUNT_PASSWORD + 4;
constexpr int SCREEN_SEEK_BACKWARD = SCREEN_ACCOUNT_PASSWORD + 5;
constexpr int SCREEN_SLIDESHOW = SCREEN_ACCOUNT_PASSWORD + 6;
static_assert(SCREEN_SLIDESHOW < SCREEN_WIDGET_COUNT);

// The messages of the numeric checks.
constexpr const char* BITRATE_MESSAGE = "Please enter a bitrate between 1 and 3000";
constexpr const char* DURATION_MESSAGE = "Please enter a seek duration between 1 and 9999 secs";
// Top offset of their message boxes.
constexpr int CHECK_MESSAGE_TOP = 160;

// Hands the screens what they edit and where "Menu" leads. home is called
// with the toolkit's owner.
void settings_screens_install(Settings* settings, UiState* ui, ScreenFn home);
// Installs, then shows the menu; 0 or -1 as show_settings_menu.
int settings_menu_open(Settings* settings, UiState* ui, ScreenFn home);

// The screens. Each commits what the screen it replaces leaves behind (as
// described above), clears the widgets, draws itself from the settings,
// becomes the current screen and presents. 0, or -1 when a widget could not
// be made (what was drawn stays; nothing is presented) or nothing is
// installed.
int show_settings_menu(AppState* app);
int show_account_settings(AppState* app);
int show_network_settings(AppState* app);
int show_player_options(AppState* app);
int show_advanced_player_options(AppState* app);
int show_streaming_options(AppState* app);

// The checks, run as key actions of their boxes after every character: a
// value outside the box's range resets its setting, keeps the other boxes
// of the screen and shows the message box, whose OK shows the screen again
// from the settings.
void check_bitrate(AppState* app, RegistrySlot* slot);
void check_seek_duration(AppState* app, RegistrySlot* slot);
void check_slideshow_period(AppState* app, RegistrySlot* slot);
