#include "app/prefs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/pack.h"

namespace {

uint8_t* payload(Settings* s)
{
    return reinterpret_cast<uint8_t*>(s) + SETTINGS_HEADER_SIZE;
}

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int release()
    {
        int f = fd;
        fd = -1;
        return f;
    }
};

// Reads exactly n bytes; false on a short read or an error.
bool read_all(int fd, void* buf, size_t n)
{
    auto* p = static_cast<uint8_t*>(buf);
    while (n > 0) {
        ssize_t got = ::read(fd, p, n);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool write_all(int fd, const void* buf, size_t n)
{
    const auto* p = static_cast<const uint8_t*>(buf);
    while (n > 0) {
        ssize_t put = ::write(fd, p, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
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
        return read_all(fd, payload(s), SETTINGS_PAYLOAD_SIZE);
    // A length no compression of the payload can reach is refused before
    // anything is allocated or read for it.
    if (static_cast<size_t>(s->packed_size) > pack_bound(SETTINGS_PAYLOAD_SIZE))
        return false;
    std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[s->packed_size]);
    if (!packed || !read_all(fd, packed.get(), static_cast<size_t>(s->packed_size)))
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

// Writes the whole file to an open descriptor and flushes it to the disk.
bool write_file(int fd, const Settings* s, const uint8_t* body, size_t body_len)
{
    return write_all(fd, s, SETTINGS_HEADER_SIZE) && write_all(fd, body, body_len) &&
           ::fsync(fd) == 0;
}

// Makes the rename durable by syncing the folder that holds the file.
void sync_folder(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash);
    Fd d(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY));
    if (d.fd >= 0)
        ::fsync(d.fd);
}

}  // namespace

int prefs_load_from(Settings* s, const char* path)
{
    std::memset(s, 0, sizeof(*s));
    Fd f(::open(path, O_RDONLY | O_CLOEXEC));
    if (f.fd < 0)
        return -2;
    if (!read_all(f.fd, s, SETTINGS_HEADER_SIZE) || s->version < SETTINGS_VERSION)
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

    const std::string target = path;
    const std::string temp = target + ".tmp";
    Fd f(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (f.fd < 0)
        return -1;
    bool ok = write_file(f.fd, s, body, body_len);
    ok = (::close(f.release()) == 0) && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return -1;
    }
    sync_folder(target);
    return 0;
}

int prefs_load(Settings* s)
{
    return prefs_load_from(s, PREFS_PATH);
}
int prefs_save(Settings* s)
{
    return prefs_save_to(s, PREFS_PATH);
}
