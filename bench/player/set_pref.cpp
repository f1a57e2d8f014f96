// Sets one setting in a player's settings file through the program's own
// load and save (the file is checksummed and usually compressed, so a byte
// cannot be patched in place). A missing or unusable file is replaced by the
// defaults with the setting changed.
//   set_pref <data/prefs.dat> always_fullscreen 0|1
//   set_pref <data/prefs.dat> browse_path_1 /a/folder/
//   set_pref <data/prefs.dat> sort_key 0|1|2|3|6|7
//   set_pref <data/prefs.dat> subtitle_charset "CP1251 (ANSI Cyrillic)"
//   set_pref <data/prefs.dat> subtitle_color 0..5
//   set_pref <data/prefs.dat> username|password|streamer_host <text>
//   set_pref <data/prefs.dat> connect_by_address|remember_login 0|1
//   set_pref <data/prefs.dat> streamer_port <base port>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/prefs.h"
#include "platform/text_copy.h"

namespace {

// The settings a run can be prepared with: texts, and small numbers.
struct TextPref {
    const char* name;
    char* (*field)(Settings*);
    size_t size;
};
#define TEXT_PREF(f)                                                                               \
    {                                                                                              \
#f, [](Settings * s) { return s->f; }, sizeof(Settings::f)                                 \
    }
const TextPref TEXTS[] = {TEXT_PREF(browse_path_1),    TEXT_PREF(browse_path_2),
                          TEXT_PREF(subtitle_charset), TEXT_PREF(username),
                          TEXT_PREF(password),         TEXT_PREF(streamer_host)};
#undef TEXT_PREF

struct NumberPref {
    const char* name;
    void (*set)(Settings*, long);
};
const NumberPref NUMBERS[] = {
    {"always_fullscreen", [](Settings* s, long v) { s->always_fullscreen = v != 0; }},
    {"sort_key", [](Settings* s, long v) { s->sort_key = static_cast<uint32_t>(v); }},
    {"subtitle_color", [](Settings* s, long v) { s->subtitle_color = static_cast<uint8_t>(v); }},
    {"connect_by_address", [](Settings* s, long v) { s->connect_by_address = v != 0; }},
    {"remember_login", [](Settings* s, long v) { s->remember_login = v != 0; }},
    {"streamer_port", [](Settings* s, long v) { s->streamer_port = static_cast<int32_t>(v); }},
    {"auto_hide_controls", [](Settings* s, long v) { s->auto_hide_controls = v != 0; }},
    {"progressive_download", [](Settings* s, long v) { s->progressive_download = v != 0; }},
    {"custom_bitrate_enabled", [](Settings* s, long v) { s->custom_bitrate_enabled = v != 0; }},
    {"custom_bitrate_kbps",
     [](Settings* s, long v) { s->custom_bitrate_kbps = static_cast<uint32_t>(v); }},
};

bool apply(Settings* s, const char* name, const char* value)
{
    for (const TextPref& t : TEXTS)
        if (std::strcmp(name, t.name) == 0) {
            copy_text(t.field(s), t.size, value);
            return true;
        }
    for (const NumberPref& n : NUMBERS)
        if (std::strcmp(name, n.name) == 0) {
            n.set(s, std::atol(value));
            return true;
        }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    auto settings = std::make_unique<Settings>();  // a third of a megabyte: not on the stack
    if (argc == 4 && prefs_load_from(settings.get(), argv[1]) < 0)
        settings_set_defaults(settings.get());
    if (argc != 4 || !apply(settings.get(), argv[2], argv[3])) {
        std::fprintf(stderr, "usage: set_pref <prefs.dat> <setting> <value>\n");
        return 2;
    }
    if (prefs_save_to(settings.get(), argv[1]) != 0) {
        std::fprintf(stderr, "set_pref: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
