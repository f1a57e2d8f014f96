// The rules by which the texts typed on the settings screens become
// settings: the decimal reading of a box, the ranges of the numeric boxes
// and what replaces a value outside them, the port rule, and the commit of
// the boxes of a screen being left. Pure functions on plain values: no
// widgets, no drawing; any thread may call them on a block it owns.
#pragma once

#include <cstdint>

struct Settings;

// Value of the decimal digits at the start of text (0 when it starts with
// none, or text is null). Saturates at UINT32_MAX, so no run of digits
// overflows.
uint32_t decimal_value(const char* text);

// The allowed values of a numeric box and the value that replaces one
// outside them.
struct NumberRange {
    uint32_t low;
    uint32_t high;
    uint32_t reset;
};
// The streamer accepts custom bitrates up to 3000 kbps; out of range means
// "the most it can send".
constexpr NumberRange BITRATE_RANGE = {1, 3000, 3000};
// Four digits of seconds; a reset falls back to a short, harmless skip.
constexpr NumberRange SEEK_RANGE = {1, 9999, 10};
constexpr NumberRange SLIDESHOW_RANGE = {1, 9999, 10};

// True when the value of text lies in range (*value is then that value);
// otherwise *value is range.reset.
bool number_in_range(const char* text, const NumberRange& range, uint32_t* value);

// Largest TCP port.
constexpr uint32_t PORT_MAX = 65535;
// The port a text names: its decimal value; 0 ("no port", shown as an
// empty box) for a text without digits and for a number above PORT_MAX,
// which names no port.
int32_t port_from_text(const char* text);

// The texts of the edit boxes of the screen being left; null for a box the
// screen does not have.
struct BoxTexts {
    const char* host = nullptr;
    const char* port = nullptr;
    const char* username = nullptr;
    const char* password = nullptr;
    const char* bitrate = nullptr;
    const char* seek_forward = nullptr;
    const char* seek_backward = nullptr;
    const char* slideshow = nullptr;
};

// Writes each given text into its setting: the host (127 bytes), user name
// and password (31 bytes each) cut before a character that does not fit,
// always terminated; the port by port_from_text; the numbers through their
// ranges (a value outside one becomes its reset value, as the checks do
// while typing).
void commit_box_texts(Settings* settings, const BoxTexts& texts);
