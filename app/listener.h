// The play-request listener: another program connects to TCP port 6100 and
// sends text holding an http URL; the player then plays it.
//
// Each connection is read once (at most 512 bytes, waiting at most 2 s for
// them) and closed. Text from "http://" on (at most 1023 bytes) becomes
// current_media_path, the stream choices return to automatic, a busy player
// is released, and a deferred play request is posted. Text without "http://"
// changes nothing. The listener runs while APP_RUNNING is set.
#pragma once

#include <cstddef>
#include <cstdint>

struct AppState;

constexpr uint16_t LISTENER_PORT = 6100;
constexpr int LISTENER_READ_SIZE = 512;
constexpr int LISTENER_RECEIVE_TIMEOUT_MS = 2000;

using PlayRequestPoster = int (*)(AppState* app);

// Starts the listener thread; `post` hands each accepted request to the
// interface (the deferred play request). 0, or -1 when already running.
int listener_start(AppState* app, PlayRequestPoster post, uint16_t port = LISTENER_PORT);
// Wakes the listener, waits for it to end and closes its socket.
void listener_stop();
// Applies one received text (len bytes, not necessarily terminated).
// Returns 1 when it held a URL, 0 otherwise.
int listener_take_text(AppState* app, const char* text, size_t len);
