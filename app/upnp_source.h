// The frame's side of DLNA/UPnP: starting and stopping discovery, and the
// browser's two UPnP sources — the media servers at "/" and a server's
// folders (mode 5), and the renderers of the Play To picker — which turn
// the upnp module's rows and device copies into browser rows.
//
// Threads: upnp_thread_start/stop by start-up and shutdown (main thread);
// the fill functions on the browser's list worker.
#pragma once

#include <atomic>
#include <cstdint>

#include "browser/listing.h"

struct AppState;

// Starts discovery (0; discovery that cannot bind is silently off) and
// stops it: quits its loop, cancels a Browse in flight and joins.
int upnp_thread_start(AppState* app);
void upnp_thread_stop();

// Source hooks: the servers at "/" (ERR_NO_UPNP_SERVER when none is known),
// else ".." and the folder's children; a path that names no known server
// is ERR_GENERIC. cancel (may be null) ends a listing early; it is read
// only.
int upnp_source_fill(BrowserList* list, const FillRequest* request);
int upnp_renderer_rows(BrowserList* list, const FillRequest* request);
void upnp_source_set_cancel(const std::atomic<uint8_t>* cancel);
