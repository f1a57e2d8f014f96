// The information cache file: names, the entry's bytes on disk, round trips,
// slot reuse with its thumbnail files, and damaged, hostile or foreign files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "engine/info_cache.h"
#include "engine_test_util.h"

namespace {

// A description with every field set, varied by n.
MediaInfo sample_info(int n)
{
    MediaInfo m{};
    std::snprintf(m.format, sizeof m.format, "matroska,webm");
    m.start_ms = 40 + n;
    m.duration_ms = 90000 + n;
    m.bit_rate = 128000 + n;
    m.stream_count = MEDIA_INFO_MAX_STREAMS;
    for (int i = 0; i < m.stream_count; i++) {
        StreamInfo& s = m.streams[i];
        s.index = i + 1;
        s.kind = i % STREAM_KIND_COUNT;
        std::snprintf(s.codec, sizeof s.codec, "codec%d", i);
        s.width = 640 + i;
        s.height = 360 + n;
        s.sar_num = 4;
        s.sar_den = 3;
        s.frame_rate = 23.976 + i;
        s.attached_picture = i == 3;
        std::snprintf(s.description, sizeof s.description, "Video: h264 (High), %d", n);
    }
    return m;
}

void expect_same(const MediaInfo& a, const MediaInfo& b)
{
    EXPECT_STREQ(a.format, b.format);
    EXPECT_EQ(a.start_ms, b.start_ms);
    EXPECT_EQ(a.duration_ms, b.duration_ms);
    EXPECT_EQ(a.bit_rate, b.bit_rate);
    ASSERT_EQ(a.stream_count, b.stream_count);
    for (int i = 0; i < a.stream_count; i++) {
        const StreamInfo &x = a.streams[i], &y = b.streams[i];
        EXPECT_TRUE(x.index == y.index && x.kind == y.kind && x.width == y.width &&
                    x.height == y.height && x.sar_num == y.sar_num && x.sar_den == y.sar_den &&
                    x.frame_rate == y.frame_rate && x.attached_picture == y.attached_picture)
            << i;
        EXPECT_STREQ(x.codec, y.codec);
        EXPECT_STREQ(x.description, y.description);
    }
}

uint32_t byte_sum(const std::string& bytes, size_t from, size_t to)
{
    uint32_t sum = 0;
    for (size_t i = from; i < to; i++)
        sum += uint8_t(bytes[i]);
    return sum;
}

class InfoCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.file("");
        ASSERT_EQ(cache_load(folder.c_str()), -1);  // none yet
        ASSERT_EQ(mkdir((folder + "thumbnails").c_str(), 0755), 0);
    }
    std::string key(int n) const { return "/media/film " + std::to_string(n) + ".mkv"; }
    void store(int n) { ASSERT_EQ(cache_store(sample_info(n), key(n).c_str(), nullptr), 0); }
    bool found(int n) { return cache_lookup(key(n).c_str(), nullptr, nullptr); }
    std::string file() const { return folder + "cache.dat"; }
    void write_file(const std::string& bytes) const
    {
        std::ofstream(file(), std::ios::binary | std::ios::trunc) << bytes;
    }
    void touch_thumbnails(int n)
    {
        for (int size = 0; size < THUMB_SIZE_COUNT; size++) {
            char name[PATH_MAX_TEST];
            ASSERT_TRUE(thumb_file_name(key(n).c_str(), ThumbSize(size), name, sizeof name));
            std::ofstream(name) << "png";
        }
    }
    int thumbnails_of(int n)
    {
        int count = 0;
        for (int size = 0; size < THUMB_SIZE_COUNT; size++) {
            char name[PATH_MAX_TEST];
            count += thumb_lookup_file(key(n).c_str(), ThumbSize(size), name, sizeof name);
        }
        return count;
    }
    static constexpr int PATH_MAX_TEST = 1024;
    ScratchDir dir;
    std::string folder;
};

TEST(ThumbNameTest, IsSixteenLettersAToPAndTheSameForTheSamePath)
{
    const char* paths[] = {"", "a", "/media/internal/Film.mkv",
                           "/m\xC3\xA9"
                           "dia/\xE6\x97\xA5.mp3",
                           "http://host:8200/x?y=1"};
    for (const char* p : paths) {
        char a[17], b[17];
        thumb_name(p, a);
        thumb_name(std::string(p).c_str(), b);
        EXPECT_STREQ(a, b) << p;
        ASSERT_EQ(std::strlen(a), 16u) << p;
        for (char c : std::string(a))
            EXPECT_TRUE(c >= 'a' && c <= 'p') << p;
    }
    // Letter i sums every (i+1)-th byte times i+1: for "ab" letter 0 is
    // (97 + 98) mod 16, every later one 97 x (i+1) mod 16.
    char name[17];
    thumb_name("ab", name);
    EXPECT_STREQ(name, "dcdefghijklmnopa");
    char differs[17];
    thumb_name("/media/internal/Film2.mkv", differs);
    thumb_name("/media/internal/Film.mkv", name);
    EXPECT_STRNE(name, differs);
}

