// Play To: remote control of a DLNA media renderer over its AVTransport
// service. The renderer fetches the item's URI itself; this side only sends
// SetAVTransportURI, Play, Pause, Stop and Seek, and polls GetPositionInfo
// and GetTransportInfo once a second.
//
// A PlayToSession owns a controller thread that sends every action, so the
// main thread never waits on the network: it posts commands and reads a
// snapshot of what the renderer reported. An action that fails is sent again,
// up to five attempts in all (polls once).
//
// Renderers differ in how they move and report: a renderer that refuses the
// "ABS_COUNT" seek unit, or reports the not-implemented count, is driven by
// "REL_TIME" (and "RelTime" for the position) from then on; what worked is
// remembered per renderer (by UDN) for the rest of the run.
//
// Threads: play_to_session_* by one owner thread (the main thread); the
// controller thread is private. The pure helpers by any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// The transport states, by the first substring match in this order:
// "PLAYING", "TRANSITIONING", "STOPPED", "PAUSED" (PAUSED_PLAYBACK and
// PAUSED_RECORDING); any other text is other; no text is unknown.
enum TransportState : int {
    TRANSPORT_UNKNOWN = 0,
    TRANSPORT_PLAYING = 1,
    TRANSPORT_TRANSITIONING = 2,
    TRANSPORT_STOPPED = 3,
    TRANSPORT_PAUSED = 4,
    TRANSPORT_OTHER = 5,
};
TransportState transport_state_match(const char* text);

// The absolute count scale: 0 .. COUNT_SCALE over the item's duration;
// COUNT_SCALE itself is the renderer's "not implemented".
constexpr int64_t COUNT_SCALE = 2147483647;
// The count of a position (0 when the duration is unknown).
int64_t play_to_count_for(int64_t position_ms, int64_t duration_ms);
// The position of a count; -1 for the not-implemented count, a negative
// count, or an unknown duration.
int64_t play_to_position_for(int64_t count, int64_t duration_ms);
// "H:MM:SS" (hours unbounded) of a position, for REL_TIME targets.
void play_to_time_text(int64_t position_ms, char* out, size_t out_size);
// A "H+:MM:SS[.F+]" or "H+:MM:SS[.F0/F1]" text in ms; -1 when it is not
// one ("NOT_IMPLEMENTED", empty, garbage).
int64_t play_to_parse_time(const char* text);

enum PlayToStart : int {
    PLAY_TO_STARTING = 0,
    PLAY_TO_STARTED = 1,
    PLAY_TO_START_FAILED = 2,
};

// What the controller last learnt; a copy for the owner.
struct PlayToStatus {
    int start;              // PlayToStart
    TransportState state;   // of the last poll that answered
    int64_t position_ms;    // -1 until a poll reported one
    int64_t duration_ms;    // the given duration, or the renderer's track duration; 0 unknown
    uint32_t polls;         // poll rounds finished (answered or not)
    uint32_t stops_done;    // Stop actions that succeeded
    uint32_t stops_failed;  // Stop actions that failed five times
    uint32_t seeks_failed;  // seeks refused in every unit
    bool gone;              // the renderer stopped answering (several polls in a row)
    bool seek_by_time;      // this renderer is driven by REL_TIME
};

enum PlayToCommand : int {
    PLAY_TO_STOP = 0,
    PLAY_TO_SEEK = 1,  // argument: the position in ms
    PLAY_TO_PAUSE = 2,
    PLAY_TO_RESUME = 3,  // Play again after a pause
};

struct PlayToSession;

// Opens a session on the renderer of that UDN and starts the item: the
// controller sends SetAVTransportURI and then Play. duration_ms may be 0
// (unknown; the renderer's track duration is used once reported). Null when
// a text is missing or too long, or no thread can be made.
PlayToSession* play_to_session_open(const char* renderer_udn, const char* uri, const char* metadata,
                                    int64_t duration_ms);
// Queues a command; commands run in order between polls.
void play_to_session_command(PlayToSession* s, PlayToCommand command, int64_t argument_ms);
// The controller's latest findings.
PlayToStatus play_to_session_status(PlayToSession* s);
// Ends the session: when stop is true a Stop is sent first (waiting at most
// stop_wait_ms for it); then the action in flight is cancelled and the
// thread joined. Null is ignored.
void play_to_session_close(PlayToSession* s, bool stop, int stop_wait_ms);

// Tests: the time limit of one action (default 5 s) and of one poll action
// (default 2 s), and the poll period (default 1 s). A renderer is taken as
// gone after this many poll rounds in a row without any answer (default 5).
void play_to_set_timing(int action_timeout_ms, int poll_timeout_ms, int poll_period_ms,
                        int silent_polls_for_gone);
// Forgets what was learnt about renderers' seek units (tests).
void play_to_forget_renderers();
