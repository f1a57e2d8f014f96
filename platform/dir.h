// Reading local folders: enumeration of a folder's entries with a type byte
// the browser's lists rely on, and the size and modification time of a path.
// On this platform the root "/" stands where other systems list drives, so a
// local folder path is an ordinary absolute path.
//
// Contract (any thread; a handle belongs to the thread that opened it):
// - dir_open: null for an empty path (errno EINVAL), when memory runs out
//   (ENOMEM), or when the folder cannot be read (the system's errno).
// - dir_read: the next record, "." and ".." included, or null at the end; the
//   record stays valid until the next call on the handle. Type 4 is a folder,
//   8 a regular file, 0 anything else; a symbolic link counts as what it
//   points at (0 when it points nowhere).
// - dir_close: 0, or -1 for a null handle.
// - file_status: 0 with the size in bytes and the modification time in
//   seconds since 1970, or -1 when the path does not exist.
#pragma once

#include <cstdint>

constexpr uint8_t DIR_ENTRY_FOLDER = 4;
constexpr uint8_t DIR_ENTRY_FILE = 8;
constexpr uint8_t DIR_ENTRY_OTHER = 0;

struct DirRecord {
    char name[256];
    uint8_t type;
};

struct DirHandle;

DirHandle* dir_open(const char* path);
const DirRecord* dir_read(DirHandle* handle);
int dir_close(DirHandle* handle);
int file_status(const char* path, int64_t* size, int64_t* mtime);
