// Discovery of DLNA/UPnP media servers and renderers on a thread of its own:
// a GLib main loop on a private main context drives a GUPnP context bound to
// one network interface and two control points, one searching for media
// servers and one for media renderers (a list that fills up stops its
// control point listening, so a network that announces thousands of
// devices costs a bounded amount of memory); every announced
// device is offered to the device lists (upnp/device_list.h). SOAP actions
// of other threads run on that loop too (upnp_call_action), so the GUPnP
// objects are only ever touched by the discovery thread.
//
// Threads: upnp_start and upnp_shutdown by start-up and shutdown (main
// thread); upnp_call_action and upnp_call_browse by any other thread (the
// browser's worker, the Play To controller), never the discovery thread.
// Results: 0 or a negative ResultCode.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The interface to bind to (platform's choice: the default route's, else
// the last with an IPv4 address); 0 with a name, or -1.
int upnp_select_interface(char* out, size_t out_size);

// Starts the discovery thread (once; a second call while it runs does
// nothing). The lists stay empty when no GUPnP context can be made.
int upnp_start();
// Quits the main loop, cancels the actions in flight and joins the thread;
// the device lists are freed. Safe to call when nothing runs.
void upnp_shutdown();
// Whether discovery has a working control point (tests wait for it).
bool upnp_discovery_active();
// How long the control point has been searching (ms), -1 when it is not:
// devices answer a search within a few seconds, so an empty list this
// early means "not yet" rather than "none".
int64_t upnp_discovery_age_ms();

// How long one SOAP action may take before it is given up (default 15 s).
void upnp_set_call_timeout_ms(int ms);

// One SOAP action on a listed device's service: the ContentDirectory of a
// server (kind UPNP_SERVERS) or the AVTransport of a renderer
// (UPNP_RENDERERS), found by UDN. Arguments travel as their texts.
struct UpnpActionRequest {
    int kind = 0;
    std::string udn;
    std::string action;
    std::vector<std::pair<std::string, std::string>> in;
    std::vector<std::string> out_names;
};
// Sends the action and waits for its answer, timeout_ms (0: the default
// limit), *cancel (may be null) or shutdown, whichever comes first; a call
// given up is cancelled on the loop. 0 with *out (may be null) holding the
// out arguments' texts in the order asked for ("" for one the answer
// lacks); ERR_GENERIC for an unknown device, a fault answer, a time-out or
// a cancel.
int upnp_call_action(const UpnpActionRequest& request, int timeout_ms,
                     const std::atomic<uint8_t>* cancel, std::vector<std::string>* out);

struct BrowseAnswer {
    std::string result;  // DIDL-Lite text
    uint32_t number_returned;
    uint32_t total_matches;
};
// One ContentDirectory Browse (BrowseDirectChildren, filter "*", no sort)
// of object_id on the server of that UDN. Waits for the answer, the time
// limit, *cancel (when given) or shutdown, whichever comes first; the
// action is cancelled when the wait gives up. ERR_GENERIC for an unknown
// server, an error answer, a time-out or a cancel.
int upnp_call_browse(const char* udn, const char* object_id, uint32_t start, uint32_t count,
                     const std::atomic<uint8_t>* cancel, BrowseAnswer* out);
