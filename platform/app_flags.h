// Bits of the application's flag word (AppState::flags). Vocabulary only: it
// includes nothing. The word is shared between threads: any thread reads and
// changes it, but only through the FlagWord helpers (platform/flag_word.h).
#pragma once

constexpr unsigned APP_IN_USE = 0x1;              // the single record slot is taken
constexpr unsigned APP_RUNNING = 0x2;             // runtime locks exist; the listener runs
constexpr unsigned APP_STREAMER_CONNECTED = 0x4;  // a streamer connection is up
constexpr unsigned APP_PLAYER_BUSY = 0x8;         // a player path is playing
constexpr unsigned APP_PLAYER_SCREEN = 0x10;      // the player's screen is up
constexpr unsigned APP_MEDIA_OPEN =
    APP_PLAYER_SCREEN;                               // an item is open: its player owns the screen
constexpr unsigned APP_STREAM_ACTIVE = 0x20;         // streaming session: stream running
constexpr unsigned APP_PLAYING = APP_STREAM_ACTIVE;  // the item plays (clocks run, not paused)
constexpr unsigned APP_RECORDING_OPEN = 0x40;        // a recording is being written
constexpr unsigned APP_STREAM_BUFFERING = 0x80;      // streaming session: buffering
constexpr unsigned APP_REENTER_PLAYER = 0x100;       // enter the player again at once
constexpr unsigned APP_OPENING = 0x200;              // an item is being opened ("Opening media...")
constexpr unsigned APP_CLOSING = 0x400;              // an item is being closed ("Closing media...")
constexpr unsigned APP_REBUFFERING = 0x1000;         // streaming session: refilling after a stall
constexpr unsigned APP_STREAM_STALLED = 0x2000;      // the streamer link stalled
constexpr unsigned APP_REMOTE_SESSION = 0x4000;      // a remote streaming session stays open
constexpr unsigned APP_WANT_PREVIOUS = 0x8000;       // step to the previous item
constexpr unsigned APP_WANT_NEXT = 0x10000;          // step to the next item
constexpr unsigned APP_LOW_BANDWIDTH = 0x20000;      // streaming session: the link is too slow
constexpr unsigned APP_PAUSED = 0x40000;             // the user paused
constexpr unsigned APP_CANNOT_PAUSE = 0x80000;  // the source cannot pause (live without a store)
