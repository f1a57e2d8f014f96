#include "browser/media_types.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "platform/media_enums.h"

// The first 36 entries of the media list are the streamer's (no pictures).
// One literal per entry: a digit right after "\0" would read as an octal
// escape.
// clang-format off
#define MEDIA_WITHOUT_IMAGES \
    "rec\0" "vlm\0" "avi\0" "flv\0" "wmv\0" "wma\0" "mkv\0" "ogg\0" "ogm\0" \
    "ts\0" "mpg\0" "3gp\0" "3ga\0" "3g2\0" "amr\0" "mp3\0" "mp4\0" "mov\0" \
    "vob\0" "asf\0" "m4a\0" "aac\0" "wav\0" "pls\0" "mcd\0" "m4v\0" "sdp\0" \
    "flac\0" "rm\0" "rmvb\0" "divx\0" "ape\0" "mts\0" "wtv\0" "m2t\0" "m2ts\0"
// clang-format on
const char FILTER_MEDIA_WITH_IMAGES[] = MEDIA_WITHOUT_IMAGES "jpg\0"
                                                             "bmp\0"
                                                             "png\0"
                                                             "gif\0";
const char FILTER_MEDIA_WITHOUT_IMAGES[] = MEDIA_WITHOUT_IMAGES;
const char FILTER_SUBTITLES[] = "srt\0";
#undef MEDIA_WITHOUT_IMAGES

namespace {

constexpr size_t SHORTEST_CLASSIFIED_NAME = 3;
constexpr size_t EXTENSION_REACH = 6;  // the "." and at most 5 characters after it

struct ClassTable {
    int media_class;
    const char* const* extensions;
    size_t count;
};

const char* const VIDEO[] = {".rec", ".mp4",  ".avi",  ".wmv", ".mpg",  ".asf", ".3gp", ".3g2",
                             ".mov", ".m4v",  ".vob",  ".ts",  ".vlm",  ".ogm", ".flv", ".mkv",
                             ".rm",  ".rmvb", ".divx", ".wtv", ".m2ts", ".mts", ".m2t"};
const char* const AUDIO[] = {".mp3", ".mp2", ".aac", ".wav",  ".m4a",
                             ".3ga", ".wma", ".ogg", ".flac", ".ape"};
const char* const IMAGE[] = {".jpg", ".png", ".gif", ".bmp"};
const ClassTable CLASSES[] = {
    {MEDIA_CLASS_VIDEO, VIDEO, sizeof VIDEO / sizeof *VIDEO},
    {MEDIA_CLASS_AUDIO, AUDIO, sizeof AUDIO / sizeof *AUDIO},
    {MEDIA_CLASS_IMAGE, IMAGE, sizeof IMAGE / sizeof *IMAGE},
};

struct SizeUnit {
    uint64_t below;  // sizes below this use the unit
    double divisor;
    const char* format;
};
const SizeUnit SIZE_UNITS[] = {
    {1024ULL * 1024, 1024.0, "%2.2f KB"},
    {1024ULL * 1024 * 1024, 1024.0 * 1024, "%2.2f MB"},
};

}  // namespace

int extension_filter_match(const char* name, const char* filter)
{
    const char* dot = name ? std::strrchr(name, '.') : nullptr;
    // No extension at all, a hidden name's leading dot, or a name ending in
    // "." (which every entry would begin with) lists nothing.
    if (!dot || dot == name || !dot[1] || !filter)
        return 0;
    const char* ext = dot + 1;
    const size_t n = std::strlen(ext);
    for (const char* entry = filter; *entry; entry += std::strlen(entry) + 1)
        if (strncasecmp(entry, ext, n) == 0 && std::strlen(entry) >= n)
            return 1;
    return 0;
}

int media_class_of_name(const char* name, int source_class)
{
    const size_t n = name ? std::strlen(name) : 0;
    if (n < SHORTEST_CLASSIFIED_NAME)
        return source_class;
    const char* dot = std::strrchr(name, '.');
    if (!dot || static_cast<size_t>(name + n - dot) > EXTENSION_REACH)
        return source_class;
    for (const ClassTable& table : CLASSES)
        for (size_t i = 0; i < table.count; ++i)
            if (strncasecmp(dot, table.extensions[i], std::strlen(table.extensions[i])) == 0)
                return table.media_class;
    return MEDIA_CLASS_OTHER;
}

void size_text(uint64_t size, char* out, size_t out_size)
{
    constexpr size_t MOST = 16;  // 15 characters and the NUL
    const size_t room = out_size < MOST ? out_size : MOST;
    if (room == 0)
        return;
    if (size < 1024) {
        std::snprintf(out, room, "%u bytes", static_cast<unsigned>(size));
        return;
    }
    for (const SizeUnit& unit : SIZE_UNITS) {
        if (size < unit.below) {
            std::snprintf(out, room, unit.format, static_cast<double>(size) / unit.divisor);
            return;
        }
    }
    std::snprintf(out, room, "%2.2f GB", static_cast<double>(size) / (1024.0 * 1024 * 1024));
}
