#include "subtitles/subtitle_text.h"

#include <cstring>
#include <string>

#include "platform/text_copy.h"

namespace {

// Fields before the text of a dialogue line, without and with its prefix.
constexpr int DIALOGUE_FIELDS = 8;
constexpr int PREFIXED_DIALOGUE_FIELDS = 9;
constexpr const char* DIALOGUE_PREFIX = "Dialogue:";

void store(const std::string& text, char* out, size_t out_size)
{
    if (out_size > 0)
        copy_text(out, out_size, text.c_str());
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

void subtitle_dialogue_text(const char* line, char* out, size_t out_size)
{
    std::string text;
    const char* p = line;
    int fields = p && std::strncmp(p, DIALOGUE_PREFIX, std::strlen(DIALOGUE_PREFIX)) == 0
                     ? PREFIXED_DIALOGUE_FIELDS
                     : DIALOGUE_FIELDS;
    for (int i = 0; i < fields && p; i++) {
        p = std::strchr(p, ',');
        if (p)
            p++;
    }
    int depth = 0;
    for (; p && *p; p++) {
        if (*p == '{') {
            depth++;
        } else if (*p == '}') {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (depth > 0) {
            continue;
        } else if (p[0] == '\\' && (p[1] == 'N' || p[1] == 'n')) {
            text += '\n';
            p++;
        } else if (p[0] == '\\' && p[1] == 'h') {
            text += ' ';
            p++;
        } else if (*p != '\r' && *p != '\n') {
            text += *p;
        }
    }
    store(text, out, out_size);
}
