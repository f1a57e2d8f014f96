// Sorting a browser list by the sort key the user chose (setting sort_key):
// name, date or size, each ascending (even keys) or descending (odd keys),
// with folders always ahead of the other rows and a ".." first row kept on
// top. The sort button cycles the key and the arrow button flips its
// direction; both helpers live here so that the screen and the sort agree.
//
// Contract (main thread; the list must not be filled at the same time):
// - browser_sort: leaves playlist items and the list of playlists in their
//   own order; otherwise sorts rows [0, count) in place. Equal rows keep
//   their list order, also for the descending keys. An unknown key sorts as
//   SORT_NAME_UP. The date key reads a row's file status (current_path +
//   name, or the name alone when current_path is empty or null) once, and
//   only for rows without a modification time or a date text. The caller
//   re-finds the playing row afterwards (browser_row_of_play_path) and
//   resets the play order, whose row indices no longer hold.
// - browser_sort_key_next: name -> date -> size -> name, keeping the direction.
// - browser_sort_key_flip: the same key in the other direction.
// - browser_sort_key_label: "Name", "Date" or "Size" (never null).
#pragma once

#include "browser/browser_list.h"

void browser_sort(BrowserList* list, int browse_mode, int sort_key, const char* current_path);

int browser_sort_key_next(int key);
int browser_sort_key_flip(int key);
const char* browser_sort_key_label(int key);
