#include "upnp/browse.h"

#include <algorithm>
#include <cstring>

#include "platform/result_codes.h"
#include "platform/sync.h"
#include "upnp/device_list.h"
#include "upnp/object_path.h"

namespace {

constexpr int BUSY_POLL_MS = 50;  // a cancel ends the wait within this
// A page that fails is asked for again: servers drop a kept-alive
// connection just as the next request goes out, or answer an error while
// they update their database. Three attempts in all, a short pause apart.
constexpr int PAGE_ATTEMPTS = 3;
constexpr int RETRY_PAUSE_MS = 100;

bool set(const std::atomic<uint8_t>* flag)
{
    return flag && flag->load() != 0;
}

// Waits while the list is in use; false when cancelled meanwhile.
bool wait_not_busy(const UpnpBrowseControl& control)
{
    while (set(control.busy)) {
        if (set(control.cancel))
            return false;
        sleep_ms(BUSY_POLL_MS);
    }
    return !set(control.cancel);
}

int fetch_from_server(void* context, const char* object_id, uint32_t start, uint32_t count,
                      const std::atomic<uint8_t>* cancel, BrowseAnswer* out)
{
    return upnp_call_browse(static_cast<const char*>(context), object_id, start, count, cancel,
                            out);
}

bool server_listed(const char* udn)
{
    UpnpDeviceCopy servers[UPNP_LIST_SIZE];
    const int n = upnp_list_copy(UPNP_SERVERS, servers, UPNP_LIST_SIZE);
    for (int i = 0; i < n; ++i)
        if (std::strcmp(servers[i].udn, udn) == 0)
            return true;
    return false;
}

int fetch_page(UpnpPageFetch fetch, void* context, const char* object_id, uint32_t start,
               uint32_t count, const UpnpBrowseControl& control, BrowseAnswer* out)
{
    for (int attempt = 0; attempt < PAGE_ATTEMPTS && !set(control.cancel); ++attempt) {
        if (attempt > 0)
            sleep_ms(RETRY_PAUSE_MS);
        *out = BrowseAnswer{};
        if (fetch(context, object_id, start, count, control.cancel, out) == 0)
            return 0;
    }
    return ERR_GENERIC;
}

}  // namespace

int upnp_browse_pages(UpnpPageFetch fetch, void* fetch_context, const char* object_id,
                      const char* folder_path, UpnpRowSink sink, void* sink_context,
                      const UpnpBrowseControl& control, UpnpBrowseStats* stats)
{
    UpnpBrowseStats local{};
    UpnpBrowseStats& s = stats ? *stats : local;
    s = UpnpBrowseStats{};
    uint64_t start = 0;
    uint32_t count = UPNP_PAGE_SIZE;
    while (!set(control.cancel)) {
        BrowseAnswer answer{};
        if (fetch_page(fetch, fetch_context, object_id, static_cast<uint32_t>(start), count,
                       control, &answer) != 0)
            break;
        ++s.pages;
        DidlParseResult page = didl_parse(answer.result.c_str(), folder_path, sink, sink_context);
        s.rows += page.rows;
        s.full = s.full || page.full;
        // TotalMatches - (NumberReturned + start), in a width that cannot wrap.
        // A server may say 0 when it does not know the total (minidlna does
        // while it updates its database): a full page then means "more".
        const uint64_t seen = start + answer.number_returned;
        const bool unknown_total = answer.total_matches == 0 && answer.number_returned >= count;
        const uint64_t remaining = unknown_total                 ? UPNP_PAGE_SIZE
                                   : answer.total_matches > seen ? answer.total_matches - seen
                                                                 : 0;
        if (s.full || remaining == 0 || answer.number_returned == 0 || page.rows == 0)
            break;
        if (!wait_not_busy(control))
            break;
        start = seen;
        if (start > UINT32_MAX)
            break;
        count = static_cast<uint32_t>(std::min<uint64_t>(remaining, UPNP_PAGE_SIZE));
    }
    return 0;
}

int upnp_browse_path(const char* path, UpnpRowSink sink, void* sink_context,
                     const UpnpBrowseControl& control, UpnpBrowseStats* stats)
{
    char udn[UPNP_UDN_SIZE];
    char object_id[UPNP_OBJECT_ID_SIZE];
    if (!sink || upnp_path_parse(path, udn, sizeof udn, object_id, sizeof object_id) != 0 ||
        !server_listed(udn))
        return ERR_GENERIC;
    return upnp_browse_pages(fetch_from_server, udn, object_id, path, sink, sink_context, control,
                             stats);
}
