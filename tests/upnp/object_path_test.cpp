// Object paths: what a row's path browses, and the paths rows are given.
#include <gtest/gtest.h>

#include <string>

#include "upnp/object_path.h"

namespace {

struct ParseCase {
    const char* path;
    int status;
    const char* udn;
    const char* object_id;
};

TEST(UpnpObjectPath, BrowsesTheIdAfterTheLastStepOfTheChain)
{
    const ParseCase cases[] = {
        {"udn:uuid-1,id:0/}12/}34", 0, "uuid-1", "34"},
        {"udn:uuid-1,id:0", 0, "uuid-1", "0"},
        {"udn:uuid:4d696e69,id:0/}64$0", 0, "uuid:4d696e69", "64$0"},
        {"udn:u,id:0/}a/b/}c}d", 0, "u", "c}d"},  // "/" alone is part of an id
        {"udn:u,id:0/}12,extra", 0, "u", "12"},   // the id part ends at a comma
        {"udn:u,id:0/}", -1, "", ""},             // a chain ending in a step names nothing
        {"udn:,id:0", -1, "", ""},                // no UDN
        {"udn:u,id:", -1, "", ""},                // no id part
        {"udn:u", -1, "", ""},
        {"/", -1, "", ""},
        {"", -1, "", ""},
    };
    for (const ParseCase& c : cases) {
        char udn[UPNP_UDN_SIZE] = "x";
        char id[UPNP_OBJECT_ID_SIZE] = "x";
        EXPECT_EQ(upnp_path_parse(c.path, udn, sizeof udn, id, sizeof id), c.status) << c.path;
        EXPECT_STREQ(udn, c.udn) << c.path;
        EXPECT_STREQ(id, c.object_id) << c.path;
    }
}

TEST(UpnpObjectPath, RefusesWhatDoesNotFitInsteadOfCuttingIt)
{
    const std::string long_udn = "udn:" + std::string(UPNP_UDN_SIZE, 'u') + ",id:0";
    char udn[UPNP_UDN_SIZE];
    char id[8];
    EXPECT_EQ(upnp_path_parse(long_udn.c_str(), udn, sizeof udn, id, sizeof id), -1);
    EXPECT_EQ(upnp_path_parse("udn:u,id:0/}123456789", udn, sizeof udn, id, sizeof id), -1);

    char out[16];
    EXPECT_EQ(upnp_server_path("uuid-1", out, sizeof out), 0);
    EXPECT_STREQ(out, "udn:uuid-1,id:0");
    EXPECT_EQ(upnp_child_path("udn:u,id:0", "12", out, sizeof out), 0);
    EXPECT_STREQ(out, "udn:u,id:0/}12");
    EXPECT_EQ(upnp_child_path("udn:u,id:0/}12", "345", out, sizeof out), -1);
    EXPECT_STREQ(out, "");
}

}  // namespace
