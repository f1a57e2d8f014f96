#include "ui/text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* FONT_FILES[FONT_FAMILY_COUNT] = {"PreludeCondensed-Medium.ttf", "HeiS_nb.ttf",
                                                       "DejaVuSansCondensed.ttf", "Dotum_nb.ttf",
                                                       "Garuda.ttf"};
constexpr int FONT_SIZES[FONT_SET_COUNT] = {17, 17, 17, 20, 28, 36};

TTF_Font* g_fonts[FONT_SET_COUNT][FONT_FAMILY_COUNT];
int g_line_height[FONT_SET_COUNT];
// Whether a font has every printable ASCII glyph, so the per-character
// face check can skip those characters (set by fonts_open).
bool g_has_ascii[FONT_SET_COUNT][FONT_FAMILY_COUNT];

bool is_continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Length of text cut to at most `limit` bytes without splitting a UTF-8
// sequence (at most five continuation bytes are stepped back over).
size_t cut_length(const char* text, size_t limit)
{
    size_t len = strnlen(text, limit + 1);
    if (len <= limit)
        return len;
    size_t n = limit;
    for (int back = 0; back < 5 && n > 0 && is_continuation(static_cast<unsigned char>(text[n]));
         ++back)
        --n;
    return is_continuation(static_cast<unsigned char>(text[n])) ? limit : n;
}

// The text as the font renderer can take it: well-formed UTF-8 of the
// basic multilingual plane. Malformed bytes and characters beyond it (which
// the renderer cannot hold) become "?", so no glyph run is misread.
std::string renderable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        const size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
        bool ok = n > 0 && i + n <= text.size();
        for (size_t k = 1; ok && k < n; ++k)
            ok = is_continuation(static_cast<unsigned char>(text[i + k]));
        if (ok && n == 2)
            ok = c >= 0xC2;  // no overlong forms
        if (ok && n == 3) {
            const unsigned char c1 = text[i + 1];
            ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);  // overlong, surrogates
        }
        if (ok) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        out += '?';
        // Skip the rest of a malformed or out-of-plane sequence.
        ++i;
        while (i < text.size() && is_continuation(static_cast<unsigned char>(text[i])))
            ++i;
    }
    return out;
}

// The family a text's first deciding byte asks for, -1 when none does.
int family_for_text(std::string_view text)
{
    for (unsigned char b : text) {
        if (b >= 0xEA && b <= 0xED)
            return FONT_DOTUM;
        if (b == 0xE1 || b == 0xF1)
            return FONT_DEJAVU;
        if (b == 0xE0 || b == 0xF0)
            return FONT_GARUDA;
        if (b >= 0xE2)
            return FONT_HEIS;
        if (b >= 0xC0)
            return FONT_DEJAVU;
    }
    return -1;
}

TTF_Font* font_for(std::string_view text, TTF_Font* font)
{
    const int family = family_for_text(text);
    if (family < 0)
        return font;
    int set = font_set_of(font);
    if (set == 0)
        set = FONT_SET_HUGE;
    TTF_Font* companion = font_get(set, family);
    return companion ? companion : font;
}

// The next character of renderable text at text[i] (i moves past it).
Uint16 next_char(std::string_view text, size_t& i)
{
    const unsigned char c = text[i++];
    if (c < 0x80)
        return c;
    const int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 0;
    if (extra == 0)
        return '?';
    Uint16 ch = c & (extra == 1 ? 0x1F : 0x0F);
    for (int k = 0; k < extra && i < text.size() && is_continuation(text[i]); ++k)
        ch = static_cast<Uint16>(ch << 6 | (text[i++] & 0x3F));
    return ch;
}

// A stretch of text whose characters one face draws.
struct TextRun {
    TTF_Font* font;
    std::string text;
    int width = 0;
};

bool provides_ascii(TTF_Font* font)
{
    for (Uint16 c = 0x20; c < 0x7F; ++c)
        if (!TTF_GlyphIsProvided(font, c))
            return false;
    return true;
}

