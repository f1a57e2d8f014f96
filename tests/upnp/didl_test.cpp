// DIDL-Lite answers through the GUPnP-AV parser into rows: the container and
// item rules, and answers no server should send.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/media_enums.h"
#include "upnp/didl.h"

namespace {

constexpr const char* FOLDER = "udn:uuid-1,id:0/}7";

std::string didl(const std::string& body)
{
    return "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\" "
           "xmlns:dlna=\"urn:schemas-dlna-org:metadata-1-0/\">" +
           body + "</DIDL-Lite>";
}

std::string item(const std::string& id, const std::string& title, const std::string& cls,
                 const std::string& inner)
{
    return "<item id=\"" + id + "\" parentID=\"7\" restricted=\"1\"><dc:title>" + title +
           "</dc:title><upnp:class>" + cls + "</upnp:class>" + inner + "</item>";
}

std::string res(const std::string& uri, const std::string& protocol, const std::string& attrs = "")
{
    return "<res protocolInfo=\"" + protocol + "\" " + attrs + ">" + uri + "</res>";
}

struct Collected {
    std::vector<UpnpRow> rows;
    size_t limit = 100000;
};

bool collect(void* context, const UpnpRow* row)
{
    auto* c = static_cast<Collected*>(context);
    if (c->rows.size() >= c->limit)
        return false;
    c->rows.push_back(*row);
    return true;
}

std::vector<UpnpRow> parse(const std::string& xml, DidlParseResult* result = nullptr)
{
    Collected c;
    DidlParseResult r = didl_parse(xml.c_str(), FOLDER, collect, &c);
    if (result)
        *result = r;
    return c.rows;
}

TEST(UpnpDidl, ContainersBecomeFoldersWhosePathsBrowseThem)
{
    auto rows = parse(
        didl("<container id=\"12\" parentID=\"7\" childCount=\"3\"><dc:title>AC/DC</dc:title>"
             "<upnp:class>object.container.storageFolder</upnp:class><dc:date>2020-01-02</dc:date>"
             "</container>"
             "<container id=\"13\" parentID=\"7\"><upnp:class>object.container</upnp:class>"
             "</container>"));  // no title: skipped
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kind, UPNP_ROW_CONTAINER);
    EXPECT_STREQ(rows[0].name, "AC-DC");
    EXPECT_STREQ(rows[0].path, "udn:uuid-1,id:0/}7/}12");
    EXPECT_STREQ(rows[0].date_text, "2020-01-02");
    EXPECT_EQ(rows[0].media_class, 0);
}

struct ItemCase {
    const char* what;
    std::string body;
    const char* name;
    const char* path;
    int media_class;
    int64_t size;
};

TEST(UpnpDidl, ItemsFollowTheRowRules)
{
    const std::string jpeg = "http-get:*:image/jpeg:*";
    const ItemCase cases[] = {
        {"largest image resource",
         item("1", "Beach", "object.item.imageItem.photo",
              res("http://h/160", jpeg, "resolution=\"160x120\" size=\"100\"") +
                  res("http://h/640", jpeg, "resolution=\"640x480\" size=\"900\"") +
                  res("http://h/320", jpeg, "resolution=\"320x240\" size=\"400\"")),
         "Beach.jpg", "http://h/640", MEDIA_CLASS_IMAGE, 900},
        {"extension kept",
         item("2", "Holiday.png", "object.item.imageItem",
              res("http://h/2", "http-get:*:image/png:*")),
         "Holiday.png", "http://h/2", MEDIA_CLASS_IMAGE, 0},
        {"png appended",
         item("3", "Map", "object.item.imageItem", res("http://h/3", "http-get:*:image/png:*")),
         "Map.png", "http://h/3", MEDIA_CLASS_IMAGE, 0},
        {"track number",
         item("4", "Intro/Outro", "object.item.audioItem.musicTrack",
              "<upnp:originalTrackNumber>3</upnp:originalTrackNumber>" +
                  res("http://h/4.mp3", "http-get:*:audio/mpeg:*", "size=\"1536\"")),
         "03-Intro-Outro", "http://h/4.mp3", MEDIA_CLASS_AUDIO, 1536},
        {"video",
         item("5", "Film", "object.item.videoItem",
              res("http://h/5", "http-get:*:video/mp4:*", "size=\"5000000000\"")),
         "Film", "http://h/5", MEDIA_CLASS_VIDEO, 5000000000},
        {"other class",
         item("6", "Doc", "object.item.textItem", res("http://h/6", "http-get:*:text/plain:*")),
         "Doc", "http://h/6", MEDIA_CLASS_OTHER, 0},
    };
    for (const ItemCase& c : cases) {
        auto rows = parse(didl(c.body));
        ASSERT_EQ(rows.size(), 1u) << c.what;
        EXPECT_EQ(rows[0].kind, UPNP_ROW_ITEM) << c.what;
        EXPECT_STREQ(rows[0].name, c.name) << c.what;
        EXPECT_STREQ(rows[0].path, c.path) << c.what;
        EXPECT_EQ(rows[0].media_class, c.media_class) << c.what;
        EXPECT_EQ(rows[0].size, c.size) << c.what;
    }
}

