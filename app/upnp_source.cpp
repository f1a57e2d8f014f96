#include "app/upnp_source.h"

#include <cstring>

#include "browser/media_types.h"
#include "platform/result_codes.h"
#include "platform/sync.h"
#include "platform/text_copy.h"
#include "upnp/browse.h"
#include "upnp/device_list.h"
#include "upnp/discovery.h"
#include "upnp/object_path.h"

static_assert(UPNP_ROW_NAME_SIZE == ENTRY_NAME_SIZE && UPNP_ROW_EXTRA_SIZE == ENTRY_EXTRA_SIZE &&
              UPNP_ROW_DATE_SIZE == ENTRY_DATE_SIZE);

namespace {

constexpr const char* PARENT = "..";
constexpr const char* DIR_INFO = "<DIR>";

std::atomic<const std::atomic<uint8_t>*> g_cancel{nullptr};

bool is_root(const char* path)
{
    return std::strcmp(path, "/") == 0;
}

// One UPnP row into the table; false when the table is full.
bool add_upnp_row(void* context, const UpnpRow* row)
{
    auto* list = static_cast<BrowserList*>(context);
    MediaEntry* e = browser_list_add(list);
    if (!e)
        return false;
    e->kind = row->kind == UPNP_ROW_CONTAINER ? ENTRY_FOLDER : ENTRY_FILE;
    e->media_class = row->media_class;
    e->size = row->size;
    e->mtime = row->mtime;
    std::memcpy(e->name, row->name, sizeof e->name);
    std::memcpy(e->date_text, row->date_text, sizeof e->date_text);
    std::memcpy(e->path, row->path, sizeof e->path);
    std::memcpy(e->extra, row->extra, sizeof e->extra);
    if (row->kind == UPNP_ROW_ITEM)
        size_text(static_cast<uint64_t>(row->size), e->info, sizeof e->info);
    return true;
}

// Devices answer the first search within its MX of a few seconds: a list
// opened earlier waits (under the spinner) for the first to come.
constexpr int64_t FIRST_ANSWERS_MS = 5000;
constexpr int WAIT_STEP_MS = 100;
constexpr const char* NO_RENDERERS = "No DLNA renderers found on the network";

bool cancelled()
{
    const std::atomic<uint8_t>* cancel = g_cancel.load();
    return cancel && cancel->load() != 0;
}

int copy_when_found(int kind, UpnpDeviceCopy* out)
{
    int n = upnp_list_copy(kind, out, UPNP_LIST_SIZE);
    for (int64_t age = upnp_discovery_age_ms();
         n == 0 && age >= 0 && age < FIRST_ANSWERS_MS && !cancelled();
         age = upnp_discovery_age_ms()) {
        sleep_ms(WAIT_STEP_MS);
        n = upnp_list_copy(kind, out, UPNP_LIST_SIZE);
    }
    return n;
}

int server_rows(BrowserList* list)
{
    UpnpDeviceCopy servers[UPNP_LIST_SIZE];
    const int n = copy_when_found(UPNP_SERVERS, servers);
    int made = 0;
    for (int i = 0; i < n; ++i) {
        char path[ENTRY_NAME_SIZE];
        if (upnp_server_path(servers[i].udn, path, sizeof path) != 0)
            continue;
        MediaEntry* e = browser_list_add(list);
        if (!e)
            break;
        e->kind = ENTRY_FOLDER;
        copy_text(e->name, sizeof e->name, servers[i].friendly_name);
        copy_text(e->path, sizeof e->path, path);
        ++made;
    }
    return made > 0 ? 0 : ERR_NO_UPNP_SERVER;
}

}  // namespace

int upnp_thread_start(AppState*)
{
    return upnp_start();
}

void upnp_thread_stop()
{
    upnp_shutdown();
}

void upnp_source_set_cancel(const std::atomic<uint8_t>* cancel)
{
    g_cancel = cancel;
}

int upnp_source_fill(BrowserList* list, const FillRequest* request)
{
    if (is_root(request->path))
        return server_rows(list);
    browser_list_add_row(list, ENTRY_FOLDER, PARENT, DIR_INFO);
    UpnpBrowseControl control{g_cancel.load(), nullptr};
    return upnp_browse_path(request->path, add_upnp_row, list, control, nullptr);
}

int upnp_renderer_rows(BrowserList* list, const FillRequest*)
{
    UpnpDeviceCopy renderers[UPNP_LIST_SIZE];
    const int n = copy_when_found(UPNP_RENDERERS, renderers);
    if (n == 0)
        browser_list_add_row(list, ENTRY_MESSAGE, NO_RENDERERS, "");
    for (int i = 0; i < n; ++i) {
        MediaEntry* e = browser_list_add(list);
        if (!e)
            break;
        e->kind = ENTRY_RENDERER;
        e->ref = const_cast<UpnpDevice*>(renderers[i].ref);
        copy_text(e->name, sizeof e->name, renderers[i].friendly_name);
    }
    return 0;
}
