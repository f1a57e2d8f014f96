#include "platform/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

std::string folder_of(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Makes the rename durable by syncing the folder that holds the file.
void sync_folder(const std::string& path)
{
    FileHandle d(::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.fd >= 0)
        ::fsync(d.fd);
}

bool write_pieces(int fd, const FilePiece* pieces, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (!file_write_exact(fd, pieces[i].data, pieces[i].size))
            return false;
    return ::fsync(fd) == 0;
}

}  // namespace

FileHandle::~FileHandle()
{
    close();
}

bool FileHandle::close()
{
    if (fd < 0)
        return true;
    const int r = ::close(fd);
    fd = -1;
    return r == 0;
}

bool file_read_exact(int fd, void* buf, size_t n)
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

bool file_write_exact(int fd, const void* buf, size_t n)
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

std::string file_replace_temp_path(const char* path)
{
    const std::string target = path;
    const size_t slash = target.find_last_of('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, base) + "." + target.substr(base) + ".tmp";
}

int file_replace(const char* path, const FilePiece* pieces, size_t count)
{
    const std::string temp = file_replace_temp_path(path);
    FileHandle f(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (f.fd < 0)
        return -1;
    bool ok = write_pieces(f.fd, pieces, count);
    ok = f.close() && ok;
    if (!ok || ::rename(temp.c_str(), path) != 0) {
        ::unlink(temp.c_str());
        return -1;
    }
    sync_folder(path);
    return 0;
}
