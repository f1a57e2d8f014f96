// EngineContext: the parts of the application record the playback engine
// works on, handed to it as pointers so that the engine never sees the whole
// record.
//
// - now:      the engine's own part (what is playing, where it stands)
// - out:      the video output (screen size, aspect mode, the video quad)
// - flags:    the shared flag word (APP_PLAYER_BUSY, APP_REENTER_PLAYER)
// - settings: read-only; read on the main thread at open (slide-show period,
//             the starting "sound on", the subtitle character set)
// - cues:     the external subtitle cues (subtitles/cue_table.h): emptied and
//             loaded by media_open, picked by the video refresh, both on the
//             main thread; null = no external subtitles
//
// The caller owns all five and keeps them alive while a session runs; a
// session keeps a copy of the context. Built on the main thread.
#pragma once

#include "platform/flag_word.h"

struct CueTable;
struct NowPlaying;
struct Settings;
struct VideoOutput;

struct EngineContext {
    NowPlaying* now;
    VideoOutput* out;
    FlagWord* flags;
    const Settings* settings;
    CueTable* cues;
};
