// Which files the browser lists and what class each listed name is: the
// listing filters, the extension match they are applied with, the class of a
// name by its extension, and the size text of a file row. Pure functions of
// their arguments, callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Listing filters: extensions without the dot, each ended by a NUL, the list
// ended by an empty entry. The streamer's listings leave out the pictures.
extern const char FILTER_MEDIA_WITH_IMAGES[];
extern const char FILTER_MEDIA_WITHOUT_IMAGES[];
extern const char FILTER_SUBTITLES[];

// 1 when the text after the last "." of name, compared case-insensitively
// over its own length, begins an entry of filter (so "mp" is taken by
// "mp3"); 0 when name has no "." past its first character or ends in ".".
int extension_filter_match(const char* name, const char* filter);

// The class (MediaClass: video, audio, image or other) of a name by its
// extension: the text from its last "." is compared case-insensitively with
// each table entry over the entry's length, video first, then audio, then
// image. A name of 2 characters or less, or whose last "." lies before its
// last 6 characters (no extension of 5 characters or less), keeps
// source_class, the class its source gave it.
int media_class_of_name(const char* name, int source_class);

// "%u bytes", "%2.2f KB", "%2.2f MB" or "%2.2f GB" of a size, at most 15
// characters.
void size_text(uint64_t size, char* out, size_t out_size);
