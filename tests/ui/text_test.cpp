// Text drawing with the real font files from the run folder: font choice by
// script, cutting, line breaking, alignment, modes and ellipsis shortening.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/ui/ui_test_support.h"
#include "tests/utf8_check.h"
#include "ui/text.h"

namespace {

using TextFonts = FontTest;

TEST_F(TextFonts, TheCompanionFaceIsChosenByTheFirstDecidingLeadByte)
{
    EXPECT_EQ(font_get(0, 0), nullptr);
    EXPECT_EQ(font_get(1, FONT_FAMILY_COUNT), nullptr);
    TTF_Font* main = main_font();
    TTF_Font* other = TTF_OpenFont(font_file(FONT_PRELUDE), 12);  // outside the table
    ASSERT_NE(other, nullptr);
    auto face = [](int family) { return font_get(FONT_SET_MAIN, family); };
    const struct {
        const char* text;
        TTF_Font* given;
        TTF_Font* chosen;
    } cases[] = {
        {"Hello world", main, main},
        {nullptr, main, main},
        {"Song \xEC\x95\x88\xEB\x85\x95 \xE4\xB8\xAD", main, face(FONT_DOTUM)},  // Korean first
        {"Film \xE4\xB8\xAD\xE6\x96\x87", main, face(FONT_HEIS)},
        {"\xD0\x9F\xD1\x80\xD0\xB8", main, face(FONT_DEJAVU)},  // Cyrillic
        {"\xE0\xB8\xAA\xE0\xB8\xA7", main, face(FONT_GARUDA)},  // Thai
        {"\xEC\x95\x88", font_get(FONT_SET_LABEL, FONT_DEJAVU),
         font_get(FONT_SET_LABEL, FONT_DOTUM)},
        {"\xEC\x95\x88", other, font_get(FONT_SET_HUGE, FONT_DOTUM)},  // the 36-point companions
        {"plain", other, other},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pick_font_for_text(c.text, c.given), c.chosen) << (c.text ? c.text : "null");
    EXPECT_EQ(font_set_of(other), 0);
    TTF_CloseFont(other);
}

// The piece draw_text makes of a one-line text: copied with TEXT_REPLACE to
// (0, 0) of a transparent surface, so its pixels are the piece's own.
SurfacePtr piece_of(const char* text, TTF_Font* font)
{
    SurfacePtr s(surface_create(600, 80));
    draw_text(s.get(), text, font, 0, 0, 600, 80, ALIGN_LEFT, TEXT_REPLACE, 0xFFFFFF);
    return s;
}

struct FaceRun {
    int family;
    const char* text;
};

// Checks that the piece of `text` is its runs rendered one by one in their
// faces, side by side on the highest ascent (the chosen face's included),
// and that measuring gives the same size.
void expect_drawn_as_runs(const char* text, const std::vector<FaceRun>& runs)
{
    SCOPED_TRACE(text);
    TTF_Font* main = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    TTF_Font* chosen = pick_font_for_text(text, main);
    int ascent = TTF_FontAscent(chosen), below = TTF_FontHeight(chosen) - ascent, width = 0;
    for (const FaceRun& run : runs) {
        TTF_Font* face = font_get(FONT_SET_MAIN, run.family);
        ascent = std::max(ascent, TTF_FontAscent(face));
        below = std::max(below, TTF_FontHeight(face) - TTF_FontAscent(face));
    }
    SurfacePtr piece = piece_of(text, main);
    for (const FaceRun& run : runs) {
        TTF_Font* face = font_get(FONT_SET_MAIN, run.family);
        int w = 0, h = 0;
        ASSERT_EQ(TTF_SizeUTF8(face, run.text, &w, &h), 0);
        const int top = ascent - TTF_FontAscent(face);
        SurfacePtr img(TTF_RenderUTF8_Blended(face, run.text, SDL_Color{255, 255, 255, 0}));
        SurfacePtr alone(surface_create(600, 80));
        copy_pixels(alone.get(), img.get(), width, top);
        bool same = true;
        for (int y = top; y < top + h; ++y)
            for (int x = width; x < width + w; ++x)
                same = same && get_pixel(piece.get(), x, y) == get_pixel(alone.get(), x, y);
        EXPECT_TRUE(same) << run.text;
        width += w;
    }
    int w = 0, h = 0;
    ASSERT_EQ(text_size(main, text, &w, &h), 0);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, ascent + below);
    EXPECT_LT(ink_columns(piece.get()).second, width);
}

