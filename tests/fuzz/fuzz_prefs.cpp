// Fuzzes the settings file loader with damaged copies of a real file: a
// damaged "data/prefs.dat" must be refused, never read past or trusted.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "app/prefs.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

std::string g_path;

int one(const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f)
        return 1;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    static Settings settings;
    const int r = prefs_load_from(&settings, g_path.c_str());
    return r == 0 || r == -1 ? 0 : 1;  // read, or refused as unusable
}

std::string saved_file(bool compressed_defaults)
{
    static Settings s;
    settings_set_defaults(&s);
    if (!compressed_defaults)
        s.channel_count = 3;  // some variety in the payload
    prefs_save_to(&s, g_path.c_str());
    std::ifstream in(g_path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv)
{
    char dir[] = "/tmp/velmora-fuzz-prefs-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    g_path = std::string(dir) + "/prefs.dat";
    const int r = fuzz_main(argc, argv, one, {saved_file(true), saved_file(false)}, 1 << 20);
    std::remove(g_path.c_str());
    rmdir(dir);
    return r;
}
