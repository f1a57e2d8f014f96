// Plain text from subtitle markup: the text of plain-text and MOV-text
// rectangles, and of SSA/ASS dialogue lines as decoders hand them out or as
// streamed packets carry them.
//
// Pure functions; any thread may call them. out (out_size bytes) always ends
// with a NUL when out_size > 0; a text that does not fit is cut like
// copy_text cuts (before the UTF-8 character that would overflow, never
// inside it). out_size 0 writes nothing.
#pragma once

#include <cstddef>

// Everything from "{" or "<" through the next "}" or ">" is dropped.
void subtitle_plain_text(const char* in, char* out, size_t out_size);
// The text field of a dialogue line: what follows the eighth comma, or the
// ninth after a "Dialogue:" prefix, cleaned as subtitle_dialogue_clean does.
// A line with too few fields, or a karaoke line, gives "".
void subtitle_dialogue_text(const char* line, char* out, size_t out_size);
// Cleans the text field field[0..size) (it may stop earlier at a NUL):
// override blocks ({...}) are dropped, and so is a drawing (from "\p1",
// any nonzero \p level, to "\p0"); the breaks \N and \n become newlines, the
// hard space \h a space; raw line ends are dropped. A karaoke line (one with
// "\k") is not shown: the result is -1 and out is "". Otherwise the length
// of out.
int subtitle_dialogue_clean(const char* field, size_t size, char* out, size_t out_size);
