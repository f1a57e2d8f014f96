// Event numbers exchanged between threads through SDL 1.2's queue. The event
// types are SDL's user range (SDL_USEREVENT is 24 in SDL 1.2); the codes are
// what user events of type EVENT_USER carry in user.code.
#pragma once

// Event types.
constexpr int EVENT_USER = 24;           // UI timer and thumbnail worker, code below
constexpr int EVENT_ALLOC_PICTURE = 26;  // engine: allocate the picture entry (data1 = session)
constexpr int EVENT_SESSION_END = 28;    // engine: the session ended on its own (data1 = session)

// Codes of EVENT_USER events.
enum UiEventCode : int {
    UI_EVENT_LONG_PRESS = 5,
    UI_EVENT_CARET = 7,
    UI_EVENT_SPINNER = 8,
    UI_EVENT_PLAY_REQUEST = 10,
    UI_EVENT_PERIODIC = 11,
    UI_EVENT_THUMBNAIL = 12,
};