// Letters a face lacks are drawn in one that has them, on the same baseline;
// a space stays with the word before it.
TEST_F(TextFonts, MixedTextsDrawEachRunInAFaceWithItsGlyphsOnOneBaseline)
{
    const char* han = "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE5\xB9\x95";
    const char* korean = "\xEC\x9D\x8C\xEC\x95\x85 2024";
    const char* cyrillic = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    const std::pair<const char*, std::vector<FaceRun>> cases[] = {
        {"Film \xE4\xB8\xAD\xE6\x96\x87 HD",
         {{FONT_PRELUDE, "Film "}, {FONT_HEIS, "\xE4\xB8\xAD\xE6\x96\x87 "}, {FONT_PRELUDE, "HD"}}},
        {"Don\xE2\x80\x99t Stop", {{FONT_PRELUDE, "Don\xE2\x80\x99t Stop"}}},
        {" \xE4\xB8\xAD \xD7\x90 !",
         {{FONT_HEIS, " \xE4\xB8\xAD "}, {FONT_DEJAVU, "\xD7\x90 "}, {FONT_PRELUDE, "!"}}},
        {han, {{FONT_HEIS, han}}},
        {korean, {{FONT_DOTUM, korean}}},
        {cyrillic, {{FONT_DEJAVU, cyrillic}}},
    };
    for (const auto& [text, runs] : cases)
        expect_drawn_as_runs(text, runs);
}

TEST_F(TextFonts, MixedTextsBreakAndShortenByTheirDrawnWidth)
{
    const char* once = "Film \xE4\xB8\xAD\xE6\x96\x87 HD";
    int w = 0, h = 0;
    ASSERT_EQ(text_size(main_font(), once, &w, &h), 0);
    SurfacePtr s(surface_create(600, 100));
    const std::string twice = std::string(once) + " " + once;
    EXPECT_EQ(
        draw_text(s.get(), twice.c_str(), main_font(), 0, 0, w, 100, ALIGN_LEFT, TEXT_MEASURE, 0),
        2 * h);
    EXPECT_EQ(draw_text(s.get(), twice.c_str(), main_font(), 0, 0, w - 1, 100, ALIGN_LEFT,
                        TEXT_MEASURE, 0),
              3 * h);  // "Film 中文", "HD Film", "中文 HD"
    // The CJK face has no full stop: a CJK line's ellipsis comes from the main face.
    std::string han;
    for (int i = 0; i < 30; ++i)
        han += "\xE4\xB8\xAD";
    char out[600];
    const size_t n = shorten_text_line(han.c_str(), main_font(), 120, out, sizeof out);
    ASSERT_GT(n, 3u);
    const std::string kept(out, n - 3);
    EXPECT_EQ(kept, han.substr(0, kept.size()));
    expect_drawn_as_runs(out, {{FONT_HEIS, kept.c_str()}, {FONT_PRELUDE, "..."}});
}

