// Plain text from subtitle markup: the text of plain-text and MOV-text
// rectangles, and of SSA/ASS dialogue lines as decoders hand them out.
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
// ninth after a "Dialogue:" prefix. Override blocks ({...}) are dropped, the
// breaks \N and \n become newlines, the hard space \h a space; raw line ends
// are dropped. A line with too few fields gives "".
void subtitle_dialogue_text(const char* line, char* out, size_t out_size);