TEST(UpnpDidl, ItemsWithoutWhatARowNeedsAreSkipped)
{
    const std::string r = res("http://h/x", "http-get:*:video/mp4:*");
    auto rows = parse(
        didl("<item id=\"1\" parentID=\"7\"><upnp:class>object.item.videoItem</upnp:class>" + r +
             "</item>" + "<item id=\"2\" parentID=\"7\"><dc:title>No class</dc:title>" + r +
             "</item>" + item("3", "No resource", "object.item.videoItem", "") +
             item("4", "Empty URI", "object.item.videoItem", res("", "http-get:*:video/mp4:*")) +
             item("5", "Kept", "object.item.videoItem", r)));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_STREQ(rows[0].name, "Kept");
}

// The extra data is the item in a DIDL-Lite root, for a renderer; metadata
// too long for the row leaves it empty rather than cut.
TEST(UpnpDidl, TheExtraDataIsTheItemInADidlRootOrLeftOutWhenTooLong)
{
    const std::string song_res = res("http://h/9.mp3", "http-get:*:audio/mpeg:*");
    auto rows = parse(didl(item("9", "Song", "object.item.audioItem", song_res)));
    ASSERT_EQ(rows.size(), 1u);
    const std::string extra = rows[0].extra;
    const std::string root = didl("");  // its opening tag, without "</DIDL-Lite>"
    EXPECT_EQ(extra.rfind(root.substr(0, root.size() - 12) + "<item", 0), 0u) << extra;
    EXPECT_NE(extra.find("http://h/9.mp3"), std::string::npos);
    EXPECT_EQ(extra.substr(extra.size() - 19), "</item></DIDL-Lite>");
    // The extra data is itself DIDL-Lite that parses back to the same row.
    auto again = parse(extra);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_STREQ(again[0].name, "Song");

    const std::string description = "<dc:description>" + std::string(1600, 'd') +
                                    "</dc:description>";
    rows = parse(didl(item("9", "Song", "object.item.audioItem", description + song_res)));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_STREQ(rows[0].extra, "");
    EXPECT_STREQ(rows[0].name, "Song");
}

// Answers from a broken or hostile server: no crash, no hang, no rows from
// what is not DIDL-Lite.
TEST(UpnpDidl, HostileAnswersAreRefusedCleanly)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<container id=\"d\"><dc:title>x</dc:title>";
    std::string huge;
    for (int i = 0; i < 20000; ++i)
        huge += item(std::to_string(i), "T", "object.item.videoItem",
                     res("http://h/v", "http-get:*:video/mp4:*"));
    const std::string cases[] = {
        "",
        "not xml at all",
        "<DIDL-Lite",
        didl("<item id=\"1\"><dc:title>unterminated"),
        didl(deep),
        "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
        "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>" +
            didl(item("1", "&c;&c;&c;&c;&c;&c;", "object.item.videoItem", res("http://h/1", "x"))),
        std::string("<DIDL-Lite>\0<item/>", 19),
    };
    for (const std::string& xml : cases) {
        DidlParseResult r{};
        auto rows = parse(xml, &r);
        EXPECT_LE(rows.size(), 1u);
        for (const UpnpRow& row : rows)
            EXPECT_LT(std::string(row.name).size(), UPNP_ROW_NAME_SIZE);
    }
    // A full table drops the rest of the page but still counts its objects.
    Collected c;
    c.limit = 5000;
    DidlParseResult r = didl_parse(didl(huge).c_str(), FOLDER, collect, &c);
    EXPECT_EQ(c.rows.size(), 5000u);
    EXPECT_EQ(r.rows, 5000);
    EXPECT_EQ(r.objects, 20000);
    EXPECT_TRUE(r.full);
}

}  // namespace
