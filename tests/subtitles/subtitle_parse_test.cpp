// Subtitle timings, texts and character sets: the three formats, their
// cleaning, bad input refused without reading past it, and every one of the
// 32 character sets converting to UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "subtitles/charset.h"
#include "subtitles/subtitle_parse.h"
#include "tests/utf8_check.h"

namespace {

TEST(SubtitleTiming, TimingsParseOnlyWithinTheirInput)
{
    const struct {
        int format;
        std::string in;
        int64_t text_at;  // -1: does not parse
        int32_t start, end;
    } cases[] = {
        {1, "00:00:01,500 --> 00:00:02,000\nHi", 30, 1500, 2000},
        {1, "00:00:01.500 --> 00:00:02.000\nHi", 30, 1500, 2000},
        {1, "00:00:01,500 --> 00:00:02,000 X1:10 X2:20 Y1:1 Y2:2\nHi", 52, 1500, 2000},
        {1, "00:00:01,500 --> 00:00:02,000 X1:", -1, 0, 0},  // no line feed: no text
        {1, "00:00:01;500 --> 00:00:02,000\n", -1, 0, 0},
        {1, "596:31:23,647 --> 596:31:23,647\n", 32, INT32_MAX, INT32_MAX},
        {1, "596:31:23,648 --> 596:31:23,648\n", -1, 0, 0},  // past int32
        {1, "99999999999999999999:00:00,000 --> 0:00:00,000\n", -1, 0, 0},
        {1, "-1:00:00,000 --> 00:00:01,000\n", -1, 0, 0},
        {2, "Time#:12000:Hello", 12, 12000, 14000},
        {2, "Time#:12000", -1, 0, 0},
        {2, "Time#:abc:x", -1, 0, 0},
        {2, "Time#:2147483000:x", -1, 0, 0},  // the end would not fit
    };
    for (const auto& c : cases) {
        // Copied into a buffer of exactly its size, so that a read past the
        // input is caught by the sanitizers.
        std::unique_ptr<char[]> in(new char[c.in.size()]);
        std::memcpy(in.get(), c.in.data(), c.in.size());
        int32_t start = 0, end = 0;
        EXPECT_EQ(subtitle_timing_parse(in.get(), c.in.size(), c.format, &start, &end), c.text_at)
            << c.in;
        EXPECT_EQ(start, c.start) << c.in;
        EXPECT_EQ(end, c.end) << c.in;
    }
}

TEST(SubtitleDecode, TextsAreCleanedAndTimed)
{
    const struct {
        int format;
        const char* charset;
        std::string in;
        int result;
        const char* text;
        int32_t start, end;
    } cases[] = {
        {0, "", "Dialogue: 0,0:00:01.50,0:00:03.00,Default,,0,0,0,,Hello\\Nworld", 11,
         "Hello\nworld", 1500, 3000},
        {0, "", "Dialogue: 0,0:00:01.50,0:00:03.00,Default,,0,0,0,,{\\i1}Hello{\\i0}", 5, "Hello",
         1500, 3000},
        {0, "", "Dialogue: 0,0:00:01.50,0:00:03.00,D,,0,0,0,,{\\p1}m 0 0 l 9 0{\\p0}Hi", 2, "Hi",
         1500, 3000},
        {0, "", "Dialogue: 0,0:00:01.50,0:00:03.00,D,,0,0,0,,{\\k20}La{\\k30}la", -1, "", 0, 0},
        {0, "", "Comment: 0,0:00:01.50,0:00:03.00,D,,0,0,0,,Hi", -1, "", 0, 0},
        {0, "", "Dialogue: 0,0:00:01.50,0:00:03.00,D,,0,0,0", -1, "", 0, 0},  // no text field
        {0, "", "Dialogue: 0,0:00:01.50,0:00:03", -1, "", 0, 0},
        {1, "ASCII / UTF8", "00:00:01,000 --> 00:00:02,000\n<i>Hello</i>\n", 5, "Hello", 1000,
         2000},
        {1, "ASCII / UTF8", "00:00:01,000 --> 00:00:02,000\nA", 1, "A", 1000, 2000},
        {1, "ASCII / UTF8", "00:00:01,000 --> 00:00:02,000\r\nOne\r\nTwo\r\n\r\n", 7, "One\nTwo",
         1000, 2000},
        {1, "ASCII / UTF8", "00:00:01,000 --> 00:00:02,000\n<b></b>{x}\n", 0, "", 1000, 2000},
        {1, "CP1251 (ANSI Cyrillic)", "00:00:01,000 --> 00:00:02,000\n\xCF\xF0\xE8\xE2\xE5\xF2", 12,
         "Привет", 1000, 2000},
        {1, "ASCII / UTF8", "00:00:01,000 --> 00:00:02,000\n\xCF\xF0", 2, "\xCF\xF0", 1000, 2000},
        {2, "ASCII / UTF8", "Time#:12000:Hello", 5, "Hello", 12000, 14000},
        {2, "GB18030 (Chinese, Universal)", "Time#:0:\xC4\xE3\xBA\xC3", 6, "你好", 0, 2000},
        {3, "", "Time#:0:x", -1, "", 0, 0},
        {1, "", "", -1, "", 0, 0},
    };
    for (const auto& c : cases) {
        std::unique_ptr<char[]> in(new char[c.in.size() + 1]);
        std::memcpy(in.get(), c.in.data(), c.in.size());
        char out[SUBTITLE_TEXT_SIZE];
        int32_t start = 0, end = 0;
        EXPECT_EQ(
            subtitle_text_decode(in.get(), c.in.size(), out, c.format, c.charset, &start, &end),
            c.result)
            << c.in;
        EXPECT_STREQ(out, c.text) << c.in;
        EXPECT_EQ(start, c.start) << c.in;
        EXPECT_EQ(end, c.end) << c.in;
    }
}

// A long text is cut within 255 bytes before a whole character, whatever
// the character set made of it.
TEST(SubtitleDecode, LongTextsKeepWholeCharacters)
{
    const struct {
        const char* charset;
        std::string character;  // in that set
    } cases[] = {
        {"ASCII / UTF8", "\xF0\x9F\x98\x80"},                  // 4 bytes
        {"CP1251 (ANSI Cyrillic)", "\xE9"},                    // й, 2 bytes in UTF-8
        {"GB18030 (Chinese, Universal)", "\x94\x39\xFC\x36"},  // U+1F600, 4 bytes
    };
    for (const auto& c : cases) {
        std::string in = "00:00:01,000 --> 00:00:02,000\n";
        for (int i = 0; i < 300; i++)
            in += c.character;
        char out[SUBTITLE_TEXT_SIZE];
        const int n = subtitle_text_decode(in.data(), in.size(), out, 1, c.charset, nullptr,
                                           nullptr);
        EXPECT_GT(n, 250) << c.charset;
        EXPECT_LE(n, 255) << c.charset;
        EXPECT_TRUE(valid_utf8(out)) << c.charset;
    }
}

TEST(SubtitleCharset, EveryRowConverts)
{
    const auto rows = subtitle_charsets();
    ASSERT_EQ(rows.size(), 32u);
    for (size_t i = 0; i < rows.size(); i++) {
        CharsetConverter converter(rows[i]);
        const CharsetMode want = i == 0                                 ? CHARSET_PASS
                                 : std::strcmp(rows[i], "MacThai") == 0 ? CHARSET_TABLE
                                                                        : CHARSET_ICONV;
        EXPECT_EQ(converter.mode(), want) << rows[i];
        char out[16];
        EXPECT_EQ(converter.convert("Hi\n", 3, out, sizeof out), 3u) << rows[i];
        EXPECT_STREQ(out, "Hi\n") << rows[i];
        char setting[40] = "";
        ASSERT_TRUE(subtitle_charset_apply(static_cast<int>(i), setting, sizeof setting));
        EXPECT_EQ(subtitle_charset_row(setting), static_cast<int>(i));
    }
    char setting[40] = "MacThai";
    EXPECT_FALSE(subtitle_charset_apply(32, setting, sizeof setting));
    EXPECT_FALSE(subtitle_charset_apply(-1, setting, sizeof setting));
    EXPECT_STREQ(setting, "MacThai");
}

TEST(SubtitleCharset, BytesComeOutAsUtf8)
{
    const struct {
        const char* charset;
        std::string in;
        const char* out;
    } cases[] = {
        {"ASCII / UTF8", "\xCF\xF0\xE8", "\xCF\xF0\xE8"},  // passes unchanged
        {"MacThai", "\xA1\xE0\xDF\x80", "กเ฿«"},
        {"MacThai", "\xA1\x90\xA1", "ก"},  // an undefined byte ends the text
        {"MacThai", "\x83\xEE\xFB", "\xE0\xB9\x88™©"},
        {"CP1251 (ANSI Cyrillic)", "\xCF\x98\xE8", "П"},  // 0x98 is not in CP1251: stops
        {"NO-SUCH-SET (x)", "\xCF\xF0", "\xCF\xF0"},      // cannot open: unchanged
    };
    for (const auto& c : cases) {
        CharsetConverter converter(c.charset);
        char out[64];
        converter.convert(c.in.data(), c.in.size(), out, sizeof out);
        EXPECT_STREQ(out, c.out) << c.charset;
    }
    // A small output takes whole characters only.
    CharsetConverter cp1251("CP1251 (ANSI Cyrillic)");
    char small[4];
    EXPECT_EQ(cp1251.convert("\xCF\xF0\xE8", 3, small, sizeof small), 2u);
    EXPECT_STREQ(small, "П");
}

}  // namespace