TEST_F(InfoCacheTest, AnEntryLiesInTheFileAtItsSlotWithItsHeaderAndFields)
{
    store(0);
    store(1);
    std::string bytes = read_file(file());
    ASSERT_EQ(bytes.size(), 2u * CACHE_ENTRY_SIZE);
    std::string e1 = bytes.substr(CACHE_ENTRY_SIZE);
    uint32_t checksum, version;
    int32_t streams;
    int64_t start, duration;
    std::memcpy(&checksum, &e1[0], 4);
    std::memcpy(&version, &e1[4], 4);
    std::memcpy(&start, &e1[8], 8);
    std::memcpy(&duration, &e1[16], 8);
    std::memcpy(&streams, &e1[13424], 4);
    EXPECT_EQ(checksum, byte_sum(e1, 8, CACHE_ENTRY_SIZE));
    EXPECT_EQ(version, 3u);
    EXPECT_EQ(start, 41 * 1000);  // microseconds, the demuxer's time base
    EXPECT_EQ(duration, 90001 * 1000);
    EXPECT_EQ(std::string(&e1[24]), key(1));
    EXPECT_EQ(std::string(&e1[13392]), "matroska,webm");
    EXPECT_EQ(streams, 8);
    EXPECT_EQ(e1[13428], '\0');  // no thumbnail yet
    EXPECT_EQ(e1[13460], 1);
    EXPECT_EQ(cache_next_slot(), 2);
}

TEST_F(InfoCacheTest, StoredDescriptionsComeBackAfterALoadAndARewriteTouchesOnlyItsSlot)
{
    for (int n = 0; n < 3; n++)
        store(n);
    char name[17];
    thumb_name(key(2).c_str(), name);
    ASSERT_EQ(cache_thumb_record(2, key(2).c_str(), name), 0);
    ASSERT_EQ(cache_load(folder.c_str()), 0);
    EXPECT_EQ(cache_next_slot(), 3);
    for (int n = 0; n < 3; n++) {
        MediaInfo got;
        int slot = -1;
        ASSERT_TRUE(cache_lookup(key(n).c_str(), &got, &slot)) << n;
        EXPECT_EQ(slot, n);
        expect_same(got, sample_info(n));
    }
    CacheEntry e;
    ASSERT_TRUE(cache_entry_get(2, &e));
    EXPECT_STREQ(e.thumb_name, name);
    // Storing a cached path again rewrites its own slot and no other bytes.
    const std::string before = read_file(file());
    int slot = -1;
    ASSERT_EQ(cache_store(sample_info(7), key(1).c_str(), &slot), 0);
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(cache_next_slot(), 3);
    const std::string after = read_file(file());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, CACHE_ENTRY_SIZE), before.substr(0, CACHE_ENTRY_SIZE));
    EXPECT_EQ(after.substr(2 * CACHE_ENTRY_SIZE), before.substr(2 * CACHE_ENTRY_SIZE));
    EXPECT_NE(after.substr(CACHE_ENTRY_SIZE, CACHE_ENTRY_SIZE),
              before.substr(CACHE_ENTRY_SIZE, CACHE_ENTRY_SIZE));
}

TEST_F(InfoCacheTest, The1001stFileReusesSlot0AndDeletesItsThumbnails)
{
    for (int n = 0; n < MAX_CACHE_ENTRIES; n++)
        store(n);
    EXPECT_EQ(cache_next_slot(), 0);
    touch_thumbnails(0);
    touch_thumbnails(1);
    int slot = -1;
    ASSERT_EQ(cache_store(sample_info(1000), key(1000).c_str(), &slot), 0);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(cache_next_slot(), 1);
    EXPECT_FALSE(found(0));
    EXPECT_TRUE(found(1000) && found(1) && found(999));
    EXPECT_EQ(thumbnails_of(0), 0);
    EXPECT_EQ(thumbnails_of(1), 3);
    // A full file loads with the next slot back at 0.
    ASSERT_EQ(cache_load(folder.c_str()), 0);
    EXPECT_EQ(cache_next_slot(), 0);
    EXPECT_TRUE(found(1000) && found(999));
}

TEST_F(InfoCacheTest, AFileOfAnotherVersionIsDeletedAtLoad)
{
    store(0);
    store(1);
    std::string bytes = read_file(file());
    bytes[4] = 2;  // the first entry's version
    write_file(bytes);
    EXPECT_EQ(cache_load(folder.c_str()), -1);
    EXPECT_NE(access(file().c_str(), F_OK), 0);
    EXPECT_FALSE(found(0) || found(1));
    EXPECT_EQ(cache_next_slot(), 0);
}

