// Thumbnails on media made at test time: pictures from the middle of a video,
// from its start when its length is unknown, covers of audio files, files
// with no picture or no sense in them; the PNG writer's colours.
#include <gtest/gtest.h>

#include <dirent.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "engine/info_cache.h"
#include "engine/media_open.h"
#include "engine/png_write.h"
#include "engine/thumbnail.h"
#include "engine_test_util.h"
#include "tests/full_disk.h"

namespace {

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    // The pixel at the centre.
    std::vector<int> centre() const
    {
        size_t at = (size_t(h / 2) * w + w / 2) * 3;
        return {rgb[at], rgb[at + 1], rgb[at + 2]};
    }
};

// Reads a PNG back with libpng as 8-bit RGB.
bool read_png(const std::string& file, Picture* out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    out->w = int(image.width);
    out->h = int(image.height);
    out->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr) != 0;
}

bool near_colour(const std::vector<int>& got, const std::vector<int>& want)
{
    for (int i = 0; i < 3; i++)
        if (std::abs(got[i] - want[i]) > 12)  // the YUV round trip
            return false;
    return true;
}

// Writes a 256 x 256 picture of noise (it does not compress).
int write_noise(const std::string& file)
{
    std::vector<uint8_t> noise(size_t(256) * 256 * 4);
    for (size_t i = 0; i < noise.size(); i++)
        noise[i] = uint8_t(i * 2654435761u >> 13);
    return png_write_rgb(file.c_str(), noise.data(), 256, 256, 4, false);
}

const std::vector<int> RED = {255, 0, 0}, BLUE = {0, 0, 255}, GREEN = {0, 128, 0};

class ThumbnailTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { av_log_set_level(AV_LOG_QUIET); }
    void SetUp() override { ASSERT_EQ(cache_load(dir.file("data").c_str()), -1); }
    std::string thumb(const std::string& media, ThumbSize size)
    {
        char name[1024];
        return thumb_lookup_file(media.c_str(), size, name, sizeof name) ? name : "";
    }
    int files_in_thumbnails()
    {
        int n = 0;
        if (DIR* d = opendir(dir.file("data/thumbnails").c_str())) {
            while (dirent* e = readdir(d))
                n += e->d_name[0] != '.';
            closedir(d);
        }
        return n;
    }
    // Blue for the first half, red for the second, a key picture every 0.4 s.
    std::string blue_then_red(const std::string& name, const std::string& codec)
    {
        std::string path = dir.file(name);
        bool made = make_media("-f lavfi -i color=c=blue:s=320x180:r=25:d=2 -f lavfi -i "
                               "color=c=red:s=320x180:r=25:d=2 -filter_complex concat=n=2 -g 10 " +
                               codec + " " + path);
        return made ? path : "";
    }
    ScratchDir dir;
};

TEST_F(ThumbnailTest, AVideoIsPicturedFromItsMiddleInBothSizesEachTimeItsAsked)
{
    const struct {
        const char* name;
        const char* codec;
    } films[] = {{"film.mp4", "-c:v libx264"},
                 {"film.mkv", "-c:v libx264"},
                 {"film.ts", "-c:v mpeg2video"},
                 {"film.mpg", "-c:v mpeg2video"}};
    for (const auto& f : films) {
        SCOPED_TRACE(f.name);
        std::string film = blue_then_red(f.name, f.codec);
        ASSERT_FALSE(film.empty());
        // The second size comes from the cached description.
        ASSERT_EQ(thumb_make(film.c_str(), 48, 40, false, THUMB_SMALL), 0);
        EXPECT_TRUE(cache_lookup(film.c_str(), nullptr, nullptr));
        ASSERT_EQ(thumb_make(film.c_str(), 284, 160, true, THUMB_PANEL), 0);
        Picture small, panel;
        ASSERT_TRUE(read_png(thumb(film, THUMB_SMALL), &small));
        ASSERT_TRUE(read_png(thumb(film, THUMB_PANEL), &panel));
        EXPECT_TRUE(small.w == 48 && small.h == 40) << small.w << "x" << small.h;
        EXPECT_TRUE(panel.w == 284 && panel.h == 159) << panel.w << "x" << panel.h;  // 16:9
        EXPECT_TRUE(near_colour(small.centre(), RED));
        EXPECT_TRUE(near_colour(panel.centre(), RED));
        int slot = -1;
        ASSERT_TRUE(cache_lookup(film.c_str(), nullptr, &slot));
        CacheEntry e;
        ASSERT_TRUE(cache_entry_get(slot, &e));
        char name[17];
        thumb_name(film.c_str(), name);
        EXPECT_STREQ(e.thumb_name, name);
    }
}

