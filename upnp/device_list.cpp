#include "upnp/device_list.h"

#include <glib-object.h>
#include <glib.h>

#include <cstring>
#include <mutex>

#include "platform/text_copy.h"

namespace {

constexpr const char* SERVER_PATTERN = "urn:schemas-upnp-org:device:MediaServer:*";
constexpr const char* RENDERER_PATTERN = "urn:schemas-upnp-org:device:MediaRenderer:*";

struct DeviceList {
    UpnpDevice* entries[UPNP_LIST_SIZE];
    int count;
};

std::mutex g_list_lock;  // guards both lists
DeviceList g_lists[2];

DeviceList* list_of(int kind)
{
    return kind == UPNP_SERVERS || kind == UPNP_RENDERERS ? &g_lists[kind] : nullptr;
}

bool fits(const char* text, size_t size)
{
    return !text || std::strlen(text) < size;
}

// Lock held.
bool listed(const DeviceList& list, const char* location)
{
    for (int i = 0; i < list.count; ++i)
        if (std::strcmp(list.entries[i]->location, location) == 0)
            return true;
    return false;
}

void copy_or_empty(char* out, size_t size, const char* text)
{
    copy_text(out, size, text ? text : "");
}

void release(UpnpDevice* d)
{
    if (d->service)
        g_object_unref(d->service);
    if (d->device)
        g_object_unref(d->device);
    delete d;
}

}  // namespace

bool upnp_type_is_server(const char* device_type)
{
    return device_type && g_pattern_match_simple(SERVER_PATTERN, device_type);
}

bool upnp_type_is_renderer(const char* device_type)
{
    return device_type && g_pattern_match_simple(RENDERER_PATTERN, device_type);
}

int upnp_list_add(int kind, const char* device_type, const char* location, const char* udn,
                  const char* friendly_name, const char* model_name, void* device, void* service)
{
    DeviceList* list = list_of(kind);
    if (!list || !location || !location[0] || !udn || !udn[0] ||
        !fits(location, UPNP_LOCATION_SIZE) || !fits(udn, UPNP_TEXT_SIZE) ||
        !fits(device_type, UPNP_TEXT_SIZE))
        return UPNP_REFUSED;
    std::lock_guard<std::mutex> guard(g_list_lock);
    if (listed(*list, location))
        return UPNP_DUPLICATE;
    if (list->count >= UPNP_LIST_SIZE)
        return UPNP_LIST_FULL;
    auto* d = new UpnpDevice{};
    copy_or_empty(d->device_type, sizeof d->device_type, device_type);
    copy_or_empty(d->location, sizeof d->location, location);
    copy_or_empty(d->udn, sizeof d->udn, udn);
    copy_or_empty(d->friendly_name, sizeof d->friendly_name, friendly_name);
    copy_or_empty(d->model_name, sizeof d->model_name, model_name);
    d->device = device;
    d->service = service;
    d->available = true;
    list->entries[list->count++] = d;
    return UPNP_ADDED;
}

bool upnp_list_has_location(int kind, const char* location)
{
    DeviceList* list = list_of(kind);
    if (!list || !location)
        return false;
    std::lock_guard<std::mutex> guard(g_list_lock);
    return listed(*list, location);
}

void upnp_list_set_available(const char* location, bool available)
{
    if (!location)
        return;
    std::lock_guard<std::mutex> guard(g_list_lock);
    for (DeviceList& list : g_lists)
        for (int i = 0; i < list.count; ++i)
            if (std::strcmp(list.entries[i]->location, location) == 0)
                list.entries[i]->available = available;
}

int upnp_list_copy(int kind, UpnpDeviceCopy* out, int max)
{
    DeviceList* list = list_of(kind);
    if (!list || !out || max <= 0)
        return 0;
    std::lock_guard<std::mutex> guard(g_list_lock);
    int n = 0;
    for (int i = 0; i < list->count && n < max; ++i) {
        const UpnpDevice* d = list->entries[i];
        if (!d->available && kind == UPNP_RENDERERS)
            continue;  // said goodbye: not offered as a target until it comes back
        out[n].ref = d;
        copy_text(out[n].udn, sizeof out[n].udn, d->udn);
        copy_text(out[n].friendly_name, sizeof out[n].friendly_name, d->friendly_name);
        copy_text(out[n].model_name, sizeof out[n].model_name, d->model_name);
        ++n;
    }
    return n;
}

void* upnp_service_ref(int kind, const char* udn)
{
    DeviceList* list = list_of(kind);
    if (!list || !udn)
        return nullptr;
    std::lock_guard<std::mutex> guard(g_list_lock);
    for (int i = 0; i < list->count; ++i)
        if (std::strcmp(list->entries[i]->udn, udn) == 0)
            return list->entries[i]->service ? g_object_ref(list->entries[i]->service) : nullptr;
    return nullptr;
}

void upnp_lists_reset()
{
    std::lock_guard<std::mutex> guard(g_list_lock);
    for (DeviceList& list : g_lists) {
        for (int i = 0; i < list.count; ++i)
            release(list.entries[i]);
        list = DeviceList{};
    }
}
