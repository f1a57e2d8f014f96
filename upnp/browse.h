// Listing one folder of a UPnP media server: the object path names the
// server and the object; Browse actions fetch its children 32 at a time and
// each page's DIDL-Lite becomes rows (upnp/didl.h).
//
// A TotalMatches of 0 with a full page means the server does not know the
// total: paging goes on until a page comes back short.
// Paging ends when all children are fetched, a page brings nothing (no
// objects, or no row from them: a server that keeps promising more never
// holds the worker), the sink is full (rows past the table's limit would
// be dropped anyway), the caller cancels, or a Browse fails three times in
// a row (the rows so far stay). While *busy is set the next page waits (the list is in use).
//
// Threads: the browser's worker thread (or a test's). The control flags
// are read, never written.
#pragma once

#include <atomic>
#include <cstdint>

#include "upnp/didl.h"
#include "upnp/discovery.h"

constexpr uint32_t UPNP_PAGE_SIZE = 32;

struct UpnpBrowseControl {
    const std::atomic<uint8_t>* cancel;  // null: never cancelled
    const std::atomic<uint8_t>* busy;    // null: never busy
};

struct UpnpBrowseStats {
    int pages;  // Browse actions answered
    int rows;   // rows the sink took
    bool full;
};

// One page of children (the same contract as upnp_call_browse).
using UpnpPageFetch = int (*)(void* context, const char* object_id, uint32_t start, uint32_t count,
                              const std::atomic<uint8_t>* cancel, BrowseAnswer* out);

// The paging loop over any fetch; 0 (whatever paging brought).
int upnp_browse_pages(UpnpPageFetch fetch, void* fetch_context, const char* object_id,
                      const char* folder_path, UpnpRowSink sink, void* sink_context,
                      const UpnpBrowseControl& control, UpnpBrowseStats* stats);

// Lists the folder at the object path from the discovered server of its
// UDN. 0 after the browse; -1 (ERR_GENERIC) when the path cannot be read or
// no listed server has its UDN. stats may be null.
int upnp_browse_path(const char* path, UpnpRowSink sink, void* sink_context,
                     const UpnpBrowseControl& control, UpnpBrowseStats* stats);
