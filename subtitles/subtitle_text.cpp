#include "subtitles/subtitle_text.h"

#include <cstring>
#include <string>

#include "platform/text_copy.h"

namespace {

// Fields before the text of a dialogue line, without and with its prefix.
constexpr int DIALOGUE_FIELDS = 8;
constexpr int PREFIXED_DIALOGUE_FIELDS = 9;
constexpr const char* DIALOGUE_PREFIX = "Dialogue:";

size_t store(const std::string& text, char* out, size_t out_size)
{
    return out_size > 0 ? copy_text(out, out_size, text.c_str()) : 0;
}

// A "\p<digit>" tag at p (end bounds the text): sets *drawing.
bool drawing_tag(const char* p, const char* end, bool* drawing)
{
    if (end - p < 3 || p[0] != '\\' || p[1] != 'p' || p[2] < '0' || p[2] > '9')
        return false;
    *drawing = p[2] != '0';
    return true;
}

}  // namespace

void subtitle_plain_text(const char* in, char* out, size_t out_size)
{
    std::string text;
    char close = 0;
    for (const char* p = in; p && *p; p++) {
        if (close) {
            if (*p == close)
                close = 0;
        } else if (*p == '{' || *p == '<') {
            close = *p == '{' ? '}' : '>';
        } else {
            text += *p;
        }
    }
    store(text, out, out_size);
}

int subtitle_dialogue_clean(const char* field, size_t size, char* out, size_t out_size)
{
    std::string text;
    const char* end = field ? field + strnlen(field, size) : field;
    int depth = 0;
    bool drawing = false;
    for (const char* p = field; p && p < end; p++) {
        const bool escape = p[0] == '\\' && p + 1 < end;
        if (escape && p[1] == 'k') {
            store("", out, out_size);
            return -1;
        }
        if (drawing_tag(p, end, &drawing)) {
            p += 2;
        } else if (*p == '{') {
            depth++;
        } else if (*p == '}') {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (depth > 0 || drawing) {
            continue;
        } else if (escape && (p[1] == 'N' || p[1] == 'n')) {
            text += '\n';
            p++;
        } else if (escape && p[1] == 'h') {
            text += ' ';
            p++;
        } else if (*p != '\r' && *p != '\n') {
            text += *p;
        }
    }
    return static_cast<int>(store(text, out, out_size));
}

void subtitle_dialogue_text(const char* line, char* out, size_t out_size)
{
    const char* p = line;
    int fields = p && std::strncmp(p, DIALOGUE_PREFIX, std::strlen(DIALOGUE_PREFIX)) == 0
                     ? PREFIXED_DIALOGUE_FIELDS
                     : DIALOGUE_FIELDS;
    for (int i = 0; i < fields && p; i++) {
        p = std::strchr(p, ',');
        if (p)
            p++;
    }
    if (!p) {
        store("", out, out_size);
        return;
    }
    subtitle_dialogue_clean(p, std::strlen(p), out, out_size);
}