TEST_F(TextFonts, LinesSplitAtNewlinesTextIsCutAt511BytesAndLongWordsOverflow)
{
    auto lines_of = [&](const std::string& text) {
        TTF_Font* f = pick_font_for_text(text.c_str(), main_font());
        SurfacePtr s(surface_create(64, 64));
        return draw_text(s.get(), text.c_str(), main_font(), 0, 0, 100000, 64, ALIGN_LEFT,
                         TEXT_MEASURE, 0) /
               TTF_FontHeight(f);
    };
    const std::pair<std::string, int> cases[] = {
        {"one", 1},
        {"one\ntwo\r\nthree", 3},
        {"one\n\nthree", 3},
        {std::string(509, 'a') + "\nbb", 2},  // 511 bytes keep "\nb"
        {std::string(510, 'a') + "\nbb", 1},  // the second line is cut off
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(lines_of(text), lines) << text.size();
    // A cut never splits a character: 170 three-byte characters are 510 bytes.
    std::string han;
    for (int i = 0; i < 172; ++i)
        han += "\xE4\xB8\xAD";
    int w_cut = 0, w_510 = 0;
    ASSERT_EQ(text_size(main_font(), han.c_str(), &w_cut, nullptr), 0);
    ASSERT_EQ(text_size(main_font(), han.substr(0, 510).c_str(), &w_510, nullptr), 0);
    EXPECT_EQ(w_cut, w_510);

    // A word wider than its box is broken between characters and stays in
    // the box; a text taller than the box ends in "..." on its last line.
    const char* word = "Supercalifragilisticexpialidocious";
    int long_w = 0;
    TTF_SizeUTF8(main_font(), word, &long_w, nullptr);
    const int fh = TTF_FontHeight(main_font());
    SurfacePtr s(surface_create(600, 200));
    const int lines =
        draw_text(s.get(), word, main_font(), 0, 0, 60, 1000, ALIGN_LEFT, TEXT_MEASURE, 0) / fh;
    EXPECT_GE(lines, (long_w + 59) / 60);
    EXPECT_EQ(
        draw_text(s.get(), word, main_font(), 10, 5, 60, 200, ALIGN_LEFT, TEXT_BLEND, 0xFFFFFF),
        5 + lines * fh);
    EXPECT_LE(ink_columns(s.get()).first, 14);
    EXPECT_LE(ink_columns(s.get()).second, 70);
    SurfacePtr two(surface_create(600, 200));
    EXPECT_EQ(draw_text(two.get(), word, main_font(), 10, 5, 60, 2 * fh, ALIGN_LEFT, TEXT_BLEND,
                        0xFFFFFF),
              5 + 2 * fh);
    char shortened[64];
    shorten_text_line(word, main_font(), 60, shortened, sizeof shortened);
    EXPECT_STREQ(shortened + std::strlen(shortened) - 3, "...") << shortened;
}

TEST_F(TextFonts, AlignmentsPlaceTheTextAndModesBoxReplaceOrMeasure)
{
    TTF_Font* f = main_font();
    int w = 0, h = 0;
    TTF_SizeUTF8(f, "Menu", &w, &h);
    auto span = [&](int align, int mode = TEXT_BLEND) {
        SurfacePtr s(surface_create(300, 100));
        draw_text(s.get(), "Menu", f, 50, 0, 200, 100, align, mode, 0xFFFFFF);
        return ink_columns(s.get());
    };
    EXPECT_NEAR(span(ALIGN_LEFT).first, 50, 3);
    EXPECT_NEAR(span(ALIGN_RIGHT).second, 250, 3);
    EXPECT_NEAR(span(ALIGN_CENTRE).first, 50 + (200 - w) / 2, 3);
    EXPECT_EQ(span(ALIGN_LEFT, TEXT_BOXED), std::pair(48, 50 + w + 1));  // a box 2 wider each side
    SurfacePtr s(surface_create(300, 100));  // a box lower than the text never moves it up
    EXPECT_EQ(draw_text(s.get(), "Menu", f, 50, 7, 200, 2, ALIGN_CENTRE_MIDDLE, TEXT_MEASURE, 0),
              7 + h);

    const uint32_t red_bg = argb(255, 200, 0, 0);
    SurfacePtr replaced = filled(200, 40, red_bg), measured = filled(200, 40, red_bg);
    draw_text(replaced.get(), "Ok", f, 10, 2, 180, 40, ALIGN_LEFT, TEXT_REPLACE, 0x00FF00);
    draw_text(measured.get(), "Ok", f, 10, 2, 180, 40, ALIGN_LEFT, TEXT_MEASURE, 0x00FF00);
    EXPECT_EQ(alpha_of(get_pixel(replaced.get(), 10, 2)), 0u);  // transparent glyph background
    EXPECT_TRUE(same_pixels(measured.get(), filled(200, 40, red_bg).get()));

    // A fitting line of mixed faces is the same piece as draw_text's.
    const char* mixed =
        "Price 10\xE2\x82\xAC \xE2\x80\x93 \xEC\x9D\x8C\xEC\x95\x85 \xE2\x80\x9CLive\xE2\x80\x9D";
    ASSERT_EQ(text_size(f, mixed, &w, nullptr), 0);
    SurfacePtr line(surface_create(700, 120)), blended(surface_create(700, 120));
    draw_text_line(line.get(), mixed, f, 20, 10, w, 0xFFFFFF);
    draw_text(blended.get(), mixed, f, 20, 10, 640, 100, ALIGN_LEFT, TEXT_BLEND, 0xFFFFFF);
    EXPECT_TRUE(same_pixels(line.get(), blended.get()));
}

TEST_F(TextFonts, ShorteningKeepsWholeCharactersWithinTheWidth)
{
    char out[600];
    EXPECT_EQ(shorten_text_line("Local Media", main_font(), 400, out, sizeof out),
              strlen("Local Media"));
    EXPECT_STREQ(out, "Local Media");
    for (const char* tiny : {"ab", "\xEA\xB0\x80", "\xEA\xB0\x80\xEA\xB0\x80"})  // never underflows
        for (int width : {-5, 0, 1, 8}) {
            const size_t n = shorten_text_line(tiny, main_font(), width, out, sizeof out);
            EXPECT_EQ(n, strlen(out));
            EXPECT_TRUE(std::string(out) == "..." || std::string(out) == tiny) << out;
        }
    char small[5];  // a small buffer still gets a whole-character, terminated result
    shorten_text_line("\xEA\xB0\x80\xEA\xB0\x80\xEA\xB0\x80", main_font(), 1000, small,
                      sizeof small);
    EXPECT_STREQ(small, "\xEA\xB0\x80");

    // Random Latin, Korean, CJK, kana, Cyrillic, Thai and emoji, crossing the 511-byte cut.
    std::mt19937 rng(20261206);
    const uint32_t ranges[][2] = {{0x20, 0x7E},      {0xAC00, 0xD7A3}, {0x4E00, 0x9FFF},
                                  {0x3040, 0x30FF},  {0x0400, 0x04FF}, {0x0E00, 0x0E7F},
                                  {0x1F300, 0x1F5FF}};
    SurfacePtr s(surface_create(300, 40));
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int i = 0, count = 1 + int(rng() % 260); i < count; ++i) {
            const auto& r = ranges[rng() % std::size(ranges)];
            const uint32_t cp = r[0] + rng() % (r[1] - r[0] + 1);
            const int n = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
            text += char(n == 1 ? cp
                                : (0xF00u >> n & 0xF0) | cp >> (6 * (n - 1)));  // n ones, a zero
            for (int k = n - 2; k >= 0; --k)
                text += char(0x80 | ((cp >> (6 * k)) & 0x3F));
        }
        const int width = int(rng() % 400) - 20;
        const size_t n = shorten_text_line(text.c_str(), main_font(), width, out, sizeof out);
        ASSERT_EQ(n, strlen(out));
        ASSERT_LE(n, TEXT_MAX_BYTES + 3);
        ASSERT_TRUE(valid_utf8(out)) << "round " << round;
        int w = 0;
        if (n > 3 && text_size_in_face(pick_font_for_text(text.c_str(), main_font()), out, &w,
                                       nullptr) == 0) {
            EXPECT_LE(w, std::max(width, 0)) << "round " << round;
        }
        draw_text_line(s.get(), text.c_str(), main_font(), 0, 0, width, 0xFFFFFF);
    }
}

