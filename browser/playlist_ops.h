// What the user does to playlists and favorites: create, delete, empty,
// move and remove items, bookmark a file or a folder into the favorites,
// the add-files mode, and "View". Each operation takes the store and plain
// values (the playlist's slot, paths, the selection, the row) and saves the
// changed playlist itself, except inside the add-files mode, where "Done"
// saves and "Cancel" puts the playlist back as the mode found it.
//
// Results: a message for the screen to show, or null when there is nothing
// to say. Messages are either the constants below or, for the ones with the
// item's name in them, text in store->message (valid until the next
// operation). A refusal changes nothing; a change whose save failed stays in
// memory for this run and gives PLAYLIST_SAVE_FAILED.
//
// Main thread only, and never while a list fill runs (browser/playlist.h).
#pragma once

#include <ctime>

#include "browser/browser_list.h"
#include "browser/playlist.h"

extern const char PLAYLISTS_FULL[];          // 16 playlists exist
extern const char PLAYLIST_NAME_EMPTY[];     // "Ok" with an empty name
extern const char PLAYLIST_NAME_TAKEN[];     // the name repeats an existing one
extern const char PLAYLIST_NAME_UNSAFE[];    // a "/" or a leading "."
extern const char FAVORITES_UNDELETABLE[];   // "Delete" on the favorites
extern const char FAVORITES_FULL[];          // "Bookmark" at 999 items
extern const char PLAYLIST_ITEMS_FULL[];     // an addition at 999 items
extern const char PLAYLIST_PATH_TOO_LONG[];  // the item's path would not fit
extern const char PLAYLIST_SAVE_FAILED[];    // the file could not be written
extern const char PLAYLIST_DELETE_FAILED[];  // the file could not be removed
// The screen's own texts for the dialogs of these operations.
extern const char PLAYLIST_NAME_PROMPT[];    // the "New" dialog's text
extern const char PLAYLIST_NAME_LABEL[];     // its label: "Playlist name:"
extern const char CONFIRM_DELETE_ITEM[];     // before "Delete"
extern const char CONFIRM_EMPTY_PLAYLIST[];  // before "Delete All"

// "playlist_" and the local time of now in the C library's 24-character
// form, every character but ASCII letters and digits made "_": the name
// the "New" dialog starts with.
void playlist_default_name(time_t now, char* out, size_t size);

// Before the "New" dialog: PLAYLISTS_FULL when all slots are in use.
const char* playlist_create_check(const PlaylistStore* store);
// "Ok" in the "New" dialog: makes the playlist in the next free slot
// (store->count - 1 afterwards) and saves it; null when made. The typed
// name is cut (never inside a character) so that name + ".vlpls" fits the
// 63 bytes. A name is taken when an existing playlist's name without
// ".vlpls" begins it.
const char* playlist_create(PlaylistStore* store, const char* typed_name);
// "Delete" in the list of playlists: removes the file and the slot; the
// later slots move down. Favorites: FAVORITES_UNDELETABLE.
const char* playlist_delete(PlaylistStore* store, int playlist);
// "Delete" in a playlist: the item goes, the later ones move down.
const char* playlist_item_remove(PlaylistStore* store, int playlist, int item);
// "Delete All": no items left.
const char* playlist_clear(PlaylistStore* store, int playlist);
// The arrows: swaps the item with the one before (up) or after it; *moved_to
// gets the item's new index (unchanged when it cannot move).
const char* playlist_item_move(PlaylistStore* store, int playlist, int item, bool up,
                               int* moved_to);

// "Bookmark": the selected file (source_path + its display name) joins the
// favorites; "Added file %s to playlist %s." or FAVORITES_FULL.
const char* favorites_add_file(PlaylistStore* store, int list_source, const char* source_path,
                               const SelectedItem* selected);
// "Bookmark Folder": the folder at source_path (UPnP: its display path, with
// container_id as URL) goes in among the folder items in name order;
// "Added folder %s to favorites list." or FAVORITES_FULL.
const char* favorites_add_folder(PlaylistStore* store, int list_source, const char* source_path,
                                 const char* container_id);

// The add-files mode. begin keeps a copy of the playlist to add to (an
// earlier mode still on is finished as by "Done" first); -1 when the slot
// is not in use or memory runs out.
int playlist_add_begin(PlaylistStore* store, int playlist);
bool playlist_add_active(const PlaylistStore* store);
// A tapped row: removed from the playlist when it is in it already, else
// added (folders in name order among the folder items, files at the end).
// *marked tells whether the row now shows the "+1" marker.
const char* playlist_add_row(PlaylistStore* store, int list_source, const char* source_path,
                             const MediaEntry* row, bool* marked);
// "Select All": every picture, video and audio row is added at the end,
// without looking for duplicates, until the playlist is full.
const char* playlist_add_all(PlaylistStore* store, int list_source, const char* source_path,
                             const BrowserList* list);
// Whether row shows the "+1" marker: it is in the playlist being added to.
bool playlist_add_row_marked(const PlaylistStore* store, const char* source_path,
                             const MediaEntry* row);
// "Done": saves and ends the mode. "Cancel": puts the copy back, ends it.
const char* playlist_add_done(PlaylistStore* store);
void playlist_add_cancel(PlaylistStore* store);

// "View" on a playlist of the list of playlists: no selection, no
// highlighted row, the previous path "data/playlists/", and the playlist's
// items in mode 0 with the list of playlists as the mode Back returns to.
void playlist_view(BrowserState* browser, int playlist);