// A file written to a pipe carries no duration: its picture comes from its
// start. An anamorphic one (360x288 pixels shown 16:9) is fitted by its
// display aspect.
TEST_F(ThumbnailTest, UnknownLengthsArePicturedFromTheStartAndAnamorphicOnesByTheirAspect)
{
    const struct {
        const char* name;
        const char* args;
        int w, h;
        std::vector<int> colour;
    } cases[] = {
        {"live.mkv",
         "-f lavfi -i color=c=blue:s=160x120:r=25:d=2 -c:v libx264 -f matroska pipe:1 >", 213, 160,
         BLUE},  // 4:3
        {"wide.mkv", "-f lavfi -i color=c=red:s=360x288:r=25:d=1 -vf setsar=64/45 -c:v libx264",
         284, 159, RED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string film = dir.file(c.name);
        ASSERT_TRUE(make_media(std::string(c.args) + " " + film));
        ASSERT_EQ(thumb_make(film.c_str(), 284, 160, true, THUMB_PANEL), 0);
        Picture p;
        ASSERT_TRUE(read_png(thumb(film, THUMB_PANEL), &p));
        EXPECT_TRUE(p.w == c.w && p.h == c.h) << p.w << "x" << p.h;
        EXPECT_TRUE(near_colour(p.centre(), c.colour));
    }
    MediaInfo info;
    ASSERT_EQ(media_info_read(dir.file("live.mkv").c_str(), &info), RESULT_OK);
    EXPECT_EQ(info.duration_ms, 0);
}

// The player's cover made from the same picture is checked through media_open.
TEST_F(ThumbnailTest, AnAudioFilesCoverIsItsThumbnail)
{
    ASSERT_TRUE(make_media("-f lavfi -i color=c=green:s=300x600 -frames:v 1 " + dir.file("c.png")));
    std::string song = dir.file("song.mp3");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=1 -i " + dir.file("c.png") +
                           " -map 0 -map 1 -c:a libmp3lame -c:v png -disposition:v attached_pic " +
                           song));
    ASSERT_EQ(thumb_make(song.c_str(), 48, 40, false, THUMB_SMALL), 0);
    Picture small;
    ASSERT_TRUE(read_png(thumb(song, THUMB_SMALL), &small));
    EXPECT_TRUE(small.w == 48 && small.h == 40 && near_colour(small.centre(), GREEN));
    ASSERT_EQ(thumb_make(song.c_str(), 284, 160, true, THUMB_PANEL), 0);
    Picture panel;
    ASSERT_TRUE(read_png(thumb(song, THUMB_PANEL), &panel));
    EXPECT_TRUE(panel.w == 80 && panel.h == 160) << panel.w << "x" << panel.h;
}

TEST_F(ThumbnailTest, AFileWithoutAPictureOrWithNonsenseGetsNoThumbnail)
{
    std::string song = dir.file("plain.mp3"), junk = dir.file("junk.mp4"),
                cut = dir.file("cut.mp4");
    ASSERT_TRUE(make_media("-f lavfi -i sine=d=1 -c:a libmp3lame " + song));
    std::string noise(20000, '\0');
    for (size_t i = 0; i < noise.size(); i++)
        noise[i] = char(i * 7919 % 251);
    std::ofstream(junk, std::ios::binary) << noise;
    // A real film whose data stops after its first tenth.
    ASSERT_TRUE(make_media("-f lavfi -i testsrc=s=160x120:r=25:d=4 -c:v libx264 "
                           "-movflags +faststart " +
                           cut));
    std::string bytes = read_file(cut);
    std::ofstream(cut, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 10);
    for (const std::string& path : {song, junk, dir.file("none.mkv"), std::string("")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(thumb_make(path.c_str(), 48, 40, false, THUMB_SMALL), -1);
    }
    thumb_make(cut.c_str(), 48, 40, false, THUMB_SMALL);  // whatever it makes, it returns
    EXPECT_EQ(thumb(song, THUMB_SMALL), "");
    EXPECT_LE(files_in_thumbnails(), 1);
}

TEST_F(ThumbnailTest, PngColoursComeOutInEveryByteOrder)
{
    // Red, green, blue, white in each layout the writer takes.
    const struct {
        const char* what;
        int bytes_per_pixel;
        bool swap;
        std::vector<uint8_t> pixels;
    } cases[] = {
        {"RGBA", 4, false, {255, 0, 0, 9, 0, 255, 0, 9, 0, 0, 255, 9, 255, 255, 255, 9}},
        {"BGRA", 4, true, {0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9, 255, 255, 255, 9}},
        {"RGB", 3, false, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}},
    };
    const std::vector<uint8_t> want = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    std::string file = dir.file("p.png");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(png_write_rgb(file.c_str(), c.pixels.data(), 2, 2, c.bytes_per_pixel, c.swap), 0);
        Picture p;
        ASSERT_TRUE(read_png(file, &p));
        EXPECT_TRUE(p.w == 2 && p.h == 2);
        EXPECT_EQ(p.rgb, want);
    }
}

TEST_F(ThumbnailTest, APngThatCannotBeWrittenLeavesNothingBehind)
{
    const uint8_t pixel[4] = {1, 2, 3, 4};
    std::string file = dir.file("p.png");
    std::ofstream(file) << "old";
    EXPECT_EQ(png_write_rgb(dir.file("no/such/folder.png").c_str(), pixel, 1, 1, 4, false), -1);
    EXPECT_EQ(png_write_rgb(file.c_str(), pixel, 0, 1, 4, false), -1);
    EXPECT_EQ(png_write_rgb(file.c_str(), pixel, 1, 1, 2, false), -1);
    EXPECT_EQ(read_file(file), "old");
    // The disk fills (a file size limit, in a child): libpng's error return,
    // the old file kept.
    EXPECT_TRUE(fails_on_a_full_disk([&] { return write_noise(file) == -1; }, 4096));
    DIR* d = opendir(dir.file("").c_str());
    int files = 0;
    while (dirent* e = readdir(d))
        files += e->d_name[0] != '.' && std::string(e->d_name) != "data";
    closedir(d);
    EXPECT_EQ(files, 1);
}

}  // namespace
