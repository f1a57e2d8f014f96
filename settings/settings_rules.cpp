#include "settings/settings_rules.h"

#include <cstdint>

#include "platform/settings.h"
#include "platform/text_copy.h"

uint32_t decimal_value(const char* text)
{
    uint64_t value = 0;
    for (const char* p = text; p && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + uint64_t(*p - '0');
        if (value > UINT32_MAX)
            return UINT32_MAX;
    }
    return uint32_t(value);
}

bool number_in_range(const char* text, const NumberRange& range, uint32_t* value)
{
    uint32_t v = decimal_value(text);
    bool ok = v >= range.low && v <= range.high;
    *value = ok ? v : range.reset;
    return ok;
}

int32_t port_from_text(const char* text)
{
    uint32_t v = decimal_value(text);
    return v <= PORT_MAX ? int32_t(v) : 0;
}

namespace {

static_assert(SEEK_RANGE.high <= UINT16_MAX && SLIDESHOW_RANGE.high <= UINT16_MAX,
              "seconds are stored in 16 bits");

uint16_t seconds_from_text(const char* text, const NumberRange& range)
{
    uint32_t v = 0;
    number_in_range(text, range, &v);
    return uint16_t(v);  // every range value fits 16 bits
}

}  // namespace

void commit_box_texts(Settings* s, const BoxTexts& t)
{
    if (t.host)
        copy_text(s->streamer_host, sizeof s->streamer_host, t.host);
    if (t.port)
        s->streamer_port = port_from_text(t.port);
    if (t.username)
        copy_text(s->username, sizeof s->username, t.username);
    if (t.password)
        copy_text(s->password, sizeof s->password, t.password);
    if (t.bitrate)
        number_in_range(t.bitrate, BITRATE_RANGE, &s->custom_bitrate_kbps);
    if (t.seek_forward)
        s->seek_forward_secs = seconds_from_text(t.seek_forward, SEEK_RANGE);
    if (t.seek_backward)
        s->seek_backward_secs = seconds_from_text(t.seek_backward, SEEK_RANGE);
    if (t.slideshow)
        s->slideshow_secs = seconds_from_text(t.slideshow, SLIDESHOW_RANGE);
}
