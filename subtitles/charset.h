// Character sets of subtitle text: the 32 sets the user can choose from and
// the conversion of text in one of them to UTF-8.
//
// The chosen set is stored as its display text (Settings::subtitle_charset,
// 40 bytes). Its conversion name is the display text up to the first blank;
// a name beginning with "ASCII" means the text is taken as it is (ASCII or
// UTF-8 already). Every set but MacThai converts through the C library's
// iconv; MacThai, which glibc lacks, through a byte table of our own.
//
// Contract:
// - subtitle_charsets, subtitle_charset_row and subtitle_charset_apply are
//   pure; any thread. The browser's character-set picker lists
//   subtitle_charsets() in order and stores a tapped row with
//   subtitle_charset_apply.
// - CharsetConverter owns one converter (iconv descriptor or table); one
//   thread at a time uses it. A set that cannot be opened passes text through
//   unchanged (mode CHARSET_UNAVAILABLE).
#pragma once

#include <cstddef>
#include <span>

// Rows of the picker, in order; row 0 ("ASCII / UTF8") is the default.
std::span<const char* const> subtitle_charsets();
// The row whose display text is setting, or -1.
int subtitle_charset_row(const char* setting);
// Stores row's display text in setting (setting_size bytes, e.g.
// sizeof Settings::subtitle_charset); false for a row out of range, which
// leaves setting as it was.
bool subtitle_charset_apply(int row, char* setting, size_t setting_size);

enum CharsetMode {
    CHARSET_PASS,         // ASCII / UTF-8: nothing to convert
    CHARSET_ICONV,        // through the C library
    CHARSET_TABLE,        // through a byte table of our own
    CHARSET_UNAVAILABLE,  // no converter for the name: text passes unchanged
};

class CharsetConverter {
public:
    // setting: a display text (or a bare conversion name); null or "" passes.
    explicit CharsetConverter(const char* setting);
    ~CharsetConverter();
    CharsetConverter(const CharsetConverter&) = delete;
    CharsetConverter& operator=(const CharsetConverter&) = delete;

    CharsetMode mode() const { return mode_; }
    // Converts in[0..size) into out (out_size > 0 bytes, NUL-terminated);
    // stops at the first byte that does not convert, at an incomplete
    // character, or when the input or the output is used up. Output never
    // ends inside a UTF-8 character (unconverted text is cut on a UTF-8
    // boundary). Returns the bytes written before the NUL.
    size_t convert(const char* in, size_t size, char* out, size_t out_size);

private:
    CharsetMode mode_ = CHARSET_PASS;
    void* cd_ = nullptr;  // iconv_t of CHARSET_ICONV
};
