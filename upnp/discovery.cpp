#include "upnp/discovery.h"

#include <libgupnp/gupnp.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/net_interface.h"
#include "platform/result_codes.h"
#include "upnp/device_list.h"
#include "upnp/didl.h"

namespace {

constexpr const char* SEARCH_TARGET = "ssdp:all";
constexpr const char* CONTENT_DIRECTORY = "urn:schemas-upnp-org:service:ContentDirectory";
constexpr const char* AV_TRANSPORT = "urn:schemas-upnp-org:service:AVTransport";
constexpr const char* APPLICATION_NAME = "Velmora Media Player";
constexpr int DEFAULT_CALL_TIMEOUT_MS = 15000;  // a slow NAS answers a large page in a few seconds
constexpr int WAIT_SLICE_MS = 50;               // how soon a waiting caller notices a cancel
constexpr int SHUTDOWN_DRAIN_ITERATIONS = 64;   // callbacks of cancelled actions still to run

// The discovery thread's objects; the context pointer is published under
// g_state_lock so that other threads never post to a context being freed.
std::mutex g_state_lock;
std::thread g_thread;
GMainContext* g_context = nullptr;
GMainLoop* g_loop = nullptr;
bool g_quit_requested = false;
std::atomic<bool> g_stopping{false};
std::atomic<bool> g_active{false};
std::atomic<int> g_call_timeout_ms{DEFAULT_CALL_TIMEOUT_MS};

// ---- device announcements ----------------------------------------------------------------

// Offers one device to a list with its service proxy; the references are
// kept only when the record is added.
void offer(int kind, GUPnPDeviceInfo* info, const char* service_type, const char* type,
           const char* location, const char* udn, const char* friendly, const char* model)
{
    GUPnPServiceInfo* service = gupnp_device_info_get_service(info, service_type);
    g_object_ref(info);
    if (upnp_list_add(kind, type, location, udn, friendly, model, info, service) != UPNP_ADDED) {
        if (service)
            g_object_unref(service);
        g_object_unref(info);
    }
}

void on_device_available(GUPnPControlPoint*, GUPnPDeviceProxy* proxy, gpointer)
{
    GUPnPDeviceInfo* info = GUPNP_DEVICE_INFO(proxy);
    const char* type = gupnp_device_info_get_device_type(info);
    const bool server = upnp_type_is_server(type);
    const bool renderer = upnp_type_is_renderer(type);
    if (!server && !renderer)
        return;
    const char* location = gupnp_device_info_get_location(info);
    const char* udn = gupnp_device_info_get_udn(info);
    if (server && upnp_list_has_location(UPNP_SERVERS, location))
        return;
    char* friendly = gupnp_device_info_get_friendly_name(info);
    char* model = gupnp_device_info_get_model_name(info);
    if (server)
        offer(UPNP_SERVERS, info, CONTENT_DIRECTORY, type, location, udn, friendly, model);
    if (renderer)
        offer(UPNP_RENDERERS, info, AV_TRANSPORT, type, location, udn, friendly, model);
    g_free(friendly);
    g_free(model);
}

// ---- the thread ----------------------------------------------------------------------------

struct Discovery {
    GMainContext* context = nullptr;
    GUPnPContext* upnp_context = nullptr;
    GUPnPControlPoint* control_point = nullptr;
};

bool discovery_open(Discovery* d)
{
    char name[64];
    const char* iface = upnp_select_interface(name, sizeof name) == 0 ? name : nullptr;
    GError* error = nullptr;
    d->upnp_context = gupnp_context_new_full(iface, nullptr, 0, GSSDP_UDA_VERSION_1_0, &error);
    if (!d->upnp_context) {
        if (error)
            g_error_free(error);
        return false;
    }
    d->control_point = gupnp_control_point_new(d->upnp_context, SEARCH_TARGET);
    if (!d->control_point)
        return false;
    g_signal_connect(d->control_point, "device-proxy-available", G_CALLBACK(on_device_available),
                     nullptr);
    gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(d->control_point), TRUE);
    return true;
}

