// The play-request listener: another program connects to TCP port 6100 and
// sends text holding an http URL; the player then plays it.
//
// Each connection is read once (at most 512 bytes, waiting at most 2 s for
// them) and closed. Text from "http://" on goes into a one-slot mailbox (a
// newer URL replaces one not yet collected), a busy player is released, and
// a deferred play request is posted. Text without "http://" changes nothing.
// The listener runs while APP_RUNNING is set.
//
// Threads: listener_start, listener_stop, listener_collect and
// listener_honour_request belong to the main thread. The listener thread
// never writes AppState fields: it changes the flag word through its helpers
// and hands the URL over in the mailbox, guarded by the mailbox's own lock;
// the main thread copies it into the record when it honours the request.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/flag_word.h"

struct AppState;

constexpr uint16_t LISTENER_PORT = 6100;
constexpr int LISTENER_READ_SIZE = 512;
constexpr int LISTENER_RECEIVE_TIMEOUT_MS = 2000;

using PlayRequestPoster = int (*)(AppState* app);

// Starts the listener thread on `port`; `post` hands each accepted request
// to the interface (the deferred play request). 0 (also when the port is
// taken: the player then runs without the listener), -1 when already running.
int listener_start(AppState* app, PlayRequestPoster post, uint16_t port = LISTENER_PORT);
// Wakes the listener, waits for it to end, closes its socket and empties the
// mailbox.
void listener_stop();
// Listener thread (tests call it from any thread): applies one received text
// (len bytes, not necessarily terminated): mails the URL and clears
// APP_PLAYER_BUSY and APP_STREAM_ACTIVE when the player was busy. 1 when the
// text held a URL, 0 otherwise.
int listener_take_text(FlagWord* flags, const char* text, size_t len);
// Main thread: moves a mailed URL into nav.current_media_path and returns the
// three stream choices to STREAM_AUTO. 1 when a URL was waiting, 0 otherwise.
int listener_collect(AppState* app);
// Main thread: whether a URL waits in the mailbox. It is mailed before the
// busy player is released and before the request is posted, so a player
// loop that ended because of it can tell at once.
bool listener_pending();
// Main thread: the play-request handler start-up installs in the interface
// (ui_set_play_request_handler): it collects the mailed URL and asks for it
// to be played as a local media item (the modal loop then ends).
void listener_honour_request(AppState* app);
