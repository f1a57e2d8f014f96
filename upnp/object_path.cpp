#include "upnp/object_path.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* UDN_PREFIX = "udn:";
constexpr const char* ID_PREFIX = ",id:";
constexpr const char* ROOT_CONTAINER = "0";

bool copy_piece(const char* text, size_t length, char* out, size_t out_size)
{
    if (length >= out_size)
        return false;
    std::memcpy(out, text, length);
    out[length] = '\0';
    return true;
}

int formatted(int n, char* out, size_t out_size)
{
    if (n < 0 || static_cast<size_t>(n) >= out_size) {
        out[0] = '\0';
        return -1;
    }
    return 0;
}

}  // namespace

int upnp_path_parse(const char* path, char* udn, size_t udn_size, char* object_id,
                    size_t object_id_size)
{
    if (!path || !udn || !object_id || udn_size == 0 || object_id_size == 0)
        return -1;
    udn[0] = object_id[0] = '\0';
    const size_t prefix = std::strlen(UDN_PREFIX);
    if (std::strncmp(path, UDN_PREFIX, prefix) != 0)
        return -1;
    const char* udn_start = path + prefix;
    const char* comma = std::strchr(udn_start, ',');
    if (!comma || comma == udn_start || std::strncmp(comma, ID_PREFIX, std::strlen(ID_PREFIX)) != 0)
        return -1;
    const char* ids = comma + std::strlen(ID_PREFIX);
    size_t ids_length = std::strcspn(ids, ",");
    if (ids_length == 0 ||
        !copy_piece(udn_start, static_cast<size_t>(comma - udn_start), udn, udn_size))
        return -1;
    // The last "/}" pair of the id part; the id follows it.
    const char* id = nullptr;
    for (size_t i = ids_length; i >= 2; --i)
        if (ids[i - 2] == '/' && ids[i - 1] == '}') {
            id = ids + i;
            break;
        }
    if (id == ids + ids_length) {
        udn[0] = '\0';
        return -1;
    }  // a chain ending in "/}" names no object
    bool ok =
        id ? copy_piece(id, ids_length - static_cast<size_t>(id - ids), object_id, object_id_size)
           : copy_piece(ROOT_CONTAINER, std::strlen(ROOT_CONTAINER), object_id, object_id_size);
    if (!ok) {
        udn[0] = '\0';
        return -1;
    }
    return 0;
}

int upnp_server_path(const char* udn, char* out, size_t out_size)
{
    if (!udn || !out || out_size == 0)
        return -1;
    return formatted(
        std::snprintf(out, out_size, "%s%s%s%s", UDN_PREFIX, udn, ID_PREFIX, ROOT_CONTAINER), out,
        out_size);
}

int upnp_child_path(const char* parent, const char* id, char* out, size_t out_size)
{
    if (!parent || !id || !out || out_size == 0)
        return -1;
    return formatted(std::snprintf(out, out_size, "%s/}%s", parent, id), out, out_size);
}
