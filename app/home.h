// The home screen: background, title lines, the six square buttons, help and
// exit. show_home becomes the current-screen callback.
#pragma once

struct AppState;

void show_home(AppState* app);
