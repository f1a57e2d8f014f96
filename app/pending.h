// Entry points of subsystems that are not part of the program yet (the
// recorder). Each is a named no-op or reports that the path
// is unavailable, so the main loop and dispatcher keep their final
// shape; each is replaced by its subsystem. Main thread only, like the
// callers they stand in for. Results: 0 or a negative ResultCode (ERR_MEDIA_OPEN for a path
// that is not there yet).
#pragma once

struct AppState;

void recording_finish(AppState* app);