bool has_ascii(TTF_Font* font)
{
    for (int s = 0; s < FONT_SET_COUNT; ++s)
        for (int f = 0; f < FONT_FAMILY_COUNT; ++f)
            if (g_fonts[s][f] == font)
                return g_has_ascii[s][f];
    return false;
}

// True when `face` itself draws every character of the text.
bool face_draws_all(TTF_Font* face, std::string_view text)
{
    const bool ascii = has_ascii(face);
    for (size_t i = 0; i < text.size();) {
        const Uint16 ch = next_char(text, i);
        if (!(ascii && ch >= 0x20 && ch < 0x7F) && font_for_char(face, ch) != face)
            return false;
    }
    return true;
}

// The text split into runs by the face that draws each character (a space
// joins the run before it); empty when `face` draws all of it (the common
// case costs no allocation).
std::vector<TextRun> fallback_runs(TTF_Font* face, std::string_view text)
{
    std::vector<TextRun> runs;
    if (face_draws_all(face, text))
        return runs;
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        const Uint16 ch = next_char(text, i);
        // A space stays with the word before it, so Latin words keep their
        // own spacing and runs stay few.
        TTF_Font* f = ch == ' ' && !runs.empty() && TTF_GlyphIsProvided(runs.back().font, ch)
                          ? runs.back().font
                          : font_for_char(face, ch);
        if (runs.empty() || runs.back().font != f)
            runs.push_back({f, {}});
        runs.back().text.append(text.substr(start, i - start));
    }
    return runs;
}

// Measures the runs of a text drawn in `face` laid side by side on a common
// baseline: each run's width, the total width and height, and the
// baseline's distance from the top. The height is never below face's, so
// lines keep their spacing. False when a run cannot be measured.
bool measure_runs(TTF_Font* face, std::vector<TextRun>& runs, int* width, int* height,
                  int* baseline)
{
    int w = 0, ascent = TTF_FontAscent(face), descent = TTF_FontHeight(face) - ascent;
    for (TextRun& run : runs) {
        int h = 0;
        if (TTF_SizeUTF8(run.font, run.text.c_str(), &run.width, &h) != 0)
            return false;
        w += run.width;
        ascent = std::max(ascent, TTF_FontAscent(run.font));
        descent = std::max(descent, h - TTF_FontAscent(run.font));
    }
    *width = w;
    *height = ascent + descent;
    *baseline = ascent;
    return true;
}

// Size of a non-empty renderable text drawn in `face`, missing characters
// in their fallback faces. False (outputs untouched) when it cannot be
// measured.
bool text_runs_size(TTF_Font* face, const std::string& text, int* width, int* height)
{
    std::vector<TextRun> runs = fallback_runs(face, text);
    int w = 0, h = 0, baseline = 0;
    if (runs.empty() ? TTF_SizeUTF8(face, text.c_str(), &w, &h) != 0
                     : !measure_runs(face, runs, &w, &h, &baseline))
        return false;
    *width = w;
    *height = h;
    return true;
}

// A non-empty renderable text rendered blended in `face`; missing
// characters are rendered in their fallback faces and the pieces joined on
// the baseline. Null when nothing can be rendered.
SurfacePtr text_runs_render(TTF_Font* face, const std::string& text, SDL_Color colour)
{
    std::vector<TextRun> runs = fallback_runs(face, text);
    if (runs.empty())
        return SurfacePtr(TTF_RenderUTF8_Blended(face, text.c_str(), colour));
    int w = 0, h = 0, baseline = 0;
    if (!measure_runs(face, runs, &w, &h, &baseline))
        return nullptr;
    SurfacePtr out(surface_create(w, h));
    if (!out)
        return nullptr;
    // Transparent pixels carry the text colour, as the renderer's own do.
    fill_rect(out.get(), 0, 0, w, h, SDL_MapRGBA(out->format, colour.r, colour.g, colour.b, 0));
    int x = 0;
    for (const TextRun& run : runs) {
        SurfacePtr img(TTF_RenderUTF8_Blended(run.font, run.text.c_str(), colour));
        copy_pixels(out.get(), img.get(), x, baseline - TTF_FontAscent(run.font));
        x += run.width;
    }
    return out;
}

