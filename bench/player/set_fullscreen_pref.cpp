// Sets always_fullscreen in a player's settings file through the program's own
// load and save (the file is checksummed and usually compressed, so a byte
// cannot be patched in place). A missing or unusable file is replaced by the
// defaults with the switch set.
//   set_fullscreen_pref <data/prefs.dat> 0|1
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/prefs.h"

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[2], "0") != 0 && std::strcmp(argv[2], "1") != 0)) {
        std::fprintf(stderr, "usage: set_fullscreen_pref <prefs.dat> 0|1\n");
        return 2;
    }
    auto settings = std::make_unique<Settings>();  // a third of a megabyte: not on the stack
    if (prefs_load_from(settings.get(), argv[1]) < 0)
        settings_set_defaults(settings.get());
    settings->always_fullscreen = static_cast<uint8_t>(argv[2][0] - '0');
    if (prefs_save_to(settings.get(), argv[1]) != 0) {
        std::fprintf(stderr, "set_fullscreen_pref: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
