// The two device lists of discovery: up to 16 media servers and 16 media
// renderers, in order of discovery. A device is one record per list it
// belongs to; its location (description URL) is its identity, so a device
// announced again is not listed twice. A full list refuses further devices
// of its kind, so a network that announces thousands of devices costs no
// more than 32 records. Records are never freed before upnp_lists_reset
// (shutdown), so a record pointer stays valid for the whole run.
//
// Threads: the discovery thread adds; any thread reads through the copy
// functions. Every access takes the lists' lock ("list lock"); readers get
// copies, never a record to read later without it.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int UPNP_LIST_SIZE = 16;
constexpr size_t UPNP_TEXT_SIZE = 256;
constexpr size_t UPNP_LOCATION_SIZE = 1024;

enum UpnpListKind : int {
    UPNP_SERVERS = 0,
    UPNP_RENDERERS = 1,
};

// One discovered device. device and service are the GUPnP device proxy and
// the ContentDirectory (servers) or AVTransport (renderers) service proxy,
// each holding a reference; only the discovery thread uses them.
struct UpnpDevice {
    void* device;
    void* service;
    char device_type[UPNP_TEXT_SIZE];
    char location[UPNP_LOCATION_SIZE];
    char udn[UPNP_TEXT_SIZE];
    char friendly_name[UPNP_TEXT_SIZE];
    char model_name[UPNP_TEXT_SIZE];
    bool available;  // false after the device said goodbye or its announcement ran out
};

// What a reader may keep: the record's identity and texts.
struct UpnpDeviceCopy {
    const UpnpDevice* ref;  // the record (valid until shutdown)
    char udn[UPNP_TEXT_SIZE];
    char friendly_name[UPNP_TEXT_SIZE];
    char model_name[UPNP_TEXT_SIZE];
};

// Which lists a device type belongs to, by the glob patterns
// "urn:schemas-upnp-org:device:MediaServer:*" and "...MediaRenderer:*".
bool upnp_type_is_server(const char* device_type);
bool upnp_type_is_renderer(const char* device_type);

enum UpnpAddResult : int {
    UPNP_ADDED = 0,
    UPNP_DUPLICATE = 1,  // the location is listed already
    UPNP_LIST_FULL = 2,
    UPNP_REFUSED = 3,  // no location or UDN, or texts too long to keep
};
// Appends a record made of the texts (and the proxies, references handed
// over only on UPNP_ADDED). Discovery thread.
int upnp_list_add(int kind, const char* device_type, const char* location, const char* udn,
                  const char* friendly_name, const char* model_name, void* device, void* service);
// Whether a device of that location is listed in kind.
bool upnp_list_has_location(int kind, const char* location);
// Marks the records of that location in both lists present or gone; a
// device that comes back keeps its record (and its place in the list).
// Discovery thread.
void upnp_list_set_available(const char* location, bool available);

// Copies up to max entries of a list into out; the number copied. Renderers
// that said goodbye are left out (nothing to send to); servers keep their
// place, since under a flood of announcements the stack also reports
// goodbyes that were never said, and a server that really left only fails
// its next Browse.
int upnp_list_copy(int kind, UpnpDeviceCopy* out, int max);
// The service proxy of the device of that UDN in kind with a new reference
// (the caller unreferences it), or null. Discovery thread.
void* upnp_service_ref(int kind, const char* udn);

// Frees every record (unreferencing the proxies) and empties the lists.
// Shutdown, once nothing else uses the records.
void upnp_lists_reset();
