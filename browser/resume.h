// The resume table: where the playback of each of the last 300 items
// stopped, so that "Resume" starts there again. It lives in the persisted
// settings (Settings.resume_table), so it may come back damaged from the
// file: a next-slot index out of range counts as 0, and a path without its
// terminator is never read past its 1024 bytes.
//
// Positions are milliseconds from the start of the item.
//
// Contract (main thread, which owns the settings block):
// - resume_store: overwrites the entry of that path, else replaces the
//   entry at the next slot (free or not) and advances the slot, wrapping
//   from the last entry to the first. A negative position is stored as 0.
//   An empty path, or one of PATH_SIZE bytes or more, stores nothing.
// - resume_lookup: the stored position of the path, or -1 when it has none.
#pragma once

#include <cstdint>

#include "platform/settings.h"

void resume_store(ResumeTable* t, const char* path, int32_t position_ms);
int32_t resume_lookup(const ResumeTable* t, const char* path);