int width_of(TTF_Font* font, const std::string& text)
{
    int w = 0, h = 0;
    if (text.empty() || !text_runs_size(font, text, &w, &h))
        return 0;
    return w;
}

SDL_Color text_colour(uint32_t colour)
{
    SDL_Color c{};
    c.r = colour & 0xFF;
    c.g = (colour >> 8) & 0xFF;
    c.b = (colour >> 16) & 0xFF;
    return c;
}

// Byte length of the longest run of whole characters at the start of word
// that fits width; at least one character, so a narrow box still moves on.
size_t fitting_prefix(TTF_Font* font, const std::string& word, int width)
{
    std::vector<size_t> ends;  // the length after each character
    for (size_t i = 1; i <= word.size(); ++i)
        if (i == word.size() || !is_continuation(static_cast<unsigned char>(word[i])))
            ends.push_back(i);
    size_t lo = 0, hi = ends.size();  // ends[lo] fits (or is the first), ends[hi] does not
    while (lo + 1 < hi) {
        const size_t mid = (lo + hi) / 2;
        if (width_of(font, word.substr(0, ends[mid])) <= width)
            lo = mid;
        else
            hi = mid;
    }
    return ends.empty() ? word.size() : ends[lo];
}

// Breaks one line into pieces no wider than box_width, at spaces; a word
// wider than the box (a long path, a name without blanks) is broken after
// its last "/" that fits, else between characters, rather than left to run
// out of its box.
void break_line(TTF_Font* font, const std::string& line, int box_width,
                std::vector<std::string>& pieces)
{
    if (width_of(font, line) <= box_width) {
        pieces.push_back(line);
        return;
    }
    size_t pos = 0;
    while (pos < line.size()) {
        // Extend the piece space by space while it fits.
        size_t best = std::string::npos;
        for (size_t search = pos;;) {
            size_t next = line.find(' ', search);
            if (next == std::string::npos)
                next = line.size();
            if (next > pos) {
                if (width_of(font, line.substr(pos, next - pos)) > box_width)
                    break;
                best = next;
            }
            if (next >= line.size())
                break;
            search = next + 1;
        }
        if (best == std::string::npos) {  // the first word alone is too wide
            size_t end = line.find(' ', pos);
            std::string word = line.substr(pos, end == std::string::npos ? end : end - pos);
            size_t fits = fitting_prefix(font, word, box_width);
            // A path breaks after a "/" where it can, keeping names whole.
            size_t slash = fits > 1 ? word.find_last_of('/', fits - 1) : std::string::npos;
            best = pos + (slash != std::string::npos && slash > 0 ? slash + 1 : fits);
        }
        pieces.push_back(line.substr(pos, best - pos));
        pos = line.find_first_not_of(' ', best);
        if (pos == std::string::npos)
            break;
    }
}

// s without its last whole UTF-8 character.
void drop_last_char(std::string& s)
{
    if (s.empty())
        return;
    size_t n = s.size() - 1;
    while (n > 0 && is_continuation(static_cast<unsigned char>(s[n])))
        --n;
    s.resize(n);
}

// s shortened by whole characters until s + "..." fits width, then "..."
// appended: the sign that more text did not fit.
std::string with_ellipsis(TTF_Font* font, std::string s, int width)
{
    while (!s.empty() && width_of(font, s + "...") > width)
        drop_last_char(s);
    return s + "...";
}

// The pieces that fit box_height from the top (at least one); when some are
// left out, the last one kept ends with "...".
void keep_fitting_pieces(TTF_Font* font, std::vector<std::string>& pieces,
                         const std::vector<int>& heights, int box_width, int box_height)
{
    size_t keep = 0;
    for (int used = 0; keep < pieces.size() && used + heights[keep] <= box_height; ++keep)
        used += heights[keep];
    keep = std::max<size_t>(keep, 1);
    if (keep >= pieces.size())
        return;
    pieces.resize(keep);
    pieces.back() = with_ellipsis(font, pieces.back(), box_width);
}

