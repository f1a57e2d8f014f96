// Fuzzes the subtitle parsers with outside input: SRT files (external files
// from anywhere), streamed packets of the three formats and their timings,
// in a few character sets. Every input must stay within its buffer, every
// cue must be a terminated, non-empty text, and converted text must be
// well-formed UTF-8 (never a character cut in two).
#include <cstring>
#include <memory>
#include <string>

#include "subtitles/charset.h"
#include "subtitles/cue_table.h"
#include "subtitles/subtitle_parse.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

constexpr size_t LONGEST_INPUT = 1 << 16;
// Sets the first byte of an input chooses from: no conversion, two
// single-byte tables (iconv and our own), multi-byte and stateful sets.
constexpr const char* CHARSETS[] = {
    "ASCII / UTF8",         "CP1251 (ANSI Cyrillic)", "MacThai", "GB18030 (Chinese, Universal)",
    "ISO-2022-KR (Korean)", "SHIFT_JIS (Japanese)"};

bool valid_utf8(const char* text)
{
    for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p;) {
        const int n = *p < 0x80         ? 1
                      : (*p >> 5) == 6  ? 2
                      : (*p >> 4) == 14 ? 3
                      : (*p >> 3) == 30 ? 4
                                        : 0;
        if (n == 0)
            return false;
        for (int k = 1; k < n; k++)
            if ((p[k] & 0xC0) != 0x80)
                return false;
        p += n;
    }
    return true;
}

bool text_ok(const char* text, bool converted)
{
    const void* nul = std::memchr(text, '\0', SUBTITLE_TEXT_SIZE);
    return nul && (!converted || valid_utf8(text));
}

CueTable g_table;

int one(const uint8_t* bytes, size_t size)
{
    if (size == 0)
        return 0;
    const char* charset = CHARSETS[bytes[0] % std::size(CHARSETS)];
    const bool converted = bytes[0] % std::size(CHARSETS) != 0;
    // An exact-size copy: a read past the input is a sanitizer report.
    const size_t n = size - 1;
    std::unique_ptr<char[]> data(new char[n ? n : 1]);
    std::memcpy(data.get(), bytes + 1, n);

    const int count = subtitle_cues_parse(&g_table, data.get(), n, charset);
    if (count < 0 || count > MAX_SUBTITLE_CUES || count != g_table.count)
        return 1;
    for (int i = 0; i < count; i++)
        if (!g_table.cues[i].text[0] || !text_ok(g_table.cues[i].text, converted))
            return 1;
    for (int format : {SUBTITLE_FORMAT_SSA, SUBTITLE_FORMAT_SRT, SUBTITLE_FORMAT_PACKET}) {
        char out[SUBTITLE_TEXT_SIZE];
        int32_t start = 0, end = 0;
        const int r = subtitle_text_decode(data.get(), n, out, format, charset, &start, &end);
        if (r > 0 && (static_cast<size_t>(r) != std::strlen(out) || r > 255 ||
                      !text_ok(out, converted && format != SUBTITLE_FORMAT_SSA)))
            return 1;
        if (r >= 0 && (start < 0 || end < 0))
            return 1;
        subtitle_timing_parse(data.get(), n, format, &start, &end);
    }
    int32_t start = 0, end = 0;
    const int64_t field = subtitle_dialogue_parse(data.get(), n, &start, &end);
    if (field > static_cast<int64_t>(n))
        return 1;
    for (int64_t t : {int64_t{0}, int64_t{1500}, int64_t{INT32_MAX}})
        subtitle_cue_pick(&g_table, t, CUE_PICK_LOCAL);
    subtitle_stream_cue_add(&g_table, data.get(), n, SUBTITLE_FORMAT_SRT, charset);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz_main(
        argc, argv, one,
        {std::string("\x00", 1) + "1\r\n00:00:01,500 --> 00:00:02,000\r\n<i>Hello</i>\r\n\r\n"
                                  "2\n00:00:03.000 --> 00:00:04.000 X1:1 X2:2 Y1:3 Y2:4\nWorld",
         "\x01"
         "00:00:01,000 --> 00:00:02,000\n\xCF\xF0\xE8\xE2\xE5\xF2\n",
         "\x03"
         "Time#:12000:\xC4\xE3\xBA\xC3",
         std::string("\x00", 1) +
             "Dialogue: 0,0:00:01.50,0:00:03.00,Default,,0,0,0,,{\\i1}Hi{\\p1}m 0 0{\\p0}\\Nthere",
         "\x02"
         "00:00:01,000 --> 00:00:02,000\n\xA1\xE0\x83\x90\n"},
        LONGEST_INPUT);
}
