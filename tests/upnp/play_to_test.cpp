// The Play To conversions: the count scale, transport states and the time
// texts renderers send.
#include <gtest/gtest.h>

#include "upnp/didl.h"
#include "upnp/play_to.h"

namespace {

TEST(PlayToScale, CountsAndPositionsConvertBothWays)
{
    constexpr int64_t HOUR = 3600000;
    struct Case {
        int64_t position_ms, duration_ms, count;
    } cases[] = {
        {0, HOUR, 0},
        {HOUR / 2, HOUR, COUNT_SCALE / 2},
        {HOUR, HOUR, COUNT_SCALE - 1},  // never the "not implemented" value
        {HOUR * 2, HOUR, COUNT_SCALE - 1},
        {5000, 0, 0},  // no duration: nothing to scale by
    };
    for (const Case& c : cases)
        EXPECT_EQ(play_to_count_for(c.position_ms, c.duration_ms), c.count) << c.position_ms;
    // Ten hours at millisecond steps overflow 32 bits on the way.
    EXPECT_EQ(play_to_position_for(COUNT_SCALE / 2, 10 * HOUR), 5 * HOUR - 1);
    EXPECT_EQ(play_to_position_for(COUNT_SCALE, HOUR), -1);  // not implemented
    EXPECT_EQ(play_to_position_for(-5, HOUR), -1);
    EXPECT_EQ(play_to_position_for(100, 0), -1);
}

TEST(PlayToState, TheFirstMatchingWordWins)
{
    struct Case {
        const char* text;
        TransportState state;
    } cases[] = {
        {"PLAYING", TRANSPORT_PLAYING},        {"TRANSITIONING", TRANSPORT_TRANSITIONING},
        {"STOPPED", TRANSPORT_STOPPED},        {"PAUSED_PLAYBACK", TRANSPORT_PAUSED},
        {"NO_MEDIA_PRESENT", TRANSPORT_OTHER}, {"", TRANSPORT_UNKNOWN},
        {nullptr, TRANSPORT_UNKNOWN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(transport_state_match(c.text), c.state) << (c.text ? c.text : "null");
}

TEST(PlayToTime, RendererTimeTextsAreReadOrRefused)
{
    struct Case {
        const char* text;
        int64_t ms;
    } cases[] = {
        {"0:00:00", 0},
        {"1:02:03", 3723000},
        {"12:00:00.5", 43200500},
        {"0:00:01.250", 1250},
        {"0:00:10.1/4", 10250},
        {"NOT_IMPLEMENTED", -1},
        {"", -1},
        {"1:75:00", -1},
        {"0:00:01x", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(play_to_parse_time(c.text), c.ms) << c.text;
    char text[32];
    play_to_time_text(3723999, text, sizeof text);
    EXPECT_STREQ(text, "1:02:03");
    play_to_time_text(30 * 3600000LL, text, sizeof text);
    EXPECT_STREQ(text, "30:00:00");
}

TEST(PlayToTags, AnItemsTagsAndLengthComeFromItsDidl)
{
    const char* didl = "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
                       "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                       "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\">"
                       "<item id=\"7\" parentID=\"1\" restricted=\"1\"><dc:title>Song</dc:title>"
                       "<upnp:class>object.item.audioItem.musicTrack</upnp:class>"
                       "<upnp:artist>Band</upnp:artist><upnp:album>Record</upnp:album>"
                       "<upnp:genre>Rock</upnp:genre>"
                       "<res protocolInfo=\"http-get:*:audio/mpeg:*\" duration=\"0:03:25.000\">"
                       "http://192.0.2.2/7.mp3</res></item></DIDL-Lite>";
    DidlTags tags;
    ASSERT_TRUE(didl_item_tags(didl, &tags));
    EXPECT_STREQ(tags.title, "Song");
    EXPECT_STREQ(tags.artist, "Band");
    EXPECT_STREQ(tags.album, "Record");
    EXPECT_STREQ(tags.genre, "Rock");
    EXPECT_EQ(tags.duration_ms, 205000);
    EXPECT_FALSE(didl_item_tags("<DIDL-Lite", &tags));
    EXPECT_FALSE(didl_item_tags("", &tags));
}

}  // namespace
