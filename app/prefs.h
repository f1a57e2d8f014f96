// "data/prefs.dat": the Settings block as a 12-byte header (checksum,
// version, packed_size) followed by the 348,944-byte payload, zlib level 9
// when that is smaller, plain otherwise. The checksum is the byte sum of the
// uncompressed payload. Called by start-up and shutdown on the main thread
// (tests use the _from/_to forms with their own paths).
//
// prefs_load: 0 on success, -2 when the file cannot be opened, -1 when it is
//   unusable (short, older than version 15, a packed_size no compression of
//   the payload can reach, damaged, wrong checksum); the block is then all
//   zero.
// prefs_save: 0 on success, -1 on any failure. The file is replaced
//   atomically (temporary file in the same folder, fsync, rename), so a failed
//   save leaves the previous file intact.
#pragma once

#include "platform/settings.h"

constexpr const char* PREFS_PATH = "data/prefs.dat";

int prefs_load(Settings* settings);
int prefs_save(Settings* settings);
int prefs_load_from(Settings* settings, const char* path);
int prefs_save_to(Settings* settings, const char* path);
