#include "app/prefs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/file_io.h"
#include "platform/pack.h"

namespace {

uint8_t* payload(Settings* s)
{
    return reinterpret_cast<uint8_t*>(s) + SETTINGS_HEADER_SIZE;
}

int fail_load(Settings* s)
{
    std::memset(s, 0, sizeof(*s));
    return -1;
}

// Reads the payload, compressed or plain, into the block.
bool read_payload(int fd, Settings* s)
{
    if (s->packed_size <= 0)
        return file_read_exact(fd, payload(s), SETTINGS_PAYLOAD_SIZE);
    // A length no compression of the payload can reach is refused before
    // anything is allocated or read for it.
    if (static_cast<size_t>(s->packed_size) > pack_bound(SETTINGS_PAYLOAD_SIZE))
        return false;
    std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[s->packed_size]);
    if (!packed || !file_read_exact(fd, packed.get(), static_cast<size_t>(s->packed_size)))
        return false;
    // Any damage to the stream, its trailer included, makes the file unusable.
    size_t out = SETTINGS_PAYLOAD_SIZE;
    bool complete = false;
    return unpack_buffer(payload(s), &out, packed.get(), static_cast<size_t>(s->packed_size),
                         &complete) == 0 &&
           complete && out == SETTINGS_PAYLOAD_SIZE;
}

void fill_host_from_legacy(Settings* s)
{
    if (s->streamer_host[0] != '\0')
        return;
    size_t n = strnlen(s->legacy_streamer_address, sizeof(s->legacy_streamer_address));
    std::memcpy(s->streamer_host, s->legacy_streamer_address, n);
    s->streamer_host[n] = '\0';  // n <= 16, well inside the host field
}

}  // namespace

int prefs_load_from(Settings* s, const char* path)
{
    std::memset(s, 0, sizeof(*s));
    FileHandle f(::open(path, O_RDONLY | O_CLOEXEC));
    if (f.fd < 0)
        return -2;
    if (!file_read_exact(f.fd, s, SETTINGS_HEADER_SIZE) || s->version < SETTINGS_VERSION)
        return fail_load(s);
    if (!read_payload(f.fd, s))
        return fail_load(s);
    if (settings_checksum(s) != s->checksum)
        return fail_load(s);
    if (s->remember_login == 0) {
        std::memset(s->username, 0, sizeof(s->username));
        std::memset(s->password, 0, sizeof(s->password));
    }
    fill_host_from_legacy(s);
    return 0;
}

int prefs_save_to(Settings* s, const char* path)
{
    s->version = SETTINGS_VERSION;
    s->checksum = 0;
    s->packed_size = 0;
    s->checksum = settings_checksum(s);

    std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[SETTINGS_SIZE]);
    size_t packed_len = SETTINGS_SIZE;
    const uint8_t* body = payload(s);
    size_t body_len = SETTINGS_PAYLOAD_SIZE;
    if (packed && pack_buffer(packed.get(), &packed_len, body, body_len) == 0 &&
        packed_len < SETTINGS_PAYLOAD_SIZE) {
        s->packed_size = static_cast<int32_t>(packed_len);
        body = packed.get();
        body_len = packed_len;
    }

    const FilePiece pieces[] = {{s, SETTINGS_HEADER_SIZE}, {body, body_len}};
    return file_replace(path, pieces, 2);
}

int prefs_load(Settings* s)
{
    return prefs_load_from(s, PREFS_PATH);
}
int prefs_save(Settings* s)
{
    return prefs_save_to(s, PREFS_PATH);
}
