// The information panel's description of a streamer file: the streamer's
// information record, fetched by a worker under a spinner over the panel
// (the command connection may take seconds), turned into the panel's
// description.
//
// Threads: remote_info_fetch and its completion on the main thread; the
// worker uses the command connection under the link's lock.
#pragma once

#include "engine/media_info.h"

struct AppState;
struct MediaInfoRecord;

// The panel's description of a record: length (unless the record says it is
// unknown), bit rate, and one stream per entry, its kind by the
// description's first word ("Video:", "Audio:", "Subtitle:"; others are
// left out).
void remote_info_to_media(const MediaInfoRecord& record, MediaInfo* out);

// Starts a worker for the selected item under a spinner over the panel;
// when it ends, the description is stored in app->info_panel (status 0) and
// done(app, status) runs on the main thread with 0 or the exchange's result
// code. A redraw that frees the spinner loses only the completion: the
// next call's worker takes the answer the first one left.
int remote_info_fetch(AppState* app, void (*done)(AppState* app, int status));
