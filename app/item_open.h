// Opening the chosen item for the play dispatcher and tidying up after it:
// the player screen comes up with "Opening media, please wait...", then the
// item is opened by its kind (a local file or URL through the local engine;
// streamer files, live channels and recordings through the streaming
// session), and after the dispatch the session's bits are put back.
//
// Threads: main thread only.
#pragma once

struct AppState;

// Opens nav.current_media_path for nav.media_kind: 0 with the item open
// (nav.source_kind says which player runs it), else a negative ResultCode
// (ERR_MEDIA_OPEN for an item that cannot be opened). APP_OPENING is set
// while it runs (unless the player is re-entered) and always cleared.
int remote_media_open(AppState* app);
// Runs the local player on the opened item and leaves the player screen.
int local_player_run(AppState* app);
// Plays the chosen UPnP item on nav.play_to_renderer with the player screen
// as its remote control: 0 when the item finished or previous/next was
// asked for, 1 when the user stopped it, 2 (DISPATCH_LEAVE) when the window
// was closed; ERR_GENERIC when there is no renderer or it would not start
// the item, ERR_RENDERER_LOST when it left the network or stopped answering.
int play_to_run(AppState* app);
// After a dispatch: the item's open and closing bits go and, unless the
// player is re-entered, its positions (the next item starts at its start).
void remote_session_close(AppState* app);
// Frees the player's window-sized overlay layer when the player is left.
void player_overlays_free(AppState* app);