void discovery_close(Discovery* d)
{
    if (d->control_point) {
        gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(d->control_point), FALSE);
        g_object_unref(d->control_point);
    }
    if (d->upnp_context)
        g_object_unref(d->upnp_context);
}

void discovery_thread()
{
    Discovery d;
    d.context = g_main_context_new();
    g_main_context_push_thread_default(d.context);
    GMainLoop* loop = g_main_loop_new(d.context, FALSE);
    bool run = false;
    if (discovery_open(&d)) {
        std::lock_guard<std::mutex> guard(g_state_lock);
        g_context = d.context;
        g_loop = loop;
        run = !g_quit_requested;
    }
    if (run) {
        g_active = true;
        g_main_loop_run(loop);
        g_active = false;
    }
    {
        std::lock_guard<std::mutex> guard(g_state_lock);
        g_context = nullptr;
        g_loop = nullptr;
    }
    // Actions cancelled at shutdown finish through callbacks on this context.
    for (int i = 0; i < SHUTDOWN_DRAIN_ITERATIONS && g_main_context_pending(d.context); ++i)
        g_main_context_iteration(d.context, FALSE);
    upnp_lists_reset();
    discovery_close(&d);
    for (int i = 0; i < SHUTDOWN_DRAIN_ITERATIONS && g_main_context_pending(d.context); ++i)
        g_main_context_iteration(d.context, FALSE);
    g_main_loop_unref(loop);
    g_main_context_pop_thread_default(d.context);
    g_main_context_unref(d.context);
}

}  // namespace

int upnp_select_interface(char* out, size_t out_size)
{
    return network_interface_select(out, out_size);
}

int upnp_start()
{
    std::lock_guard<std::mutex> guard(g_state_lock);
    if (g_thread.joinable())
        return 0;
    static bool once = [] {
        upnp_logging_off();
        g_set_application_name(APPLICATION_NAME);
        return true;
    }();
    (void)once;
    g_stopping = false;
    g_quit_requested = false;
    g_thread = std::thread(discovery_thread);
    return 0;
}

void upnp_shutdown()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(g_state_lock);
        if (!g_thread.joinable())
            return;
        g_stopping = true;
        g_quit_requested = true;
        if (g_loop)
            g_main_loop_quit(g_loop);
        thread = std::move(g_thread);
    }
    thread.join();
}

bool upnp_discovery_active()
{
    return g_active;
}

void upnp_set_call_timeout_ms(int ms)
{
    g_call_timeout_ms = ms > 0 ? ms : DEFAULT_CALL_TIMEOUT_MS;
}

// ---- SOAP actions on the discovery thread ----------------------------------------------------

