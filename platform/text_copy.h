// Bounded copies of NUL-terminated text into fixed arrays. Interface text is
// UTF-8: a copy that does not fit is cut before the character that would
// overflow, never inside it, so no half character reaches a file or the
// screen. Any thread may call these.
#pragma once

#include <cstddef>

// Copies src into dst (size bytes, size > 0), always terminated; returns the
// bytes copied.
size_t copy_text(char* dst, size_t size, const char* src);
// Length of the longest prefix of text[0..len) that ends on a character
// boundary and is at most max bytes.
size_t utf8_prefix_length(const char* text, size_t len, size_t max);
// Start of the character that ends just before byte index pos (0 at 0).
size_t utf8_previous(const char* text, size_t pos);
// Index just after the character that starts at pos (len at len).
size_t utf8_next(const char* text, size_t len, size_t pos);
