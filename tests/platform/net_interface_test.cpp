// The interface discovery binds to: the default route's, read from the
// kernel's routing table text.
#include <gtest/gtest.h>

#include "platform/net_interface.h"

namespace {

constexpr const char* HEADER =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

struct RouteCase {
    const char* what;
    const char* lines;
    int status;
    const char* name;
};

TEST(NetInterface, TheDefaultRouteNamesTheInterface)
{
    const RouteCase cases[] = {
        {"default after a subnet route",
         "eth1\t0002000A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
         "wlan0\t00000000\t0102000A\t0003\t0\t0\t600\t00000000\t0\t0\t0\n",
         0, "wlan0"},
        {"the first default route wins",
         "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
         "wlan0\t00000000\t0102000A\t0003\t0\t0\t600\t00000000\t0\t0\t0\n",
         0, "eth0"},
        {"a route that is down does not count",
         "eth0\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n", -1, ""},
        {"a host route is no default",
         "eth0\t00000000\t00000000\t0001\t0\t0\t0\tFFFFFFFF\t0\t0\t0\n", -1, ""},
        {"no routes", "", -1, ""},
        {"a garbled line", "eth0 00000000\n", -1, ""},
    };
    for (const RouteCase& c : cases) {
        std::string text = std::string(HEADER) + c.lines;
        char name[16] = "";
        EXPECT_EQ(route_default_interface(text.c_str(), name, sizeof name), c.status) << c.what;
        if (c.status == 0) {
            EXPECT_STREQ(name, c.name) << c.what;
        }
    }
}

TEST(NetInterface, ANameTooLongForTheCallerIsRefused)
{
    std::string text = std::string(HEADER) +
                       "enp0s31f6long\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    char name[8];
    EXPECT_EQ(route_default_interface(text.c_str(), name, sizeof name), -1);
    EXPECT_EQ(route_default_interface(nullptr, name, sizeof name), -1);
}

}  // namespace
