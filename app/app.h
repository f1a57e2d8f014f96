// The application frame: start-up in a fixed order, the two-level main loop
// that moves between the home screen and the three playback paths, and the
// ordered shutdown. Any start-up failure goes straight to shutdown, which
// still saves the preferences. SIGTERM and SIGINT end the program through
// the same shutdown (exit status 0).
#pragma once

#include "platform/result_codes.h"   // DISPATCH_LEAVE

struct AppState;

constexpr const char* APP_CAPTION = "Velmora Media Player";
constexpr const char* APP_VERSION_TEXT = "4.0.2";
constexpr int DEFAULT_WINDOW_WIDTH = 1000;
constexpr int DEFAULT_WINDOW_HEIGHT = 600;

// Process entry: 0 after an orderly shutdown, -1 when the first lock fails.
int app_main();

// Artwork, fonts, interface surfaces, locks and the long-lived threads; 0 or -1.
int load_resources(AppState* app);
// Joins the long-lived threads and frees what load_resources made.
void release_resources(AppState* app);

// Shows the current screen and waits in the modal loop: 0 when something was
// chosen for playback, -1 when the user quits.
int home_loop(AppState* app, int last_result);
// Plays the chosen item through the right path: 0, a negative error, or
// DISPATCH_LEAVE to end the program.
int play_dispatch(AppState* app);
// Runs the outer loop until the user quits or a dispatch asks to leave.
void main_loop(AppState* app);

// The error message box for a result code, worded for what the user was
// doing (the current list's source, the browse mode, the media kind).
void show_error(AppState* app, int code);

// Switches the window between its framed size and borderless full screen
// for the player (off again when leaving the player). Does nothing under
// always_fullscreen.
void set_player_fullscreen(AppState* app, int on);
