#include "ui/text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* FONT_FILES[FONT_FAMILY_COUNT] = {
    "PreludeCondensed-Medium.ttf", "HeiS_nb.ttf", "DejaVuSansCondensed.ttf", "Dotum_nb.ttf",
    "Garuda.ttf"};
constexpr int FONT_SIZES[FONT_SET_COUNT] = {17, 17, 17, 20, 28, 36};

TTF_Font* g_fonts[FONT_SET_COUNT][FONT_FAMILY_COUNT];
int g_line_height[FONT_SET_COUNT];

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

int width_of(TTF_Font* font, const std::string& text)
{
    int w = 0, h = 0;
    if (text.empty() || TTF_SizeUTF8(font, text.c_str(), &w, &h) != 0)
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

// Breaks one line into pieces no wider than box_width, at spaces; a word
// wider than the box becomes a piece of its own.
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
                if (width_of(font, line.substr(pos, next - pos)) <= box_width) {
                    best = next;
                } else {
                    if (best == std::string::npos)
                        best = next;  // a single word wider than the box
                    break;
                }
            }
            if (next >= line.size())
                break;
            search = next + 1;
        }
        pieces.push_back(line.substr(pos, best - pos));
        pos = line.find_first_not_of(' ', best);
        if (pos == std::string::npos)
            break;
    }
}

// Puts one rendered piece on dst in the given mode.
void put_piece(Surface* dst, TTF_Font* font, const std::string& piece, int px, int y, int mode,
               uint32_t colour, int* height)
{
    SurfacePtr img(TTF_RenderUTF8_Blended(font, piece.c_str(), text_colour(colour)));
    if (!img) {
        *height = TTF_FontHeight(font);
        return;
    }
    *height = img->h;
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

int text_size(TTF_Font* font, const char* text, int* width, int* height)
{
    int w = 0, h = 0;
    if (!font || !text)
        return -1;
    const std::string_view cut(text, cut_length(text, TEXT_MAX_BYTES));
    TTF_Font* f = font_for(cut, font);
    const std::string s = renderable(cut);
    if (s.empty())
        h = TTF_FontHeight(f);
    else if (TTF_SizeUTF8(f, s.c_str(), &w, &h) != 0)
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

    bool first = true;
    size_t start = 0;
    std::vector<std::string> pieces;
    while (start < buf.size()) {
        size_t nl = buf.find('\n', start);
        if (nl == std::string::npos)
            nl = buf.size();
        std::string line = buf.substr(start, nl - start);
        start = nl + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        const int line_width = width_of(f, line);
        if (first && (align == ALIGN_CENTRE_MIDDLE || align == ALIGN_LEFT_MIDDLE)) {
            const int lines = line_width / wrap_width + 1;
            y += std::max(0, (box_height - lines * line_height) / 2);
        }
        first = false;

        pieces.clear();
        break_line(f, line, wrap_width, pieces);
        for (const std::string& piece : pieces) {
            const int pw = width_of(f, piece);
            int px = x + (box_width - pw) / 2;
            if (align == ALIGN_LEFT || align == 5 || align == ALIGN_LEFT_MIDDLE || align == 7)
                px = x;
            else if (align == ALIGN_RIGHT)
                px = x + box_width - pw;
            int ph = TTF_FontHeight(f);
            if (mode != TEXT_MEASURE && !piece.empty())
                put_piece(dst, f, piece, px, y, mode, colour, &ph);
            y += ph;
        }
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
    // Drops the last whole UTF-8 character (back to its lead byte).
    auto drop_last = [&s] {
        size_t n = s.size() - 1;
        while (n > 0 && is_continuation(static_cast<unsigned char>(s[n])))
            --n;
        s.resize(n);
    };
    bool shortened = false;
    if (width_of(f, s) > max_width) {
        // Longest prefix of whole characters that fits (binary search over
        // the character starts; widths grow with the prefix).
        std::vector<size_t> starts;
        for (size_t i = 0; i < s.size(); ++i)
            if (!is_continuation(static_cast<unsigned char>(s[i])))
                starts.push_back(i);
        size_t lo = 0, hi = starts.size();  // prefix ending before starts[k], k in [lo, hi)
        while (lo + 1 < hi) {
            const size_t mid = (lo + hi) / 2;
            if (width_of(f, s.substr(0, starts[mid])) <= max_width)
                lo = mid;
            else
                hi = mid;
        }
        s.resize(starts.empty() ? 0 : starts[lo]);
        while (!s.empty() && width_of(f, s) > max_width)
            drop_last();
        shortened = true;
    }
    if (shortened) {
        for (int i = 0; i < 2 && !s.empty(); ++i)
            drop_last();
        while (!s.empty() && width_of(f, s + "...") > max_width)
            drop_last();
        s += "...";
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
    SurfacePtr img(TTF_RenderUTF8_Blended(pick_font_for_text(text, font), line,
                                          text_colour(colour)));
    blit_alpha(dst, img.get(), x, y);
}
