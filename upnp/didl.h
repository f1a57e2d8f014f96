// DIDL-Lite answers of a ContentDirectory Browse turned into rows: the
// GUPnP-AV parser reads the XML, and each container and item that carries
// what a row needs becomes one UpnpRow handed to a sink (the browser's
// table, through the frame).
//
// Rules (didl_container_row / didl_item_row, pure):
// - container: id and title required; name = title with "/" made "-";
//   path = "<folder path>/}<id>".
// - item: id, title, class and a resource with a URI required; name =
//   title ("/" made "-"), or "NN-title" with a track number; the largest
//   resource for an image (wider and taller than the one chosen so far);
//   an image extension from the protocol information when the name has
//   none; size of the resource (0 when negative); path = resource URI;
//   extra = the object's XML in a DIDL-Lite root, or empty when it does not
//   fit (a cut document would be sent to a renderer as garbage).
// - both: mtime from a decimal modification time; else date_text = date.
//
// Threads: any thread; the parser is made per call and nothing is shared.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t UPNP_ROW_NAME_SIZE = 1024;
constexpr size_t UPNP_ROW_DATE_SIZE = 40;
constexpr size_t UPNP_ROW_EXTRA_SIZE = 1536;
constexpr int UPNP_MAX_RESOURCES = 16;  // an item lists a few; the rest are ignored

enum UpnpRowKind : int {
    UPNP_ROW_CONTAINER = 1,
    UPNP_ROW_ITEM = 2,
};

struct UpnpRow {
    int32_t kind;         // UpnpRowKind
    int32_t media_class;  // MediaClass: 0 for containers
    int64_t size;         // bytes, never negative
    int64_t mtime;        // seconds since 1970, 0 when unknown
    char name[UPNP_ROW_NAME_SIZE];
    char date_text[UPNP_ROW_DATE_SIZE];
    char path[UPNP_ROW_NAME_SIZE];  // container object path or item URI
    char extra[UPNP_ROW_EXTRA_SIZE];
};

// Takes a row; false when the table is full (later rows are dropped).
using UpnpRowSink = bool (*)(void* context, const UpnpRow* row);

// One resource of an item, as the parser gives it (null texts = missing).
struct DidlResource {
    const char* uri;
    int width;  // -1 unknown
    int height;
    int64_t size;  // -1 unknown
    const char* protocol_info;
};

// What the rules read of one object.
struct DidlObject {
    const char* id;
    const char* title;
    const char* upnp_class;
    const char* date;
    const char* modification_time;
    const char* xml;   // the object's own XML text
    int track_number;  // -1 none
    const DidlResource* resources;
    int resource_count;
};

// The rows of the rules above; false when the object makes no row.
bool didl_container_row(const DidlObject& object, const char* folder_path, UpnpRow* row);
bool didl_item_row(const DidlObject& object, UpnpRow* row);

struct DidlParseResult {
    int objects;  // containers and items the parser delivered
    int rows;     // rows the sink took
    bool full;    // the sink refused a row
    bool error;   // the text was not DIDL-Lite (rows before the error stay)
};

// Switches GLib's log output off for the whole process: the UPnP stack's
// warnings about peers are not the user's business. Idempotent; any thread.
void upnp_logging_off();

// Parses one Browse result and hands its rows to sink. folder_path is the
// object path of the folder being listed.
DidlParseResult didl_parse(const char* xml, const char* folder_path, UpnpRowSink sink,
                           void* context);

// What a player shows of an item sent to a renderer: its tags and the
// first resource's duration, read from the item's DIDL-Lite (a row's
// extra). Missing texts are "", an unknown duration 0.
constexpr size_t DIDL_TAG_SIZE = 128;
struct DidlTags {
    char title[DIDL_TAG_SIZE];
    char artist[DIDL_TAG_SIZE];
    char album[DIDL_TAG_SIZE];
    char genre[DIDL_TAG_SIZE];
    int64_t duration_ms;
};
// True when the text held an item.
bool didl_item_tags(const char* xml, DidlTags* out);
