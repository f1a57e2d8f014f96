// What the browser lists and how it classes names, and the size texts.
#include <gtest/gtest.h>

#include <cstring>

#include "browser/media_types.h"
#include "platform/media_enums.h"

namespace {

TEST(MediaTypes, NamesAreClassedByExtensionOrKeepTheirSourcesClass)
{
    const struct {
        const char* name;
        int source_class;
        int want;
    } cases[] = {
        {"clip.MP4", MEDIA_CLASS_OTHER, MEDIA_CLASS_VIDEO},
        {"track.3ga", MEDIA_CLASS_OTHER, MEDIA_CLASS_AUDIO},
        {"clip.3gp", MEDIA_CLASS_OTHER, MEDIA_CLASS_VIDEO},
        {"song.ogg", MEDIA_CLASS_OTHER, MEDIA_CLASS_AUDIO},
        {"film.ogm", MEDIA_CLASS_OTHER, MEDIA_CLASS_VIDEO},
        {"movie.tsx", MEDIA_CLASS_OTHER, MEDIA_CLASS_VIDEO},  // ".ts" over its own length
        {"photo.Jpg", MEDIA_CLASS_OTHER, MEDIA_CLASS_IMAGE},
        {"notes.txt", MEDIA_CLASS_AUDIO, MEDIA_CLASS_OTHER},
        {"archive.backup", MEDIA_CLASS_VIDEO, MEDIA_CLASS_VIDEO},  // past 5 characters
        {"no_extension", MEDIA_CLASS_AUDIO, MEDIA_CLASS_AUDIO},
        {"ab", MEDIA_CLASS_IMAGE, MEDIA_CLASS_IMAGE},  // too short to look at
        {"", MEDIA_CLASS_OTHER, MEDIA_CLASS_OTHER},
    };
    for (const auto& c : cases)
        EXPECT_EQ(media_class_of_name(c.name, c.source_class), c.want) << c.name;
    EXPECT_EQ(media_class_of_name(nullptr, MEDIA_CLASS_AUDIO), MEDIA_CLASS_AUDIO);
}

TEST(MediaTypes, FiltersListMediaByTheirExtensionsOnly)
{
    const struct {
        const char* name;
        int with_images, without_images, subtitles;
    } cases[] = {
        {"film.MKV", 1, 1, 0},  {"photo.gif", 1, 0, 0}, {"talk.m2ts", 1, 1, 0},
        {"subs.srt", 0, 0, 1},  {"movie.tsx", 0, 0, 0}, {"x.mp", 1, 1, 0},
        {"notes.", 0, 0, 0},    {".mkv", 0, 0, 0},      {"README", 0, 0, 0},
        {"a.b.c.3g2", 1, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(extension_filter_match(c.name, FILTER_MEDIA_WITH_IMAGES), c.with_images)
            << c.name;
        EXPECT_EQ(extension_filter_match(c.name, FILTER_MEDIA_WITHOUT_IMAGES), c.without_images)
            << c.name;
        EXPECT_EQ(extension_filter_match(c.name, FILTER_SUBTITLES), c.subtitles) << c.name;
    }
    // Every entry of the lists is whole: 40 with pictures, 36 without.
    auto count = [](const char* f) {
        int n = 0;
        for (; *f; f += std::strlen(f) + 1)
            ++n;
        return n;
    };
    EXPECT_EQ(count(FILTER_MEDIA_WITH_IMAGES), 40);
    EXPECT_EQ(count(FILTER_MEDIA_WITHOUT_IMAGES), 36);
}

TEST(MediaTypes, SizeTextsPickTheirUnitAndStayShort)
{
    const struct {
        uint64_t size;
        const char* want;
    } cases[] = {
        {0, "0 bytes"},
        {1023, "1023 bytes"},
        {1024, "1.00 KB"},
        {1536, "1.50 KB"},
        {5 * 1048576ULL, "5.00 MB"},
        {3 * 1073741824ULL, "3.00 GB"},
        {UINT64_MAX, "17179869184.00 "},  // cut at 15 characters
    };
    for (const auto& c : cases) {
        char text[64];
        size_text(c.size, text, sizeof text);
        EXPECT_STREQ(text, c.want) << c.size;
    }
}

}  // namespace
