// The path or URL a browser row plays from, by the list it is in: what the
// player opens, the title it shows, an external subtitle file found beside a
// local file, and the subtitle URL a UPnP item may carry.
//
// Contract (any thread, on a row nobody writes at the time):
// - entry_play_path: fills *out and returns 0, or returns -1 when the row
//   has no play path in this mode (an empty result, a UPnP playlist item
//   without URL, the channel list) or when the path would not fit in
//   PATH_SIZE bytes: a too-long combination is refused whole, never cut.
//   local_path and remote_path may be null (taken as empty). Reads the file
//   status of the ".srt" beside a local file.
// - browser_row_of_play_path: the first row whose play path is
//   playing_path, or -1; reads no file status.
#pragma once

#include "browser/browser_list.h"

struct PlayPath {
    char path[PATH_SIZE];           // handed to the player
    char title[PATH_SIZE];          // the text after the path's last "/"
    char subtitle_url[PATH_SIZE];   // a UPnP item's subtitle URL, or ""
    char subtitle_file[PATH_SIZE];  // the existing ".srt" beside a local file, or ""
};

int entry_play_path(const MediaEntry* e, int browse_mode, const char* local_path,
                    const char* remote_path, PlayPath* out);

int browser_row_of_play_path(const BrowserList* list, int browse_mode, const char* local_path,
                             const char* remote_path, const char* playing_path);
