// Whether a text is well-formed UTF-8 (sequences of one to four bytes, each
// lead byte followed by its continuation bytes). Header-only, for any suite.
#pragma once

#include <string>

inline bool valid_utf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (size_t k = 1; k < n; k++)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}