// Entry 1 of three is damaged one way; entries 0 and 2 survive it.
TEST_F(InfoCacheTest, ADamagedOrHostileEntryIsRejectedAndTheOthersKept)
{
    struct Case {
        const char* what;
        bool fix_checksum;  // damage that a checksum alone cannot catch
        std::function<void(std::string&)> damage;
    };
    auto put32 = [](std::string& e, size_t at, int32_t v) { std::memcpy(&e[at], &v, 4); };
    const Case cases[] = {
        {"a flipped key byte", false, [](std::string& e) { e[30] ^= 0x20; }},
        {"nine streams", true, [&](std::string& e) { put32(e, 13424, 9); }},
        {"a negative stream count", true, [&](std::string& e) { put32(e, 13424, -1); }},
        {"a key without its end", true,
         [](std::string& e) { std::memset(&e[24], 'k', CACHE_KEY_SIZE); }},
        {"a format name without its end", true,
         [](std::string& e) { std::memset(&e[13392], 'f', CACHE_NAME_SIZE); }},
        {"a thumbnail name leading out of the folder", true,
         [](std::string& e) { std::memcpy(&e[13428], "../../../etc/pas", 17); }},
        {"a stream description without its end", true,
         [](std::string& e) {
             size_t description = CACHE_DESCRIPTION_OFFSET + offsetof(CachedDescription, streams) +
                                  offsetof(CachedStream, description);
             std::memset(&e[description], 'd', MEDIA_DESCRIPTION_SIZE);
         }},
        {"a stream of an unknown kind", true,
         [&](std::string& e) {
             put32(e, CACHE_DESCRIPTION_OFFSET + offsetof(CachedDescription, streams) + 4, 7);
         }},
    };
    for (int n = 0; n < 3; n++)
        store(n);
    const std::string good = read_file(file());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        std::string entry = bytes.substr(CACHE_ENTRY_SIZE, CACHE_ENTRY_SIZE);
        c.damage(entry);
        if (c.fix_checksum) {
            uint32_t sum = byte_sum(entry, 8, CACHE_ENTRY_SIZE);
            std::memcpy(&entry[0], &sum, 4);
        }
        bytes.replace(CACHE_ENTRY_SIZE, CACHE_ENTRY_SIZE, entry);
        write_file(bytes);
        EXPECT_EQ(cache_load(folder.c_str()), 0);
        EXPECT_TRUE(found(0) && found(2));
        EXPECT_FALSE(found(1));
        CacheEntry e;
        ASSERT_TRUE(cache_entry_get(1, &e));
        EXPECT_EQ(e.valid, 0);
        EXPECT_EQ(cache_next_slot(), 3);
    }
}

TEST_F(InfoCacheTest, AnEntryCutShortByACrashIsLostAndItsSlotWrittenNext)
{
    for (int n = 0; n < 3; n++)
        store(n);
    std::string bytes = read_file(file());
    write_file(bytes.substr(0, 2 * CACHE_ENTRY_SIZE + 5000));
    EXPECT_EQ(cache_load(folder.c_str()), 0);
    EXPECT_TRUE(found(0) && found(1));
    EXPECT_FALSE(found(2));
    EXPECT_EQ(cache_next_slot(), 2);
    store(5);
    ASSERT_EQ(cache_load(folder.c_str()), 0);
    EXPECT_TRUE(found(0) && found(1) && found(5));
}

TEST_F(InfoCacheTest, AHoleOfZerosIsAFreeSlotNotAForeignFile)
{
    store(0);
    std::string bytes = read_file(file());
    bytes += std::string(CACHE_ENTRY_SIZE, '\0') + bytes;  // slot 1 never written
    write_file(bytes);
    EXPECT_EQ(cache_load(folder.c_str()), 0);
    EXPECT_TRUE(found(0));
    EXPECT_EQ(cache_next_slot(), 3);
}

TEST_F(InfoCacheTest, MediaInfoCachedReadsAFileOnceAndAfterItChanged)
{
    std::string media = dir.file("tone.wav");
    ASSERT_TRUE(make_clip(media, {"sine=d=1"}, ""));
    MediaInfo first, second;
    ASSERT_EQ(media_info_cached(media.c_str(), &first), RESULT_OK);
    EXPECT_EQ(first.stream_count, 1);
    EXPECT_TRUE(cache_lookup(media.c_str(), nullptr, nullptr));
    // What the cache holds is what comes back: the file is not read again.
    ASSERT_EQ(cache_store(sample_info(3), media.c_str(), nullptr), 0);
    ASSERT_EQ(media_info_cached(media.c_str(), &second), RESULT_OK);
    expect_same(second, sample_info(3));
    // Changed on disk: read again.
    ASSERT_TRUE(make_clip(media, {"sine=d=2"}, ""));
    ASSERT_EQ(media_info_cached(media.c_str(), &second), RESULT_OK);
    EXPECT_EQ(second.stream_count, 1);
    EXPECT_NEAR(double(second.duration_ms), 2000, 50);
    EXPECT_EQ(media_info_cached(dir.file("none.mkv").c_str(), &second), ERR_MEDIA_OPEN);
    EXPECT_FALSE(cache_lookup(dir.file("none.mkv").c_str(), nullptr, nullptr));
}

}  // namespace
