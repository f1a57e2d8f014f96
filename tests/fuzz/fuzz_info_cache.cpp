// Fuzzes the information cache loader with damaged copies of real cache
// files: whatever "cache.dat" holds, loading must neither crash nor read out
// of bounds, and every entry it keeps must be one a reader can trust.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/info_cache.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

std::string g_folder;

bool bounded(const char* text, size_t size)
{
    return std::memchr(text, '\0', size) != nullptr;
}

// What a reader of a kept entry relies on.
bool trustworthy(const CacheEntry& e)
{
    if (!e.valid)
        return true;
    if (!bounded(e.key, sizeof e.key) || !bounded(e.format, sizeof e.format) ||
        !bounded(e.thumb_name, sizeof e.thumb_name) || e.stream_count < 0 ||
        e.stream_count > MEDIA_INFO_MAX_STREAMS || std::strstr(e.thumb_name, "/"))
        return false;
    for (int i = 0; i < e.stream_count; i++) {
        const CachedStream& s = e.description.streams[i];
        if (!bounded(s.codec, sizeof s.codec) || !bounded(s.description, sizeof s.description) ||
            s.kind < 0 || s.kind >= STREAM_KIND_COUNT)
            return false;
    }
    // A kept entry may still be passed over by a look-up (a later duplicate
    // of its key, or a file identity that no longer matches); a found one
    // must hold what the entry holds.
    MediaInfo info;
    int slot = -1;
    if (!cache_lookup(e.key, &info, &slot))
        return true;
    static CacheEntry first;
    return cache_entry_get(slot, &first) && info.stream_count == first.stream_count &&
           !std::strcmp(info.format, first.format);
}

// Loads data as the cache file and checks what was kept.
int load_and_check(const std::string& data)
{
    std::FILE* f = std::fopen((g_folder + "cache.dat").c_str(), "wb");
    if (!f)
        return 1;
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    int r = cache_load(g_folder.c_str());
    if (r != 0 && r != -1)
        return 1;
    static CacheEntry e;
    for (int slot = 0; slot < MAX_CACHE_ENTRIES; slot++)
        if (!cache_entry_get(slot, &e) || !trustworthy(e))
            return 1;
    int next = cache_next_slot();
    return next >= 0 && next < MAX_CACHE_ENTRIES ? 0 : 1;
}

// Each input is loaded as it is, and again with the checksum of every whole
// entry made right, so that damage a checksum would catch also reaches the
// checks behind it.
int one(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (load_and_check(bytes) != 0)
        return 1;
    for (size_t at = 0; at + CACHE_ENTRY_SIZE <= bytes.size(); at += CACHE_ENTRY_SIZE) {
        uint32_t sum = 0;
        for (size_t i = at + offsetof(CacheEntry, start_us); i < at + CACHE_ENTRY_SIZE; i++)
            sum += uint8_t(bytes[i]);
        std::memcpy(&bytes[at], &sum, sizeof sum);
    }
    return load_and_check(bytes);
}

MediaInfo sample(int streams)
{
    MediaInfo m{};
    std::snprintf(m.format, sizeof m.format, "mov,mp4,m4a,3gp,3g2,mj2");
    m.duration_ms = 5000;
    m.stream_count = streams;
    for (int i = 0; i < streams; i++) {
        m.streams[i].index = i;
        m.streams[i].kind = i % STREAM_KIND_COUNT;
        std::snprintf(m.streams[i].codec, sizeof m.streams[i].codec, "h264");
        std::snprintf(m.streams[i].description, sizeof m.streams[i].description, "Video: h264");
        m.streams[i].frame_rate = 25;
    }
    return m;
}

// A real cache file of `entries` entries, as the program writes it.
std::string saved_file(int entries)
{
    unlink((g_folder + "cache.dat").c_str());
    cache_load(g_folder.c_str());
    for (int i = 0; i < entries; i++) {
        std::string key = "/media/internal/clip" + std::to_string(i) + ".mp4";
        int slot = -1;
        cache_store(sample(i * 3 % (MEDIA_INFO_MAX_STREAMS + 1)), key.c_str(), &slot);
        if (i == 1)
            cache_thumb_record(slot, key.c_str(), "abcdefghijklmnop");
    }
    std::ifstream in(g_folder + "cache.dat", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv)
{
    char dir[] = "/tmp/velmora-fuzz-cache-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    g_folder = std::string(dir) + "/";
    const int r = fuzz_main(argc, argv, one, {saved_file(1), saved_file(3)}, 4 * CACHE_ENTRY_SIZE);
    unlink((g_folder + "cache.dat").c_str());
    rmdir(dir);
    return r;
}
