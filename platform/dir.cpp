#include "platform/dir.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <new>
#include <string>

#include "platform/text_copy.h"

struct DirHandle {
    DIR* dir;
    std::string path;  // the folder, ending in "/"
    DirRecord record;
};

namespace {

uint8_t type_of_mode(mode_t mode)
{
    if (S_ISDIR(mode))
        return DIR_ENTRY_FOLDER;
    if (S_ISREG(mode))
        return DIR_ENTRY_FILE;
    return DIR_ENTRY_OTHER;
}

// The type from the entry itself when the file system gives it; links and
// file systems that do not say are asked with stat (which follows links).
uint8_t entry_type(const DirHandle* h, const dirent* e)
{
    switch (e->d_type) {
    case DT_DIR: return DIR_ENTRY_FOLDER;
    case DT_REG: return DIR_ENTRY_FILE;
    case DT_LNK:
    case DT_UNKNOWN: break;
    default: return DIR_ENTRY_OTHER;
    }
    struct stat st {};
    if (stat((h->path + e->d_name).c_str(), &st) != 0)
        return DIR_ENTRY_OTHER;
    return type_of_mode(st.st_mode);
}

}  // namespace

DirHandle* dir_open(const char* path)
{
    if (!path || !path[0]) {
        errno = EINVAL;
        return nullptr;
    }
    auto* h = new (std::nothrow) DirHandle{};
    if (!h) {
        errno = ENOMEM;
        return nullptr;
    }
    h->path = path;
    if (h->path.back() != '/')
        h->path += '/';
    h->dir = opendir(path);
    if (!h->dir) {
        const int saved = errno;
        delete h;
        errno = saved;
        return nullptr;
    }
    return h;
}

const DirRecord* dir_read(DirHandle* h)
{
    if (!h || !h->dir)
        return nullptr;
    const dirent* e = readdir(h->dir);
    if (!e)
        return nullptr;
    copy_text(h->record.name, sizeof h->record.name, e->d_name);
    h->record.type = entry_type(h, e);
    return &h->record;
}

int dir_close(DirHandle* h)
{
    if (!h)
        return -1;
    if (h->dir)
        closedir(h->dir);
    delete h;
    return 0;
}

int file_status(const char* path, int64_t* size, int64_t* mtime)
{
    struct stat st {};
    if (!path || stat(path, &st) != 0)
        return -1;
    if (size)
        *size = static_cast<int64_t>(st.st_size);
    if (mtime)
        *mtime = static_cast<int64_t>(st.st_mtime);
    return 0;
}
