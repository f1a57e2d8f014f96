#include "browser/resume.h"

#include <cstring>

namespace {

// The length of a path the table can hold whole, or 0 when it cannot.
size_t storable_length(const char* path)
{
    if (!path)
        return 0;
    size_t length = strnlen(path, PATH_SIZE);
    return length < PATH_SIZE ? length : 0;
}

// The entry holding the path, or -1. The path is terminated within
// PATH_SIZE bytes, so the comparison never runs past an entry.
int find_entry(const ResumeTable* t, const char* path)
{
    for (int i = 0; i < RESUME_TABLE_SIZE; ++i)
        if (std::strncmp(t->entries[i].path, path, PATH_SIZE) == 0)
            return i;
    return -1;
}

}  // namespace

void resume_store(ResumeTable* t, const char* path, int32_t position_ms)
{
    const size_t length = storable_length(path);
    if (!t || length == 0)
        return;
    int slot = find_entry(t, path);
    if (slot < 0) {
        slot = t->next_slot >= 0 && t->next_slot < RESUME_TABLE_SIZE ? t->next_slot : 0;
        t->next_slot = (slot + 1) % RESUME_TABLE_SIZE;
    }
    ResumeEntry& entry = t->entries[slot];
    std::memset(entry.path, 0, sizeof entry.path);
    std::memcpy(entry.path, path, length);
    entry.position = position_ms < 0 ? 0 : position_ms;
}

int32_t resume_lookup(const ResumeTable* t, const char* path)
{
    if (!t || storable_length(path) == 0)
        return -1;
    int slot = find_entry(t, path);
    return slot < 0 ? -1 : t->entries[slot].position;
}