// Puts one rendered piece on dst in the given mode.
void put_piece(Surface* dst, TTF_Font* font, const std::string& piece, int px, int y, int mode,
               uint32_t colour)
{
    SurfacePtr img = text_runs_render(font, piece, text_colour(colour));
    if (!img)
        return;
    if (mode == TEXT_BOXED)
        fill_rect(dst, px - 2, y, img->w + 4, img->h + 4, 0xFF000000u);
    if (mode == TEXT_REPLACE)
        copy_pixels(dst, img.get(), px, y);
    else
        blit_alpha(dst, img.get(), px, y);
}

}  // namespace

const char* font_file(int family)
{
    return family >= 0 && family < FONT_FAMILY_COUNT ? FONT_FILES[family] : nullptr;
}

int font_set_size(int set)
{
    return set >= 1 && set <= FONT_SET_COUNT ? FONT_SIZES[set - 1] : 0;
}

int fonts_open()
{
    for (int s = 0; s < FONT_SET_COUNT; ++s) {
        for (int f = 0; f < FONT_FAMILY_COUNT; ++f) {
            g_fonts[s][f] = TTF_OpenFont(FONT_FILES[f], FONT_SIZES[s]);
            if (!g_fonts[s][f]) {
                fonts_close();
                return -1;
            }
            g_has_ascii[s][f] = provides_ascii(g_fonts[s][f]);
            if (f == FONT_PRELUDE && (s + 1 == FONT_SET_SMALL || s + 1 == FONT_SET_MAIN)) {
                int w = 0, h = 0;
                TTF_SizeUTF8(g_fonts[s][f], "fontsize", &w, &h);
                g_line_height[s] = h;
            }
        }
    }
    return 0;
}

void fonts_close()
{
    for (auto& set : g_fonts) {
        for (TTF_Font*& font : set) {
            if (font)
                TTF_CloseFont(font);
            font = nullptr;
        }
    }
    std::fill(std::begin(g_line_height), std::end(g_line_height), 0);
    std::fill(&g_has_ascii[0][0], &g_has_ascii[0][0] + FONT_COUNT, false);
}

TTF_Font* font_get(int set, int family)
{
    if (set < 1 || set > FONT_SET_COUNT || family < 0 || family >= FONT_FAMILY_COUNT)
        return nullptr;
    return g_fonts[set - 1][family];
}

int font_set_of(TTF_Font* font)
{
    if (!font)
        return 0;
    for (int s = 0; s < FONT_SET_COUNT; ++s)
        for (TTF_Font* f : g_fonts[s])
            if (f == font)
                return s + 1;
    return 0;
}

int font_line_height(TTF_Font* font)
{
    if (!font)
        return 0;
    const int set = font_set_of(font);
    if (set >= 1 && g_line_height[set - 1] > 0 && font == g_fonts[set - 1][FONT_PRELUDE])
        return g_line_height[set - 1];
    return TTF_FontHeight(font);
}

TTF_Font* pick_font_for_text(const char* text, TTF_Font* font)
{
    if (!text)
        return font;
    return font_for(std::string_view(text, cut_length(text, TEXT_MAX_BYTES)), font);
}

TTF_Font* font_for_char(TTF_Font* face, uint16_t ch)
{
    if (!face || TTF_GlyphIsProvided(face, ch))
        return face;
    int set = font_set_of(face);
    if (set == 0)
        set = FONT_SET_HUGE;
    for (int family : {FONT_PRELUDE, FONT_DEJAVU}) {
        TTF_Font* f = font_get(set, family);
        if (f && f != face && TTF_GlyphIsProvided(f, ch))
            return f;
    }
    return face;
}

int text_size(TTF_Font* font, const char* text, int* width, int* height)
{
    if (!font || !text)
        return -1;
    return text_size_in_face(pick_font_for_text(text, font), text, width, height);
}

