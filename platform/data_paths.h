// Folders under the run folder where the program keeps the files it makes
// itself. Vocabulary only: it includes nothing, so every layer may use it.
#pragma once

// Recordings (".vlm" and ".mp3") and the time-shift files of a stream: the
// browser lists the first, the streamer client writes both.
inline constexpr char RECORDINGS_FOLDER[] = "data/recordings/";
