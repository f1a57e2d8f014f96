// Subtitle texts with their times, in the three formats that reach the
// player: SSA/ASS dialogue lines (format 0), SRT timing lines followed by
// text (format 1, external files and streamed packets) and "Time#:<ms>:"
// packets (format 2, streamed).
//
// Contract (pure; any thread): every function reads only data[0..size) —
// the input need not be NUL-terminated — and never writes past the output it
// is given. Times are milliseconds in int32; a time that is negative or does
// not fit (about 596 hours) makes the line not parse.
#pragma once

#include <cstddef>
#include <cstdint>

class CharsetConverter;

enum SubtitleFormat : int {
    SUBTITLE_FORMAT_SSA = 0,     // "Dialogue: layer,start,end,...,text"
    SUBTITLE_FORMAT_SRT = 1,     // "h:mm:ss,mmm --> h:mm:ss,mmm" line, then text
    SUBTITLE_FORMAT_PACKET = 2,  // "...Time#:<start ms>:text", shown for 2 s
};

// Room for one cue's text: at most 255 bytes and the NUL.
constexpr size_t SUBTITLE_TEXT_SIZE = 256;

// Formats 1 and 2: parses the timing at the start of data (format 1: on its
// first line; format 2: after "Time#:"), adds the times to *start_ms and
// *end_ms, and returns the offset where the text begins: after the timing
// line's line feed (format 1) or after the ":" that ends the number
// (format 2). -1 when nothing parses (then the times are left alone).
int64_t subtitle_timing_parse(const char* data, size_t size, int format, int32_t* start_ms,
                              int32_t* end_ms);
// Format 0, given what follows "Dialogue:": reads the layer and the two
// times (h:mm:ss.cc) into *start_ms / *end_ms and returns the offset of the
// text field (after the ninth comma), or -1.
int64_t subtitle_dialogue_parse(const char* data, size_t size, int32_t* start_ms, int32_t* end_ms);

// One packet or line into display text in out (SUBTITLE_TEXT_SIZE bytes):
// formats 1 and 2 are converted from charset (a display text of
// subtitle_charsets(), see subtitles/charset.h) to UTF-8 and cleaned of
// {...} and <...> markup; format 0 is cleaned as a dialogue line and not
// converted. Then at most 255 bytes remain (cut on a UTF-8 boundary), a CR
// before a LF is dropped and trailing line ends go. Returns the length of the
// text (0: nothing to show) or -1 when the input does not parse (unknown
// format, no data, no text, a karaoke line). The times go to *out_start /
// *out_end when the pointers are given and the input parsed.
int subtitle_text_decode(const char* data, size_t size, char* out, int format, const char* charset,
                         int32_t* out_start, int32_t* out_end);
// The same with a converter the caller keeps open (a file's many cues).
int subtitle_text_decode_with(const char* data, size_t size, char* out, int format,
                              CharsetConverter* converter, int32_t* out_start, int32_t* out_end);
