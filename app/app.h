// The application frame: start-up in a fixed order, the two-level main loop
// that moves between the home screen and the three playback paths, and the
// ordered shutdown, which undoes start-up in exactly the reverse order.
//
// Contract: every function here runs on the main thread. Shutdown saves the
// settings only when start-up got as far as loading them (or replaced a
// missing or damaged file with the defaults); a start-up that failed before
// never touches the user's file. SIGTERM and SIGINT end the program through
// the same shutdown (exit status 0).
#pragma once

#include "platform/result_codes.h"

struct AppState;

constexpr const char* APP_CAPTION = "Velmora Media Player";
constexpr const char* APP_VERSION_TEXT = "4.0.2";
constexpr int DEFAULT_WINDOW_WIDTH = 1000;
constexpr int DEFAULT_WINDOW_HEIGHT = 600;

// Process entry: 0 after an orderly run and shutdown, -1 when start-up failed
// (the first lock, sockets, the record, SDL, the window, GL, artwork or fonts).
int app_main();

// Artwork, fonts, interface surfaces, the player locks (then APP_RUNNING) and
// the long-lived threads; 0 or -1. Start-up installs the listener's
// play-request handler here.
int load_resources(AppState* app);
// Clears APP_RUNNING, joins the long-lived threads and frees what
// load_resources made, in the reverse order; safe after a partial load.
void release_resources(AppState* app);

// Shows the current screen and waits in the modal loop: 0 when something was
// chosen for playback, -1 when the user quits.
int home_loop(AppState* app, int last_result);
// Plays the chosen item through the right path: 0, a negative ResultCode, or
// DISPATCH_LEAVE to end the program.
int play_dispatch(AppState* app);
// Runs the outer loop until the user quits or a dispatch asks to leave.
void main_loop(AppState* app);

// The error message box for a result code, worded for what the user was
// doing (the current list's source, the browse mode, the media kind).
void show_error(AppState* app, int code);

// The frame every screen but the home screen draws on: background, title
// bar and bottom bar.
void draw_screen_frame(AppState* app);

// Switches the window between its framed size and borderless full screen
// for the player (off again when leaving the player). Does nothing under
// always_fullscreen or without a native window.
void set_player_fullscreen(AppState* app, int on);
