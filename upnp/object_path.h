// UPnP object paths: "udn:" + server UDN + ",id:" + the chain of object ids
// from the server's root container, each level joined by "/}". A server
// row is "udn:<udn>,id:0"; the object to browse is the id after the last
// "/}" (the root container "0" when there is none).
//
// Pure functions of their arguments; any thread. Results: 0, or -1 when the
// path cannot be read or the result does not fit out (out is then empty).
#pragma once

#include <cstddef>

constexpr size_t UPNP_UDN_SIZE = 256;         // UDNs are "uuid:" and 36 characters
constexpr size_t UPNP_OBJECT_ID_SIZE = 1024;  // the id part can be as long as the path

// The UDN and the object to browse. The UDN and the id part each end at the
// first comma; both must be non-empty.
int upnp_path_parse(const char* path, char* udn, size_t udn_size, char* object_id,
                    size_t object_id_size);

// A server's row path: "udn:<udn>,id:0".
int upnp_server_path(const char* udn, char* out, size_t out_size);

// A container's row path below the folder at parent: "<parent>/}<id>".
int upnp_child_path(const char* parent, const char* id, char* out, size_t out_size);
