// Fuzzes the parse of a streamer's folder listing: whatever arrives, every
// row stays within its table and its texts stay terminated.
#include <cstring>
#include <string>

#include "browser/listing.h"
#include "browser/media_types.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

BrowserList g_list;

int one(const uint8_t* data, size_t size)
{
    // The first byte chooses the path, so both the root and a folder run.
    const char* path = size > 0 && (data[0] & 1) ? "/" : "/Films/";
    browser_list_clear(&g_list);
    remote_listing_parse(&g_list, path, FILTER_MEDIA_WITHOUT_IMAGES, data, size);
    if (g_list.count < 0 || g_list.count > MAX_BROWSER_ENTRIES)
        return 1;
    for (int i = 0; i < g_list.count; ++i)
        if (std::memchr(g_list.rows[i].name, 0, ENTRY_NAME_SIZE) == nullptr)
            return 1;
    return 0;
}

std::string record(const std::string& name, char type)
{
    return name + std::string(1, '\0') + std::string(1, type);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!browser_list_create(&g_list))
        return 1;
    const std::string seeds[] = {
        record("Films", 'd') + record("clip.mp4", 'f') + record("song.mp3", 'f'),
        record("..", 'd') + record("/abs/folder", 'l') + record("live/one", 'v'),
        std::string(1100, 'n') + std::string(1, '\0') + "f" + record("a.avi", 'f'),
        record("x.mkv", 'f') + std::string(1, '\0') + "d",
    };
    const int r = fuzz_main(argc, argv, one, {std::begin(seeds), std::end(seeds)}, 1 << 16);
    browser_list_free(&g_list);
    return r;
}
