#include "subtitles/subtitle_parse.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "subtitles/charset.h"
#include "subtitles/subtitle_text.h"

namespace {

constexpr std::string_view DIALOGUE_KEYWORD = "Dialogue:";
constexpr std::string_view PACKET_KEYWORD = "Time#:";
// A format-2 packet carries only its start; it is shown this long.
constexpr int64_t PACKET_SHOW_MS = 2000;
// Fields of a dialogue line before its text.
constexpr int DIALOGUE_TEXT_COMMAS = 9;
// Converted text is cleaned before it is cut to a cue's 255 bytes, so it is
// given room for markup ("<font color=...>") around a full cue.
constexpr size_t CONVERTED_SIZE = 1024;
// At most this much input is converted: four bytes per character is the
// longest any of the character sets uses, so the output fills first.
constexpr size_t CONVERT_INPUT_MAX = 4 * CONVERTED_SIZE;
// A number in a timing that grows past this cannot give an int32 time.
constexpr int64_t NUMBER_LIMIT = INT64_C(1) << 40;

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A bounded reader with the few conversions of the timing formats, each
// behaving as its scanf conversion does ("%d", "%2d", "%*1[,.]", a literal,
// a blank that matches any run of white space) but never reading past end
// and refusing numbers too large for a time instead of overflowing.
struct Scanner {
    const char* p;
    const char* end;

    void blanks()
    {
        while (p < end && is_space(*p))
            p++;
    }
    // width 0: any number of digits; else at most width characters, sign included.
    bool number(int width, int64_t* value)
    {
        blanks();
        const char* limit = width > 0 && end - p > width ? p + width : end;
        bool negative = false;
        if (p < limit && (*p == '-' || *p == '+'))
            negative = *p++ == '-';
        if (p >= limit || *p < '0' || *p > '9')
            return false;
        int64_t v = 0;
        for (; p < limit && *p >= '0' && *p <= '9'; p++) {
            v = v * 10 + (*p - '0');
            if (v > NUMBER_LIMIT)
                return false;
        }
        *value = negative ? -v : v;
        return true;
    }
    bool literal(std::string_view text)
    {
        if (static_cast<size_t>(end - p) < text.size() || std::memcmp(p, text.data(), text.size()))
            return false;
        p += text.size();
        return true;
    }
    bool one_of(const char* set)
    {
        if (p >= end || !std::strchr(set, *p) || *p == '\0')
            return false;
        p++;
        return true;
    }
    // "h:mm:ss<sep>fraction"; false when any part is missing.
    bool clock_time(int fraction_width, int64_t fraction_ms, int64_t* ms)
    {
        int64_t h = 0, m = 0, s = 0, f = 0;
        if (!number(0, &h) || !literal(":") || !number(2, &m) || !literal(":") || !number(2, &s) ||
            !one_of(",.") || !number(fraction_width, &f))
            return false;
        *ms = f * fraction_ms + 1000 * (3600 * h + 60 * m + s);
        return true;
    }
};

bool time_usable(int64_t ms)
{
    return ms >= 0 && ms <= INT32_MAX;
}

// *start += add_start, *end += add_end when both results are usable times.
bool add_times(int32_t* start, int32_t* end, int64_t add_start, int64_t add_end)
{
    const int64_t s = int64_t{*start} + add_start, e = int64_t{*end} + add_end;
    if (!time_usable(s) || !time_usable(e))
        return false;
    *start = static_cast<int32_t>(s);
    *end = static_cast<int32_t>(e);
    return true;
}

const char* find(const char* data, size_t size, std::string_view what)
{
    return static_cast<const char*>(memmem(data, size, what.data(), what.size()));
}

int64_t srt_timing(const char* data, size_t size, int32_t* start_ms, int32_t* end_ms)
{
    const char* line_end = static_cast<const char*>(std::memchr(data, '\n', size));
    if (!line_end)
        return -1;  // no line feed: no text follows
    Scanner in{data, line_end};
    int64_t start = 0, end = 0;
    if (!in.clock_time(3, 1, &start))
        return -1;
    in.blanks();
    if (!in.literal("-->") || !in.clock_time(3, 1, &end))
        return -1;
    // Any "X1:... Y2:..." position values after the times are not used.
    if (!time_usable(start) || !time_usable(end) || !add_times(start_ms, end_ms, start, end))
        return -1;
    return line_end + 1 - data;
}

int64_t packet_timing(const char* data, size_t size, int32_t* start_ms, int32_t* end_ms)
{
    const char* key = find(data, size, PACKET_KEYWORD);
    if (!key)
        return -1;
    const char* digits = key + PACKET_KEYWORD.size();
    const char* colon = static_cast<const char*>(std::memchr(digits, ':', data + size - digits));
    Scanner in{digits, colon ? colon : digits};
    int64_t start = 0;
    if (!colon || !in.number(0, &start) || !time_usable(start) ||
        !add_times(start_ms, end_ms, start, start + PACKET_SHOW_MS))
        return -1;
    return colon + 1 - data;
}

// A CR before a LF goes, and so do trailing line ends; the new length.
size_t tidy_line_ends(char* text)
{
    size_t w = 0;
    for (size_t r = 0; text[r]; r++)
        if (!(text[r] == '\r' && text[r + 1] == '\n'))
            text[w++] = text[r];
    while (w > 0 && (text[w - 1] == '\r' || text[w - 1] == '\n'))
        w--;
    text[w] = '\0';
    return w;
}

int decode_dialogue(const char* data, size_t size, char* out, int32_t* start, int32_t* end)
{
    const char* key = find(data, size, DIALOGUE_KEYWORD);
    if (!key)
        return -1;
    const char* rest = key + DIALOGUE_KEYWORD.size();
    const size_t rest_size = data + size - rest;
    const int64_t field = subtitle_dialogue_parse(rest, rest_size, start, end);
    if (field < 0 ||
        subtitle_dialogue_clean(rest + field, rest_size - field, out, SUBTITLE_TEXT_SIZE) < 0)
        return -1;
    return static_cast<int>(tidy_line_ends(out));
}

}  // namespace

