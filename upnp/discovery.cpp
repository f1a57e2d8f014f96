#include "upnp/discovery.h"

#include <libgupnp/gupnp.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/net_interface.h"
#include "platform/result_codes.h"
#include "upnp/device_list.h"
#include "upnp/didl.h"

namespace {

// One control point per list, each searching for its own device type (and
// later versions of it): the stack then fetches no description of routers,
// printers and the like, and a list that is full can stop listening.
constexpr const char* SEARCH_TARGETS[2] = {"urn:schemas-upnp-org:device:MediaServer:1",
                                           "urn:schemas-upnp-org:device:MediaRenderer:1"};
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
std::atomic<int64_t> g_active_since_ms{0};  // steady clock, when the search went out
std::atomic<int> g_call_timeout_ms{DEFAULT_CALL_TIMEOUT_MS};

int64_t steady_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- device announcements ----------------------------------------------------------------

// Stops a control point from listening (its list is full: every further
// announcement would only cost memory in the stack, which keeps each device
// it hears of until the announcement expires). Run from an idle source, not
// from inside the control point's own signal.
gboolean stop_listening(gpointer data)
{
    auto* control_point = static_cast<GUPnPControlPoint*>(data);
    gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(control_point), FALSE);
    g_object_unref(control_point);
    return G_SOURCE_REMOVE;
}

// Offers one device to a list with its service proxy; the references are
// kept only when the record is added.
int offer(int kind, GUPnPDeviceInfo* info, const char* service_type, const char* type,
          const char* location, const char* udn, const char* friendly, const char* model)
{
    GUPnPServiceInfo* service = gupnp_device_info_get_service(info, service_type);
    g_object_ref(info);
    const int r = upnp_list_add(kind, type, location, udn, friendly, model, info, service);
    if (r != UPNP_ADDED) {
        if (service)
            g_object_unref(service);
        g_object_unref(info);
    }
    return r;
}

constexpr const char* SERVICE_OF_KIND[2] = {CONTENT_DIRECTORY, AV_TRANSPORT};

void on_device_available(GUPnPControlPoint* control_point, GUPnPDeviceProxy* proxy, gpointer data)
{
    const int kind = GPOINTER_TO_INT(data);
    GUPnPDeviceInfo* info = GUPNP_DEVICE_INFO(proxy);
    const char* type = gupnp_device_info_get_device_type(info);
    const bool wanted = kind == UPNP_SERVERS ? upnp_type_is_server(type)
                                             : upnp_type_is_renderer(type);
    if (!wanted)
        return;
    const char* location = gupnp_device_info_get_location(info);
    // A device that said goodbye and came back keeps its record.
    upnp_list_set_available(location, true);
    if (upnp_list_has_location(kind, location))
        return;
    char* friendly = gupnp_device_info_get_friendly_name(info);
    char* model = gupnp_device_info_get_model_name(info);
    const int r = offer(kind, info, SERVICE_OF_KIND[kind], type, location,
                        gupnp_device_info_get_udn(info), friendly, model);
    g_free(friendly);
    g_free(model);
    if (r == UPNP_LIST_FULL) {
        GSource* idle = g_idle_source_new();
        g_source_set_callback(idle, stop_listening, g_object_ref(control_point), nullptr);
        g_source_attach(idle, g_main_context_get_thread_default());
        g_source_unref(idle);
    }
}

void on_device_unavailable(GUPnPControlPoint*, GUPnPDeviceProxy* proxy, gpointer)
{
    upnp_list_set_available(gupnp_device_info_get_location(GUPNP_DEVICE_INFO(proxy)), false);
}

// ---- the thread ----------------------------------------------------------------------------

