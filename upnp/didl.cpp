#include "upnp/didl.h"

#include <libgupnp-av/gupnp-av.h>
#include <libxml/xmlerror.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/media_enums.h"
#include "platform/text_copy.h"
#include "upnp/object_path.h"

namespace {

// The root element the item's own XML is wrapped in for a renderer.
constexpr const char* DIDL_OPEN =
    "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
    "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\" "
    "xmlns:dlna=\"urn:schemas-dlna-org:metadata-1-0/\">";
constexpr const char* DIDL_CLOSE = "</DIDL-Lite>";

// A name whose last "." lies within its last few characters already has
// an extension.
constexpr size_t EXTENSION_REACH = 5;
constexpr size_t EXTENSION_MIN_NAME = 3;

struct ClassRule {
    const char* marker;
    int media_class;
};
constexpr ClassRule CLASS_RULES[] = {
    {"imageItem", MEDIA_CLASS_IMAGE},
    {"audioItem", MEDIA_CLASS_AUDIO},
    {"videoItem", MEDIA_CLASS_VIDEO},
};

struct ExtensionRule {
    const char* marker;  // found in the protocol information
    const char* extension;
};
constexpr ExtensionRule EXTENSION_RULES[] = {
    {"jpeg", ".jpg"},
    {"png", ".png"},
    {"bmp", ".bmp"},
    {"gif", ".gif"},
};

bool present(const char* text)
{
    return text && text[0] != '\0';
}

// A title as a row name: "/" would read as a folder step in the display
// path and in playlist item names.
void title_name(const char* title, char* out, size_t out_size)
{
    copy_text(out, out_size, title);
    for (char* c = out; *c; ++c)
        if (*c == '/')
            *c = '-';
}

void add_times(const DidlObject& o, UpnpRow* row)
{
    if (present(o.modification_time)) {
        char* end = nullptr;
        long long seconds = std::strtoll(o.modification_time, &end, 10);
        if (end && *end == '\0' && seconds > 0) {
            row->mtime = seconds;
            return;
        }
    }
    if (present(o.date))
        copy_text(row->date_text, sizeof row->date_text, o.date);
}

int class_of(const char* upnp_class)
{
    for (const ClassRule& r : CLASS_RULES)
        if (std::strstr(upnp_class, r.marker))
            return r.media_class;
    return MEDIA_CLASS_OTHER;
}

bool bigger(const DidlResource& r, const DidlResource& than)
{
    return present(r.uri) && r.width > than.width && r.height > than.height;
}

void append_image_extension(char* name, size_t name_size, const char* protocol_info)
{
    const size_t length = std::strlen(name);
    const char* dot = std::strrchr(name, '.');
    if (length >= EXTENSION_MIN_NAME && dot &&
        static_cast<size_t>(dot - name) + EXTENSION_REACH >= length)
        return;
    if (!present(protocol_info))
        return;
    for (const ExtensionRule& r : EXTENSION_RULES)
        if (std::strstr(protocol_info, r.marker)) {
            if (length + std::strlen(r.extension) < name_size)
                std::memcpy(name + length, r.extension, std::strlen(r.extension) + 1);
            return;
        }
}

void item_name(const DidlObject& o, const DidlResource& chosen, UpnpRow* row)
{
    char title[UPNP_ROW_NAME_SIZE];
    title_name(o.title, title, sizeof title);
    if (o.track_number >= 0) {
        char numbered[UPNP_ROW_NAME_SIZE + 16];
        std::snprintf(numbered, sizeof numbered, "%02d-%s", o.track_number, title);
        copy_text(row->name, sizeof row->name, numbered);
    } else {
        copy_text(row->name, sizeof row->name, title);
    }
    append_image_extension(row->name, sizeof row->name, chosen.protocol_info);
}

void item_extra(const char* xml, UpnpRow* row)
{
    if (!present(xml))
        return;
    const size_t total = std::strlen(DIDL_OPEN) + std::strlen(xml) + std::strlen(DIDL_CLOSE);
    if (total >= sizeof row->extra)
        return;
    std::snprintf(row->extra, sizeof row->extra, "%s%s%s", DIDL_OPEN, xml, DIDL_CLOSE);
}

}  // namespace

