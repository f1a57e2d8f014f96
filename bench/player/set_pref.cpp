// Sets one setting in a player's settings file through the program's own
// load and save (the file is checksummed and usually compressed, so a byte
// cannot be patched in place). A missing or unusable file is replaced by the
// defaults with the setting changed.
//   set_pref <data/prefs.dat> always_fullscreen 0|1
//   set_pref <data/prefs.dat> browse_path_1 /a/folder/
//   set_pref <data/prefs.dat> sort_key 0|1|2|3|6|7
//   set_pref <data/prefs.dat> subtitle_charset "CP1251 (ANSI Cyrillic)"
//   set_pref <data/prefs.dat> subtitle_color 0..5
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/prefs.h"
#include "platform/text_copy.h"

namespace {

bool apply(Settings* s, const char* name, const char* value)
{
    if (std::strcmp(name, "always_fullscreen") == 0)
        s->always_fullscreen = static_cast<uint8_t>(std::atoi(value) != 0);
    else if (std::strcmp(name, "sort_key") == 0)
        s->sort_key = static_cast<uint32_t>(std::atoi(value));
    else if (std::strcmp(name, "browse_path_1") == 0)
        copy_text(s->browse_path_1, sizeof s->browse_path_1, value);
    else if (std::strcmp(name, "subtitle_charset") == 0)
        copy_text(s->subtitle_charset, sizeof s->subtitle_charset, value);
    else if (std::strcmp(name, "subtitle_color") == 0)
        s->subtitle_color = static_cast<uint8_t>(std::atoi(value));
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    auto settings = std::make_unique<Settings>();  // a third of a megabyte: not on the stack
    if (argc == 4 && prefs_load_from(settings.get(), argv[1]) < 0)
        settings_set_defaults(settings.get());
    if (argc != 4 || !apply(settings.get(), argv[2], argv[3])) {
        std::fprintf(stderr, "usage: set_pref <prefs.dat> always_fullscreen|browse_path_1|sort_key|subtitle_charset|subtitle_color "
                             "<value>\n");
        return 2;
    }
    if (prefs_save_to(settings.get(), argv[1]) != 0) {
        std::fprintf(stderr, "set_pref: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