int64_t subtitle_timing_parse(const char* data, size_t size, int format, int32_t* start_ms,
                              int32_t* end_ms)
{
    if (!data || !start_ms || !end_ms)
        return -1;
    if (format == SUBTITLE_FORMAT_SRT)
        return srt_timing(data, size, start_ms, end_ms);
    if (format == SUBTITLE_FORMAT_PACKET)
        return packet_timing(data, size, start_ms, end_ms);
    return -1;
}

int64_t subtitle_dialogue_parse(const char* data, size_t size, int32_t* start_ms, int32_t* end_ms)
{
    if (!data || !start_ms || !end_ms)
        return -1;
    Scanner in{data, data + size};
    int64_t layer = 0, start = 0, end = 0;
    if (!in.number(0, &layer) || !in.literal(",") || !in.clock_time(2, 10, &start) ||
        !in.literal(",") || !in.clock_time(2, 10, &end) || !time_usable(start) || !time_usable(end))
        return -1;
    const char* p = data;
    for (int commas = 0; commas < DIALOGUE_TEXT_COMMAS; commas++) {
        p = static_cast<const char*>(std::memchr(p, ',', data + size - p));
        if (!p)
            return -1;
        p++;
    }
    *start_ms = static_cast<int32_t>(start);
    *end_ms = static_cast<int32_t>(end);
    return p - data;
}

int subtitle_text_decode_with(const char* data, size_t size, char* out, int format,
                              CharsetConverter* converter, int32_t* out_start, int32_t* out_end)
{
    if (!data || size < 1 || !out)
        return -1;
    out[0] = '\0';
    int32_t start = 0, end = 0;
    int length = -1;
    if (format == SUBTITLE_FORMAT_SSA) {
        length = decode_dialogue(data, size, out, &start, &end);
    } else if (format == SUBTITLE_FORMAT_SRT || format == SUBTITLE_FORMAT_PACKET) {
        const int64_t text = subtitle_timing_parse(data, size, format, &start, &end);
        if (text < 0)
            return -1;
        char converted[CONVERTED_SIZE];
        const size_t text_size = std::min(size - text, CONVERT_INPUT_MAX);
        if (converter)
            converter->convert(data + text, text_size, converted, sizeof converted);
        else
            CharsetConverter(nullptr).convert(data + text, text_size, converted, sizeof converted);
        subtitle_plain_text(converted, out, SUBTITLE_TEXT_SIZE);
        length = static_cast<int>(tidy_line_ends(out));
    }
    if (length >= 0 && out_start)
        *out_start = start;
    if (length >= 0 && out_end)
        *out_end = end;
    return length;
}

int subtitle_text_decode(const char* data, size_t size, char* out, int format, const char* charset,
                         int32_t* out_start, int32_t* out_end)
{
    if (format != SUBTITLE_FORMAT_SRT && format != SUBTITLE_FORMAT_PACKET)
        return subtitle_text_decode_with(data, size, out, format, nullptr, out_start, out_end);
    CharsetConverter converter(charset);
    return subtitle_text_decode_with(data, size, out, format, &converter, out_start, out_end);
}