// Malformed UTF-8 once corrupted the heap (found by fuzzing); missing inputs
// and empty boxes draw nothing.
TEST_F(TextFonts, ArbitraryBytesAndMissingInputsNeverBreakDrawing)
{
    SurfacePtr blank(surface_create(20, 20));
    EXPECT_EQ(draw_text(nullptr, "x", main_font(), 0, 3, 10, 10, 0, 0, 0), 3);
    EXPECT_EQ(draw_text(blank.get(), nullptr, main_font(), 0, 3, 10, 10, 0, 0, 0), 3);
    EXPECT_EQ(draw_text(blank.get(), "", main_font(), 0, 4, 10, 10, 0, 0, 0), 4);
    draw_text_line(blank.get(), nullptr, main_font(), 0, 0, 10, 0);
    draw_text_line(blank.get(), "x", nullptr, 0, 0, 10, 0);
    EXPECT_EQ(ink_columns(blank.get()).first, -1);

    std::mt19937 rng(99);
    SurfacePtr s(surface_create(120, 80));
    char out[600];
    for (int round = 0; round < 400; ++round) {
        std::string text(rng() % 700, '\0');
        for (char& c : text) {
            const uint32_t r = rng();
            c = static_cast<char>(r % 5 == 0 ? ' ' : r % 7 == 0 ? '\n' : (r >> 8));
            c = c ? c : 'z';
        }
        TTF_Font* f = font_get(1 + rng() % FONT_SET_COUNT, rng() % FONT_FAMILY_COUNT);
        const int x = int(rng() % 200) - 60, y = int(rng() % 120) - 30;
        const int bw = int(rng() % 200) - 20, bh = int(rng() % 200) - 20;
        const int modes[] = {TEXT_BLEND, TEXT_BOXED, TEXT_REPLACE, TEXT_MEASURE};
        EXPECT_GE(
            draw_text(s.get(), text.c_str(), f, x, y, bw, bh, rng() % 8, modes[rng() % 4], rng()),
            y);
        draw_text_line(s.get(), text.c_str(), f, x, y, bw, rng());
        shorten_text_line(text.c_str(), f, bw, out, sizeof out);
        EXPECT_LE(strlen(out), TEXT_MAX_BYTES + 3);
    }
}

}  // namespace
