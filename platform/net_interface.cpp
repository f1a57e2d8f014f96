#include "platform/net_interface.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/text_copy.h"

namespace {

constexpr const char* ROUTE_TABLE = "/proc/net/route";
constexpr size_t ROUTE_TABLE_MAX = 64 * 1024;  // far above any real routing table
constexpr unsigned long ROUTE_UP = 0x1;        // RTF_UP
constexpr int ROUTE_FIELDS = 8;                // Iface .. Mask

bool fits(const char* name, size_t out_size)
{
    return name[0] != '\0' && std::strlen(name) < out_size;
}

// One line: the interface name when it is an up default route.
bool default_route_line(const char* line, char* name, size_t name_size)
{
    char iface[64];
    char destination[16];
    char gateway[16];
    char flags[16];
    char refcnt[16];
    char use[16];
    char metric[16];
    char mask[16];
    if (std::sscanf(line, "%63s %15s %15s %15s %15s %15s %15s %15s", iface, destination, gateway,
                    flags, refcnt, use, metric, mask) != ROUTE_FIELDS)
        return false;
    char* end = nullptr;
    unsigned long f = std::strtoul(flags, &end, 16);
    if (*end != '\0' || !(f & ROUTE_UP))
        return false;
    if (std::strcmp(destination, "00000000") != 0 || std::strcmp(mask, "00000000") != 0)
        return false;
    copy_text(name, name_size, iface);
    return true;
}

// The routing table's text; /proc files report no size, so read to the end.
bool read_route_table(std::string* text)
{
    FILE* f = std::fopen(ROUTE_TABLE, "r");
    if (!f)
        return false;
    char chunk[4096];
    size_t n = 0;
    while (text->size() < ROUTE_TABLE_MAX && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        text->append(chunk, n);
    std::fclose(f);
    return true;
}

int last_ipv4_interface(char* out, size_t out_size)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return -1;
    const char* found = nullptr;
    for (const ifaddrs* a = list; a; a = a->ifa_next)
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET && !(a->ifa_flags & IFF_LOOPBACK) &&
            a->ifa_name)
            found = a->ifa_name;
    int r = -1;
    if (found && fits(found, out_size)) {
        copy_text(out, out_size, found);
        r = 0;
    }
    freeifaddrs(list);
    return r;
}

}  // namespace

int route_default_interface(const char* route_text, char* out, size_t out_size)
{
    if (!route_text || !out || out_size == 0)
        return -1;
    const char* line = std::strchr(route_text, '\n');  // the first line is the header
    char text[256];
    char name[64];
    while (line && *line) {
        ++line;
        const char* end = std::strchr(line, '\n');
        size_t length = end ? static_cast<size_t>(end - line) : std::strlen(line);
        if (length < sizeof text) {
            std::memcpy(text, line, length);
            text[length] = '\0';
            if (default_route_line(text, name, sizeof name) && fits(name, out_size)) {
                copy_text(out, out_size, name);
                return 0;
            }
        }
        line = end;
    }
    return -1;
}

int network_interface_select(char* out, size_t out_size)
{
    if (!out || out_size == 0)
        return -1;
    std::string table;
    if (read_route_table(&table) && route_default_interface(table.c_str(), out, out_size) == 0)
        return 0;
    return last_ipv4_interface(out, out_size);
}
