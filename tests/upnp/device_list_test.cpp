// The server and renderer lists: which devices are listed, once, and never
// more than sixteen of a kind however many announce themselves.
#include <gtest/gtest.h>

#include <string>

#include "upnp/device_list.h"

namespace {

constexpr const char* SERVER = "urn:schemas-upnp-org:device:MediaServer:1";
constexpr const char* RENDERER = "urn:schemas-upnp-org:device:MediaRenderer:2";

class UpnpDeviceList : public ::testing::Test {
protected:
    void SetUp() override { upnp_lists_reset(); }
    void TearDown() override { upnp_lists_reset(); }

    static int add(int kind, const std::string& location, const char* type = SERVER)
    {
        const std::string udn = "uuid:" + location;
        return upnp_list_add(kind, type, location.c_str(), udn.c_str(), "Name", "Model", nullptr,
                             nullptr);
    }
    static int count(int kind)
    {
        UpnpDeviceCopy copies[UPNP_LIST_SIZE + 4];
        return upnp_list_copy(kind, copies, UPNP_LIST_SIZE + 4);
    }
};

TEST_F(UpnpDeviceList, ADeviceAnnouncedTwiceIsListedOnceAndTheSeventeenthIsRefused)
{
    EXPECT_TRUE(upnp_type_is_renderer(RENDERER));  // any version of the type
    EXPECT_FALSE(upnp_type_is_server(RENDERER));
    EXPECT_EQ(add(UPNP_SERVERS, "http://a/desc.xml"), UPNP_ADDED);
    EXPECT_EQ(add(UPNP_SERVERS, "http://a/desc.xml"), UPNP_DUPLICATE);
    // The same device may also be a renderer: one record in each list.
    EXPECT_EQ(add(UPNP_RENDERERS, "http://a/desc.xml", RENDERER), UPNP_ADDED);
    for (int i = 1; i < UPNP_LIST_SIZE; ++i)
        EXPECT_EQ(add(UPNP_SERVERS, "http://s" + std::to_string(i)), UPNP_ADDED);
    EXPECT_EQ(add(UPNP_SERVERS, "http://seventeenth"), UPNP_LIST_FULL);
    EXPECT_EQ(count(UPNP_SERVERS), UPNP_LIST_SIZE);
    EXPECT_EQ(count(UPNP_RENDERERS), 1);
    EXPECT_TRUE(upnp_list_has_location(UPNP_SERVERS, "http://a/desc.xml"));
    EXPECT_FALSE(upnp_list_has_location(UPNP_SERVERS, "http://seventeenth"));
}

TEST_F(UpnpDeviceList, RecordsWithoutIdentityOrWithOverlongTextsAreRefused)
{
    EXPECT_EQ(upnp_list_add(UPNP_SERVERS, SERVER, "", "uuid:x", "n", "m", nullptr, nullptr),
              UPNP_REFUSED);
    EXPECT_EQ(upnp_list_add(UPNP_SERVERS, SERVER, "http://x", nullptr, "n", "m", nullptr, nullptr),
              UPNP_REFUSED);
    const std::string long_udn(UPNP_TEXT_SIZE, 'u');
    EXPECT_EQ(upnp_list_add(UPNP_SERVERS, SERVER, "http://x", long_udn.c_str(), "n", "m", nullptr,
                            nullptr),
              UPNP_REFUSED);
    // A long friendly name is only shown: it is kept, shortened.
    const std::string long_name(4000, 'n');
    EXPECT_EQ(upnp_list_add(UPNP_SERVERS, SERVER, "http://x", "uuid:x", long_name.c_str(), nullptr,
                            nullptr, nullptr),
              UPNP_ADDED);
    UpnpDeviceCopy copy[1];
    ASSERT_EQ(upnp_list_copy(UPNP_SERVERS, copy, 1), 1);
    EXPECT_EQ(std::string(copy[0].friendly_name).size(), UPNP_TEXT_SIZE - 1);
    EXPECT_STREQ(copy[0].model_name, "");
}

// A flood of announcements from thousands of devices leaves both lists at
// sixteen records; the records already handed out stay where they were.
TEST_F(UpnpDeviceList, AFloodOfDevicesNeverGrowsTheLists)
{
    add(UPNP_SERVERS, "http://first");
    UpnpDeviceCopy before[1];
    ASSERT_EQ(upnp_list_copy(UPNP_SERVERS, before, 1), 1);
    for (int i = 0; i < 20000; ++i) {
        add(UPNP_SERVERS, "http://flood/" + std::to_string(i));
        add(UPNP_RENDERERS, "http://flood/" + std::to_string(i), RENDERER);
    }
    EXPECT_EQ(count(UPNP_SERVERS), UPNP_LIST_SIZE);
    EXPECT_EQ(count(UPNP_RENDERERS), UPNP_LIST_SIZE);
    UpnpDeviceCopy after[1];
    ASSERT_EQ(upnp_list_copy(UPNP_SERVERS, after, 1), 1);
    EXPECT_EQ(after[0].ref, before[0].ref);
    EXPECT_STREQ(after[0].udn, "uuid:http://first");
}

}  // namespace
