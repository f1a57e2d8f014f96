// Whole reads and writes of the program's data files (settings, playlists),
// and the one safe way to replace such a file.
//
// Contract (any thread; each call touches only the descriptors and paths it
// is given):
// - FileHandle owns a descriptor and closes it when it goes.
// - file_read_exact / file_write_exact: true only when all n bytes moved
//   (interrupted calls are resumed); false on an error or the end of file.
// - file_replace: writes the pieces one after the other to a temporary file
//   beside path (".<name>.tmp": hidden, so folder listings skip it), syncs it
//   to the disk, renames it over path and syncs the folder. 0, or -1 when
//   anything failed: path then still holds its previous content (or is still
//   missing) and the temporary file is gone.
#pragma once

#include <cstddef>
#include <string>

struct FileHandle {
    int fd = -1;
    explicit FileHandle(int f) : fd(f) {}
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    // Closes now; false when the close reported an error (a lost write).
    bool close();
};

bool file_read_exact(int fd, void* buf, size_t n);
bool file_write_exact(int fd, const void* buf, size_t n);

struct FilePiece {
    const void* data;
    size_t size;
};
int file_replace(const char* path, const FilePiece* pieces, size_t count);
// The temporary file file_replace writes for path.
std::string file_replace_temp_path(const char* path);
