// The media browser's screen: the list column on the left with its title,
// header row (view, sort key, direction) and list; the information panel of
// the chosen item on the right; the bar buttons; and what they do, from
// opening a list on a worker under a wait box to starting playback and
// stepping through the list while it plays.
//
// Threads: main thread only. The list worker (browser_open_list) fills the
// browser's table on its own thread; the main thread touches the table
// again only in the wait box's completion (browser_list_done).
#pragma once

struct AppState;

// Installs the browser's hooks: the play-request handler (a URL sent to the
// player plays through the local media entry), the player's library view,
// and the list sources. Start-up, before the UI timer runs.
void browser_install(AppState* app);

// The home screen's entries: the local media at the local path.
void show_local_media(AppState* app);
// The DLNA/UPnP entry: mode 5 with both UPnP paths at "/", listing the
// media servers found so far.
void show_upnp_servers(AppState* app);
// "Remote Media": the streamer's folder stored as the remote path (its
// root when none is stored), listed through the streamer link.
void show_remote_media(AppState* app);
// The list of playlists, and the favorites (the first playlist); the
// previous path follows the list being left.
void browser_show_playlists(AppState* app);
void browser_show_favorites(AppState* app);

// Draws the screen for the current list (a screen function).
void browser_screen_draw(AppState* app);

// Opens the current list: clears the table, shows the wait box and fills
// the table on a worker. 0, or -1 when the box or the worker cannot be made.
int browser_open_list(AppState* app);

// Chooses and starts the next (or, with APP_WANT_PREVIOUS, the previous)
// item of the list for continuous play. 0, or -1 when the order has run
// through once and repeat is off (or nothing in the list plays).
int play_order_advance(AppState* app);

// Hands path to the player: the resume position is cleared unless the
// browser's resume flag is set, and the play request is raised. -1 for an
// empty path.
int player_start_entry(AppState* app, const char* path);
