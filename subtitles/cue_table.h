// The timed subtitle texts of the item being played: cues from an external
// SRT file, or cues added one by one from streamed subtitle packets, and the
// choice of the cue to show at a playback time.
//
// CueTable is a part of the application record (AppState::cues). Its 8,192
// slots (about 2 MB) are taken from the heap when the table is first filled
// and kept until the table goes, so an item without subtitles costs nothing
// and records built on a stack stay small.
//
// Threads: main thread only. The media open empties and loads the table
// (subtitle_cues_clear, subtitle_file_load) and the video refresh picks from
// it (subtitle_cue_pick); both run on the main thread. Streamed packets are
// added (subtitle_stream_cue_add) by the player that shows them, on the main
// thread; a receiver thread hands its packets over rather than adding them.
//
// Picking: the first cue, in table order, with start <= t < end becomes the
// shown cue; its text is copied to shown_text and `changed` is raised for the
// drawing code, which clears it once it has drawn the text. Local playback
// searches after the shown cue, streamed playback from it. When t goes back
// before the shown cue's start (a seek backwards) the search starts again at
// the first cue, so earlier cues show again. When the shown cue's end has
// passed and no cue matches, shown_text becomes "" (changed raised) while the
// shown index stays, so the search goes on after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "subtitles/subtitle_parse.h"

constexpr int MAX_SUBTITLE_CUES = 8192;
// An external file is read up to this size. 8,192 cues of a full 255-byte
// text with their numbers and timing lines take about 2.5 MB, so any file
// the table can hold is read whole; a larger (or mistaken) file is read only
// this far, never held whole.
constexpr size_t MAX_SUBTITLE_FILE_BYTES = size_t{16} << 20;

struct SubtitleCue {
    int32_t start_ms;
    int32_t end_ms;
    char text[SUBTITLE_TEXT_SIZE];  // UTF-8, line breaks as LF, never empty
};

struct CueTable {
    std::unique_ptr<SubtitleCue[]> cues;  // MAX_SUBTITLE_CUES slots once filled
    int32_t count = 0;
    int32_t shown = -1;  // index of the cue now shown, -1 for none
    char shown_text[SUBTITLE_TEXT_SIZE] = {};
    bool changed = false;  // shown_text changed since the drawing code took it
};

enum CuePickMode {
    CUE_PICK_LOCAL,     // search after the shown cue
    CUE_PICK_STREAMED,  // search from the shown cue
};

// Empties the table (the slots stay allocated): no cues, none shown, no text.
void subtitle_cues_clear(CueTable* table);
// Reads the SRT file at path, converting its texts from charset (a display
// text of subtitle_charsets()), into the emptied table. Returns the number of
// cues stored, or -1 when the file cannot be read (or memory runs out): the
// table is then empty.
int subtitle_file_load(CueTable* table, const char* path, const char* charset);
// The same from a buffer holding a file's bytes (need not be terminated).
int subtitle_cues_parse(CueTable* table, const char* data, size_t size, const char* charset);
// Picks the cue for playback time time_ms (from the media start); true when
// shown_text changed.
bool subtitle_cue_pick(CueTable* table, int64_t time_ms, CuePickMode mode);
// Decodes one streamed packet (format 1 or 2) into the next slot. When the
// table then holds MAX_SUBTITLE_CUES cues, the cues before the shown one are
// dropped and the rest move to the front (the shown cue becomes index 0);
// with no cue shown, or the first one shown, the older half is dropped
// instead (and a shown first cue is forgotten; its text stays on screen until
// the next pick). 0 when stored, -1 when the packet gave no text or memory
// ran out.
int subtitle_stream_cue_add(CueTable* table, const char* data, size_t size, int format,
                            const char* charset);
