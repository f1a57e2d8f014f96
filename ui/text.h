// Fonts and text drawing.
//
// Five font families, each opened in six size sets (30 fonts), live from
// fonts_open() to fonts_close(). Text is UTF-8. The font used for a text is
// chosen by script: the first non-ASCII lead byte of the text picks a
// companion face of the same size set as the font passed in (fonts outside
// the table use the set-6 companions). Characters that face lacks are drawn
// in a fallback face (see font_for_char). Text colours are packed with red in
// the lowest byte, then green, then blue (0xFFFFFF white, 0x0000FF red).
// Texts longer than TEXT_MAX_BYTES are cut at a character boundary. The
// fonts are process-wide and owned here. Main thread only (the font
// renderer keeps no locks).
#pragma once

#include <cstddef>
#include <cstdint>

#include <SDL/SDL_ttf.h>

#include "ui/surface.h"

enum FontFamily : int {
    FONT_PRELUDE = 0,  // main interface face
    FONT_HEIS = 1,     // Chinese and other CJK
    FONT_DEJAVU = 2,   // other alphabets
    FONT_DOTUM = 3,    // Korean
    FONT_GARUDA = 4,   // Thai and nearby scripts
    FONT_FAMILY_COUNT = 5,
};

// Size sets, numbered 1..6.
enum FontSet : int {
    FONT_SET_PLAYER = 1,  // 17 pt, player screen texts
    FONT_SET_SMALL = 2,   // 17 pt, small browser/player texts
    FONT_SET_MAIN = 3,    // 17 pt, dialogs, lists, message boxes, titles
    FONT_SET_LABEL = 4,   // 20 pt, home buttons, file information, small subtitles
    FONT_SET_LARGE = 5,   // 28 pt, player screen texts, medium subtitles
    FONT_SET_HUGE = 6,    // 36 pt, large subtitles, fallback companions
    FONT_SET_COUNT = 6,
};

constexpr int FONT_COUNT = int(FONT_SET_COUNT) * int(FONT_FAMILY_COUNT);
// Bytes of text drawn at most (the rest is cut).
constexpr size_t TEXT_MAX_BYTES = 511;

// Text alignments of draw_text.
constexpr int ALIGN_LEFT = 0;
constexpr int ALIGN_RIGHT = 1;
constexpr int ALIGN_CENTRE = 2;
constexpr int ALIGN_CENTRE_MIDDLE = 3;  // centred both ways
constexpr int ALIGN_LEFT_MIDDLE = 6;    // left, vertically centred

// Modes of draw_text.
constexpr int TEXT_BLEND = 0;      // blended on with per-pixel alpha
constexpr int TEXT_BOXED = 1;      // opaque black box under each piece
constexpr int TEXT_REPLACE = 2;    // the piece's pixels replace dst
constexpr int TEXT_MEASURE = 255;  // nothing drawn, only measured

// The file name of a family, opened from the working directory.
const char* font_file(int family);
// Point size of a set (1..6); 0 for other values.
int font_set_size(int set);

// Opens the 30 fonts set by set (family order as above) and measures the
// line heights of sets 2 and 3; needs TTF_Init. 0, or -1 when any font
// fails (those opened are closed again).
int fonts_open();
void fonts_close();

// The font of a set (1..6) and family; null before fonts_open or when out
// of range.
TTF_Font* font_get(int set, int family);
// The size set (1..6) a font belongs to, 0 when it is none of the 30.
int font_set_of(TTF_Font* font);
// Height of one line: the measured height of "fontsize" for sets 2 and 3,
// the font's height otherwise.
int font_line_height(TTF_Font* font);

// The font a text is drawn in when `font` is given (script rule by lead
// byte); `font` itself when the text has no deciding byte.
TTF_Font* pick_font_for_text(const char* text, TTF_Font* font);

// The face that draws character ch of a text drawn in `face`: `face` when
// it has the glyph, else the main interface face of its size set (set 6 for
// fonts outside the table), else its DejaVu face, else `face` (an empty
// box). Texts mixing faces are rendered run by run on a common baseline.
TTF_Font* font_for_char(TTF_Font* face, uint16_t ch);

// Width and height of a text in the font chosen for it (first
// TEXT_MAX_BYTES bytes), as draw_text draws it; 0, or -1 on missing font or
// text.
int text_size(TTF_Font* font, const char* text, int* width, int* height);
// The same in exactly `face`, without the script choice.
int text_size_in_face(TTF_Font* face, const char* text, int* width, int* height);

// Multi-line text in the box from (x, y), box_width x box_height (clipped
// to dst). Lines break at "\n" ("\r\n" too) and, when wider than the box,
// at spaces; a word wider than the box overflows. align: 0, 5, 6, 7 left,
// 1 right, others centred; 3 and 6 also centre vertically. mode: see
// TEXT_*. Returns the y below the last line (y when nothing is drawn).
int draw_text(Surface* dst, const char* text, TTF_Font* font, int x, int y, int box_width,
              int box_height, int align, int mode, uint32_t colour);

// The text as draw_text_line shows it within max_width: whole UTF-8
// characters are dropped from the end and "..." appended when it is too
// wide. Writes at most out_size - 1 bytes; returns the length written.
size_t shorten_text_line(const char* text, TTF_Font* font, int max_width, char* out,
                         size_t out_size);

// One line at (x, y), shortened with "..." to fit max_width, blended on.
void draw_text_line(Surface* dst, const char* text, TTF_Font* font, int x, int y, int max_width,
                    uint32_t colour);
