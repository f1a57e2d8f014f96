// Text drawing with the real font files from the run folder: font choice by
// script, cutting, line breaking, alignment, modes and ellipsis shortening.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "tests/ui/ui_test_support.h"
#include "ui/text.h"

namespace {

using TextFonts = FontTest;

TEST_F(TextFonts, TheCompanionFaceIsChosenByTheFirstDecidingLeadByte)
{
    for (auto [set, family] : {std::pair{0, 0}, {7, 0}, {1, 5}})
        EXPECT_EQ(font_get(set, family), nullptr);
    TTF_Font* main = main_font();
    TTF_Font* other = TTF_OpenFont(font_file(FONT_PRELUDE), 12);  // outside the table
    ASSERT_NE(other, nullptr);
    const struct {
        const char* text;
        TTF_Font* given;
        TTF_Font* chosen;
    } cases[] = {
        {"Hello world", main, main},
        {nullptr, main, main},
        {"Song \xEC\x95\x88\xEB\x85\x95 \xE4\xB8\xAD", main, font_get(FONT_SET_MAIN, FONT_DOTUM)},  // Korean first
        {"Film \xE4\xB8\xAD\xE6\x96\x87", main, font_get(FONT_SET_MAIN, FONT_HEIS)},
        {"\xD0\x9F\xD1\x80\xD0\xB8", main, font_get(FONT_SET_MAIN, FONT_DEJAVU)},  // Cyrillic
        {"\xE0\xB8\xAA\xE0\xB8\xA7", main, font_get(FONT_SET_MAIN, FONT_GARUDA)},  // Thai
        {"\xE1\xBC\x80", main, font_get(FONT_SET_MAIN, FONT_DEJAVU)},
        {"\xEC\x95\x88", font_get(FONT_SET_LABEL, FONT_DEJAVU), font_get(FONT_SET_LABEL, FONT_DOTUM)},
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

// `text` rendered alone in `face`, on a transparent surface like piece_of's
// at (x, y).
SurfacePtr direct_render(TTF_Font* face, const char* text, int x = 0, int y = 0)
{
    SDL_Color white{255, 255, 255, 0};
    SurfacePtr img(TTF_RenderUTF8_Blended(face, text, white));
    SurfacePtr s(surface_create(600, 80));
    copy_pixels(s.get(), img.get(), x, y);
    return s;
}

// True when the w x h area at (x, y) is the same in a and b.
bool same_area(Surface* a, Surface* b, int x, int y, int w, int h)
{
    for (int r = y; r < y + h; ++r)
        for (int c = x; c < x + w; ++c)
            if (get_pixel(a, c, r) != get_pixel(b, c, r))
                return false;
    return true;
}

struct Run {
    TTF_Font* face;
    const char* text;
};

// Checks that the piece of `text` is its runs rendered one by one, side by
// side on the highest ascent (the chosen face's included), and that
// measuring gives the same size.
void expect_drawn_as_runs(const char* text, const std::vector<Run>& runs)
{
    TTF_Font* chosen = pick_font_for_text(text, font_get(FONT_SET_MAIN, FONT_PRELUDE));
    int ascent = TTF_FontAscent(chosen), below = TTF_FontHeight(chosen) - ascent, width = 0;
    for (const Run& run : runs) {
        ascent = std::max(ascent, TTF_FontAscent(run.face));
        below = std::max(below, TTF_FontHeight(run.face) - TTF_FontAscent(run.face));
    }
    SurfacePtr piece = piece_of(text, font_get(FONT_SET_MAIN, FONT_PRELUDE));
    for (const Run& run : runs) {
        int w = 0, h = 0;
        ASSERT_EQ(TTF_SizeUTF8(run.face, run.text, &w, &h), 0);
        const int top = ascent - TTF_FontAscent(run.face);
        SurfacePtr alone = direct_render(run.face, run.text, width, top);
        EXPECT_TRUE(same_area(piece.get(), alone.get(), width, top, w, h)) << text << ": " << run.text;
        width += w;
    }
    int w = 0, h = 0;
    ASSERT_EQ(text_size(font_get(FONT_SET_MAIN, FONT_PRELUDE), text, &w, &h), 0);
    EXPECT_EQ(w, width) << text;
    EXPECT_EQ(h, ascent + below) << text;
    EXPECT_LT(ink_columns(piece.get()).second, width) << text;
}

TEST_F(TextFonts, MixedTextsDrawLatinLettersWithRealGlyphs)
{
    TTF_Font* hei = font_get(FONT_SET_MAIN, FONT_HEIS);
    TTF_Font* prelude = main_font();
    TTF_Font* dejavu = font_get(FONT_SET_MAIN, FONT_DEJAVU);
    // A space stays with the word before it.
    expect_drawn_as_runs("Film \xE4\xB8\xAD\xE6\x96\x87 HD",
                         {{prelude, "Film "}, {hei, "\xE4\xB8\xAD\xE6\x96\x87 "}, {prelude, "HD"}});
    expect_drawn_as_runs("Don\xE2\x80\x99t Stop", {{prelude, "Don\xE2\x80\x99t Stop"}});
    expect_drawn_as_runs(" \xE4\xB8\xAD \xD7\x90 !", {{hei, " \xE4\xB8\xAD "}, {dejavu, "\xD7\x90 "},
                                                      {prelude, "!"}});
    // Texts the chosen face covers are one run.
    for (auto [text, family] : {std::pair{"\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE5\xB9\x95", FONT_HEIS},
                                {"Local Media", FONT_PRELUDE},
                                {"\xEC\x9D\x8C\xEC\x95\x85 2024", FONT_DOTUM},
                                {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", FONT_DEJAVU}})
        expect_drawn_as_runs(text, {{font_get(FONT_SET_MAIN, family), text}});
}

// Extent of the opaque black pixels of s: {left, top, right, bottom}, -1s
// when there are none.
std::array<int, 4> black_box(Surface* s)
{
    std::array<int, 4> box{-1, -1, -1, -1};
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            if (get_pixel(s, x, y) == 0xFF000000u) {
                box = {box[0] < 0 ? x : std::min(box[0], x), box[1] < 0 ? y : box[1],
                       std::max(box[2], x), y};
            }
    return box;
}

TEST_F(TextFonts, MixedTextsMeasureAsTheyAreDrawn)
{
    const uint32_t red = argb(255, 200, 0, 0);
    for (TTF_Font* font : {main_font(), font_get(FONT_SET_LABEL, FONT_DEJAVU)}) {
        for (const char* text : {"Don\xE2\x80\x99t Stop.mkv", "Film \xE4\xB8\xAD\xE6\x96\x87 HD",
                                 "Price 10\xE2\x82\xAC \xE2\x80\x93 Song\xE2\x80\xA6 \xE2\x86\x92 next",
                                 "\xEC\x9D\x8C\xEC\x95\x85 \xE2\x80\x9CLive\xE2\x80\x9D"}) {
            int w = 0, h = 0;
            ASSERT_EQ(text_size(font, text, &w, &h), 0);
            // The black box of mode 1 is the drawn piece's size plus 4 each way.
            SurfacePtr boxed = filled(700, 120, red);
            const int bottom =
                draw_text(boxed.get(), text, font, 20, 10, 640, 100, ALIGN_LEFT, TEXT_BOXED, 0xFFFFFF);
            EXPECT_EQ(bottom, 10 + h) << text;
            EXPECT_EQ(black_box(boxed.get()), (std::array<int, 4>{18, 10, 21 + w, 13 + h})) << text;
            EXPECT_EQ(draw_text(boxed.get(), text, font, 20, 10, 640, 100, ALIGN_LEFT, TEXT_MEASURE, 0),
                      bottom);
            SurfacePtr right = filled(700, 120, red);
            draw_text(right.get(), text, font, 20, 10, 640, 100, ALIGN_RIGHT, TEXT_BOXED, 0xFFFFFF);
            EXPECT_EQ(black_box(right.get())[2], 20 + 640 + 1) << text;

            // A fitting line is the same piece as draw_text's.
            SurfacePtr line(surface_create(700, 120)), blended(surface_create(700, 120));
            draw_text_line(line.get(), text, font, 20, 10, w, 0xFFFFFF);
            draw_text(blended.get(), text, font, 20, 10, 640, 100, ALIGN_LEFT, TEXT_BLEND, 0xFFFFFF);
            EXPECT_TRUE(same_pixels(line.get(), blended.get())) << text;
        }
    }
}

TEST_F(TextFonts, MixedTextsBreakAndShortenByTheirDrawnWidth)
{
    const char* once = "Film \xE4\xB8\xAD\xE6\x96\x87 HD";
    int w = 0, h = 0;
    ASSERT_EQ(text_size(main_font(), once, &w, &h), 0);
    SurfacePtr s(surface_create(600, 100));
    const std::string twice = std::string(once) + " " + once;
    EXPECT_EQ(draw_text(s.get(), twice.c_str(), main_font(), 0, 0, w, 100, ALIGN_LEFT, TEXT_MEASURE,
                        0),
              2 * h);
    EXPECT_EQ(draw_text(s.get(), twice.c_str(), main_font(), 0, 0, w - 1, 100, ALIGN_LEFT,
                        TEXT_MEASURE, 0),
              3 * h);  // "Film 中文", "HD Film", "中文 HD"

    char out[600];
    // The CJK face has no full stop: the ellipsis of a CJK line comes from
    // the main face instead of showing as boxes.
    std::string han;
    for (int i = 0; i < 30; ++i)
        han += "\xE4\xB8\xAD";
    const size_t n = shorten_text_line(han.c_str(), main_font(), 120, out, sizeof out);
    ASSERT_GT(n, 3u);
    const std::string kept(out, n - 3);
    EXPECT_EQ(kept, han.substr(0, kept.size()));
    expect_drawn_as_runs(out, {{font_get(FONT_SET_MAIN, FONT_HEIS), kept.c_str()},
                               {main_font(), "..."}});
}

// Number of lines draw_text reports for a text in a wide box.
int lines_of(const std::string& text)
{
    TTF_Font* f = pick_font_for_text(text.c_str(), font_get(FONT_SET_MAIN, FONT_PRELUDE));
    SurfacePtr s(surface_create(64, 64));
    const int bottom = draw_text(s.get(), text.c_str(), font_get(FONT_SET_MAIN, FONT_PRELUDE), 0,
                                 0, 100000, 64, ALIGN_LEFT, TEXT_MEASURE, 0xFFFFFF);
    return bottom / TTF_FontHeight(f);
}

TEST_F(TextFonts, LinesSplitAtNewlinesAndTextIsCutAt511Bytes)
{
    const std::pair<std::string, int> cases[] = {
        {"one", 1}, {"one\ntwo\r\nthree", 3}, {"one\n\nthree", 3},
        {std::string(509, 'a') + "\nbb", 2},   // 511 bytes keep "\nb"
        {std::string(510, 'a') + "\nbb", 1},   // the second line is cut off
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
}

TEST_F(TextFonts, UnbreakableWordsOverflowTheBox)
{
    TTF_Font* f = main_font();
    const int line = TTF_FontHeight(f);
    SurfacePtr s(surface_create(600, 200));
    const char* word = "Supercalifragilisticexpialidocious";
    int long_w = 0;
    TTF_SizeUTF8(f, word, &long_w, nullptr);
    EXPECT_EQ(draw_text(s.get(), word, f, 10, 5, 60, 200, ALIGN_LEFT, TEXT_BLEND, 0xFFFFFF),
              5 + line);
    auto [first, last] = ink_columns(s.get());
    EXPECT_LE(first, 14);
    EXPECT_GT(last, 10 + 60 + (long_w - 60) / 2);  // drawn whole, past the box
}

TEST_F(TextFonts, AlignmentsPlaceTheTextAndModesBlendBoxReplaceOrMeasure)
{
    TTF_Font* f = main_font();
    int w = 0;
    TTF_SizeUTF8(f, "Menu", &w, nullptr);
    auto span = [&](int align) {
        SurfacePtr s(surface_create(300, 100));
        draw_text(s.get(), "Menu", f, 50, 0, 200, 100, align, TEXT_BLEND, 0xFFFFFF);
        return ink_columns(s.get());
    };
    EXPECT_NEAR(span(ALIGN_LEFT).first, 50, 3);
    EXPECT_NEAR(span(ALIGN_RIGHT).second, 250, 3);
    EXPECT_NEAR(span(ALIGN_CENTRE).first, 50 + (200 - w) / 2, 3);
    // Vertical centring moves the first line down by (box - lines * height) / 2;
    // a box lower than the text never moves it up.
    SurfacePtr s(surface_create(300, 100));
    EXPECT_EQ(draw_text(s.get(), "Menu", f, 50, 0, 200, 100, ALIGN_CENTRE_MIDDLE, TEXT_MEASURE, 0),
              (100 - font_line_height(f)) / 2 + TTF_FontHeight(f));
    EXPECT_EQ(draw_text(s.get(), "Menu", f, 50, 7, 200, 2, ALIGN_CENTRE_MIDDLE, TEXT_MEASURE, 0),
              7 + TTF_FontHeight(f));

    const uint32_t red_bg = argb(255, 200, 0, 0);
    SurfacePtr replaced = filled(200, 40, red_bg), measured = filled(200, 40, red_bg);
    draw_text(replaced.get(), "Ok", f, 10, 2, 180, 40, ALIGN_LEFT, TEXT_REPLACE, 0x00FF00);
    draw_text(measured.get(), "Ok", f, 10, 2, 180, 40, ALIGN_LEFT, TEXT_MEASURE, 0x00FF00);
    EXPECT_EQ(alpha_of(get_pixel(replaced.get(), 10, 2)), 0u);  // transparent glyph background
    EXPECT_TRUE(same_pixels(measured.get(), filled(200, 40, red_bg).get()));
}

TEST_F(TextFonts, MissingInputsAndEmptyBoxesDrawNothing)
{
    SurfacePtr s(surface_create(20, 20));
    EXPECT_EQ(draw_text(nullptr, "x", main_font(), 0, 3, 10, 10, 0, 0, 0), 3);
    EXPECT_EQ(draw_text(s.get(), nullptr, main_font(), 0, 3, 10, 10, 0, 0, 0), 3);
    EXPECT_EQ(draw_text(s.get(), "", main_font(), 0, 4, 10, 10, 0, 0, 0), 4);
    draw_text_line(s.get(), nullptr, main_font(), 0, 0, 10, 0);
    draw_text_line(s.get(), "x", nullptr, 0, 0, 10, 0);
    EXPECT_EQ(ink_columns(s.get()).first, -1);
}

TEST_F(TextFonts, FittingLineIsUnchangedAndTooWideLineEndsInEllipsisWithinTheWidth)
{
    char out[600];
    const char* fits = "Local Media";
    EXPECT_EQ(shorten_text_line(fits, main_font(), 400, out, sizeof out), strlen(fits));
    EXPECT_STREQ(out, fits);

    // Very short texts and widths never underflow.
    for (const char* tiny : {"ab", "\xEA\xB0\x80", "\xEA\xB0\x80\xEA\xB0\x80", "x"})
        for (int width : {-5, 0, 1, 8}) {
            const size_t n = shorten_text_line(tiny, main_font(), width, out, sizeof out);
            EXPECT_EQ(n, strlen(out));
            EXPECT_TRUE(std::string(out) == "..." || std::string(out) == tiny) << out;
        }
    // A small output buffer still gets a whole-character, terminated result.
    char small[5];
    shorten_text_line("\xEA\xB0\x80\xEA\xB0\x80\xEA\xB0\x80", main_font(), 1000, small, sizeof small);
    EXPECT_STREQ(small, "\xEA\xB0\x80");
}

// True when s is well-formed UTF-8 (1 to 4 byte sequences).
bool valid_utf8(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (int k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

void append_code_point(std::string& s, uint32_t cp)
{
    static const unsigned char LEAD[] = {0, 0, 0xC0, 0xE0, 0xF0};
    const int n = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    s += static_cast<char>(n == 1 ? cp : LEAD[n] | cp >> (6 * (n - 1)));
    for (int k = n - 2; k >= 0; --k)
        s += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

TEST_F(TextFonts, ShorteningRandomCjkAndKoreanTextKeepsWholeCharacters)
{
    std::mt19937 rng(20261206);
    const uint32_t ranges[][2] = {{0x20, 0x7E},     {0xAC00, 0xD7A3}, {0x4E00, 0x9FFF},
                                  {0x3040, 0x30FF}, {0x0400, 0x04FF}, {0x0E00, 0x0E7F},
                                  {0x1F300, 0x1F5FF}};
    char out[600];
    SurfacePtr s(surface_create(300, 40));
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int count = 1 + rng() % 260;  // up to ~1000 bytes: the 511-byte cut is crossed
        for (int i = 0; i < count; ++i) {
            const auto& r = ranges[rng() % std::size(ranges)];
            append_code_point(text, r[0] + rng() % (r[1] - r[0] + 1));
        }
        const int width = static_cast<int>(rng() % 400) - 20;
        const size_t n = shorten_text_line(text.c_str(), main_font(), width, out, sizeof out);
        ASSERT_EQ(n, strlen(out));
        ASSERT_LE(n, TEXT_MAX_BYTES + 3);
        ASSERT_TRUE(valid_utf8(out)) << "round " << round;
        int w = 0;
        TTF_Font* face = pick_font_for_text(text.c_str(), main_font());
        if (n > 3 && text_size_in_face(face, out, &w, nullptr) == 0) {
            EXPECT_LE(w, std::max(width, 0)) << "round " << round;
        }
        draw_text_line(s.get(), text.c_str(), main_font(), 0, 0, width, 0xFFFFFF);
    }
}

TEST_F(TextFonts, ArbitraryBytesNeverBreakDrawing)
{
    std::mt19937 rng(99);
    SurfacePtr s(surface_create(120, 80));
    char out[600];
    for (int round = 0; round < 400; ++round) {
        std::string text(rng() % 700, '\0');
        for (char& c : text) {
            const uint32_t r = rng();
            c = static_cast<char>(r % 5 == 0 ? ' ' : r % 7 == 0 ? '\n' : (r >> 8));
            if (c == '\0')
                c = 'z';
        }
        TTF_Font* f = font_get(1 + rng() % FONT_SET_COUNT, rng() % FONT_FAMILY_COUNT);
        const int x = static_cast<int>(rng() % 200) - 60, y = static_cast<int>(rng() % 120) - 30;
        const int bw = static_cast<int>(rng() % 200) - 20, bh = static_cast<int>(rng() % 200) - 20;
        const int modes[] = {0, 1, 2, 255};
        const int bottom = draw_text(s.get(), text.c_str(), f, x, y, bw, bh, rng() % 8,
                                     modes[rng() % 4], rng());
        EXPECT_GE(bottom, y);
        draw_text_line(s.get(), text.c_str(), f, x, y, bw, rng());
        shorten_text_line(text.c_str(), f, bw, out, sizeof out);
        EXPECT_LE(strlen(out), TEXT_MAX_BYTES + 3);
    }
}

}  // namespace
