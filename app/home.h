// The home screen: background, the two title lines, the six square buttons
// (Local Media, Remote Media, DLNA/UPNP, Settings, Live Streaming,
// Playlists), help (opens the help page in the desktop's browser) and exit
// (ends the program). show_home becomes the current-screen callback; a
// negative last_error is shown as its message box and reset. Main thread
// only. help_page_url may be called from anywhere.
#pragma once

#include <cstddef>

struct AppState;

void show_home(AppState* app);

// The address of the help page ("https://<host><path>") written into out.
void help_page_url(char* out, size_t size);
