#include "subtitles/charset.h"

#include <iconv.h>

#include <cstdint>
#include <cstring>

#include "platform/text_copy.h"

namespace {

constexpr const char* CHARSET_ROWS[] = {
    "ASCII / UTF8",
    "GB18030 (Chinese, Universal)",
    "EUC-CN (Simp. Chinese Unix)",
    "EUC-TW (Trad. Chinese Unix)",
    "BIG5 (Trad. Chinese)",
    "ISO-2022-CN-EXT (Simp. Chinese)",
    "BIG5-HKSCS (Hong-Kong)",
    "ISO-8859-1 (West EU)",
    "CP1250 (Central EU)",
    "ISO-8859-2 (East EU)",
    "ISO-8859-3 (South EU)",
    "ISO-8859-4 (North EU)",
    "ISO-8859-5 (Cyrillic)",
    "CP1251 (ANSI Cyrillic)",
    "ISO-8859-6 (Arabic)",
    "ISO-8859-7 (Greek)",
    "ISO-8859-8 (Hebrew)",
    "ISO-8859-9 (Turkish)",
    "ISO-8859-10 (Nordic)",
    "ISO-8859-13 (Baltic)",
    "ISO-8859-14 (Celtic)",
    "ISO-8859-15 (West EU)",
    "ISO-8859-16 (SE EU)",
    "EUC-JP (Japanese Unix)",
    "SHIFT_JIS (Japanese)",
    "EUC-KR (Korean)",
    "ISO-2022-KR (Korean)",
    "CP949 (Korean)",
    "TIS-620 (Thai)",
    "CP874 (Thai)",
    "MacThai",
    "VISCII (Vietnamese)",
};

// Conversion names are short ("ISO-2022-CN-EXT" is the longest).
constexpr size_t NAME_SIZE = 40;
constexpr const char* PASS_PREFIX = "ASCII";
constexpr const char* UTF8 = "UTF-8";
constexpr const char* MAC_THAI = "MacThai";

// Apple's Mac OS Thai, bytes 0x80..0xFF (0x00..0x7F are ASCII); 0 = not
// defined. Apple maps some tone marks and vowels to a base character plus
// a private-use variant tag (U+F873..U+F875, U+F87F) that chooses a glyph
// position; fonts here have no such glyphs, so the base character stands.
constexpr uint16_t MAC_THAI_HIGH[128] = {
    0x00AB, 0x00BB, 0x2026, 0x0E48, 0x0E49, 0x0E4A, 0x0E4B, 0x0E4C,  // 0x80
    0x0E48, 0x0E49, 0x0E4A, 0x0E4B, 0x0E4C, 0x201C, 0x201D, 0x0E4D,  // 0x88
    0x0000, 0x2022, 0x0E31, 0x0E47, 0x0E34, 0x0E35, 0x0E36, 0x0E37,  // 0x90
    0x0E48, 0x0E49, 0x0E4A, 0x0E4B, 0x0E4C, 0x2018, 0x2019, 0x0000,  // 0x98
    0x00A0, 0x0E01, 0x0E02, 0x0E03, 0x0E04, 0x0E05, 0x0E06, 0x0E07,  // 0xA0
    0x0E08, 0x0E09, 0x0E0A, 0x0E0B, 0x0E0C, 0x0E0D, 0x0E0E, 0x0E0F,  // 0xA8
    0x0E10, 0x0E11, 0x0E12, 0x0E13, 0x0E14, 0x0E15, 0x0E16, 0x0E17,  // 0xB0
    0x0E18, 0x0E19, 0x0E1A, 0x0E1B, 0x0E1C, 0x0E1D, 0x0E1E, 0x0E1F,  // 0xB8
    0x0E20, 0x0E21, 0x0E22, 0x0E23, 0x0E24, 0x0E25, 0x0E26, 0x0E27,  // 0xC0
    0x0E28, 0x0E29, 0x0E2A, 0x0E2B, 0x0E2C, 0x0E2D, 0x0E2E, 0x0E2F,  // 0xC8
    0x0E30, 0x0E31, 0x0E32, 0x0E33, 0x0E34, 0x0E35, 0x0E36, 0x0E37,  // 0xD0
    0x0E38, 0x0E39, 0x0E3A, 0x2060, 0x200B, 0x2013, 0x2014, 0x0E3F,  // 0xD8
    0x0E40, 0x0E41, 0x0E42, 0x0E43, 0x0E44, 0x0E45, 0x0E46, 0x0E47,  // 0xE0
    0x0E48, 0x0E49, 0x0E4A, 0x0E4B, 0x0E4C, 0x0E4D, 0x2122, 0x0E4F,  // 0xE8
    0x0E50, 0x0E51, 0x0E52, 0x0E53, 0x0E54, 0x0E55, 0x0E56, 0x0E57,  // 0xF0
    0x0E58, 0x0E59, 0x00AE, 0x00A9, 0x0000, 0x0000, 0x0000, 0x0000,  // 0xF8
};

// The display text up to its first blank.
void conversion_name(const char* setting, char* name)
{
    size_t n = 0;
    while (setting[n] && setting[n] != ' ' && n + 1 < NAME_SIZE)
        n++;
    std::memcpy(name, setting, n);
    name[n] = '\0';
}

// Code points below 0x10000 as UTF-8; 0 when out does not have room.
size_t utf8_encode(uint32_t cp, char* out, size_t room)
{
    if (cp < 0x80 && room >= 1) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800 && room >= 2) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp >= 0x800 && room >= 3) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    return 0;
}