int text_size_in_face(TTF_Font* face, const char* text, int* width, int* height)
{
    int w = 0, h = 0;
    if (!face || !text)
        return -1;
    const std::string s = renderable(std::string_view(text, cut_length(text, TEXT_MAX_BYTES)));
    if (s.empty())
        h = TTF_FontHeight(face);
    else if (!text_runs_size(face, s, &w, &h))
        return -1;
    if (width)
        *width = w;
    if (height)
        *height = h;
    return 0;
}

int draw_text(Surface* dst, const char* text, TTF_Font* font, int x, int y, int box_width,
              int box_height, int align, int mode, uint32_t colour)
{
    if (!dst || !text || !font || x >= dst->w || y >= dst->h)
        return y;
    const std::string_view cut(text, cut_length(text, TEXT_MAX_BYTES));
    TTF_Font* f = font_for(cut, font);
    const std::string buf = renderable(cut);
    const int line_height = font_line_height(f);
    const int wrap_width = std::max(box_width, 1);

    // Every line broken into the pieces drawn one under the other.
    std::vector<std::string> pieces;
    int first_line_width = 0;
    for (size_t start = 0; start < buf.size();) {
        size_t nl = buf.find('\n', start);
        if (nl == std::string::npos)
            nl = buf.size();
        std::string line = buf.substr(start, nl - start);
        start = nl + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (pieces.empty())
            first_line_width = width_of(f, line);
        break_line(f, line, wrap_width, pieces);
    }
    std::vector<int> heights(pieces.size(), TTF_FontHeight(f));
    std::vector<int> widths(pieces.size(), 0);
    int total = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].empty())
            text_runs_size(f, pieces[i], &widths[i], &heights[i]);
        total += heights[i];
    }
    // A text taller than its box ends in "..." on the last line that fits,
    // rather than being cut through a line (a row's long name).
    if (total > box_height && !heights.empty() && heights[0] <= box_height) {
        size_t before = pieces.size();
        keep_fitting_pieces(f, pieces, heights, wrap_width, box_height);
        if (pieces.size() < before)
            text_runs_size(f, pieces.back(), &widths[pieces.size() - 1],
                           &heights[pieces.size() - 1]);
    }
    if (!pieces.empty() && (align == ALIGN_CENTRE_MIDDLE || align == ALIGN_LEFT_MIDDLE)) {
        const int lines = first_line_width / wrap_width + 1;
        y += std::max(0, (box_height - lines * line_height) / 2);
    }
    for (size_t i = 0; i < pieces.size(); ++i) {
        const int pw = widths[i];
        int px = x + (box_width - pw) / 2;
        if (align == ALIGN_LEFT || align == 5 || align == ALIGN_LEFT_MIDDLE || align == 7)
            px = x;
        else if (align == ALIGN_RIGHT)
            px = x + box_width - pw;
        if (mode != TEXT_MEASURE && !pieces[i].empty())
            put_piece(dst, f, pieces[i], px, y, mode, colour);
        y += heights[i];
    }
    return y;
}

size_t shorten_text_line(const char* text, TTF_Font* font, int max_width, char* out,
                         size_t out_size)
{
    if (!out || out_size == 0)
        return 0;
    out[0] = '\0';
    if (!text || !font)
        return 0;
    const std::string_view cut(text, cut_length(text, TEXT_MAX_BYTES));
    TTF_Font* f = font_for(cut, font);
    std::string s = renderable(cut);
    if (width_of(f, s) > max_width) {
        s.resize(fitting_prefix(f, s, max_width));
        s = with_ellipsis(f, s, max_width);
    }
    const size_t n = cut_length(s.c_str(), out_size - 1);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
    return n;
}

void draw_text_line(Surface* dst, const char* text, TTF_Font* font, int x, int y, int max_width,
                    uint32_t colour)
{
    if (!dst || !text || !font)
        return;
    char line[TEXT_MAX_BYTES + 8];
    if (shorten_text_line(text, font, max_width, line, sizeof line) == 0)
        return;
    SurfacePtr img = text_runs_render(pick_font_for_text(text, font), line, text_colour(colour));
    blit_alpha(dst, img.get(), x, y);
}