bool didl_container_row(const DidlObject& o, const char* folder_path, UpnpRow* row)
{
    if (!present(o.id) || !present(o.title) || !folder_path)
        return false;
    std::memset(row, 0, sizeof *row);
    if (upnp_child_path(folder_path, o.id, row->path, sizeof row->path) != 0)
        return false;  // a path that does not fit could not be browsed
    row->kind = UPNP_ROW_CONTAINER;
    title_name(o.title, row->name, sizeof row->name);
    add_times(o, row);
    return true;
}

bool didl_item_row(const DidlObject& o, UpnpRow* row)
{
    if (!present(o.id) || !present(o.title) || !present(o.upnp_class) || o.resource_count <= 0 ||
        !o.resources)
        return false;
    const DidlResource* chosen = &o.resources[0];
    const int media_class = class_of(o.upnp_class);
    if (media_class == MEDIA_CLASS_IMAGE)
        for (int i = 1; i < o.resource_count; ++i)
            if (bigger(o.resources[i], *chosen))
                chosen = &o.resources[i];
    if (!present(chosen->uri) || std::strlen(chosen->uri) >= UPNP_ROW_NAME_SIZE)
        return false;  // a cut URI would play something else
    std::memset(row, 0, sizeof *row);
    row->kind = UPNP_ROW_ITEM;
    row->media_class = media_class;
    row->size = chosen->size > 0 ? chosen->size : 0;
    copy_text(row->path, sizeof row->path, chosen->uri);
    item_name(o, *chosen, row);
    add_times(o, row);
    item_extra(o.xml, row);
    return true;
}

