// The live channel screen: the streamer's channel table as a list whose
// tapped row plays that channel, fetched (under a spinner) the first time
// it is needed and whenever the user asks for an update; and the step to
// the neighbouring channel that the player uses for previous and next.
//
// Threads: every function here runs on the main thread. The fetch worker
// fills a table of its own on the command connection (under the streamer's
// command lock); the main thread copies it into the settings once the worker
// has ended.
#pragma once

struct AppState;

// Shows the channel list, fetching the table first when it is empty or
// `refresh` asks for it. 0, or -1 when the fetch could not start (or the
// screen could not be drawn).
int show_channels(AppState* app, bool refresh);
// A tapped channel row: it becomes the current channel and is played as a
// live stream. Rows outside the table are ignored.
void channel_select(AppState* app, int row);
// Moves the current channel by `delta` rows, wrapping around the table, and
// takes the new entry's number and name; false when there is no table.
bool channel_step(AppState* app, int delta);
