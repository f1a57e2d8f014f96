#include "app/home.h"
// Filled in with the UI toolkit.
void show_home(AppState*) {}
