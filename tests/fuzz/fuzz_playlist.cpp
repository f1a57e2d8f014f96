// Fuzzes the playlist loader with damaged copies of real playlist files: a
// damaged ".vlpls" must be refused, never read past or trusted, and a record
// it was refused into is left all zero.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "browser/playlist.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

std::string g_folder;
std::string g_path;
PlaylistRecord* g_record = nullptr;

int one(const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f)
        return 1;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const int r = playlist_load(g_path.c_str(), g_record);
    if (r == -1)
        return g_record->in_use == 0 && g_record->item_count == 0 ? 0 : 1;
    if (r != 0)
        return 1;
    // A loaded record is sound: its count and texts are usable as they are.
    if (g_record->item_count < 0 || g_record->item_count > PLAYLIST_ITEM_SLOTS ||
        g_record->name[PLAYLIST_NAME_SIZE - 1] != '\0' || std::strchr(g_record->name, '/'))
        return 1;
    for (int i = 0; i < g_record->item_count; ++i)
        if (std::strlen(g_record->items[i].name) >= PATH_SIZE)
            return 1;
    return 0;
}

// A real file as the player writes it: a name and items of several types.
std::string saved_file(int items)
{
    std::memset(g_record, 0, sizeof *g_record);
    g_record->in_use = 1;
    std::strcpy(g_record->name, "mix.vlpls");
    for (int i = 0; i < items; ++i) {
        PlaylistItem& it = g_record->items[i];
        it.in_use = 1;
        it.type = i % PLAYLIST_ITEM_TYPE_COUNT;
        std::snprintf(it.name, sizeof it.name, "/media/item %d.mp4", i);
        std::snprintf(it.url, sizeof it.url, "http://192.0.2.7/%d", i);
        it.size = 1000 * i;
        it.mtime = 1700000000 + i;
    }
    g_record->item_count = items;
    playlist_save(g_folder.c_str(), g_record);
    std::ifstream in(g_folder + "mix.vlpls", std::ios::binary);
    std::string file(std::istreambuf_iterator<char>(in), {});
    return file;
}

}  // namespace

int main(int argc, char** argv)
{
    char dir[] = "/tmp/velmora-fuzz-playlist-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    g_folder = std::string(dir) + "/";
    g_path = g_folder + "fuzzed.vlpls";
    g_record = static_cast<PlaylistRecord*>(std::calloc(1, sizeof(PlaylistRecord)));
    if (!g_record)
        return 1;
    const int r = fuzz_main(argc, argv, one, {saved_file(0), saved_file(7)}, 1 << 16);
    std::remove(g_path.c_str());
    std::remove((g_folder + "mix.vlpls").c_str());
    rmdir(dir);
    std::free(g_record);
    return r;
}