struct Discovery {
    GMainContext* context = nullptr;
    GUPnPContext* upnp_context = nullptr;
    GUPnPControlPoint* control_points[2] = {nullptr, nullptr};
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
    for (int kind : {UPNP_SERVERS, UPNP_RENDERERS}) {
        GUPnPControlPoint* cp = gupnp_control_point_new(d->upnp_context, SEARCH_TARGETS[kind]);
        if (!cp)
            return false;
        d->control_points[kind] = cp;
        g_signal_connect(cp, "device-proxy-available", G_CALLBACK(on_device_available),
                         GINT_TO_POINTER(kind));
        g_signal_connect(cp, "device-proxy-unavailable", G_CALLBACK(on_device_unavailable),
                         nullptr);
        gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(cp), TRUE);
    }
    return true;
}

void discovery_close(Discovery* d)
{
    for (GUPnPControlPoint* cp : d->control_points) {
        if (!cp)
            continue;
        gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(cp), FALSE);
        g_object_unref(cp);
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
        g_active_since_ms = steady_ms();
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

int64_t upnp_discovery_age_ms()
{
    if (!g_active)
        return -1;
    return steady_ms() - g_active_since_ms.load();
}

void upnp_set_call_timeout_ms(int ms)
{
    g_call_timeout_ms = ms > 0 ? ms : DEFAULT_CALL_TIMEOUT_MS;
}

// ---- SOAP actions on the discovery thread ----------------------------------------------------

namespace {

// One action in flight, shared by the caller and the discovery thread;
// freed by whichever drops the last reference.
struct ActionCall {
    std::atomic<int> references{2};
    std::mutex lock;  // guards done, status and values
    std::condition_variable answered;
    bool done = false;
    int status = ERR_GENERIC;
    std::vector<std::string> values;  // the out arguments, in the order asked for
    GCancellable* cancellable = g_cancellable_new();
    UpnpActionRequest request;
    GUPnPServiceProxy* proxy = nullptr;  // discovery thread only
    GUPnPServiceProxyAction* action = nullptr;
};

void call_release(ActionCall* c)
{
    if (--c->references == 0) {
        g_object_unref(c->cancellable);
        delete c;
    }
}

// Discovery thread: records the outcome, wakes the caller, lets go.
void call_finish(ActionCall* c, int status)
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

// The out arguments as texts (every SOAP value is text on the wire; the
// caller converts what it needs). An argument the answer lacks stays "".
bool read_outputs(ActionCall* c, GUPnPServiceProxyAction* action, GError** error)
{
    const auto& names = c->request.out_names;
    GList* name_list = nullptr;
    GList* type_list = nullptr;
    for (const std::string& name : names) {
        name_list = g_list_append(name_list, const_cast<char*>(name.c_str()));
        type_list = g_list_append(type_list, GSIZE_TO_POINTER(G_TYPE_STRING));
    }
    GList* value_list = nullptr;
    bool ok = names.empty() || gupnp_service_proxy_action_get_result_list(
                                   action, name_list, type_list, &value_list, error);
    std::vector<std::string> values(names.size());
    size_t i = 0;
    for (GList* l = value_list; l; l = l->next, ++i) {
        auto* v = static_cast<GValue*>(l->data);
        if (i < values.size() && v && G_VALUE_HOLDS_STRING(v) && g_value_get_string(v))
            values[i] = g_value_get_string(v);
        if (v) {
            g_value_unset(v);
            g_free(v);
        }
    }
    g_list_free(value_list);
    g_list_free(name_list);
    g_list_free(type_list);
    if (ok) {
        std::lock_guard<std::mutex> guard(c->lock);
        c->values = std::move(values);
    }
    return ok;
}

void on_action_done(GObject* source, GAsyncResult* result, gpointer data)
{
    auto* c = static_cast<ActionCall*>(data);
    GError* error = nullptr;
    GUPnPServiceProxyAction* action = gupnp_service_proxy_call_action_finish(
        GUPNP_SERVICE_PROXY(source), result, &error);
    const bool ok = action && !error && read_outputs(c, action, &error);
    if (error)
        g_error_free(error);
    call_finish(c, ok ? 0 : ERR_GENERIC);
}

GUPnPServiceProxyAction* make_action(const UpnpActionRequest& r)
{
    GList* names = nullptr;
    GList* values = nullptr;
    for (const auto& [name, text] : r.in) {
        names = g_list_append(names, const_cast<char*>(name.c_str()));
        auto* v = g_new0(GValue, 1);
        g_value_init(v, G_TYPE_STRING);
        g_value_set_string(v, text.c_str());
        values = g_list_append(values, v);
    }
    GUPnPServiceProxyAction* action = gupnp_service_proxy_action_new_from_list(r.action.c_str(),
                                                                               names, values);
    for (GList* l = values; l; l = l->next) {
        g_value_unset(static_cast<GValue*>(l->data));
        g_free(l->data);
    }
    g_list_free(values);
    g_list_free(names);
    return action;
}

gboolean start_action(gpointer data)
{
    auto* c = static_cast<ActionCall*>(data);
    c->proxy = static_cast<GUPnPServiceProxy*>(
        upnp_service_ref(c->request.kind, c->request.udn.c_str()));
    if (!c->proxy || g_cancellable_is_cancelled(c->cancellable)) {
        call_finish(c, ERR_GENERIC);
        return G_SOURCE_REMOVE;
    }
    c->action = make_action(c->request);
    gupnp_service_proxy_call_action_async(c->proxy, c->action, c->cancellable, on_action_done, c);
    return G_SOURCE_REMOVE;
}

// Cancellation handlers run in the thread that cancels: cancel on the loop
// that owns the action.
gboolean cancel_on_loop(gpointer data)
{
    auto* c = static_cast<ActionCall*>(data);
    g_cancellable_cancel(c->cancellable);
    call_release(c);
    return G_SOURCE_REMOVE;
}

void cancel_call(ActionCall* c)
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

uint32_t to_uint(const std::string& text)
{
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

int upnp_call_action(const UpnpActionRequest& request, int timeout_ms,
                     const std::atomic<uint8_t>* cancel, std::vector<std::string>* out)
{
    if (request.udn.empty() || request.action.empty() || cancelled(cancel))
        return ERR_GENERIC;
    auto* c = new ActionCall;
    c->request = request;
    {
        std::lock_guard<std::mutex> guard(g_state_lock);
        if (!g_context) {
            c->references = 1;
            call_release(c);
            return ERR_GENERIC;
        }
        g_main_context_invoke_full(g_context, G_PRIORITY_DEFAULT, start_action, c, nullptr);
    }
    const int limit = timeout_ms > 0 ? timeout_ms : g_call_timeout_ms.load();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
    int status = ERR_GENERIC;
    {
        std::unique_lock<std::mutex> guard(c->lock);
        while (!c->done && !cancelled(cancel) && std::chrono::steady_clock::now() < deadline)
            c->answered.wait_for(guard, std::chrono::milliseconds(WAIT_SLICE_MS));
        if (c->done) {
            status = c->status;
            if (status == 0 && out)
                *out = std::move(c->values);
        }
    }
    if (status != 0)
        cancel_call(c);  // the discovery thread then lets go of the call
    call_release(c);
    return status;
}

int upnp_call_browse(const char* udn, const char* object_id, uint32_t start, uint32_t count,
                     const std::atomic<uint8_t>* cancel, BrowseAnswer* out)
{
    if (!udn || !object_id || !out)
        return ERR_GENERIC;
    UpnpActionRequest r;
    r.kind = UPNP_SERVERS;
    r.udn = udn;
    r.action = "Browse";
    r.in = {{"ObjectID", object_id},
            {"BrowseFlag", "BrowseDirectChildren"},
            {"Filter", "*"},
            {"StartingIndex", std::to_string(start)},
            {"RequestedCount", std::to_string(count)},
            {"SortCriteria", ""}};
    r.out_names = {"Result", "NumberReturned", "TotalMatches"};
    std::vector<std::string> values;
    const int status = upnp_call_action(r, 0, cancel, &values);
    if (status != 0 || values.size() != 3)
        return ERR_GENERIC;
    out->result = std::move(values[0]);
    out->number_returned = to_uint(values[1]);
    out->total_matches = to_uint(values[2]);
    return 0;
}
