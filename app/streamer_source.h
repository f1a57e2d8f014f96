// The frame's side of the streamer: wiring the link into the record at
// start-up, closing it at shutdown, and the browser's remote source, which
// lists a streamer folder (or its subtitle files, for the subtitle picker)
// into browser rows.
//
// Threads: streamer_link_start and streamer_link_stop on the main thread at
// start-up and shutdown; streamer_source_fill on the browser's list worker,
// which is then the command connection's only user.
#pragma once

#include <mutex>

#include "browser/listing.h"

struct AppState;

// Wires app->link to the flag word, the settings, the abort flag and the
// streamer-link lock; the link stays down until a source needs it.
void streamer_link_start(AppState* app);
// The "command lock": held for a whole exchange on the command connection
// (request, reply and what follows it), so that the list worker and the
// information worker never interleave their bytes.
std::mutex& streamer_command_lock();
// Closes every connection of the link.
void streamer_link_stop(AppState* app);

// Source hook: the folder request.path of the streamer; 0 or the code of
// the exchange (ERR_NO_SHARED_MEDIA for an empty folder).
int streamer_source_fill(BrowserList* list, const FillRequest* request);
