// Subtitle markup turned into the text drawn over the picture.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "subtitles/subtitle_text.h"

namespace {

using TextFn = void (*)(const char*, char*, size_t);

struct Case {
    TextFn fn;
    const char* in;
    size_t out_size;
    const char* want;
};

TEST(SubtitleText, MarkupIsDroppedAndCutsKeepWholeCharacters)
{
    const Case cases[] = {
        {subtitle_plain_text, "{\\b1}<i>Hello</i>{\\b0}", 256, "Hello"},
        {subtitle_plain_text, "a<b", 256, "a"},
        {subtitle_plain_text, "abcdef", 4, "abc"},
        // "é" is two bytes: a cut never leaves half of it.
        {subtitle_plain_text,
         "ab\xC3\xA9"
         "cd",
         4, "ab"},
        {subtitle_dialogue_text, "0,0,Default,,0,0,0,,{\\i1}Hello{\\i0}\\Nworld", 256,
         "Hello\nworld"},
        {subtitle_dialogue_text, "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Hi, there", 256,
         "Hi, there"},
        {subtitle_dialogue_text, "0,0,D,,0,0,0,,a\\hb\r\n", 256, "a b"},
        {subtitle_dialogue_text, "too,few,commas", 256, ""},
        {subtitle_dialogue_text, "0,0,D,,0,0,0,,x\xE2\x82\xAC", 4, "x"},
    };
    for (const Case& c : cases) {
        char out[256];
        std::memset(out, 0x7f, sizeof out);
        c.fn(c.in, out, c.out_size);
        EXPECT_STREQ(out, c.want) << c.in;
    }
}

TEST(SubtitleText, RandomInputStaysInBounds)
{
    std::mt19937 rng(99);
    const char alphabet[] = "{}<>\\Nnh,ab Dialogue:\xC3\xA9";
    for (int round = 0; round < 2000; round++) {
        std::string in(rng() % 300, ' ');
        for (char& c : in)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        size_t size = 1 + rng() % 64;
        for (TextFn fn : {subtitle_plain_text, subtitle_dialogue_text}) {
            std::string out(size + 8, '\x7f');
            fn(in.c_str(), out.data(), size);
            ASSERT_NE(std::memchr(out.data(), '\0', size), nullptr);
            ASSERT_EQ(out[size], '\x7f');
        }
    }
}

}  // namespace