namespace {

struct ParseContext {
    const char* folder_path;
    UpnpRowSink sink;
    void* sink_context;
    DidlParseResult result;
};

void deliver(ParseContext* pc, const UpnpRow& row)
{
    if (pc->result.full)
        return;
    if (pc->sink(pc->sink_context, &row))
        ++pc->result.rows;
    else
        pc->result.full = true;
}

// The text of the object's first child element of that name, or null.
const char* property_text(GUPnPDIDLLiteObject* object, const char* name)
{
    GList* nodes = gupnp_didl_lite_object_get_properties(object, name);
    const char* text = nullptr;
    if (nodes) {
        auto* node = static_cast<xmlNode*>(nodes->data);
        if (node && node->children && node->children->type == XML_TEXT_NODE)
            text = reinterpret_cast<const char*>(node->children->content);
    }
    g_list_free(nodes);
    return text;
}

// The fields every object has; strings stay owned by the object.
DidlObject read_object(GUPnPDIDLLiteObject* object, char* xml)
{
    DidlObject o{};
    o.id = gupnp_didl_lite_object_get_id(object);
    o.title = gupnp_didl_lite_object_get_title(object);
    o.upnp_class = gupnp_didl_lite_object_get_upnp_class(object);
    o.date = gupnp_didl_lite_object_get_date(object);
    o.modification_time = property_text(object, "modificationTime");
    o.track_number = gupnp_didl_lite_object_get_track_number(object);
    o.xml = xml;
    return o;
}

void on_container_available(GUPnPDIDLLiteParser*, GUPnPDIDLLiteContainer* container, gpointer data)
{
    auto* pc = static_cast<ParseContext*>(data);
    ++pc->result.objects;
    if (pc->result.full)
        return;
    DidlObject o = read_object(GUPNP_DIDL_LITE_OBJECT(container), nullptr);
    UpnpRow row;
    if (didl_container_row(o, pc->folder_path, &row))
        deliver(pc, row);
}

void on_item_available(GUPnPDIDLLiteParser*, GUPnPDIDLLiteItem* item, gpointer data)
{
    auto* pc = static_cast<ParseContext*>(data);
    ++pc->result.objects;
    if (pc->result.full)
        return;
    GUPnPDIDLLiteObject* object = GUPNP_DIDL_LITE_OBJECT(item);
    GList* list = gupnp_didl_lite_object_get_resources(object);
    DidlResource resources[UPNP_MAX_RESOURCES];
    std::string protocols[UPNP_MAX_RESOURCES];
    int count = 0;
    for (GList* l = list; l && count < UPNP_MAX_RESOURCES; l = l->next, ++count) {
        auto* r = static_cast<GUPnPDIDLLiteResource*>(l->data);
        GUPnPProtocolInfo* info = gupnp_didl_lite_resource_get_protocol_info(r);
        if (info) {
            if (char* text = gupnp_protocol_info_to_string(info)) {
                protocols[count] = text;
                g_free(text);
            }
        }
        resources[count] = {
            gupnp_didl_lite_resource_get_uri(r), gupnp_didl_lite_resource_get_width(r),
            gupnp_didl_lite_resource_get_height(r), gupnp_didl_lite_resource_get_size64(r),
            info ? protocols[count].c_str() : nullptr};
    }
    char* xml = gupnp_didl_lite_object_get_xml_string(object);
    DidlObject o = read_object(object, xml);
    o.resources = resources;
    o.resource_count = count;
    UpnpRow row;
    if (didl_item_row(o, &row))
        deliver(pc, row);
    g_free(xml);
    g_list_free_full(list, g_object_unref);
}

void xml_error_ignored(void*, const char*, ...) {}

void log_ignored(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

void upnp_logging_off()
{
    static const bool done = [] {
        g_log_set_default_handler(log_ignored, nullptr);
        return true;
    }();
    (void)done;
}

DidlParseResult didl_parse(const char* xml, const char* folder_path, UpnpRowSink sink,
                           void* context)
{
    ParseContext pc{folder_path, sink, context, {}};
    if (!present(xml) || !sink) {
        pc.result.error = true;
        return pc.result;
    }
    // A server's broken XML is not the user's business: libxml2 would print
    // it. Its error handler belongs to the calling thread, so it is set here.
    xmlSetGenericErrorFunc(nullptr, xml_error_ignored);
    upnp_logging_off();
    GUPnPDIDLLiteParser* parser = gupnp_didl_lite_parser_new();
    g_signal_connect(parser, "container-available", G_CALLBACK(on_container_available), &pc);
    g_signal_connect(parser, "item-available", G_CALLBACK(on_item_available), &pc);
    GError* error = nullptr;
    if (!gupnp_didl_lite_parser_parse_didl(parser, xml, &error))
        pc.result.error = true;
    if (error)
        g_error_free(error);
    g_object_unref(parser);
    return pc.result;
}

namespace {

void copy_tag(char* out, const char* text)
{
    copy_text(out, DIDL_TAG_SIZE, text ? text : "");
}

struct TagContext {
    DidlTags* tags;
    bool found;
};

void on_tagged_item(GUPnPDIDLLiteParser*, GUPnPDIDLLiteItem* item, gpointer data)
{
    auto* tc = static_cast<TagContext*>(data);
    if (tc->found)
        return;  // the first item only
    tc->found = true;
    DidlTags* tags = tc->tags;
    GUPnPDIDLLiteObject* object = GUPNP_DIDL_LITE_OBJECT(item);
    copy_tag(tags->title, gupnp_didl_lite_object_get_title(object));
    copy_tag(tags->artist, gupnp_didl_lite_object_get_artist(object));
    copy_tag(tags->album, gupnp_didl_lite_object_get_album(object));
    copy_tag(tags->genre, gupnp_didl_lite_object_get_genre(object));
    GList* list = gupnp_didl_lite_object_get_resources(object);
    if (list) {
        const long seconds = gupnp_didl_lite_resource_get_duration(
            static_cast<GUPnPDIDLLiteResource*>(list->data));
        tags->duration_ms = seconds > 0 ? int64_t(seconds) * 1000 : 0;
    }
    g_list_free_full(list, g_object_unref);
}

}  // namespace

bool didl_item_tags(const char* xml, DidlTags* out)
{
    *out = DidlTags{};
    if (!present(xml))
        return false;
    xmlSetGenericErrorFunc(nullptr, xml_error_ignored);
    upnp_logging_off();
    TagContext tc{out, false};
    GUPnPDIDLLiteParser* parser = gupnp_didl_lite_parser_new();
    g_signal_connect(parser, "item-available", G_CALLBACK(on_tagged_item), &tc);
    GError* error = nullptr;
    gupnp_didl_lite_parser_parse_didl(parser, xml, &error);
    if (error)
        g_error_free(error);
    g_object_unref(parser);
    return tc.found;
}
