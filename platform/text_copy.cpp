#include "platform/text_copy.h"

#include <cstring>

namespace {

bool continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

size_t utf8_prefix_length(const char* text, size_t len, size_t max)
{
    if (len <= max)
        return len;
    size_t n = max;
    // Back up to the lead byte of the character that would be cut.
    while (n > 0 && continuation(text[n]))
        --n;
    return n;
}

size_t copy_text(char* dst, size_t size, const char* src)
{
    if (size == 0)
        return 0;
    size_t len = src ? strnlen(src, size) : 0;
    size_t n = utf8_prefix_length(src, len, size - 1);
    if (n > 0)
        std::memcpy(dst, src, n);
    dst[n] = '\0';
    return n;
}

size_t utf8_previous(const char* text, size_t pos)
{
    if (pos == 0)
        return 0;
    size_t p = pos - 1;
    while (p > 0 && continuation(text[p]))
        --p;
    return p;
}

size_t utf8_next(const char* text, size_t len, size_t pos)
{
    if (pos >= len)
        return len;
    size_t p = pos + 1;
    while (p < len && continuation(text[p]))
        ++p;
    return p;
}