size_t mac_thai_convert(const char* in, size_t size, char* out, size_t room)
{
    size_t written = 0;
    for (size_t i = 0; i < size; i++) {
        const auto byte = static_cast<unsigned char>(in[i]);
        const uint32_t cp = byte < 0x80 ? byte : MAC_THAI_HIGH[byte - 0x80];
        if (byte >= 0x80 && cp == 0)
            break;  // not defined: stop, as a converter does at a bad byte
        const size_t n = utf8_encode(cp, out + written, room - written);
        if (n == 0)
            break;
        written += n;
    }
    return written;
}

}  // namespace

std::span<const char* const> subtitle_charsets()
{
    return CHARSET_ROWS;
}

int subtitle_charset_row(const char* setting)
{
    if (!setting)
        return -1;
    for (size_t i = 0; i < std::size(CHARSET_ROWS); i++)
        if (std::strcmp(CHARSET_ROWS[i], setting) == 0)
            return static_cast<int>(i);
    return -1;
}

bool subtitle_charset_apply(int row, char* setting, size_t setting_size)
{
    if (row < 0 || static_cast<size_t>(row) >= std::size(CHARSET_ROWS) || !setting ||
        setting_size == 0)
        return false;
    copy_text(setting, setting_size, CHARSET_ROWS[row]);
    return true;
}

CharsetConverter::CharsetConverter(const char* setting)
{
    char name[NAME_SIZE];
    conversion_name(setting ? setting : "", name);
    if (name[0] == '\0' || std::strncmp(name, PASS_PREFIX, std::strlen(PASS_PREFIX)) == 0) {
        mode_ = CHARSET_PASS;
    } else if (std::strcmp(name, MAC_THAI) == 0) {
        mode_ = CHARSET_TABLE;
    } else {
        iconv_t cd = iconv_open(UTF8, name);
        mode_ = cd == reinterpret_cast<iconv_t>(-1) ? CHARSET_UNAVAILABLE : CHARSET_ICONV;
        if (mode_ == CHARSET_ICONV)
            cd_ = cd;
    }
}

CharsetConverter::~CharsetConverter()
{
    if (cd_)
        iconv_close(static_cast<iconv_t>(cd_));
}

size_t CharsetConverter::convert(const char* in, size_t size, char* out, size_t out_size)
{
    if (out_size == 0)
        return 0;
    const size_t room = out_size - 1;
    size_t written = 0;
    if (mode_ == CHARSET_TABLE && in) {
        written = mac_thai_convert(in, size, out, room);
    } else if (mode_ == CHARSET_ICONV && in) {
        auto* cd = static_cast<iconv_t>(cd_);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // each text starts in the initial state
        char* src = const_cast<char*>(in);
        size_t src_left = size;
        char* dst = out;
        size_t dst_left = room;
        // Stops by itself at a bad or incomplete character or a full output;
        // what it wrote up to there is whole characters.
        iconv(cd, &src, &src_left, &dst, &dst_left);
        written = room - dst_left;
    } else {
        written = in ? utf8_prefix_length(in, size, room) : 0;
        if (written > 0)
            std::memcpy(out, in, written);
    }
    out[written] = '\0';
    return written;
}