namespace {

// One Browse in flight, shared by the caller and the discovery thread;
// freed by whichever drops the last reference.
struct BrowseCall {
    std::atomic<int> references{2};
    std::mutex lock;  // guards done, status and the answer
    std::condition_variable answered;
    bool done = false;
    int status = ERR_GENERIC;
    BrowseAnswer answer;
    GCancellable* cancellable = g_cancellable_new();
    std::string udn;
    std::string object_id;
    uint32_t start = 0;
    uint32_t count = 0;
    GUPnPServiceProxy* proxy = nullptr;  // discovery thread only
    GUPnPServiceProxyAction* action = nullptr;
};

void call_release(BrowseCall* c)
{
    if (--c->references == 0) {
        g_object_unref(c->cancellable);
        delete c;
    }
}

// Discovery thread: records the outcome, wakes the caller, lets go.
void call_finish(BrowseCall* c, int status)
{
    if (c->action)
        gupnp_service_proxy_action_unref(c->action);
    if (c->proxy)
        g_object_unref(c->proxy);
    {
        std::lock_guard<std::mutex> guard(c->lock);
        c->status = status;
        c->done = true;
    }
    c->answered.notify_all();
    call_release(c);
}

void on_browse_done(GObject* source, GAsyncResult* result, gpointer data)
{
    auto* c = static_cast<BrowseCall*>(data);
    GError* error = nullptr;
    GUPnPServiceProxyAction* action = gupnp_service_proxy_call_action_finish(
        GUPNP_SERVICE_PROXY(source), result, &error);
    char* didl = nullptr;
    guint returned = 0;
    guint total = 0;
    int status = ERR_GENERIC;
    if (action && !error &&
        gupnp_service_proxy_action_get_result(action, &error, "Result", G_TYPE_STRING, &didl,
                                              "NumberReturned", G_TYPE_UINT, &returned,
                                              "TotalMatches", G_TYPE_UINT, &total, nullptr)) {
        std::lock_guard<std::mutex> guard(c->lock);
        c->answer.result = didl ? didl : "";
        c->answer.number_returned = returned;
        c->answer.total_matches = total;
        status = 0;
    }
    g_free(didl);
    if (error)
        g_error_free(error);
    call_finish(c, status);
}

gboolean start_browse(gpointer data)
{
    auto* c = static_cast<BrowseCall*>(data);
    c->proxy = static_cast<GUPnPServiceProxy*>(upnp_server_service_ref(c->udn.c_str()));
    if (!c->proxy || g_cancellable_is_cancelled(c->cancellable)) {
        call_finish(c, ERR_GENERIC);
        return G_SOURCE_REMOVE;
    }
    c->action = gupnp_service_proxy_action_new(
        "Browse", "ObjectID", G_TYPE_STRING, c->object_id.c_str(), "BrowseFlag", G_TYPE_STRING,
        "BrowseDirectChildren", "Filter", G_TYPE_STRING, "*", "StartingIndex", G_TYPE_UINT,
        c->start, "RequestedCount", G_TYPE_UINT, c->count, "SortCriteria", G_TYPE_STRING, "",
        nullptr);
    gupnp_service_proxy_call_action_async(c->proxy, c->action, c->cancellable, on_browse_done, c);
    return G_SOURCE_REMOVE;
}

// Cancellation handlers run in the thread that cancels: cancel on the loop
// that owns the action.
gboolean cancel_on_loop(gpointer data)
{
    auto* c = static_cast<BrowseCall*>(data);
    g_cancellable_cancel(c->cancellable);
    call_release(c);
    return G_SOURCE_REMOVE;
}

void cancel_call(BrowseCall* c)
{
    std::lock_guard<std::mutex> guard(g_state_lock);
    if (!g_context) {
        g_cancellable_cancel(c->cancellable);  // no loop runs: nothing is in flight
        return;
    }
    ++c->references;
    g_main_context_invoke_full(g_context, G_PRIORITY_DEFAULT, cancel_on_loop, c, nullptr);
}

bool cancelled(const std::atomic<uint8_t>* cancel)
{
    return g_stopping || (cancel && cancel->load() != 0);
}

}  // namespace

int upnp_call_browse(const char* udn, const char* object_id, uint32_t start, uint32_t count,
                     const std::atomic<uint8_t>* cancel, BrowseAnswer* out)
{
    if (!udn || !object_id || !out || cancelled(cancel))
        return ERR_GENERIC;
    auto* c = new BrowseCall;
    c->udn = udn;
    c->object_id = object_id;
    c->start = start;
    c->count = count;
    {
        std::lock_guard<std::mutex> guard(g_state_lock);
        if (!g_context) {
            c->references = 1;
            call_release(c);
            return ERR_GENERIC;
        }
        g_main_context_invoke_full(g_context, G_PRIORITY_DEFAULT, start_browse, c, nullptr);
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(g_call_timeout_ms.load());
    int status = ERR_GENERIC;
    {
        std::unique_lock<std::mutex> guard(c->lock);
        while (!c->done && !cancelled(cancel) && std::chrono::steady_clock::now() < deadline)
            c->answered.wait_for(guard, std::chrono::milliseconds(WAIT_SLICE_MS));
        if (c->done) {
            status = c->status;
            if (status == 0)
                *out = std::move(c->answer);
        }
    }
    if (status != 0)
        cancel_call(c);  // the discovery thread then lets go of the call
    call_release(c);
    return status;
}
