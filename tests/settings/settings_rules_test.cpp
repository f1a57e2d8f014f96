// How typed texts become settings: ports, numeric ranges and the bounded
// copies made when a screen is left.
#include <gtest/gtest.h>

#include <string>

#include "platform/settings.h"
#include "settings/settings_rules.h"

namespace {

TEST(SettingsRules, APortTextGivesItsNumberOrZeroAndNeverOverflows)
{
    const struct {
        const char* text;
        int32_t port;
    } cases[] = {
        {"8080", 8080},    {"65535", 65535}, {"70000", 0}, {"abc", 0},
        {"", 0},           {"12ab", 12},     {"-5", 0},    {"99999999999999999999", 0},
        {"4294967296", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(port_from_text(c.text), c.port) << c.text;
    EXPECT_EQ(decimal_value("99999999999999999999"), UINT32_MAX);
}

TEST(SettingsRules, NumbersOutsideTheirRangeBecomeTheResetValue)
{
    const struct {
        const char* text;
        NumberRange range;
        uint32_t value;
        bool ok;
    } cases[] = {
        {"", SEEK_RANGE, 10, false},           {"9999", SEEK_RANGE, 9999, true},
        {"10000", SEEK_RANGE, 10, false},      {"1", SLIDESHOW_RANGE, 1, true},
        {"99999", SLIDESHOW_RANGE, 10, false}, {"0", BITRATE_RANGE, 3000, false},
    };
    for (const auto& c : cases) {
        uint32_t value = 12345;
        EXPECT_EQ(number_in_range(c.text, c.range, &value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(SettingsRules, LeavingAScreenWritesItsTextsCutBeforeACharacterThatDoesNotFit)
{
    Settings s;
    settings_set_defaults(&s);
    const std::string e_acute = "\xC3\xA9";  // two bytes
    const std::string host = std::string(126, 'h') + e_acute + "tail";
    const std::string name = std::string(30, 'n') + e_acute;
    const std::string password = std::string(31, 'p') + "q";
    BoxTexts t;
    t.host = host.c_str();
    t.port = "6000";
    t.username = name.c_str();
    t.password = password.c_str();
    t.seek_backward = "45";
    t.slideshow = "0";
    commit_box_texts(&s, t);
    EXPECT_EQ(std::string(s.streamer_host), std::string(126, 'h'));
    EXPECT_EQ(s.streamer_port, 6000);
    EXPECT_EQ(std::string(s.username), std::string(30, 'n'));
    EXPECT_EQ(std::string(s.password), std::string(31, 'p'));
    EXPECT_EQ(s.seek_backward_secs, 45);
    EXPECT_EQ(s.slideshow_secs, 10);
    // Boxes the screen did not have leave their settings alone.
    EXPECT_EQ(s.seek_forward_secs, 30);
    EXPECT_EQ(s.custom_bitrate_kbps, 3000u);
}

}  // namespace
